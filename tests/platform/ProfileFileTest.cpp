#include "platform/ProfileFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using vexana::test::readAll;
using vexana::test::writeAll;

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

TEST(ProfileFile, KeepsTheBytesOfEveryValueWhateverTheOtherLinesHold) {
    const std::string accented = "/home/jos\xC3\xA9/\xCE\xB1\xCE\xB2.vxp";
    const std::string latin1 = "/data/caf\xE9.vxp"; // a file name that is not UTF-8
    ProfileFile p;
    p.parse("[Project]\r\nPath1=" + accented + "\r\nPath2=" + latin1 + "\r\n");
    EXPECT_EQ(p.readString("Project", "Path1"), accented);
    EXPECT_EQ(p.readString("Project", "Path2"), latin1);

    TempDir dir;
    ProfileFile q(dir.file("vexapp.ini"));
    q.writeString("Project", "Path1", latin1);
    q.writeString("Project", "Path2", "/x/\xE9t\xC3\xA9");
    ASSERT_EQ(q.save(), "");
    EXPECT_EQ(readAll(q.path()), "[Project]\r\nPath1=" + latin1 + "\r\nPath2=/x/\xE9t\xC3\xA9\r\n");
}

TEST(ProfileFile, SavingChangesOnlyTheKeysItWrites) {
    const std::string before = "\xEF\xBB\xBF; written by hand\n"
                               "# also a comment=1\n"
                               "orphan=1\n"
                               "\n"
                               "[MainWindow]\n"
                               "  ViewState = 14  \n"
                               "Unknown=keep me\n"
                               "\n"
                               "[Plugin]\n"
                               "Anything=at all\n"
                               "no equals sign here\n"
                               "[broken\n"
                               "\n"
                               "[project]\n"
                               "Path1=/a.vxp\n"
                               "Path2=/b.vxp";
    ProfileFile p;
    p.parse(before);
    EXPECT_EQ(p.serialize(), before);
    EXPECT_FALSE(p.hasKey("", "orphan"));
    EXPECT_FALSE(p.hasKey("Plugin", "# also a comment"));
    EXPECT_EQ(p.readString("Plugin", "Anything"), "at all");
    EXPECT_EQ(p.readInt("MainWindow", "ViewState", 30), 14);

    p.writeInt("MAINWINDOW", "viewstate", 30);
    p.writeInt("MainWindow", "Toolbar1", 350);
    p.writeString("Project", "Path1", "/a.vxp");
    p.removeKey("Project", "Path2");
    p.writeString("QNT", "GoList", "1");
    EXPECT_EQ(p.serialize(), "\xEF\xBB\xBF; written by hand\n"
                             "# also a comment=1\n"
                             "orphan=1\n"
                             "\n"
                             "[MainWindow]\n"
                             "  ViewState = 30\n"
                             "Unknown=keep me\n"
                             "Toolbar1=350\n"
                             "\n"
                             "[Plugin]\n"
                             "Anything=at all\n"
                             "no equals sign here\n"
                             "[broken\n"
                             "\n"
                             "[project]\n"
                             "Path1=/a.vxp\n"
                             "\n"
                             "[QNT]\n"
                             "GoList=1\n");
}

TEST(ProfileFile, AFileItCannotReadIsNeverReplaced) {
    TempDir dir;
    // Far larger than any settings file: not ours, so it is neither read nor overwritten.
    const std::string big = "[Project]\nPath1=/a.vxp\n; " + std::string(5u << 20, 'x') + "\n";
    writeAll(dir.file("vexapp.ini"), big);
    ProfileFile p(dir.file("vexapp.ini"));
    p.load();
    EXPECT_EQ(p.readString("Project", "Path1"), "");
    p.writeInt("MainWindow", "ViewState", 2);
    EXPECT_NE(p.save(), "");
    EXPECT_EQ(readAll(dir.file("vexapp.ini")), big);

    // A settings file kept elsewhere through a link stays a link.
    ASSERT_EQ(::mkdir(dir.file("dotfiles").c_str(), 0755), 0);
    writeAll(dir.file("dotfiles/vexapp.ini"), "[Mine]\nKey=1\n");
    ASSERT_EQ(::symlink("dotfiles/vexapp.ini", dir.file("linked.ini").c_str()), 0);
    ProfileFile q(dir.file("linked.ini"));
    q.load();
    q.writeInt("MainWindow", "ViewState", 2);
    ASSERT_EQ(q.save(), "");
    struct stat st {};
    ASSERT_EQ(::lstat(dir.file("linked.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(readAll(dir.file("dotfiles/vexapp.ini")),
              "[Mine]\nKey=1\n\n[MainWindow]\nViewState=2\n");
}
