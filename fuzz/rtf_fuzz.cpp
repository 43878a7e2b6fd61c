#include "platform/richtext/RichText.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// Any bytes read as a text; what the writer makes of it reads back as the same text, and
// so does the RTF of any range of it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using vexana::platform::RichText;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const RichText text = RichText::fromRtf(bytes);
    if (text.length() > static_cast<std::int32_t>(size)) __builtin_trap();
    if (!RichText::fromRtf(text.toRtf()).sameContent(text)) __builtin_trap();
    if (text.length() > 0) {
        const std::int32_t a =
            static_cast<std::int32_t>(size % static_cast<std::size_t>(text.length()));
        const std::int32_t b = a + (text.length() - a) / 2;
        if (!RichText::fromRtf(text.rangeToRtf(a, b)).sameContent(text.range(a, b)))
            __builtin_trap();
    }
    return 0;
}
