#include "NameFormat.h"

#include "platform/Utf8.h"

#include <cctype>
#include <climits>

namespace vexana::store {

namespace {

bool fieldToken(std::string_view token, int& id) {
    if (token.size() < 2 || token[0] != '$') return false;
    long long n = 0;
    for (std::size_t i = 1; i < token.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(token[i]))) return false;
        n = n * 10 + (token[i] - '0');
        if (n > INT_MAX) return false;
    }
    id = static_cast<int>(n);
    return true;
}

} // namespace

CompiledFormat compileNameFormat(std::string_view format) {
    CompiledFormat out;
    std::size_t pos = 0;
    while (pos <= format.size()) {
        std::size_t end = format.find(';', pos);
        if (end == std::string_view::npos) end = format.size();
        const std::string_view token = format.substr(pos, end - pos);
        int id = 0;
        if (fieldToken(token, id)) {
            out.push_back(id);
        } else {
            for (std::size_t i = 0; i < token.size();) {
                const char32_t cp = platform::utf8Decode(token, i);
                out.push_back(cp == U'&' ? -10 : -static_cast<int>(cp));
            }
        }
        pos = end + 1;
    }
    return out;
}

} // namespace vexana::store
