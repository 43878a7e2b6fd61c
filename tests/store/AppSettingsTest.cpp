#include "store/AppSettings.h"

#include "TestSupport.h"
#include "platform/Files.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace vexana::store;
using vexana::test::readAll;
using vexana::test::TempDir;
using vexana::test::writeAll;

TEST(AppSettings, AMissingFileGivesEveryDefault) {
    TempDir dir;
    AppSettings s(dir.file("none.ini"));
    s.load();
    EXPECT_EQ(s.viewState(), 30);
    EXPECT_EQ(s.oldViewState(), 30);
    EXPECT_EQ(s.buttonState(), 1);
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(s.splitter(n), 350);
    EXPECT_EQ(s.toolbarWidth(1), 350);
    EXPECT_EQ(s.toolbarWidth(2), 430);
    EXPECT_EQ(s.toolbarWidth(3), 430);
    const WindowPlacement w = s.windowPos("MainWindow", AppSettings::mainWindowDefault());
    EXPECT_EQ(w.format(), "0,3,0,0,0,0,50,50,540,540");
    EXPECT_TRUE(s.recentProjects().empty());
    EXPECT_EQ(s.segmentsCtrl(), std::make_pair(1, 50));
    EXPECT_EQ(s.textCoderWindow().width, 23);
    EXPECT_EQ(s.validateDir(), "C:\\Validate.rtf");
    EXPECT_EQ(s.dictionaryPath(), AppSettings::startupDirectory() + "Default.vxl");
}

TEST(AppSettings, StoredValuesAreReadByTheirRules) {
    AppSettings s("");
    s.profile().parse("[MainWindow]\nToolbar2=600\nWindowPos=0,1,2,3,4,5,6,7,8\n[Project]\n"
                      "Path1=/a.vxp\nPath2=/b.vxp\nPath3=/a.vxp\nPath4=\nPath5=/c.vxp\n"
                      "[TextCoderWindow]\nSettings=0, 40, 0\n[SegmentsCtrl]\nSettings=garbage\n");
    EXPECT_EQ(s.toolbarWidth(2), 430);
    // Nine numbers are not a position: the window stays where it was made.
    EXPECT_EQ(s.windowPos("MainWindow", AppSettings::mainWindowDefault()).showCmd, 3u);
    EXPECT_EQ(s.recentProjects(), (std::vector<std::string>{"/a.vxp", "/b.vxp", "/c.vxp"}));
    EXPECT_EQ(s.textCoderWindow().stripesFirst, 0);
    EXPECT_EQ(s.textCoderWindow().width, 40);
    EXPECT_EQ(s.segmentsCtrl(), std::make_pair(1, 50));
    s.setRecentProjects({"/x.vxp"});
    EXPECT_EQ(s.recentProjects(), std::vector<std::string>{"/x.vxp"});
    EXPECT_EQ(s.profile().readString("Project", "Path2"), "");
}

TEST(AppSettings, RecentPathsComeBackAsTheyWereWhatElseTheFileHolds) {
    TempDir dir;
    const std::string accented = "/home/jos\xC3\xA9/Interviews \xE2\x80\x93 2024.vxp";
    const std::string latin1 = "/mnt/old/entrevue-f\xE9vrier.vxp";
    const std::string file = "[MainWindow]\r\nViewState=14\r\n; kept by hand\r\n\r\n"
                             "[Project]\r\nPath1=" +
                             accented + "\r\nPath2=" + latin1 +
                             "\r\nPath3=/plain.vxp\r\n\r\n[Elsewhere]\r\nColour=blue\r\n";
    writeAll(dir.file("vexapp.ini"), file);
    AppSettings s(dir.file("vexapp.ini"));
    s.load();
    EXPECT_EQ(s.recentProjects(), (std::vector<std::string>{accented, latin1, "/plain.vxp"}));
    s.setRecentProjects(s.recentProjects());
    ASSERT_EQ(s.save(), "");
    EXPECT_EQ(readAll(dir.file("vexapp.ini")), file);

    s.setRecentProjects({latin1, accented});
    ASSERT_EQ(s.save(), "");
    AppSettings t(dir.file("vexapp.ini"));
    t.load();
    EXPECT_EQ(t.recentProjects(), (std::vector<std::string>{latin1, accented}));
    EXPECT_EQ(t.viewState(), 14);
    const std::string after = readAll(dir.file("vexapp.ini"));
    EXPECT_NE(after.find("; kept by hand\r\n"), std::string::npos);
    EXPECT_NE(after.find("[Elsewhere]\r\nColour=blue\r\n"), std::string::npos);
}

TEST(AppSettings, AnEarlierVersionsWindows1252PathFindsItsFile) {
    TempDir dir;
    const std::string utf8 = dir.file("f\xC3\xA9vrier.vxp");
    writeAll(utf8, "");
    const std::string written = dir.file("f\xE9vrier.vxp"); // as the old version wrote it
    writeAll(dir.file("vexapp.ini"),
             "[Project]\r\nPath1=" + written + "\r\nPath2=" + dir.file("gone\xE9.vxp") + "\r\n");
    AppSettings s(dir.file("vexapp.ini"));
    s.load();
    // A path that names nothing either way stays as it was written.
    EXPECT_EQ(s.recentProjects(), (std::vector<std::string>{utf8, dir.file("gone\xE9.vxp")}));
}

TEST(AppSettings, AFailedSaveNamesTheFileAndTheCause) {
    TempDir dir;
    // A folder where the file should be cannot be replaced by a file, even by root.
    ASSERT_EQ(::mkdir(dir.file("vexapp.ini").c_str(), 0755), 0);
    AppSettings s(dir.file("vexapp.ini"));
    s.setRecentProjects({"/a.vxp"});
    const std::string error = s.save();
    EXPECT_NE(error.find(dir.file("vexapp.ini")), std::string::npos) << error;
    EXPECT_NE(error.find(vexana::platform::systemErrorText(EISDIR)), std::string::npos) << error;
}

TEST(RecentProjects, KeepsTenByteWiseDistinctPathsAndShowsEntriesOneToFive) {
    RecentProjects r;
    for (int i = 0; i < 11; ++i)
        r.add("/p" + std::to_string(i) + ".vxp");
    ASSERT_EQ(r.entries().size(), 10u);
    EXPECT_EQ(r.entries().front(), "/p10.vxp");
    EXPECT_EQ(r.entries().back(), "/p1.vxp");
    r.add("/p5.vxp");
    EXPECT_EQ(r.entries().front(), "/p5.vxp");
    EXPECT_EQ(r.entries().size(), 10u);
    r.add("/P5.vxp"); // another spelling is another path
    EXPECT_EQ(r.entries().size(), 10u);
    EXPECT_EQ(r.entries()[1], "/p5.vxp");
    EXPECT_EQ(r.menuText(1), "&1 /p5.vxp");
    RecentProjects one;
    one.add("/only.vxp");
    EXPECT_EQ(one.menuText(1), "&1 ");
    EXPECT_EQ(one.pathForItem(1), "");
    EXPECT_EQ(one.pathForItem(0), "");
}
