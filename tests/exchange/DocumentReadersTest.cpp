#include "exchange/DocumentReaders.h"

#include "../analysis/ProjectFixture.h"
#include "ZipFixture.h"
#include "exchange/TextImport.h"

#include <gtest/gtest.h>

using namespace vexana;
using namespace vexana::exchange;
using platform::RichText;
using vexana::test::makeZip;
using vexana::test::TempDir;

namespace {

// Bold, italic, underline of the character at pos, as "biu" with "-" for each one off.
std::string biu(const RichText& t, std::int32_t pos) {
    const auto f = t.charFormatAt(pos);
    return std::string(f.bold ? "b" : "-") + (f.italic ? "i" : "-") + (f.underline ? "u" : "-");
}
std::string biuOf(const RichText& t, std::string_view word) {
    const std::int32_t at = t.find(word, 0, true);
    return at < 0 ? "missing" : biu(t, at);
}
// Paragraph ends shown as "|", so expectations stay on one line.
std::string shown(const RichText& t) {
    std::string s = t.plainText();
    std::replace(s.begin(), s.end(), '\r', '|');
    return s;
}

const std::string wordNs =
    "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";

std::vector<std::pair<std::string, std::string>> docxParts(const std::string& body,
                                                           const std::string& styles = "") {
    std::vector<std::pair<std::string, std::string>> parts = {
        {"[Content_Types].xml",
         "<?xml version=\"1.0\"?><Types "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>"},
        {"_rels/.rels",
         "<?xml version=\"1.0\"?><Relationships "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
         "Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
         "relationships/officeDocument\" Target=\"word/document.xml\"/></Relationships>"},
        {"word/document.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
                              "<w:document " +
                                  wordNs + "><w:body>" + body + "</w:body></w:document>"}};
    if (!styles.empty())
        parts.emplace_back("word/styles.xml", "<w:styles " + wordNs + ">" + styles + "</w:styles>");
    return parts;
}

const std::string odfNs =
    "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
    "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
    "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
    "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
    "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\"";

std::vector<std::pair<std::string, std::string>> odtParts(const std::string& automatic,
                                                          const std::string& text) {
    return {{"mimetype", "application/vnd.oasis.opendocument.text"},
            {"content.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content " +
                                odfNs + "><office:automatic-styles>" + automatic +
                                "</office:automatic-styles><office:body><office:text>" + text +
                                "</office:text></office:body></office:document-content>"},
            {"styles.xml", "<office:document-styles " + odfNs +
                               "><office:styles><style:style style:name=\"Heading_20_1\" "
                               "style:family=\"paragraph\"><style:text-properties "
                               "fo:font-weight=\"bold\"/></style:style></office:styles>"
                               "</office:document-styles>"}};
}

// A PDF with one page per content stream, its cross-reference table at the right offsets.
std::string makePdf(const std::vector<std::string>& pages, const std::string& trailerExtra = "") {
    std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>", ""};
    std::string kids;
    objects.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    objects.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold >>");
    objects.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /Times-Italic >>");
    for (const std::string& content : pages) {
        const int pageNo = static_cast<int>(objects.size()) + 1;
        kids += std::to_string(pageNo) + " 0 R ";
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << "
                          "/Font << /F1 3 0 R /F2 4 0 R /F3 5 0 R >> >> /Contents " +
                          std::to_string(pageNo + 1) + " 0 R >>");
        objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" +
                          content + "\nendstream");
    }
    objects[1] =
        "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>";
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t off : offsets) {
        char line[32];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", off);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R " +
           trailerExtra + " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

} // namespace

TEST(DocumentReaders, WordDocumentsKeepParagraphsFormatsAndTablesAsRtfDoes) {
    TempDir dir;
    const std::string body =
        "<w:p><w:pPr><w:pStyle w:val=\"Heading1\"/><w:jc w:val=\"center\"/></w:pPr>"
        "<w:r><w:t>Title</w:t></w:r></w:p>"
        "<w:p><w:r><w:t xml:space=\"preserve\">Plain </w:t></w:r>"
        "<w:r><w:rPr><w:b/></w:rPr><w:t>bold</w:t></w:r>"
        "<w:r><w:rPr><w:i/><w:u w:val=\"single\"/></w:rPr><w:t xml:space=\"preserve\"> "
        "both</w:t></w:r>"
        "<w:r><w:rPr><w:b w:val=\"0\"/><w:u w:val=\"none\"/></w:rPr><w:t>off</w:t></w:r>"
        "<w:del><w:r><w:delText>gone</w:delText></w:r></w:del>"
        "<w:ins><w:r><w:t>added</w:t></w:r></w:ins>"
        "<mc:AlternateContent xmlns:mc=\"urn:mc\"><mc:Choice><w:r><w:t>alt</w:t></w:r>"
        "</mc:Choice><mc:Fallback><w:r><w:t>alt</w:t></w:r></mc:Fallback></mc:AlternateContent>"
        "<w:hyperlink><w:r><w:tab/><w:t>link</w:t><w:br/><w:t>\xF0\x9F\x98\x80 next</w:t></w:r>"
        "</w:hyperlink></w:p>"
        "<w:p/>"
        "<w:tbl><w:tblPr/><w:tr><w:tc><w:p><w:r><w:t>A</w:t></w:r></w:p></w:tc>"
        "<w:tc><w:p><w:r><w:t>B1</w:t></w:r></w:p><w:p><w:r><w:t>B2</w:t></w:r></w:p></w:tc></w:tr>"
        "<w:tr><w:tc><w:p/></w:tc><w:tc><w:p><w:r><w:t>D</w:t></w:r></w:p></w:tc></w:tr></w:tbl>"
        "<w:sdt><w:sdtContent><w:p><w:r><w:t>After</w:t></w:r></w:p></w:sdtContent></w:sdt>";
    const std::string styles =
        "<w:docDefaults><w:rPrDefault><w:rPr/></w:rPrDefault></w:docDefaults>"
        "<w:style w:styleId=\"Heading1\"><w:basedOn w:val=\"Loop\"/><w:rPr><w:b/></w:rPr></w:style>"
        "<w:style w:styleId=\"Loop\"><w:basedOn w:val=\"Heading1\"/></w:style>";
    std::string error;
    const auto text = readDocx(makeZip(dir.file("a.docx"), docxParts(body, styles)), error);
    ASSERT_TRUE(text) << error;
    EXPECT_EQ(
        shown(*text),
        "Title|Plain bold bothoffaddedalt\tlink|\xF0\x9F\x98\x80 next||A\tB1|B2\t|\tD\t|After|");
    EXPECT_EQ(biuOf(*text, "Title"), "b--");
    EXPECT_EQ(text->paraFormat(0).align, platform::Align::Center);
    EXPECT_EQ(text->paraFormat(1).align, platform::Align::Left);
    EXPECT_EQ(biuOf(*text, "Plain"), "---");
    EXPECT_EQ(biuOf(*text, "bold"), "b--");
    EXPECT_EQ(biuOf(*text, "both"), "-iu");
    EXPECT_EQ(biuOf(*text, "off"), "---");
    // The table reads as the RTF reader reads the same table.
    const RichText rtf = RichText::fromRtf(
        "{\\rtf1 \\trowd A\\cell B1\\par B2\\cell\\row \\trowd \\cell D\\cell\\row}");
    EXPECT_NE(text->plainText().find(rtf.plainText()), std::string::npos) << shown(rtf);
    // Offsets count code points: the emoji is one character.
    EXPECT_EQ(text->find("next", 0, true) - text->find("\xF0\x9F\x98\x80", 0, true), 2);

    // Where the relationships point elsewhere, that part is the document.
    auto parts = docxParts("<w:p><w:r><w:t>moved</w:t></w:r></w:p>");
    parts[1].second = "<Relationships><Relationship Type=\"x/officeDocument\" "
                      "Target=\"/doc/main.xml\"/></Relationships>";
    parts[2].first = "doc/main.xml";
    const auto moved = readDocx(makeZip(dir.file("m.docx"), parts), error);
    ASSERT_TRUE(moved) << error;
    EXPECT_EQ(shown(*moved), "moved|");
}

TEST(DocumentReaders, BadWordDocumentsAreRefusedWithAReason) {
    TempDir dir;
    std::string error;
    EXPECT_FALSE(readDocx("{\\rtf1 an RTF file named .docx}", error));
    EXPECT_EQ(error, "is not a Word document (it is not a ZIP archive)");
    EXPECT_FALSE(readDocx(std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1\0\0", 10), error));
    EXPECT_EQ(error, "is not a Word document (it is protected by a password, or an older .doc "
                     "file)");
    EXPECT_FALSE(readDocx(makeZip(dir.file("b.docx"), {{"content.xml", "<x/>"}}), error));
    EXPECT_EQ(error, "is not a Word document (it has no word/document.xml)");
    EXPECT_FALSE(
        readDocx(makeZip(dir.file("c.docx"), {{"word/document.xml", "<w:document>"}}), error));
    EXPECT_EQ(error.rfind("can not be read: its word/document.xml is not well-formed XML", 0), 0u)
        << error;
    EXPECT_FALSE(readDocx(makeZip(dir.file("d.docx"), {{"word/document.xml", "<x/>"}}), error));
    EXPECT_EQ(error, "is not a Word document (its word/document.xml holds no document body)");
    auto laughs = docxParts("<w:p><w:r><w:t>&b;</w:t></w:r></w:p>");
    laughs[2].second = "<!DOCTYPE w:document [<!ENTITY a \"aaaa\"><!ENTITY b \"&a;&a;&a;\">]>" +
                       laughs[2].second.substr(laughs[2].second.find("<w:document"));
    EXPECT_FALSE(readDocx(makeZip(dir.file("e.docx"), laughs), error));
    EXPECT_EQ(error, "can not be read: its word/document.xml declares entities, which are not "
                     "accepted");
    auto bomb = docxParts("<w:p/>");
    bomb[2].second += std::string((64u << 20) + 1 - bomb[2].second.size(), ' ');
    EXPECT_FALSE(readDocx(makeZip(dir.file("f.docx"), bomb), error));
    EXPECT_EQ(error, "can not be read: it has a member that unpacks to more than 67108864 "
                     "bytes: \"word/document.xml\"");
    auto traversal = docxParts("<w:p/>");
    traversal.emplace_back("../../evil.sh", "rm -rf ~");
    EXPECT_FALSE(readDocx(makeZip(dir.file("g.docx"), traversal), error));
    EXPECT_EQ(error, "is not a Word document (it holds a member that points outside the "
                     "archive: \"../../evil.sh\")");
}

TEST(DocumentReaders, OpenDocumentTextsKeepStylesSpacesAndTables) {
    TempDir dir;
    const std::string automatic =
        "<style:style style:name=\"T1\" style:family=\"text\"><style:text-properties "
        "fo:font-weight=\"bold\"/></style:style>"
        "<style:style style:name=\"T2\" style:family=\"text\"><style:text-properties "
        "fo:font-style=\"italic\" style:text-underline-style=\"solid\"/></style:style>"
        "<style:style style:name=\"P1\" style:family=\"paragraph\" "
        "style:parent-style-name=\"Heading_20_1\"><style:paragraph-properties "
        "fo:text-align=\"center\"/></style:style>";
    const std::string text =
        "<text:sequence-decls><text:sequence-decl text:name=\"x\"/></text:sequence-decls>"
        "<text:h text:style-name=\"P1\">Heading</text:h>"
        "<text:p>  Plain\n  <text:span text:style-name=\"T1\">bold</text:span> and"
        "<text:s text:c=\"3\"/><text:span text:style-name=\"T2\">under</text:span>"
        "<text:tab/>x<text:line-break/>next<text:note><text:note-citation>1</text:note-citation>"
        "<text:note-body><text:p>footnote</text:p></text:note-body></text:note></text:p>"
        "<text:list><text:list-item><text:p>item</text:p></text:list-item></text:list>"
        "<table:table><table:table-column/><table:table-header-rows><table:table-row>"
        "<table:table-cell><text:p>H1</text:p></table:table-cell><table:table-cell><text:p>H2"
        "</text:p></table:table-cell></table:table-row></table:table-header-rows>"
        "<table:table-row><table:table-cell table:number-columns-spanned=\"2\"><text:p>wide"
        "</text:p><text:p>two</text:p></table:table-cell><table:covered-table-cell/>"
        "</table:table-row></table:table><text:p>end</text:p>";
    std::string error;
    const auto rich = readOdt(makeZip(dir.file("a.odt"), odtParts(automatic, text)), error);
    ASSERT_TRUE(rich) << error;
    EXPECT_EQ(shown(*rich),
              "Heading|Plain bold and   under\tx|next|item|H1\tH2\t|wide|two\t\t|end|");
    EXPECT_EQ(biuOf(*rich, "Heading"), "b--");
    EXPECT_EQ(rich->paraFormat(0).align, platform::Align::Center);
    EXPECT_EQ(biuOf(*rich, "Plain"), "---");
    EXPECT_EQ(biuOf(*rich, "bold"), "b--");
    EXPECT_EQ(biuOf(*rich, "under"), "-iu");

    EXPECT_FALSE(readOdt("PK not really", error));
    EXPECT_EQ(error, "is not an OpenDocument text (it is not a ZIP archive)");
    auto sheet = odtParts("", "");
    sheet[0].second = "application/vnd.oasis.opendocument.spreadsheet";
    EXPECT_FALSE(readOdt(makeZip(dir.file("s.odt"), sheet), error));
    EXPECT_EQ(error, "is not an OpenDocument text (it is "
                     "application/vnd.oasis.opendocument.spreadsheet)");
    EXPECT_FALSE(readOdt(
        makeZip(dir.file("n.odt"), {{"mimetype", "application/vnd.oasis.opendocument.text"}}),
        error));
    EXPECT_EQ(error, "is not an OpenDocument text (it has no content.xml)");
    auto locked = odtParts("", "<text:p>secret</text:p>");
    locked[1].second = "\x8f\x01 encrypted bytes";
    locked.emplace_back(
        "META-INF/manifest.xml",
        "<manifest:manifest><manifest:file-entry manifest:full-path=\"content.xml\">"
        "<manifest:encryption-data/></manifest:file-entry></manifest:manifest>");
    EXPECT_FALSE(readOdt(makeZip(dir.file("l.odt"), locked), error));
    EXPECT_EQ(error, "is protected by a password");
    auto broken = odtParts("", "<text:p>");
    EXPECT_FALSE(readOdt(makeZip(dir.file("b.odt"), broken), error));
    EXPECT_EQ(error.rfind("can not be read: its content.xml is not well-formed XML", 0), 0u)
        << error;
}

TEST(DocumentReaders, HtmlAndMarkdownReadAsABrowserShowsThem) {
    std::string error;
    const auto html =
        readHtml("<!DOCTYPE html><html><head><title>T</title><style>p{}</style><script>x()</script>"
                 "</head><body><h1>Head</h1><p align=center>Some   <b>bold</b>\n <i>it</i> "
                 "<u>under</u> &amp; caf&eacute;<br>line</p><div>one<p>two</div>"
                 "<table><tr><th>K</th><td>V</td></tr><tr><td><p>a</p><p>b</p></td><td></td></tr>"
                 "</table><pre>  keep\r\n  lines</pre>unclosed <b>tags",
                 error);
    ASSERT_TRUE(html) << error;
    EXPECT_EQ(shown(*html),
              "Head|Some bold it under & caf\xC3\xA9|line|one|two|K\tV\t|a|b\t\t|  keep|  lines|"
              "unclosed tags|");
    EXPECT_EQ(biuOf(*html, "Head"), "b--");
    EXPECT_EQ(biuOf(*html, "bold"), "b--");
    EXPECT_EQ(biuOf(*html, "it"), "-i-");
    EXPECT_EQ(biuOf(*html, "under"), "--u");
    EXPECT_EQ(biuOf(*html, "K"), "b--");
    EXPECT_EQ(biuOf(*html, "V"), "---");
    EXPECT_EQ(html->paraFormat(1).align, platform::Align::Center);
    // Word processors saving as HTML format through style sheets and style attributes.
    const auto styled = readHtml(
        "<html><head><style>.c1{font-weight:700}.c2 , p.x{font-style:italic}\n.c3{text-decoration:"
        "underline}</style></head><body><p><span class=\"c2 c1\">both</span> <span "
        "class=c3>under</span> <span style=\"font-weight: bold\">strong</span> <b "
        "style=\"font-weight:400\">normal</b></p></body></html>",
        error);
    ASSERT_TRUE(styled) << error;
    EXPECT_EQ(biuOf(*styled, "both"), "bi-");
    EXPECT_EQ(biuOf(*styled, "under"), "--u");
    EXPECT_EQ(biuOf(*styled, "strong"), "b--");
    EXPECT_EQ(biuOf(*styled, "normal"), "---");
    // Pages without a charset: UTF-8 when they are, else Windows-1252.
    EXPECT_EQ(shown(*readHtml("<p>caf\xC3\xA9 \xE2\x80\x94", error)), "caf\xC3\xA9 \xE2\x80\x94|");
    EXPECT_EQ(shown(*readHtml("<p>caf\xE9 \x97", error)), "caf\xC3\xA9 \xE2\x80\x94|");
    EXPECT_EQ(shown(*readHtml("<meta charset=\"iso-8859-1\"><p>\xE9", error)), "\xC3\xA9|");

    const auto md = readMarkdown("# Title\n\nA *soft*\nbreak with **bold** and <u>under</u>  \n"
                                 "hard.\n\n- one\n- two\n\n> quoted\n\n```\ncode\n  block\n```\n"
                                 "<p>raw <b>html</b></p>\n",
                                 error);
    ASSERT_TRUE(md) << error;
    EXPECT_EQ(shown(*md), "Title|A soft break with bold and under|hard.|one|two|quoted|code|"
                          "  block|raw html|");
    EXPECT_EQ(biuOf(*md, "Title"), "b--");
    EXPECT_EQ(biuOf(*md, "soft"), "-i-");
    EXPECT_EQ(biuOf(*md, "bold"), "b--");
    EXPECT_EQ(biuOf(*md, "under"), "--u");
    EXPECT_EQ(biuOf(*md, "html"), "b--");
    // Pipe tables read as the RTF reader reads tables; code fences keep their pipes.
    const auto table = readMarkdown("Intro\n| Name | Says \\| more |\n|:--|--:|\n| **Anna** | yes |"
                                    "\n|Ben\n\nAfter\n```\n| a | b |\n|---|---|\n```\n"
                                    "| head | only |\n| --- | --- |\n",
                                    error);
    ASSERT_TRUE(table) << error;
    EXPECT_EQ(shown(*table), "Intro|Name\tSays | more\t|Anna\tyes\t|Ben\t\t|After|"
                             "| a | b |||---|---||head\tonly\t|");
    EXPECT_EQ(biuOf(*table, "Name"), "b--");
    EXPECT_EQ(biuOf(*table, "Anna"), "b--");
    EXPECT_EQ(biuOf(*table, "yes"), "---");
    EXPECT_FALSE(readMarkdown(std::string("PK\x03\x04\0\0", 6), error));
    EXPECT_EQ(error, "is not a Markdown text (it holds binary data)");
    EXPECT_FALSE(readHtml(std::string("<p>\0\x01\x02", 6), error));
    EXPECT_EQ(error, "is not an HTML page (it holds binary data)");
}

TEST(DocumentReaders, PdfTextLayerIsReadAndPdfsWithoutOneAreRefused) {
    std::string error;
    const auto pdf =
        readPdf(makePdf({"BT /F1 12 Tf 72 720 Td (First line) Tj 0 -20 Td (Second ) Tj /F2 12 Tf "
                         "(bold words) Tj /F3 12 Tf ( italic) Tj ET",
                         "BT /F1 12 Tf 72 720 Td (Page two) Tj ET"}),
                error);
    ASSERT_TRUE(pdf) << error;
    EXPECT_EQ(shown(*pdf), "First line|Second bold words italic|Page two|");
    EXPECT_EQ(biuOf(*pdf, "Second"), "---");
    EXPECT_EQ(biuOf(*pdf, "bold"), "b--");
    EXPECT_EQ(biuOf(*pdf, " words"), "b--");
    EXPECT_EQ(biuOf(*pdf, "italic"), "-i-");

    EXPECT_FALSE(readPdf(makePdf({"0 0 1 rg 0 0 100 100 re f", ""}), error));
    EXPECT_EQ(error, "has no text layer (its pages are images: they need text recognition first)");
    // A standard security handler whose password we do not have.
    const std::string o(64, 'A'), u(64, 'B');
    EXPECT_FALSE(readPdf(makePdf({"BT /F1 12 Tf 72 720 Td (secret) Tj ET"},
                                 "/Encrypt << /Filter /Standard /V 1 /R 2 /O <" + o + "> /U <" + u +
                                     "> /P -4 >> /ID [<00112233445566778899AABBCCDDEEFF> "
                                     "<00112233445566778899AABBCCDDEEFF>]"),
                         error));
    EXPECT_EQ(error, "is encrypted: it has no text layer that can be read");
    EXPECT_FALSE(readPdf("PK\x03\x04 a zip named .pdf", error));
    EXPECT_EQ(error, "is not a PDF document");
    EXPECT_FALSE(readPdf("%PDF-1.4\n garbage", error));
    EXPECT_EQ(error, "is a damaged PDF document");
}

namespace {
class ImportFormats : public vexana::test::ProjectFixture {};
} // namespace

TEST_F(ImportFormats, ImportTextsReadsEachFormatAndSkipsBadFilesWithAMessage) {
    using namespace vexana::store;
    const std::int32_t group = docs().NewTextGroup();
    makeZip(dir.file("anna.docx"), docxParts("<w:p><w:r><w:rPr><w:b/></w:rPr><w:t>Anna"
                                             "</w:t></w:r></w:p>"));
    vexana::test::writeAll(dir.file("ben.MD"), "**Ben** talks\n");
    vexana::test::writeAll(dir.file("fake.docx"), "just text");
    vexana::test::writeAll(dir.file("scan.pdf"), makePdf({""}));
    const int made =
        TextImport(*ws).ImportFiles(group, {dir.file("anna.docx"), dir.file("fake.docx"),
                                            dir.file("ben.MD"), dir.file("scan.pdf")});
    EXPECT_EQ(made, 2);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text,
              dir.file("fake.docx") + "  is not a Word document (it is not a ZIP archive)");
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Warning);
    EXPECT_EQ(ui.messages[1].text,
              dir.file("scan.pdf") +
                  "  has no text layer (its pages are images: they need text recognition first)");
    for (const auto& [id, plain] : {std::pair{1, "Anna\r"}, std::pair{2, "Ben talks\r"}}) {
        RecordCursor c;
        ASSERT_TRUE(s().GetRecord(TopicId::Texts, id, c, true));
        const auto& b = c.block(TextField::Body);
        const RichText body = RichText::fromRtf(std::string(b.begin(), b.end()));
        EXPECT_EQ(body.plainText(), plain);
        EXPECT_TRUE(body.charFormatAt(0).bold);
    }
    EXPECT_EQ(formatForFile("x/a.b.HTM"), DocumentFormat::Html);
    EXPECT_EQ(formatForFile("x.docx/readme"), DocumentFormat::RtfOrPlain);
}
