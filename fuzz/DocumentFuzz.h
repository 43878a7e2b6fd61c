#pragma once

#include "platform/richtext/RichText.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>
#include <zip.h>

namespace vexana::fuzz {

// A reader either refuses with a reason or gives a text that the RTF it is stored as gives
// back unchanged.
inline void checkDocument(const std::optional<platform::RichText>& text, const std::string& error) {
    if (!text) {
        if (error.empty()) __builtin_trap();
        return;
    }
    if (!platform::RichText::fromRtf(text->toRtf()).sameContent(*text)) __builtin_trap();
}

// The zipped formats are mostly XML: the fuzzer mutates the XML part, packed here into an
// archive (stored, not deflated, to keep runs fast). Inputs that are archives already are
// taken as they are, so archive damage is tried too.
inline std::string zipOf(const std::vector<std::pair<std::string, std::string_view>>& members) {
    zip_error_t e;
    zip_error_init(&e);
    zip_source_t* src = zip_source_buffer_create(nullptr, 0, 0, &e);
    zip_error_fini(&e);
    if (!src) return {};
    zip_source_keep(src);
    zip_t* z = zip_open_from_source(src, ZIP_TRUNCATE, nullptr);
    std::string out;
    if (z) {
        for (const auto& [name, bytes] : members) {
            zip_source_t* m = zip_source_buffer(z, bytes.data(), bytes.size(), 0);
            const zip_int64_t i = m ? zip_file_add(z, name.c_str(), m, 0) : -1;
            if (i < 0)
                zip_source_free(m);
            else
                zip_set_file_compression(z, static_cast<zip_uint64_t>(i), ZIP_CM_STORE, 0);
        }
        if (zip_close(z) != 0) zip_discard(z);
        if (zip_source_open(src) == 0) {
            char buf[65536];
            for (zip_int64_t n; (n = zip_source_read(src, buf, sizeof buf)) > 0;)
                out.append(buf, static_cast<std::size_t>(n));
            zip_source_close(src);
        }
    }
    zip_source_free(src);
    return out;
}

} // namespace vexana::fuzz
