#include "CliRun.h"
#include "TestSupport.h"

#include <cstdio>
#include <gtest/gtest.h>

using vexana::test::TempDir;
using namespace vexana::test::cli;

TEST(RefiCli, ExportImportAndCodebooksWithTheirStatuses) {
    TempDir dir;
    const std::string demo = dir.file("demo.vxp"), qdpx = dir.file("demo.qdpx");
    ASSERT_EQ(run("demo " + demo).status, 0);
    const Result out = run("refi-export " + demo + " " + qdpx);
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.out, "sources\t7\ncodes\t12\nselections\t21\nnotes\t0\nvariables\t4\nsets\t3\n");
    const Result in = run("refi-import " + qdpx + " " + dir.file("back.vxp"));
    EXPECT_EQ(in.status, 0);
    EXPECT_EQ(in.out, "sources\t7\ncodes\t12\nselections\t21\nnotes\t0\nvariables\t4\nsets\t3\n"
                      "Positions read as code points.\n");
    EXPECT_EQ(run("codings " + demo).out, run("codings " + dir.file("back.vxp")).out);
    // The target exists now: refused, status 1; a wrong option: status 2 with the usage.
    const Result again = run("refi-import " + qdpx + " " + dir.file("back.vxp"));
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.out.find("exists already"), std::string::npos);
    const Result wrong = run("refi-import " + qdpx + " " + dir.file("c.vxp") + " --positions x");
    EXPECT_EQ(wrong.status, 2);
    EXPECT_NE(wrong.out.find("Usage: vexana-cli refi-import"), std::string::npos);
    EXPECT_EQ(run("refi-import " + qdpx + " " + dir.file("c.vxp") + " --positions utf16").status,
              0);

    EXPECT_EQ(run("qdc-export " + demo + " " + dir.file("book.qdc")).out, "codes\t12\n");
    ASSERT_EQ(run("new " + dir.file("empty.vxp")).status, 0);
    const Result book = run("qdc-import " + dir.file("empty.vxp") + " " + dir.file("book.qdc"));
    EXPECT_EQ(book.status, 0);
    EXPECT_EQ(book.out, "codes\t12\nnotes\t0\n");
    EXPECT_EQ(run("qdc-import " + dir.file("empty.vxp") + " " + qdpx).status, 1);
    for (const char* c : {"refi-export", "refi-import", "qdc-export", "qdc-import"}) {
        const Result help = run(std::string(c) + " --help");
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind(std::string("Usage: vexana-cli ") + c, 0), 0u);
    }
}
