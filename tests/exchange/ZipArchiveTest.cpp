#include "exchange/ZipArchive.h"

#include "ZipFixture.h"
#include "exchange/SafeXml.h"

#include <gtest/gtest.h>

using vexana::exchange::ZipArchive;
using namespace vexana::test;

TEST(ZipArchive, ReadsMembersWithinTheirBoundAndRefusesEverythingElse) {
    TempDir dir;
    const std::string zeros(4u << 20, '\0');
    const std::string bytes = makeZip(
        dir.file("a.zip"), {{"word/document.xml", "<w/>"}, {"Sources/", ""}, {"bomb.bin", zeros}});
    ASSERT_LT(bytes.size(), 100000u); // it really is compressed
    std::string error;
    const auto fromFile = ZipArchive::open(dir.file("a.zip"), error);
    const auto fromMemory = ZipArchive::fromBytes(bytes, error);
    for (const ZipArchive* archive : {fromFile.get(), fromMemory.get()}) {
        ASSERT_TRUE(archive) << error;
        EXPECT_EQ(archive->names(),
                  (std::vector<std::string>{"word/document.xml", "Sources/", "bomb.bin"}));
        EXPECT_TRUE(archive->contains("Sources/"));
        EXPECT_EQ(archive->findIgnoringCase("WORD/Document.XML"), "word/document.xml");
        EXPECT_EQ(archive->findIgnoringCase("word"), "");
        EXPECT_EQ(archive->read("word/document.xml", 100, error).value_or("-"), "<w/>");
        // Exactly at the bound is fine; one byte under it is a bomb.
        EXPECT_TRUE(archive->read("bomb.bin", zeros.size(), error));
        EXPECT_FALSE(archive->read("bomb.bin", zeros.size() - 1, error));
        EXPECT_EQ(error, "has a member that unpacks to more than 4194303 bytes: \"bomb.bin\"");
        EXPECT_FALSE(archive->read("missing", 100, error));
        EXPECT_EQ(error, "has no member \"missing\"");
    }
    // Members each within their bound still add up.
    {
        auto archive = ZipArchive::fromBytes(bytes, error);
        ASSERT_TRUE(archive);
        archive->setTotalLimit(zeros.size() + 6);
        EXPECT_TRUE(archive->read("bomb.bin", zeros.size(), error));
        EXPECT_TRUE(archive->read("word/document.xml", 100, error));
        EXPECT_FALSE(archive->read("word/document.xml", 100, error));
        EXPECT_EQ(error, "unpacks to more than 4194310 bytes in all");
    }

    for (const std::string name : {"../evil.txt", "a/../../evil.txt", "/etc/passwd", "C:\\evil.txt",
                                   "a\\..\\..\\evil.txt"}) {
        makeZip(dir.file("t.zip"), {{"ok.txt", "x"}, {name, "x"}});
        EXPECT_FALSE(ZipArchive::open(dir.file("t.zip"), error)) << name;
        EXPECT_EQ(error, "holds a member that points outside the archive: \"" + name + "\"");
    }
    EXPECT_TRUE(ZipArchive::safeName("a..b/..c/d.."));

    writeAll(dir.file("not.zip"), "PK\x03\x04 but nothing after");
    EXPECT_FALSE(ZipArchive::open(dir.file("not.zip"), error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(ZipArchive::fromBytes("{\\rtf1 hello}", error));
    EXPECT_EQ(error, "is not a ZIP archive");
    EXPECT_FALSE(ZipArchive::open(dir.file("none.zip"), error));
    EXPECT_EQ(error, "can not be opened");

    // A damaged member: flip bytes inside the compressed data so the CRC fails.
    std::string damaged = makeZip(dir.file("d.zip"), {{"t.txt", std::string(5000, 'a') + "b"}});
    const auto at = damaged.find("t.txt") + 5; // the local header's name, then the data
    for (std::size_t i = at + 2; i < at + 6 && i < damaged.size(); ++i)
        damaged[i] = static_cast<char>(damaged[i] ^ 0x55);
    if (auto archive = ZipArchive::fromBytes(damaged, error)) {
        EXPECT_FALSE(archive->read("t.txt", 1u << 20, error));
        EXPECT_EQ(error, "has a damaged member \"t.txt\"");
    }
}

TEST(SafeXml, ParsesPlainDocumentsAndRefusesEntitiesAndMalformedOnes) {
    using namespace vexana::exchange;
    std::string error;
    auto doc = parseXml("<?xml version=\"1.0\"?><a xmlns:w=\"urn:w\"><w:b w:val=\"x&amp;y\">"
                        "t&lt;<![CDATA[c]]></w:b></a>",
                        error);
    ASSERT_TRUE(doc) << error;
    const xmlNode* b = xmlDocGetRootElement(doc.get())->children;
    EXPECT_TRUE(isElement(b, "b"));
    EXPECT_EQ(namespaceOf(b), "urn:w");
    EXPECT_EQ(attribute(b, "val"), "x&y");
    EXPECT_EQ(textContent(b), "t<c");

    const char* laughs = "<?xml version=\"1.0\"?><!DOCTYPE l [<!ENTITY a \"aaaaaaaaaa\">"
                         "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]><l>&b;</l>";
    EXPECT_FALSE(parseXml(laughs, error));
    EXPECT_EQ(error, "declares entities, which are not accepted");
    const char* external = "<?xml version=\"1.0\"?><!DOCTYPE l [<!ENTITY x SYSTEM "
                           "\"file:///etc/passwd\">]><l>&x;</l>";
    EXPECT_FALSE(parseXml(external, error));
    EXPECT_EQ(error, "declares entities, which are not accepted");
    // An external DTD is neither loaded nor needed.
    EXPECT_TRUE(parseXml("<!DOCTYPE l SYSTEM \"http://example.invalid/l.dtd\"><l/>", error))
        << error;

    EXPECT_FALSE(parseXml("<a><b></a>", error));
    EXPECT_EQ(error.rfind("is not well-formed XML: ", 0), 0u) << error;
    EXPECT_NE(error.find("(line 1)"), std::string::npos) << error;
    EXPECT_FALSE(parseXml("", error));
    EXPECT_FALSE(parseXml(std::string(300, '<'), error));
    EXPECT_FALSE(parseXml(std::string(100000, 'x'), error, 1000));
    EXPECT_EQ(error, "is larger than 1000 bytes");
    std::string deep;
    for (int i = 0; i < 5000; ++i)
        deep += "<d>";
    EXPECT_FALSE(parseXml(deep, error));

    auto html = parseHtml("<p>one<b>two</p><p>caf\xC3\xA9", error);
    ASSERT_TRUE(html) << error;
    EXPECT_EQ(textContent(xmlDocGetRootElement(html.get())), "onetwocaf\xC3\xA9");
}
