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
#include "variables/Variables.h"

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

// Attributes of the interviewees, so the demo shows variables and activation by them.
bool describe(CVexDoc& doc) {
    variables::Variables vars(doc);
    const int age = vars.Add("Age", 1);
    const int sex = vars.Add("Sex", 2);
    const int date = vars.Add("Interview date", 5);
    const int children = vars.Add("Children", 8);
    if (age < 0 || sex < 0 || date < 0 || children < 0) return false;
    struct Person {
        const char* text;
        const char* age;
        const char* sex;
        const char* date;
        const char* children;
    };
    const Person people[] = {{"Interviews\\Anna", "34", "female", "12.03.2024", "0"},
                             {"Interviews\\Bernd", "51", "male", "14.03.2024", "1"},
                             {"Interviews\\Carla", "46", "female", "02.04.2024", "1"},
                             {"Interviews\\Dilek", "39", "female", "09.04.2024", "1"},
                             {"Interviews\\Emil", "33", "male", "23.04.2024", "0"}};
    analysis::Workspace ws(doc);
    for (const Person& p : people) {
        const std::int32_t text = ws.documents().FindText(p.text);
        if (!text || !vars.SetValue(text, age, p.age) || !vars.SetValue(text, sex, p.sex) ||
            !vars.SetValue(text, date, p.date) || !vars.SetValue(text, children, p.children))
            return false;
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
            if (!fill(ws) || !describe(doc)) unit.fail();
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
