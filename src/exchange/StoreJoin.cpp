#include "StoreJoin.h"

#include "store/ProjectDatabase.h"
#include "store/Schema.h"
#include "variables/Variables.h"

#include <algorithm>
#include <unordered_set>

namespace vexana::exchange {

using namespace store;

namespace {

// No code tree people build is this deep; a deeper one comes from a damaged file.
constexpr int maxCodeDepth = 200;

std::string trimBlanks(std::string_view s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(s.substr(first, s.find_last_not_of(' ') - first + 1));
}

// A value moved slot to slot: through text a date would pass the locale and lose its time.
void copyValue(const RecordCursor& from, int fromField, RecordCursor& to, int toField, int type) {
    switch (type) {
    case TypeInteger:
    case TypeBoolean:
        to.setInt(toField, from.getInt(fromField));
        break;
    case TypeFloat:
        to.setDouble(toField, from.getDouble(fromField));
        break;
    case TypeDateTime:
        to.setDate(toField, from.getDate(fromField));
        break;
    case TypeString:
    case TypeLongString:
        to.setText(toField, from.getText(fromField));
        break;
    default:
        break;
    }
}

} // namespace

std::int32_t StoreJoin::child(std::int32_t parent, const std::string& name) {
    auto it = children_.find(parent);
    if (it == children_.end()) {
        auto& byName = children_[parent];
        // The first of two siblings that read the same is the one joined.
        for (std::int32_t c : dst_.FindIds(TopicId::Codes, TopicId::Codes, parent))
            byName.emplace(variables::foldedKey(dst_.GetText(TopicId::Codes, c, CodeField::Name)),
                           c);
        it = children_.find(parent);
    }
    const auto found = it->second.find(variables::foldedKey(name));
    return found == it->second.end() ? 0 : found->second;
}

std::int32_t StoreJoin::resolve(const std::vector<std::string>& levels) {
    std::int32_t parent = 0;
    for (const std::string& raw : levels) {
        const std::string name = cutText(trimBlanks(raw), 63);
        if (name.empty()) continue;
        std::int32_t found = child(parent, name);
        if (!found) {
            const auto index = static_cast<std::int32_t>(
                dst_.FindIds(TopicId::Codes, TopicId::Codes, parent).size());
            RecordCursor c;
            if (!dst_.NewRecord(TopicId::Codes, c)) {
                fail();
                return 0;
            }
            found = c.id();
            c.setText(CodeField::Name, name);
            c.setInt(CodeField::Parent, parent);
            c.setInt(CodeField::Index, index);
            c.setInt(CodeField::State, 1);
            if (!dst_.Save(c, true, true)) {
                fail();
                return 0;
            }
            children_[parent].emplace(variables::foldedKey(name), found);
            ++codesCreated_;
        }
        parent = found;
    }
    return parent;
}

void StoreJoin::walk(std::int32_t parent, const std::function<bool(std::int32_t)>& take,
                     int depth) {
    if (depth > maxCodeDepth) return;
    for (std::int32_t c : src_.FindIds(TopicId::Codes, TopicId::Codes, parent)) {
        if (!ok_) return;
        // A cycle in a damaged tree meets a code twice; the root's own id never is a child.
        if (c == parent || codes_.count(c)) continue;
        if (take(c)) {
            std::vector<std::string> levels;
            std::string path = src_.GetName(TopicId::Codes, c, true);
            for (std::size_t from = 0;;) {
                const auto slash = path.find('\\', from);
                levels.push_back(path.substr(from, slash - from));
                if (slash == std::string::npos) break;
                from = slash + 1;
            }
            const std::int32_t target = resolve(levels);
            if (!target) {
                fail();
                return;
            }
            codes_[c] = target;
            const std::int32_t type = src_.GetInt(TopicId::Codes, c, CodeField::Type);
            if (type != 0 && dst_.GetInt(TopicId::Codes, target, CodeField::Type) == 0) {
                RecordCursor t;
                if (!dst_.GetRecord(TopicId::Codes, target, t)) {
                    fail();
                    return;
                }
                t.setInt(CodeField::Type, type);
                if (!dst_.Save(t)) fail();
            }
        } else {
            // Marked as seen so a cycle ends; not a mapping.
            codes_.emplace(c, 0);
        }
        walk(c, take, depth + 1);
    }
}

void StoreJoin::joinCodes(const std::function<bool(std::int32_t)>& take) {
    walk(0, take, 0);
    std::erase_if(codes_, [](const auto& kv) { return kv.second == 0; });
}

std::pair<int, int> StoreJoin::joinCodeMemos() {
    int added = 0, skipped = 0;
    for (std::int32_t memo : src_.ListIds(TopicId::Memos)) {
        if (!ok_) break;
        const std::int32_t code = mappedCode(src_.GetInt(TopicId::Memos, memo, MemoField::Code));
        if (!code) continue;
        if (dst_.GetInt(TopicId::Codes, code, CodeField::MemoID) != 0) {
            ++skipped;
            continue;
        }
        const std::int32_t made = copyMemo(memo, 0, code);
        RecordCursor c;
        if (!made || !dst_.GetRecord(TopicId::Codes, code, c)) {
            fail();
            break;
        }
        c.setInt(CodeField::MemoID, made);
        if (!dst_.Save(c)) fail();
        ++added;
    }
    return {added, skipped};
}

void StoreJoin::joinVariables() {
    const Topic* target = dst_.GetTopic(TopicId::Texts);
    for (int srcField : src_.ListVariables(TopicId::Texts)) {
        const FieldInfo* f = src_.GetField(TopicId::Texts, srcField);
        if (!f || !ok_) continue;
        int joined = -1;
        for (int dstField : dst_.ListVariables(TopicId::Texts)) {
            const FieldInfo* d = dst_.GetField(TopicId::Texts, dstField);
            if (d && d->type == f->type && variables::equalIgnoringCase(d->name, f->name)) {
                joined = dstField;
                break;
            }
        }
        if (joined < 0) {
            if (f->type == TypeBlock || f->type == TypeMemo) continue; // never a variable's type
            const auto taken = [&](const std::string& name) {
                return std::any_of(
                    target->fields().begin(), target->fields().end(),
                    [&](const FieldInfo& g) { return variables::equalIgnoringCase(g.name, name); });
            };
            std::string name = cutText(f->name, 63);
            for (int n = 1; taken(name) && n < 100000; ++n)
                name = f->name + "(" + std::to_string(n) + ")";
            FieldInfo added;
            added.type = f->type;
            added.state = FieldState::NewVariable;
            added.name = name;
            joined = dst_.AddField(TopicId::Texts, added);
            if (joined < 0) {
                fail();
                return;
            }
            ++variablesCreated_;
        }
        fields_.emplace_back(srcField, joined);
    }
}

std::int32_t StoreJoin::copyText(std::int32_t sourceText, std::int32_t group, bool withBody) {
    RecordCursor from, to;
    if (!src_.GetRecord(TopicId::Texts, sourceText, from, withBody) ||
        !dst_.NewRecord(TopicId::Texts, to)) {
        fail();
        return 0;
    }
    const std::int32_t id = to.id();
    to.setInt(TextField::Group, group);
    to.setInt(TextField::Index, 0);
    // Neither open in the Text Browser nor activated in the project it joins.
    to.setInt(TextField::State,
              from.getInt(TextField::State) & ~(StateActive | StateOpenInBrowser));
    to.setInt(TextField::Type, from.getInt(TextField::Type));
    to.setText(TextField::Name, from.getText(TextField::Name));
    to.setDate(TextField::Date, from.getDate(TextField::Date));
    to.setInt(TextField::Codes, from.getInt(TextField::Codes));
    if (withBody) to.setBlock(TextField::Body, from.block(TextField::Body));
    for (const auto& [s, d] : fields_)
        copyValue(from, s, to, d, src_.GetField(TopicId::Texts, s)->type);
    if (!dst_.Save(to, true, true)) {
        fail();
        return 0;
    }
    texts_[sourceText] = id;
    return id;
}

bool StoreJoin::takeValues(std::int32_t sourceText, std::int32_t targetText) {
    if (fields_.empty()) return true;
    RecordCursor from, to;
    if (!src_.GetRecord(TopicId::Texts, sourceText, from) ||
        !dst_.GetRecord(TopicId::Texts, targetText, to)) {
        fail();
        return false;
    }
    for (const auto& [s, d] : fields_)
        copyValue(from, s, to, d, src_.GetField(TopicId::Texts, s)->type);
    if (!dst_.Save(to, false, true)) fail();
    return ok_;
}

std::int32_t StoreJoin::copyMemo(std::int32_t sourceMemo, std::int32_t text, std::int32_t code) {
    RecordCursor from, to;
    if (!src_.GetRecord(TopicId::Memos, sourceMemo, from, true) ||
        !dst_.NewRecord(TopicId::Memos, to)) {
        fail();
        return 0;
    }
    const std::int32_t id = to.id();
    to.setInt(MemoField::Text, text);
    to.setInt(MemoField::Code, code);
    to.setInt(MemoField::Type, from.getInt(MemoField::Type));
    to.setInt(MemoField::Pos, from.getInt(MemoField::Pos));
    to.setText(MemoField::Title, from.getText(MemoField::Title));
    to.setText(MemoField::Author, from.getText(MemoField::Author));
    to.setDate(MemoField::Date, from.getDate(MemoField::Date));
    to.setText(MemoField::Preview, from.getText(MemoField::Preview));
    to.setBlock(MemoField::Body, from.block(MemoField::Body));
    // Whole little-endian ids; a trailing partial one is dropped, an unmapped code is 0.
    const ByteBlock& linked = from.block(MemoField::Codes);
    ByteBlock mapped;
    mapped.reserve(linked.size());
    for (std::size_t i = 0; i + 4 <= linked.size(); i += 4) {
        const std::int32_t old = static_cast<std::int32_t>(
            std::uint32_t{linked[i]} | std::uint32_t{linked[i + 1]} << 8 |
            std::uint32_t{linked[i + 2]} << 16 | std::uint32_t{linked[i + 3]} << 24);
        const auto now = static_cast<std::uint32_t>(mappedCode(old));
        for (int b = 0; b < 4; ++b)
            mapped.push_back(static_cast<std::uint8_t>(now >> (8 * b)));
    }
    to.setBlock(MemoField::Codes, std::move(mapped));
    if (!dst_.Save(to, true, true)) {
        fail();
        return 0;
    }
    return id;
}

std::int32_t StoreJoin::copyCoding(std::int32_t sourceCoding, std::int32_t text) {
    RecordCursor from, to;
    if (!src_.GetRecord(TopicId::Codings, sourceCoding, from, !codingBlocks_) ||
        (codingBlocks_ && !codingBlocks_->fill(from))) {
        fail();
        return 0;
    }
    const std::int32_t code = mappedCode(from.getInt(CodingField::Code));
    if (!code) return 0;
    if (!dst_.NewRecord(TopicId::Codings, to)) {
        fail();
        return 0;
    }
    const std::int32_t id = to.id();
    to.setInt(CodingField::TAID, 0);
    to.setInt(CodingField::Type, from.getInt(CodingField::Type));
    to.setInt(CodingField::Text, text);
    to.setInt(CodingField::Code, code);
    for (int f : {CodingField::StartChar, CodingField::FinishChar, CodingField::StartPara,
                  CodingField::FinishPara, CodingField::Weight})
        to.setInt(f, from.getInt(f));
    to.setText(CodingField::Preview, from.getText(CodingField::Preview));
    to.setBlock(CodingField::Body, from.block(CodingField::Body));
    if (!dst_.Save(to, true, true)) {
        fail();
        return 0;
    }
    return id;
}

std::vector<std::int32_t> StoreJoin::touchedCodes() const {
    std::unordered_set<std::int32_t> seen;
    std::vector<std::int32_t> out;
    for (const auto& [s, d] : codes_)
        if (seen.insert(d).second) out.push_back(d);
    std::sort(out.begin(), out.end());
    return out;
}

bool StoreJoin::recountCode(TopicStore& s, std::int32_t code) {
    const auto n =
        static_cast<std::int32_t>(s.FindIds(TopicId::Codings, TopicId::Codes, code).size());
    if (s.GetInt(TopicId::Codes, code, CodeField::Codes) == n) return true;
    RecordCursor c;
    if (!s.GetRecord(TopicId::Codes, code, c)) return false;
    c.setInt(CodeField::Codes, n);
    return s.Save(c);
}

bool StoreJoin::recountText(TopicStore& s, std::int32_t text) {
    const auto n =
        static_cast<std::int32_t>(s.FindIds(TopicId::Codings, TopicId::Texts, text).size());
    if (s.GetInt(TopicId::Texts, text, TextField::Codes) == n) return true;
    RecordCursor c;
    if (!s.GetRecord(TopicId::Texts, text, c)) return false;
    c.setInt(TextField::Codes, n);
    return s.Save(c);
}

} // namespace vexana::exchange
