#include "Command.h"
#include "analysis/CodeSystem.h"
#include "analysis/CodingOperations.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Workspace.h"
#include "exchange/TextImport.h"
#include "platform/richtext/RichText.h"
#include "store/Schema.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <ostream>

namespace vexana::cli {

namespace {

using namespace vexana::store;
using analysis::Workspace;

// An open project with the operations on it, for one command.
using Session = WorkspaceSession;

bool parseInt(const std::string& s, std::int32_t& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || v < INT32_MIN || v > INT32_MAX) return false;
    out = static_cast<std::int32_t>(v);
    return true;
}

bool parseNumber(const std::string& s, double& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    out = std::strtod(s.c_str(), &end);
    return *end == '\0' && std::isfinite(out);
}

class ImportCommand : public Command {
public:
    explicit ImportCommand(bool preprocess) : preprocess_(preprocess) {}
    const char* name() const override { return preprocess_ ? "preprocess" : "import"; }
    const char* summary() const override {
        return preprocess_
                   ? "import tagged documents (#TEXT, #CODE) into a text group"
                   : "import RTF, plain-text, Word, OpenDocument, HTML, Markdown or PDF files "
                     "as texts of a group";
    }
    std::string usage() const override {
        if (preprocess_)
            return "Usage: vexana-cli preprocess PROJECT GROUP FILE...\n"
                   "Reads each FILE as one document in which \"#TEXT name\" lines start texts and\n"
                   "\"#ENDTEXT\" ends them, and \"#CODE Parent\\Child\" ... \"#ENDCODE\" mark "
                   "coded\n"
                   "passages. Creates the texts in GROUP (made when missing), finds or creates\n"
                   "the codes (names compared without case), codes the passages and removes the\n"
                   "tag lines.\n";
        return "Usage: vexana-cli import PROJECT GROUP FILE...\n"
               "Imports each FILE as one text of GROUP (made when missing), named after the file.\n"
               "RTF files are stored as they are; plain-text files (UTF-8 or Windows-1252, one\n"
               "paragraph per line) are stored as RTF. .docx, .odt, .html/.htm, .md and .pdf\n"
               "files (by their extension) are read with their paragraphs, bold, italic,\n"
               "underline and tables (cells end with a tab, rows with a paragraph end) and stored\n"
               "as RTF; a PDF is read from its text layer. A file that cannot be read is\n"
               "reported and the others are still imported (exit status 1 then).\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (const int status = checkArguments(*this, args, 3, out, err, true); status >= 0)
            return status;
        Session s;
        if (!s.open(args[0], err)) return 1;
        const int before = s.ui.messages();
        const std::vector<std::string> files(args.begin() + 2, args.end());
        std::int32_t group = s.ws->documents().FindGroup(args[1]);
        const bool newGroup = group == 0;
        // Nothing to import: no group is made, and the file is not touched at all.
        if (newGroup && std::none_of(files.begin(), files.end(), exchange::TextImport::Readable)) {
            for (const auto& f : files)
                s.ui.message(exchange::TextImport::CannotOpen(f), MessageIcon::Warning);
            err << "Nothing was imported into " << args[1] << ".\n";
            return 1;
        }
        // One unit: a group made for files that all fail is not kept.
        StoreBatch unit(s.doc.store(), true);
        if (newGroup) {
            group = s.ws->documents().NewTextGroup();
            if (!group || !s.ws->documents().RenameObject(TopicId::TextGroups, group, args[1])) {
                unit.fail();
                unit.finish();
                if (!s.writeFailed()) err << "The group " << args[1] << " cannot be made.\n";
                return 1;
            }
        }
        exchange::TextImport import(*s.ws);
        const int n =
            preprocess_ ? import.PreprocessFiles(group, files) : import.ImportFiles(group, files);
        if (n == 0 && newGroup) unit.fail();
        if (!unit.finish()) {
            if (!s.writeFailed()) err << "Nothing was imported into " << args[1] << ".\n";
            return 1;
        }
        out << "Imported " << n << (n == 1 ? " text" : " texts") << " into " << args[1] << "\n";
        return s.ui.messages() > before ? 1 : 0;
    }

private:
    bool preprocess_;
};

class TextsCommand : public Command {
public:
    const char* name() const override { return "texts"; }
    const char* summary() const override { return "list the texts: id, full name, coded segments"; }
    std::string usage() const override {
        return "Usage: vexana-cli texts PROJECT\n"
               "One tab-separated row per text: id, full name (Group\\Text), number of coded "
               "segments.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (const int status = checkArguments(*this, args, 1, out, err); status >= 0) return status;
        Session s;
        if (!s.open(args[0], err)) return 1;
        const TopicStore& st = s.doc.store();
        for (std::int32_t id : st.ListIds(TopicId::Texts))
            out << id << '\t' << cell(st.GetName(TopicId::Texts, id, true)) << '\t'
                << st.GetInt(TopicId::Texts, id, TextField::Codes) << '\n';
        return 0;
    }
};

class TextCommand : public Command {
public:
    const char* name() const override { return "text"; }
    const char* summary() const override { return "print a text's plain form"; }
    std::string usage() const override {
        return "Usage: vexana-cli text PROJECT TEXT\n"
               "Prints the plain form of the text named \"Group\\Text\", paragraph ends as line "
               "ends.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (const int status = checkArguments(*this, args, 2, out, err); status >= 0) return status;
        Session s;
        if (!s.open(args[0], err)) return 1;
        std::string why = "There is no text " + args[1] + ".";
        const std::int32_t text = findText(*s.ws, args[1], why);
        RecordCursor c;
        if (!text || !s.doc.store().GetRecord(TopicId::Texts, text, c, true)) {
            err << why << "\n";
            return 1;
        }
        const auto& body = c.block(TextField::Body);
        std::string plain =
            platform::RichText::fromRtf(
                std::string_view(reinterpret_cast<const char*>(body.data()), body.size()))
                .plainText();
        for (char& ch : plain)
            if (ch == '\r') ch = '\n';
        out << plain;
        if (!plain.empty() && plain.back() != '\n') out << '\n';
        return 0;
    }
};

class CodesCommand : public Command {
public:
    const char* name() const override { return "codes"; }
    const char* summary() const override {
        return "list the codes in tree order: id, path, coded segments";
    }
    std::string usage() const override {
        return "Usage: vexana-cli codes PROJECT\n"
               "One tab-separated row per code, in tree order: id, path (Parent\\Child), number "
               "of\n"
               "coded segments.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (const int status = checkArguments(*this, args, 1, out, err); status >= 0) return status;
        Session s;
        if (!s.open(args[0], err)) return 1;
        const TopicStore& st = s.doc.store();
        for (std::int32_t top : s.ws->codes().Children(0))
            for (std::int32_t id : s.ws->codes().Subtree(top))
                out << id << '\t' << cell(st.GetName(TopicId::Codes, id, true)) << '\t'
                    << st.GetInt(TopicId::Codes, id, CodeField::Codes) << '\n';
        return 0;
    }
};

class CodeCommand : public Command {
public:
    const char* name() const override { return "code"; }
    const char* summary() const override { return "code a passage of a text"; }
    std::string usage() const override {
        return "Usage: vexana-cli code PROJECT TEXT CODE START END [--weight W]\n"
               "Codes the characters [START, END) of the text \"Group\\Text\" with the code of "
               "the\n"
               "path \"Parent\\Child\" (created when missing). Offsets count characters of the\n"
               "text's plain form, one per paragraph end. W: the weight score, 0 to 100 (larger\n"
               "values are 100, fractions are cut). A passage inside a coding of the same code\n"
               "is not coded again; codings of the code inside the passage are replaced.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        std::vector<std::string> pos;
        std::string weightText;
        bool hasWeight = false;
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (args[i] == "--weight" && i + 1 < args.size()) {
                weightText = args[++i];
                hasWeight = true;
            } else if (args[i] == "--help" || args[i] == "-h") {
                out << usage();
                return 0;
            } else {
                pos.push_back(args[i]);
            }
        }
        if (pos.size() != 5) {
            err << usage();
            return 2;
        }
        std::int32_t start = 0, end = 0;
        double weight = 100;
        if (!parseInt(pos[3], start) || !parseInt(pos[4], end)) {
            err << "START and END must be whole numbers.\n";
            return 2;
        }
        if (hasWeight && !parseNumber(weightText, weight)) {
            err << "The weight " << weightText << " is not a number.\n";
            return 2;
        }
        Session s;
        if (!s.open(pos[0], err)) return 1;
        std::string why;
        const std::int32_t text = findText(*s.ws, pos[1], why);
        if (!text) {
            err << why << "\n";
            return 1;
        }
        analysis::CodingTemplate t;
        if (!s.ws->codings().TemplateFor(text, start, end, t)) {
            err << "The range " << start << "-" << end << " is not a passage of " << pos[1]
                << ".\n";
            return 1;
        }
        // One unit: a code made for a coding that is then refused is not kept.
        StoreBatch unit(s.doc.store());
        auto refuse = [&](const std::string& why) {
            unit.fail();
            unit.finish();
            if (!s.writeFailed()) err << why;
            return 1;
        };
        t.code = s.ws->codes().FindCodeByPath(0, pos[2], true);
        if (t.code == 0) return refuse("\"" + pos[2] + "\" names no code.\n");
        t.weight = analysis::CodingOperations::ClampWeight(weight);
        std::int32_t batch = analysis::CodingOperations::NewBatch;
        s.ws->codings().AddCoding(t, batch);
        const std::int32_t coding = s.ws->codings().lastCoding();
        if (!coding)
            return refuse("The passage lies inside a coding of " + pos[2] +
                          " already; nothing was coded.\n");
        if (!unit.finish()) return 1;
        out << coding << "\n";
        return 0;
    }
};

class UncodeCommand : public Command {
public:
    const char* name() const override { return "uncode"; }
    const char* summary() const override { return "delete one coding"; }
    std::string usage() const override {
        return "Usage: vexana-cli uncode PROJECT CODING-ID\n"
               "Deletes the coding with that id (see 'codings').\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (const int status = checkArguments(*this, args, 2, out, err); status >= 0) return status;
        std::int32_t id = 0;
        if (!parseInt(args[1], id)) {
            err << "CODING-ID must be a whole number.\n";
            return 2;
        }
        Session s;
        if (!s.open(args[0], err)) return 1;
        if (!s.ws->codings().DeleteCoding(id, false)) {
            if (!s.writeFailed()) err << "There is no coding " << id << ".\n";
            return 1;
        }
        return 0;
    }
};

class SetCommand : public Command {
public:
    const char* name() const override { return "set"; }
    const char* summary() const override { return "put texts into a text set"; }
    std::string usage() const override {
        return "Usage: vexana-cli set PROJECT SET TEXT...\n"
               "Adds the texts \"Group\\Text\" to the text set named SET, which is made when\n"
               "missing. A text already in the set is not added twice. All or nothing: an\n"
               "unknown text changes nothing.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (const int status = checkArguments(*this, args, 3, out, err, true); status >= 0)
            return status;
        if (args[1].empty()) {
            err << "The set needs a name.\n";
            return 2;
        }
        Session s;
        if (!s.open(args[0], err)) return 1;
        analysis::DocumentSystem& docs = s.ws->documents();
        TopicStore& st = s.doc.store();
        std::vector<std::int32_t> texts;
        for (std::size_t i = 2; i < args.size(); ++i) {
            std::string why;
            const std::int32_t text = findText(*s.ws, args[i], why);
            if (!text) {
                err << why << "\n";
                return 1;
            }
            texts.push_back(text);
        }
        StoreBatch batch(st);
        std::int32_t set = 0;
        for (std::int32_t id : st.ListIds(TopicId::TextSets))
            if (st.GetName(TopicId::TextSets, id, false) == args[1]) set = id;
        if (!set) {
            set = docs.NewSet(false);
            if (!set || !docs.RenameObject(TopicId::TextSets, set, args[1])) batch.fail();
        }
        int added = 0;
        for (std::int32_t text : texts) {
            if (docs.SetHolds(set, text)) continue;
            if (docs.AddTextToSet(set, text))
                ++added;
            else
                batch.fail();
        }
        if (!batch.finish()) {
            if (!s.writeFailed())
                err << "The set " << args[1] << " could not be written; nothing was changed.\n";
            return 1;
        }
        out << "Added " << added << (added == 1 ? " text" : " texts") << " to " << args[1] << "\n";
        return 0;
    }
};

class CodingsCommand : public Command {
public:
    const char* name() const override { return "codings"; }
    const char* summary() const override { return "list the coded segments"; }
    std::string usage() const override {
        return "Usage: vexana-cli codings PROJECT\n"
               "One tab-separated row per coded segment: id, text full name, code path,\n"
               "StartChar, FinishChar, StartPara, FinishPara, weight, preview.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (const int status = checkArguments(*this, args, 1, out, err); status >= 0) return status;
        Session s;
        if (!s.open(args[0], err)) return 1;
        const TopicStore& st = s.doc.store();
        for (std::int32_t id : st.ListIds(TopicId::Codings)) {
            const auto get = [&](int f) { return st.GetInt(TopicId::Codings, id, f); };
            if (get(CodingField::Code) == 0) continue; // a retrieval's temporary result
            out << id << '\t' << cell(st.GetName(TopicId::Texts, get(CodingField::Text), true))
                << '\t' << cell(st.GetName(TopicId::Codes, get(CodingField::Code), true)) << '\t'
                << get(CodingField::StartChar) << '\t' << get(CodingField::FinishChar) << '\t'
                << get(CodingField::StartPara) << '\t' << get(CodingField::FinishPara) << '\t'
                << get(CodingField::Weight) << '\t'
                << cell(st.GetText(TopicId::Codings, id, CodingField::Preview)) << '\n';
        }
        return 0;
    }
};

} // namespace

std::unique_ptr<Command> makeImportCommand(bool preprocess) {
    return std::make_unique<ImportCommand>(preprocess);
}
std::unique_ptr<Command> makeTextsCommand() {
    return std::make_unique<TextsCommand>();
}
std::unique_ptr<Command> makeTextCommand() {
    return std::make_unique<TextCommand>();
}
std::unique_ptr<Command> makeCodesCommand() {
    return std::make_unique<CodesCommand>();
}
std::unique_ptr<Command> makeCodeCommand() {
    return std::make_unique<CodeCommand>();
}
std::unique_ptr<Command> makeUncodeCommand() {
    return std::make_unique<UncodeCommand>();
}
std::unique_ptr<Command> makeSetCommand() {
    return std::make_unique<SetCommand>();
}
std::unique_ptr<Command> makeCodingsCommand() {
    return std::make_unique<CodingsCommand>();
}

} // namespace vexana::cli
