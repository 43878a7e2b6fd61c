#include "Command.h"
#include "RetrieveOptions.h"
#include "analysis/CodeSystem.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "platform/richtext/RichText.h"
#include "store/Schema.h"

#include <ostream>

namespace vexana::cli {

namespace {

using namespace vexana::store;
using namespace vexana::analysis;

class RetrieveCommand : public Command {
public:
    const char* name() const override { return "retrieve"; }
    const char* summary() const override {
        return "list the retrieved segments of active texts and codes";
    }
    std::string usage() const override {
        return "Usage: vexana-cli retrieve PROJECT [--texts TEXT... | --loa FILE] [--codes "
               "CODE...]\n"
               "         [--act FILE] [--function NAME] [--code SELECTED] [--count N] [--distance "
               "N]\n"
               "         [--mode selected|active|all] [--order text|code] [--subcodes]\n"
               "         [--weight MIN-MAX] [--save-act FILE]\n"
               "Prints the analysis title and one tab-separated row per retrieved segment: text,\n"
               "code, begin, end, begin paragraph, end paragraph, weight, preview.\n" +
               RetrieveOptions::usage();
    }

    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (wantsHelp(args)) {
            out << usage();
            return 0;
        }
        if (args.empty()) {
            err << usage();
            return 2;
        }
        RetrieveOptions options;
        std::string why;
        for (std::size_t i = 1; i < args.size(); ++i) {
            switch (options.take(args, i, why)) {
            case RetrieveOptions::Take::Taken:
                break;
            case RetrieveOptions::Take::Bad:
                return wrongArguments(err, why);
            case RetrieveOptions::Take::NotMine:
                return wrongArguments(err, args[i].starts_with("--")
                                               ? "Unknown option " + args[i] + "."
                                               : "Unexpected argument " + args[i] + ".");
            }
        }
        if (!options.check(why)) return wrongArguments(err, why);

        ConsoleUserInterface ui;
        RecentProjects recent;
        CVexDoc doc(ui, recent);
        if (!openExisting(doc, args[0], err)) return 1;
        Workspace ws(doc);
        Retrieval retrieval(ws);
        if (!options.apply(doc, ws, retrieval, err)) return 1;

        out << retrieval.Title() << "\n";
        const TopicStore& st = doc.store();
        for (std::int32_t id : ws.retrieved) {
            const auto get = [&](int f) { return st.GetInt(TopicId::Codings, id, f); };
            std::string preview = st.GetText(TopicId::Codings, id, CodingField::Preview);
            if (preview.empty() && get(CodingField::Code) == 0) {
                RecordCursor c;
                if (doc.store().GetRecord(TopicId::Codings, id, c, true)) {
                    const auto& b = c.block(CodingField::Body);
                    const auto rich = platform::RichText::fromRtf(
                        std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
                    preview = rich.text(0, 63);
                }
            }
            out << cell(st.GetName(TopicId::Texts, get(CodingField::Text), true)) << '\t'
                << cell(st.GetName(TopicId::Codes, get(CodingField::Code), true)) << '\t'
                << get(CodingField::StartChar) << '\t' << get(CodingField::FinishChar) << '\t'
                << get(CodingField::StartPara) << '\t' << get(CodingField::FinishPara) << '\t'
                << get(CodingField::Weight) << '\t' << cell(preview) << '\n';
        }
        // A look at the project leaves no results behind in it.
        retrieval.RemoveResultCodings();
        return 0;
    }
};

} // namespace

std::unique_ptr<Command> makeRetrieveCommand() {
    return std::make_unique<RetrieveCommand>();
}

} // namespace vexana::cli
