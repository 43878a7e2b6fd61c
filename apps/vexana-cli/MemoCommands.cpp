#include "Command.h"
#include "analysis/CodeSystem.h"
#include "analysis/DocumentSystem.h"
#include "analysis/MemoOperations.h"
#include "analysis/Workspace.h"
#include "platform/Files.h"
#include "platform/richtext/RichText.h"
#include "store/Schema.h"

#include <cerrno>
#include <cstdlib>
#include <ostream>

namespace vexana::cli {

namespace {

using namespace vexana::store;
using analysis::Memo;
using analysis::MemoOperations;

// An open project with the memo operations on it, for one command.
struct Session : WorkspaceSession {
    std::unique_ptr<MemoOperations> memos;

    bool open(const std::string& path, std::ostream& err) {
        if (!WorkspaceSession::open(path, err)) return false;
        memos = std::make_unique<MemoOperations>(*ws);
        return true;
    }
};

bool parseId(const std::string& s, std::int32_t& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || v < 0 || v > INT32_MAX) return false;
    out = static_cast<std::int32_t>(v);
    return true;
}

std::string lines(std::string text) {
    for (char& c : text)
        if (c == '\r') c = '\n';
    return text;
}

class MemoNewCommand : public Command {
public:
    const char* name() const override { return "memo-new"; }
    const char* summary() const override { return "attach a memo to a text position or a code"; }
    std::string usage() const override {
        return "Usage: vexana-cli memo-new PROJECT (--text TEXT --pos N | --code CODE)\n"
               "                           [--title T] [--author A] [--type 0-10] [--body FILE]\n"
               "                           [--link CODE]...\n"
               "Makes a memo at character N of the text \"Group\\Text\" (0 to the text's length)\n"
               "or for the code of the path \"Parent\\Child\" (a code has one memo; one that has\n"
               "it already is refused). The title is \"Memo ID\" unless given; T and A are cut\n"
               "to 63 characters. FILE is the body, RTF or plain text (UTF-8 or Windows-1252).\n"
               "Each --link CODE adds an existing code to the memo's linked codes, in order.\n"
               "Prints the new memo's id.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (wantsHelp(args)) {
            out << usage();
            return 0;
        }
        std::vector<std::string> pos;
        std::string text, code, posText, title, author, typeText, bodyFile;
        bool hasTitle = false, hasAuthor = false, hasType = false, hasPos = false;
        std::vector<std::string> links;
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& a = args[i];
            const bool valued = i + 1 < args.size();
            if (a == "--text" && valued)
                text = args[++i];
            else if (a == "--code" && valued)
                code = args[++i];
            else if (a == "--pos" && valued)
                posText = args[++i], hasPos = true;
            else if (a == "--title" && valued)
                title = args[++i], hasTitle = true;
            else if (a == "--author" && valued)
                author = args[++i], hasAuthor = true;
            else if (a == "--type" && valued)
                typeText = args[++i], hasType = true;
            else if (a == "--body" && valued)
                bodyFile = args[++i];
            else if (a == "--link" && valued)
                links.push_back(args[++i]);
            else if (a.starts_with("--")) {
                err << "Unknown or incomplete option " << a << ".\n" << usage();
                return 2;
            } else
                pos.push_back(a);
        }
        if (pos.size() != 1 || text.empty() == code.empty() || hasPos != !text.empty()) {
            err << usage();
            return 2;
        }
        std::int32_t at = 0, type = 0;
        if (hasPos && !parseId(posText, at)) {
            err << "N must be a whole number, 0 or more.\n";
            return 2;
        }
        if (hasType && (!parseId(typeText, type) || type >= analysis::MemoTypeCount)) {
            err << "The type must be a number from 0 to 10.\n";
            return 2;
        }
        platform::RichText body;
        if (!bodyFile.empty()) {
            const auto bytes = platform::readFile(bodyFile);
            if (!bytes) {
                err << "The file " << bodyFile << " cannot be read.\n";
                return 1;
            }
            if (!platform::RichText::looksLikeRtf(*bytes) &&
                bytes->find('\0') != std::string::npos) {
                err << "The file " << bodyFile << " is neither RTF nor text.\n";
                return 1;
            }
            body = platform::RichText::fromRtf(*bytes);
        }
        Session s;
        if (!s.open(pos[0], err)) return 1;
        analysis::CodeSystem& codes = s.ws->codes();
        std::vector<std::int32_t> linked;
        for (const auto& l : links) {
            const std::int32_t id = codes.FindCodeByPath(0, l, false);
            if (!id) {
                err << "\"" << l << "\" names no code.\n";
                return 1;
            }
            linked.push_back(id);
        }
        std::int32_t owner = 0;
        if (!text.empty()) {
            std::string why;
            owner = findText(*s.ws, text, why);
            if (!owner) {
                err << why << "\n";
                return 1;
            }
            const std::int32_t length = analysis::textLength(s.doc.store(), owner);
            if (at > length) {
                err << "The position " << at << " lies outside the text " << text << " (0 to "
                    << length << ").\n";
                return 1;
            }
        } else {
            owner = codes.FindCodeByPath(0, code, false);
            if (!owner) {
                err << "\"" << code << "\" names no code.\n";
                return 1;
            }
            if (const std::int32_t has =
                    s.doc.store().GetInt(TopicId::Codes, owner, CodeField::MemoID);
                has != 0 && s.doc.store().GetTopic(TopicId::Memos)->contains(has)) {
                err << "The code " << code << " has the memo " << has
                    << " already; nothing was changed.\n";
                return 1;
            }
        }
        // One unit: a memo whose contents cannot be stored is not kept empty.
        StoreBatch unit(s.doc.store(), "New Memo");
        const std::int32_t id =
            text.empty() ? s.memos->CodeMemo(owner) : s.memos->NewTextMemo(owner, at);
        Memo m;
        if (!id || !s.memos->Load(id, m)) {
            unit.fail();
            unit.finish();
            if (!s.writeFailed()) err << "The memo cannot be made.\n";
            return 1;
        }
        if (hasTitle) m.title = title;
        if (hasAuthor) m.author = author;
        m.type = type;
        m.body = std::move(body);
        m.codes = std::move(linked);
        if (!s.memos->Save(m)) {
            unit.fail();
            unit.finish();
            if (!s.writeFailed()) err << "The memo cannot be stored.\n";
            return 1;
        }
        if (!unit.finish()) return 1;
        out << id << "\n";
        return 0;
    }
};

class MemosCommand : public Command {
public:
    const char* name() const override { return "memos"; }
    const char* summary() const override { return "list the memos"; }
    std::string usage() const override {
        return "Usage: vexana-cli memos PROJECT\n"
               "One tab-separated row per memo: id, text or code, the owner's full name, "
               "position,\n"
               "type, title, author, creation date, linked code paths (joined by \"; \"), "
               "preview.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (const int status = checkArguments(*this, args, 1, out, err); status >= 0) return status;
        Session s;
        if (!s.open(args[0], err)) return 1;
        const TopicStore& st = s.doc.store();
        for (std::int32_t id : st.ListIds(TopicId::Memos)) {
            Memo m;
            if (!s.memos->Load(id, m)) continue;
            std::string paths;
            for (std::int32_t c : m.codes)
                paths += (paths.empty() ? "" : "; ") + st.GetName(TopicId::Codes, c, true);
            out << id << '\t' << (m.text == 0 && m.code != 0 ? "code" : "text") << '\t'
                << cell(s.memos->OwnerName(id)) << '\t' << m.pos << '\t' << m.type << '\t'
                << cell(m.title) << '\t' << cell(m.author) << '\t' << dateToText(m.date) << '\t'
                << cell(paths) << '\t' << cell(st.GetText(TopicId::Memos, id, MemoField::Preview))
                << '\n';
        }
        return 0;
    }
};

class MemoCommand : public Command {
public:
    const char* name() const override { return "memo"; }
    const char* summary() const override { return "print a memo, or export it as RTF"; }
    std::string usage() const override {
        return "Usage: vexana-cli memo PROJECT ID [--rtf FILE]\n"
               "Prints the memo's heading (title, owner, author, creation date, linked codes)\n"
               "and its body as plain text. With --rtf, writes the heading and the formatted\n"
               "body to FILE as the memo's Export does.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (wantsHelp(args)) {
            out << usage();
            return 0;
        }
        std::vector<std::string> pos;
        std::string rtf;
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (args[i] == "--rtf" && i + 1 < args.size())
                rtf = args[++i];
            else if (args[i].starts_with("--")) {
                err << usage();
                return 2;
            } else
                pos.push_back(args[i]);
        }
        std::int32_t id = 0;
        if (pos.size() != 2 || !parseId(pos[1], id)) {
            err << usage();
            return 2;
        }
        Session s;
        if (!s.open(pos[0], err)) return 1;
        Memo m;
        if (!s.memos->Load(id, m)) {
            err << "There is no memo " << id << ".\n";
            return 1;
        }
        if (!rtf.empty()) {
            if (const std::string error = s.memos->Export(id, rtf); !error.empty()) {
                err << error << "\n";
                return 1;
            }
            return 0;
        }
        out << s.memos->Heading(m) << lines(m.body.plainText());
        if (!m.body.empty() && m.body.plainText().back() != '\r') out << '\n';
        return 0;
    }
};

class MemoDeleteCommand : public Command {
public:
    const char* name() const override { return "memo-delete"; }
    const char* summary() const override { return "delete a memo"; }
    std::string usage() const override {
        return "Usage: vexana-cli memo-delete PROJECT ID\n"
               "Deletes the memo with that id (see 'memos'); a code's memo leaves the code.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (const int status = checkArguments(*this, args, 2, out, err); status >= 0) return status;
        std::int32_t id = 0;
        if (!parseId(args[1], id)) {
            err << "ID must be a whole number.\n";
            return 2;
        }
        Session s;
        if (!s.open(args[0], err)) return 1;
        StoreBatch unit(s.doc.store(), "Delete");
        if (!s.memos->Delete(id)) {
            unit.fail();
            unit.finish();
            if (!s.writeFailed()) err << "There is no memo " << id << ".\n";
            return 1;
        }
        return unit.finish() ? 0 : 1;
    }
};

} // namespace

std::unique_ptr<Command> makeMemoNewCommand() {
    return std::make_unique<MemoNewCommand>();
}
std::unique_ptr<Command> makeMemosCommand() {
    return std::make_unique<MemosCommand>();
}
std::unique_ptr<Command> makeMemoCommand() {
    return std::make_unique<MemoCommand>();
}
std::unique_ptr<Command> makeMemoDeleteCommand() {
    return std::make_unique<MemoDeleteCommand>();
}

} // namespace vexana::cli
