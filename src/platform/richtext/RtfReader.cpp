// The RTF reader. It accepts any bytes: what it does not understand it skips, and every
// limit (group depth, \bin lengths, numbers) is bounded, so no input can crash it, hang it
// or make it allocate more than a small multiple of the input.
#include "CodePages.h"
#include "RichText.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace vexana::platform {

namespace {

constexpr int maxDepth = 4096; // deeper groups are read but share the state of this level
constexpr std::size_t maxFontName = 256;

enum class Dest : unsigned char { Text, Skip, FontTable, ColorTable };

enum class Word : unsigned char {
    Unknown,
    // destinations
    FontTable,
    ColorTable,
    SkipDest,
    FieldResult,
    // document
    Ansi,
    Mac,
    Pc,
    Pca,
    AnsiCpg,
    DefFont,
    Uc,
    U,
    Bin,
    // characters
    Par,
    Line,
    Tab,
    Cell,
    Row,
    Sect,
    Page,
    EmDash,
    EnDash,
    Bullet,
    LQuote,
    RQuote,
    LDblQuote,
    RDblQuote,
    EmSpace,
    EnSpace,
    QmSpace,
    Zwj,
    Zwnj,
    LtrMark,
    RtlMark,
    // character formats
    Plain,
    Bold,
    Italic,
    Underline,
    UnderlineNone,
    Font,
    FontSize,
    Color,
    Background,
    // paragraph formats
    Pard,
    AlignLeft,
    AlignCenter,
    AlignRight,
    AlignJustify,
    LeftIndent,
    RightIndent,
    FirstIndent,
    SpaceBefore,
    SpaceAfter,
    LineSpacing,
    // tables
    FontCharset,
    FontCodePage,
    Red,
    Green,
    Blue,
};

const std::unordered_map<std::string_view, Word>& words() {
    static const std::unordered_map<std::string_view, Word> table = [] {
        std::unordered_map<std::string_view, Word> t = {
            {"fonttbl", Word::FontTable},
            {"colortbl", Word::ColorTable},
            {"fldrslt", Word::FieldResult},
            {"ansi", Word::Ansi},
            {"mac", Word::Mac},
            {"pc", Word::Pc},
            {"pca", Word::Pca},
            {"ansicpg", Word::AnsiCpg},
            {"deff", Word::DefFont},
            {"uc", Word::Uc},
            {"u", Word::U},
            {"bin", Word::Bin},
            {"par", Word::Par},
            {"line", Word::Line},
            {"tab", Word::Tab},
            {"cell", Word::Cell},
            {"nestcell", Word::Cell},
            {"row", Word::Row},
            {"nestrow", Word::Row},
            {"sect", Word::Sect},
            {"page", Word::Page},
            {"emdash", Word::EmDash},
            {"endash", Word::EnDash},
            {"bullet", Word::Bullet},
            {"lquote", Word::LQuote},
            {"rquote", Word::RQuote},
            {"ldblquote", Word::LDblQuote},
            {"rdblquote", Word::RDblQuote},
            {"emspace", Word::EmSpace},
            {"enspace", Word::EnSpace},
            {"qmspace", Word::QmSpace},
            {"zwj", Word::Zwj},
            {"zwnj", Word::Zwnj},
            {"ltrmark", Word::LtrMark},
            {"rtlmark", Word::RtlMark},
            {"plain", Word::Plain},
            {"b", Word::Bold},
            {"i", Word::Italic},
            {"ul", Word::Underline},
            {"ulnone", Word::UnderlineNone},
            {"f", Word::Font},
            {"fs", Word::FontSize},
            {"cf", Word::Color},
            {"cb", Word::Background},
            {"highlight", Word::Background},
            {"chcbpat", Word::Background},
            {"pard", Word::Pard},
            {"ql", Word::AlignLeft},
            {"qc", Word::AlignCenter},
            {"qr", Word::AlignRight},
            {"qj", Word::AlignJustify},
            {"qd", Word::AlignJustify},
            {"li", Word::LeftIndent},
            {"lin", Word::LeftIndent},
            {"ri", Word::RightIndent},
            {"rin", Word::RightIndent},
            {"fi", Word::FirstIndent},
            {"sb", Word::SpaceBefore},
            {"sa", Word::SpaceAfter},
            {"sl", Word::LineSpacing},
            {"fcharset", Word::FontCharset},
            {"cpg", Word::FontCodePage},
            {"red", Word::Red},
            {"green", Word::Green},
            {"blue", Word::Blue},
        };
        // Underline styles all underline.
        for (const char* w :
             {"uld", "uldb", "uldash", "uldashd", "uldashdd", "ulhwave", "ulldash", "ulth", "ulthd",
              "ulthdash", "ulthdashd", "ulthdashdd", "ulthldash", "ululdbwave", "ulw", "ulwave"})
            t.emplace(w, Word::Underline);
        // Destinations whose content is not part of the body.
        for (const char* w : {"stylesheet",   "info",
                              "header",       "headerl",
                              "headerr",      "headerf",
                              "footer",       "footerl",
                              "footerr",      "footerf",
                              "footnote",     "annotation",
                              "atnid",        "atnauthor",
                              "atndate",      "atnref",
                              "atrfstart",    "atrfend",
                              "pict",         "object",
                              "objdata",      "objclass",
                              "objname",      "fldinst",
                              "themedata",    "colorschememapping",
                              "datastore",    "latentstyles",
                              "listtable",    "listoverridetable",
                              "revtbl",       "rsidtbl",
                              "generator",    "xmlnstbl",
                              "pntext",       "pntxta",
                              "pntxtb",       "listtext",
                              "filetbl",      "private",
                              "template",     "comment",
                              "doccomm",      "author",
                              "operator",     "title",
                              "subject",      "keywords",
                              "company",      "bkmkstart",
                              "bkmkend",      "xe",
                              "tc",           "txe",
                              "shpinst",      "nonshppict",
                              "shppict",      "userprops",
                              "docvar",       "pgdsctbl",
                              "ftnsep",       "ftnsepc",
                              "ftncn",        "aftnsep",
                              "aftnsepc",     "aftncn",
                              "mmathPr",      "wgrffmtfilter",
                              "passwordhash", "protusertbl",
                              "pnseclvl",     "fchars",
                              "lchars",       "panose",
                              "falt",         "tcn"})
            t.emplace(w, Word::SkipDest);
        return t;
    }();
    return table;
}

struct Font {
    std::string name;       // the finished name (UTF-8) once the entry has ended
    std::string raw;        // bytes of the name not yet decoded
    std::u32string decoded; // what has been decoded so far
    int charset = -1;
    int codePage = 0;
    bool done = false;
};

struct State {
    Dest dest = Dest::Text;
    int uc = 1;
    int font = -1;
    int size = 24;
    bool bold = false, italic = false, underline = false;
    int color = 0, background = 0;
    ParaFormat para;
};

class Reader {
public:
    explicit Reader(std::string_view in) : in_(in) {}
    RichText run();

private:
    void controlWord(std::string_view word, bool hasParam, long param);
    void textByte(unsigned char b);
    void emit(char32_t c) { emitText(std::u32string_view(&c, 1)); }
    void emitText(std::u32string_view chars);
    void flushBytes();
    void paragraphEnd();
    CharFormat currentFormat() const;
    int codePageOf(const State& s);
    int lookUpCodePage(const State& s) const;
    Font& font(int index);
    void endFontEntry();
    int nameCodePage(const Font& f) const;

    std::string_view in_;
    std::size_t pos_ = 0;
    std::vector<State> stack_;
    State st_;
    int overflow_ = 0; // groups opened past maxDepth
    bool ignorable_ = false;
    int skipChars_ = 0; // fallback characters still to drop after \u
    char32_t highSurrogate_ = 0;
    int defaultCodePage_ = 1252;
    int defaultFont_ = 0;
    std::vector<std::pair<int, Font>> fonts_;
    int fontEntry_ = -1;
    bool fontNameDone_ = false;
    std::vector<std::int32_t> colors_;
    int red_ = 0, green_ = 0, blue_ = 0;
    bool colorHasValue_ = false;
    std::string pending_; // text bytes not yet decoded
    std::u32string decoded_;
    int cachedFont_ = -2; // the font whose code page cachedCodePage_ is
    int cachedCodePage_ = 1252;
    int pendingCodePage_ = 1252;
    RichText out_;
    CharFormat lastFormat_;
    bool formatDirty_ = true;
    int paragraph_ = 0;
    ParaFormat finalPara_;
    bool haveFinalPara_ = false;
};

Font& Reader::font(int index) {
    for (auto& [i, f] : fonts_)
        if (i == index) return f;
    fonts_.emplace_back(index, Font{});
    return fonts_.back().second;
}

int Reader::codePageOf(const State& s) {
    if (s.font == cachedFont_) return cachedCodePage_;
    cachedFont_ = s.font;
    cachedCodePage_ = lookUpCodePage(s);
    return cachedCodePage_;
}

int Reader::lookUpCodePage(const State& s) const {
    const int index = s.font >= 0 ? s.font : defaultFont_;
    for (const auto& [i, f] : fonts_)
        if (i == index) {
            if (f.codePage > 0) return f.codePage;
            const int cp = codePageForCharset(f.charset);
            return cp > 0 ? cp : defaultCodePage_;
        }
    return defaultCodePage_;
}

CharFormat Reader::currentFormat() const {
    CharFormat f;
    const int index = st_.font >= 0 ? st_.font : defaultFont_;
    for (const auto& [i, fo] : fonts_)
        if (i == index) f.font = fo.name;
    f.size = st_.size;
    f.bold = st_.bold;
    f.italic = st_.italic;
    f.underline = st_.underline;
    auto colorAt = [&](int idx) {
        return idx > 0 && idx < static_cast<int>(colors_.size())
                   ? colors_[static_cast<std::size_t>(idx)]
                   : AutoColor;
    };
    f.color = colorAt(st_.color);
    f.background = colorAt(st_.background);
    return f;
}

void Reader::emitText(std::u32string_view chars) {
    if (chars.empty()) return;
    if (highSurrogate_) {
        // A high surrogate not followed at once by its low half stands for nothing readable.
        highSurrogate_ = 0;
        const char32_t bad = 0xFFFD;
        emitText(std::u32string_view(&bad, 1));
    }
    if (formatDirty_) {
        lastFormat_ = currentFormat();
        formatDirty_ = false;
    }
    out_.appendChars(chars, lastFormat_);
}

void Reader::flushBytes() {
    if (pending_.empty()) return;
    decoded_.clear();
    decodeCodePage(pending_, pendingCodePage_, decoded_);
    pending_.clear();
    // Escaped line ends are paragraph ends like any other; zero bytes are no characters.
    std::size_t from = 0;
    for (std::size_t i = 0; i < decoded_.size(); ++i) {
        const char32_t ch = decoded_[i];
        if (ch != 0 && ch != U'\r' && ch != U'\n') continue;
        emitText(std::u32string_view(decoded_).substr(from, i - from));
        from = i + 1;
        if (ch != 0) {
            out_.setParagraphFormatAt(paragraph_, st_.para);
            emit(U'\r');
            ++paragraph_;
        }
    }
    emitText(std::u32string_view(decoded_).substr(from));
}

void Reader::textByte(unsigned char b) {
    if (st_.dest == Dest::Skip) return;
    if (skipChars_ > 0) {
        --skipChars_;
        return;
    }
    if (st_.dest == Dest::FontTable) {
        if (fontEntry_ < 0 || fontNameDone_) return;
        if (b == ';') {
            fontNameDone_ = true;
            return;
        }
        Font& f = font(fontEntry_);
        if (b >= 0x20 && f.raw.size() + f.decoded.size() < maxFontName)
            f.raw += static_cast<char>(b);
        return;
    }
    if (st_.dest == Dest::ColorTable) {
        if (b == ';') {
            colors_.push_back(colorHasValue_ ? (red_ << 16 | green_ << 8 | blue_) : AutoColor);
            red_ = green_ = blue_ = 0;
            colorHasValue_ = false;
        }
        return;
    }
    const int cp = codePageOf(st_);
    if (cp != pendingCodePage_) {
        flushBytes();
        pendingCodePage_ = cp;
    }
    pending_ += static_cast<char>(b);
}

void Reader::paragraphEnd() {
    flushBytes();
    out_.setParagraphFormatAt(paragraph_, st_.para);
    emit(U'\r');
    ++paragraph_;
}

int Reader::nameCodePage(const Font& f) const {
    // Names are written in the font's own code page.
    const int cp = f.codePage > 0 ? f.codePage : codePageForCharset(f.charset);
    return cp > 0 ? cp : defaultCodePage_;
}

void Reader::endFontEntry() {
    if (fontEntry_ < 0) return;
    Font& f = font(fontEntry_);
    fontEntry_ = -1;
    cachedFont_ = -2;
    if (f.done) return;
    decodeCodePage(f.raw, nameCodePage(f), f.decoded);
    f.raw.clear();
    while (!f.decoded.empty() && f.decoded.back() == U' ')
        f.decoded.pop_back();
    for (char32_t ch : f.decoded)
        utf8Append(f.name, ch);
    f.done = true;
}

void Reader::controlWord(std::string_view word, bool hasParam, long param) {
    const bool ignorable = ignorable_;
    ignorable_ = false;
    const auto it = words().find(word);
    const Word w = it == words().end() ? Word::Unknown : it->second;

    // Inside a skipped destination only \bin matters (its bytes must not be read as RTF).
    if (st_.dest == Dest::Skip && w != Word::Bin) return;

    if (w == Word::U && st_.dest == Dest::FontTable) {
        if (fontEntry_ >= 0 && !fontNameDone_) {
            Font& f = font(fontEntry_);
            decodeCodePage(f.raw, nameCodePage(f), f.decoded);
            f.raw.clear();
            const long v = param < 0 ? param + 65536 : param;
            if (v >= 0x20 && f.raw.size() + f.decoded.size() < maxFontName)
                f.decoded.push_back(v < 0xD800 || v > 0xDFFF ? static_cast<char32_t>(v) : 0xFFFD);
        }
        skipChars_ = st_.uc;
        return;
    }
    if (w == Word::U) {
        if (st_.dest != Dest::Text) return;
        long v = param;
        if (v < 0) v += 65536;
        char32_t c = static_cast<char32_t>(v);
        flushBytes();
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (highSurrogate_) {
                highSurrogate_ = 0;
                emit(0xFFFD);
            }
            highSurrogate_ = c;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            c = highSurrogate_ ? 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (c - 0xDC00)
                               : 0xFFFD;
            highSurrogate_ = 0;
            emit(c);
        } else {
            if (c == 0 || c > 0x10FFFF) c = 0xFFFD;
            if (c == U'\r' || c == U'\n')
                paragraphEnd();
            else
                emit(c);
        }
        skipChars_ = st_.uc;
        return;
    }
    // A fallback is never a paragraph end or a tab: those end the skipping instead.
    const bool structural = w == Word::Par || w == Word::Line || w == Word::Tab ||
                            w == Word::Cell || w == Word::Row || w == Word::Sect || w == Word::Page;
    if (structural) skipChars_ = 0;
    if (skipChars_ > 0 && w != Word::Bin) {
        --skipChars_;
        return;
    }

    auto character = [&](char32_t c) {
        if (st_.dest != Dest::Text) return;
        flushBytes();
        emit(c);
    };
    const int n = hasParam ? static_cast<int>(param) : 0;
    switch (w) {
    case Word::FontTable:
        st_.dest = Dest::FontTable;
        return;
    case Word::ColorTable:
        st_.dest = Dest::ColorTable;
        return;
    case Word::SkipDest:
        st_.dest = Dest::Skip;
        return;
    case Word::FieldResult:
        return;
    case Word::Ansi:
    case Word::Mac:
    case Word::Pc:
    case Word::Pca:
    case Word::AnsiCpg:
    case Word::DefFont:
        flushBytes();
        if (w == Word::Ansi)
            defaultCodePage_ = 1252;
        else if (w == Word::Mac)
            defaultCodePage_ = 10000;
        else if (w == Word::Pc)
            defaultCodePage_ = 437;
        else if (w == Word::Pca)
            defaultCodePage_ = 850;
        else if (w == Word::AnsiCpg && n > 0)
            defaultCodePage_ = n;
        else if (w == Word::DefFont)
            defaultFont_ = n;
        cachedFont_ = -2;
        formatDirty_ = true;
        return;
    case Word::Uc:
        st_.uc = std::clamp(n, 0, 16);
        return;
    case Word::Bin: {
        const std::size_t len = hasParam && param > 0 ? static_cast<std::size_t>(param) : 0;
        pos_ += std::min(len, in_.size() - pos_);
        return;
    }
    case Word::Par:
    case Word::Line:
    case Word::Row:
    case Word::Sect:
    case Word::Page:
        if (st_.dest == Dest::Text) paragraphEnd();
        return;
    case Word::Tab:
    case Word::Cell:
        character(U'\t');
        return;
    case Word::EmDash:
        character(0x2014);
        return;
    case Word::EnDash:
        character(0x2013);
        return;
    case Word::Bullet:
        character(0x2022);
        return;
    case Word::LQuote:
        character(0x2018);
        return;
    case Word::RQuote:
        character(0x2019);
        return;
    case Word::LDblQuote:
        character(0x201C);
        return;
    case Word::RDblQuote:
        character(0x201D);
        return;
    case Word::EmSpace:
        character(0x2003);
        return;
    case Word::EnSpace:
        character(0x2002);
        return;
    case Word::QmSpace:
        character(0x2005);
        return;
    case Word::Zwj:
        character(0x200D);
        return;
    case Word::Zwnj:
        character(0x200C);
        return;
    case Word::LtrMark:
        character(0x200E);
        return;
    case Word::RtlMark:
        character(0x200F);
        return;
    default:
        break;
    }

    if (st_.dest == Dest::FontTable) {
        cachedFont_ = -2;
        if (w == Word::Font) {
            endFontEntry();
            fontEntry_ = n;
            fontNameDone_ = false;
            font(n);
        } else if (w == Word::FontCharset && fontEntry_ >= 0) {
            font(fontEntry_).charset = n;
        } else if (w == Word::FontCodePage && fontEntry_ >= 0) {
            font(fontEntry_).codePage = n;
        }
        return;
    }
    if (st_.dest == Dest::ColorTable) {
        const int v = std::clamp(n, 0, 255);
        if (w == Word::Red)
            red_ = v, colorHasValue_ = true;
        else if (w == Word::Green)
            green_ = v, colorHasValue_ = true;
        else if (w == Word::Blue)
            blue_ = v, colorHasValue_ = true;
        return;
    }

    // Bytes read so far carry the format in force before this word.
    if (w != Word::Unknown) flushBytes();
    switch (w) {
    case Word::Plain:
        st_.font = -1;
        st_.size = 24;
        st_.bold = st_.italic = st_.underline = false;
        st_.color = st_.background = 0;
        break;
    case Word::Bold:
        st_.bold = !hasParam || n != 0;
        break;
    case Word::Italic:
        st_.italic = !hasParam || n != 0;
        break;
    case Word::Underline:
        st_.underline = !hasParam || n != 0;
        break;
    case Word::UnderlineNone:
        st_.underline = false;
        break;
    case Word::Font:
        st_.font = n;
        break;
    case Word::FontSize:
        st_.size = n > 0 && n <= 3276 ? n : 24;
        break;
    case Word::Color:
        st_.color = n;
        break;
    case Word::Background:
        st_.background = n;
        break;
    case Word::Pard:
        st_.para = ParaFormat{};
        return;
    case Word::AlignLeft:
        st_.para.align = Align::Left;
        return;
    case Word::AlignCenter:
        st_.para.align = Align::Center;
        return;
    case Word::AlignRight:
        st_.para.align = Align::Right;
        return;
    case Word::AlignJustify:
        st_.para.align = Align::Justify;
        return;
    case Word::LeftIndent:
        st_.para.leftIndent = n;
        return;
    case Word::RightIndent:
        st_.para.rightIndent = n;
        return;
    case Word::FirstIndent:
        st_.para.firstIndent = n;
        return;
    case Word::SpaceBefore:
        st_.para.spaceBefore = n;
        return;
    case Word::SpaceAfter:
        st_.para.spaceAfter = n;
        return;
    case Word::LineSpacing:
        st_.para.lineSpacing = n;
        return;
    default:
        // An unknown destination marked ignorable is skipped whole; other unknown words
        // are simply passed over and their group's text is kept.
        if (ignorable) st_.dest = Dest::Skip;
        return;
    }
    formatDirty_ = true;
}

RichText Reader::run() {
    stack_.reserve(64);
    // Never more characters than input bytes; growing by doubling would copy the text again.
    out_.reserve(in_.size());
    const std::size_t n = in_.size();
    while (pos_ < n) {
        const unsigned char c = static_cast<unsigned char>(in_[pos_++]);
        switch (c) {
        case '{':
            flushBytes();
            skipChars_ = 0;
            if (stack_.size() < maxDepth)
                stack_.push_back(st_);
            else
                ++overflow_;
            break;
        case '}':
            flushBytes();
            skipChars_ = 0;
            ignorable_ = false;
            if (st_.dest == Dest::FontTable) endFontEntry();
            if (overflow_ > 0) {
                --overflow_;
            } else if (!stack_.empty()) {
                // The document's own group ends: its last paragraph has the format in force here.
                if (stack_.size() == 1) finalPara_ = st_.para, haveFinalPara_ = true;
                const Dest was = st_.dest;
                st_ = stack_.back();
                stack_.pop_back();
                if (was == Dest::FontTable && st_.dest != Dest::FontTable) endFontEntry();
                formatDirty_ = true;
            }
            break;
        case '\\': {
            if (pos_ >= n) break;
            const unsigned char d = static_cast<unsigned char>(in_[pos_]);
            if ((d >= 'a' && d <= 'z') || (d >= 'A' && d <= 'Z')) {
                const std::size_t start = pos_;
                while (pos_ < n && pos_ - start < 32 &&
                       ((in_[pos_] >= 'a' && in_[pos_] <= 'z') ||
                        (in_[pos_] >= 'A' && in_[pos_] <= 'Z')))
                    ++pos_;
                const std::string_view word = in_.substr(start, pos_ - start);
                bool hasParam = false, negative = false;
                long param = 0;
                if (pos_ < n && in_[pos_] == '-' && pos_ + 1 < n && in_[pos_ + 1] >= '0' &&
                    in_[pos_ + 1] <= '9') {
                    negative = true;
                    ++pos_;
                }
                int digits = 0;
                while (pos_ < n && in_[pos_] >= '0' && in_[pos_] <= '9') {
                    if (digits < 10) param = param * 10 + (in_[pos_] - '0');
                    ++digits;
                    ++pos_;
                    hasParam = true;
                }
                if (param > 2147483647L) param = 2147483647L;
                if (negative) param = -param;
                if (pos_ < n && in_[pos_] == ' ') ++pos_;
                controlWord(word, hasParam, param);
                break;
            }
            ++pos_;
            switch (d) {
            case '\'': {
                auto hex = [](char h) {
                    if (h >= '0' && h <= '9') return h - '0';
                    if (h >= 'a' && h <= 'f') return h - 'a' + 10;
                    if (h >= 'A' && h <= 'F') return h - 'A' + 10;
                    return -1;
                };
                int value = 0, got = 0;
                while (got < 2 && pos_ < n && hex(in_[pos_]) >= 0)
                    value = value * 16 + hex(in_[pos_++]), ++got;
                ignorable_ = false;
                if (got > 0) textByte(static_cast<unsigned char>(value));
                break;
            }
            case '*':
                ignorable_ = true;
                break;
            case '\\':
            case '{':
            case '}':
                textByte(d);
                break;
            case '~':
                if (st_.dest == Dest::Text && skipChars_ == 0)
                    flushBytes(), emit(0x00A0);
                else if (skipChars_ > 0)
                    --skipChars_;
                break;
            case '_':
                if (st_.dest == Dest::Text && skipChars_ == 0)
                    flushBytes(), emit(0x2011);
                else if (skipChars_ > 0)
                    --skipChars_;
                break;
            case '\r':
            case '\n':
                if (st_.dest == Dest::Text) paragraphEnd();
                break;
            case '\t':
                textByte('\t');
                break;
            default:
                break; // \- optional hyphen, \| \: and anything else: nothing to show
            }
            break;
        }
        case '\r':
        case '\n':
        case 0:
            break;
        default:
            if (c < 0x20 && c != '\t') break;
            textByte(c);
        }
    }
    flushBytes();
    out_.setParagraphFormatAt(paragraph_, haveFinalPara_ ? finalPara_ : st_.para);
    return std::move(out_);
}

RichText readPlainText(std::string_view bytes) {
    return RichText::fromPlain(decodeTextFile(bytes));
}

} // namespace

bool RichText::looksLikeRtf(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    std::size_t i = 0;
    while (i < bytes.size() &&
           (bytes[i] == ' ' || bytes[i] == '\r' || bytes[i] == '\n' || bytes[i] == '\t'))
        ++i;
    return bytes.substr(i).starts_with("{\\rtf");
}

RichText RichText::fromRtf(std::string_view bytes) {
    if (!looksLikeRtf(bytes)) return readPlainText(bytes);
    return Reader(bytes).run();
}

} // namespace vexana::platform
