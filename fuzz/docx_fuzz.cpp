#include "DocumentFuzz.h"
#include "exchange/DocumentReaders.h"

// The input is word/document.xml, or a whole archive when it starts like one.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string archive =
        bytes.starts_with("PK")
            ? std::string(bytes)
            : vexana::fuzz::zipOf({{"word/document.xml", bytes}, {"word/styles.xml", bytes}});
    std::string error;
    vexana::fuzz::checkDocument(vexana::exchange::readDocx(archive, error), error);
    return 0;
}
