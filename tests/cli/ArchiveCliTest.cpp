#include "ArchiveWriter.h"
#include "TestSupport.h"

#include <array>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/wait.h>

using namespace vexana::test;

namespace {

struct Output {
    int status;
    std::string text;
};

Output cli(const std::string& args) {
    const std::string cmd = std::string(VEXANA_CLI) + " " + args + " 2>&1";
    Output r{-1, {}};
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf{};
    std::size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        r.text.append(buf.data(), n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

} // namespace

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

    const Output list = cli("archive-list " + archive);
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.text, "0\t1\t154\t1.KOB\n1\t4\t6\t00100004.KT\n2\t4\t4\t00100004.KZ\n"
                         "6\t9\t78\t00000009.001\n42\t3\t2\t\n");

    const std::string project = "'" + dir.file("p.vxp") + "'";
    const Output made = cli("archive-import " + archive + " " + project);
    EXPECT_EQ(made.status, 0) << made.text;
    EXPECT_EQ(made.text, "groups\t1\ntexts\t1\nvariables\t0\ncodes\t1\ncodings\t1\nmemos\t1\n"
                         "skipped segments\t0\nskipped memos\t0\n");
    EXPECT_NE(cli("codings " + project).text.find("abc"), std::string::npos);
    const Output again = cli("archive-import " + archive + " " + project);
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.text.find("exists already"), std::string::npos);

    writeAll(dir.file("bad.vxa"), w.bytes().substr(0, 50));
    const Output bad = cli("archive-list '" + dir.file("bad.vxa") + "'");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.text.find("cannot be read: the member at byte 37 claims 154 bytes"),
              std::string::npos)
        << bad.text;
    for (const char* c : {"archive-list --help", "archive-import --help"})
        EXPECT_EQ(cli(c).status, 0);
    EXPECT_EQ(cli("archive-import " + archive).status, 2);
}
