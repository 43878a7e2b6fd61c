#pragma once

#include "BaseView.h"
#include "store/AppSettings.h"

#include <QPoint>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

class QLabel;
class QTextEdit;

namespace vexana::store {
class TopicStore;
}

namespace vexana::shell {

class SegmentColumn;

// Retrieved Segments: the heading of the analysis, then the segments with their source marks.
class CBlackView : public CBaseView {
public:
    explicit CBlackView(const store::AppSettings& settings);
    // The segments one after the other, each followed by five paragraph ends.
    void fill(store::TopicStore& s, const std::vector<std::int32_t>& codings);
    QTextEdit* edit() const { return edit_; }
    SegmentColumn* column() const { return column_; }
    void setHeading(const QString& text);
    QString heading() const;
    // The settings that the window was laid out with, its column's width as it is now.
    std::pair<int, int> layoutSettings() const;

    // A click in a segment's text, or on its mark, opens it in its text.
    std::function<void(std::int32_t coding)> segmentChosen;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    QTextEdit* edit_;
    SegmentColumn* column_;
    QLabel* heading_;
    bool columnFirst_ = true;
    QPoint pressedAt_;
};

} // namespace vexana::shell
