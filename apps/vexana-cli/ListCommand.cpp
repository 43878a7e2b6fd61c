#include "Command.h"
#include "browser/ListGrid.h"
#include "store/Schema.h"

#include <ostream>
#include <unordered_map>

namespace vexana::cli {

using namespace vexana::store;

namespace {

struct ListChoice {
    const char* word;
    int topic;
};
constexpr ListChoice lists[] = {{"texts", TopicId::Texts},
                                {"codes", TopicId::Codes},
                                {"codings", TopicId::Codings},
                                {"memos", TopicId::Memos}};

class ListCommand : public Command {
public:
    const char* name() const override { return "list"; }
    const char* summary() const override { return "export a list window (text or HTML table)"; }
    std::string usage() const override {
        return "Usage: vexana-cli list PROJECT texts|codes|codings|memos [--format txt|htm] "
               "[--out FILE]\n"
               "The object list window's own export over all objects of that kind, titled\n"
               "\"all\": a tab-separated text (a header line of the column names, one line per\n"
               "object, CR LF line ends) or, with --format htm, an HTML table. Coded segments\n"
               "leave out an analysis's temporary results. Written to FILE whole or not at\n"
               "all, else to stdout.\n";
    }

    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (wantsHelp(args)) {
            out << usage();
            return 0;
        }
        std::vector<std::string> positional;
        std::string format = "txt", target;
        for (std::size_t i = 0; i < args.size(); ++i) {
            if ((args[i] == "--format" || args[i] == "--out") && i + 1 < args.size()) {
                (args[i] == "--format" ? format : target) = args[i + 1];
                ++i;
            } else if (args[i].rfind("--", 0) == 0) {
                err << "Unknown option " << args[i] << ".\n" << usage();
                return 2;
            } else {
                positional.push_back(args[i]);
            }
        }
        int topic = 0;
        for (const ListChoice& l : lists)
            if (positional.size() == 2 && positional[1] == l.word) topic = l.topic;
        if (!topic || (format != "txt" && format != "htm")) {
            err << usage();
            return 2;
        }
        ConsoleUserInterface ui;
        RecentProjects recent;
        CVexDoc doc(ui, recent);
        if (!openExisting(doc, positional[0], err)) return 1;
        TopicStore& store = doc.store();
        std::vector<std::int32_t> ids;
        for (std::int32_t id : store.ListIds(topic))
            if (topic != TopicId::Codings || store.GetInt(topic, id, CodingField::Code) != 0)
                ids.push_back(id);
        if (topic == TopicId::Codes) countActiveInMemory(store);
        browser::ListGrid grid(store, topic);
        grid.fill(std::move(ids));
        const bool html = format == "htm";
        if (target.empty()) {
            grid.writeExport(
                [&out](std::string_view bytes) {
                    return static_cast<bool>(
                        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())));
                },
                html, "all");
            return out ? 0 : 1;
        }
        const std::string error = grid.exportTo(target, html, "all");
        if (!error.empty()) {
            err << "The list could not be exported to " << target << ": " << error << ".\n";
            return 1;
        }
        return 0;
    }

private:
    // Active Coded Segments as the window shows them, counted in memory: a listing changes
    // nothing in the project.
    static void countActiveInMemory(TopicStore& store) {
        std::unordered_map<std::int32_t, std::int32_t> counts;
        for (std::int32_t id : store.ListIds(TopicId::Codings)) {
            const std::int32_t text = store.GetInt(TopicId::Codings, id, CodingField::Text);
            if (store.GetInt(TopicId::Texts, text, TextField::State) & StateActive)
                ++counts[store.GetInt(TopicId::Codings, id, CodingField::Code)];
        }
        for (std::int32_t code : store.ListIds(TopicId::Codes)) {
            RecordCursor c;
            if (!store.GetRecord(TopicId::Codes, code, c)) continue;
            c.setInt(CodeField::ActiveCodes, counts[code]);
            store.UpdateInMemory(c);
        }
    }
};

} // namespace

std::unique_ptr<Command> makeListCommand() {
    return std::make_unique<ListCommand>();
}

} // namespace vexana::cli
