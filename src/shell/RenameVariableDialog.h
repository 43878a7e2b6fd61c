#pragma once

#include <QDialog>

class QLineEdit;

namespace vexana::shell {

// "Rename Variable": the current name, to be changed.
class RenameVariableDialog : public QDialog {
    Q_OBJECT
public:
    explicit RenameVariableDialog(const std::string& current, QWidget* parent = nullptr);
    std::string name() const;
    QLineEdit* nameEdit() const { return name_; }

private:
    QLineEdit* name_;
};

} // namespace vexana::shell
