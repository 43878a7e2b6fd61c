#pragma once

#include <cstdint>
#include <string>

namespace vexana::store {

struct FieldInfo {
    std::int32_t id = -1;
    int type = 0;
    int state = 0;
    int parentTopic = 0;
    std::string name;
    std::string source;
    int offset = 0; // of the slot in the record image
    int size = 0;   // of the slot

    bool has(int bit) const { return (state & bit) != 0; }
};

} // namespace vexana::store
