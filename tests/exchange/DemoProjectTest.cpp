#include "exchange/DemoProject.h"

#include "TestSupport.h"
#include "analysis/Workspace.h"
#include "platform/Files.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace vexana;
using namespace vexana::store;

namespace {

int filesIn(const std::string& dir) {
    int n = 0;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d))
            n += e->d_name[0] != '.';
        ::closedir(d);
    }
    return n;
}

} // namespace

TEST(DemoProject, IsMadeWholeOnceAndOffered) {
    test::TempDir dir;
    test::ScriptedUserInterface ui;
    const std::string path = dir.file("sub/demo.vxp");
    ASSERT_TRUE(exchange::BuildDemoProject(path, ui));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(filesIn(dir.file("sub")), 1); // nothing of the building left beside it
    {
        RecentProjects recent;
        CVexDoc doc(ui, recent);
        ASSERT_TRUE(doc.OpenPath(path, false));
        const TopicStore& s = doc.store();
        EXPECT_EQ(s.RecordCount(TopicId::TextGroups), 2);
        EXPECT_GE(s.RecordCount(TopicId::Texts), 5);
        EXPECT_GE(s.RecordCount(TopicId::Codings), 10);
        ASSERT_EQ(s.RecordCount(TopicId::TextSets), 1);
        EXPECT_EQ(s.RecordCount(TopicId::TextLinks), 2);
        EXPECT_EQ(s.GetName(TopicId::TextSets, s.ListIds(TopicId::TextSets).front(), false),
                  "Working parents");
    }
    // An existing file is never replaced.
    const auto before = platform::readFile(path);
    EXPECT_FALSE(exchange::BuildDemoProject(path, ui));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "The project " + path + " exists already.");
    EXPECT_EQ(platform::readFile(path), before);
    // A folder that cannot be made: said, nothing left.
    test::writeAll(dir.file("plain"), "x");
    EXPECT_FALSE(exchange::BuildDemoProject(dir.file("plain/demo.vxp"), ui));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text.rfind("The folder " + dir.file("plain") + " cannot be made", 0),
              0u);

    // The start dialog's demo choice opens it, made on the way when missing.
    ui.messages.clear();
    const std::string fresh = dir.file("fresh/demo.vxp");
    RecentProjects recent;
    CVexDoc doc(ui, recent);
    doc.setDemoProject([&] {
        return platform::fileExists(fresh) || exchange::BuildDemoProject(fresh, ui) ? fresh
                                                                                    : std::string();
    });
    ui.start.kind = StartChoice::Kind::OpenDemo;
    ASSERT_TRUE(doc.ChooseProjectAtStartup());
    EXPECT_EQ(doc.store().RecordCount(TopicId::TextGroups), 2);
    EXPECT_TRUE(ui.messages.empty());
}
