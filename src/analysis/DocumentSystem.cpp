#include "DocumentSystem.h"

#include "CodeSystem.h"
#include "Workspace.h"
#include "platform/Utf8.h"
#include "store/Schema.h"

#include <algorithm>
#include <unicode/uchar.h>

namespace vexana::analysis {

using namespace store;

namespace {

std::string trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return std::string(s.substr(first, s.find_last_not_of(" \t") - first + 1));
}

// Names compared without case: each character by simple case folding.
std::u32string folded(std::string_view s) {
    std::u32string out;
    for (std::size_t i = 0; i < s.size();)
        out.push_back(static_cast<char32_t>(
            u_foldCase(static_cast<UChar32>(platform::utf8Decode(s, i)), U_FOLD_CASE_DEFAULT)));
    return out;
}

// A new object goes after its siblings, also after a sort has numbered them: the trees and
// a reopened project list siblings by Index.
std::int32_t indexAfter(const TopicStore& s, int topic, const std::vector<std::int32_t>& siblings) {
    std::int32_t next = 0;
    for (std::int32_t id : siblings)
        next = std::max(next, s.GetInt(topic, id, GroupField::Index) + 1);
    return next;
}

} // namespace

int nameFieldOf(int topic) {
    switch (topic) {
    case TopicId::TextGroups:
    case TopicId::TextSets:
        return GroupField::Name;
    case TopicId::Texts:
        return TextField::Name;
    case TopicId::Codes:
        return CodeField::Name;
    default:
        return -1;
    }
}

std::int32_t DocumentSystem::newNamed(int topic, int nameField, const char* label, int state) {
    TopicStore& s = ws_.store();
    RecordCursor c;
    if (!s.NewRecord(topic, c)) return 0;
    const std::int32_t id = c.id();
    c.setText(nameField, std::string(label) + " " + std::to_string(id));
    if (topic != TopicId::Texts) c.setInt(GroupField::State, state);
    if (topic != TopicId::Texts)
        c.setInt(GroupField::Index, indexAfter(s, topic, s.ListIds(topic)));
    if (!s.Save(c, true, true)) {
        s.DeleteRecordOnly(topic, id);
        return 0;
    }
    ws_.notify(ViewEvent::Inserted, topic, id);
    return id;
}

std::int32_t DocumentSystem::NewTextGroup() {
    const std::int32_t id = newNamed(TopicId::TextGroups, GroupField::Name, "Group", 1);
    if (id) ws_.notify(ViewEvent::RenameStarted, TopicId::TextGroups, id);
    return id;
}

std::int32_t DocumentSystem::CreateText(std::int32_t group) {
    TopicStore& s = ws_.store();
    RecordCursor c;
    if (!s.GetTopic(TopicId::TextGroups)->contains(group) || !s.NewRecord(TopicId::Texts, c))
        return 0;
    const std::int32_t id = c.id();
    c.setInt(TextField::Index, indexAfter(s, TopicId::Texts, TextsOfGroup(group)));
    c.setInt(TextField::Group, group);
    c.setText(TextField::Name, "Text " + std::to_string(id));
    c.setDate(TextField::Date, DateTime::now());
    if (!s.Save(c, true, true)) {
        s.DeleteRecordOnly(TopicId::Texts, id);
        return 0;
    }
    ws_.notify(ViewEvent::Inserted, TopicId::Texts, id);
    return id;
}

std::int32_t DocumentSystem::CreateTextWith(std::int32_t group, std::string_view name,
                                            std::string_view body) {
    TopicStore& s = ws_.store();
    RecordCursor c;
    if (!s.NewRecord(TopicId::Texts, c)) return 0;
    const std::int32_t id = c.id();
    c.setInt(TextField::Index, indexAfter(s, TopicId::Texts, TextsOfGroup(group)));
    c.setInt(TextField::Group, group);
    c.setText(TextField::Name, cutText(trimmed(name), 63));
    c.setDate(TextField::Date, DateTime::now());
    c.setBlock(TextField::Body, body);
    if (!s.Save(c, true, true)) {
        s.DeleteRecordOnly(TopicId::Texts, id);
        return 0;
    }
    ws_.notify(ViewEvent::Inserted, TopicId::Texts, id);
    return id;
}

std::int32_t DocumentSystem::NewSet(bool withActiveTexts) {
    StoreBatch batch(ws_.store());
    const std::int32_t set = newNamed(TopicId::TextSets, GroupField::Name, "Set", 1);
    if (!set) return 0;
    for (std::int32_t text : ws_.store().ListIds(TopicId::Texts))
        if (withActiveTexts && ws_.IsActive(TopicId::Texts, text)) AddTextToSet(set, text);
    ws_.notify(ViewEvent::Changed, TopicId::SetsRoot, 0);
    return batch.finish() ? set : 0;
}

std::int32_t DocumentSystem::NewSetFromGroup(std::int32_t group) {
    if (!ws_.store().GetTopic(TopicId::TextGroups)->contains(group)) return 0;
    StoreBatch batch(ws_.store());
    const std::int32_t set = newNamed(TopicId::TextSets, GroupField::Name, "Set", 1);
    if (!set) return 0;
    for (std::int32_t text : TextsOfGroup(group))
        AddTextToSet(set, text);
    return batch.finish() ? set : 0;
}

std::int32_t DocumentSystem::AddTextToSet(std::int32_t set, std::int32_t text) {
    TopicStore& s = ws_.store();
    if (!s.GetTopic(TopicId::TextSets)->contains(set) ||
        !s.GetTopic(TopicId::Texts)->contains(text))
        return 0;
    RecordCursor c;
    if (!s.NewRecord(TopicId::TextLinks, c)) return 0;
    const std::int32_t id = c.id();
    c.setInt(LinkField::Index, static_cast<std::int32_t>(
                                   s.FindIds(TopicId::TextLinks, TopicId::TextSets, set).size()) -
                                   1);
    c.setInt(LinkField::Set, set);
    c.setInt(LinkField::Text, text);
    if (!s.Save(c, true, true)) {
        s.DeleteRecordOnly(TopicId::TextLinks, id);
        return 0;
    }
    ws_.notify(ViewEvent::Inserted, TopicId::TextLinks, id);
    ws_.notify(ViewEvent::Changed, TopicId::TextSets, set);
    ws_.notify(ViewEvent::Changed, TopicId::SetsRoot, 0);
    return id;
}

bool DocumentSystem::SetHolds(std::int32_t set, std::int32_t text) const {
    const TopicStore& s = ws_.store();
    for (std::int32_t link : s.FindIds(TopicId::TextLinks, TopicId::TextSets, set))
        if (s.GetInt(TopicId::TextLinks, link, LinkField::Text) == text) return true;
    return false;
}

std::int32_t DocumentSystem::CopyText(std::int32_t text, int targetTopic, std::int32_t target) {
    TopicStore& s = ws_.store();
    const std::int32_t group = targetTopic == TopicId::Texts
                                   ? s.GetReference(TopicId::Texts, target, TopicId::TextGroups)
                               : targetTopic == TopicId::TextGroups ? target
                                                                    : 0;
    if (!s.GetTopic(TopicId::TextGroups)->contains(group) ||
        !s.GetTopic(TopicId::Texts)->contains(text))
        return 0;
    RecordCursor c;
    if (!s.CopyRecord(TopicId::Texts, text, c)) return 0;
    const std::int32_t id = c.id();
    c.setText(TextField::Name,
              s.GetText(TopicId::Texts, text, TextField::Name) + " (" + std::to_string(id) + ")");
    c.setDate(TextField::Date, DateTime::now());
    c.setInt(TextField::Index, indexAfter(s, TopicId::Texts, TextsOfGroup(group)));
    c.setInt(TextField::Group, group);
    c.setInt(TextField::State, 0);
    // The copy has none of the source's codings, so it counts none.
    c.setInt(TextField::Codes, 0);
    if (!s.Save(c, true, true)) {
        s.DeleteRecordOnly(TopicId::Texts, id);
        return 0;
    }
    ws_.notify(ViewEvent::Inserted, TopicId::Texts, id);
    return id;
}

bool DocumentSystem::DeleteObject(int topic, std::int32_t id) {
    TopicStore& s = ws_.store();
    const Topic* t = s.GetTopic(topic);
    if (!t || !t->contains(id)) return false;
    // What was active before the delete decides whether the retrieval changes.
    bool retrievalChanges = false;
    std::vector<std::int32_t> activeGone;
    ObjectList deleted, changed;
    auto noteActivity = [&](int tp, std::int32_t rid) {
        if (tp == TopicId::Codings && ws_.IsActive(TopicId::Codings, rid)) retrievalChanges = true;
        if (tp == TopicId::Texts && ws_.IsActive(TopicId::Texts, rid)) activeGone.push_back(rid);
    };
    noteActivity(topic, id);
    if (topic == TopicId::Texts || topic == TopicId::TextGroups || topic == TopicId::Codes) {
        for (std::int32_t coding : s.ListIds(TopicId::Codings)) {
            const std::int32_t text = s.GetInt(TopicId::Codings, coding, CodingField::Text);
            if (ws_.IsActive(TopicId::Codings, coding) &&
                ((topic == TopicId::Texts && text == id) ||
                 (topic == TopicId::TextGroups &&
                  s.GetReference(TopicId::Texts, text, TopicId::TextGroups) == id) ||
                 topic == TopicId::Codes))
                retrievalChanges = true;
        }
        if (topic == TopicId::TextGroups)
            for (std::int32_t text : TextsOfGroup(id))
                noteActivity(TopicId::Texts, text);
    }
    if (!s.DeleteRecord(topic, id, &deleted, &changed)) return false;
    ws_.activeTexts -= static_cast<int>(activeGone.size());
    ws_.notify(ViewEvent::Removed, topic, id);
    for (const auto& [tp, rid] : deleted.items()) {
        ws_.notify(ViewEvent::Removed, tp, rid);
        if (tp == TopicId::Codes) ws_.quickList.remove(rid);
    }
    if (topic == TopicId::Codes) ws_.quickList.remove(id);
    for (const auto& [tp, rid] : changed.items())
        if (!deleted.contains(tp, rid) && !(tp == topic && rid == id))
            ws_.notify(ViewEvent::Changed, tp, rid);
    if (retrievalChanges) ws_.BuildRetrieval();
    return true;
}

bool DocumentSystem::ConfirmAndDelete(int topic, std::int32_t id) {
    if (!ws_.store().GetTopic(topic) || !ws_.store().GetTopic(topic)->contains(id)) return false;
    if (!ws_.ui().question("", "Delete", "Cancel")) return false;
    ws_.ui().waitCursor(true);
    const bool ok = DeleteObject(topic, id);
    ws_.ui().waitCursor(false);
    return ok;
}

std::vector<std::int32_t> DocumentSystem::TextsOfGroup(std::int32_t group) const {
    return ws_.store().FindIds(TopicId::Texts, TopicId::TextGroups, group);
}

std::vector<std::int32_t> DocumentSystem::textsOf(ActivationScope scope, std::int32_t id) const {
    const TopicStore& s = ws_.store();
    std::vector<std::int32_t> texts;
    auto linksOf = [&](std::int32_t set) {
        for (std::int32_t link : s.FindIds(TopicId::TextLinks, TopicId::TextSets, set))
            texts.push_back(s.GetInt(TopicId::TextLinks, link, LinkField::Text));
    };
    switch (scope) {
    case ActivationScope::AllTexts:
        texts = s.ListIds(TopicId::Texts);
        break;
    case ActivationScope::Group:
        texts = TextsOfGroup(id);
        break;
    case ActivationScope::AllSets:
        for (std::int32_t set : s.ListIds(TopicId::TextSets))
            linksOf(set);
        break;
    case ActivationScope::Set:
        linksOf(id);
        break;
    case ActivationScope::Text:
        if (s.GetTopic(TopicId::Texts)->contains(id)) texts.push_back(id);
        break;
    case ActivationScope::Link:
        if (s.GetTopic(TopicId::TextLinks)->contains(id))
            texts.push_back(s.GetInt(TopicId::TextLinks, id, LinkField::Text));
        break;
    default:
        break;
    }
    return texts;
}

bool DocumentSystem::setTextActive(std::int32_t text, bool on) {
    TopicStore& s = ws_.store();
    RecordCursor c;
    if (!s.GetRecord(TopicId::Texts, text, c)) return false;
    const std::int32_t state = c.getInt(TextField::State);
    if (((state & StateActive) != 0) == on) return false;
    c.setInt(TextField::State, on ? (state | StateActive) : (state & ~StateActive));
    s.UpdateInMemory(c);
    ws_.activeTexts += on ? 1 : -1;
    ws_.notify(ViewEvent::Changed, TopicId::Texts, text);
    for (std::int32_t link : s.FindIds(TopicId::TextLinks, TopicId::Texts, text))
        ws_.notify(ViewEvent::Changed, TopicId::TextLinks, link);
    return true;
}

bool DocumentSystem::ActivateObjects(ActivationScope scope, std::int32_t id, bool on) {
    if (scope == ActivationScope::AllCodes) return ws_.codes().ActivateAllCodes(on);
    if (scope == ActivationScope::Code) return ws_.codes().ActivateCode(id, on);
    bool any = false;
    for (std::int32_t text : textsOf(scope, id))
        any = setTextActive(text, on) || any;
    if (any) {
        if (ws_.countActiveCodes) ws_.recountActiveCodes();
        ws_.BuildRetrieval();
    }
    return any;
}

bool DocumentSystem::SetTextActivation(const std::vector<std::pair<std::int32_t, bool>>& texts) {
    bool any = false;
    const TopicStore& s = ws_.store();
    for (const auto& [text, on] : texts) {
        // Most texts keep their state; they cost no copy of their record.
        if (((s.GetInt(TopicId::Texts, text, TextField::State) & StateActive) != 0) == on) continue;
        any = setTextActive(text, on) || any;
    }
    if (any) {
        if (ws_.countActiveCodes) ws_.recountActiveCodes();
        ws_.BuildRetrieval();
    }
    return any;
}

bool DocumentSystem::ToggleText(std::int32_t text) {
    return ActivateObjects(ActivationScope::Text, text, !ws_.IsActive(TopicId::Texts, text));
}

bool DocumentSystem::ToggleLink(std::int32_t link) {
    return ActivateObjects(ActivationScope::Link, link, !ws_.IsActive(TopicId::TextLinks, link));
}

void DocumentSystem::Reset() {
    TopicStore& s = ws_.store();
    for (std::int32_t text : s.ListIds(TopicId::Texts))
        setTextActive(text, false);
    ws_.codes().DeactivateEveryCode();
    ws_.activeTexts = 0;
    ws_.recountActiveCodes();
    ws_.retrieved.clear();
    ws_.notify(ViewEvent::SegmentsReplaced, TopicId::Codings, 0);
}

void DocumentSystem::StartRename(int topic, std::int32_t id) {
    if (nameFieldOf(topic) >= 0 && ws_.store().GetTopic(topic)->contains(id))
        ws_.notify(ViewEvent::RenameStarted, topic, id);
}

bool DocumentSystem::RenameObject(int topic, std::int32_t id, std::string_view name) {
    const int field = nameFieldOf(topic);
    RecordCursor c;
    if (field < 0 || !ws_.store().GetRecord(topic, id, c)) return false;
    c.setText(field, name);
    // The whole record, so the activation bit reaches the file with it.
    if (!ws_.store().Save(c)) return false;
    ws_.notify(ViewEvent::Changed, topic, id);
    return true;
}

bool DocumentSystem::Sort(int kind, std::int32_t id) {
    TopicStore& s = ws_.store();
    int topic = 0;
    std::vector<std::int32_t> children;
    switch (kind) {
    case TreeKind::GroupsRoot:
        topic = TopicId::TextGroups;
        children = s.ListIds(topic);
        break;
    case TreeKind::Group:
        topic = TopicId::Texts;
        children = TextsOfGroup(id);
        break;
    case TreeKind::SetsRoot:
        topic = TopicId::TextSets;
        children = s.ListIds(topic);
        break;
    case TreeKind::Set:
        topic = TopicId::TextLinks;
        children = s.FindIds(topic, TopicId::TextSets, id);
        break;
    case TreeKind::CodesRoot:
        topic = TopicId::Codes;
        children = ws_.codes().Children(0);
        break;
    case TreeKind::Code:
        topic = TopicId::Codes;
        children = ws_.codes().Children(id);
        break;
    default:
        return false;
    }
    auto nameOf = [&](std::int32_t child) {
        if (topic == TopicId::TextLinks)
            return folded(s.GetText(TopicId::Texts, s.GetInt(topic, child, LinkField::Text),
                                    TextField::Name));
        return folded(s.GetText(topic, child, nameFieldOf(topic)));
    };
    std::stable_sort(children.begin(), children.end(),
                     [&](std::int32_t a, std::int32_t b) { return nameOf(a) < nameOf(b); });
    StoreBatch batch(s);
    for (std::size_t i = 0; i < children.size(); ++i) {
        RecordCursor c;
        if (!s.GetRecord(topic, children[i], c)) continue;
        c.setInt(GroupField::Index, static_cast<std::int32_t>(i)); // field 1 is Index in all four
        if (!s.Save(c)) batch.fail();
    }
    if (!batch.finish()) return false;
    ws_.notify(ViewEvent::SortChildren, kind, id);
    return true;
}

std::vector<std::int32_t> DocumentSystem::textsOfNode(int kind, std::int32_t id) const {
    switch (kind) {
    case TreeKind::GroupsRoot:
        return textsOf(ActivationScope::AllTexts, 0);
    case TreeKind::Group:
        return textsOf(ActivationScope::Group, id);
    case TreeKind::SetsRoot:
        return textsOf(ActivationScope::AllSets, 0);
    case TreeKind::Set:
        return textsOf(ActivationScope::Set, id);
    case TopicId::Texts:
        return textsOf(ActivationScope::Text, id);
    case TopicId::TextLinks:
        return textsOf(ActivationScope::Link, id);
    default:
        return {};
    }
}

Overview DocumentSystem::OverviewOf(int kind, std::int32_t id, int listedTopic) const {
    const TopicStore& s = ws_.store();
    Overview o;
    o.topic = listedTopic;
    auto named = [&](const char* label, int topic, std::int32_t rid) {
        return std::string(label) + ": " + s.GetName(topic, rid, false);
    };
    switch (kind) {
    case TreeKind::GroupsRoot:
        o.title = "All Texts";
        break;
    case TreeKind::Group:
        o.title = named("Text Group", TopicId::TextGroups, id);
        break;
    case TreeKind::SetsRoot:
        o.title = "All Text Sets";
        break;
    case TreeKind::Set:
        o.title = named("Text Set", TopicId::TextSets, id);
        break;
    case TopicId::Texts:
        o.title = named("Text", TopicId::Texts, id);
        break;
    case TopicId::TextLinks:
        o.title = named("Text", TopicId::Texts, s.GetInt(TopicId::TextLinks, id, LinkField::Text));
        break;
    default:
        return o;
    }
    std::vector<std::int32_t> texts = textsOfNode(kind, id);
    // A text in two sets is listed once.
    std::vector<std::int32_t> seen;
    for (std::int32_t text : texts) {
        if (std::find(seen.begin(), seen.end(), text) != seen.end()) continue;
        seen.push_back(text);
        if (listedTopic == TopicId::Texts) {
            o.ids.push_back(text);
            continue;
        }
        for (std::int32_t rid : s.FindIds(listedTopic, TopicId::Texts, text))
            if (listedTopic != TopicId::Codings ||
                s.GetInt(TopicId::Codings, rid, CodingField::Code) != 0)
                o.ids.push_back(rid);
    }
    return o;
}

std::int32_t DocumentSystem::FindGroup(std::string_view name) const {
    for (std::int32_t g : ws_.store().ListIds(TopicId::TextGroups))
        if (ws_.store().GetText(TopicId::TextGroups, g, GroupField::Name) == name) return g;
    return 0;
}

std::int32_t DocumentSystem::FindText(std::string_view fullName) const {
    for (std::int32_t t : ws_.store().ListIds(TopicId::Texts))
        if (ws_.store().GetName(TopicId::Texts, t, true) == fullName) return t;
    return 0;
}

std::vector<std::int32_t> DocumentSystem::FindTexts(std::string_view fullName) const {
    std::vector<std::int32_t> found;
    for (std::int32_t t : ws_.store().ListIds(TopicId::Texts))
        if (ws_.store().GetName(TopicId::Texts, t, true) == fullName) found.push_back(t);
    return found;
}

} // namespace vexana::analysis
