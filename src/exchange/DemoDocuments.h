#pragma once

#include <string_view>
#include <vector>

namespace vexana::exchange {

// The demo study's documents, compiled in from data/demo so the program needs no files.
struct DemoDocument {
    std::string_view group;
    std::string_view text;
};
const std::vector<DemoDocument>& demoDocuments();

} // namespace vexana::exchange
