#pragma once

#include <QDialog>
#include <cstdint>
#include <vector>

class QListWidget;
class QPushButton;
class QSpinBox;

namespace vexana::store {
class TopicStore;
}

namespace vexana::shell {

// "VEXLexa Coder": the top-level codes whose segments are the text units, and the level
// below them; level 0 takes whole texts.
class CoderDialog : public QDialog {
    Q_OBJECT
public:
    CoderDialog(const store::TopicStore& store, const std::vector<std::int32_t>& ticked, int level,
                QWidget* parent = nullptr);

    std::vector<std::int32_t> codes() const;
    int level() const;
    void setAll(bool ticked);

    QListWidget* codeList() const { return codes_; }
    QSpinBox* levelBox() const { return level_; }

private:
    void updateBound();

    const store::TopicStore& store_;
    QListWidget* codes_;
    QSpinBox* level_;
};

} // namespace vexana::shell
