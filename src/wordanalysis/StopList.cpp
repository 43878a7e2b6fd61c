#include "StopList.h"

#include "WordFrequencies.h"
#include "browser/TextSearch.h"
#include "platform/Files.h"
#include "platform/Utf8.h"
#include "store/AppSettings.h"
#include "store/UserInterface.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace vexana::wordanalysis {

namespace {

std::string folded(std::string_view word) {
    std::string out;
    out.reserve(word.size());
    for (std::size_t i = 0; i < word.size();)
        platform::utf8Append(out, browser::foldCase(platform::utf8Decode(word, i)));
    return out;
}

std::size_t characters(std::string_view utf8) {
    std::size_t n = 0;
    for (unsigned char c : utf8)
        n += (c & 0xC0) != 0x80;
    return n;
}

void sortDistinct(std::vector<std::string>& words) {
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
}

} // namespace

bool StopList::contains(std::string_view word) const {
    return std::binary_search(words_.begin(), words_.end(), word,
                              [](std::string_view a, std::string_view b) { return a < b; });
}

std::string StopList::refusal(std::string_view word) {
    if (word.empty()) return "An empty word cannot be on the stop list.";
    if (!platform::isValidUtf8(word)) return "A word of the stop list must be UTF-8 text.";
    if (characters(word) > maxWordChars)
        return "\"" + std::string(platform::utf8Prefix(word, 20)) +
               "...\" is longer than 63 characters: such words are never counted.";
    for (std::size_t i = 0; i < word.size();) {
        const char32_t c = platform::utf8Decode(word, i);
        if (c <= U' ' || c == 0x7F)
            return "A word of the stop list cannot hold blanks, tabs or line ends.";
    }
    return {};
}

bool StopList::add(std::string_view word) {
    if (!refusal(word).empty() || words_.size() >= maxEntries) return false;
    std::string w = folded(word);
    const auto at = std::lower_bound(words_.begin(), words_.end(), w);
    if (at != words_.end() && *at == w) return false;
    words_.insert(at, std::move(w));
    return true;
}

bool StopList::remove(std::string_view word) {
    const std::string w = folded(word);
    const auto at = std::lower_bound(words_.begin(), words_.end(), w);
    if (at == words_.end() || *at != w) return false;
    words_.erase(at);
    return true;
}

bool StopList::merge(const std::vector<std::string>& words) {
    std::vector<std::string> all = words_;
    all.insert(all.end(), words.begin(), words.end());
    sortDistinct(all);
    if (all.size() > maxEntries) return false;
    words_ = std::move(all);
    return true;
}

void StopList::assign(std::vector<std::string> words) {
    sortDistinct(words);
    words_ = std::move(words);
}

StopList::Reading StopList::parse(std::string_view bytes,
                                  const browser::WordDelimiters& delimiters) {
    Reading r;
    if (bytes.size() > maxFileBytes) {
        r.error = "The stop list is larger than 16 MB.";
        return r;
    }
    const std::string text = platform::decodeTextFile(bytes);
    // Random bytes would otherwise be read as words of garbage.
    if (text.find('\0') != std::string::npos) {
        r.error = "The stop list holds binary data; it is not a text file.";
        return r;
    }
    const WordSplitter splitter(delimiters);
    std::string word;
    std::size_t chars = 0;
    const auto end = [&] {
        if (chars > maxWordChars)
            ++r.tooLong;
        else if (chars > 0)
            r.words.push_back(word);
        word.clear();
        chars = 0;
    };
    for (std::size_t i = 0; i < text.size();) {
        // Folded before the cut-off test, as a count folds its text first.
        const char32_t c = browser::foldCase(platform::utf8Decode(text, i));
        if (splitter.cuts(c)) {
            end();
        } else if (++chars <= maxWordChars) {
            platform::utf8Append(word, c);
        }
    }
    end();
    sortDistinct(r.words);
    if (r.words.size() > maxEntries) {
        r.words.clear();
        r.error = "The stop list has more than 1000000 entries.";
    }
    return r;
}

StopList::Reading StopList::readFile(const std::string& path,
                                     const browser::WordDelimiters& delimiters) {
    Reading r;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        r.error = "The stop list " + path + " cannot be opened: " + std::strerror(errno) + ".";
        return r;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0) {
        r.error = "The stop list " + path + " cannot be read.";
        return r;
    }
    if (static_cast<std::uint64_t>(size) > maxFileBytes) {
        r.error = "The stop list " + path + " is larger than 16 MB.";
        return r;
    }
    std::string bytes(static_cast<std::size_t>(size), '\0');
    in.seekg(0);
    if (!in.read(bytes.data(), size)) {
        r.error = "The stop list " + path + " cannot be read.";
        return r;
    }
    r = parse(bytes, delimiters);
    if (!r.error.empty()) r.error = path + ": " + r.error;
    return r;
}

bool StopList::load(const std::string& path, const browser::WordDelimiters& delimiters,
                    store::UserInterface& ui, bool merge) {
    Reading r = readFile(path, delimiters);
    if (!r.error.empty()) {
        ui.message(r.error, store::MessageIcon::Stop);
        return false;
    }
    if (merge) {
        if (!this->merge(r.words)) {
            ui.message("The stop list would have more than 1000000 entries; " + path +
                           " was not added.",
                       store::MessageIcon::Stop);
            return false;
        }
    } else {
        words_ = std::move(r.words);
    }
    if (r.tooLong > 0)
        ui.message(std::to_string(r.tooLong) + " entries of " + path +
                       " are longer than 63 characters and were left out.",
                   store::MessageIcon::Warning);
    return true;
}

std::string StopList::fileBytes() const {
    std::string text;
    for (const std::string& w : words_)
        text += w + "\r\n";
    return platform::encodeTextFile(text);
}

std::string StopList::write(const std::string& path) const {
    if (const std::string why = platform::writeFileAtomic(path, fileBytes()); !why.empty())
        return "The stop list " + path + " was not written: " + why;
    return {};
}

std::string storedStopListFolder(const store::AppSettings& settings) {
    return settings.profile().readString(stopListSection, "DefaultPath");
}

void storeStopListFolder(store::AppSettings& settings, const std::string& folder) {
    settings.profile().writeString(stopListSection, "DefaultPath", folder);
}

} // namespace vexana::wordanalysis
