#include "platform/Utf8.h"

#include <gtest/gtest.h>
#include <vector>

using namespace vexana::platform;

TEST(Utf8, CountsAndCutsByCodePointNeverSplittingOne) {
    const std::string greek = "\xCE\xB1\xCE\xB2\xCE\xB3"; // three characters, six bytes
    EXPECT_EQ(utf8Length(greek), 3u);
    EXPECT_EQ(utf8Prefix(greek, 2), "\xCE\xB1\xCE\xB2");
    EXPECT_EQ(utf8ByteOffset(greek, 10), greek.size());
    // A truncated sequence and stray continuation bytes count one character per byte.
    const std::string broken = "a\xCE"
                               "A\x80z";
    EXPECT_EQ(utf8Length(broken), 5u);
    EXPECT_FALSE(isValidUtf8(broken));
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80")); // a surrogate
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));     // overlong
    EXPECT_TRUE(isValidUtf8(greek));
    EXPECT_EQ(utf16Length(U"a\u03B1\u03B2\u03B3\U0001F600"), 6u); // the emoji takes two
}

TEST(Utf8, TextFilesAreUtf8OrWindows1252AndWrittenBackLosslessly) {
    EXPECT_EQ(decodeTextFile("\xEF\xBB\xBF"
                             "caf\xC3\xA9"),
              "caf\xC3\xA9");
    EXPECT_EQ(decodeTextFile("caf\xE9 \x80"), "caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(encodeTextFile("caf\xC3\xA9 \xE2\x82\xAC"), "caf\xE9 \x80");
    // Greek has no place in Windows-1252: the file becomes UTF-8 with a BOM and reads back the
    // same.
    const std::string greek = "\xCE\xB1\xCE\xB2";
    EXPECT_EQ(decodeTextFile(encodeTextFile(greek)), greek);
    // Every character has a Windows-1252 byte exactly when some byte reads back as it.
    std::vector<int> byteOf(0x110000, -1);
    for (int b = 255; b >= 0; --b)
        byteOf[cp1252ToUnicode(static_cast<unsigned char>(b))] = b;
    for (char32_t cp = 0; cp < 0x110000; ++cp) {
        unsigned char b = 0;
        const bool has = unicodeToCp1252(cp, b);
        ASSERT_EQ(has, byteOf[cp] >= 0) << std::hex << static_cast<unsigned>(cp);
        if (has) ASSERT_EQ(cp1252ToUnicode(b), cp) << std::hex << static_cast<unsigned>(cp);
    }
}
