#pragma once

#include <QString>
#include <string>

namespace vexana::shell {

// Project texts are UTF-8 throughout.
inline QString q(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace vexana::shell
