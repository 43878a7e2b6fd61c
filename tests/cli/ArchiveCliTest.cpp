#include "ArchiveWriter.h"
#include "CliRun.h"
#include "TestSupport.h"

#include <cstdio>
#include <gtest/gtest.h>

using namespace vexana::test;
using namespace vexana::test::cli;

TEST(ArchiveCli, ListsMembersAndImportsIntoANewProjectOnly) {
    TempDir dir;
    ArchiveWriter w;
    w.member(0, 1,
             objectFile("Study", {{"G", 0, {{"T", 4}}}}, {{"C", 0, {{1, 0, 1, 2, 100, 4}}, {}}}));
    w.member(1, 4, "abcdef");
    w.member(2, 4, lineTable({6}));
    w.member(6, 9, memoFile({4, 1, "M", "A", 1, 2, 1999, {}, "text"}));
    w.member(42, 3, "xy");
    writeAll(dir.file("a.vxa"), w.bytes());
    const std::string archive = "'" + dir.file("a.vxa") + "'";

    const Result list = run("archive-list " + archive);
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.out, "0\t1\t154\t1.KOB\n1\t4\t6\t00100004.KT\n2\t4\t4\t00100004.KZ\n"
                        "6\t9\t78\t00000009.001\n42\t3\t2\t\n");

    const std::string project = "'" + dir.file("p.vxp") + "'";
    const Result made = run("archive-import " + archive + " " + project);
    EXPECT_EQ(made.status, 0) << made.out;
    EXPECT_EQ(made.out, "groups\t1\ntexts\t1\nvariables\t0\ncodes\t1\ncodings\t1\nmemos\t1\n"
                        "skipped segments\t0\nskipped memos\t0\n");
    EXPECT_NE(run("codings " + project).out.find("abc"), std::string::npos);
    const Result again = run("archive-import " + archive + " " + project);
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.out.find("exists already"), std::string::npos);

    writeAll(dir.file("bad.vxa"), w.bytes().substr(0, 50));
    const Result bad = run("archive-list '" + dir.file("bad.vxa") + "'");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.out.find("cannot be read: the member at byte 37 claims 154 bytes"),
              std::string::npos)
        << bad.out;
    for (const char* c : {"archive-list --help", "archive-import --help"})
        EXPECT_EQ(run(c).status, 0);
    EXPECT_EQ(run("archive-import " + archive).status, 2);
}
