#include "ArchiveImport.h"

#include "analysis/CodingOperations.h"
#include "analysis/MemoOperations.h"
#include "platform/Files.h"
#include "platform/richtext/ParagraphTable.h"
#include "platform/richtext/RichText.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"
#include "store/TopicStore.h"
#include "store/UserInterface.h"
#include "store/ValueText.h"
#include "variables/Variables.h"

#include <unordered_map>
#include <unordered_set>

namespace vexana::exchange {

using namespace store;
using platform::RichText;

namespace {

constexpr std::size_t nameChars = 63;

struct TextPlace {
    std::int32_t id = 0;
    LineTable lines;
    RichText body;
};

struct PendingCoding {
    std::int32_t code;
    std::int64_t start, finish;
    int weight;
};

// Variable names the texts do not have yet: the archive's, or with "(1)", "(2)", ... after
// it; one refused for itself (a name the variable import would misread) becomes
// "Variable N". The folded names taken and each series' next number are kept, so a thousand
// variables of one name cost no rescans.
class VariableNames {
public:
    VariableNames(const TopicStore& s, const variables::Variables& vars) : vars_(vars) {
        for (int i = 0; i < s.FieldCount(TopicId::Texts); ++i)
            taken_.insert(variables::foldedKey(s.FieldAt(TopicId::Texts, i)->name));
    }

    std::string freeName(std::string name, int position) {
        for (char& c : name)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
        name = cutText(variables::trimmed(name), nameChars - 8);
        for (const std::string& base : {name, "Variable " + std::to_string(position)}) {
            if (base.empty()) continue;
            int& next = next_[variables::foldedKey(base)];
            for (;; ++next) {
                std::string candidate = next == 0 ? base : base + "(" + std::to_string(next) + ")";
                std::string key = variables::foldedKey(candidate);
                if (taken_.contains(key)) continue;
                if (!vars_.CheckName(candidate).empty()) break;
                taken_.insert(std::move(key));
                ++next;
                return candidate;
            }
        }
        return "Variable " + std::to_string(position);
    }

private:
    const variables::Variables& vars_;
    std::unordered_set<std::string> taken_;
    std::unordered_map<std::string, int> next_;
};

class Builder {
public:
    Builder(CVexDoc& doc, const Archive& archive, const ObjectFile& objects,
            const std::map<int, ArchiveMemo>& memos, UserInterface& ui, ArchiveCounts& counts)
        : doc_(doc), s_(doc.store()), archive_(archive), objects_(objects), memos_(memos), ui_(ui),
          counts_(counts) {}

    bool run() {
        return addVariables() && addTexts() && addCodes() && addMemos() && finishCodings();
    }

private:
    bool addVariables() {
        variables::Variables vars(doc_);
        VariableNames names(s_, vars);
        int position = 0;
        for (const ArchiveVariable& v : readVariableTable(
                 archive_.file(MemberType::VariableTable).value_or(std::string_view()))) {
            FieldInfo f;
            f.type = v.integer ? TypeInteger : TypeString;
            f.state = FieldState::Variable | FieldState::Editable;
            f.parentTopic = 0;
            f.name = names.freeName(v.name, ++position);
            const int id = s_.AddField(TopicId::Texts, f);
            if (id < 0) return false;
            fields_.push_back(id);
        }
        counts_.variables = static_cast<int>(fields_.size());
        return true;
    }

    bool addTexts() {
        const DateTime now = DateTime::now();
        int groupIndex = 0;
        for (const ArchiveGroup& g : objects_.groups) {
            RecordCursor c;
            if (!s_.NewRecord(TopicId::TextGroups, c)) return false;
            const std::int32_t group = c.id();
            c.setText(GroupField::Name, g.name.empty() ? "Group " + std::to_string(group)
                                                       : cutText(g.name, nameChars));
            c.setInt(GroupField::Index, groupIndex++);
            c.setInt(GroupField::State, g.flag ? 1 : 0);
            if (!s_.Save(c, true, true)) return false;
            ++counts_.groups;
            for (const ArchiveText& t : g.texts) {
                RecordCursor r;
                if (!s_.NewRecord(TopicId::Texts, r)) return false;
                TextPlace place;
                place.id = r.id();
                r.setInt(TextField::Group, group);
                r.setInt(TextField::Index, t.number);
                r.setText(TextField::Name, t.name.empty() ? "Text " + std::to_string(t.number)
                                                          : cutText(t.name, nameChars));
                r.setDate(TextField::Date, now);
                if (const auto kz = archive_.file(MemberType::Lines, t.number & 0xFFFF)) {
                    place.lines = LineTable(*kz);
                    const std::u32string plain = place.lines.body(
                        archive_.file(MemberType::Text, t.number & 0xFFFF).value_or(""));
                    place.body.appendChars(plain, place.body.charFormatAt(0));
                    r.setBlock(TextField::Body, place.body.toRtf());
                }
                if (const auto kvr = archive_.file(MemberType::Values, t.number & 0xFFFF)) {
                    const std::vector<std::string> values = readVariableValues(*kvr);
                    for (std::size_t i = 0; i < values.size() && i < fields_.size(); ++i)
                        r.setValueFromText(fields_[i], values[i]);
                }
                if (!s_.Save(r, true, true)) return false;
                ++counts_.texts;
                ui_.progressText("Texts: " + std::to_string(counts_.texts));
                // The first text of a number is the one its codings and memos find.
                if (!texts_.contains(t.number)) {
                    order_.push_back(t.number);
                    texts_.emplace(t.number, std::move(place));
                }
            }
        }
        return true;
    }

    bool addCodes() {
        const std::vector<int> oldNumbers =
            readOldNumbers(archive_.file(MemberType::OldNumbers).value_or(std::string_view()));
        std::vector<std::int32_t> ids;
        std::vector<std::string> paths;
        std::unordered_map<std::int32_t, int> children;
        ids.reserve(objects_.codes.size());
        for (std::size_t i = 0; i < objects_.codes.size(); ++i) {
            const ArchiveCode& k = objects_.codes[i];
            const std::int32_t parent = k.parent < 0 ? 0 : ids[static_cast<std::size_t>(k.parent)];
            RecordCursor c;
            if (!s_.NewRecord(TopicId::Codes, c)) return false;
            const std::int32_t id = c.id();
            const std::string name =
                k.name.empty() ? "Code " + std::to_string(id) : cutText(k.name, nameChars);
            c.setText(CodeField::Name, name);
            c.setInt(CodeField::Parent, parent);
            c.setInt(CodeField::Index, children[parent]++);
            c.setInt(CodeField::State, k.flag ? 1 : 0);
            if (!s_.Save(c, true, true)) return false;
            ids.push_back(id);
            paths.push_back(k.parent < 0 ? name
                                         : paths[static_cast<std::size_t>(k.parent)] + "\\" + name);
            byPath_.emplace(paths.back(), id);
            // Without the old numbers no memo can name its code.
            if (i < oldNumbers.size() && oldNumbers[i] != 0) byOldNumber_[oldNumbers[i]] = id;
            ++counts_.codes;
            ui_.progressText("Codes: " + std::to_string(counts_.codes));
            for (const ArchiveSegment& seg : k.segments) {
                const auto text = texts_.find(seg.text);
                if (text == texts_.end()) {
                    ++counts_.skippedSegments;
                    continue;
                }
                const LineTable& lines = text->second.lines;
                const auto a = lines.start(seg.startLine, seg.startColumn);
                const auto b = lines.end(seg.endLine, seg.endColumn, seg.startLine);
                if (!a || !b) {
                    ++counts_.skippedSegments;
                    continue;
                }
                pending_[seg.text].push_back(
                    {id, *a, *b, analysis::CodingOperations::ClampWeight(seg.weight)});
            }
        }
        return true;
    }

    bool addMemos() {
        for (const auto& [number, m] : memos_) {
            std::int32_t text = 0, code = 0;
            std::int64_t pos = 1;
            if (m.text != 0) {
                const auto t = texts_.find(m.text);
                if (t != texts_.end()) {
                    text = t->second.id;
                    const auto at = t->second.lines.offsetOf(m.line);
                    if (at && *at + 1 <= t->second.body.length()) pos = *at + 1;
                }
            } else if (const auto k = byOldNumber_.find(number); k != byOldNumber_.end()) {
                code = k->second;
            }
            if (text == 0 && code == 0) {
                ++counts_.skippedMemos;
                continue;
            }
            std::vector<std::int32_t> linked;
            for (const std::string& path : m.codePaths)
                if (const auto k = byPath_.find(path); k != byPath_.end())
                    linked.push_back(k->second);
            const RichText body = RichText::fromPlain(m.body);
            RecordCursor c;
            if (!s_.NewRecord(TopicId::Memos, c)) return false;
            const std::int32_t id = c.id();
            c.setInt(MemoField::Text, text);
            c.setInt(MemoField::Code, code);
            c.setInt(MemoField::Pos, static_cast<std::int32_t>(pos));
            if (m.year >= 1 && m.year <= 9999 && m.month >= 1 && m.month <= 12 && m.day >= 1 &&
                m.day <= 31)
                c.setDate(MemoField::Date, DateTime::fromCivil(m.year, m.month, m.day));
            c.setText(MemoField::Title, cutText(m.title, nameChars));
            c.setText(MemoField::Author, cutText(m.author, nameChars));
            c.setBlock(MemoField::Body, body.toRtf());
            c.setBlock(MemoField::Codes, analysis::linkedCodesBlock(linked));
            c.setText(MemoField::Preview, analysis::memoPreview(body));
            if (!s_.Save(c, true, true)) return false;
            if (code != 0) {
                RecordCursor k;
                if (!s_.GetRecord(TopicId::Codes, code, k)) return false;
                k.setInt(CodeField::MemoID, id);
                if (!s_.Save(k)) return false;
            }
            ++counts_.memos;
            ui_.progressText("Memos: " + std::to_string(counts_.memos));
        }
        return true;
    }

    // The coded segments get their contents, paragraphs and previews from their texts' bodies;
    // a place outside its text is dropped. The counters are what was actually stored.
    bool finishCodings() {
        std::unordered_map<std::int32_t, int> perCode;
        for (int number : order_) {
            const auto pending = pending_.find(number);
            if (pending == pending_.end()) continue;
            const TextPlace& text = texts_.at(number);
            int stored = 0;
            // What TemplateFor gives, with the paragraphs found once per text.
            const platform::ParagraphTable paragraphs(text.body);
            const std::int64_t length = text.body.length();
            for (const PendingCoding& p : pending->second) {
                if (p.start < 0 || p.finish > length || p.start >= p.finish) {
                    ++counts_.skippedSegments;
                    continue;
                }
                analysis::CodingTemplate t;
                t.start = static_cast<std::int32_t>(p.start);
                t.finish = static_cast<std::int32_t>(p.finish);
                t.startPara = paragraphs.numberOf(t.start);
                t.finishPara = paragraphs.numberOf(t.finish - 1);
                t.preview = cutText(text.body.text(t.start, t.finish), 63);
                t.rtf = text.body.rangeToRtf(t.start, t.finish);
                RecordCursor c;
                if (!s_.NewRecord(TopicId::Codings, c)) return false;
                c.setInt(CodingField::Text, text.id);
                c.setInt(CodingField::Code, p.code);
                c.setInt(CodingField::Weight, p.weight);
                analysis::putPlace(c, t);
                if (!s_.Save(c, true, true)) return false;
                ++stored;
                ++perCode[p.code];
                if (++counts_.codings % 100 == 0)
                    ui_.progressText("Coded Segments: " + std::to_string(counts_.codings) + " ");
            }
            if (stored > 0 && !setCounter(TopicId::Texts, text.id, TextField::Codes, stored))
                return false;
        }
        ui_.progressText("Coded Segments: " + std::to_string(counts_.codings) + " ");
        for (const auto& [code, n] : perCode)
            if (!setCounter(TopicId::Codes, code, CodeField::Codes, n)) return false;
        return true;
    }

    bool setCounter(int topic, std::int32_t id, int field, int value) {
        RecordCursor c;
        if (!s_.GetRecord(topic, id, c)) return false;
        c.setInt(field, value);
        return s_.Save(c);
    }

    CVexDoc& doc_;
    TopicStore& s_;
    const Archive& archive_;
    const ObjectFile& objects_;
    const std::map<int, ArchiveMemo>& memos_;
    UserInterface& ui_;
    ArchiveCounts& counts_;

    std::vector<int> fields_;
    std::unordered_map<int, TextPlace> texts_; // by old text number
    std::vector<int> order_;                   // old text numbers in record order
    std::unordered_map<int, std::int32_t> byOldNumber_;
    std::unordered_map<std::string, std::int32_t> byPath_;
    std::unordered_map<int, std::vector<PendingCoding>> pending_; // by old text number
};

// Passes everything on and notes whether a stop was shown: a write that failed while the
// new project was closed is told only that way.
class WatchedUi : public UserInterface {
public:
    explicit WatchedUi(UserInterface& ui) : ui_(ui) {}
    int stops = 0;
    void message(const std::string& text, MessageIcon icon) override {
        if (icon == MessageIcon::Stop) ++stops;
        ui_.message(text, icon);
    }
    bool question(const std::string& text, const std::string& yes, const std::string& no) override {
        return ui_.question(text, yes, no);
    }
    std::string chooseFile(FileDialog dialog) override { return ui_.chooseFile(dialog); }
    std::vector<std::string> chooseFiles(FileDialog dialog) override {
        return ui_.chooseFiles(dialog);
    }
    StartChoice startDialog(const std::vector<std::string>& recent) override {
        return ui_.startDialog(recent);
    }
    bool askNumber(const std::string& title, const std::string& prompt, double& value) override {
        return ui_.askNumber(title, prompt, value);
    }
    void progressOpen() override { ui_.progressOpen(); }
    void progressText(const std::string& text) override { ui_.progressText(text); }
    void progressCount(long count) override { ui_.progressCount(count); }
    void progressClose() override { ui_.progressClose(); }
    void waitCursor(bool on) override { ui_.waitCursor(on); }

private:
    UserInterface& ui_;
};

} // namespace

bool ArchiveImport::refuse(const std::string& why) {
    ui_.message("The archive " + path_ + " cannot be read: " + why + ".", MessageIcon::Stop);
    archive_.reset();
    return false;
}

bool ArchiveImport::open(const std::string& archivePath) {
    path_ = archivePath;
    archive_.reset();
    memos_.clear();
    std::string error;
    auto bytes = platform::readFile(archivePath, Archive::maxBytes + 1, &error);
    if (!bytes) return refuse(error.empty() ? "it cannot be read" : error);
    ui_.progressOpen();
    ui_.progressText("Extract Archive ...");
    archive_ = Archive::read(std::move(*bytes), error);
    ui_.progressClose();
    if (!archive_) return refuse(error);
    const auto kob = archive_->file(MemberType::Objects);
    if (!kob) return refuse("it holds no object file");
    auto objects = readObjectFile(*kob, error);
    if (!objects) return refuse(error);
    objects_ = std::move(*objects);
    // A project holds at most 2,000 fields per table; the predecessor's tables held dozens.
    const std::size_t variables =
        readVariableTable(archive_->file(MemberType::VariableTable).value_or(std::string_view()))
            .size();
    if (variables > maxVariables)
        return refuse("its variable table holds " + std::to_string(variables) +
                      " variables, more than the " + std::to_string(maxVariables) +
                      " a project can take");
    for (int number : archive_->memoNumbers()) {
        auto memo = readMemoFile(*archive_->file(MemberType::Memo, number), error);
        if (!memo)
            return refuse("its memo " + memberFileName(MemberType::Memo, number) + " is " +
                          "damaged: " + error);
        memos_.emplace(number, std::move(*memo));
    }
    return true;
}

std::string ArchiveImport::proposedName() const {
    return projectNameFor(objects_.title);
}

std::optional<ArchiveCounts> ArchiveImport::importInto(const std::string& path) {
    if (!archive_) return std::nullopt;
    if (platform::fileExists(path)) {
        ui_.message("The project " + path + " exists already.", MessageIcon::Stop);
        return std::nullopt;
    }
    std::string error;
    const std::string folder = platform::parentDirectory(path);
    if (!platform::makeDirectories(folder, &error)) {
        ui_.message("The folder " + folder + " cannot be made: " + error + ".", MessageIcon::Stop);
        return std::nullopt;
    }
    const std::string building = platform::temporarySibling(path, "archive");
    ArchiveCounts counts;
    bool whole = false;
    WatchedUi ui(ui_);
    {
        RecentProjects recent;
        CVexDoc doc(ui, recent);
        if (doc.OpenPath(building, false)) {
            ui_.waitCursor(true);
            ui_.progressOpen();
            ui_.progressText("Import Archive ...");
            {
                StoreBatch unit(doc.store(), true);
                Builder builder(doc, *archive_, objects_, memos_, ui, counts);
                if (!builder.run()) unit.fail();
                whole = unit.finish();
            }
            doc.CloseProject();
            ui_.progressClose();
            ui_.waitCursor(false);
        }
    }
    // A journal or log left beside the file means its close did not finish (the engine does
    // not say so): such a file is not moved into place without them.
    const bool closed =
        !platform::fileExists(building + "-journal") && !platform::fileExists(building + "-wal");
    if (whole && ui.stops == 0 && closed && platform::renameNoReplace(building, path))
        return counts;
    if (ui.stops == 0)
        ui_.message("The new project cannot be put in place as " + path +
                        (closed ? "." : ": its file could not be closed completely."),
                    MessageIcon::Stop);
    // A failed unit can leave the engine's journal or log beside the half-built file.
    for (const char* side : {"", "-journal", "-wal", "-shm"})
        platform::removeFile(building + side);
    return std::nullopt;
}

bool ArchiveImport::Command(CVexDoc& doc) {
    UserInterface& ui = doc.ui();
    const std::string archive = ui.chooseFile(FileDialog::ImportArchive);
    if (archive.empty()) return false;
    ArchiveImport import(ui);
    if (!import.open(archive)) return false;
    const std::string name = import.proposedName();
    ui.proposeFileName((name.empty() ? std::string("Archive") : name) + ".vxp");
    const std::string project = ui.chooseFile(FileDialog::NewProject);
    if (project.empty() || !import.importInto(project)) return false;
    return doc.OpenPath(project, true);
}

} // namespace vexana::exchange
