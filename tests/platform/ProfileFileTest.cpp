#include "platform/ProfileFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vexana::platform;
using vexana::test::TempDir;

TEST(ProfileFile, MatchesWithoutCaseAndTakesTheFirstMatch) {
    ProfileFile p;
    p.parse("[MainWindow]\r\nToolbar1=100\r\ntoolbar1=200\r\n[mainwindow]\r\nViewState=7\r\n"
            "  Splitter 1 = 400 \r\n;comment=1\r\n");
    EXPECT_EQ(p.readInt("MAINWINDOW", "ToolBar1", 0), 100);
    // The second section of the same name is never reached.
    EXPECT_EQ(p.readInt("MainWindow", "ViewState", 30), 30);
    EXPECT_EQ(p.readInt("MainWindow", "Splitter 1", 350), 350);
    EXPECT_EQ(p.readString("MainWindow", "comment", "none"), "none");
    EXPECT_EQ(p.readInt("Missing", "Key", 42), 42);
}

TEST(ProfileFile, GarbageBinaryAndHugeLinesGiveDefaults) {
    ProfileFile p;
    std::string junk(200000, 'x');
    junk += "\n[Project]\nPath1=" + std::string(100000, 'a') + "\n";
    junk += std::string("\0\x01\xff[QNT]\nGoList=1\n", 17);
    for (int i = 0; i < 256; ++i)
        junk += static_cast<char>(i);
    p.parse(junk);
    EXPECT_EQ(p.readString("Project", "Path1"), "");
    EXPECT_EQ(p.readInt("MainWindow", "ViewState", 30), 30);
    EXPECT_EQ(p.readInt("Any", "Number", -1), -1);
}

TEST(ProfileFile, SavesAtomicallyAndReadsBack) {
    TempDir dir;
    ProfileFile p(dir.file("sub/vexapp.ini"));
    p.writeString("Project", "Path1", "/home/a/one.vxp");
    p.writeString("Project", "Options", "line\nbreak");
    p.writeInt("MainWindow", "ViewState", 14);
    ASSERT_EQ(p.save(), "");
    ProfileFile q(dir.file("sub/vexapp.ini"));
    q.load();
    EXPECT_EQ(q.readString("project", "path1"), "/home/a/one.vxp");
    EXPECT_EQ(q.readString("Project", "Options"), "line break");
    EXPECT_EQ(q.readInt("MainWindow", "ViewState", 0), 14);
}

TEST(ProfileFile, UnwritableFileIsReportedAndLeftAsItWas) {
    TempDir dir;
    // A folder where the file should be cannot be replaced by a file, even by root.
    ASSERT_EQ(::mkdir(dir.file("vexapp.ini").c_str(), 0755), 0);
    ProfileFile p(dir.file("vexapp.ini"));
    p.writeInt("MainWindow", "ViewState", 1);
    EXPECT_NE(p.save(), "");
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("vexapp.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}
