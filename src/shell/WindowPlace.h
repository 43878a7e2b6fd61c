#pragma once

#include "store/AppSettings.h"

class QWidget;

namespace vexana::shell {

// Where a window stands as move() and resize() take it back: its frame's corner and its inner
// size. (The inner rectangle's corner would creep by the frame each time it is restored.)
store::WindowPlacement framePlace(const QWidget& window);

} // namespace vexana::shell
