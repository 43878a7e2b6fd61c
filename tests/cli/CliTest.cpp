#include "CliRun.h"
#include "TestSupport.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using vexana::test::TempDir;
using namespace vexana::test::cli;

TEST(Cli, NewAndInfoReportTheProject) {
    TempDir dir;
    const std::string p = "'" + dir.file("my project.vxp") + "'";
    EXPECT_EQ(run("new " + p).status, 0);
    const Result info = run("info " + p);
    EXPECT_EQ(info.status, 0);
    EXPECT_EQ(info.out, "DataEngine: 020905\nDataType: MAIN\nRichText: 2\nTextgroups: 0\nTexts: 0\n"
                        "Textsets: 0\nTextlinks: 0\nCodewords: 0\nCodings: 0\nMemos: 0\n");
    const Result again = run("new " + p);
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.out.find("exists already"), std::string::npos);
}

TEST(Cli, BadInputGivesAMessageAndANonZeroStatus) {
    TempDir dir;
    vexana::test::writeAll(dir.file("x.vxp"), "plain text");
    const Result foreign = run("info " + dir.file("x.vxp"));
    EXPECT_EQ(foreign.status, 1);
    EXPECT_NE(foreign.out.find("not a project"), std::string::npos);
    EXPECT_TRUE(vexana::test::readAll(dir.file("x.vxp")) == "plain text");
    const Result missing = run("info " + dir.file("none.vxp"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("does not exist"), std::string::npos);
    EXPECT_EQ(run("info").status, 2);
    EXPECT_EQ(run("frobnicate").status, 2);
    EXPECT_EQ(run("new " + dir.file("no/folder/p.vxp")).status, 1);
    for (const char* c : {"--help", "new --help", "info --help", "rtf2txt --help"}) {
        const Result h = run(c);
        EXPECT_EQ(h.status, 0) << c;
        EXPECT_NE(h.out.find("Usage"), std::string::npos) << c;
    }
    // The list names every command whole, and each describes itself.
    const std::string list = run("--help").out;
    for (const char* c : {"search-export", "vars-export", "vars-import", "memo-delete"}) {
        EXPECT_NE(list.find("  " + std::string(c) + " "), std::string::npos) << c;
        EXPECT_EQ(run(std::string(c) + " --help").status, 0) << c;
    }
}

TEST(Cli, RtfToTextPrintsParagraphsAndTheirOffsets) {
    TempDir dir;
    vexana::test::writeAll(dir.file("a.rtf"), "{\\rtf1\\ansi caf\\'e9\\par\\par \\u955?b\\par}");
    const Result plain = run("rtf2txt " + dir.file("a.rtf"));
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(plain.out, "caf\xC3\xA9\n\n\xCE\xBB"
                         "b\n");
    const Result offsets = run("rtf2txt --offsets " + dir.file("a.rtf"));
    EXPECT_EQ(offsets.out, "0 4\tcaf\xC3\xA9\n5 5\t\n6 8\t\xCE\xBB"
                           "b\n");
    const Result missing = run("rtf2txt " + dir.file("none.rtf"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("cannot be read"), std::string::npos);
    EXPECT_EQ(run("rtf2txt --offsets " + dir.path()).status, 1);
    EXPECT_EQ(run("rtf2txt").status, 2);
}

TEST(Cli, ImportCodeListAndUncode) {
    TempDir dir;
    const std::string p = dir.file("p.vxp");
    ASSERT_EQ(run("new " + p).status, 0);
    vexana::test::writeAll(dir.file("anna.txt"), "First line.\nSecond line about work.\n");
    vexana::test::writeAll(dir.file("doc.txt"),
                           "#TEXT Bernd\n#CODE Family\\Kids\nTwo kids.\n#ENDCODE\n");
    const Result imported =
        run("import " + p + " Interviews " + dir.file("anna.txt") + " " + dir.file("gone.rtf"));
    EXPECT_EQ(imported.status, 1);
    EXPECT_NE(imported.out.find("gone.rtf  can not be opened"), std::string::npos);
    EXPECT_EQ(run("preprocess " + p + " Interviews " + dir.file("doc.txt")).status, 0);
    EXPECT_EQ(run("texts " + p).out, "1\tInterviews\\anna\t0\n2\tInterviews\\Bernd\t1\n");
    EXPECT_EQ(run("text " + p + " 'Interviews\\anna'").out,
              "First line.\nSecond line about work.\n");
    const Result coded =
        run("code " + p + " 'Interviews\\anna' 'Topics\\Work' 12 23 --weight 12.9");
    EXPECT_EQ(coded.status, 0);
    EXPECT_EQ(coded.out, "2\n");
    EXPECT_EQ(run("codes " + p).out,
              "1\tFamily\t0\n2\tFamily\\Kids\t1\n3\tTopics\t0\n4\tTopics\\Work\t1\n");
    EXPECT_EQ(run("codings " + p).out,
              "1\tInterviews\\Bernd\tFamily\\Kids\t0\t9\t1\t1\t100\tTwo kids.\n"
              "2\tInterviews\\anna\tTopics\\Work\t12\t23\t2\t2\t12\tSecond line\n");
    // Refused without writing anything.
    for (const char* bad :
         {" 'Interviews\\anna' X 5 5", " 'Interviews\\anna' X 0 999", " 'No\\such' X 0 1",
          " 'Interviews\\anna' X 0 1 --weight lots", " 'Interviews\\anna' X a b",
          " 'Interviews\\anna' 'Topics\\Work' 13 20"})
        EXPECT_NE(run("code " + p + bad).status, 0) << bad;
    EXPECT_EQ(run("codes " + p).out.find("\tX\t"), std::string::npos);
    EXPECT_EQ(run("uncode " + p + " 2").status, 0);
    EXPECT_EQ(run("uncode " + p + " 2").status, 1);
    EXPECT_EQ(run("uncode " + p + " x").status, 2);
    EXPECT_EQ(run("texts " + p).out, "1\tInterviews\\anna\t0\n2\tInterviews\\Bernd\t1\n");
    // Sets: made when missing, a member not added twice, an unknown text changes nothing.
    EXPECT_EQ(run("set " + p + " Both 'Interviews\\anna' 'Interviews\\Bernd'").out,
              "Added 2 texts to Both\n");
    EXPECT_EQ(run("set " + p + " Both 'Interviews\\anna'").out, "Added 0 texts to Both\n");
    EXPECT_EQ(run("set " + p + " Other 'Interviews\\anna' 'No\\such'").status, 1);
    EXPECT_EQ(run("set " + p + " '' 'Interviews\\anna'").status, 2);
    EXPECT_NE(run("info " + p).out.find("Textsets: 1\nTextlinks: 2\n"), std::string::npos);
    for (const char* c :
         {"set --help", "import --help", "preprocess --help", "texts --help", "text --help",
          "codes --help", "code --help", "uncode --help", "codings --help"})
        EXPECT_EQ(run(c).status, 0) << c;
}

TEST(Cli, RetrieveActivatesRunsAFunctionAndPrintsTheSegments) {
    TempDir dir;
    const std::string p = dir.file("p.vxp");
    ASSERT_EQ(run("new " + p).status, 0);
    vexana::test::writeAll(
        dir.file("doc.txt"),
        "#TEXT A\n#CODE Work\nI work at night.\n#ENDCODE\n#CODE Family\nMy kids.\n#ENDCODE\n");
    ASSERT_EQ(run("preprocess " + p + " G " + dir.file("doc.txt")).status, 0);
    EXPECT_EQ(run("retrieve " + p).out,
              "OR-Combination\nG\\A\tWork\t0\t16\t1\t1\t100\tI work at night.\n"
              "G\\A\tFamily\t17\t25\t2\t2\t100\tMy kids.\n");
    EXPECT_EQ(run("retrieve " + p + " --codes Family --save-act " + dir.file("f.act")).out,
              "OR-Combination\nG\\A\tFamily\t17\t25\t2\t2\t100\tMy kids.\n");
    EXPECT_EQ(vexana::test::readAll(dir.file("f.act")), "Family\r\n");
    EXPECT_EQ(run("retrieve " + p + " --act " + dir.file("f.act") +
                  " --function followed-by --code Work --distance 1"
                  " --mode all")
                  .out,
              "Followed by [Work; 1]\n");
    EXPECT_EQ(run("retrieve " + p + " --act " + dir.file("f.act") +
                  " --function near --code Work --distance 1"
                  " --mode all")
                  .out,
              "Near [Work; 1]\nG\\A\tWork\t0\t16\t1\t1\t100\tI work at night.\n"
              "G\\A\tFamily\t17\t25\t2\t2\t100\tMy kids.\n");
    for (const char* bad :
         {" --function nothing", " --function near", " --codes Nope", " --texts 'G\\Z'",
          " --count x", " --weight 9-3", " --mode sideways", " --function at-least --count 1",
          " --act "
          "/nonexistent.act"})
        EXPECT_NE(run("retrieve " + p + bad).status, 0) << bad;
    EXPECT_EQ(run("retrieve " + p + " --function only-this-code").out.substr(0, 15),
              "Only this Code\n");
    EXPECT_NE(run("info " + p).out.find("Codings: 2\n"),
              std::string::npos); // no results left behind
    const Result help = run("retrieve --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(
        help.out.find(
            "Only those text passages will be listed where at least the  above defined number"),
        std::string::npos);
}

TEST(Cli, RefusedCommandsLeaveNoTrace) {
    TempDir dir;
    const std::string p = dir.file("p.vxp");
    ASSERT_EQ(run("new " + p).status, 0);
    vexana::test::writeAll(dir.file("anna.txt"), "First line.\n");
    ASSERT_EQ(run("import " + p + " Interviews " + dir.file("anna.txt")).status, 0);
    auto contents = [&] { return run("info " + p).out + run("codings " + p).out; };
    const std::string before = contents();
    const std::string untouched = vexana::test::readAll(p);
    const Result none = run("import " + p + " Fresh " + dir.file("gone.txt"));
    EXPECT_TRUE(vexana::test::readAll(p) == untouched);
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out.find("Imported"), std::string::npos);
    EXPECT_NE(run("info " + p).out.find("Textgroups: 1\n"), std::string::npos);
    // Into a group that exists: nothing imported, nothing written at all.
    const std::string bytes = vexana::test::readAll(p);
    EXPECT_EQ(run("import " + p + " Interviews " + dir.file("gone.txt")).status, 1);
    EXPECT_TRUE(vexana::test::readAll(p) == bytes);
    std::string deep;
    for (int i = 0; i < 1200; ++i)
        deep += "L\\";
    for (const std::string& path : {std::string("'a\\\\b'"), "'" + deep + "L'"})
        EXPECT_EQ(run("code " + p + " 'Interviews\\anna' " + path + " 0 5").status, 1);
    EXPECT_EQ(run("codes " + p).out, "");
    EXPECT_EQ(contents(), before);
}

TEST(Cli, AFifoIsRefusedWithoutWaiting) {
    TempDir dir;
    const std::string p = dir.file("p.vxp");
    ASSERT_EQ(run("new " + p).status, 0);
    const std::string fifo = dir.file("pipe.rtf");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const char* command : {"import ", "preprocess "}) {
        const Result r =
            run("", "timeout 20 " + std::string(VEXANA_CLI) + " " + command + p + " G " + fifo);
        EXPECT_EQ(r.status, 1) << command << r.out;
        EXPECT_NE(r.out.find("pipe.rtf  can not be opened"), std::string::npos) << r.out;
    }
    const Result text = run("", "timeout 20 " + std::string(VEXANA_CLI) + " rtf2txt " + fifo);
    EXPECT_EQ(text.status, 1) << text.out;
    EXPECT_EQ(run("info " + p).status, 0);
}

TEST(Cli, AReadOnlyProjectIsReadButNotChanged) {
    if (geteuid() != 0 || access("/usr/bin/setpriv", X_OK) != 0)
        GTEST_SKIP() << "needs root to run the command as another user";
    TempDir dir;
    const std::string p = dir.file("p.vxp");
    ASSERT_EQ(run("new " + p).status, 0);
    vexana::test::writeAll(dir.file("anna.txt"), "First line.\n");
    ASSERT_EQ(run("import " + p + " Interviews " + dir.file("anna.txt")).status, 0);
    ASSERT_EQ(run("code " + p + " 'Interviews\\anna' A 0 9").status, 0);
    ASSERT_EQ(run("code " + p + " 'Interviews\\anna' B 6 11").status, 0);
    chmod(dir.path().c_str(), 0755);
    chmod(p.c_str(), 0444);
    const std::string before = vexana::test::readAll(p);
    const std::string asNobody = "/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups ";
    const Result info = run("", asNobody + VEXANA_CLI + " texts " + p);
    if (info.status == 126 || info.status == 127) GTEST_SKIP() << "the program is out of reach";
    EXPECT_EQ(info.status, 0) << info.out;
    EXPECT_EQ(info.out, "1\tInterviews\\anna\t2\n");
    // An analysis is reading: its results are kept in memory.
    const Result both =
        run("", asNobody + VEXANA_CLI + " retrieve " + p + " --function intersection");
    EXPECT_EQ(both.status, 0) << both.out;
    EXPECT_NE(both.out.find("\t6\t9\t"), std::string::npos) << both.out;
    const Result code = run("", asNobody + VEXANA_CLI + " code " + p + " 'Interviews\\anna' X 0 5");
    EXPECT_EQ(code.status, 1);
    EXPECT_NE(code.out.find("read-only"), std::string::npos) << code.out;
    EXPECT_TRUE(vexana::test::readAll(p) == before);
}

TEST(Cli, AFullDiskIsReportedAsSuch) {
    TempDir dir;
    const std::string mnt = dir.file("small");
    mkdir(mnt.c_str(), 0755);
    if (geteuid() != 0 ||
        std::system(("mount -t tmpfs -o size=512k tmpfs '" + mnt + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "needs a small file system of its own (root, mount)";
    struct Unmount {
        std::string path;
        ~Unmount() { std::system(("umount '" + path + "'").c_str()); }
    } unmount{mnt};
    const std::string p = mnt + "/p.vxp";
    ASSERT_EQ(run("new " + p).status, 0);
    vexana::test::writeAll(dir.file("anna.txt"), "First line of an interview.\n");
    ASSERT_EQ(run("import " + p + " Interviews " + dir.file("anna.txt")).status, 0);
    ASSERT_EQ(run("code " + p + " 'Interviews\\anna' A 0 5").status, 0);
    const std::string before = run("codings " + p).out + run("texts " + p).out;
    // Fill what is left.
    std::system(("dd if=/dev/zero of='" + mnt + "/filler' bs=4k 2>/dev/null").c_str());
    for (const std::string& command :
         {"code " + p + " 'Interviews\\anna' B 6 10", "uncode " + p + " 1",
          "import " + p + " Interviews " + dir.file("anna.txt")}) {
        const Result r = run(command);
        EXPECT_EQ(r.status, 1) << command << r.out;
        EXPECT_NE(r.out.find("the disk is full"), std::string::npos) << command << r.out;
        EXPECT_EQ(r.out.find("There is no coding"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("Imported"), std::string::npos) << r.out;
    }
    EXPECT_EQ(run("codings " + p).out + run("texts " + p).out, before);
}

TEST(Cli, VariablesValuesAndTheirTable) {
    TempDir dir;
    const std::string p = dir.file("p.vxp");
    ASSERT_EQ(run("new " + p).status, 0);
    vexana::test::writeAll(dir.file("anna.txt"), "Anna.\n");
    vexana::test::writeAll(dir.file("bernd.txt"), "Bernd.\n");
    ASSERT_EQ(
        run("import " + p + " Interviews " + dir.file("anna.txt") + " " + dir.file("bernd.txt"))
            .status,
        0);
    EXPECT_EQ(run("variable " + p + " add Age integer").out, "9\tAge\tInteger\n");
    EXPECT_EQ(run("variable " + p + " add \"Child's age\" 'Floating point'").out,
              "10\tChild's age\tFloating point\n");
    EXPECT_EQ(run("variable " + p + " add When Date/Time").status, 0);
    const Result same = run("variable " + p + " add AGE String");
    EXPECT_EQ(same.status, 1);
    EXPECT_EQ(same.out, "There is a field named \"Age\" already.\n");
    EXPECT_EQ(run("variable " + p + " add " + std::string(64, 'x') + " String").status, 1);
    EXPECT_EQ(run("variable " + p + " add Colour Text").status, 2);
    EXPECT_EQ(run("variable " + p + " frob Age").status, 2);
    EXPECT_EQ(run("variable " + p + " rename When Interview").out, "11\tInterview\tDate/Time\n");
    EXPECT_EQ(run("variables " + p).out,
              "9\tAge\tInteger\n10\tChild's age\tFloating point\n11\tInterview\tDate/Time\n");

    const Result notANumber = run("value " + p + " 'Interviews\\anna' age 41x");
    EXPECT_EQ(notANumber.status, 1);
    EXPECT_EQ(notANumber.out,
              "\"41x\" is not a value of Age (a whole number is); the value stays as it was.\n");
    EXPECT_EQ(run("value " + p + " 'Interviews\\anna' age 41").out, "41\n");
    EXPECT_EQ(run("value " + p + " 'Interviews\\anna' \"child's age\" 1234567.89").out,
              "1234567.89\n");
    EXPECT_EQ(run("value " + p + " 'Interviews\\anna' Interview '2024-05-01 13:45:30'").out,
              "2024-05-01 13:45:30\n");
    EXPECT_EQ(run("value " + p + " 'Interviews\\anna' Age").out, "41\n");
    EXPECT_EQ(run("value " + p + " 'Interviews\\nobody' Age").status, 1);
    EXPECT_EQ(run("value " + p + " 'Interviews\\anna' Textname x").status, 1);

    ASSERT_EQ(run("vars-export " + p + " " + dir.file("out.txt")).status, 0);
    const std::string table = vexana::test::readAll(dir.file("out.txt"));
    EXPECT_EQ(table.substr(0, table.find("\r\n")),
              "Textgroup\tTextname\tCreation Date\tNumber of Coded Segments\tAge\tChild's "
              "age\tInterview");
    EXPECT_NE(table.find("\t0\t41\t1234567.89\t2024-05-01 13:45:30\r\n"), std::string::npos);
    EXPECT_EQ(run("vars-export " + p + " " + dir.file("no/dir/out.txt")).status, 1);

    vexana::test::writeAll(dir.file("in.txt"), "textgruppe\tTEXTNAME\tSex\tSmoker\tAge\n"
                                               "interviews\tBERND\tmale\t1\t50\n"
                                               "Interviews\tcarla\tfemale\t0\t\n");
    const Result imported = run("vars-import " + p + " " + dir.file("in.txt"));
    EXPECT_EQ(imported.status, 0);
    EXPECT_EQ(imported.out, "1 line names no text of the project and was skipped (line 3).\n"
                            "Texts imported: 1\nSex\tString\nSmoker\tBoolean\nSkipped lines: 1\n");
    EXPECT_EQ(run("value " + p + " 'Interviews\\bernd' Age").out, "50\n");
    // Nothing to import: status 1 and no change.
    const std::string before = run("variables " + p).out;
    vexana::test::writeAll(dir.file("bad.txt"), "Name\tNew\nx\ty\n");
    const Result refused = run("vars-import " + p + " " + dir.file("bad.txt"));
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("no \"Textgroup\" and no \"Textname\" column"), std::string::npos);
    EXPECT_EQ(run("vars-import " + p + " " + dir.file("none.txt")).status, 1);
    EXPECT_EQ(run("variables " + p).out, before);
    EXPECT_EQ(run("variable " + p + " delete Smoker").status, 0);
    EXPECT_EQ(run("variable " + p + " delete Smoker").status, 1);
    for (const char* c : {"variables --help", "variable --help", "value --help",
                          "vars-export --help", "vars-import --help", "activate --help"}) {
        const Result h = run(c);
        EXPECT_EQ(h.status, 0) << c;
        EXPECT_EQ(h.out.rfind("Usage", 0), 0u) << c;
    }
}

TEST(Cli, ActivateByVariablesAndRetrieveWithAConditionFile) {
    TempDir dir;
    const std::string p = dir.file("p.vxp");
    ASSERT_EQ(run("new " + p).status, 0);
    vexana::test::writeAll(dir.file("doc.txt"), "#TEXT A\n#CODE Work\nNights.\n#ENDCODE\n#ENDTEXT\n"
                                                "#TEXT B\n#CODE Work\nDays.\n#ENDCODE\n#ENDTEXT\n"
                                                "#TEXT C\nNothing.\n#ENDTEXT\n");
    ASSERT_EQ(run("preprocess " + p + " G " + dir.file("doc.txt")).status, 0);
    ASSERT_EQ(run("variable " + p + " add Age Integer").status, 0);
    ASSERT_EQ(run("variable " + p + " add Sex String").status, 0);
    run("value " + p + " 'G\\A' Age 45");
    run("value " + p + " 'G\\B' Age 25");
    run("value " + p + " 'G\\C' Age 60");
    run("value " + p + " 'G\\A' Sex Female");
    run("value " + p + " 'G\\C' Sex male");
    // (Sex = female OR Age < 30) AND Age > 40: left to right, without precedence.
    const Result r = run("activate " + p +
                         " --row and sex = FEMALE --row or Age '<' 30 --row and "
                         "age '>' 40 --save-loa " +
                         dir.file("c.loa"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "1\tG\\A\t1\n2\tG\\B\t0\n3\tG\\C\t0\n");
    EXPECT_EQ(vexana::test::readAll(dir.file("c.loa")),
              std::string("10|Sex|1|0|FEMALE~9|Age|0|2|30~9|Age|1|3|40~") + '\0');
    EXPECT_EQ(run("activate " + p + " --loa " + dir.file("c.loa")).out, r.out);
    EXPECT_EQ(run("retrieve " + p + " --loa " + dir.file("c.loa")).out,
              "OR-Combination\nG\\A\tWork\t0\t7\t1\t1\t100\tNights.\n");
    // Wrong arguments, damaged files and unknown fields.
    for (const char* bad : {"", " --row and Age", " --row xor Age = 1", " --row and Age '=>' 1",
                            " --loa x --row and Age = 1", " --frob"})
        EXPECT_EQ(run("activate " + p + bad).status, 2) << bad;
    EXPECT_EQ(run("retrieve " + p + " --texts 'G\\A' --loa " + dir.file("c.loa")).status, 2);
    vexana::test::writeAll(dir.file("bad.loa"), "9|Age|0|9|40~");
    const Result damaged = run("activate " + p + " --loa " + dir.file("bad.loa"));
    EXPECT_EQ(damaged.status, 1);
    EXPECT_NE(damaged.out.find("is damaged: row 1 has no operator 0 to 3"), std::string::npos);
    EXPECT_EQ(run("retrieve " + p + " --loa " + dir.file("bad.loa")).status, 1);
    EXPECT_EQ(run("activate " + p + " --row and Height = 1").status, 1);
    EXPECT_EQ(
        run("activate " + p + " --row and Sex = 'a|b' --save-loa " + dir.file("d.loa")).status, 1);
    EXPECT_FALSE(vexana::test::readAll(dir.file("d.loa")).size() > 0);
}

TEST(Cli, ListExportsTheWindowsOwnTextAndHtml) {
    TempDir dir;
    const std::string p = dir.file("p.vxp");
    ASSERT_EQ(run("new " + p).status, 0);
    vexana::test::writeAll(dir.file("anna.txt"), "Hello <world> & more.\n");
    ASSERT_EQ(run("import " + p + " Interviews " + dir.file("anna.txt")).status, 0);
    ASSERT_EQ(run("code " + p + " 'Interviews\\anna' 'Work\\Night' 0 5 --weight 40").status, 0);
    const std::string before = vexana::test::readAll(p);

    const Result codings = run("list " + p + " codings");
    EXPECT_EQ(codings.status, 0) << codings.out;
    EXPECT_EQ(codings.out, "Text\tCode\tBegin\tEnd\tWeight Score\tPreview\r\n"
                           "anna\tNight\t1\t1\t40\tHello\r\n");
    const Result codes = run("list " + p + " codes");
    EXPECT_EQ(codes.out,
              "Position\tParent Code\tCode\tAll Coded Segments\tActive Coded Segments\r\n"
              "0\t\tWork\t0\t0\r\n0\tWork\tNight\t1\t0\r\n");
    EXPECT_EQ(run("list " + p + " memos").out,
              "Text\tCode\tTitle\tAuthor\tCreation Date\tPreview\r\n");

    // The HTML table to a file, the same bytes as to stdout; the text escaped.
    const std::string htm = dir.file("texts.htm");
    EXPECT_EQ(run("list " + p + " texts --format htm --out " + htm).status, 0);
    const std::string html = vexana::test::readAll(htm);
    EXPECT_EQ(html, run("list " + p + " texts --format htm").out);
    EXPECT_EQ(html.rfind("<HTML>\r\n<HEAD>\r\n", 0), 0u);
    EXPECT_NE(html.find("<A name=\"all\">all</A>"), std::string::npos);
    EXPECT_NE(html.find("<B>Textname</B>"), std::string::npos);
    EXPECT_NE(html.find(">anna</FONT>"), std::string::npos);
    // Listing changes nothing in the project.
    EXPECT_TRUE(vexana::test::readAll(p) == before);

    EXPECT_EQ(run("list " + p + " words").status, 2);
    EXPECT_EQ(run("list " + p + " texts --format pdf").status, 2);
    EXPECT_EQ(run("list " + p).status, 2);
    const Result help = run("list --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: vexana-cli list PROJECT"), std::string::npos);
    const Result missing = run("list " + p + " texts --out " + dir.file("none/x.txt"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "The list could not be exported to " + dir.file("none/x.txt") +
                               ": the folder does not exist.\n");
}

TEST(Cli, SearchListsCodesAndExportsHits) {
    TempDir dir;
    const std::string p = dir.file("p.vxp");
    ASSERT_EQ(run("new " + p).status, 0);
    vexana::test::writeAll(dir.file("doc.txt"), "#TEXT A\nThe cat sat.\nA dog.\nNo cat here.\n"
                                                "#TEXT B\n#CODE Pets\ndog and Dog\n#ENDCODE\n");
    ASSERT_EQ(run("preprocess " + p + " G " + dir.file("doc.txt")).status, 0);
    const auto quiet = [&](const std::string& args) {
        return run("", "(" + std::string(VEXANA_CLI) + " " + args + " 2>/dev/null)");
    };
    EXPECT_EQ(quiet("search " + p + " cat dog").out,
              "G\\A\tcat\t4\t7\t1\nG\\A\tcat\t23\t26\t3\nG\\A\tdog\t15\t18\t2\n"
              "G\\B\tdog\t0\t3\t1\nG\\B\tdog\t8\t11\t1\n");
    EXPECT_EQ(run("search " + p + " zebra").out, "in 0 Texts\n");
    EXPECT_EQ(quiet("search " + p + " --and --within 1 cat dog").out, "");
    EXPECT_EQ(quiet("search " + p + " --within 2 cat dog").out,
              "G\\A\tcat\t4\t7\t1\nG\\A\tcat\t23\t26\t3\nG\\A\tdog\t15\t18\t2\n");
    EXPECT_EQ(quiet("search " + p + " --case --texts 'G\\B' -- Dog").out, "G\\B\tDog\t8\t11\t1\n");
    // Only active texts and retrieved segments, as 'retrieve' chooses them.
    EXPECT_EQ(quiet("search " + p + " --only-active --texts 'G\\B' -- dog").out,
              "G\\B\tdog\t0\t3\t1\nG\\B\tdog\t8\t11\t1\n");
    EXPECT_EQ(
        quiet("search " + p + " --only-active --only-retrieved --codes Nothing -- dog").status, 1);
    EXPECT_EQ(quiet("search " + p + " --only-active --only-retrieved --codes Pets -- cat").out, "");

    // Settings files: written, read back, refused when they cannot be.
    EXPECT_EQ(
        quiet("search " + p + " --whole-words --save-sea " + dir.file("s.sea") + " cat").status, 0);
    EXPECT_EQ(vexana::test::readAll(dir.file("s.sea")), std::string("0|0|0|1|1|0|0|0|cat") + '\0');
    EXPECT_EQ(quiet("search " + p + " --sea " + dir.file("s.sea") + " dog").out.substr(0, 8),
              "G\\A\tcat\t");
    vexana::test::writeAll(dir.file("junk.sea"), std::string("\xff\x01|9|x|||||||\xfe", 14));
    EXPECT_EQ(run("search " + p + " --sea " + dir.file("junk.sea")).status, 0);
    EXPECT_EQ(run("search " + p + " --sea " + dir.file("none.sea") + " x").status, 1);
    // Ten thousand strings and one of a megabyte, in any script.
    std::string many = "0|0|0|1|1|0|0|0|" + std::string(1 << 20, 'x');
    for (int i = 0; i < 10000; ++i)
        many += "|\xD0\xBA\xD0\xBE\xD1\x82" + std::to_string(i) + "|\xF0\x9F\x90\x88" +
                std::to_string(i);
    vexana::test::writeAll(dir.file("many.sea"), many + '\0');
    const Result huge = quiet("search " + p + " --sea " + dir.file("many.sea") + " cat");
    EXPECT_EQ(huge.status, 0);
    EXPECT_EQ(huge.out.substr(0, 8), "G\\A\tcat\t");

    // Wrong arguments.
    for (const char* bad : {" 'a|b'", "", " --within 0 x", " --within 10001 x", " --bogus x",
                            " --sea", " --function nothing x"})
        EXPECT_EQ(run("search " + p + bad).status, 2) << bad;
    EXPECT_EQ(run("search-code " + p + " Found --weight 0 cat").status, 2);
    EXPECT_EQ(run("search-code " + p + " Found --memos cat").status, 2);

    // Coding: one coding per hit, or merged paragraph ranges; duplicates are not counted.
    EXPECT_EQ(quiet("search-code " + p + " 'Found\\Cat' --weight 40 cat").out,
              "2 Text Segments coded\n");
    EXPECT_EQ(quiet("search-code " + p + " 'Found\\Cat' cat").out, "0 Text Segments coded\n");
    EXPECT_EQ(quiet("search-code " + p + " Around --paragraphs 1 cat").out,
              "1 Text Segments coded\n");
    const std::string codings = run("codings " + p).out;
    EXPECT_NE(codings.find("G\\A\tFound\\Cat\t4\t7\t1\t1\t40\tcat\n"), std::string::npos);
    EXPECT_NE(codings.find("G\\A\tAround\t0\t32\t1\t3\t100\tThe cat sat."), std::string::npos);

    // Export.
    EXPECT_EQ(run("search-export " + p + " " + dir.file("hits.rtf") + " cat").status, 0);
    EXPECT_NE(run("rtf2txt " + dir.file("hits.rtf")).out.find("A (1)"), std::string::npos);
    EXPECT_EQ(run("search-export " + p + " " + dir.file("no/hits.rtf") + " cat").status, 1);

    for (const char* c : {"search --help", "search-code --help", "search-export --help"})
        EXPECT_EQ(run(c).status, 0) << c;
}

TEST(Cli, MemosAreMadeListedPrintedExportedAndDeleted) {
    TempDir dir;
    const std::string p = dir.file("m.vxp");
    vexana::test::writeAll(dir.file("a.txt"), "hello world\nsecond\n");
    vexana::test::writeAll(dir.file("body.txt"), "memo body\nline two\n");
    vexana::test::writeAll(dir.file("bin"), std::string("a\0b", 3));
    ASSERT_EQ(run("new " + p).status, 0);
    ASSERT_EQ(run("import " + p + " G " + dir.file("a.txt")).status, 0);
    ASSERT_EQ(run("code " + p + " 'G\\a' 'A\\B' 0 5").status, 0);

    const Result made = run("memo-new " + p +
                            " --text 'G\\a' --pos 3 --title Idea --author Ann "
                            "--type 4 --body " +
                            dir.file("body.txt") + " --link 'A\\B' --link A");
    EXPECT_EQ(made.status, 0);
    EXPECT_EQ(made.out, "1\n");
    EXPECT_EQ(run("memo-new " + p + " --code 'A\\B'").out, "2\n");
    // Refused, and nothing changes: a second memo for the code, a place outside the text,
    // a body that is no text, a code that does not exist, wrong arguments.
    const Result second = run("memo-new " + p + " --code 'A\\B'");
    EXPECT_EQ(second.status, 1);
    EXPECT_NE(second.out.find("has the memo 2 already"), std::string::npos);
    const Result outside = run("memo-new " + p + " --text 'G\\a' --pos 20");
    EXPECT_EQ(outside.status, 1);
    EXPECT_NE(outside.out.find("lies outside the text G\\a (0 to 19)"), std::string::npos);
    EXPECT_EQ(run("memo-new " + p + " --text 'G\\a' --pos 1 --body " + dir.file("bin")).status, 1);
    EXPECT_EQ(run("memo-new " + p + " --text 'G\\a' --pos 1 --link Nope").status, 1);
    EXPECT_EQ(run("memo-new " + p + " --text 'G\\a'").status, 2);
    EXPECT_EQ(run("memo-new " + p + " --code A --text 'G\\a' --pos 1").status, 2);
    EXPECT_EQ(run("memo-new " + p + " --code A --type 11").status, 2);
    EXPECT_EQ(run("memo " + p + " x").status, 2);

    const Result list = run("memos " + p);
    EXPECT_EQ(list.status, 0);
    const std::string row = list.out.substr(0, list.out.find('\n'));
    EXPECT_EQ(row.rfind("1\ttext\tG\\a\t3\t4\tIdea\tAnn\t", 0), 0u) << row;
    EXPECT_TRUE(row.ends_with("\tA\\B; A\tmemo body line two ")) << row;
    EXPECT_NE(list.out.find("\n2\tcode\tA\\B\t0\t0\tMemo 2\t\t"), std::string::npos);

    const Result shown = run("memo " + p + " 1");
    EXPECT_EQ(shown.status, 0);
    EXPECT_EQ(shown.out.substr(0, 28), "Idea\n\nText\t\tG\\a\nAuthor\t\tAnn\n");
    EXPECT_NE(shown.out.find("\nCodes\tB\n\t\tA\n\nmemo body\nline two\n"), std::string::npos);
    ASSERT_EQ(run("memo " + p + " 1 --rtf " + dir.file("m.rtf")).status, 0);
    EXPECT_EQ(vexana::test::readAll(dir.file("m.rtf")).rfind("{\\rtf", 0), 0u);
    EXPECT_EQ(run("memo " + p + " 1 --rtf " + dir.file("no/such/dir.rtf")).status, 1);

    EXPECT_EQ(run("memo-delete " + p + " 2").status, 0);
    EXPECT_EQ(run("memo-delete " + p + " 2").status, 1);
    EXPECT_EQ(run("memo " + p + " 2").status, 1);
    const Result after = run("memos " + p);
    EXPECT_EQ(std::count(after.out.begin(), after.out.end(), '\n'), 1);
    // The code is free for a memo again.
    EXPECT_EQ(run("memo-new " + p + " --code 'A\\B'").status, 0);
}

TEST(Cli, WordsAndStopLists) {
    TempDir dir;
    const std::string p = dir.file("p.vxp");
    ASSERT_EQ(run("new " + p).status, 0);
    vexana::test::writeAll(dir.file("doc.txt"), "#TEXT A\nHaus, haus. HAUS und Baum\n"
                                                "#TEXT B\nBaum und\u00A0Haus\n");
    ASSERT_EQ(run("preprocess " + p + " G " + dir.file("doc.txt")).status, 0);
    // In the folder, with settings of its own: its StopList.txt is the default stop list.
    const std::string in = "cd " + dir.path() + " && VEXANA_SETTINGS=" + dir.file("s.ini") + " ";
    const auto quiet = [&](const std::string& args) {
        return run("", "(" + in + VEXANA_CLI + " " + args + " 2>/dev/null)");
    };
    EXPECT_EQ(quiet("words p.vxp").out, "haus\t4\t4\t50.00\nbaum\t4\t2\t25.00\nund\t3\t2\t25.00\n");
    EXPECT_EQ(run("", "(" + in + VEXANA_CLI + " words p.vxp 2>&1 >/dev/null)").out,
              "In 2 Texts  (8 Words Total)\n");
    EXPECT_EQ(quiet("words p.vxp --case --only-active --texts 'G\\B'").out,
              "Baum\t4\t1\t33.33\nHaus\t4\t1\t33.33\nund\t3\t1\t33.33\n");
    EXPECT_EQ(quiet("words p.vxp --delimiters ', .'").out,
              "haus\t4\t4\t50.00\nbaum\t4\t2\t25.00\nund\t3\t2\t25.00\n");
    // Only the words of a dictionary; a dictionary that is not there is said.
    vexana::test::writeAll(dir.file("d.vxl"), "Trees\t0\n\tBaum\t0\t0\t0\t0\n");
    EXPECT_EQ(quiet("words p.vxp --only-dictionary d.vxl").out, "baum\t4\t2\t100.00\n");
    EXPECT_EQ(quiet("words p.vxp --only-dictionary none.vxl").status, 1);

    // A stop list made, extended and used; written whole, refused when it cannot be.
    EXPECT_EQ(quiet("stoplist StopList.txt --add UND").out, "und\n");
    EXPECT_EQ(vexana::test::readAll(dir.file("StopList.txt")), "und\r\n");
    vexana::test::writeAll(dir.file("more.txt"), "\xEF\xBB\xBF"
                                                 "baum\rzaun\n");
    EXPECT_EQ(quiet("stoplist StopList.txt --merge more.txt --out both.txt").out,
              "baum\nund\nzaun\n");
    EXPECT_EQ(vexana::test::readAll(dir.file("StopList.txt")), "und\r\n");
    EXPECT_EQ(quiet("words p.vxp").out, "haus\t4\t4\t66.67\nbaum\t4\t2\t33.33\n");
    EXPECT_EQ(quiet("words p.vxp --stoplist both.txt").out, "haus\t4\t4\t100.00\n");
    EXPECT_EQ(quiet("stoplist StopList.txt --add x --out no/such/x.txt").status, 1);
    EXPECT_EQ(quiet("stoplist none.txt").status, 1);
    EXPECT_EQ(quiet("words p.vxp --stoplist none.txt").status, 1);
    EXPECT_EQ(quiet("stoplist StopList.txt --add " + std::string(64, 'x')).status, 2);
    EXPECT_EQ(vexana::test::readAll(dir.file("StopList.txt")), "und\r\n");

    // Wrong arguments.
    for (const char* a :
         {"words", "words p.vxp --texts 'G\\A'", "words p.vxp --frob", "words p.vxp extra",
          "words p.vxp --stoplist", "stoplist", "stoplist a --add"})
        EXPECT_EQ(quiet(a).status, 2) << a;
    EXPECT_EQ(quiet("words none.vxp").status, 1);
    for (const char* c : {"words --help", "stoplist --help"})
        EXPECT_NE(quiet(c).out.find("Usage"), std::string::npos) << c;
}

TEST(Cli, DictionaryAndCoder) {
    TempDir dir;
    const std::string p = dir.file("p.vxp");
    const std::string d = dir.file("d.vxl");
    ASSERT_EQ(run("new " + p).status, 0);
    vexana::test::writeAll(dir.file("a.txt"), "my hand and his handle");
    ASSERT_EQ(run("import " + p + " G " + dir.file("a.txt")).status, 0);
    ASSERT_EQ(run("code " + p + " 'G\\a' Top\\\\A 0 7").status, 0);
    vexana::test::writeAll(d, "Body\t0\n\thand\t0\t0\t0\t1\nNone\t1");
    Result r = run("dictionary " + d);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Body\t0\thand\t0\t0\t0\t1\nNone\t1\t\t\t\t\t\n");

    r = run("coder " + p + " " + d);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "Text Group\tText\tText-ID\tCode\tWords\tBody\nG\ta\t1\t\t5\t2\n");
    r = run("coder " + p + " " + d + " --texts 'G\\a' --codes Top --level 2 --doc " +
            dir.file("doc.rtf"));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "Text Group\tText\tText-ID\tCode\tWords\tBody\nG\ta\t1\tA\t2\t1\n");
    EXPECT_NE(vexana::test::readAll(dir.file("doc.rtf")).find("[1]"), std::string::npos);

    EXPECT_EQ(run("coder " + p + " " + d + " --level 2").status, 2);
    EXPECT_EQ(run("coder " + p + " " + d + " --group G --set S").status, 2);
    EXPECT_EQ(run("coder " + p + " " + d + " --codes Nothing").status, 1);
    EXPECT_EQ(run("coder " + p + " " + dir.file("none.vxl")).status, 1);
    EXPECT_EQ(run("dictionary " + dir.path()).status, 1);
    EXPECT_EQ(run("dictionary").status, 2);
    EXPECT_EQ(run("coder --help").status, 0);
}

TEST(Cli, MatrixAndTreeExports) {
    TempDir dir;
    const std::string p = dir.file("p.vxp");
    ASSERT_EQ(run("new " + p).status, 0);
    vexana::test::writeAll(
        dir.file("doc.txt"),
        "#TEXT Anna\n#CODE Work\nNights.\n#ENDCODE\nThen.\n#CODE Work\nDays.\n"
        "#ENDCODE\n#ENDTEXT\n#TEXT Ben\n#CODE Sleep\nLong.\n#ENDCODE\n#ENDTEXT\n");
    ASSERT_EQ(run("preprocess " + p + " Interviews " + dir.file("doc.txt")).status, 0);
    const std::string all = "Textname\tWork\tSleep\r\nInterviews\\Anna\t2\t0\r\n"
                            "Interviews\\Ben\t0\t1\r\n";
    EXPECT_EQ(run("matrix " + p).out, all);
    // No code is active: every code, as the desktop does without asking.
    EXPECT_EQ(run("matrix " + p + " --active-only").out, all);
    const Result written = run("matrix " + p + " --out " + dir.file("m.txt"));
    EXPECT_EQ(written.status, 0);
    EXPECT_EQ(written.out, "");
    EXPECT_EQ(vexana::test::readAll(dir.file("m.txt")), all);
    const Result nowhere = run("matrix " + p + " --out " + dir.file("gone/m.txt"));
    EXPECT_EQ(nowhere.status, 1);
    EXPECT_NE(nowhere.out.find("cannot be written: the folder does not exist"), std::string::npos);
    EXPECT_EQ(run("matrix " + p + " --out").status, 2);
    EXPECT_EQ(run("matrix " + p + " --rows").status, 2);

    EXPECT_EQ(run("export " + p + " documents " + dir.file("d.rtf")).status, 0);
    EXPECT_EQ(run("export " + p + " codes " + dir.file("c.rtf")).status, 0);
    const std::string d = vexana::test::readAll(dir.file("d.rtf"));
    const std::string c = vexana::test::readAll(dir.file("c.rtf"));
    EXPECT_EQ(d.rfind("{\\rtf", 0), 0u);
    EXPECT_NE(d.find("Anna (2)"), std::string::npos);
    EXPECT_LT(c.find("Work (2)"), c.find("Sleep (1)"));
    EXPECT_EQ(run("export " + p + " memos " + dir.file("x.rtf")).status, 2);
    EXPECT_EQ(run("export " + p + " codes " + dir.file("gone/x.rtf")).status, 1);
    EXPECT_EQ(run("export " + dir.file("none.vxp") + " codes " + dir.file("x.rtf")).status, 1);
    for (const char* h : {"matrix --help", "export --help"})
        EXPECT_EQ(run(h).status, 0) << h;
}

TEST(Cli, ImportReadsDocumentFormatsAndRefusesBadOnesWithoutATrace) {
    TempDir dir;
    const std::string p = dir.file("p.vxp");
    ASSERT_EQ(run("new " + p).status, 0);
    vexana::test::writeAll(dir.file("fake.docx"), "plain words");
    vexana::test::writeAll(dir.file("scan.pdf"), "%PDF-1.4\n%%EOF\n");
    const std::string before = run("info " + p).out;
    const Result refused =
        run("import " + p + " Fresh " + dir.file("fake.docx") + " " + dir.file("scan.pdf"));
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("fake.docx  is not a Word document (it is not a ZIP archive)"),
              std::string::npos)
        << refused.out;
    EXPECT_NE(refused.out.find("scan.pdf  is a damaged PDF document"), std::string::npos);
    EXPECT_NE(refused.out.find("Nothing was imported into Fresh."), std::string::npos);
    EXPECT_EQ(run("info " + p).out, before); // the group made for them is not kept

    vexana::test::writeAll(dir.file("notes.md"), "# Notes\n\nSome *words*.\n");
    vexana::test::writeAll(dir.file("page.htm"), "<p>a <b>b</b><table><tr><td>x<td>y</table>");
    const Result imported =
        run("import " + p + " Docs " + dir.file("notes.md") + " " + dir.file("page.htm"));
    EXPECT_EQ(imported.status, 0) << imported.out;
    EXPECT_EQ(imported.out, "Imported 2 texts into Docs\n");
    EXPECT_EQ(run("text " + p + " 'Docs\\notes'").out, "Notes\nSome words.\n");
    EXPECT_EQ(run("text " + p + " 'Docs\\page'").out, "a b\nx\ty\t\n");
    // Into a group that exists: nothing written at all.
    const std::string untouched = vexana::test::readAll(p);
    EXPECT_EQ(run("import " + p + " Docs " + dir.file("fake.docx")).status, 1);
    EXPECT_TRUE(vexana::test::readAll(p) == untouched);
}

TEST(Cli, ProjectInfoPrintsTheSheetsRows) {
    TempDir dir;
    const std::string p = "'" + dir.file("p.vxp") + "'";
    vexana::test::writeAll(dir.file("a.txt"), "I work at night.\n");
    ASSERT_EQ(run("new " + p).status, 0);
    ASSERT_EQ(run("import " + p + " G '" + dir.file("a.txt") + "'").status, 0);
    ASSERT_EQ(run("code " + p + " 'G\\a' Work 0 6").status, 0);
    const Result info = run("project-info " + p);
    EXPECT_EQ(info.status, 0);
    EXPECT_EQ(info.out, "Text Groups\t1\nTexts\t1\nVariables\t0\nSets\t0\nLinks\t0\nCodes\t1\n"
                        "Coded Segments\t1\nMemos\t0\n");
    EXPECT_EQ(run("project-info").status, 2);
    EXPECT_EQ(run("project-info " + dir.file("none.vxp")).status, 1);
    EXPECT_EQ(run("project-info --help").out.rfind("Usage: vexana-cli project-info", 0), 0u);
}

TEST(Cli, MergeAndExchangePrintTheirCountsAsRows) {
    TempDir dir;
    const std::string p = dir.file("p.vxp"), copy = dir.file("copy.vxp");
    ASSERT_EQ(run("demo " + p).status, 0);
    vexana::test::writeAll(copy, vexana::test::readAll(p));
    const Result merged = run("merge " + p + " " + copy);
    EXPECT_EQ(merged.status, 0) << merged.out;
    EXPECT_EQ(merged.out, "groups\t2\ntexts\t7\nsets\t1\nlinks\t2\nmemos\t0\ncodings\t21\n"
                          "codes created\t0\nvariables created\t0\n");
    EXPECT_EQ(run("merge " + p + " " + p).status, 1);
    const Result exported =
        run("exchange-export " + copy + " 'Interviews\\Anna' " + dir.file("anna"));
    EXPECT_EQ(exported.status, 0) << exported.out;
    // The merge made two texts of that name: no command guesses which one is meant.
    const Result ambiguous =
        run("exchange-import " + p + " 'Interviews\\Anna' " + dir.file("anna.vxe"));
    EXPECT_EQ(ambiguous.status, 1);
    EXPECT_NE(ambiguous.out.find("The name Interviews\\Anna stands for 2 texts"), std::string::npos)
        << ambiguous.out;
    vexana::test::writeAll(p, vexana::test::readAll(copy));
    const Result imported =
        run("exchange-import " + p + " 'Interviews\\Anna' " + dir.file("anna.vxe"));
    EXPECT_EQ(imported.status, 0) << imported.out;
    EXPECT_EQ(imported.out, "codes\t0\t6\nmemos\t0\t0\ncodings\t0\t3\nvariables\t0\t4\n");
    const Result other =
        run("exchange-import " + p + " 'Interviews\\Bernd' " + dir.file("anna.vxe"));
    EXPECT_EQ(other.status, 1);
    EXPECT_NE(other.out.find("not of \"Bernd\""), std::string::npos);
    EXPECT_EQ(run("codesystem-export " + p + " " + dir.file("codes")).status, 0);
    ASSERT_EQ(run("new " + dir.file("fresh.vxp")).status, 0);
    const Result codes =
        run("codesystem-import " + dir.file("fresh.vxp") + " " + dir.file("codes.vxt"));
    EXPECT_EQ(codes.status, 0) << codes.out;
    EXPECT_EQ(codes.out.substr(0, codes.out.find('\n')), "codes\t12\t0");
    for (const char* c : {"merge", "exchange-export", "exchange-import", "codesystem-export",
                          "codesystem-import"}) {
        const Result help = run(std::string(c) + " --help");
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind("Usage: vexana-cli " + std::string(c), 0), 0u) << c;
    }
}
