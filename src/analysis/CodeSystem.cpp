#include "CodeSystem.h"

#include "MemoOperations.h"
#include "Workspace.h"
#include "platform/Utf8.h"
#include "store/Schema.h"

#include <algorithm>
#include <unicode/uchar.h>
#include <unordered_set>

namespace vexana::analysis {

using namespace store;

namespace {

std::u32string decode(std::string_view s) {
    std::u32string out;
    for (std::size_t i = 0; i < s.size();)
        out.push_back(platform::utf8Decode(s, i));
    return out;
}

std::string encode(const std::u32string& s) {
    std::string out;
    for (char32_t c : s)
        platform::utf8Append(out, c);
    return out;
}

std::string trimBlanks(std::string_view s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(s.substr(first, s.find_last_not_of(' ') - first + 1));
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    const std::u32string x = decode(a), y = decode(b);
    if (x.size() != y.size()) return false;
    for (std::size_t i = 0; i < x.size(); ++i)
        if (u_foldCase(static_cast<UChar32>(x[i]), U_FOLD_CASE_DEFAULT) !=
            u_foldCase(static_cast<UChar32>(y[i]), U_FOLD_CASE_DEFAULT))
            return false;
    return true;
}

// Splits off the first level of a path: trimmed and cut to 63 characters.
// Deeper paths come only from damaged or hostile input; no code tree is that deep.
constexpr std::size_t maxPathLevels = 64;

std::string headOf(std::string_view path, std::string_view& rest) {
    const auto slash = path.find('\\');
    rest = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    return cutText(trimBlanks(path.substr(0, slash)), 63);
}

} // namespace

std::string shortenName(std::string_view name, std::size_t n) {
    std::u32string s = decode(trimBlanks(name));
    if (s.size() > n) {
        const auto blank = s.rfind(U' ', n - 1);
        s.resize(blank == std::u32string::npos || blank == 0 ? n : blank);
    }
    if (const auto lf = s.find(U'\n'); lf != std::u32string::npos) s.resize(lf == 0 ? 0 : lf - 1);
    std::replace(s.begin(), s.end(), U'\t', U' ');
    return encode(s);
}

std::vector<std::int32_t> CodeSystem::Children(std::int32_t parent) const {
    return ws_.store().FindIds(TopicId::Codes, TopicId::Codes, parent);
}

std::vector<std::int32_t> CodeSystem::Subtree(std::int32_t code) const {
    std::vector<std::int32_t> out;
    std::vector<std::int32_t> todo{code};
    while (!todo.empty() && out.size() < 1000000) {
        const std::int32_t c = todo.back();
        todo.pop_back();
        if (std::find(out.begin(), out.end(), c) != out.end()) continue; // a damaged file's cycle
        out.push_back(c);
        const auto kids = Children(c);
        todo.insert(todo.end(), kids.rbegin(), kids.rend());
    }
    return out;
}

std::string CodeSystem::FullName(std::int32_t code) const {
    return ws_.store().GetName(TopicId::Codes, code, true);
}

std::int32_t CodeSystem::createChild(std::int32_t parent, std::string_view name) {
    TopicStore& s = ws_.store();
    if (parent != 0 && !s.GetTopic(TopicId::Codes)->contains(parent)) return 0;
    // After the siblings there are; counted before the new record joins the topic.
    const auto index = static_cast<std::int32_t>(Children(parent).size());
    RecordCursor c;
    if (!s.NewRecord(TopicId::Codes, c)) return 0;
    const std::int32_t id = c.id();
    c.setText(CodeField::Name, name.empty() ? "Code " + std::to_string(id) : std::string(name));
    c.setInt(CodeField::Parent, parent);
    c.setInt(CodeField::Index, index);
    c.setInt(CodeField::State, 1);
    if (!s.Save(c, true, true)) {
        s.DeleteRecordOnly(TopicId::Codes, id);
        return 0;
    }
    ws_.notify(ViewEvent::Inserted, TopicId::Codes, id);
    return id;
}

std::int32_t CodeSystem::NewCode(std::int32_t parent, std::string_view name, bool rename) {
    const std::int32_t id =
        createChild(parent, name.empty() ? std::string() : shortenName(name, 31));
    if (id && rename) ws_.notify(ViewEvent::RenameStarted, TopicId::Codes, id);
    return id;
}

// A level of a path names a child by its whole name, or by the shortened name that a code
// made for that level is given (as New Code shortens names), so the same path finds it again.
std::int32_t CodeSystem::childNamed(std::int32_t parent, const std::string& level,
                                    bool ignoreCase) const {
    const std::string shortened = shortenName(level, 31);
    const auto same = [&](const std::string& a, const std::string& b) {
        return ignoreCase ? equalIgnoringCase(a, b) : a == b;
    };
    for (const std::string* wanted : {&level, &shortened})
        for (std::int32_t child : Children(parent))
            if (same(ws_.store().GetText(TopicId::Codes, child, CodeField::Name), *wanted))
                return child;
    return 0;
}

std::int32_t CodeSystem::FindCodeByPath(std::int32_t parent, std::string_view path, bool create) {
    // The whole path is read first: one that names no code (an empty level, too many levels)
    // must not leave the levels before the fault behind.
    std::vector<std::string> levels;
    for (;;) {
        std::string_view rest;
        std::string head = headOf(path, rest);
        if (head.empty() || levels.size() >= maxPathLevels) return 0;
        levels.push_back(std::move(head));
        if (rest.empty()) break;
        path = rest;
    }
    StoreBatch unit(ws_.store());
    for (const std::string& head : levels) {
        std::int32_t found = childNamed(parent, head, false);
        if (!found && create) found = createChild(parent, shortenName(head, 31));
        if (!found) {
            unit.fail();
            return 0;
        }
        parent = found;
    }
    return unit.finish() ? parent : 0;
}

std::int32_t CodeSystem::ResolvePathIgnoringCase(std::int32_t parent, std::string_view path) {
    for (int depth = 0; depth < 1000; ++depth) {
        const auto slash = path.find('\\');
        const std::string head = cutText(trimBlanks(path.substr(0, slash)), 63);
        if (head.empty()) {
            if (slash == std::string_view::npos) return parent;
            path = path.substr(slash + 1);
            continue;
        }
        std::int32_t found = childNamed(parent, head, true);
        if (!found) found = createChild(parent, shortenName(head, 31));
        if (!found || slash == std::string_view::npos) return found;
        parent = found;
        path = path.substr(slash + 1);
    }
    return 0;
}

bool CodeSystem::SetActiveBit(std::int32_t code, bool on) {
    TopicStore& s = ws_.store();
    RecordCursor c;
    if (!s.GetRecord(TopicId::Codes, code, c)) return false;
    const std::int32_t state = c.getInt(CodeField::State);
    if (((state & StateActive) != 0) == on) return false;
    c.setInt(CodeField::State, on ? (state | StateActive) : (state & ~StateActive));
    s.UpdateInMemory(c);
    ws_.notify(ViewEvent::Changed, TopicId::Codes, code);
    return true;
}

void CodeSystem::DeactivateEveryCode() {
    for (std::int32_t code : ws_.store().ListIds(TopicId::Codes))
        SetActiveBit(code, false);
}

bool CodeSystem::setActive(std::int32_t code, bool on, int depth) {
    if (depth > 1000 || !ws_.store().GetTopic(TopicId::Codes)->contains(code)) return false;
    bool changed = SetActiveBit(code, on);
    for (std::int32_t child : Children(code))
        changed = setActive(child, on, depth + 1) || changed;
    return changed;
}

bool CodeSystem::ActivateCode(std::int32_t code, bool on) {
    const bool changed = setActive(code, on, 0);
    if (changed) ws_.BuildRetrieval();
    return changed;
}

bool CodeSystem::ActivateAllCodes(bool on) {
    bool changed = false;
    for (std::int32_t top : Children(0))
        changed = setActive(top, on, 0) || changed;
    if (changed) ws_.BuildRetrieval();
    return changed;
}

bool CodeSystem::ToggleCode(std::int32_t code) {
    return ActivateCode(code, !ws_.IsActive(TopicId::Codes, code));
}

bool CodeSystem::SetCodeColour(std::int32_t code, int colour) {
    TopicStore& s = ws_.store();
    RecordCursor c;
    if (colour < 0 || colour > 4 || !s.GetRecord(TopicId::Codes, code, c)) return false;
    const std::int32_t type = c.getInt(CodeField::Type);
    if (Colour(type) == colour) return false;
    StoreBatch batch(s);
    c.setInt(CodeField::Type, colour + (type >= 1000000 ? 1000000 : 0));
    if (!s.Save(c)) return false;
    ws_.notify(ViewEvent::Changed, TopicId::Codes, code);
    for (std::int32_t coding : s.FindIds(TopicId::Codings, TopicId::Codes, code)) {
        RecordCursor k;
        if (!s.GetRecord(TopicId::Codings, coding, k)) continue;
        k.setInt(CodingField::Type, colour);
        if (!s.Save(k)) batch.fail();
        ws_.notify(ViewEvent::Changed, TopicId::Codings, coding);
    }
    return batch.finish();
}

Rgb CodeSystem::DisplayColour(int type) {
    switch (Colour(type)) {
    case 1:
        return {196, 196, 0};
    case 2:
        return {0, 0, 128};
    case 3:
        return {164, 0, 0};
    case 4:
        return {164, 0, 164};
    default:
        return {0, 128, 0};
    }
}

int CodeSystem::IconIndex(int type, bool active) {
    const int colour = Colour(type) >= 0 && Colour(type) <= 4 ? Colour(type) : 0;
    return 2 * colour + (active ? 14 : 13);
}

Overview CodeSystem::CodingsOverview(std::int32_t code) const {
    const TopicStore& s = ws_.store();
    Overview o;
    o.topic = TopicId::Codings;
    o.title = code == 0 ? "All Codes" : "Code: " + s.GetName(TopicId::Codes, code, false);
    if (code == 0) {
        for (std::int32_t id : s.ListIds(TopicId::Codings))
            if (s.GetInt(TopicId::Codings, id, CodingField::Code) != 0) o.ids.push_back(id);
        return o;
    }
    for (std::int32_t c : Subtree(code))
        for (std::int32_t id : s.FindIds(TopicId::Codings, TopicId::Codes, c))
            o.ids.push_back(id);
    return o;
}

Overview CodeSystem::MemosOverview(std::int32_t code) const {
    const TopicStore& s = ws_.store();
    Overview o;
    o.topic = TopicId::Memos;
    o.title = code == 0 ? "All Codes" : "Code: " + s.GetName(TopicId::Codes, code, false);
    const std::vector<std::int32_t> codes = code == 0 ? s.ListIds(TopicId::Codes)
                                            : ws_.options.includeSubcodes ? Subtree(code)
                                                                          : std::vector{code};
    // A code's own memo and the memos that link it, each once, in memo order.
    std::unordered_set<std::int32_t> wanted(codes.begin(), codes.end());
    TopicStore& rw = ws_.store(); // the linked-code blocks are read on demand
    for (std::int32_t id : s.ListIds(TopicId::Memos)) {
        if (wanted.count(s.GetInt(TopicId::Memos, id, MemoField::Code))) {
            o.ids.push_back(id);
            continue;
        }
        RecordCursor c;
        if (!rw.GetRecord(TopicId::Memos, id, c, true)) continue;
        for (std::int32_t linked : readLinkedCodes(c.block(MemoField::Codes)))
            if (wanted.count(linked)) {
                o.ids.push_back(id);
                break;
            }
    }
    return o;
}

} // namespace vexana::analysis
