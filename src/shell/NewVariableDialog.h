#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;

namespace vexana::shell {

// "New Variable": a name and one of the types a variable may have.
class NewVariableDialog : public QDialog {
    Q_OBJECT
public:
    explicit NewVariableDialog(QWidget* parent = nullptr);
    std::string name() const;
    int type() const; // the type code
    QLineEdit* nameEdit() const { return name_; }
    QComboBox* typeBox() const { return type_; }

private:
    QLineEdit* name_;
    QComboBox* type_;
};

} // namespace vexana::shell
