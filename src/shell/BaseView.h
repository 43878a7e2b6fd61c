#pragma once

#include <QWidget>

namespace vexana::shell {

// The common base of the four main windows: each knows its bit of the view state.
class CBaseView : public QWidget {
public:
    explicit CBaseView(int bit, QWidget* parent = nullptr) : QWidget(parent), bit_(bit) {}
    int bit() const { return bit_; }

private:
    int bit_;
};

} // namespace vexana::shell
