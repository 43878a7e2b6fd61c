#pragma once

#include "BaseView.h"
#include "browser/StripeStrip.h"
#include "platform/richtext/RichText.h"
#include "store/AppSettings.h"

#include <QMetaObject>
#include <cstdint>
#include <string>
#include <vector>

class QTextEdit;

namespace vexana::store {
class TopicStore;
}

namespace vexana::shell {

class MemoBar;
class ParagraphColumn;
class StripeColumn;

// The Text Browser: one text with its coding stripes, memo marks and paragraph numbers.
class CWhiteView : public CBaseView {
public:
    explicit CWhiteView(const store::AppSettings& settings);
    void show(store::TopicStore& s, std::int32_t text);
    void clear();
    // The text just saved from the editor is what the window shows already.
    void keepShownBody(store::TopicStore& s);
    // The stored text as shown (not as being edited): what a selection is coded from.
    const platform::RichText& body() const { return body_; }
    void loadMemos(store::TopicStore& s, std::int32_t text);

    // While edit mode is on, stripes and memo places follow every change of the text.
    bool editMode() const { return editMode_; }
    bool modified() const { return modified_; }
    void setEditMode(bool on);
    const std::vector<browser::MemoPlace>& memos() const { return memos_; }
    // The side column's settings: the width is kept once the user has set it.
    store::AppSettings::TextCoder sideSettings() const;
    // The stripe column's width now; setting it as the user does keeps it for later texts.
    int stripeWidth() const;
    void setStripeWidth(int wanted, bool byUser);
    // Coded passages shown on a ground of their code's colour.
    bool tinted() const { return side_.tint; }
    void setTinted(bool on);
    // What the stripes and their labels need (a double-click on the divider applies it).
    int neededStripeWidth() const;

    QTextEdit* edit() const { return edit_; }
    StripeColumn* stripes() const { return stripes_; }
    MemoBar* memoBar() const { return memoBar_; }

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    std::u32string plainText() const;
    void followChange(int pos, int removed, int added);
    // The memo icons go where the edit moved their places.
    void followMemos();
    void tintPassages();
    // The read-only text still takes a caret, so a passage can be selected from the keyboard.
    void setReadOnlyWithCaret(bool readOnly);

    store::AppSettings::TextCoder side_;
    QWidget* divider_ = nullptr;
    int stripeWidth_ = 23;
    int autoWidth_ = 23;
    bool userWidth_ = false;
    // The text shown and its body's fingerprint: a refill of the same body keeps the view.
    std::int32_t shownText_ = 0;
    std::size_t shownBody_ = 0;
    platform::RichText body_;
    bool editMode_ = false;
    bool modified_ = false;
    std::u32string before_;
    // Stripes and memo places after each of the editor's undo steps, by its step count.
    struct EditState {
        std::vector<browser::CodingStripe> stripes;
        std::vector<browser::MemoPlace> memos;
        std::size_t textHash = 0;
    };
    std::vector<EditState> states_;
    std::size_t steps_ = 0;
    std::vector<browser::MemoPlace> memos_;
    QMetaObject::Connection watch_;
    QTextEdit* edit_;
    StripeColumn* stripes_;
    MemoBar* memoBar_;
    ParagraphColumn* numbers_;
};

} // namespace vexana::shell
