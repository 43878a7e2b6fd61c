#include "RefiGuid.h"

#include "store/CVexDoc.h"

#include <array>
#include <cctype>
#include <cstdint>
#include <random>

namespace vexana::exchange {

namespace {

constexpr std::string_view setupKey = "ProjectGUID";

std::string format(std::array<std::uint8_t, 16> b, int version) {
    b[6] = static_cast<std::uint8_t>((b[6] & 0x0F) | (version << 4));
    b[8] = static_cast<std::uint8_t>((b[8] & 0x3F) | 0x80);
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(36);
    for (std::size_t i = 0; i < b.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out.push_back('-');
        out.push_back(hex[b[i] >> 4]);
        out.push_back(hex[b[i] & 0x0F]);
    }
    return out;
}

std::uint64_t mix(std::uint64_t x) {
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ULL;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

std::uint64_t fnv(std::uint64_t h, std::string_view s) {
    for (unsigned char c : s) {
        h ^= c;
        h *= 0x100000001B3ULL;
    }
    // The length ends each part, so ("ab", "c") and ("a", "bc") differ.
    h ^= s.size();
    return h * 0x100000001B3ULL;
}

} // namespace

std::string randomGuid() {
    std::random_device device;
    std::array<std::uint8_t, 16> b{};
    for (std::size_t i = 0; i < b.size(); i += 4) {
        const std::uint32_t r = device();
        for (std::size_t k = 0; k < 4; ++k)
            b[i + k] = static_cast<std::uint8_t>(r >> (8 * k));
    }
    return format(b, 4);
}

std::string projectGuid(store::CVexDoc& doc) {
    std::string guid = doc.setup(std::string(setupKey));
    if (isGuid(guid)) return guid;
    guid = randomGuid();
    if (doc.database() && !doc.database()->isReadOnly())
        doc.database()->SetSetup(std::string(setupKey), guid);
    return guid;
}

std::string derivedGuid(std::string_view project, std::string_view kind, std::string_view key) {
    // Version 8 (RFC 9562): a name-based GUID whose hash is our own, not SHA-1.
    std::uint64_t a = fnv(0xCBF29CE484222325ULL, project);
    a = fnv(a, kind);
    a = fnv(a, key);
    std::uint64_t b = fnv(0x84222325CBF29CE4ULL ^ a, key);
    b = fnv(b, kind);
    b = fnv(b, project);
    a = mix(a);
    b = mix(b ^ a);
    std::array<std::uint8_t, 16> bytes{};
    for (std::size_t i = 0; i < 8; ++i) {
        bytes[i] = static_cast<std::uint8_t>(a >> (8 * i));
        bytes[8 + i] = static_cast<std::uint8_t>(b >> (8 * i));
    }
    return format(bytes, 8);
}

std::string derivedGuid(std::string_view project, std::string_view kind, long long id) {
    return derivedGuid(project, kind, std::to_string(id));
}

bool isGuid(std::string_view t) {
    if (t.size() == 38) {
        if (t.front() != '{' || t.back() != '}') return false;
        t = t.substr(1, 36);
    }
    if (t.size() != 36) return false;
    for (std::size_t i = 0; i < t.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? t[i] != '-' : !std::isxdigit(static_cast<unsigned char>(t[i]))) return false;
    }
    return true;
}

std::string guidKey(std::string_view t) {
    if (t.size() == 38 && t.front() == '{') t = t.substr(1, 36);
    std::string out(t);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

} // namespace vexana::exchange
