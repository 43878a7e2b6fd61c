#include "CodePages.h"

#include "platform/Utf8.h"

#include <map>
#include <memory>
#include <unicode/ucnv.h>
#include <vector>

namespace vexana::platform {

int codePageForCharset(int charset) {
    switch (charset) {
    case 0:
        return 1252;
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 130:
        return 1361;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 254:
        return 437;
    case 255:
        return 850;
    default:
        return 0;
    }
}

bool isDoubleByteCodePage(int cp) {
    return cp == 932 || cp == 936 || cp == 949 || cp == 950 || cp == 1361;
}

namespace {

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

std::string icuName(int cp) {
    switch (cp) {
    case 437:
    case 850:
        return "ibm-" + std::to_string(cp);
    case 10000:
        return "macintosh";
    case 932:
        return "windows-932";
    case 936:
        return "windows-936";
    case 949:
        return "windows-949";
    case 950:
        return "windows-950";
    case 1361:
        return "ibm-1363"; // Johab is rare; the nearest Korean table ICU ships
    default:
        return "windows-" + std::to_string(cp);
    }
}

// Opened once per code page; ICU converters are not shared between threads, so each
// thread keeps its own.
UConverter* converter(int cp) {
    thread_local std::map<int, Converter> cache;
    auto it = cache.find(cp);
    if (it != cache.end()) return it->second.get();
    UErrorCode status = U_ZERO_ERROR;
    UConverter* c = ucnv_open(icuName(cp).c_str(), &status);
    if (U_FAILURE(status)) {
        ucnv_close(c);
        c = nullptr;
    } else {
        status = U_ZERO_ERROR;
        ucnv_setToUCallBack(c, UCNV_TO_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr, &status);
    }
    return cache.emplace(cp, Converter(c)).first->second.get();
}

} // namespace

void decodeCodePage(std::string_view bytes, int cp, std::u32string& out) {
    bool ascii = true;
    for (unsigned char b : bytes)
        if (b >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii || cp == 1252 || cp == 0) {
        for (unsigned char b : bytes)
            out.push_back(cp1252ToUnicode(b));
        return;
    }
    UConverter* c = converter(cp);
    if (!c) {
        for (unsigned char b : bytes)
            out.push_back(cp1252ToUnicode(b));
        return;
    }
    std::vector<UChar> buf(bytes.size() * 2 + 4);
    UErrorCode status = U_ZERO_ERROR;
    ucnv_reset(c);
    const int32_t n = ucnv_toUChars(c, buf.data(), static_cast<int32_t>(buf.size()), bytes.data(),
                                    static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status)) {
        for (unsigned char b : bytes)
            out.push_back(cp1252ToUnicode(b));
        return;
    }
    for (int32_t i = 0; i < n; ++i) {
        char32_t u = buf[static_cast<std::size_t>(i)];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n &&
            buf[static_cast<std::size_t>(i) + 1] >= 0xDC00 &&
            buf[static_cast<std::size_t>(i) + 1] <= 0xDFFF) {
            u = 0x10000 + ((u - 0xD800) << 10) + (buf[static_cast<std::size_t>(i) + 1] - 0xDC00);
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            u = 0xFFFD;
        }
        out.push_back(u);
    }
}

} // namespace vexana::platform
