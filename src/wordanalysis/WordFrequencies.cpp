#include "WordFrequencies.h"

#include "analysis/Workspace.h"
#include "platform/Utf8.h"
#include "platform/richtext/RichText.h"
#include "store/AppSettings.h"
#include "store/RecordCursor.h"
#include "store/Schema.h"
#include "store/TopicStore.h"

#include <algorithm>
#include <cmath>
#include <unicode/uchar.h>

namespace vexana::wordanalysis {

using namespace vexana::store;

namespace {

constexpr const char* qntSection = "QNT";

namespace WordField {
inline constexpr int Type = 1, Word = 2, Length = 3, Frequency = 4, Percent = 5;
}

bool unicodeCut(char32_t c) {
    if (c < 0x20 || c == 0x7F) return true;
    if (c < 0x80) return false;
    const auto u = static_cast<UChar32>(c);
    return u_isUWhiteSpace(u) || u_ispunct(u) || u_iscntrl(u);
}

bool lessThan(std::string_view a, std::string_view b) {
    return a < b;
}

} // namespace

WordOptions WordOptions::fromSettings(const AppSettings& settings) {
    WordOptions o;
    o.delimiters = withoutBlanks(settings.delimiters());
    o.caseSensitive = settings.qntFlag("CaseWordCount") != 0;
    o.goList = settings.qntFlag("GoList") != 0;
    return o;
}

void WordOptions::store(AppSettings& settings) const {
    settings.profile().writeString(qntSection, "Delimiters", withoutBlanks(delimiters));
    settings.profile().writeInt(qntSection, "CaseWordCount", caseSensitive ? 1 : 0);
    settings.profile().writeInt(qntSection, "GoList", goList ? 1 : 0);
}

std::string withoutBlanks(std::string_view typed) {
    std::string out;
    for (char c : typed)
        if (c != ' ') out += c;
    return out;
}

// --- splitting and counting -------------------------------------------------------------

WordSplitter::WordSplitter(const browser::WordDelimiters& delimiters) : delimiters_(delimiters) {
    for (char32_t c = 0; c < 256; ++c)
        latin_[c] = delimiters.contains(c) || unicodeCut(c);
}

bool WordSplitter::cuts(char32_t c) const {
    if (c < 256) return latin_[c];
    return delimiters_.contains(c) || unicodeCut(c);
}

WordCounter::WordCounter(const browser::WordDelimiters& delimiters, bool caseSensitive,
                         const std::vector<std::string>& list, bool goList)
    : splitter_(delimiters), caseSensitive_(caseSensitive), list_(list), goList_(goList) {
    counts_.reserve(1000);
}

bool WordCounter::excluded(const std::string& word, bool folded) {
    const std::string* key = &word;
    if (!folded) {
        folded_.clear();
        for (std::size_t i = 0; i < word.size();)
            platform::utf8Append(folded_, browser::foldCase(platform::utf8Decode(word, i)));
        key = &folded_;
    }
    const bool found = std::binary_search(list_.begin(), list_.end(), *key, lessThan);
    return goList_ ? !found : found;
}

std::int64_t WordCounter::countText(std::u32string_view plain) {
    std::int64_t words = 0;
    std::size_t chars = 0;
    const auto end = [&] {
        if (chars > 0 && chars <= maxWordChars && !excluded(word_, !caseSensitive_)) {
            ++counts_[word_];
            ++words;
        }
        word_.clear();
        chars = 0;
    };
    for (char32_t c : plain) {
        // The text is folded first: a capital whose small letter is a cut-off character cuts.
        if (!caseSensitive_) c = browser::foldCase(c);
        if (splitter_.cuts(c)) {
            if (chars > 0) end();
            continue;
        }
        if (++chars > maxWordChars) continue;
        if (c < 0x80)
            word_ += static_cast<char>(c);
        else
            platform::utf8Append(word_, c);
    }
    end();
    total_ += words;
    return words;
}

// --- the project's word list ------------------------------------------------------------

std::u32string plainTextOf(TopicStore& store, std::int32_t text) {
    RecordCursor c;
    if (!store.GetRecord(TopicId::Texts, text, c, true)) return {};
    const ByteBlock& b = c.block(TextField::Body);
    if (b.empty()) return {};
    return platform::RichText::fromRtf(
               std::string_view(reinterpret_cast<const char*>(b.data()), b.size()))
        .chars();
}

void WordFrequencies::setDictionaryWords(const std::vector<std::string>& words) {
    dictionary_.clear();
    for (const std::string& w : words) {
        std::string f;
        for (std::size_t i = 0; i < w.size();)
            platform::utf8Append(f, browser::foldCase(platform::utf8Decode(w, i)));
        dictionary_.push_back(std::move(f));
    }
    std::sort(dictionary_.begin(), dictionary_.end());
    dictionary_.erase(std::unique(dictionary_.begin(), dictionary_.end()), dictionary_.end());
}

bool WordFrequencies::CountWords(bool onlyActive) {
    TopicStore& st = ws_.store();
    UserInterface& ui = ws_.ui();
    for (std::int32_t id : st.ListIds(TopicId::WordFrequencies))
        st.DeleteRecordOnly(TopicId::WordFrequencies, id);
    // A count that finds nothing is still the last count: its total and texts replace the
    // previous ones, so the title and the coder never describe a count that is gone.
    counted_ = true;
    total_ = 0;
    texts_.clear();
    for (std::int32_t id : st.ListIds(TopicId::Texts))
        if (!onlyActive || (st.GetInt(TopicId::Texts, id, TextField::State) & StateActive))
            texts_.push_back(id);
    if (texts_.empty()) return true;

    const browser::WordDelimiters delimiters(options.delimiters);
    WordCounter counter(delimiters, options.caseSensitive,
                        options.goList ? dictionary_ : stopList_.words(), options.goList);
    ui.progressOpen();
    int done = 0;
    for (std::int32_t id : texts_) {
        counter.countText(plainTextOf(st, id));
        ui.progressText("Texts: " + std::to_string(++done) +
                        ", Words: " + std::to_string(counter.counts().size()));
    }
    ui.progressClose();
    total_ = counter.total();
    if (total_ == 0) return true;

    const double total = static_cast<double>(total_);
    for (const auto& [word, count] : counter.counts()) {
        RecordCursor c;
        bool ok = st.NewRecord(TopicId::WordFrequencies, c);
        if (ok) {
            c.setInt(WordField::Type, 0);
            c.setText(WordField::Word, word);
            std::int32_t chars = 0;
            for (unsigned char b : word)
                chars += (b & 0xC0) != 0x80;
            c.setInt(WordField::Length, chars);
            c.setInt(WordField::Frequency,
                     static_cast<std::int32_t>(std::min<std::int64_t>(count, INT32_MAX)));
            c.setDouble(WordField::Percent,
                        std::round(static_cast<double>(count) / total * 10000.0) / 100.0);
            ok = st.Save(c);
        }
        if (!ok) {
            // All or nothing: a list missing some words would misstate every frequency.
            for (std::int32_t id : st.ListIds(TopicId::WordFrequencies))
                st.DeleteRecordOnly(TopicId::WordFrequencies, id);
            ui.message("The word list could not be kept: there is not enough memory.",
                       MessageIcon::Stop);
            return false;
        }
    }
    return true;
}

std::string WordFrequencies::title() const {
    return "In " + std::to_string(texts_.size()) + " Texts  (" + std::to_string(total_) +
           " Words Total)";
}

std::vector<WordRow> WordFrequencies::rows() const {
    TopicStore& st = ws_.store();
    std::vector<WordRow> out;
    for (std::int32_t id : st.ListIds(TopicId::WordFrequencies)) {
        RecordCursor c;
        if (!st.GetRecord(TopicId::WordFrequencies, id, c)) continue;
        out.push_back({id, c.getInt(WordField::Type), c.getText(WordField::Word),
                       c.getInt(WordField::Length), c.getInt(WordField::Frequency),
                       c.getDouble(WordField::Percent)});
    }
    std::sort(out.begin(), out.end(), [](const WordRow& a, const WordRow& b) {
        return a.frequency != b.frequency ? a.frequency > b.frequency : a.word < b.word;
    });
    return out;
}

int WordFrequencies::AddToStopList(const std::vector<std::int32_t>& records,
                                   const std::string& path) {
    TopicStore& st = ws_.store();
    // The list and the records change only once the file holds the new list.
    StopList grown = stopList_;
    std::vector<RecordCursor> marked;
    for (std::int32_t id : records) {
        RecordCursor c;
        if (!st.GetRecord(TopicId::WordFrequencies, id, c) || c.getInt(WordField::Type) != 0)
            continue;
        grown.add(c.getText(WordField::Word));
        c.setInt(WordField::Type, 1);
        marked.push_back(std::move(c));
    }
    if (marked.empty()) return 0;
    if (const std::string why = grown.write(path); !why.empty()) {
        ws_.ui().message(why, MessageIcon::Stop);
        return -1;
    }
    stopList_ = std::move(grown);
    for (RecordCursor& c : marked)
        st.Save(c);
    return static_cast<int>(marked.size());
}

} // namespace vexana::wordanalysis
