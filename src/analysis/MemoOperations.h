#pragma once

#include "DocumentSystem.h"
#include "platform/richtext/RichText.h"
#include "store/RecordCursor.h"
#include "store/ValueText.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexana::analysis {

class Workspace;

inline constexpr int MemoTypeCount = 11;
inline constexpr std::size_t MemoTextLimit = 63; // title, author and preview

// The linked codes of a memo block: whole 32-bit ids only, so a block cut short loses its
// last partial id instead of reading past its end.
std::vector<std::int32_t> readLinkedCodes(std::span<const std::uint8_t> block);
store::ByteBlock linkedCodesBlock(const std::vector<std::int32_t>& codes);
// A memo body block as rich text: RTF, or any other bytes as plain text; empty for none.
platform::RichText readMemoBody(std::span<const std::uint8_t> block);
std::string memoPreview(const platform::RichText& body);
// The number of characters of a text's plain form (the places a memo may take are 0 to it);
// -1 when there is no such text.
std::int32_t textLength(store::TopicStore& store, std::int32_t text);

// One memo as the memo window and the exports see it.
struct Memo {
    std::int32_t id = 0;
    std::int32_t text = 0; // the text it is placed in, 0 for a code memo
    std::int32_t code = 0; // the code it belongs to, 0 for a text memo
    int type = 0;
    std::int32_t pos = 0;
    std::string title;
    std::string author;
    store::DateTime date;
    platform::RichText body;
    std::vector<std::int32_t> codes; // linked codes that still exist, in list order
};

// Creating, reading, saving, deleting and exporting memos.
class MemoOperations {
public:
    explicit MemoOperations(Workspace& ws) : ws_(ws) {}

    // A new memo at pos of a text, saved at once and titled after its id; 0 when refused
    // (no such text, pos outside it, or the write failed).
    std::int32_t NewTextMemo(std::int32_t text, std::int32_t pos);
    // The code's memo, made when the code has none yet; 0 when refused.
    std::int32_t CodeMemo(std::int32_t code);
    // The memo as stored; false when there is none.
    bool Load(std::int32_t id, Memo& out) const;
    // Stores title, author, type, body and linked codes; date, owner and place stay.
    bool Save(const Memo& memo);
    bool Delete(std::int32_t id);
    // "Delete Memo?" first.
    bool ConfirmAndDelete(std::int32_t id);

    // The full name of the text or the path of the code that owns the memo.
    std::string OwnerName(std::int32_t id) const;
    // The lines above the body in a printed or exported memo.
    std::string Heading(const Memo& memo) const;
    platform::RichText ExportDocument(const Memo& memo) const;
    // Writes the memo's RTF export to path, whole or not at all; the error text, or empty.
    std::string Export(std::int32_t id, const std::string& path) const;

    // The listed memos of a "Memos" list window in one RTF file, each as its export has it.
    std::string ExportList(const std::vector<std::int32_t>& ids, const std::string& path) const;

    // Every memo, for the Memo Manager (title "all").
    Overview ManagerOverview() const;
    // The codes "Link to" offers: the Quick-List's; with none, "Quick-List is empty" is shown.
    std::vector<std::int32_t> LinkChoices() const;

private:
    Workspace& ws_;
};

// What a memo window edits: the memo, and whether closing has anything to save.
class MemoEditor {
public:
    MemoEditor(MemoOperations& ops, std::int32_t id, bool isNew = false);

    bool valid() const { return memo_.id != 0; }
    const Memo& memo() const { return memo_; }
    bool isNew() const { return new_; }
    bool modified() const { return modified_; }

    void setTitle(std::string_view title);
    void setAuthor(std::string_view author);
    void setType(int type);
    void setBody(platform::RichText body);
    void linkCode(std::int32_t code);
    // Removes the listed codes at these rows.
    void removeCodes(std::vector<int> rows);

    // Saves a new or changed memo; an unchanged one writes nothing. True when nothing
    // was lost.
    bool close();
    // Drops the memo without saving it (it was deleted).
    void discard();
    // Closes this memo and takes another in its place; false (keeping this one) when there
    // is no memo id.
    bool switchTo(std::int32_t id, bool isNew = false);

private:
    void touch() { modified_ = true; }
    MemoOperations& ops_;
    Memo memo_;
    bool new_ = false;
    bool modified_ = false;
};

} // namespace vexana::analysis
