#include "store/XmlDocument.h"

#include <gtest/gtest.h>
#include <string>

using vexana::store::XmlDocument;

TEST(XmlDocument, WritesTheTextsElementByElement) {
    XmlDocument x;
    ASSERT_TRUE(x.addElem("HTML"));
    EXPECT_EQ(x.text(), "<HTML/>\r\n");
    ASSERT_TRUE(x.addChildElem("HEAD"));
    ASSERT_TRUE(x.intoElem());
    ASSERT_TRUE(x.addChildElem("META"));
    ASSERT_TRUE(x.setChildAttrib("http-equiv", "content-type"));
    ASSERT_TRUE(x.outOfElem());
    ASSERT_TRUE(x.addChildElem("BODY", "a & b < c > d \"e\""));
    ASSERT_TRUE(x.setChildAttrib("bgcolor", "#E0E0E0"));
    ASSERT_TRUE(x.setChildAttrib("title", "x<\"y\">&z"));
    EXPECT_EQ(x.text(), "<HTML>\r\n"
                        "<HEAD>\r\n"
                        "<META http-equiv=\"content-type\"/>\r\n"
                        "</HEAD>\r\n"
                        "<BODY bgcolor=\"#E0E0E0\" title=\"x&lt;&quot;y&quot;&gt;&amp;z\">"
                        "a &amp; b &lt; c &gt; d &quot;e&quot;</BODY>\r\n"
                        "</HTML>\r\n");
    // A changed attribute keeps its place; reading gives back what was given.
    ASSERT_TRUE(x.setChildAttrib("bgcolor", "#FFFFFF"));
    EXPECT_EQ(x.childAttrib("bgcolor"), "#FFFFFF");
    EXPECT_EQ(x.childAttrib("title"), "x<\"y\">&z");
    EXPECT_EQ(x.childData(), "a & b < c > d \"e\"");
    // An element after the current one at the same level, and one before a later sibling.
    ASSERT_TRUE(x.addElem("TAIL"));
    EXPECT_EQ(x.text().substr(x.text().size() - 9), "<TAIL/>\r\n");
    EXPECT_FALSE(x.addElem("bad name"));
    EXPECT_FALSE(x.addElem(""));
    EXPECT_FALSE(x.addElem("a<b"));

    // What was written parses back to the same tree.
    XmlDocument y;
    ASSERT_TRUE(y.parse(x.text())) << y.error();
    ASSERT_TRUE(y.findElem("HTML"));
    EXPECT_TRUE(y.findChildElem("BODY"));
    EXPECT_EQ(y.childData(), "a & b < c > d \"e\"");
    EXPECT_EQ(y.childAttrib("title"), "x<\"y\">&z");
    y.resetPos();
    ASSERT_TRUE(y.findElem("HTML"));
    ASSERT_TRUE(y.intoElem());
    ASSERT_TRUE(y.findElem("HEAD"));
    EXPECT_TRUE(y.findChildElem("META"));
    EXPECT_EQ(y.childAttrib("http-equiv"), "content-type");
    EXPECT_TRUE(y.outOfElem());
    EXPECT_TRUE(y.findElem("TAIL"));
    EXPECT_FALSE(y.findElem());
}

TEST(XmlDocument, ChildrenGoInOrderAfterTheCurrentChild) {
    XmlDocument x;
    x.addElem("TR");
    x.addChildElem("TD", "1");
    x.addChildElem("TD", "3");
    x.resetPos();
    ASSERT_TRUE(x.findElem("TR"));
    ASSERT_TRUE(x.findChildElem());
    x.addChildElem("TD", "2");
    x.addElem("TR", "after");
    EXPECT_EQ(x.text(), "<TR>\r\n<TD>1</TD>\r\n<TD>2</TD>\r\n<TD>3</TD>\r\n</TR>\r\n"
                        "<TR>after</TR>\r\n");
    // Data first, then a child: the data keeps its place, the child its own line.
    XmlDocument d;
    d.addElem("P", "text");
    d.addChildElem("B");
    EXPECT_EQ(d.text(), "<P>text\r\n<B/>\r\n</P>\r\n");
    XmlDocument e;
    ASSERT_TRUE(e.parse("<a>x</a>"));
    ASSERT_TRUE(e.findElem());
    EXPECT_EQ(e.data(), "x");
    ASSERT_TRUE(e.addChildElem("b", "y"));
    EXPECT_TRUE(e.parse(std::string(e.text())));
    ASSERT_TRUE(e.findElem("a"));
    ASSERT_TRUE(e.findChildElem("b"));
    EXPECT_EQ(e.childData(), "y");
}

TEST(XmlDocument, ParsesSkipsAndReportsEveryError) {
    XmlDocument x;
    EXPECT_TRUE(x.parse("<?xml version=\"1.0\"?>\r\n<!DOCTYPE html>\r\n<!-- c > d -->\r\n"
                        "<r a='1' b = \"x>y\"><![CDATA[ <z> ]]><s/><t >v</t ></r>"));
    ASSERT_TRUE(x.findElem("r"));
    EXPECT_EQ(x.attrib("b"), "x>y");
    EXPECT_EQ(x.attrib("a"), "1");
    EXPECT_TRUE(x.findChildElem("t"));
    EXPECT_EQ(x.childData(), "v");
    EXPECT_TRUE(x.parse("<a>&#65;&#x42;&lt;&unknown;</a>"));
    ASSERT_TRUE(x.findElem());
    EXPECT_EQ(x.data(), "AB<&unknown;");

    const std::pair<const char*, const char*> cases[] = {
        {"", "Element tag not found"},
        {"just text", "Element tag not found"},
        {"<", "Abrupt end within tag"},
        {"<a><  ", "Abrupt end within tag"},
        {"<\"a\">", "Tag starts with quote"},
        {"<a", "End of tag not found"},
        {"<a b=\"c>", "End of tag not found"},
        {"<?xml", "End of tag not found"},
        {"<!-- no end", "End of tag not found"},
        {"<a>text", "End tag of a element not found"},
        {"<a><b/>", "End tag of a element not found"},
        {"<a><=x></a>", "Expecting end tag of element a"},
        {"<a></b>", "End tag does not correspond to a"},
        {"<a><b></a>", "End tag does not correspond to b"},
        {"<a></a", "End tag not completed for element a"},
        {"<a></a x>", "End tag not completed for element a"},
    };
    for (const auto& [text, error] : cases) {
        EXPECT_FALSE(x.parse(text)) << text;
        EXPECT_EQ(x.error(), error) << text;
    }
    EXPECT_TRUE(x.parse("<a/>"));
    EXPECT_EQ(x.error(), "");
}

TEST(XmlDocument, NestingIsCappedWithoutRecursion) {
    std::string deep;
    for (int i = 0; i < XmlDocument::maxDepth; ++i)
        deep += "<e>";
    for (int i = 0; i < XmlDocument::maxDepth; ++i)
        deep += "</e>";
    XmlDocument x;
    EXPECT_TRUE(x.parse(deep)) << x.error();
    EXPECT_FALSE(x.parse("<e>" + deep + "</e>"));
    EXPECT_EQ(x.error(), "Elements nested deeper than 256 levels");
    // A million open tags end in the same message, not in a stack overflow.
    std::string hostile;
    for (int i = 0; i < 1000000; ++i)
        hostile += "<e>";
    EXPECT_FALSE(x.parse(hostile));
    EXPECT_EQ(x.error(), "Elements nested deeper than 256 levels");
    // Empty elements do not nest, however many there are.
    std::string flat = "<r>";
    for (int i = 0; i < 100000; ++i)
        flat += "<e/>";
    EXPECT_TRUE(x.parse(flat + "</r>"));
}
