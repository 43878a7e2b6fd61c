#include "../analysis/ProjectFixture.h"
#include "ProjectSession.h"
#include "analysis/MemoOperations.h"
#include "exchange/RefiExport.h"
#include "exchange/RefiImport.h"
#include "exchange/ZipArchive.h"
#include "exchange/ZipWriter.h"
#include "platform/Files.h"
#include "variables/Variables.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <map>
#include <set>

using namespace vexana;
using namespace vexana::store;
using exchange::PositionMode;
using exchange::RefiImportReport;

namespace {

std::string plainOf(TopicStore& s, int topic, std::int32_t id, int field) {
    RecordCursor c;
    if (!s.GetRecord(topic, id, c, true)) return "<none>";
    const auto& b = c.block(field);
    return platform::RichText::fromRtf(std::string(b.begin(), b.end())).plainText();
}

// Everything the exchange carries, named by paths instead of ids, so two projects compare.
std::string snapshot(CVexDoc& doc) {
    TopicStore& s = doc.store();
    std::set<std::string> lines;
    for (std::int32_t t : s.ListIds(TopicId::Texts))
        lines.insert("text " + s.GetName(TopicId::Texts, t, true) + " = " +
                     plainOf(s, TopicId::Texts, t, TextField::Body));
    for (std::int32_t c : s.ListIds(TopicId::Codes))
        lines.insert("code " + s.GetName(TopicId::Codes, c, true) + " colour " +
                     std::to_string(s.GetInt(TopicId::Codes, c, CodeField::Type)));
    for (std::int32_t k : s.ListIds(TopicId::Codings))
        lines.insert(
            "coding " +
            s.GetName(TopicId::Texts, s.GetInt(TopicId::Codings, k, CodingField::Text), true) +
            " " +
            s.GetName(TopicId::Codes, s.GetInt(TopicId::Codings, k, CodingField::Code), true) +
            " " + std::to_string(s.GetInt(TopicId::Codings, k, CodingField::StartChar)) + "-" +
            std::to_string(s.GetInt(TopicId::Codings, k, CodingField::FinishChar)));
    for (std::int32_t m : s.ListIds(TopicId::Memos)) {
        const std::int32_t text = s.GetInt(TopicId::Memos, m, MemoField::Text);
        const std::int32_t code = s.GetInt(TopicId::Memos, m, MemoField::Code);
        lines.insert("memo " +
                     (text ? s.GetName(TopicId::Texts, text, true) + "@" +
                                 std::to_string(s.GetInt(TopicId::Memos, m, MemoField::Pos))
                           : "code " + s.GetName(TopicId::Codes, code, true)) +
                     " " + s.GetText(TopicId::Memos, m, MemoField::Title) + " by " +
                     s.GetText(TopicId::Memos, m, MemoField::Author) + ": " +
                     plainOf(s, TopicId::Memos, m, MemoField::Body));
    }
    variables::Variables vars(doc);
    for (int f : vars.List())
        for (std::int32_t t : s.ListIds(TopicId::Texts))
            lines.insert("value " + s.GetField(TopicId::Texts, f)->name + " " +
                         std::to_string(s.GetField(TopicId::Texts, f)->type) + " " +
                         s.GetName(TopicId::Texts, t, true) + " = " + vars.ValueText(t, f));
    for (std::int32_t set : s.ListIds(TopicId::TextSets)) {
        std::set<std::string> members;
        for (std::int32_t l : s.FindIds(TopicId::TextLinks, TopicId::TextSets, set))
            members.insert(
                s.GetName(TopicId::Texts, s.GetInt(TopicId::TextLinks, l, LinkField::Text), true));
        std::string line = "set " + s.GetText(TopicId::TextSets, set, GroupField::Name) + ":";
        for (const auto& m : members)
            line += " " + m;
        lines.insert(line);
    }
    std::string out;
    for (const auto& l : lines)
        out += l + "\n";
    return out;
}

std::string snapshot(const std::string& path) {
    test::ScriptedUserInterface ui;
    RecentProjects recent;
    CVexDoc doc(ui, recent);
    if (!doc.OpenPath(path, false)) return "<cannot open>";
    return snapshot(doc);
}

bool validates(const std::string& file, const std::string& schema) {
    const std::string cmd = "xmllint --noout --nonet --schema '" VEXANA_TEST_DATA "/refi/" +
                            schema + "' '" + file + "' >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

std::string member(const std::string& zipPath, const std::string& name) {
    std::string error;
    auto zip = exchange::ZipArchive::open(zipPath, error);
    if (!zip) return "<" + error + ">";
    auto bytes = zip->read(name, 1 << 26, error);
    return bytes ? *bytes : "<" + error + ">";
}

void writeZip(const std::string& path,
              const std::vector<std::pair<std::string, std::string>>& members) {
    exchange::ZipWriter zip;
    for (const auto& [n, d] : members)
        zip.add(n, d);
    std::string bytes, error;
    ASSERT_TRUE(zip.build(bytes, error)) << error;
    test::writeAll(path, bytes);
}

int filesIn(const std::string& dir) {
    int n = 0;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d))
            n += e->d_name[0] != '.';
        ::closedir(d);
    }
    return n;
}

class Refi : public test::ProjectFixture {};

} // namespace

TEST_F(Refi, ProjectRoundTripKeepsTextsCodesCodingsMemosVariablesAndSets) {
    const std::int32_t interviews = docs().NewTextGroup();
    ASSERT_TRUE(docs().RenameObject(TopicId::TextGroups, interviews, "Interviews"));
    const std::int32_t notes = docs().NewTextGroup();
    ASSERT_TRUE(docs().RenameObject(TopicId::TextGroups, notes, "Notes"));
    // Several scripts, characters beyond the BMP, paragraphs, a tab.
    const std::int32_t a =
        text(interviews, "Ayşe", "Grüße aus İzmir 😀 und 𝄞 Musik.\nZweiter\tAbsatz.");
    const std::int32_t b = text(interviews, "Li", "我们在北京见面。🐉 龍\n第二段");
    const std::int32_t c = text(notes, "Field", "مرحبا بالعالم\nПривет, мир! \"<&>\"");
    // Formatted text travels as RTF beside its plain form.
    const std::int32_t d =
        docs().CreateTextWith(notes, "Bold", "{\\rtf1\\ansi Plain {\\b bold} end.\\par}");
    ASSERT_TRUE(d);
    const std::int32_t top = codes().FindCodeByPath(0, "Themes\\Family\\Children", true);
    const std::int32_t family = codes().FindCodeByPath(0, "Themes\\Family", true);
    const std::int32_t place = codes().FindCodeByPath(0, "Place", true);
    ASSERT_TRUE(top && family && place);
    ASSERT_TRUE(codes().SetCodeColour(place, 3));
    ASSERT_TRUE(code(a, top, 16, 25));   // across both astral characters
    ASSERT_TRUE(code(a, place, 10, 20)); // overlapping
    ASSERT_TRUE(code(a, family, 0, 40)); // across the paragraph end
    ASSERT_TRUE(code(b, place, 3, 5));
    ASSERT_TRUE(code(b, top, 8, 12));
    ASSERT_TRUE(code(c, family, 0, 5));
    analysis::MemoOperations memos(*ws);
    const std::int32_t m1 = memos.NewTextMemo(a, 18);
    analysis::Memo memo;
    ASSERT_TRUE(memos.Load(m1, memo));
    memo.title = "Emoji";
    memo.author = "Zoë";
    memo.body = platform::RichText::fromPlain("Why 😀 here?\nSecond line");
    ASSERT_TRUE(memos.Save(memo));
    const std::int32_t m2 = memos.CodeMemo(family);
    ASSERT_TRUE(memos.Load(m2, memo));
    memo.title = "About family";
    memo.author = "Ben";
    memo.body = platform::RichText::fromPlain("Everything about kin.");
    ASSERT_TRUE(memos.Save(memo));
    variables::Variables vars(doc);
    const int age = vars.Add("Age", TypeInteger), city = vars.Add("City", TypeString),
              score = vars.Add("Score", TypeFloat), when = vars.Add("When", TypeDateTime),
              kids = vars.Add("Kids", TypeBoolean);
    ASSERT_TRUE(age > 0 && city > 0 && score > 0 && when > 0 && kids > 0);
    ASSERT_TRUE(vars.SetValue(a, age, "34") && vars.SetValue(a, city, "İzmir") &&
                vars.SetValue(a, score, "2.5") && vars.SetValue(a, when, "2024-03-14") &&
                vars.SetValue(a, kids, "1") && vars.SetValue(b, age, "51"));
    const std::int32_t set = docs().NewSet(false);
    ASSERT_TRUE(docs().RenameObject(TopicId::TextSets, set, "Chosen"));
    ASSERT_TRUE(docs().AddTextToSet(set, a) && docs().AddTextToSet(set, c));

    exchange::RefiCounts counts;
    const std::string qdpx = dir.file("out.qdpx");
    ASSERT_TRUE(exchange::RefiExport(*ws).ExportProject(qdpx, &counts));
    EXPECT_EQ(counts.sources, 4);
    EXPECT_EQ(counts.codes, 4);
    EXPECT_EQ(counts.selections, 7);
    EXPECT_EQ(counts.notes, 2);
    EXPECT_EQ(counts.variables, 5);
    EXPECT_EQ(counts.sets, 3);
    const std::string qde = member(qdpx, "project.qde");
    test::writeAll(dir.file("project.qde"), qde);
    EXPECT_TRUE(validates(dir.file("project.qde"), "Project.xsd"));
    // Positions count code points of a UTF-8 file with one line end per paragraph.
    EXPECT_NE(qde.find("startPosition=\"16\" endPosition=\"25\""), std::string::npos);
    EXPECT_EQ(qde.find(dir.path()), std::string::npos); // no path of this machine
    EXPECT_EQ(qde.find("basePath"), std::string::npos);
    // Exporting again gives the same GUIDs (the same file).
    ASSERT_TRUE(exchange::RefiExport(*ws).ExportProject(dir.file("again.qdpx")));
    EXPECT_EQ(member(dir.file("again.qdpx"), "project.qde"), qde);
    const std::string before = snapshot(doc);

    RefiImportReport report;
    test::ScriptedUserInterface ui2;
    ASSERT_TRUE(
        exchange::ImportRefiProject(qdpx, dir.file("back.vxp"), PositionMode::Auto, ui2, report))
        << (ui2.messages.empty() ? "" : ui2.messages[0].text);
    EXPECT_EQ(report.positions, PositionMode::CodePoints);
    EXPECT_TRUE(report.notCarried.empty()) << report.notCarried.front();
    EXPECT_EQ(report.counts.sources, 4);
    {
        test::ProjectSession back;
        ASSERT_TRUE(back.open(dir.file("back.vxp")));
        const std::int32_t bold = back.docs().FindText("Notes\\Bold");
        RecordCursor c;
        ASSERT_TRUE(back.doc.store().GetRecord(TopicId::Texts, bold, c, true));
        const auto& b = c.block(TextField::Body);
        const platform::RichText body =
            platform::RichText::fromRtf(std::string(b.begin(), b.end()));
        EXPECT_TRUE(body.charFormatAt(7).bold);
        EXPECT_FALSE(body.charFormatAt(1).bold);
    }
    EXPECT_EQ(report.counts.codes, 4);
    EXPECT_EQ(report.counts.selections, 7);
    EXPECT_EQ(report.counts.notes, 2);
    EXPECT_NE(before.find("coding Interviews\\Ayşe Themes\\Family\\Children 16-25"),
              std::string::npos);
    EXPECT_EQ(snapshot(dir.file("back.vxp")), before);

    // The codebook: valid, and read into another project it finds codes by path.
    ASSERT_TRUE(exchange::RefiExport(*ws).ExportCodebook(dir.file("book.qdc"), &counts));
    EXPECT_EQ(counts.codes, 4);
    EXPECT_TRUE(validates(dir.file("book.qdc"), "Codebook.xsd"));
    const std::string qdc = test::readAll(dir.file("book.qdc"));
    EXPECT_NE(qdc.find("<Description>Everything about kin.</Description>"), std::string::npos);
    test::ProjectSession other;
    ASSERT_TRUE(other.open(dir.file("other.vxp")));
    const std::int32_t existing = other.ws->codes().FindCodeByPath(0, "THEMES\\family", true);
    ASSERT_TRUE(existing);
    ASSERT_TRUE(exchange::ImportCodebook(*other.ws, dir.file("book.qdc"), report));
    EXPECT_EQ(report.counts.codes, 2); // Children and Place; Themes and Family were there
    EXPECT_EQ(other.ws->codes().FindCodeByPath(0, "THEMES\\family\\Children", false),
              other.ws->codes().Children(existing).front());
    const std::int32_t placed = other.ws->codes().FindCodeByPath(0, "Place", false);
    EXPECT_EQ(analysis::CodeSystem::Colour(
                  other.doc.store().GetInt(TopicId::Codes, placed, CodeField::Type)),
              3);
    EXPECT_EQ(other.doc.store().RecordCount(TopicId::Memos), 0); // Family kept its own (none)
    // One step of the history.
    EXPECT_EQ(other.doc.undoText(), "Undo Import Codebook");
}

TEST_F(Refi, FilesOfOtherToolsWithTheirVariantsAndUtf16Positions) {
    // A BOM, CR LF, and a character beyond the BMP before the selections; positions counted
    // in UTF-16 code units; another .qde name, "Sources/", a path without "internal://",
    // GUIDs in braces and in lower case.
    const std::string text = "\xEF\xBB\xBF"
                             "Hi 😀 there\r\nsecond 𝄞 line";
    // UTF-16: "Hi " 0-3, 😀 3-5, " there" 5-11, CR LF 11-13, "second " 13-20, 𝄞 20-22, " line".
    const std::string qde = R"(<?xml version="1.0" encoding="utf-8"?>
<Project xmlns="urn:QDA-XML:project:1.0" name="Study" origin="Another tool" basePath="C:\Users\x">
<Users><User guid="{aaaaaaaa-0000-4000-8000-000000000001}" name="Kim"/></Users>
<CodeBook><Codes>
 <Code guid="{AAAAAAAA-0000-4000-8000-000000000010}" name="A very long code name that VEXANA must cut short" isCodable="true" color="#A40000">
  <Description>Long one</Description>
  <Code guid="aaaaaaaa-0000-4000-8000-000000000011" name="Child\Slash" isCodable="true" color="#00f"/>
 </Code>
</Codes></CodeBook>
<Variables><Variable guid="aaaaaaaa-0000-4000-8000-000000000020" name="Age" typeOfVariable="Integer"/>
 <Variable guid="aaaaaaaa-0000-4000-8000-000000000021" name="Textname" typeOfVariable="Text"/></Variables>
<Cases><Case guid="aaaaaaaa-0000-4000-8000-000000000030" name="Person 1">
 <VariableValue><VariableRef targetGUID="aaaaaaaa-0000-4000-8000-000000000020"/><IntegerValue>41</IntegerValue></VariableValue>
 <SourceRef targetGUID="aaaaaaaa-0000-4000-8000-000000000040"/></Case></Cases>
<Sources>
 <TextSource guid="aaaaaaaa-0000-4000-8000-000000000040" name="Interview" plainTextPath="one.txt">
  <PlainTextSelection guid="aaaaaaaa-0000-4000-8000-000000000041" name="there" startPosition="6" endPosition="11">
   <Coding guid="aaaaaaaa-0000-4000-8000-000000000042"><CodeRef targetGUID="{AAAAAAAA-0000-4000-8000-000000000010}"/></Coding>
  </PlainTextSelection>
  <PlainTextSelection guid="aaaaaaaa-0000-4000-8000-000000000043" name="line" startPosition="23" endPosition="27">
   <Coding guid="aaaaaaaa-0000-4000-8000-000000000044"><CodeRef targetGUID="aaaaaaaa-0000-4000-8000-000000000011"/></Coding>
   <NoteRef targetGUID="aaaaaaaa-0000-4000-8000-000000000050"/>
  </PlainTextSelection>
  <PlainTextSelection guid="aaaaaaaa-0000-4000-8000-000000000045" startPosition="9" endPosition="15">
   <Coding guid="aaaaaaaa-0000-4000-8000-000000000046"><CodeRef targetGUID="aaaaaaaa-0000-4000-8000-000000000011"/></Coding>
  </PlainTextSelection>
 </TextSource>
 <TextSource guid="aaaaaaaa-0000-4000-8000-000000000047" name="Inline"><PlainTextContent>Just words</PlainTextContent></TextSource>
 <PictureSource guid="aaaaaaaa-0000-4000-8000-000000000048" name="Photo" path="internal://p.jpg"/>
</Sources>
<Notes>
 <Note guid="aaaaaaaa-0000-4000-8000-000000000050" name="On the line" creatingUser="AAAAAAAA-0000-4000-8000-000000000001"><PlainTextContent>A note</PlainTextContent></Note>
 <Note guid="aaaaaaaa-0000-4000-8000-000000000051" name="Loose"><PlainTextContent>Nobody's</PlainTextContent></Note>
</Notes>
<Links><Link guid="aaaaaaaa-0000-4000-8000-000000000060" originGUID="aaaaaaaa-0000-4000-8000-000000000040" targetGUID="aaaaaaaa-0000-4000-8000-000000000047"/></Links>
<Sets><Set guid="aaaaaaaa-0000-4000-8000-000000000070" name="Mine"><MemberSource targetGUID="aaaaaaaa-0000-4000-8000-000000000047"/><MemberCode targetGUID="aaaaaaaa-0000-4000-8000-000000000011"/></Set></Sets>
</Project>)";
    const std::string qdpx = dir.file("tool.qdpx");
    writeZip(qdpx, {{"Study.qde", qde}, {"Sources/one.txt", text}});

    RefiImportReport report;
    ASSERT_TRUE(
        exchange::ImportRefiProject(qdpx, dir.file("a.vxp"), PositionMode::Auto, ui, report))
        << ui.messages.front().text;
    EXPECT_EQ(report.positions, PositionMode::Utf16);
    EXPECT_EQ(report.counts.sources, 2);
    EXPECT_EQ(report.counts.codes, 2);
    EXPECT_EQ(report.counts.selections, 3);
    const std::string snap = snapshot(dir.file("a.vxp"));
    // Plain form: "Hi 😀 there\rsecond 𝄞 line": "there" 5-10, "line" 20-24, "re\rse" 8-13.
    EXPECT_NE(snap.find("coding Study\\Interview A very long code name that 5-10"),
              std::string::npos)
        << snap;
    EXPECT_NE(snap.find("coding Study\\Interview A very long code name that\\Child/Slash 20-24"),
              std::string::npos);
    EXPECT_NE(snap.find("Child/Slash 8-13"), std::string::npos);
    EXPECT_NE(snap.find("memo Study\\Interview@20 On the line by Kim: A note"), std::string::npos);
    EXPECT_NE(snap.find("memo code A very long code name that A very long code name that VEXANA "
                        "must cut short by : Long one"),
              std::string::npos);
    EXPECT_NE(snap.find("code A very long code name that colour 3"), std::string::npos);
    EXPECT_NE(snap.find("value Age 1 Study\\Interview = 41"), std::string::npos); // from the case
    EXPECT_NE(snap.find("set Mine: Study\\Inline"), std::string::npos);
    EXPECT_NE(snap.find("set Person 1: Study\\Interview"), std::string::npos);
    EXPECT_NE(snap.find("value Variable 1 Textname 2"), std::string::npos);
    std::string all;
    for (const auto& l : report.notCarried)
        all += l + "\n";
    for (const char* expected :
         {"PictureSource \"Photo\"", "1 links between objects", "Set \"Mine\": 1 member codes",
          "Note \"Loose\"", "code names shortened", "The variable \"Textname\" is called"})
        EXPECT_NE(all.find(expected), std::string::npos) << expected << " in\n" << all;

    // Counted as code points instead, the last selection would end past the text: the
    // override is taken as said and the file refused.
    EXPECT_FALSE(
        exchange::ImportRefiProject(qdpx, dir.file("b.vxp"), PositionMode::CodePoints, ui, report));
    EXPECT_NE(ui.messages.back().text.find("(23 to 27) lies outside its text of 25 code points"),
              std::string::npos)
        << ui.messages.back().text;
    EXPECT_FALSE(platform::fileExists(dir.file("b.vxp")));
}

TEST_F(Refi, BadFilesAreRefusedWithAClearMessageAndLeaveNothing) {
    const std::string head =
        R"(<?xml version="1.0"?><Project xmlns="urn:QDA-XML:project:1.0" name="x">)";
    const std::string code =
        R"(<CodeBook><Codes><Code guid="00000000-0000-4000-8000-000000000001" name="C" isCodable="true"/></Codes></CodeBook>)";
    auto source = [](const std::string& selections) {
        return R"(<Sources><TextSource guid="00000000-0000-4000-8000-000000000002" name="S" plainTextPath="internal://s.txt">)" +
               selections + "</TextSource></Sources>";
    };
    auto sel = [](int a, int b) {
        return R"(<PlainTextSelection guid="00000000-0000-4000-8000-000000000003" startPosition=")" +
               std::to_string(a) + "\" endPosition=\"" + std::to_string(b) +
               R"("><Coding guid="00000000-0000-4000-8000-000000000004"><CodeRef targetGUID="00000000-0000-4000-8000-000000000001"/></Coding></PlainTextSelection>)";
    };
    const std::string good = head + code + source(sel(0, 4)) + "</Project>";
    const std::string laughs =
        R"(<?xml version="1.0"?><!DOCTYPE Project [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;"><!ENTITY c "&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;">]><Project name="&c;"/>)";
    const std::string external =
        R"(<?xml version="1.0"?><!DOCTYPE Project [<!ENTITY e SYSTEM "file:///etc/passwd">]><Project name="&e;"/>)";
    const std::string cycle =
        head +
        R"(<CodeBook><Codes><Code guid="00000000-0000-4000-8000-000000000001" name="A" isCodable="true"><Code guid="{00000000-0000-4000-8000-000000000001}" name="B" isCodable="true"/></Code></Codes></CodeBook></Project>)";
    const std::string twice =
        head + code +
        R"(<Variables><Variable guid="00000000-0000-4000-8000-000000000001" name="V" typeOfVariable="Text"/></Variables></Project>)";
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> members;
        const char* message;
    };
    const std::string bomb(70u << 20, 'a');
    const std::vector<Case> cases = {
        {"no qde", {{"sources/s.txt", "text"}}, "holds no project (.qde) file"},
        {"traversal",
         {{"project.qde", good}, {"../s.txt", "text"}},
         "cannot be read as a REFI-QDA project"},
        {"not well-formed",
         {{"project.qde", head + "<Sources>"}, {"sources/s.txt", "text"}},
         "is not well-formed XML"},
        {"billion laughs", {{"project.qde", laughs}}, "declares entities"},
        {"external entity", {{"project.qde", external}}, "declares entities"},
        {"outside",
         {{"project.qde", head + code + source(sel(2, 9)) + "</Project>"},
          {"sources/s.txt", "text"}},
         "lies outside its text of 4 code points"},
        {"reversed",
         {{"project.qde", head + code + source(sel(3, 1)) + "</Project>"},
          {"sources/s.txt", "text"}},
         "ends (1) before it starts (3)"},
        {"cycle", {{"project.qde", cycle}}, "contains itself"},
        {"duplicate", {{"project.qde", twice}}, "names two things (Code and Variable)"},
        {"not utf-8", {{"project.qde", good}, {"sources/s.txt", "caf\xE9"}}, "is not UTF-8 text"},
        {"bomb", {{"project.qde", good}, {"sources/s.txt", bomb}}, "cannot be read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir d;
        writeZip(d.file("in.qdpx"), c.members);
        test::ScriptedUserInterface u;
        RefiImportReport report;
        EXPECT_FALSE(exchange::ImportRefiProject(d.file("in.qdpx"), d.file("new.vxp"),
                                                 PositionMode::Auto, u, report));
        ASSERT_EQ(u.messages.size(), 1u);
        EXPECT_NE(u.messages[0].text.find(c.message), std::string::npos) << u.messages[0].text;
        EXPECT_NE(u.messages[0].text.find("Nothing was imported."), std::string::npos);
        EXPECT_EQ(u.messages[0].icon, MessageIcon::Stop);
        EXPECT_EQ(filesIn(d.path()), 1); // the input alone
    }
    // Not a ZIP at all, and a project that exists already.
    test::writeAll(dir.file("junk.qdpx"), "<Project/>");
    RefiImportReport report;
    EXPECT_FALSE(exchange::ImportRefiProject(dir.file("junk.qdpx"), dir.file("n.vxp"),
                                             PositionMode::Auto, ui, report));
    EXPECT_NE(ui.messages.back().text.find("cannot be read as a REFI-QDA project"),
              std::string::npos);
    writeZip(dir.file("good.qdpx"), {{"project.qde", good}, {"sources/s.txt", "text"}});
    EXPECT_FALSE(exchange::ImportRefiProject(dir.file("good.qdpx"), dir.file("p.vxp"),
                                             PositionMode::Auto, ui, report));
    EXPECT_EQ(ui.messages.back().text, "The project " + dir.file("p.vxp") + " exists already.");
    EXPECT_TRUE(exchange::ImportRefiProject(dir.file("good.qdpx"), dir.file("n.vxp"),
                                            PositionMode::Auto, ui, report));
    // The fuzz targets' checks say the same.
    EXPECT_NE(exchange::CheckRefiProjectXml(cycle).find("contains itself"), std::string::npos);
    EXPECT_EQ(exchange::CheckRefiProjectXml(good), "");
    EXPECT_NE(exchange::CheckCodebookXml(laughs).find("declares entities"), std::string::npos);
}

TEST_F(Refi, CodebooksOfOtherToolsAndHundredThousandCodes) {
    // An empty <Sets/> (as some tools write it) is taken; code sets are reported.
    std::string qdc =
        R"(<?xml version="1.0" encoding="utf-8"?><CodeBook xmlns="urn:QDA-XML:codebook:1.0"><Codes>)";
    for (int i = 0; i < 100000; ++i) {
        char guid[40];
        std::snprintf(guid, sizeof guid, "00000000-0000-4000-8000-%012d", i);
        qdc += std::string("<Code guid=\"") + guid + "\" name=\"C" + std::to_string(i) +
               "\" isCodable=\"true\"/>";
    }
    qdc += R"(</Codes><Sets/></CodeBook>)";
    test::writeAll(dir.file("big.qdc"), qdc);
    RefiImportReport report;
    ASSERT_TRUE(exchange::ImportCodebook(*ws, dir.file("big.qdc"), report));
    EXPECT_EQ(report.counts.codes, 100000);
    EXPECT_EQ(count(TopicId::Codes), 100000);
    // Again: codes are found by path, ignoring case, and only the missing one is made.
    test::writeAll(
        dir.file("small.qdc"),
        R"(<CodeBook xmlns="urn:QDA-XML:codebook:1.0"><Codes><Code guid="10000000-0000-4000-8000-000000000000" name="c99999" isCodable="true"><Code guid="10000000-0000-4000-8000-000000000001" name="Below" isCodable="true" color="#0000ff"/></Code></Codes></CodeBook>)");
    ASSERT_TRUE(exchange::ImportCodebook(*ws, dir.file("small.qdc"), report));
    EXPECT_EQ(report.counts.codes, 1);
    EXPECT_EQ(report.notCarried.front(), "1 codes were in the project already (kept as they were)");
    EXPECT_EQ(s().GetInt(TopicId::Codes, codes().FindCodeByPath(0, "C99999\\Below", false),
                         CodeField::Type),
              2);
    // A damaged codebook changes nothing.
    test::writeAll(dir.file("bad.qdc"),
                   "<CodeBook><Codes><Code name='x' isCodable='true'/></Codes></CodeBook>");
    EXPECT_FALSE(exchange::ImportCodebook(*ws, dir.file("bad.qdc"), report));
    EXPECT_NE(ui.messages.back().text.find("Code \"x\" has no GUID"), std::string::npos);
    EXPECT_EQ(count(TopicId::Codes), 100001);
}
