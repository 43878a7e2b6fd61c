#include "ProjectGenerator.h"

#include "platform/Files.h"
#include "platform/richtext/RichText.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace vexana::bench {

using namespace vexana::store;

ProjectShape ProjectShape::fromEnvironment() {
    ProjectShape s;
    if (const char* v = std::getenv("VEXANA_BENCH_SCALE")) {
        const double f = std::atof(v);
        if (f > 0 && f <= 1) {
            s.texts = std::max(10, static_cast<int>(s.texts * f));
            s.codes = std::max(10, static_cast<int>(s.codes * f));
            s.codings = std::max(100, static_cast<int>(s.codings * f));
            s.memos = std::max(10, static_cast<int>(s.memos * f));
        }
    }
    return s;
}

std::string benchDirectory() {
    const char* t = std::getenv("TMPDIR");
    std::string dir = std::string(t && *t ? t : "/tmp") + "/vexana-bench";
    platform::makeDirectories(dir);
    return dir;
}

std::string syntheticText(Random& r, int bytes) {
    static const char* words[] = {"interview",
                                  "family",
                                  "work",
                                  "school",
                                  "we",
                                  "said",
                                  "that",
                                  "it",
                                  "was",
                                  "difficult",
                                  "because",
                                  "the",
                                  "children",
                                  "moved",
                                  "later",
                                  "really",
                                  ("Stra\xC3\x9F"
                                   "e"),
                                  "\xCE\xB5\xCF\x81\xCE\xB3\xCE\xB1\xCF\x83\xCE\xAF\xCE\xB1",
                                  "and",
                                  "then",
                                  "I",
                                  "remember",
                                  "money",
                                  "friends"};
    std::string out;
    out.reserve(static_cast<std::size_t>(bytes) + 32);
    int sentence = 0;
    while (static_cast<int>(out.size()) < bytes) {
        out += words[r.below(static_cast<int>(std::size(words)))];
        ++sentence;
        if (sentence % 60 == 0)
            out += ".\r";
        else
            out += ' ';
    }
    return out;
}

namespace {

std::string rtfBody(const std::string& plain) {
    std::string rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 ";
    for (std::size_t i = 0; i < plain.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(plain[i]);
        if (c == '\r')
            rtf += "\\par\n";
        else if (c < 0x80)
            rtf += static_cast<char>(c);
        else
            rtf += "\\'3f";
    }
    return rtf + "}";
}

} // namespace

std::string generateProject(const std::string& path, const ProjectShape& shape,
                            std::uint32_t seed) {
    SilentUserInterface ui;
    RecentProjects recent;
    CVexDoc doc(ui, recent);
    if (platform::fileExists(path)) return "exists already: " + path;
    if (!doc.OpenPath(path, false)) return "cannot create " + path;
    TopicStore& s = doc.store();
    Random r(seed);
    StoreBatch batch(s);
    RecordCursor c;
    std::vector<std::int32_t> groups;
    for (int g = 0; g < 20; ++g) {
        s.NewRecord(TopicId::TextGroups, c);
        c.setInt(GroupField::Index, g);
        c.setInt(GroupField::State, 1);
        c.setText(GroupField::Name, "Group " + std::to_string(g + 1));
        groups.push_back(c.id());
        s.Save(c);
    }
    std::vector<int> textLengths;
    for (int t = 0; t < shape.texts; ++t) {
        const std::string plain = syntheticText(r, shape.bodyBytes);
        s.NewRecord(TopicId::Texts, c);
        c.setInt(TextField::Index, t / 20);
        c.setInt(TextField::Group, groups[static_cast<std::size_t>(t % 20)]);
        c.setText(TextField::Name, "Interview " + std::to_string(t + 1));
        c.setDate(TextField::Date, DateTime::fromCivil(2024, 1 + t % 12, 1 + t % 28));
        c.setBlock(TextField::Body, rtfBody(plain));
        textLengths.push_back(static_cast<int>(plain.size()));
        s.Save(c, true, true);
    }
    std::vector<std::int32_t> codes;
    for (int k = 0; k < shape.codes; ++k) {
        s.NewRecord(TopicId::Codes, c);
        const std::int32_t parent =
            k < 20 ? 0 : codes[static_cast<std::size_t>(r.below(static_cast<int>(codes.size())))];
        c.setInt(CodeField::Parent, parent);
        c.setInt(CodeField::Index, k);
        c.setText(CodeField::Name, "Code " + std::to_string(k + 1));
        codes.push_back(c.id());
        s.Save(c);
    }
    for (int k = 0; k < shape.codings; ++k) {
        const int text = r.below(shape.texts);
        const int len = textLengths[static_cast<std::size_t>(text)];
        const int start = r.below(len - 200);
        s.NewRecord(TopicId::Codings, c);
        c.setInt(CodingField::TAID, c.id());
        c.setInt(CodingField::Text, text + 1);
        c.setInt(CodingField::Code, codes[static_cast<std::size_t>(r.below(shape.codes))]);
        c.setInt(CodingField::StartChar, start);
        c.setInt(CodingField::FinishChar, start + 20 + r.below(180));
        c.setInt(CodingField::StartPara, 1 + start / 400);
        c.setInt(CodingField::FinishPara, 1 + start / 400);
        c.setInt(CodingField::Weight, 100);
        c.setText(CodingField::Preview, syntheticText(r, 70));
        s.Save(c);
    }
    for (int m = 0; m < shape.memos; ++m) {
        s.NewRecord(TopicId::Memos, c);
        c.setInt(MemoField::Text, 1 + r.below(shape.texts));
        c.setInt(MemoField::Pos, r.below(1000));
        c.setText(MemoField::Title, "Memo " + std::to_string(m + 1));
        c.setText(MemoField::Author, "Researcher");
        c.setDate(MemoField::Date, DateTime::fromCivil(2024, 6, 1));
        c.setText(MemoField::Preview, syntheticText(r, 60));
        c.setBlock(MemoField::Body, "{\\rtf1 " + syntheticText(r, 400) + "}");
        s.Save(c, true, true);
    }
    return batch.finish() ? std::string() : "the generating transaction failed";
}

std::string rtfOf(const std::string& plain) {
    platform::RichText t = platform::RichText::fromPlain(plain);
    platform::CharFormat bold;
    bold.bold = true;
    for (std::int32_t p = 0; p + 40 < t.length(); p += 300)
        t.setCharFormat(p, p + 12, bold, platform::CharMask::Bold);
    return t.toRtf();
}

std::vector<std::string> writeInterviewFiles(const std::string& dir, int count, int bytes) {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::vector<std::string> files;
    Random r(3);
    for (int i = 0; i < count; ++i) {
        files.push_back(dir + "/interview" + std::to_string(i) + ".rtf");
        platform::writeFileAtomic(files.back(), rtfOf(syntheticText(r, bytes)));
    }
    return files;
}

} // namespace vexana::bench
