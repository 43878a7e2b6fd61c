#include "exchange/RefiImport.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// A codebook from anywhere: parsed safely and its code tree checked.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)vexana::exchange::CheckCodebookXml(text);
    return 0;
}
