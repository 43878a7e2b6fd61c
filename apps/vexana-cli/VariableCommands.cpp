#include "Command.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Workspace.h"
#include "store/Schema.h"
#include "variables/VariableActivation.h"
#include "variables/VariableTable.h"
#include "variables/Variables.h"

#include <ostream>

namespace vexana::cli {

namespace {

using namespace vexana::store;
using namespace vexana::variables;

// An open project with the variables' operations on it, for one command.
struct Session : WorkspaceSession {
    std::unique_ptr<Variables> vars;

    bool open(const std::string& path, std::ostream& err) {
        if (!WorkspaceSession::open(path, err)) return false;
        vars = std::make_unique<Variables>(doc);
        return true;
    }
};

std::string typeText(int type) {
    const std::string_view name = typeName(type);
    return name.empty() ? "Type " + std::to_string(type) : std::string(name);
}

std::string typeList() {
    std::string out;
    for (const auto& t : offeredTypes())
        out += (out.empty() ? "" : ", ") + std::string(t.name);
    return out;
}

void printVariable(std::ostream& out, const TopicStore& s, int field) {
    const FieldInfo* f = s.GetField(TopicId::Texts, field);
    out << field << '\t' << cell(f->name) << '\t' << typeText(f->type) << '\n';
}

// A variable by name, or -1 after saying there is none.
int variableNamed(Session& s, const std::string& name, std::ostream& err) {
    const int field = s.vars->Find(name);
    if (field < 0) err << "There is no variable " << name << ".\n";
    return field;
}

class VariablesCommand : public Command {
public:
    const char* name() const override { return "variables"; }
    const char* summary() const override { return "list the variables: field id, name, type"; }
    std::string usage() const override {
        return "Usage: vexana-cli variables PROJECT\n"
               "One tab-separated row per variable of the texts: field id, name, type (" +
               typeList() + ").\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (const int status = checkArguments(*this, args, 1, out, err); status >= 0) return status;
        Session s;
        if (!s.open(args[0], err)) return 1;
        for (int field : s.vars->List())
            printVariable(out, s.doc.store(), field);
        return 0;
    }
};

class VariableCommand : public Command {
public:
    const char* name() const override { return "variable"; }
    const char* summary() const override { return "add, rename or delete a variable"; }
    std::string usage() const override {
        return "Usage: vexana-cli variable PROJECT add NAME TYPE\n"
               "       vexana-cli variable PROJECT rename NAME NEW\n"
               "       vexana-cli variable PROJECT delete NAME\n"
               "TYPE is one of " +
               typeList() +
               ". Names have at most 63 characters and differ\n"
               "from every other field of the texts, ignoring case. Deleting a variable removes\n"
               "its values from every text. Prints the variable's row (see 'variables') after\n"
               "add and rename.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (wantsHelp(args)) {
            out << usage();
            return 0;
        }
        const std::string verb = args.size() > 1 ? args[1] : std::string();
        const std::size_t wanted = verb == "delete" ? 3 : 4;
        if ((verb != "add" && verb != "rename" && verb != "delete") || args.size() != wanted) {
            err << usage();
            return 2;
        }
        int type = -1;
        if (verb == "add") {
            for (const auto& t : offeredTypes())
                if (equalIgnoringCase(t.name, args[3])) type = t.code;
            if (type < 0) {
                err << "TYPE is one of " << typeList() << ".\n";
                return 2;
            }
        }
        Session s;
        if (!s.open(args[0], err)) return 1;
        if (verb == "add") {
            const int field = s.vars->Add(args[2], type);
            if (field < 0) return 1;
            printVariable(out, s.doc.store(), field);
            return 0;
        }
        const int field = variableNamed(s, args[2], err);
        if (field < 0) return 1;
        if (verb == "delete") return s.vars->Remove(field) ? 0 : 1;
        if (!s.vars->Rename(field, args[3])) return 1;
        printVariable(out, s.doc.store(), field);
        return 0;
    }
};

class ValueCommand : public Command {
public:
    const char* name() const override { return "value"; }
    const char* summary() const override { return "show or set a text's value of a variable"; }
    std::string usage() const override {
        return "Usage: vexana-cli value PROJECT TEXT VARIABLE [VALUE]\n"
               "Sets the variable's value of the text \"Group\\Text\" when VALUE is given (it is\n"
               "converted by the variable's type: 12abc is 12 as an Integer, text that is no\n"
               "date is 1899-12-30 00:00), then prints the stored value.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (wantsHelp(args)) {
            out << usage();
            return 0;
        }
        if (args.size() != 3 && args.size() != 4) {
            err << usage();
            return 2;
        }
        Session s;
        if (!s.open(args[0], err)) return 1;
        std::string why;
        const std::int32_t text = findText(*s.ws, args[1], why);
        if (!text) {
            err << why << "\n";
            return 1;
        }
        const int field = variableNamed(s, args[2], err);
        if (field < 0) return 1;
        if (args.size() == 4 && !s.vars->SetValue(text, field, args[3])) return 1;
        out << s.vars->ValueText(text, field) << '\n';
        return 0;
    }
};

class ExportCommand : public Command {
public:
    const char* name() const override { return "vars-export"; }
    const char* summary() const override { return "write the variables of every text to a file"; }
    std::string usage() const override {
        return "Usage: vexana-cli vars-export PROJECT FILE\n"
               "Writes a tab-separated table: a header with the field names, then one line per\n"
               "text with its group, name, creation date, coded segments and every variable.\n"
               "Lines end with CR LF; the file is Windows-1252, or UTF-8 with a byte-order mark\n"
               "when a character needs it.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (const int status = checkArguments(*this, args, 2, out, err); status >= 0) return status;
        Session s;
        if (!s.open(args[0], err)) return 1;
        return VariableTable(s.doc).Export(args[1]) ? 0 : 1;
    }
};

class ImportCommand : public Command {
public:
    const char* name() const override { return "vars-import"; }
    const char* summary() const override { return "read variables of texts from a table"; }
    std::string usage() const override {
        return "Usage: vexana-cli vars-import PROJECT FILE\n"
               "Reads a tab-separated table whose header names the columns; the columns\n"
               "\"Textgroup\" and \"Textname\" find each line's text (ignoring case). Columns of\n"
               "existing variables are set; other columns become new variables (Boolean when\n"
               "every cell is 0 or 1, Floating point when every cell is a number, else String).\n"
               "Prints \"Texts imported: N\", one line per new variable (name, type) and the\n"
               "number of skipped lines. All or nothing; exit status 1 when nothing could be\n"
               "imported.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (const int status = checkArguments(*this, args, 2, out, err); status >= 0) return status;
        Session s;
        if (!s.open(args[0], err)) return 1;
        const ImportResult r = VariableTable(s.doc).Import(args[1]);
        if (!r.ok) return 1;
        out << "Texts imported: " << r.imported << '\n';
        for (int field : r.created) {
            const FieldInfo* f = s.doc.store().GetField(TopicId::Texts, field);
            out << cell(f->name) << '\t' << typeText(f->type) << '\n';
        }
        out << "Skipped lines: " << r.skipped << '\n';
        return 0;
    }
};

class ActivateCommand : public Command {
public:
    const char* name() const override { return "activate"; }
    const char* summary() const override { return "activate texts by a condition on variables"; }
    std::string usage() const override {
        return "Usage: vexana-cli activate PROJECT (--loa FILE | --row COMB FIELD OP VALUE...)\n"
               "         [--save-loa FILE]\n"
               "Sets every text's activation to a condition over the texts' fields and prints\n"
               "one tab-separated row per text: id, \"Group\\Text\", 1 (active) or 0. The\n"
               "condition comes from a .loa file or from rows: COMB is and or or (ignored on the\n"
               "first row), FIELD a field's name, OP one of =, <>, <, > and VALUE the value,\n"
               "read by the field's type. Rows join strictly left to right: A or B and C is\n"
               "(A or B) and C. Strings compare ignoring case. --save-loa writes the condition.\n"
               "The activation is not stored in the project.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (wantsHelp(args)) {
            out << usage();
            return 0;
        }
        struct Given {
            int combination, op;
            std::string field, value;
        };
        std::vector<Given> given;
        std::string loa, saveLoa;
        for (std::size_t i = 1; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (a == "--row") {
                if (i + 4 >= args.size())
                    return wrongArguments(err, "--row needs COMB FIELD OP VALUE.");
                const std::string& comb = args[i + 1];
                const int op = operatorOf(args[i + 3]);
                if (!equalIgnoringCase(comb, "and") && !equalIgnoringCase(comb, "or"))
                    return wrongArguments(err, "COMB is and or or, not " + comb + ".");
                if (op < 0)
                    return wrongArguments(err,
                                          "OP is one of =, <>, <, >, not " + args[i + 3] + ".");
                given.push_back(
                    {equalIgnoringCase(comb, "and") ? Combination::And : Combination::Or, op,
                     args[i + 2], args[i + 4]});
                i += 4;
            } else if ((a == "--loa" || a == "--save-loa") && i + 1 < args.size()) {
                (a == "--loa" ? loa : saveLoa) = args[++i];
            } else {
                return wrongArguments(err, "Unexpected argument " + a + ".");
            }
        }
        if (args.empty() || loa.empty() == given.empty())
            return wrongArguments(err, "Give either --loa FILE or one or more --row.");
        Session s;
        if (!s.open(args[0], err)) return 1;
        VariableActivation act(*s.ws);
        if (!loa.empty()) {
            if (!act.Open(loa)) return 1;
        } else {
            const TopicStore& st = s.doc.store();
            for (const Given& g : given) {
                int field = -1;
                for (int id : offeredFields(st))
                    if (equalIgnoringCase(st.GetField(TopicId::Texts, id)->name, g.field))
                        field = id;
                if (field < 0) {
                    err << "There is no field " << g.field << ".\n";
                    return 1;
                }
                FormulaRow row = newRow(st, field);
                row.combination = g.combination;
                row.op = g.op;
                row.value = normaliseValue(*st.GetField(TopicId::Texts, field), g.value);
                act.rows.push_back(std::move(row));
            }
        }
        if (act.rows.empty()) {
            err << "The condition names no field of this project.\n";
            return 1;
        }
        if (!saveLoa.empty() && !act.Save(saveLoa)) return 1;
        act.Activate();
        const TopicStore& st = s.doc.store();
        for (std::int32_t id : st.ListIds(TopicId::Texts))
            out << id << '\t' << cell(st.GetName(TopicId::Texts, id, true)) << '\t'
                << (s.ws->IsActive(TopicId::Texts, id) ? 1 : 0) << '\n';
        return 0;
    }
};

} // namespace

std::unique_ptr<Command> makeVariablesCommand() {
    return std::make_unique<VariablesCommand>();
}
std::unique_ptr<Command> makeVariableCommand() {
    return std::make_unique<VariableCommand>();
}
std::unique_ptr<Command> makeValueCommand() {
    return std::make_unique<ValueCommand>();
}
std::unique_ptr<Command> makeVariablesExportCommand() {
    return std::make_unique<ExportCommand>();
}
std::unique_ptr<Command> makeVariablesImportCommand() {
    return std::make_unique<ImportCommand>();
}
std::unique_ptr<Command> makeActivateCommand() {
    return std::make_unique<ActivateCommand>();
}

} // namespace vexana::cli
