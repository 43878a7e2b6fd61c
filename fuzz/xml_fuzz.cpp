#include "store/XmlDocument.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using vexana::store::XmlDocument;

// The parser must take any bytes without crashing or recursing; what it accepts must survive
// being walked, added to and parsed again.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    XmlDocument x;
    if (!x.parse(text)) {
        if (x.error().empty()) __builtin_trap();
        return 0;
    }
    int budget = 10000;
    while (x.findElem() && --budget > 0) {
        (void)x.tagName();
        (void)x.data();
        (void)x.attrib("a");
        while (x.findChildElem() && --budget > 0)
            (void)x.childData();
        if (x.intoElem()) x.outOfElem();
    }
    x.resetPos();
    if (x.findElem()) {
        x.setAttrib("fz", text.substr(0, 16));
        x.addChildElem("c", text.substr(0, 16));
        x.addElem("n");
        XmlDocument y;
        if (!y.parse(x.text())) __builtin_trap();
        y.resetPos();
        if (!y.findElem() || !y.findElem("n")) __builtin_trap();
    }
    return 0;
}
