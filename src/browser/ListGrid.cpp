#include "ListGrid.h"

#include "SegmentsDocument.h"
#include "platform/Utf8.h"
#include "store/AppSettings.h"
#include "store/Schema.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <unordered_map>

namespace vexana::browser {

using namespace vexana::store;

namespace {

std::vector<ListKind> makeKinds() {
    return {
        {TopicId::Texts, "Variables", "Texts", 3, 0xC8E1E0, false, 0},
        {TopicId::Codes, "Codes", "Codes", 6, 0xE1FFE1, false, 0},
        {TopicId::SearchResults, "Search Results", "Hits", 4, 0xFFD2E0, true, 33001},
        {TopicId::Codings, "Coded Segments", "Coded Segments", 2, 0xFFE0B4, false, 0},
        {TopicId::Memos, "Memos", "Memos", 1, 0xE8E8FF, false, 0},
        {TopicId::WordFrequencies, "Word Frequency", "Words", 9, 0xFFD7D7, false, 0},
        {TopicId::CoderResults, "Results of VEXLexa Coder", "Text Units", 12, 0xDCDCFF, false, 0},
    };
}

char foldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Letters compare without their case first, so "anna" stands beside "Anna".
int compareText(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char x = foldAscii(a[i]), y = foldAscii(b[i]);
        if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// A value of each row's record (`missing` for a row without one). Ids are dense in practice:
// one pass over the topic, reading each record once, then serves every row, where a lookup
// per row would search the index each time.
template <class T, class F>
std::vector<T> perRow(const Topic& t, const std::vector<std::int32_t>& rows, T missing, F value) {
    std::vector<T> out(rows.size(), missing);
    std::int32_t highest = 0;
    for (std::int32_t id : rows)
        highest = std::max(highest, id == ListGrid::lastRowId ? 0 : id);
    const std::size_t span = static_cast<std::size_t>(highest) + 1;
    if (span > 4 * rows.size() + 1024 || span > 4 * static_cast<std::size_t>(t.count()) + 1024) {
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (const std::uint8_t* img = t.image(rows[i])) out[i] = value(img);
        return out;
    }
    std::vector<T> byId(span, missing);
    t.forEach([&](std::int32_t id, const std::uint8_t* img) {
        if (id > 0 && static_cast<std::size_t>(id) < span) byId[id] = value(img);
    });
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i] > 0 && static_cast<std::size_t>(rows[i]) < span) out[i] = byId[rows[i]];
    return out;
}

} // namespace

const ListKind& listKind(int kind) {
    static const std::vector<ListKind> kinds = makeKinds();
    static const ListKind other{0, "", "Objects", -1, 0, false, 0};
    for (const ListKind& k : kinds)
        if (k.kind == kind) return k;
    return other;
}

std::string counterLine(int count, const ListKind& kind) {
    return std::to_string(count) + " " + kind.counterLabel + "    ";
}

int StoreGridOwner::addField(int topic, const std::string& name, int type) {
    FieldInfo f;
    f.type = type;
    f.state = FieldState::NewVariable;
    f.name = cutText(name, 63);
    return store_.AddField(topic, std::move(f));
}

bool StoreGridOwner::removeField(int topic, int fieldId) {
    return store_.RemoveField(topic, fieldId);
}

bool StoreGridOwner::renameField(int topic, int fieldId, const std::string& name) {
    return store_.RenameField(topic, fieldId, cutText(name, 63));
}

ListGrid::ListGrid(TopicStore& store, int topic) : store_(store), topic_(topic) {
    refreshColumns();
}

void ListGrid::refreshColumns() {
    std::vector<GridColumn> next;
    for (int id : store_.ListFields(topic_, false)) {
        const FieldInfo* f = store_.GetField(topic_, id);
        if (!f) continue;
        const int old = columnOfField(id);
        GridColumn c = old >= 0 ? columns_[old] : GridColumn{};
        if (old < 0) c.position = static_cast<int>(columns_.size() + next.size());
        c.field = id;
        c.type = f->type;
        c.state = f->state;
        c.parentTopic = f->parentTopic;
        c.name = f->name;
        next.push_back(std::move(c));
    }
    const int sortField = sortColumn_ >= 0 && sortColumn_ < static_cast<int>(columns_.size())
                              ? columns_[sortColumn_].field
                              : -1;
    columns_ = std::move(next);
    sortColumn_ = columnOfField(sortField);
    if (sortColumn_ < 0) ascending_ = true;
    normalisePositions();
}

void ListGrid::normalisePositions() {
    std::vector<int> order(columns_.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return columns_[a].position < columns_[b].position; });
    for (std::size_t i = 0; i < order.size(); ++i)
        columns_[order[i]].position = static_cast<int>(i);
}

int ListGrid::columnOfField(int fieldId) const {
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i].field == fieldId) return static_cast<int>(i);
    return -1;
}

std::vector<int> ListGrid::displayedColumns() const {
    std::vector<int> out;
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i].shown) out.push_back(static_cast<int>(i));
    std::sort(out.begin(), out.end(),
              [&](int a, int b) { return columns_[a].position < columns_[b].position; });
    return out;
}

void ListGrid::fill(std::vector<std::int32_t> ids) {
    rows_ = std::move(ids);
    refreshColumns();
    sort();
}

std::string ListGrid::cellText(std::int32_t id, const GridColumn& column) const {
    const Topic* t = store_.GetTopic(topic_);
    const std::uint8_t* img = t ? t->image(id) : nullptr;
    const FieldInfo* f = t ? t->field(column.field) : nullptr;
    if (!img || !f) return {};
    if (f->parentTopic) {
        const std::int32_t ref = slot::getInt(img, *f);
        return ref ? store_.GetName(f->parentTopic, ref, false) : std::string();
    }
    if (f->type == TypeBlock) {
        std::string plain = recordBody(store_, topic_, id, f->id).plainText();
        std::replace(plain.begin(), plain.end(), '\r', ' ');
        return plain;
    }
    return t->valueText(img, *f);
}

std::string ListGrid::cellText(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= static_cast<int>(columns_.size()))
        return {};
    return cellText(rows_[row], columns_[column]);
}

std::string ListGrid::section() const {
    return "ObjList" + std::to_string(topic_);
}

void ListGrid::readLayout(const platform::ProfileFile& settings) {
    const std::string sec = section();
    for (GridColumn& c : columns_) {
        const std::string value = settings.readString(sec, "Field" + std::to_string(c.field), "");
        int v[4];
        if (!parseIntList(value, v, 4)) continue;
        c.shown = v[0] != 0;
        c.position = v[1];
        c.width = v[2] > 0 ? std::min(v[2], 10000) : 100;
        c.widthKept = v[2] > 0;
        c.listOfValues = v[3] != 0;
    }
    normalisePositions();
    int s[2];
    if (parseIntList(settings.readString(sec, "Sorting", ""), s, 2))
        setSort(s[0], s[1] != 0);
    else
        setSort(-1, true);
}

void ListGrid::writeLayout(platform::ProfileFile& settings) const {
    const std::string sec = section();
    for (const GridColumn& c : columns_) {
        settings.writeString(sec, "Field" + std::to_string(c.field),
                             std::to_string(c.shown ? 1 : 0) + "," + std::to_string(c.position) +
                                 "," + std::to_string(c.width) + "," +
                                 std::to_string(c.listOfValues ? 1 : 0));
    }
    settings.writeString(sec, "Sorting",
                         std::to_string(sortColumn_) + "," + std::to_string(ascending_ ? 1 : 0));
}

void ListGrid::switchOff(int column) {
    setShown(column, false);
}

void ListGrid::setShown(int column, bool shown) {
    if (column < 0 || column >= static_cast<int>(columns_.size())) return;
    columns_[column].shown = shown;
    if (!shown && column == sortColumn_) setSort(-1, true);
}

void ListGrid::toggleListOfValues(int column) {
    if (column < 0 || column >= static_cast<int>(columns_.size())) return;
    columns_[column].listOfValues = !columns_[column].listOfValues;
}

void ListGrid::setWidth(int column, int width) {
    if (column < 0 || column >= static_cast<int>(columns_.size()) || width <= 0) return;
    columns_[column].width = width;
    columns_[column].widthKept = true;
}

void ListGrid::moveColumn(int column, int displayIndex) {
    if (column < 0 || column >= static_cast<int>(columns_.size())) return;
    std::vector<int> shown = displayedColumns();
    shown.erase(std::remove(shown.begin(), shown.end(), column), shown.end());
    displayIndex = std::clamp(displayIndex, 0, static_cast<int>(shown.size()));
    shown.insert(shown.begin() + displayIndex, column);
    // Hidden columns keep their places after the shown ones.
    int next = 0;
    for (int c : shown)
        columns_[c].position = next++;
    std::vector<int> hidden;
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (!columns_[i].shown && static_cast<int>(i) != column)
            hidden.push_back(static_cast<int>(i));
    std::sort(hidden.begin(), hidden.end(),
              [&](int a, int b) { return columns_[a].position < columns_[b].position; });
    for (int c : hidden)
        columns_[c].position = next++;
}

bool ListGrid::insertVariable(GridOwner& owner, int after, const std::string& name, int type) {
    if (name.empty()) return false;
    const int id = owner.addField(topic_, name, type);
    if (id < 0) return false;
    const int place = after >= 0 && after < static_cast<int>(columns_.size())
                          ? columns_[after].position + 1
                          : static_cast<int>(columns_.size());
    refreshColumns();
    const int column = columnOfField(id);
    if (column < 0) return true;
    GridColumn& c = columns_[column];
    c.shown = true;
    c.width = 100;
    c.listOfValues = true;
    std::vector<int> order;
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (static_cast<int>(i) != column) order.push_back(static_cast<int>(i));
    std::sort(order.begin(), order.end(),
              [&](int a, int b) { return columns_[a].position < columns_[b].position; });
    order.insert(order.begin() + std::min<std::size_t>(place, order.size()), column);
    for (std::size_t i = 0; i < order.size(); ++i)
        columns_[order[i]].position = static_cast<int>(i);
    return true;
}

bool ListGrid::deleteVariable(GridOwner& owner, int column) {
    if (column < 0 || column >= static_cast<int>(columns_.size())) return false;
    if (!owner.removeField(topic_, columns_[column].field)) return false;
    refreshColumns();
    return true;
}

bool ListGrid::renameVariable(GridOwner& owner, int column, const std::string& name) {
    if (name.empty() || column < 0 || column >= static_cast<int>(columns_.size())) return false;
    const bool ok = owner.renameField(topic_, columns_[column].field, name);
    // The store keeps the new name in memory even when the file refused it.
    if (const FieldInfo* f = store_.GetField(topic_, columns_[column].field))
        columns_[column].name = f->name;
    return ok;
}

void ListGrid::setSort(int column, bool ascending) {
    if (column < 0 || column >= static_cast<int>(columns_.size()) || !columns_[column].shown) {
        sortColumn_ = -1;
        ascending_ = true;
        return;
    }
    sortColumn_ = column;
    ascending_ = ascending;
}

void ListGrid::headerClicked(int column) {
    if (column == sortColumn_)
        setSort(column, !ascending_);
    else
        setSort(column, true);
    sort();
}

void ListGrid::sort() {
    if (sortColumn_ < 0 || rows_.size() < 2) return;
    const GridColumn& col = columns_[sortColumn_];
    const Topic* t = store_.GetTopic(topic_);
    const FieldInfo* f = t ? t->field(col.field) : nullptr;
    if (!f) return;
    const std::size_t n = rows_.size();
    // One key per row, read once; references compare by the names they show, ranked once
    // per referenced record.
    std::vector<std::int32_t> ints;
    std::vector<double> reals;
    std::vector<std::string_view> texts;
    std::vector<std::string> owned;
    enum { Int, Real, Text } kind = Int;
    if (f->parentTopic) {
        const std::vector<std::int32_t> refs = perRow<std::int32_t>(
            *t, rows_, 0, [f](const std::uint8_t* img) { return slot::getInt(img, *f); });
        std::unordered_map<std::int32_t, std::int32_t> rank;
        for (std::int32_t r : refs)
            rank.emplace(r, 0);
        std::vector<std::pair<std::string, std::int32_t>> ranked;
        for (const auto& [id, unused] : rank)
            ranked.emplace_back(id ? store_.GetName(f->parentTopic, id, false) : std::string(), id);
        std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
            const int c = compareText(a.first, b.first);
            return c != 0 ? c < 0 : a.second < b.second;
        });
        for (std::size_t i = 0; i < ranked.size(); ++i)
            rank[ranked[i].second] = static_cast<std::int32_t>(i);
        ints.resize(n);
        for (std::size_t i = 0; i < n; ++i)
            ints[i] = rank[refs[i]];
    } else if (f->type == TypeFloat || f->type == TypeDateTime) {
        kind = Real;
        reals = perRow<double>(*t, rows_, -1e300, [f](const std::uint8_t* img) {
            if (f->type == TypeFloat) return slot::getDouble(img, *f);
            const DateTime d = slot::getDate(img, *f);
            return d.valid() ? d.days : -1e300;
        });
    } else if (f->type == TypeBlock) {
        kind = Text;
        owned.resize(n);
        texts.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            owned[i] = cellText(rows_[i], col);
            texts[i] = owned[i];
        }
    } else if (f->type == TypeString || f->type == TypeLongString) {
        kind = Text;
        texts = perRow<std::string_view>(
            *t, rows_, std::string_view(),
            [t, f](const std::uint8_t* img) { return t->getText(img, *f); });
    } else {
        ints = perRow<std::int32_t>(*t, rows_, INT32_MIN,
                                    [f](const std::uint8_t* img) { return slot::getInt(img, *f); });
    }
    if (kind == Int) {
        // Value and place in one number: a plain sort of integers, ties in their old order.
        std::vector<std::uint64_t> keys;
        keys.reserve(n);
        std::vector<std::int32_t> last;
        for (std::size_t i = 0; i < n; ++i) {
            if (rows_[i] == lastRowId) {
                last.push_back(rows_[i]);
                continue;
            }
            std::uint32_t v =
                static_cast<std::uint32_t>(static_cast<std::int32_t>(ints[i])) ^ 0x80000000u;
            if (!ascending_) v = ~v;
            keys.push_back(std::uint64_t{v} << 32 | i);
        }
        std::sort(keys.begin(), keys.end());
        std::vector<std::int32_t> sorted;
        sorted.reserve(n);
        for (std::uint64_t k : keys)
            sorted.push_back(rows_[k & 0xffffffffu]);
        sorted.insert(sorted.end(), last.begin(), last.end());
        rows_ = std::move(sorted);
        return;
    }
    const auto compare = [&](std::size_t a, std::size_t b) -> int {
        switch (kind) {
        case Int:
            return ints[a] < ints[b] ? -1 : (ints[a] > ints[b] ? 1 : 0);
        case Real:
            return reals[a] < reals[b] ? -1 : (reals[a] > reals[b] ? 1 : 0);
        case Text:
            return compareText(texts[a], texts[b]);
        }
        return 0;
    };
    std::vector<std::uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0u);
    const bool up = ascending_;
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const bool lastA = rows_[a] == lastRowId, lastB = rows_[b] == lastRowId;
        if (lastA != lastB) return lastB;
        int c = compare(a, b);
        if (!up) c = -c;
        // Equal values keep the order they had: the sort gives one answer every time.
        return c != 0 ? c < 0 : a < b;
    });
    std::vector<std::int32_t> sorted(n);
    for (std::size_t i = 0; i < n; ++i)
        sorted[i] = rows_[order[i]];
    rows_ = std::move(sorted);
}

bool ListGrid::editable(int column) const {
    if (column < 0 || column >= static_cast<int>(columns_.size())) return false;
    const GridColumn& c = columns_[column];
    return (c.state & FieldState::Editable) != 0 && c.parentTopic == 0 && c.type != TypeBlock &&
           c.type != TypeMemo;
}

std::vector<std::string> ListGrid::distinctValues(int column) const {
    if (column < 0 || column >= static_cast<int>(columns_.size())) return {};
    return store_.DistinctValues(topic_, columns_[column].field);
}

bool refusesValue(const TopicStore& store, int topic, std::int32_t id, int fieldId,
                  std::string_view text) {
    if (topic == TopicId::Codings && fieldId == CodingField::Weight) {
        const std::int32_t w = textToInt(text);
        return w < 0 || w > 100;
    }
    if (topic == TopicId::DictCategories && fieldId == 2) {
        const Topic* t = store.GetTopic(topic);
        const FieldInfo* f = t ? t->field(fieldId) : nullptr;
        if (!f) return false;
        const std::string name = cutText(text, static_cast<std::size_t>(textCapacity(f->type)));
        bool taken = false;
        t->forEach([&](std::int32_t other, const std::uint8_t* img) {
            if (other != id && platform::equalsIgnoreAsciiCase(t->getText(img, *f), name))
                taken = true;
        });
        return taken;
    }
    if (topic == TopicId::DictItems && fieldId == 3) {
        const Topic* t = store.GetTopic(topic);
        const FieldInfo* f = t ? t->field(fieldId) : nullptr;
        const int catField = t ? t->referenceField(TopicId::DictCategories) : -1;
        const FieldInfo* cat = t && catField >= 0 ? t->field(catField) : nullptr;
        const std::uint8_t* mine = t ? t->image(id) : nullptr;
        if (!f || !cat || !mine) return false;
        const std::int32_t category = slot::getInt(mine, *cat);
        const std::string item = cutText(text, static_cast<std::size_t>(textCapacity(f->type)));
        for (std::int32_t other : store.FindIds(topic, TopicId::DictCategories, category)) {
            const std::uint8_t* img = t->image(other);
            if (other != id && img && t->getText(img, *f) == item) return true;
        }
        return false;
    }
    return false;
}

ListGrid::Edit ListGrid::setCell(int row, int column, std::string_view text) {
    if (row < 0 || row >= rowCount() || !editable(column)) return Edit::NotEditable;
    const std::int32_t id = rows_[row];
    const int field = columns_[column].field;
    if (refusesValue(store_, topic_, id, field, text)) return Edit::Refused;
    // A variable keeps its value rather than take 0 or the zero date for text that is none.
    if ((columns_[column].state & FieldState::Variable) &&
        !readsWholly(columns_[column].type, text))
        return Edit::Unreadable;
    RecordCursor cursor;
    if (!store_.GetRecord(topic_, id, cursor)) return Edit::Failed;
    return store_.SetFieldText(cursor, field, text) ? Edit::Stored : Edit::Failed;
}

std::string ListGrid::refusal(int column, std::string_view text) const {
    if (column < 0 || column >= static_cast<int>(columns_.size())) return {};
    return unreadableValue(columns_[column].type, text, columns_[column].name);
}

} // namespace vexana::browser
