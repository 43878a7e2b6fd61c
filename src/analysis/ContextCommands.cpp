#include "ContextCommands.h"

#include "CodeSystem.h"
#include "CodingOperations.h"
#include "MemoOperations.h"
#include "Retrieval.h"
#include "Workspace.h"
#include "store/Schema.h"

#include <algorithm>

namespace vexana::analysis {

using namespace store;
using M = ContextMenu;

const std::vector<ContextCommand>& contextCommands() {
    static const std::vector<ContextCommand> table = {
        {20001, M::TextGroups, "New Text Group"},
        {20002, M::TextGroups, "Overview of Coded Segments"},
        {20003, M::TextGroups, "Overview of Memos"},
        {20004, M::TextGroups, "Overview of Variables"},
        {20005, M::TextGroups, "Sort Text Groups"},
        {20006, M::TextGroups, "Activation by Variables"},
        {20007, M::TextGroups, "Deactivate All Texts"},
        {20008, M::TextGroups, "Activate All Texts"},
        {20009, M::TextGroup, "Import Text(s)"},
        {20010, M::TextGroup, "Overview o Coded Segments"},
        {20011, M::TextGroup, "Deactivate All Texts"},
        {20012, M::TextGroup, "Sort Texts"},
        {20013, M::TextGroup, "Overview of Memos"},
        {20014, M::TextGroup, "Overview of Variables"},
        {20015, M::TextGroup, "Create Text"},
        {20016, M::TextGroup, "Activate All Texts"},
        {20017, M::TextGroup, "Delete Text Group"},
        {20018, M::TextGroup, "Rename Text Group"},
        {20019, M::TextGroup, "Text Preprocessor"},
        {20020, M::Text, "De-/Activate"},
        {20021, M::Text, "Overview of Coded Segments"},
        {20022, M::Text, "Overview of Memos"},
        {20023, M::Text, "Overview of Variables"},
        {20024, M::Text, "Open Text"},
        {20025, M::Text, "Delete Text"},
        {20026, M::Text, "Rename Text"},
        {20027, M::Text, "Export Teamwork"},
        {20028, M::Text, "Import Teamwork"},
        {20029, M::Sets, "New Set"},
        {20030, M::Sets, "Activate All Texts"},
        {20031, M::Sets, "Deactivate All Texts"},
        {20032, M::Sets, "Overview of Coded Segments"},
        {20033, M::Sets, "Overview of Memos"},
        {20034, M::Sets, "Overview of Variables"},
        {20035, M::Sets, "Sort Sets"},
        {20036, M::Set, "Activate All Texts"},
        {20037, M::Set, "Deactivate All Texts"},
        {20038, M::Set, "Sort Texts"},
        {20039, M::Set, "Remove Set"},
        {20040, M::Set, "Overview of Coded Segments"},
        {20041, M::Set, "Overview of Memos"},
        {20042, M::Set, "Overview of Variables"},
        {20043, M::Set, "Rename Set"},
        {20044, M::Textlink, "De-/Activate"},
        {20045, M::Textlink, "Open Text"},
        {20046, M::Textlink, "Remove Text"},
        {20047, M::Textlink, "Overview of Coded Segments"},
        {20048, M::Textlink, "Overview of Memos"},
        {20049, M::Textlink, "Overview of Variables"},
        {20050, M::CodeSystem, "Activate All Codes"},
        {20051, M::CodeSystem, "Deactivate All Codes"},
        {20052, M::CodeSystem, "Sort Codes"},
        {20053, M::CodeSystem, "Overview of Coded Segments"},
        {20054, M::CodeSystem, "Overview of Linked Memos"},
        {20055, M::CodeSystem, "New Code"},
        {20056, M::CodeSystem, "Save Activation"},
        {20057, M::CodeSystem, "Load Activation"},
        {20058, M::CodeSystem, "Export Code System"},
        {20059, M::CodeSystem, "Import Code System"},
        {20060, M::Code, "Code"},
        {20061, M::Code, "Overview of Coded Segments"},
        {20062, M::Code, "Overview of Linked Memos"},
        {20063, M::Code, "Delete Code"},
        {20064, M::Code, "New Code"},
        {20065, M::Code, "Sort Codes"},
        {20066, M::Code, "Code-Memo..."},
        {20067, M::Code, "De-/Activate"},
        {20068, M::Code, "Rename Code"},
        {20069, M::Code, "green"},
        {20070, M::Code, "yellow"},
        {20071, M::Code, "blue"},
        {20072, M::Code, "red"},
        {20073, M::Code, "purpur"},
        {20074, M::Code, "Copy Coded Segments"},
        {20075, M::Code, "Move Coded Segments"},
        {20076, M::Code, "Paste Coded Segments"},
        {20077, M::CodedSegments, "Show Title"},
        {20078, M::Coding, "Delete"},
        {20079, M::Coding, "Modify Weight"},
        {20080, M::Coding, "Go to Code"},
        {20081, M::Memo, "Delete"},
        {20082, M::Memo, "Open"},
        {20083, M::MemoBar, "New Memo"},
        {20084, M::Analysis, "OR-Combination"},
        {20085, M::Analysis, "Intersection"},
        {20086, M::Analysis, "Overlapping"},
        {20087, M::Analysis, "Only this Code"},
        {20088, M::Analysis, "At Least"},
        {20089, M::Analysis, "Difference (Less)"},
        {20090, M::Analysis, "If Surrounded by"},
        {20091, M::Analysis, "If Outside of"},
        {20092, M::Analysis, "Followed by"},
        {20093, M::Analysis, "Near"},
        {20094, M::Analysis, "&Edit Function..."},
        {20095, M::Analysis, "Ordered by &Text Tree"},
        {20096, M::Analysis, "Ordered by &Code Tree"},
        {20097, M::Analysis, "&Include Subcodes"},
        {20098, M::Analysis, "&Use Weight Filter"},
        {20099, M::Analysis, "E&dit Weight Filter ..."},
        {20100, M::Analysis, "Code &Results ..."},
        {20101, M::QntWord, "Add to Dictionary"},
        {20102, M::QntWord, "Add to Stop-List"},
        {20103, M::TextGroups, "VEXLexa Coder"},
        {20104, M::QntWord, "Create Index"},
    };
    return table;
}

std::vector<ContextCommand> commandsOf(ContextMenu menu) {
    std::vector<ContextCommand> out;
    for (const auto& c : contextCommands())
        if (c.menu == menu) out.push_back(c);
    // The coder runs on whatever the Document System's menus were opened on.
    const bool documents = menu == ContextMenu::Text || menu == ContextMenu::TextGroup ||
                           menu == ContextMenu::Sets || menu == ContextMenu::Set ||
                           menu == ContextMenu::Textlink;
    if (documents) out.push_back(*findContextCommand(20103));
    return out;
}

const ContextCommand* findContextCommand(int id) {
    const auto& t = contextCommands();
    const auto it = std::lower_bound(t.begin(), t.end(), id,
                                     [](const ContextCommand& c, int v) { return c.id < v; });
    return it != t.end() && it->id == id ? &*it : nullptr;
}

bool ContextCommands::Available(int id) { return id >= 20001 && id <= 20104; }

bool ContextCommands::Enabled(int id, std::int32_t object) const {
    if (!findContextCommand(id) || !Available(id)) return false;
    switch (id) {
    case 20002:
    case 20003:
    case 20010:
    case 20013:
    case 20021:
    case 20022:
    case 20032:
    case 20033:
    case 20040:
    case 20041:
    case 20047:
    case 20048:
    case 20053:
    case 20054:
    case 20061:
    case 20062:
    case 20004:
    case 20014:
    case 20023:
    case 20034:
    case 20042:
    case 20049:
        return static_cast<bool>(host_.showOverview);
    case 20009:
    case 20019:
        return static_cast<bool>(host_.importFiles);
    case 20027:
    case 20028:
    case 20058:
    case 20059:
        return static_cast<bool>(host_.teamwork);
    case 20006:
        return static_cast<bool>(host_.activationDialog);
    case 20024:
    case 20045:
        return static_cast<bool>(host_.openText);
    case 20060: {
        // Without a passage selected there is nothing to code.
        CodingTemplate t;
        return host_.selection && host_.selection(t);
    }
    case 20080:
        return static_cast<bool>(host_.selectCode);
    case 20066:
        return host_.openMemo && ws_.store().GetTopic(TopicId::Codes)->contains(object);
    case 20082:
        return host_.openMemo && ws_.store().GetTopic(TopicId::Memos)->contains(object);
    case 20081:
        return ws_.store().GetTopic(TopicId::Memos)->contains(object);
    case 20083: {
        std::int32_t text = 0, pos = 0;
        return host_.openMemo && host_.memoBarPlace && host_.memoBarPlace(text, pos);
    }
    case 20076: {
        const std::int32_t source = ws_.codeClipboard.source;
        return source != 0 && source != object &&
               ws_.store().GetTopic(TopicId::Codes)->contains(source);
    }
    case 20077:
        return false; // the stripe column's own menu item switches the titles
    case 20094:       // only a function with a number or a code has anything to edit
        return host_.functionDialog && retrieval_.settings.function >= AtLeast;
    case 20099:
        return static_cast<bool>(host_.weightFilterDialog);
    case 20101:
    case 20102:
    case 20103:
    case 20104:
        return static_cast<bool>(host_.wordAnalysis);
    default:
        return true;
    }
}

bool ContextCommands::importTexts(std::int32_t group, bool preprocess) {
    if (!ws_.store().GetTopic(TopicId::TextGroups)->contains(group)) return false;
    UserInterface& ui = ws_.ui();
    const auto files =
        ui.chooseFiles(preprocess ? FileDialog::PreprocessTexts : FileDialog::ImportTexts);
    if (files.empty()) return false;
    if (preprocess) return host_.importFiles(group, files, true) > 0; // has its own progress
    struct Progress {
        UserInterface& ui;
        explicit Progress(UserInterface& u) : ui(u) {
            ui.progressOpen();
            ui.progressText("Importing Texts ...");
        }
        ~Progress() { ui.progressClose(); }
    } progress(ui);
    return host_.importFiles(group, files, false) > 0;
}

bool ContextCommands::Execute(int id, std::int32_t object) {
    if (!ws_.doc().isOpen() || !Enabled(id, object)) return false;
    DocumentSystem& docs = ws_.documents();
    CodeSystem& codes = ws_.codes();
    CodingOperations& codings = ws_.codings();
    auto overview = [&](const Overview& o) {
        host_.showOverview(o);
        return true;
    };
    switch (id) {
    case 20001:
        return docs.NewTextGroup() != 0;
    case 20002:
        return overview(docs.OverviewOf(TreeKind::GroupsRoot, 0, TopicId::Codings));
    case 20003:
        return overview(docs.OverviewOf(TreeKind::GroupsRoot, 0, TopicId::Memos));
    case 20004:
        return overview(docs.OverviewOf(TreeKind::GroupsRoot, 0, TopicId::Texts));
    case 20005:
        return docs.Sort(TreeKind::GroupsRoot, 0);
    case 20006:
        host_.activationDialog();
        return true;
    case 20007:
        return docs.ActivateObjects(ActivationScope::AllTexts, 0, false);
    case 20008:
        return docs.ActivateObjects(ActivationScope::AllTexts, 0, true);
    case 20010:
        return overview(docs.OverviewOf(TreeKind::Group, object, TopicId::Codings));
    case 20011:
        return docs.ActivateObjects(ActivationScope::Group, object, false);
    case 20012:
        return docs.Sort(TreeKind::Group, object);
    case 20013:
        return overview(docs.OverviewOf(TreeKind::Group, object, TopicId::Memos));
    case 20014:
        return overview(docs.OverviewOf(TreeKind::Group, object, TopicId::Texts));
    case 20015:
        return docs.CreateText(object) != 0;
    case 20016:
        return docs.ActivateObjects(ActivationScope::Group, object, true);
    case 20017:
        return docs.ConfirmAndDelete(TopicId::TextGroups, object);
    case 20018:
        docs.StartRename(TopicId::TextGroups, object);
        return true;
    case 20009:
        return importTexts(object, false);
    case 20019:
        return importTexts(object, true);
    case 20020:
        return docs.ToggleText(object);
    case 20021:
        return overview(docs.OverviewOf(TopicId::Texts, object, TopicId::Codings));
    case 20022:
        return overview(docs.OverviewOf(TopicId::Texts, object, TopicId::Memos));
    case 20023:
        return overview(docs.OverviewOf(TopicId::Texts, object, TopicId::Texts));
    case 20024:
        host_.openText(object);
        return true;
    case 20025:
        return docs.ConfirmAndDelete(TopicId::Texts, object);
    case 20026:
        docs.StartRename(TopicId::Texts, object);
        return true;
    case 20027:
    case 20028:
    case 20058:
    case 20059:
        return host_.teamwork(id, object);
    case 20029:
        return docs.NewSet() != 0;
    case 20030:
        return docs.ActivateObjects(ActivationScope::AllSets, 0, true);
    case 20031:
        return docs.ActivateObjects(ActivationScope::AllSets, 0, false);
    case 20032:
        return overview(docs.OverviewOf(TreeKind::SetsRoot, 0, TopicId::Codings));
    case 20033:
        return overview(docs.OverviewOf(TreeKind::SetsRoot, 0, TopicId::Memos));
    case 20034:
        return overview(docs.OverviewOf(TreeKind::SetsRoot, 0, TopicId::Texts));
    case 20035:
        return docs.Sort(TreeKind::SetsRoot, 0);
    case 20036:
        return docs.ActivateObjects(ActivationScope::Set, object, true);
    case 20037:
        return docs.ActivateObjects(ActivationScope::Set, object, false);
    case 20038:
        return docs.Sort(TreeKind::Set, object);
    case 20039:
        return docs.ConfirmAndDelete(TopicId::TextSets, object);
    case 20040:
        return overview(docs.OverviewOf(TreeKind::Set, object, TopicId::Codings));
    case 20041:
        return overview(docs.OverviewOf(TreeKind::Set, object, TopicId::Memos));
    case 20042:
        return overview(docs.OverviewOf(TreeKind::Set, object, TopicId::Texts));
    case 20043:
        docs.StartRename(TopicId::TextSets, object);
        return true;
    case 20044:
        return docs.ToggleLink(object);
    case 20045:
        host_.openText(ws_.store().GetInt(TopicId::TextLinks, object, LinkField::Text));
        return true;
    case 20046:
        return docs.ConfirmAndDelete(TopicId::TextLinks, object);
    case 20047:
        return overview(docs.OverviewOf(TopicId::TextLinks, object, TopicId::Codings));
    case 20048:
        return overview(docs.OverviewOf(TopicId::TextLinks, object, TopicId::Memos));
    case 20049:
        return overview(docs.OverviewOf(TopicId::TextLinks, object, TopicId::Texts));
    case 20050:
        return docs.ActivateObjects(ActivationScope::AllCodes, 0, true);
    case 20051:
        return docs.ActivateObjects(ActivationScope::AllCodes, 0, false);
    case 20052:
        return docs.Sort(TreeKind::CodesRoot, 0);
    case 20053:
        return overview(codes.CodingsOverview(0));
    case 20054:
        return overview(codes.MemosOverview(0));
    case 20055:
        return codes.NewCode(0, "", true) != 0;
    case 20056:
        return retrieval_.SaveActivation(ws_.ui().chooseFile(FileDialog::SaveActivation));
    case 20057: {
        const std::string path = ws_.ui().chooseFile(FileDialog::LoadActivation);
        return !path.empty() && retrieval_.LoadActivation(path);
    }
    case 20060: {
        CodingTemplate t;
        if (!host_.selection(t)) return false;
        const bool coded = codings.CodeSelection(t, object);
        ws_.quickList.use(object);
        return coded;
    }
    case 20061:
        return overview(codes.CodingsOverview(object));
    case 20062:
        return overview(codes.MemosOverview(object));
    case 20063:
        return docs.ConfirmAndDelete(TopicId::Codes, object);
    case 20064:
        return codes.NewCode(object, "", true) != 0;
    case 20065:
        return docs.Sort(TreeKind::Code, object);
    case 20067:
        return codes.ToggleCode(object);
    case 20068:
        docs.StartRename(TopicId::Codes, object);
        return true;
    case 20069:
    case 20070:
    case 20071:
    case 20072:
    case 20073:
        return codes.SetCodeColour(object, id - 20069);
    case 20074:
        codings.CopyCodedSegments(object);
        return true;
    case 20075:
        codings.MoveCodedSegments(object);
        return true;
    case 20076:
        return codings.PasteCodedSegments(object) > 0;
    case 20077:
        return true; // the Text Browser's own option; the window toggles it
    case 20078:
        return codings.DeleteCoding(object);
    case 20079:
        return codings.ModifyWeight(object);
    case 20080: {
        const std::int32_t code = ws_.store().GetInt(TopicId::Codings, object, CodingField::Code);
        if (code) host_.selectCode(code);
        return code != 0;
    }
    case 20066: {
        const int before = ws_.store().RecordCount(TopicId::Memos);
        const std::int32_t memo = MemoOperations(ws_).CodeMemo(object);
        if (memo) host_.openMemo(memo, ws_.store().RecordCount(TopicId::Memos) > before);
        return memo != 0;
    }
    case 20081:
        return docs.ConfirmAndDelete(TopicId::Memos, object);
    case 20082:
        host_.openMemo(object, false);
        return true;
    case 20083: {
        std::int32_t text = 0, pos = 0;
        if (!host_.memoBarPlace(text, pos)) return false;
        const std::int32_t memo = MemoOperations(ws_).NewTextMemo(text, pos);
        if (memo) host_.openMemo(memo, true);
        return memo != 0;
    }
    case 20094:
        return retrieval_.EditFunction(host_.functionDialog);
    case 20095:
        return retrieval_.SetOrderByTextTree(true);
    case 20096:
        return retrieval_.SetOrderByTextTree(false);
    case 20097:
        retrieval_.ToggleIncludeSubcodes();
        return true;
    case 20098:
        retrieval_.ToggleWeightFilter();
        return true;
    case 20099: {
        int low = ws_.options.lowWeight, high = ws_.options.highWeight;
        if (!host_.weightFilterDialog(low, high)) return false;
        retrieval_.SetWeightFilter(low, high);
        return true;
    }
    case 20100:
        return codings.CodeResults() > 0;
    case 20101:
    case 20102:
    case 20103:
    case 20104:
        return host_.wordAnalysis(id, object);
    default:
        if (id >= 20084 && id <= 20093)
            return retrieval_.SelectFunction(id - 20084, host_.functionDialog);
        return false;
    }
}

} // namespace vexana::analysis
