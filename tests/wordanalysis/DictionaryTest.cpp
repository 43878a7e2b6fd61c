#include "wordanalysis/Dictionary.h"

#include "TestSupport.h"
#include "platform/Files.h"
#include "store/Schema.h"
#include "store/SchemaSetup.h"
#include "store/TopicStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace vexana;
using namespace vexana::store;
using wordanalysis::Dictionary;

namespace {

struct Dict {
    Dict() { setUpInMemoryTopics(store); }
    TopicStore store;
    Dictionary dictionary{store};

    // "category/item,exact,case,start" per item, in order.
    std::vector<std::string> listing() const {
        std::vector<std::string> out;
        for (std::int32_t c : dictionary.categories()) {
            const std::string name = store.GetText(TopicId::DictCategories, c, 2) + ":" +
                                     std::to_string(store.GetInt(TopicId::DictCategories, c, 1));
            if (store.GetInt(TopicId::DictCategories, c, 3) != c) out.push_back("bad number");
            for (std::int32_t i : dictionary.items(c)) {
                std::string row = name + "/" + store.GetText(TopicId::DictItems, i, 3);
                for (int f : {2, 4, 5, 6})
                    row += "," + std::to_string(store.GetInt(TopicId::DictItems, i, f));
                out.push_back(row);
            }
            if (dictionary.items(c).empty()) out.push_back(name);
        }
        return out;
    }
};

using Rows = std::vector<std::string>;

} // namespace

TEST(Dictionary, ReadsLinesAsTheFileFormatSays) {
    Dict d;
    d.dictionary.addBytes("Family\t0\r\n\tchild\t0\t1\t0\t0\r\n");
    EXPECT_EQ(d.listing(), Rows{"Family:0/child,0,1,0,0"});

    // Numbers other than 0 and 1 give 0, missing ones too; names are trimmed and merged
    // without case; an item again in its category, an empty item and items before any
    // category are skipped; a last line without line end, LF-only and CR-only lines are read.
    Dict e;
    e.dictionary.addBytes("\torphan\t1\r\n"
                          "  Work \t7\r\n"
                          "\t job \t1\t2\t1\r\n"
                          "\tjob\t0\t1\t1\t1\r\n"
                          "\t  \t1\t1\t1\t1\r\n"
                          "\r\n"
                          "WORK\t1\n"
                          "\tJob\t0\t0\t0\t1\n"
                          "Play\t1\r"
                          "\tgame");
    EXPECT_EQ(e.listing(),
              (Rows{"Work:0/job,1,0,1,0", "Work:0/Job,0,0,0,1", "Play:1/game,0,0,0,0"}));

    // Byte order mark, Windows-1252; names over 63 characters (a line of a megabyte) are left
    // out and counted, a category's items with it.
    Dict f;
    f.dictionary.addBytes("\xEF\xBB\xBF"
                          "Gr\xC3\xBC\xC3\x9F"
                          "e\t0\r\n\t\xC3\xA4"
                          "\r\n");
    f.dictionary.addBytes("gr\xDC\xDF"
                          "e\t0\r\n\tsch\xF6n\r\n");
    std::size_t tooLong = 0;
    f.dictionary.addBytes(std::string(1 << 20, 'x') + "\t0\r\n\tlost\r\n" + std::string(63, 'x') +
                              "\t0\r\n\t" + std::string(1 << 20, 'y') + "\r\n\tkept",
                          &tooLong);
    EXPECT_EQ(tooLong, 2u);
    EXPECT_EQ(f.listing(), (Rows{"Grüße:0/ä,0,0,0,0", "Grüße:0/schön,0,0,0,0",
                                 std::string(63, 'x') + ":0/kept,0,0,0,0"}));
}

TEST(Dictionary, WritesAndReadsBackAndKeepsFilesThatWereNotRead) {
    test::TempDir dir;
    Dict d;
    std::string why;
    const std::int32_t family = d.dictionary.newCategory("Family", 0, &why);
    ASSERT_NE(family, 0) << why;
    EXPECT_EQ(d.dictionary.newCategory("family", 0, &why), 0);
    EXPECT_NE(why, "");
    EXPECT_EQ(d.dictionary.newCategory("a\tb", 0), 0);
    EXPECT_EQ(d.dictionary.newCategory(std::string(64, 'c'), 0, &why), 0);
    EXPECT_EQ(why, "A category has at most 63 characters.");
    EXPECT_NE(d.dictionary.newItem(family, "child", 0, true), 0);
    EXPECT_EQ(d.dictionary.newItem(family, "child"), 0);
    EXPECT_EQ(d.dictionary.newItem(family, "", 0, false, false, false, &why), 0);
    EXPECT_EQ(why, "A search item needs a name.");
    EXPECT_NE(d.dictionary.newCategory("Empty", 1), 0);
    EXPECT_EQ(d.dictionary.bytes(), "Family\t0\r\n\tchild\t0\t1\t0\t0\r\nEmpty\t1\r\n");

    const std::string path = dir.file("d.vxl");
    EXPECT_EQ(d.dictionary.save(path), "");
    Dict back;
    EXPECT_EQ(back.dictionary.open(path), "");
    EXPECT_EQ(back.listing(), d.listing());
    EXPECT_FALSE(back.dictionary.changed());

    // Nothing changed: the file is not touched at close (its time stays).
    test::writeAll(path, "Family\t0\n\tchild\t0\t1\t0\t0");
    Dict reread;
    EXPECT_EQ(reread.dictionary.open(path), "");
    EXPECT_EQ(reread.dictionary.writeBack(), "");
    EXPECT_EQ(test::readAll(path), "Family\t0\n\tchild\t0\t1\t0\t0");
    // "Add to Dictionary": new words only, written back once changed.
    const auto made = reread.dictionary.addWords(reread.dictionary.findCategory("FAMILY"),
                                                 {"child", "mother", "mother", ""});
    EXPECT_EQ(made.size(), 1u);
    EXPECT_TRUE(reread.dictionary.changed());
    EXPECT_EQ(reread.dictionary.writeBack(), "");
    EXPECT_EQ(test::readAll(path), "Family\t0\r\n\tchild\t0\t1\t0\t0\r\n\tmother\t0\t0\t0\t0\r\n");
    EXPECT_EQ(wordanalysis::dictionaryWords(reread.dictionary),
              (std::vector<std::string>{"child", "mother"}));

    // A file that exists but cannot be read (here a folder; too large is the same) leaves
    // the dictionary empty and is never written over.
    const std::string folder = dir.file("folder.vxl");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    Dict bad;
    EXPECT_NE(bad.dictionary.open(folder), "");
    bad.dictionary.newCategory("New", 0);
    EXPECT_NE(bad.dictionary.writeBack(), "");
    EXPECT_TRUE(platform::isDirectory(folder));
    // Binary data is no dictionary either: refused, and never written over.
    const std::string binary = dir.file("binary.vxl");
    test::writeAll(binary, std::string("Cat\t0\r\n\0\x01\x02", 10));
    EXPECT_NE(bad.dictionary.add(binary), "");
    Dict noise;
    EXPECT_EQ(noise.dictionary.open(binary),
              "The file " + binary + " is not a dictionary (it holds binary data).");
    EXPECT_TRUE(noise.dictionary.categories().empty());
    noise.dictionary.newCategory("New", 0);
    EXPECT_NE(noise.dictionary.writeBack(), "");
    EXPECT_EQ(test::readAll(binary).size(), 10u);
    // Over-long entries: read without them, and said so.
    const std::string longer = dir.file("long.vxl");
    test::writeAll(longer, "Cat\t0\r\n\t" + std::string(64, 'z') + "\r\n\tok\r\n");
    Dict warned;
    EXPECT_EQ(warned.dictionary.open(longer), "");
    EXPECT_EQ(warned.dictionary.warning(),
              "1 entries of " + longer + " are longer than 63 characters and were left out.");
    EXPECT_EQ(warned.listing(), Rows{"Cat:0/ok,0,0,0,0"});
    // A missing file is an empty dictionary that may be made there.
    Dict fresh;
    EXPECT_EQ(fresh.dictionary.open(dir.file("new.vxl")), "");
    EXPECT_EQ(fresh.dictionary.writeBack(), "");
    EXPECT_FALSE(platform::fileExists(dir.file("new.vxl")));
    fresh.dictionary.newCategory("New", 0);
    EXPECT_EQ(fresh.dictionary.writeBack(), "");
    EXPECT_EQ(test::readAll(dir.file("new.vxl")), "New\t0\r\n");
    // "Add" merges; a failed "Add" changes nothing.
    EXPECT_NE(fresh.dictionary.add(dir.file("none.vxl")), "");
    EXPECT_EQ(fresh.dictionary.add(path), "");
    EXPECT_EQ(fresh.listing().size(), 3u);
}

TEST(Dictionary, ManyItemsAndDuplicatesAreReadInReasonableTime) {
    std::string bytes = "Big\t0\r\n";
    for (int i = 0; i < 100000; ++i)
        bytes += "\titem" + std::to_string(i % 50000) + "\t0\t0\t0\t0\r\n";
    Dict d;
    EXPECT_EQ(d.dictionary.addBytes(bytes), 50000u);
    EXPECT_EQ(d.store.RecordCount(TopicId::DictItems), 50000);
}
