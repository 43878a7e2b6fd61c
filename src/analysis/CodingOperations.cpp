#include "CodingOperations.h"

#include "CodeSystem.h"
#include "DocumentSystem.h"
#include "Workspace.h"
#include "platform/richtext/ParagraphTable.h"
#include "store/Schema.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace vexana::analysis {

using namespace store;

namespace {

std::string blockText(const ByteBlock& b) {
    return std::string(b.begin(), b.end());
}

// A template that repeats a stored coding (read with its block) under another code.
CodingTemplate templateOf(const RecordCursor& c, std::int32_t code, int weight) {
    CodingTemplate t;
    t.text = c.getInt(CodingField::Text);
    t.code = code;
    t.start = c.getInt(CodingField::StartChar);
    t.finish = c.getInt(CodingField::FinishChar);
    t.startPara = c.getInt(CodingField::StartPara);
    t.finishPara = c.getInt(CodingField::FinishPara);
    t.weight = weight;
    t.preview = c.getText(CodingField::Preview);
    t.rtf = blockText(c.block(CodingField::Body));
    return t;
}

} // namespace

void putPlace(RecordCursor& c, const CodingTemplate& t) {
    c.setInt(CodingField::StartChar, t.start);
    c.setInt(CodingField::FinishChar, t.finish);
    c.setInt(CodingField::StartPara, t.startPara);
    c.setInt(CodingField::FinishPara, t.finishPara);
    c.setText(CodingField::Preview, t.preview);
    c.setBlock(CodingField::Body, t.rtf);
}

bool CodingOperations::AddCoding(CodingTemplate& t, std::int32_t& batch) {
    last_ = 0;
    TopicStore& s = ws_.store();
    if (!s.GetTopic(TopicId::Texts)->contains(t.text)) return false;
    if (t.code != 0 && !s.GetTopic(TopicId::Codes)->contains(t.code)) return false;
    DeferredRetrieval defer(ws_);
    StoreBatch unit(s);
    if (t.code != 0) {
        std::vector<std::int32_t> inside;
        const Topic* codings = s.GetTopic(TopicId::Codings);
        const FieldInfo& codeF = *codings->field(CodingField::Code);
        const FieldInfo& startF = *codings->field(CodingField::StartChar);
        const FieldInfo& finishF = *codings->field(CodingField::FinishChar);
        for (std::int32_t other :
             s.FindIds(TopicId::Codings, TopicId::Texts, t.text, TopicId::Codes, t.code)) {
            const std::uint8_t* img = codings->image(other);
            if (!img || slot::getInt(img, codeF) != t.code) continue;
            const std::int32_t a = slot::getInt(img, startF), b = slot::getInt(img, finishF);
            if (a <= t.start && t.finish <= b) return false;
            if (t.start <= a && b <= t.finish) inside.push_back(other);
        }
        for (std::int32_t other : inside)
            ws_.documents().DeleteObject(TopicId::Codings, other);
    }
    RecordCursor c;
    if (!s.NewRecord(TopicId::Codings, c)) return false;
    const std::int32_t id = c.id();
    if (batch == NewBatch)
        batch = id;
    else if (batch == NoBatch)
        batch = 0;
    c.setInt(CodingField::TAID, batch);
    c.setInt(CodingField::Text, t.text);
    c.setInt(CodingField::Code, t.code);
    c.setInt(CodingField::Weight, t.weight);
    putPlace(c, t);
    t.rtf.clear();
    if (!s.Save(c, true, true)) {
        s.DeleteRecordOnly(TopicId::Codings, id);
        unit.fail();
        return false;
    }
    ws_.notify(ViewEvent::Inserted, TopicId::Codings, id);

    const bool textActive = ws_.IsActive(TopicId::Texts, t.text);
    RecordCursor text;
    if (s.GetRecord(TopicId::Texts, t.text, text)) {
        text.setInt(TextField::Codes, text.getInt(TextField::Codes) + 1);
        if (!s.Save(text)) unit.fail();
    }
    ws_.notify(ViewEvent::Changed, TopicId::Texts, t.text);
    ws_.notify(ViewEvent::Changed, TopicId::TextGroups,
               s.GetReference(TopicId::Texts, t.text, TopicId::TextGroups));
    if (t.code != 0) {
        RecordCursor code;
        if (s.GetRecord(TopicId::Codes, t.code, code)) {
            code.setInt(CodeField::Codes, code.getInt(CodeField::Codes) + 1);
            if (textActive)
                code.setInt(CodeField::ActiveCodes, code.getInt(CodeField::ActiveCodes) + 1);
            if (!s.Save(code)) unit.fail();
        }
        ws_.notify(ViewEvent::Changed, TopicId::Codes, t.code);
    }
    for (std::int32_t link : s.FindIds(TopicId::TextLinks, TopicId::Texts, t.text)) {
        ws_.notify(ViewEvent::Changed, TopicId::TextLinks, link);
        ws_.notify(ViewEvent::Changed, TopicId::TextSets,
                   s.GetReference(TopicId::TextLinks, link, TopicId::TextSets));
    }
    ws_.notify(ViewEvent::Changed, TopicId::GroupsRoot, 0);
    ws_.notify(ViewEvent::Changed, TopicId::CodesRoot, 0);
    if (!unit.finish()) return false;
    last_ = id;
    return ws_.belongsToRetrieval(t.text, t.code, t.weight);
}

bool CodingOperations::TemplateFor(const platform::RichText& body, std::int32_t start,
                                   std::int32_t end, CodingTemplate& t) {
    if (start < 0 || end > body.length() || start >= end) return false;
    const platform::ParagraphTable paragraphs(body);
    t.start = start;
    t.finish = end;
    t.startPara = paragraphs.numberOf(start);
    t.finishPara = paragraphs.numberOf(end - 1 >= start ? end - 1 : start);
    t.preview = cutText(body.text(start, end), 63);
    t.rtf = body.rangeToRtf(start, end);
    return true;
}

bool CodingOperations::TemplateFor(std::int32_t text, std::int32_t start, std::int32_t end,
                                   CodingTemplate& t) const {
    RecordCursor c;
    if (!ws_.store().GetRecord(TopicId::Texts, text, c, true)) return false;
    const platform::RichText body =
        platform::RichText::fromRtf(blockText(c.block(TextField::Body)));
    t.text = text;
    return TemplateFor(body, start, end, t);
}

bool CodingOperations::CodeSelection(CodingTemplate t, std::int32_t code) {
    if (code == 0) code = ws_.quickList.current();
    if (code == 0 || t.start >= t.finish) return false;
    t.code = code;
    t.weight = 100;
    DeferredRetrieval defer(ws_);
    std::int32_t batch = NewBatch;
    const bool belongs = AddCoding(t, batch);
    if (last_ != 0) ws_.quickList.use(code);
    if (belongs) ws_.BuildRetrieval();
    return last_ != 0;
}

bool CodingOperations::InVivo(const CodingTemplate& selection) {
    const std::string name = cutText(selection.preview, 32);
    // One unit: a code made for a coding that fails is not kept.
    StoreBatch unit(ws_.store());
    const std::int32_t code = ws_.codes().FindCodeByPath(0, name, true);
    if (code == 0) {
        unit.fail();
        return false;
    }
    const bool coded = CodeSelection(selection, code);
    if (!last_) unit.fail();
    if (!unit.finish()) return false;
    ws_.quickList.use(code);
    return coded;
}

std::vector<CodingBatchInfo> CodingOperations::UndoBatches() const {
    const TopicStore& s = ws_.store();
    std::set<std::int32_t, std::greater<>> taids;
    for (std::int32_t id : s.ListIds(TopicId::Codings))
        if (const std::int32_t taid = s.GetInt(TopicId::Codings, id, CodingField::TAID); taid != 0)
            taids.insert(taid);
    std::vector<CodingBatchInfo> out;
    for (std::int32_t taid : taids) {
        if (out.size() == 6) break;
        out.push_back({taid, {}, 0});
    }
    for (std::int32_t id : s.ListIds(TopicId::Codings)) {
        const std::int32_t taid = s.GetInt(TopicId::Codings, id, CodingField::TAID);
        for (auto& b : out)
            if (b.taid == taid) {
                if (b.count++ == 0)
                    b.codeName = s.GetName(
                        TopicId::Codes, s.GetInt(TopicId::Codings, id, CodingField::Code), false);
            }
    }
    return out;
}

int CodingOperations::UndoBatch(std::size_t index) {
    const auto batches = UndoBatches();
    if (index >= batches.size()) return 0;
    const std::int32_t taid = batches[index].taid;
    TopicStore& s = ws_.store();
    std::vector<std::int32_t> victims;
    for (std::int32_t id : s.ListIds(TopicId::Codings))
        if (s.GetInt(TopicId::Codings, id, CodingField::TAID) == taid) victims.push_back(id);
    ws_.ui().waitCursor(true);
    ws_.ui().progressOpen();
    int done = 0;
    DeferredRetrieval defer(ws_);
    StoreBatch unit(s);
    for (std::int32_t id : victims) {
        if (ws_.documents().DeleteObject(TopicId::Codings, id)) ++done;
        ws_.ui().progressText("Delete Coded Segments: " + std::to_string(done));
    }
    if (!unit.finish()) done = 0; // rolled back: nothing was removed
    defer.finish();
    ws_.ui().progressClose();
    ws_.ui().waitCursor(false);
    return done;
}

bool CodingOperations::DeleteCoding(std::int32_t coding, bool confirm) {
    if (!ws_.store().GetTopic(TopicId::Codings)->contains(coding)) return false;
    if (confirm && !ws_.ui().question("", "Delete", "Cancel")) return false;
    return ws_.documents().DeleteObject(TopicId::Codings, coding);
}

bool CodingOperations::SaveEditedText(std::int32_t text, const platform::RichText& body,
                                      const std::vector<EditedCoding>& codings,
                                      const std::vector<EditedMemo>& memos) {
    TopicStore& s = ws_.store();
    DeferredRetrieval defer(ws_);
    StoreBatch unit(s);
    RecordCursor c;
    if (!s.GetRecord(TopicId::Texts, text, c, true)) return false;
    c.setBlock(TextField::Body, body.toRtf());
    if (!s.Save(c, true)) {
        unit.fail();
        return false;
    }
    c.Release();
    std::vector<std::int32_t> gone;
    for (const EditedCoding& e : codings) {
        if (!e.changed && !e.deleted) continue;
        RecordCursor k;
        if (!s.GetRecord(TopicId::Codings, e.coding, k, true) ||
            k.getInt(CodingField::Text) != text)
            continue;
        CodingTemplate t;
        if (e.deleted || !TemplateFor(body, e.start, e.finish, t)) {
            gone.push_back(e.coding);
            continue;
        }
        putPlace(k, t);
        if (!s.Save(k, true)) {
            unit.fail();
            return false;
        }
    }
    for (const EditedMemo& m : memos) {
        RecordCursor k;
        if (!s.GetRecord(TopicId::Memos, m.memo, k) || k.getInt(MemoField::Text) != text) continue;
        k.setInt(MemoField::Pos, std::clamp(m.pos, 0, body.length()));
        if (!s.Save(k)) {
            unit.fail();
            return false;
        }
    }
    for (std::int32_t id : gone)
        if (!ws_.documents().DeleteObject(TopicId::Codings, id)) {
            unit.fail();
            return false;
        }
    if (!unit.finish()) return false;
    ws_.notify(ViewEvent::Changed, TopicId::Texts, text);
    return true;
}

int CodingOperations::ClampWeight(double value) {
    if (!std::isfinite(value)) return 0;
    if (value > 100) return 100;
    if (value < 0) return 0;
    return static_cast<int>(value);
}

bool CodingOperations::SetWeight(std::int32_t coding, double value) {
    RecordCursor c;
    if (!ws_.store().GetRecord(TopicId::Codings, coding, c)) return false;
    c.setInt(CodingField::Weight, ClampWeight(value));
    if (!ws_.store().Save(c)) return false;
    ws_.notify(ViewEvent::Changed, TopicId::Codings, coding);
    return true;
}

bool CodingOperations::ModifyWeight(std::int32_t coding) {
    if (!ws_.store().GetTopic(TopicId::Codings)->contains(coding)) return false;
    double value = ws_.store().GetInt(TopicId::Codings, coding, CodingField::Weight);
    if (!ws_.ui().askNumber("Weight", "", value)) return false;
    return SetWeight(coding, std::clamp(value, 0.0, 10000000.0));
}

void CodingOperations::CopyCodedSegments(std::int32_t code) {
    ws_.codeClipboard = {code, true};
}
void CodingOperations::MoveCodedSegments(std::int32_t code) {
    ws_.codeClipboard = {code, false};
}

int CodingOperations::PasteCodedSegments(std::int32_t target) {
    const auto clip = ws_.codeClipboard;
    TopicStore& s = ws_.store();
    if (clip.source == 0 || !s.GetTopic(TopicId::Codes)->contains(target) ||
        !s.GetTopic(TopicId::Codes)->contains(clip.source))
        return 0;
    // Each segment would be refused as lying inside itself, and a move would then delete it.
    // The source stays on the clipboard for the paste that was meant.
    if (target == clip.source) return 0;
    if (!clip.copy && !ws_.ui().question("", "Move Coded Segments", "Cancel")) return 0;
    ws_.ui().waitCursor(true);
    ws_.ui().progressOpen();
    int handled = 0, stored = 0;
    std::int32_t batch = NewBatch;
    DeferredRetrieval defer(ws_);
    StoreBatch unit(s);
    for (std::int32_t id : s.FindIds(TopicId::Codings, TopicId::Codes, clip.source)) {
        RecordCursor c;
        if (!s.GetRecord(TopicId::Codings, id, c, true)) continue;
        CodingTemplate t = templateOf(c, target, c.getInt(CodingField::Weight));
        c.Release();
        std::int32_t b = clip.copy ? batch : NoBatch;
        AddCoding(t, b);
        if (clip.copy) batch = b;
        if (last_ != 0) ++stored;
        if (!clip.copy) ws_.documents().DeleteObject(TopicId::Codings, id);
        ++handled;
        ws_.ui().progressText((clip.copy ? "Copy Coded Segments: " : "Coded Segments moved: ") +
                              std::to_string(handled));
    }
    if (!unit.finish()) handled = stored = 0;
    if (stored > 0) ws_.BuildRetrieval();
    defer.finish();
    ws_.ui().progressClose();
    ws_.ui().waitCursor(false);
    ws_.codeClipboard.source = 0;
    return handled;
}

int CodingOperations::CodeResults() {
    if (ws_.retrieved.empty()) {
        ws_.ui().message("List of Retrieved Segments is empty", MessageIcon::Information);
        return 0;
    }
    const std::int32_t code = ws_.quickList.current();
    if (code == 0) {
        ws_.ui().message("Quick-List is empty", MessageIcon::Information);
        return 0;
    }
    double weight = ws_.options.defaultWeight;
    if (!ws_.ui().askNumber(ws_.codes().FullName(code), "with Weight", weight)) return 0;
    ws_.options.defaultWeight = static_cast<int>(std::clamp(weight, 1.0, 100.0));
    TopicStore& s = ws_.store();
    ws_.ui().waitCursor(true);
    ws_.ui().progressOpen();
    ws_.ui().progressText("...");
    int handled = 0;
    bool belongs = false;
    std::int32_t batch = NewBatch;
    // The list holds result codings: a rebuild while it is walked would replace them.
    DeferredRetrieval defer(ws_);
    StoreBatch unit(s);
    const std::vector<std::int32_t> list = ws_.retrieved;
    for (std::int32_t id : list) {
        RecordCursor c;
        if (!s.GetRecord(TopicId::Codings, id, c, true)) continue;
        CodingTemplate t = templateOf(c, code, ws_.options.defaultWeight);
        c.Release();
        belongs = AddCoding(t, batch) || belongs;
        ++handled;
        ws_.ui().progressText(std::to_string(handled) + " Text Segments coded");
    }
    if (!unit.finish()) {
        handled = 0;
        belongs = false;
    }
    if (belongs) ws_.BuildRetrieval();
    if (!defer.finish()) ws_.notify(ViewEvent::SegmentsReplaced, TopicId::Codings, 0);
    ws_.ui().progressClose();
    ws_.ui().waitCursor(false);
    ws_.ui().message(std::to_string(handled) + " Text Segments coded", MessageIcon::Information);
    return handled;
}

} // namespace vexana::analysis
