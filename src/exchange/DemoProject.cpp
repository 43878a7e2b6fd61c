#include "DemoProject.h"

#include "DemoDocuments.h"
#include "TextImport.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Workspace.h"
#include "platform/Files.h"
#include "platform/richtext/RichText.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"
#include "store/TopicStore.h"
#include "store/UserInterface.h"

namespace vexana::exchange {

using namespace store;

namespace {

bool fill(analysis::Workspace& ws) {
    analysis::DocumentSystem& docs = ws.documents();
    TextImport import(ws);
    for (const DemoDocument& d : demoDocuments()) {
        const std::int32_t group = docs.NewTextGroup();
        if (!group || !docs.RenameObject(TopicId::TextGroups, group, d.group) ||
            import.ImportPreprocessed(group, platform::RichText::fromPlain(std::string(d.text))) <=
                0)
            return false;
    }
    const std::int32_t set = docs.NewSet(false);
    if (!set || !docs.RenameObject(TopicId::TextSets, set, "Working parents")) return false;
    for (const char* name : {"Interviews\\Bernd", "Interviews\\Carla"}) {
        const std::int32_t text = docs.FindText(name);
        if (!text || !docs.AddTextToSet(set, text)) return false;
    }
    return true;
}

} // namespace

std::string DemoProjectPath() {
    return platform::userDataDir() + "/vexana/demo.vxp";
}

bool BuildDemoProject(const std::string& path, UserInterface& ui) {
    if (platform::fileExists(path)) {
        ui.message("The project " + path + " exists already.", MessageIcon::Stop);
        return false;
    }
    std::string error;
    const std::string folder = platform::parentDirectory(path);
    if (!platform::makeDirectories(folder, &error)) {
        ui.message("The folder " + folder + " cannot be made: " + error + ".", MessageIcon::Stop);
        return false;
    }
    const std::string building = platform::temporarySibling(path, "demo");
    bool whole = false;
    {
        RecentProjects recent;
        CVexDoc doc(ui, recent);
        analysis::Workspace ws(doc);
        if (doc.OpenPath(building, false)) {
            StoreBatch unit(doc.store(), true);
            if (!fill(ws)) unit.fail();
            whole = unit.finish();
            doc.CloseProject();
        }
    }
    if (whole && platform::renameNoReplace(building, path)) return true;
    if (whole)
        ui.message("The demo project cannot be put in place as " + path + ".", MessageIcon::Stop);
    platform::removeFile(building);
    return false;
}

std::string EnsureDemoProject(UserInterface& ui) {
    const std::string path = DemoProjectPath();
    if (platform::fileExists(path)) return path;
    return BuildDemoProject(path, ui) ? path : std::string();
}

} // namespace vexana::exchange
