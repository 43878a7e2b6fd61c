#include "store/ValueText.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Conversions never refuse input, and a value turned into text reads back as itself.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexana::store;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::int32_t i = textToInt(text);
    if (textToInt(intToText(i)) != i) __builtin_trap();
    (void)floatToText(textToFloat(text));
    const std::int32_t b = textToBool(text);
    if (textToBool(boolToText(b)) != b) __builtin_trap();
    const DateTime d = textToDate(text);
    const std::string shown = dateToText(d);
    if (!d.valid()) __builtin_trap();
    // Minutes survive the round trip (the text form has no seconds).
    if (!shown.empty() && dateToText(textToDate(shown)) != shown) __builtin_trap();
    if (cutText(text, 63).size() > text.size()) __builtin_trap();
    return 0;
}
