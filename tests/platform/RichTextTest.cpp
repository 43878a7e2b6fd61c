#include "platform/richtext/RichText.h"

#include "TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>

using namespace vexana::platform;

namespace {

std::string plainOf(std::string_view rtf) {
    return RichText::fromRtf(rtf).plainText();
}

// Non-empty lines without surrounding blanks; list markers that a converter generates
// ("1. ", bullets) are not text of the body.
std::vector<std::string> paragraphsOf(const std::string& text, bool stripListMarkers) {
    std::vector<std::string> out;
    std::string line;
    std::istringstream in(text);
    static const std::regex marker(
        "^((\\d+|[a-zA-Z])[.)]|\xE2\x80\xA2|\xE2\x97\xA6|\xE2\x96\xAA|-)\\s+");
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos) continue;
        line = line.substr(first, line.find_last_not_of(" \t") - first + 1);
        for (std::string before; stripListMarkers && before != line;) {
            before = line;
            line = std::regex_replace(line, marker, "");
        }
        if (!line.empty()) out.push_back(line);
    }
    return out;
}

} // namespace

TEST(RichText, ReadsWhatRealRtfWritersProduceLikeAnIndependentConverter) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(VEXANA_TEST_DATA "/rtf")) {
        if (entry.path().extension() != ".rtf") continue;
        ++files;
        const std::string rtf = vexana::test::readAll(entry.path().string());
        std::string expectedPath = entry.path().string();
        expectedPath.replace(expectedPath.size() - 4, 4, ".expected.txt");
        const RichText text = RichText::fromRtf(rtf);
        std::string ours = text.plainText();
        for (char& c : ours)
            if (c == '\r') c = '\n';
        const auto want = paragraphsOf(vexana::test::readAll(expectedPath), true);
        const auto got = paragraphsOf(ours, true);
        std::size_t i = 0;
        while (i < got.size() && i < want.size() && got[i] == want[i])
            ++i;
        EXPECT_TRUE(i == got.size() && i == want.size())
            << entry.path() << " paragraph " << i << ": ours \""
            << (i < got.size() ? got[i] : "<end>") << "\" theirs \""
            << (i < want.size() ? want[i] : "<end>") << "\"";
        // Our own writer's output reads back as the same document.
        EXPECT_TRUE(RichText::fromRtf(text.toRtf()).sameContent(text)) << entry.path();
    }
    EXPECT_GE(files, 5);
}

TEST(RichText, HandlesGroupsDestinationsFieldsAndTables) {
    EXPECT_EQ(plainOf("{\\rtf1 a{\\b b{\\i c}}d}"), "abcd");
    EXPECT_EQ(plainOf("{\\rtf1 a{\\*\\unknownthing hidden}b{\\*\\generator x;}c}"), "abc");
    EXPECT_EQ(plainOf("{\\rtf1 a{\\unknownword kept}b}"), "akeptb");
    EXPECT_EQ(
        plainOf("{\\rtf1 {\\header head}{\\footer foot}{\\footnote note}{\\info{\\title T}}body}"),
        "body");
    EXPECT_EQ(
        plainOf("{\\rtf1 see {\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt the site}}.}"),
        "see the site.");
    EXPECT_EQ(plainOf("{\\rtf1 a{\\pict\\pngblip 89504e47}b{\\object{\\objdata 0102}}c}"), "abc");
    EXPECT_EQ(plainOf("{\\rtf1 x\\tab y\\line z\\par w}"), "x\ty\rz\rw");
    EXPECT_EQ(plainOf("{\\rtf1 \\trowd a\\cell b\\cell\\row c\\par}"), "a\tb\t\rc\r");
    EXPECT_EQ(plainOf("{\\rtf1 one\\par\\pard two\\par\\par}"), "one\rtwo\r\r");
    EXPECT_EQ(plainOf("{\\rtf1 \\{braces\\} and \\\\ \\~ \\emdash\\endash\\lquote x\\rquote}"),
              "{braces} and \\ \xC2\xA0 \xE2\x80\x94\xE2\x80\x93\xE2\x80\x98x\xE2\x80\x99");
    // \bin data is skipped by length, even when it holds braces and backslashes.
    EXPECT_EQ(plainOf(std::string("{\\rtf1 a{\\pict\\bin5 }{\\\\}}b}")), "ab");
    EXPECT_EQ(plainOf("{\\rtf1 a\\bin4 }}}}b}"), "ab");
}

TEST(RichText, DecodesUnicodeAndEveryCodePage) {
    EXPECT_EQ(plainOf("{\\rtf1\\ansi \\u955?\\u-3?\\uc2\\u8364\\'80\\'80!\\uc0\\u246 x}"),
              "\xCE\xBB\xEF\xBF\xBD\xE2\x82\xAC!\xC3\xB6x");
    EXPECT_EQ(plainOf("{\\rtf1 \\uc2\\u8364\\par x}"), "\xE2\x82\xAC\rx");
    // A surrogate pair, and lone halves.
    EXPECT_EQ(plainOf("{\\rtf1 \\u-10179?\\u-8704?|\\u-10179?x|\\u-8704?}"),
              "\xF0\x9F\x98\x80|\xEF\xBF\xBDx|\xEF\xBF\xBD");
    EXPECT_EQ(plainOf("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8}"), "\xD0\x9F\xD1\x80\xD0\xB8");
    const std::string fonts =
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset161 Arial Greek;}"
        "{\\f2\\fcharset204 Arial Cyr;}{\\f3\\fcharset128 MS Mincho;}{\\f4\\fcharset177 David;}"
        "{\\f5\\fcharset178 Arabic;}{\\f6\\fcharset238 CE;}{\\f7\\fcharset162 Tur;}"
        "{\\f8\\fcharset222 Thai;}{\\f9\\fcharset134 SimSun;}}";
    EXPECT_EQ(
        plainOf(fonts +
                "\\'e4{\\f1\\'e1\\'e2}{\\f2\\'e4\\'e0}{\\f3\\'82\\'a0\\'93\\'fa}{\\f4\\'f9}}"),
        "\xC3\xA4\xCE\xB1\xCE\xB2\xD0\xB4\xD0\xB0\xE3\x81\x82\xE6\x97\xA5\xD7\xA9");
    EXPECT_EQ(plainOf(fonts + "{\\f5\\'c7}{\\f6\\'e8}{\\f7\\'fd}{\\f8\\'a1}{\\f9\\'d6\\'d0}}"),
              "\xD8\xA7\xC4\x8D\xC4\xB1\xE0\xB8\x81\xE4\xB8\xAD");
    // Font names in their own code page, formats follow the font.
    const RichText greek = RichText::fromRtf(
        "{\\rtf1{\\fonttbl{\\f1\\fcharset161 \\'c1\\'f1\\'e9\\'e1\\'eb;}}\\f1 x}");
    EXPECT_EQ(greek.charFormatAt(0).font, "\xCE\x91\xCF\x81\xCE\xB9\xCE\xB1\xCE\xBB");
    EXPECT_EQ(plainOf("Plain text, not RTF\r\nsecond line\n"),
              "Plain text, not RTF\rsecond line\r");
    EXPECT_EQ(plainOf("caf\xE9"), "caf\xC3\xA9");
}

TEST(RichText, AnyBytesGiveATextWithoutCrashOrBlowUp) {
    std::string deep = "{\\rtf1 ";
    for (int i = 0; i < 10000; ++i)
        deep += "{\\b ";
    deep += "deep";
    EXPECT_EQ(plainOf(deep), "deep");
    std::string closed = deep;
    for (int i = 0; i < 10000; ++i)
        closed += "}";
    EXPECT_EQ(plainOf(closed + " after}"), "deep after");
    EXPECT_EQ(plainOf("{\\rtf1 a}}}}} b {{{"), "a b ");
    EXPECT_EQ(plainOf("{\\rtf1 x\\bin100000000 rest"), "x");
    EXPECT_EQ(plainOf("{\\rtf1 \\u99999999999?\\u-99999?\\u0?."),
              "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD.");
    EXPECT_EQ(plainOf(std::string("{\\rtf1 a\0b\\'00c\\'0dd", 20)), "abc\rd");
    EXPECT_EQ(plainOf("{\\rtf1 \\'"), "");
    EXPECT_EQ(plainOf("{\\rtf1 \\fs99999999999999999999 \\li-99999999999 x"), "x");
    EXPECT_TRUE(RichText::fromRtf("").empty());
    EXPECT_TRUE(RichText::fromRtf("{\\rtf").empty());
}

TEST(RichText, TheWriterRoundTripsTextFormatsAndRanges) {
    RichText t = RichText::fromPlain(
        "Hello world\rZweite Zeile \xE2\x82\xAC \xCE\xB1\xCE\xB2 \xF0\x9F\x98\x80\r{x}\\y");
    CharFormat bold;
    bold.font = "Times New Roman";
    bold.size = 28;
    bold.bold = true;
    bold.color = 0xFF0000;
    bold.background = 0x00FF00;
    t.setCharFormat(6, 11, bold);
    CharFormat italic;
    italic.italic = true;
    italic.underline = true;
    t.setCharFormat(3, 8, italic, CharMask::Italic | CharMask::Underline);
    ParaFormat centered;
    centered.align = Align::Center;
    centered.leftIndent = 720;
    centered.spaceAfter = 120;
    t.setParaFormat(13, 14, centered);
    const RichText back = RichText::fromRtf(t.toRtf());
    EXPECT_TRUE(back.sameContent(t));
    EXPECT_EQ(back.plainText(), t.plainText());
    EXPECT_EQ(back.charFormatAt(7).font, "Times New Roman");
    EXPECT_TRUE(back.charFormatAt(7).italic);
    EXPECT_TRUE(back.charFormatAt(9).bold);
    EXPECT_FALSE(back.charFormatAt(9).italic);
    EXPECT_EQ(back.paraFormat(1).align, Align::Center);

    // A range is a document of its own that starts in the formats in force at its start.
    const RichText part = RichText::fromRtf(t.rangeToRtf(9, 20));
    EXPECT_EQ(part.plainText(), t.text(9, 20));
    EXPECT_TRUE(part.charFormatAt(0).bold);
    EXPECT_EQ(part.paraFormat(1).align, Align::Center);
    EXPECT_TRUE(part.sameContent(t.range(9, 20)));
}

TEST(RichText, EditingKeepsFormatsAndParagraphs) {
    RichText t = RichText::fromPlain("alpha beta\rgamma\rdelta");
    CharFormat b;
    b.bold = true;
    t.setCharFormat(6, 10, b, CharMask::Bold);
    t.replace(6, 6, "new ");
    EXPECT_EQ(t.plainText(), "alpha new beta\rgamma\rdelta");
    EXPECT_FALSE(t.charFormatAt(6).bold); // typed text takes the format before it
    EXPECT_TRUE(t.charFormatAt(10).bold);
    t.replace(8, 17, "");
    EXPECT_EQ(t.plainText(), "alpha nemma\rdelta");
    EXPECT_EQ(t.paragraphCount(), 2);
    RichText ins = RichText::fromPlain("X\rY");
    ins.setCharFormat(0, 3, b, CharMask::Bold);
    t.replace(0, 0, ins);
    EXPECT_EQ(t.plainText(), "X\rYalpha nemma\rdelta");
    EXPECT_TRUE(t.charFormatAt(2).bold);
    EXPECT_FALSE(t.charFormatAt(3).bold);
    EXPECT_EQ(t.paragraphOf(0), 0);
    EXPECT_EQ(t.paragraphOf(1), 0);
    EXPECT_EQ(t.paragraphOf(2), 1);
    EXPECT_EQ(t.paragraphRange(1), std::make_pair(2, 14));
    EXPECT_EQ(t.paragraphEnds(), (std::vector<std::int32_t>{1, 14}));
    EXPECT_TRUE(RichText::fromRtf(t.toRtf()).sameContent(t));
    // Appending is replacing at the end: formats, runs and paragraph formats alike.
    ParaFormat centred;
    centred.align = Align::Center;
    ins.setParaFormat(0, 1, centred);
    RichText appended = t, replaced = t;
    appended.append(ins);
    replaced.replace(replaced.length(), replaced.length(), ins);
    EXPECT_EQ(appended.plainText(), replaced.plainText());
    EXPECT_TRUE(appended.sameContent(replaced));
    EXPECT_EQ(appended.paraFormat(2).align, Align::Center); // "deltaX" is closed by X's return
}

TEST(RichText, FindsTextWithAndWithoutCase) {
    const RichText t = RichText::fromPlain("Die STRASSE und die Stra\xC3\x9F"
                                           "e; \xCE\xA3\xCE\x9F\xCE\xA6\xCE\x99\xCE\x91 sofia");
    EXPECT_EQ(t.find("die", 0, true), 16);
    EXPECT_EQ(t.find("die", 0, false), 0);
    EXPECT_EQ(t.find("die", 1, false), 16);
    EXPECT_EQ(t.find("stra\xC3\x9F"
                     "e",
                     0, false),
              20);
    EXPECT_EQ(t.find("\xCF\x83\xCE\xBF\xCF\x86\xCE\xB9\xCE\xB1", 0, false), 28); // Greek, any case
    EXPECT_EQ(t.find("absent", 0, false), -1);
    EXPECT_EQ(t.find("", 0, false), -1);
    EXPECT_EQ(t.find("die", 99, false), -1);
}
