#include "Retrieval.h"

#include "CodeSystem.h"
#include "platform/Files.h"
#include "platform/Utf8.h"
#include "platform/richtext/ParagraphTable.h"
#include "platform/richtext/RichText.h"
#include "store/Schema.h"

#include <algorithm>
#include <cstdio>

namespace vexana::analysis {

using namespace store;

namespace {

// Reads "%d|%d|...": each field as a leading integer, 0 without digits; a string that runs
// out leaves the remaining fields as they are.
std::vector<std::optional<int>> splitOptions(const std::string& text, std::size_t count) {
    std::vector<std::optional<int>> out(count);
    std::size_t pos = 0;
    for (std::size_t i = 0; i < count && pos <= text.size(); ++i) {
        const auto bar = text.find('|', pos);
        out[i] =
            textToInt(text.substr(pos, bar == std::string::npos ? std::string::npos : bar - pos));
        if (bar == std::string::npos) break;
        pos = bar + 1;
    }
    if (text.empty()) out.assign(count, std::nullopt);
    return out;
}

std::string joinOptions(const std::vector<int>& values) {
    std::string out;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i) out += '|';
        out += std::to_string(values[i]);
    }
    return out;
}

// Begin paragraph: (end of p-1, or 0) <= begin <= end of p. End paragraph: start of p <=
// end <= start of p+1 (999999999 after the last). One paragraph or none numbers both 1.
std::pair<int, int> resultParagraphs(const platform::RichText& text, std::int32_t begin,
                                     std::int32_t end) {
    const platform::ParagraphTable table(text);
    if (table.count() <= 1) return {1, 1};
    int first = 0, last = 0;
    for (int p = 1; p <= table.count() && !first; ++p) {
        const std::int32_t before = p == 1 ? 0 : table.paragraph(p - 1).second;
        if (before <= begin && begin <= table.paragraph(p).second) first = p;
    }
    for (int p = 1; p <= table.count() && !last; ++p) {
        const std::int32_t next = p < table.count() ? table.paragraph(p + 1).first : 999999999;
        if (table.paragraph(p).first <= end && end <= next) last = p;
    }
    return {first, last};
}

} // namespace

Retrieval::Retrieval(Workspace& ws) : ws_(ws) {
    ws_.setRetrievalEngine(this);
    ws_.doc().addView(this);
    ReadProjectOptions(ws_.doc().options());
}

Retrieval::~Retrieval() {
    ws_.doc().removeView(this);
    ws_.setRetrievalEngine(nullptr);
}

void Retrieval::appendCodings(std::int32_t code, std::int32_t ancestor, std::int32_t excluded,
                              std::vector<RetrievedSegment>& out) {
    const TopicStore& s = ws_.store();
    const RetrievalOptions& o = ws_.options;
    // One key per listed code: a subcode's codings taken as its ancestor's sort with it.
    const std::int32_t listed = o.includeSubcodes && ancestor != 0 ? ancestor : code;
    const std::int32_t index = s.GetInt(TopicId::Codes, listed, CodeField::Index);
    const bool negate = ancestor != 0 && ancestor == excluded;
    const Topic* codings = s.GetTopic(TopicId::Codings);
    for (std::int32_t id : s.FindIds(TopicId::Codings, TopicId::Codes, code)) {
        const std::uint8_t* img = codings->image(id);
        auto get = [&](int f) { return slot::getInt(img, *codings->field(f)); };
        const int weight = get(CodingField::Weight);
        if (o.useWeightFilter && (weight < o.lowWeight || weight > o.highWeight)) continue;
        const std::int32_t text = get(CodingField::Text);
        if (!ws_.IsActive(TopicId::Texts, text)) continue;
        RetrievedSegment seg;
        seg.codingId = id;
        seg.textId = text;
        seg.textKey = s.GetInt(TopicId::Texts, text, TextField::Index);
        seg.groupId = s.GetInt(TopicId::Texts, text, TextField::Group);
        seg.groupKey = s.GetInt(TopicId::TextGroups, seg.groupId, GroupField::Index);
        seg.codeId = listed;
        seg.codeKey = negate ? -index : index;
        seg.selected = negate;
        seg.begin = seg.unionBegin = get(CodingField::StartChar);
        seg.end = seg.unionEnd = get(CodingField::FinishChar);
        seg.beginPara = get(CodingField::StartPara);
        seg.endPara = get(CodingField::FinishPara);
        out.push_back(seg);
    }
}

void Retrieval::gather(std::int32_t parent, std::int32_t ancestor, std::int32_t excluded,
                       std::vector<RetrievedSegment>& out, int depth) {
    if (depth > 1000) return; // only a damaged file's cycle goes this deep
    const bool subcodes = ws_.options.includeSubcodes;
    for (std::int32_t child : ws_.codes().Children(parent)) {
        const bool active = ws_.IsActive(TopicId::Codes, child);
        if (active && ancestor == 0) ++activeCodes_;
        if ((active || ancestor != 0) && child != excluded)
            appendCodings(child, ancestor, excluded, out);
        const std::int32_t next = !subcodes ? 0 : ancestor != 0 ? ancestor : active ? child : 0;
        gather(child, next, excluded, out, depth + 1);
    }
}

void Retrieval::RemoveResultCodings() {
    TopicStore& s = ws_.store();
    StoreBatch batch(s);
    removeResults();
    batch.finish();
}

// A project that cannot be written keeps an analysis's results in memory only: reading it
// is what such a project is opened for.
bool Retrieval::resultsInMemory() const {
    const store::ProjectDatabase* db = ws_.doc().database();
    return db && db->isReadOnly();
}

void Retrieval::removeResults() {
    TopicStore& s = ws_.store();
    for (std::int32_t id : s.FindIds(TopicId::Codings, TopicId::Codes, 0))
        if (resultsInMemory())
            s.DeleteInMemory(TopicId::Codings, id);
        else
            s.DeleteRecordOnly(TopicId::Codings, id);
}

std::vector<RetrievedSegment> Retrieval::GatherSegments(std::int32_t selected) {
    activeCodes_ = 0;
    std::vector<RetrievedSegment> out;
    gather(0, 0, selected, out, 0);
    if (selected != 0 && ws_.store().GetTopic(TopicId::Codes)->contains(selected)) {
        appendCodings(selected, selected, selected, out);
        if (ws_.options.includeSubcodes) gather(selected, selected, selected, out, 0);
    }
    return out;
}

std::vector<std::int32_t> Retrieval::toResultCodings(const std::vector<RetrievedSegment>& result) {
    TopicStore& s = ws_.store();
    std::vector<std::int32_t> ids;
    std::int32_t loadedText = 0;
    platform::RichText body;
    for (const RetrievedSegment& seg : result) {
        if (seg.textId != loadedText) {
            RecordCursor t;
            loadedText = seg.textId;
            if (s.GetRecord(TopicId::Texts, seg.textId, t, true)) {
                const auto& b = t.block(TextField::Body);
                body = platform::RichText::fromRtf(
                    std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
            } else {
                body = platform::RichText();
            }
        }
        RecordCursor c;
        if (!s.NewRecord(TopicId::Codings, c)) continue;
        const auto [first, last] = resultParagraphs(body, seg.begin, seg.end);
        c.setInt(CodingField::Text, seg.textId);
        c.setInt(CodingField::StartChar, seg.begin);
        c.setInt(CodingField::FinishChar, seg.end);
        c.setInt(CodingField::StartPara, first);
        c.setInt(CodingField::FinishPara, last);
        const std::int32_t id = c.id();
        if (resultsInMemory()) {
            if (s.UpdateInMemory(c)) ids.push_back(id);
            continue;
        }
        c.setBlock(CodingField::Body, body.rangeToRtf(seg.begin, seg.end));
        if (s.Save(c, true, true)) ids.push_back(id);
    }
    return ids;
}

void Retrieval::BuildRetrieval() {
    TopicStore& s = ws_.store();
    ws_.notify(ViewEvent::SegmentsReplaced, TopicId::Codings, -1);
    ws_.retrieved.clear();
    StoreBatch batch(s);
    removeResults();

    const int fn = settings.function;
    ws_.options.selectedCode = fn >= Difference ? settings.selectedCode() : 0;
    std::vector<RetrievedSegment> list = GatherSegments(ws_.options.selectedCode);
    const bool textOrder = fn == OrCombination ? ws_.options.orderByTextTree : fn <= AtLeast;
    std::sort(list.begin(), list.end(), textOrder ? textTreeLess : codeTreeLess);

    std::vector<CodingRange> all;
    if (fn == OnlyThisCode) {
        const Topic* codings = s.GetTopic(TopicId::Codings);
        codings->forEach([&](std::int32_t id, const std::uint8_t* img) {
            all.push_back({id, slot::getInt(img, *codings->field(CodingField::Text)),
                           slot::getInt(img, *codings->field(CodingField::StartChar)),
                           slot::getInt(img, *codings->field(CodingField::FinishChar))});
        });
    }
    std::vector<RetrievedSegment> result =
        RunFunction(settings, std::move(list), activeCodes_, all);
    if (fn >= IfSurroundedBy)
        std::sort(result.begin(), result.end(),
                  ws_.options.orderByTextTree ? textTreeLess : codeTreeLess);
    if (fn >= Intersection && fn <= Difference) {
        ws_.retrieved = toResultCodings(result);
    } else {
        for (const auto& seg : result)
            ws_.retrieved.push_back(seg.codingId);
    }
    // A failed unit leaves the file and memory as they were: then there is no list to show.
    if (!batch.finish()) ws_.retrieved.clear();
    ws_.notify(ViewEvent::SegmentsReplaced, TopicId::Codings, 0);
}

std::string Retrieval::Heading(std::size_t segments) const {
    std::string out =
        Title() + ": " + std::to_string(segments) + (segments == 1 ? " segment" : " segments");
    if (ws_.options.useWeightFilter)
        out += " (weight filter " + std::to_string(ws_.options.lowWeight) + "-" +
               std::to_string(ws_.options.highWeight) + ")";
    if (segments > 0) return out;
    const int fn = settings.function;
    if (ws_.activeTexts == 0) return out + ". No text is active.";
    if (activeCodes_ == 0 && fn < Difference) return out + ". No code is active.";
    if ((fn == Intersection || fn == Overlapping) && activeCodes_ < 2)
        return out + ". " + std::string(functionName(fn)) + " needs two active codes.";
    if (fn == AtLeast && activeCodes_ < settings.atLeastCount)
        return out + ". At least " + std::to_string(settings.atLeastCount) +
               " active codes are needed.";
    if (fn >= Difference &&
        !ws_.store().GetTopic(TopicId::Codes)->contains(settings.selectedCode()))
        return out + ". No code is selected for the function.";
    return out + ".";
}

std::string Retrieval::Title() const {
    const int fn = settings.function;
    std::string title(functionName(fn));
    auto codeName = [&](std::int32_t code) -> std::string {
        if (code == 0 || !ws_.store().GetTopic(TopicId::Codes)->contains(code)) return {};
        return ws_.store().GetName(TopicId::Codes, code, true);
    };
    if (fn == AtLeast) return title + " [" + std::to_string(settings.atLeastCount) + "]";
    if (fn >= Difference && fn <= IfOutsideOf) {
        const std::string name = codeName(settings.selectedCode());
        return title + (name.empty() ? " [?]" : " [" + name + "]");
    }
    if (fn == FollowedBy || fn == Near) {
        const std::string name = codeName(settings.selectedCode());
        const int distance = fn == FollowedBy ? settings.followDistance : settings.nearDistance;
        return title +
               (name.empty() ? " [?]" : " [" + name + "; " + std::to_string(distance) + "]");
    }
    return title;
}

FunctionDialogValues Retrieval::DialogValues() const {
    FunctionDialogValues v;
    switch (settings.function) {
    case AtLeast:
        v.number = settings.atLeastCount;
        break;
    case Difference:
        v.code = settings.differenceCode;
        break;
    case IfSurroundedBy:
        v = {settings.surroundCode, 0, settings.surroundMode};
        break;
    case IfOutsideOf:
        v = {settings.outsideCode, 0, settings.outsideMode};
        break;
    case FollowedBy:
        v = {settings.followCode, settings.followDistance, settings.followMode};
        break;
    case Near:
        v = {settings.nearCode, settings.nearDistance, settings.nearMode};
        break;
    default:
        break;
    }
    return v;
}

void Retrieval::ApplyDialog(const FunctionDialogValues& v) {
    const int mode = std::clamp(v.mode, 0, 2);
    switch (settings.function) {
    case AtLeast:
        settings.atLeastCount = std::max(2, v.number);
        break;
    case Difference:
        settings.differenceCode = v.code;
        break;
    case IfSurroundedBy:
        settings.surroundCode = v.code;
        settings.surroundMode = mode;
        break;
    case IfOutsideOf:
        settings.outsideCode = v.code;
        settings.outsideMode = mode;
        break;
    case FollowedBy:
        settings.followCode = v.code;
        settings.followDistance = std::max(0, v.number);
        settings.followMode = mode;
        break;
    case Near:
        settings.nearCode = v.code;
        settings.nearDistance = std::max(0, v.number);
        settings.nearMode = mode;
        break;
    default:
        break;
    }
    ws_.doc().setOptions(ProjectOptions());
}

bool Retrieval::SelectFunction(int function,
                               const std::function<bool(FunctionDialogValues&)>& dialog) {
    if (function < 0 || function > 9 || function == settings.function) return false;
    settings.function = function;
    ws_.options.function = function;
    if (function >= AtLeast && dialog) {
        FunctionDialogValues v = DialogValues();
        if (dialog(v)) ApplyDialog(v);
    }
    BuildRetrieval();
    return true;
}

bool Retrieval::EditFunction(const std::function<bool(FunctionDialogValues&)>& dialog) {
    FunctionDialogValues v = DialogValues();
    if (!dialog || !dialog(v)) return false;
    ApplyDialog(v);
    BuildRetrieval();
    return true;
}

std::vector<std::pair<std::int32_t, std::string>> Retrieval::QuickListChoices() {
    std::vector<std::pair<std::int32_t, std::string>> out;
    for (std::int32_t code : ws_.quickList.codes())
        if (ws_.store().GetTopic(TopicId::Codes)->contains(code))
            out.emplace_back(code, ws_.store().GetText(TopicId::Codes, code, CodeField::Name));
    if (out.empty()) ws_.ui().message("Quick-List is empty", MessageIcon::Information);
    return out;
}

bool Retrieval::PickFromQuickList(FunctionDialogValues& values, std::size_t item) {
    const auto choices = QuickListChoices();
    if (item >= choices.size()) return false;
    // A code without a name shows "?" and counts as none.
    values.code = choices[item].second.empty() ? 0 : choices[item].first;
    return true;
}

bool Retrieval::SetOrderByTextTree(bool on) {
    if (ws_.options.orderByTextTree == on) return false;
    ws_.options.orderByTextTree = on;
    BuildRetrieval();
    return true;
}

void Retrieval::ToggleIncludeSubcodes() {
    ws_.options.includeSubcodes = !ws_.options.includeSubcodes;
    BuildRetrieval();
}

void Retrieval::ToggleWeightFilter() {
    ws_.options.useWeightFilter = !ws_.options.useWeightFilter;
    BuildRetrieval();
}

void Retrieval::SetWeightFilter(int low, int high) {
    ws_.options.highWeight = std::clamp(high, 1, 100);
    ws_.options.lowWeight = std::min(std::clamp(low, 1, 100), ws_.options.highWeight);
    if (ws_.options.useWeightFilter) BuildRetrieval();
}

Overview Retrieval::IndexOfCodedSegments() const {
    Overview o{"all", TopicId::Codings, {}};
    for (std::int32_t id : ws_.store().ListIds(TopicId::Codings))
        if (ws_.store().GetInt(TopicId::Codings, id, CodingField::Code) != 0) o.ids.push_back(id);
    return o;
}

Overview Retrieval::FrequencyOfCodes() {
    if (!ws_.countActiveCodes) {
        ws_.countActiveCodes = true;
        ws_.recountActiveCodes();
    }
    return {"all", TopicId::Codes, ws_.store().ListIds(TopicId::Codes)};
}

std::string Retrieval::ProgramOptions() const {
    const RetrievalOptions& o = ws_.options;
    return joinOptions({o.hitContextMode, o.hitContextParagraphs, o.defaultWeight,
                        o.includeSubcodes ? 1 : 0, o.orderByTextTree ? 1 : 0, settings.function,
                        o.useWeightFilter ? 1 : 0, o.lowWeight, o.highWeight});
}

void Retrieval::ReadProgramOptions(const std::string& text) {
    RetrievalOptions d;
    const auto f = splitOptions(text, 9);
    RetrievalOptions& o = ws_.options;
    o.hitContextMode = f[0].value_or(d.hitContextMode);
    o.hitContextParagraphs = f[1].value_or(d.hitContextParagraphs);
    o.defaultWeight = std::clamp(f[2].value_or(d.defaultWeight), 1, 100);
    o.includeSubcodes = f[3].value_or(d.includeSubcodes) != 0;
    o.orderByTextTree = f[4].value_or(d.orderByTextTree) != 0;
    const int fn = f[5].value_or(0);
    settings.function = fn >= 0 && fn <= 9 ? fn : 0;
    o.function = settings.function;
    o.useWeightFilter = f[6].value_or(d.useWeightFilter) != 0;
    o.lowWeight = std::clamp(f[7].value_or(d.lowWeight), 1, 100);
    o.highWeight = std::clamp(f[8].value_or(d.highWeight), 1, 100);
    o.lowWeight = std::min(o.lowWeight, o.highWeight);
}

std::string Retrieval::ProjectOptions() const {
    const AnalysisSettings& a = settings;
    return joinOptions({a.atLeastCount, a.differenceCode, a.surroundCode, a.surroundMode,
                        a.outsideCode, a.outsideMode, a.followCode, a.followDistance, a.followMode,
                        a.nearCode, a.nearDistance, a.nearMode});
}

void Retrieval::ReadProjectOptions(const std::string& text) {
    const auto f = splitOptions(text, 12);
    AnalysisSettings& a = settings;
    auto mode = [](std::optional<int> v) { return std::clamp(v.value_or(0), 0, 2); };
    a.atLeastCount = std::max(2, f[0].value_or(2));
    a.differenceCode = f[1].value_or(0);
    a.surroundCode = f[2].value_or(0);
    a.surroundMode = mode(f[3]);
    a.outsideCode = f[4].value_or(0);
    a.outsideMode = mode(f[5]);
    a.followCode = f[6].value_or(0);
    a.followDistance = std::max(0, f[7].value_or(0));
    a.followMode = mode(f[8]);
    a.nearCode = f[9].value_or(0);
    a.nearDistance = std::max(0, f[10].value_or(0));
    a.nearMode = mode(f[11]);
}

std::string Retrieval::ActivationText() const {
    std::string out;
    const TopicStore& s = ws_.store();
    for (std::int32_t code : s.ListIds(TopicId::Codes))
        if (s.GetInt(TopicId::Codes, code, CodeField::State) & StateActive)
            out += s.GetName(TopicId::Codes, code, true) + "\r\n";
    return out;
}

bool Retrieval::SaveActivation(const std::string& path) {
    if (path.empty()) return false;
    const std::string error =
        platform::writeFileAtomic(path, platform::encodeTextFile(ActivationText()));
    if (error.empty()) return true;
    ws_.ui().message("The activation cannot be written to " + path + ": " + error,
                     MessageIcon::Stop);
    return false;
}

std::int32_t Retrieval::FindCodeByFullName(const std::string& name) const {
    std::int32_t parent = 0;
    std::string_view rest = name;
    for (int depth = 0; depth < 1000; ++depth) {
        const auto slash = rest.find('\\');
        std::string head(rest.substr(0, slash));
        const auto first = head.find_first_not_of(' ');
        head = first == std::string::npos
                   ? std::string()
                   : head.substr(first, head.find_last_not_of(' ') - first + 1);
        head = cutText(head, 63);
        if (head.empty()) return 0;
        std::int32_t found = 0;
        for (std::int32_t child : ws_.codes().Children(parent))
            if (ws_.store().GetText(TopicId::Codes, child, CodeField::Name) == head) {
                found = child;
                break;
            }
        if (!found || slash == std::string_view::npos) return found;
        parent = found;
        rest = rest.substr(slash + 1);
    }
    return 0;
}

void Retrieval::ApplyActivation(const std::string& text) {
    ws_.codes().DeactivateEveryCode();
    ws_.retrieved.clear();
    ws_.notify(ViewEvent::SegmentsReplaced, TopicId::Codings, 0);
    // Lines end with CR LF; a last line without one is not read.
    std::size_t pos = 0;
    for (std::size_t end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2) {
        if (const std::int32_t code = FindCodeByFullName(text.substr(pos, end - pos)))
            ws_.codes().SetActiveBit(code, true);
    }
    if (ws_.countActiveCodes) ws_.recountActiveCodes();
    BuildRetrieval();
}

bool Retrieval::LoadActivation(const std::string& path) {
    // An activation file lists code names; anything far larger is not one.
    const auto bytes = platform::readFile(path, 16u << 20);
    if (!bytes) {
        ws_.ui().message("The activation file " + path + " cannot be read.", MessageIcon::Stop);
        return false;
    }
    ApplyActivation(platform::decodeTextFile(*bytes));
    return true;
}

} // namespace vexana::analysis
