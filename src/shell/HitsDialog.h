#pragma once

#include "browser/TextSearch.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace vexana::shell {

// "Hits": whether coding and export take the search string alone or its paragraph with a
// number of paragraphs on either side.
class HitsDialog : public QDialog {
    Q_OBJECT
public:
    explicit HitsDialog(const browser::HitContext& context, QWidget* parent = nullptr);
    browser::HitContext context() const;

    QRadioButton* onlyStringButton() const { return onlyString_; }
    QRadioButton* paragraphButton() const { return paragraph_; }
    QSpinBox* paragraphsBox() const { return paragraphs_; }
    QPushButton* closeButton() const { return close_; }

private:
    void updateEnabling();

    QRadioButton* onlyString_;
    QRadioButton* paragraph_;
    QSpinBox* paragraphs_;
    QLabel* plusMinus_;
    QLabel* paragraphLabel_;
    QPushButton* close_;
};

} // namespace vexana::shell
