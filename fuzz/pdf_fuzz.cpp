#include "DocumentFuzz.h"
#include "exchange/DocumentReaders.h"

// fontconfig keeps its configuration for the life of the process; poppler loads it when a
// PDF names a font it does not embed.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string error;
    vexana::fuzz::checkDocument(vexana::exchange::readPdf(bytes, error), error);
    return 0;
}
