#include "Workspace.h"

#include "CodeSystem.h"
#include "CodingOperations.h"
#include "DocumentSystem.h"
#include "store/Schema.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

namespace vexana::analysis {

using namespace store;

void QuickList::use(std::int32_t code) {
    if (code == 0) return;
    remove(code);
    codes_.insert(codes_.begin(), code);
    if (codes_.size() > capacity) codes_.resize(capacity);
}

void QuickList::remove(std::int32_t code) {
    std::erase(codes_, code);
}

Workspace::Workspace(CVexDoc& doc)
    : doc_(doc), documents_(std::make_unique<DocumentSystem>(*this)),
      codes_(std::make_unique<CodeSystem>(*this)),
      codings_(std::make_unique<CodingOperations>(*this)) {
    doc_.addView(this);
    onProjectLoaded(false);
}

Workspace::~Workspace() {
    doc_.removeView(this);
}

void Workspace::countActiveTexts() {
    activeTexts = 0;
    for (std::int32_t id : store().ListIds(TopicId::Texts))
        if (store().GetInt(TopicId::Texts, id, TextField::State) & StateActive) ++activeTexts;
}

void Workspace::onProjectLoaded(bool) {
    countActiveTexts();
    quickList.clear();
    codeClipboard = {};
    retrieved.clear();
    // A project opens with the activation its file holds; the list shows what that retrieves.
    if (doc_.isOpen()) BuildRetrieval();
}

void Workspace::onContentsReplaced() {
    countActiveTexts();
    // Codes that are gone leave the Quick-List; the rest of the session's choices stay.
    const std::vector<std::int32_t> codes = quickList.codes();
    for (std::int32_t code : codes)
        if (!store().GetTopic(TopicId::Codes)->contains(code)) quickList.remove(code);
    BuildRetrieval();
}

void Workspace::BuildRetrieval() {
    if (deferDepth_ > 0) {
        rebuildDue_ = true;
        return;
    }
    ++builds_;
    if (engine_) engine_->BuildRetrieval();
}

bool DeferredRetrieval::finish() {
    Workspace* ws = std::exchange(ws_, nullptr);
    if (!ws || --ws->deferDepth_ > 0 || !ws->rebuildDue_) return false;
    ws->rebuildDue_ = false;
    ws->BuildRetrieval();
    return true;
}

bool Workspace::IsActive(int topic, std::int32_t id) const {
    const TopicStore& s = doc_.store();
    switch (topic) {
    case TopicId::Texts:
        return s.GetTopic(topic)->contains(id) &&
               (s.GetInt(topic, id, TextField::State) & StateActive);
    case TopicId::Codes:
        return s.GetTopic(topic)->contains(id) &&
               (s.GetInt(topic, id, CodeField::State) & StateActive);
    case TopicId::TextLinks:
        return IsActive(TopicId::Texts, s.GetInt(topic, id, LinkField::Text));
    case TopicId::Codings: {
        if (!s.GetTopic(topic)->contains(id)) return false;
        const std::int32_t code = s.GetInt(topic, id, CodingField::Code);
        return IsActive(TopicId::Texts, s.GetInt(topic, id, CodingField::Text)) &&
               (IsActive(TopicId::Codes, code) || (code != 0 && code == options.selectedCode));
    }
    default:
        return false;
    }
}

bool Workspace::belongsToRetrieval(std::int32_t text, std::int32_t code, int weight) const {
    if (!IsActive(TopicId::Texts, text)) return false;
    if (options.useWeightFilter && (weight < options.lowWeight || weight > options.highWeight))
        return false;
    if (code != 0 && code == options.selectedCode) return true;
    if (IsActive(TopicId::Codes, code)) return true;
    if (!options.includeSubcodes) return false;
    const TopicStore& s = doc_.store();
    std::int32_t parent = s.GetInt(TopicId::Codes, code, CodeField::Parent);
    for (int depth = 0; parent != 0 && depth < 1000; ++depth) {
        if (IsActive(TopicId::Codes, parent)) return true;
        parent = s.GetInt(TopicId::Codes, parent, CodeField::Parent);
    }
    return false;
}

void Workspace::recountActiveCodes() {
    TopicStore& s = store();
    std::unordered_map<std::int32_t, std::int32_t> counts;
    const Topic* codings = s.GetTopic(TopicId::Codings);
    const FieldInfo* textF = codings->field(CodingField::Text);
    const FieldInfo* codeF = codings->field(CodingField::Code);
    if (!textF || !codeF) return;
    std::unordered_map<std::int32_t, bool> activeText;
    for (std::int32_t t : s.ListIds(TopicId::Texts))
        activeText[t] = IsActive(TopicId::Texts, t);
    codings->forEach([&](std::int32_t, const std::uint8_t* img) {
        if (activeText[slot::getInt(img, *textF)]) ++counts[slot::getInt(img, *codeF)];
    });
    StoreBatch batch(s);
    for (std::int32_t code : s.ListIds(TopicId::Codes)) {
        RecordCursor c;
        if (!s.GetRecord(TopicId::Codes, code, c)) continue;
        const std::int32_t n = counts[code];
        if (c.getInt(CodeField::ActiveCodes) == n) continue;
        c.setInt(CodeField::ActiveCodes, n);
        if (s.Save(c)) notify(ViewEvent::Changed, TopicId::Codes, code);
    }
}

} // namespace vexana::analysis
