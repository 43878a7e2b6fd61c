#include "MemoOperations.h"

#include "Workspace.h"
#include "platform/Files.h"
#include "store/Schema.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace vexana::analysis {

using namespace vexana::store;

std::vector<std::int32_t> readLinkedCodes(std::span<const std::uint8_t> block) {
    std::vector<std::int32_t> codes;
    codes.reserve(block.size() / 4);
    for (std::size_t i = 0; i + 4 <= block.size(); i += 4) {
        // Little-endian, as the file has always held them, whatever this machine is.
        const std::uint32_t v = std::uint32_t(block[i]) | std::uint32_t(block[i + 1]) << 8 |
                                std::uint32_t(block[i + 2]) << 16 |
                                std::uint32_t(block[i + 3]) << 24;
        codes.push_back(static_cast<std::int32_t>(v));
    }
    return codes;
}

ByteBlock linkedCodesBlock(const std::vector<std::int32_t>& codes) {
    ByteBlock block;
    block.reserve(codes.size() * 4);
    for (std::int32_t code : codes) {
        const auto v = static_cast<std::uint32_t>(code);
        for (int shift = 0; shift < 32; shift += 8)
            block.push_back(static_cast<std::uint8_t>(v >> shift));
    }
    return block;
}

platform::RichText readMemoBody(std::span<const std::uint8_t> block) {
    return platform::RichText::fromRtf(
        std::string_view(reinterpret_cast<const char*>(block.data()), block.size()));
}

std::string memoPreview(const platform::RichText& body) {
    return cutText(body.plainText(), MemoTextLimit);
}

std::int32_t textLength(TopicStore& store, std::int32_t text) {
    RecordCursor t;
    if (!store.GetRecord(TopicId::Texts, text, t, true)) return -1;
    return readMemoBody(t.block(TextField::Body)).length();
}

namespace {

std::string titleFor(std::int32_t id) {
    return "Memo " + std::to_string(id);
}

} // namespace

std::int32_t MemoOperations::NewTextMemo(std::int32_t text, std::int32_t pos) {
    TopicStore& s = ws_.store();
    if (pos < 0 || pos > textLength(s, text)) return 0;
    StoreBatch unit(s);
    RecordCursor c;
    if (!s.NewRecord(TopicId::Memos, c)) {
        unit.fail();
        return 0;
    }
    const std::int32_t id = c.id();
    c.setInt(MemoField::Text, text);
    c.setInt(MemoField::Pos, pos);
    c.setDate(MemoField::Date, DateTime::now());
    c.setText(MemoField::Title, titleFor(id));
    if (!s.Save(c, true) || !unit.finish()) {
        unit.fail();
        return 0;
    }
    ws_.notify(ViewEvent::Inserted, TopicId::Memos, id);
    return id;
}

std::int32_t MemoOperations::CodeMemo(std::int32_t code) {
    TopicStore& s = ws_.store();
    RecordCursor k;
    if (!s.GetRecord(TopicId::Codes, code, k)) return 0;
    const Topic* memos = s.GetTopic(TopicId::Memos);
    const std::int32_t named = k.getInt(CodeField::MemoID);
    if (named != 0 && memos->contains(named) &&
        s.GetInt(TopicId::Memos, named, MemoField::Code) == code)
        return named;
    // A memo of the code that the code no longer names is taken up again rather than
    // left behind by a second one.
    const std::vector<std::int32_t> own = s.FindIds(TopicId::Memos, TopicId::Codes, code);
    StoreBatch unit(s);
    std::int32_t id = own.empty() ? 0 : own.front();
    if (id == 0) {
        RecordCursor c;
        if (!s.NewRecord(TopicId::Memos, c)) {
            unit.fail();
            return 0;
        }
        id = c.id();
        c.setInt(MemoField::Code, code);
        c.setDate(MemoField::Date, DateTime::now());
        c.setText(MemoField::Title, titleFor(id));
        if (!s.Save(c, true)) {
            unit.fail();
            return 0;
        }
    }
    k.setInt(CodeField::MemoID, id);
    if (!s.Save(k) || !unit.finish()) {
        unit.fail();
        return 0;
    }
    if (own.empty()) ws_.notify(ViewEvent::Inserted, TopicId::Memos, id);
    ws_.notify(ViewEvent::Changed, TopicId::Codes, code);
    return id;
}

bool MemoOperations::Load(std::int32_t id, Memo& out) const {
    TopicStore& s = ws_.store();
    RecordCursor c;
    if (!s.GetRecord(TopicId::Memos, id, c, true)) return false;
    out = Memo{};
    out.id = id;
    out.text = c.getInt(MemoField::Text);
    out.code = c.getInt(MemoField::Code);
    out.type = std::clamp(c.getInt(MemoField::Type), 0, MemoTypeCount - 1);
    out.pos = c.getInt(MemoField::Pos);
    out.title = c.getText(MemoField::Title);
    out.author = c.getText(MemoField::Author);
    out.date = c.getDate(MemoField::Date);
    out.body = readMemoBody(c.block(MemoField::Body));
    // Codes deleted since they were linked are dropped here, and with the next save.
    const Topic* codes = s.GetTopic(TopicId::Codes);
    for (std::int32_t code : readLinkedCodes(c.block(MemoField::Codes)))
        if (code > 0 && codes->contains(code)) out.codes.push_back(code);
    return true;
}

bool MemoOperations::Save(const Memo& memo) {
    TopicStore& s = ws_.store();
    RecordCursor c;
    if (!s.GetRecord(TopicId::Memos, memo.id, c, true)) return false;
    c.setText(MemoField::Title, cutText(memo.title, MemoTextLimit));
    c.setText(MemoField::Author, cutText(memo.author, MemoTextLimit));
    c.setInt(MemoField::Type, std::clamp(memo.type, 0, MemoTypeCount - 1));
    c.setBlock(MemoField::Body, memo.body.toRtf());
    c.setBlock(MemoField::Codes, linkedCodesBlock(memo.codes));
    c.setText(MemoField::Preview, memoPreview(memo.body));
    const std::int32_t code = c.getInt(MemoField::Code);
    StoreBatch unit(s);
    if (!s.Save(c, true) || !unit.finish()) {
        unit.fail();
        return false;
    }
    ws_.notify(ViewEvent::Changed, TopicId::Memos, memo.id);
    if (code != 0) ws_.notify(ViewEvent::Changed, TopicId::Codes, code);
    return true;
}

bool MemoOperations::Delete(std::int32_t id) {
    return ws_.documents().DeleteObject(TopicId::Memos, id);
}

bool MemoOperations::ConfirmAndDelete(std::int32_t id) {
    if (!ws_.store().GetTopic(TopicId::Memos)->contains(id)) return false;
    if (!ws_.ui().question("Delete Memo?", "Yes", "No")) return false;
    return Delete(id);
}

std::string MemoOperations::OwnerName(std::int32_t id) const {
    const TopicStore& s = ws_.store();
    if (const std::int32_t text = s.GetInt(TopicId::Memos, id, MemoField::Text))
        return s.GetName(TopicId::Texts, text, true);
    if (const std::int32_t code = s.GetInt(TopicId::Memos, id, MemoField::Code))
        return s.GetName(TopicId::Codes, code, true);
    return {};
}

std::string MemoOperations::Heading(const Memo& memo) const {
    const TopicStore& s = ws_.store();
    std::string h = memo.title + "\n\n";
    h += memo.code != 0 && memo.text == 0 ? "Code\t" : "Text\t\t";
    h += OwnerName(memo.id) + "\n";
    h += "Author\t\t" + memo.author + "\n";
    h += "Creation Date\t" + dateToText(memo.date) + "\n";
    for (std::size_t i = 0; i < memo.codes.size(); ++i)
        h += (i == 0 ? "Codes\t" : "\t\t") + s.GetName(TopicId::Codes, memo.codes[i], false) + "\n";
    h += "\n";
    return h;
}

platform::RichText MemoOperations::ExportDocument(const Memo& memo) const {
    platform::RichText doc = platform::RichText::fromPlain(Heading(memo));
    doc.append(memo.body);
    return doc;
}

std::string MemoOperations::Export(std::int32_t id, const std::string& path) const {
    Memo memo;
    if (!Load(id, memo)) return "There is no memo " + std::to_string(id) + ".";
    return platform::writeFileAtomic(path, ExportDocument(memo).toRtf());
}

std::string MemoOperations::ExportList(const std::vector<std::int32_t>& ids,
                                       const std::string& path) const {
    platform::RichText doc;
    for (std::int32_t id : ids) {
        Memo memo;
        if (!Load(id, memo)) continue;
        // Each memo starts on a paragraph of its own, one empty paragraph after the last.
        if (!doc.empty()) doc.append(platform::RichText::fromPlain("\n\n"));
        doc.append(ExportDocument(memo));
    }
    return platform::writeFileAtomic(path, doc.toRtf());
}

Overview MemoOperations::ManagerOverview() const {
    return {"all", TopicId::Memos, ws_.store().ListIds(TopicId::Memos)};
}

std::vector<std::int32_t> MemoOperations::LinkChoices() const {
    std::vector<std::int32_t> codes;
    const Topic* t = ws_.store().GetTopic(TopicId::Codes);
    for (std::int32_t code : ws_.quickList.codes())
        if (t->contains(code)) codes.push_back(code);
    if (codes.empty()) ws_.ui().message("Quick-List is empty", MessageIcon::Warning);
    return codes;
}

MemoEditor::MemoEditor(MemoOperations& ops, std::int32_t id, bool isNew) : ops_(ops) {
    switchTo(id, isNew);
}

void MemoEditor::setTitle(std::string_view title) {
    if (title == memo_.title) return;
    memo_.title = cutText(title, MemoTextLimit);
    touch();
}

void MemoEditor::setAuthor(std::string_view author) {
    if (author == memo_.author) return;
    memo_.author = cutText(author, MemoTextLimit);
    touch();
}

void MemoEditor::setType(int type) {
    if (type < 0 || type >= MemoTypeCount) return;
    memo_.type = type;
    touch();
}

void MemoEditor::setBody(platform::RichText body) {
    memo_.body = std::move(body);
    touch();
}

void MemoEditor::linkCode(std::int32_t code) {
    if (code <= 0) return;
    memo_.codes.push_back(code);
    touch();
}

void MemoEditor::removeCodes(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end(), std::greater<>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (int row : rows)
        if (row >= 0 && row < static_cast<int>(memo_.codes.size())) {
            memo_.codes.erase(memo_.codes.begin() + row);
            touch();
        }
}

bool MemoEditor::close() {
    if (!valid() || (!new_ && !modified_)) return true;
    if (!ops_.Save(memo_)) return false;
    new_ = modified_ = false;
    return true;
}

void MemoEditor::discard() {
    memo_ = Memo{};
    new_ = modified_ = false;
}

bool MemoEditor::switchTo(std::int32_t id, bool isNew) {
    if (!close()) return false;
    Memo next;
    if (!ops_.Load(id, next)) return false; // the memo shown stays, saved
    memo_ = std::move(next);
    new_ = isNew;
    modified_ = false;
    return true;
}

} // namespace vexana::analysis
