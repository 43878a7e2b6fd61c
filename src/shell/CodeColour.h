#pragma once

#include <QColor>
#include <cstdint>

namespace vexana::store {
class TopicStore;
}

namespace vexana::shell {

// The colour a code is drawn in, from its colour attribute.
QColor codeColour(const store::TopicStore& s, std::int32_t code);

} // namespace vexana::shell
