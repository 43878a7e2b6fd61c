#include "WindowPlace.h"

#include <QWidget>

namespace vexana::shell {

store::WindowPlacement framePlace(const QWidget& window) {
    store::WindowPlacement place;
    place.showCmd = 1;
    place.left = window.pos().x();
    place.top = window.pos().y();
    place.right = place.left + window.width();
    place.bottom = place.top + window.height();
    return place;
}

} // namespace vexana::shell
