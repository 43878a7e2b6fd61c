#include "DocumentFuzz.h"
#include "exchange/DocumentReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string error;
    vexana::fuzz::checkDocument(vexana::exchange::readMarkdown(bytes, error), error);
    return 0;
}
