#pragma once

#include <QDialog>

class QSpinBox;

namespace vexana::shell {

// The range of weight scores the retrieval keeps. The two numbers never cross: a minimum
// above the maximum becomes the maximum, a maximum below the minimum the minimum.
class WeightFilterDialog : public QDialog {
    Q_OBJECT
public:
    WeightFilterDialog(int low, int high, QWidget* parent = nullptr);
    int low() const;
    int high() const;
    QSpinBox* lowBox() const { return low_; }
    QSpinBox* highBox() const { return high_; }

private:
    QSpinBox* low_;
    QSpinBox* high_;
};

} // namespace vexana::shell
