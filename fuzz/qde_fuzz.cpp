#include "exchange/RefiImport.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// A project.qde from anywhere: parsed safely, its GUIDs and code tree checked, sources with
// inline text placed under the detected positions; a refusal always says why.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)vexana::exchange::CheckRefiProjectXml(text);
    return 0;
}
