#include "browser/SegmentsDocument.h"

#include "../analysis/ProjectFixture.h"
#include "platform/Files.h"

using namespace vexana;
using namespace vexana::store;
using vexana::test::ProjectFixture;

using SegmentsDocument = ProjectFixture;

TEST_F(SegmentsDocument, HeadersPositionsAndTheWrittenFile) {
    EXPECT_EQ(browser::segmentsExport(s(), {}).length(), 0);
    const std::int32_t group = docs().NewTextGroup();
    const std::int32_t t = text(group, "Anna", "One.\rTwo.\rThree.\rFour.\rFive.\rSix.");
    const std::int32_t parent = codes().NewCode(0, "Work", false);
    const std::int32_t child = codes().NewCode(parent, "Night", false);
    const std::int32_t a = code(t, child, 10, 28, analysis::CodingOperations::NewBatch, 40);
    const std::int32_t b = code(t, parent, 0, 4);
    ASSERT_TRUE(a && b);
    const platform::RichText out = browser::segmentsExport(s(), {a, b, 999999});
    const std::string name = s().GetName(TopicId::Texts, t, true);
    const std::string first =
        "Text:\t\t" + name + "\rWeight:\t40\rPosition:\t3 - 5\rCode:\t" + "Work\\Night\r";
    const std::string plain = out.plainText();
    // The first header starts the document; the second follows a blank line; a gone id is skipped.
    EXPECT_EQ(plain.substr(0, first.size()), first);
    EXPECT_EQ(out.text(static_cast<std::int32_t>(first.size()),
                       static_cast<std::int32_t>(first.size()) + 18),
              "Three.\rFour.\rFive.");
    EXPECT_NE(plain.find("Five.\r\rText:\t\t" + name +
                         "\rWeight:\t100\rPosition:\t1 - 1\r"
                         "Code:\tWork\rOne."),
              std::string::npos);
    EXPECT_EQ(plain.find("Text:", 1), plain.rfind("Text:"));
    const platform::CharFormat header = out.charFormatAt(0);
    EXPECT_EQ(header.font, "Arial");
    EXPECT_EQ(header.size, 18);
    EXPECT_TRUE(header.bold);
    EXPECT_EQ(header.color, 0x404040);
    EXPECT_FALSE(out.charFormatAt(static_cast<std::int32_t>(first.size())).bold);

    const std::string path = dir.file("segments.rtf");
    EXPECT_EQ(browser::exportSegments(s(), {a, b}, path), "");
    const auto bytes = platform::readFile(path);
    ASSERT_TRUE(bytes);
    EXPECT_TRUE(
        platform::RichText::fromRtf(*bytes).sameContent(browser::segmentsExport(s(), {a, b})));
    // A folder that does not exist: an error, no file.
    EXPECT_NE(browser::exportSegments(s(), {a}, dir.file("missing/x.rtf")), "");
}

TEST_F(SegmentsDocument, ASegmentWithoutContentsIsCutFromItsText) {
    const std::int32_t t = text(docs().NewTextGroup(), "Anna", "One two three.\rFour.");
    // As an analysis keeps its result in a project that cannot be written: memory only.
    RecordCursor c;
    ASSERT_TRUE(s().NewRecord(TopicId::Codings, c));
    const std::int32_t id = c.id();
    c.setInt(CodingField::Text, t);
    c.setInt(CodingField::StartChar, 4);
    c.setInt(CodingField::FinishChar, 99); // past the end: cut at it
    ASSERT_TRUE(s().UpdateInMemory(c));
    EXPECT_EQ(browser::segmentBody(s(), id).plainText(), "two three.\rFour.");
}
