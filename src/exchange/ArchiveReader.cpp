#include "ArchiveReader.h"

#include "platform/Utf8.h"

#include <algorithm>
#include <cstdio>

namespace vexana::exchange {

namespace {

constexpr std::string_view magic = "VEX-ARC";
constexpr std::size_t nameBytes = 30;
constexpr std::size_t textRecordBytes = nameBytes + 4;
constexpr std::size_t codeRecordBytes = nameBytes + 8; // with no segments and no subcodes
constexpr std::size_t segmentBytes = 12;
constexpr std::size_t variableRecordBytes = 66;

// Little-endian fields of a byte string; every read first checks what is left.
class Fields {
public:
    explicit Fields(std::string_view bytes) : b_(bytes) {}
    std::size_t remaining() const { return b_.size() - pos_; }
    std::size_t position() const { return pos_; }

    bool u16(std::uint16_t& v) {
        if (remaining() < 2) return false;
        v = static_cast<std::uint16_t>(byte(0) | byte(1) << 8);
        pos_ += 2;
        return true;
    }
    bool i16(int& v) {
        std::uint16_t u = 0;
        if (!u16(u)) return false;
        v = static_cast<std::int16_t>(u);
        return true;
    }
    bool u32(std::uint32_t& v) {
        if (remaining() < 4) return false;
        v = static_cast<std::uint32_t>(byte(0)) | static_cast<std::uint32_t>(byte(1)) << 8 |
            static_cast<std::uint32_t>(byte(2)) << 16 | static_cast<std::uint32_t>(byte(3)) << 24;
        pos_ += 4;
        return true;
    }
    bool skip(std::size_t n) {
        if (remaining() < n) return false;
        pos_ += n;
        return true;
    }
    bool bytes(std::size_t n, std::string_view& out) {
        if (remaining() < n) return false;
        out = b_.substr(pos_, n);
        pos_ += n;
        return true;
    }
    // A fixed-size text: up to its first zero byte, in the predecessor's code page.
    bool name(std::string& out, std::size_t n = nameBytes) {
        std::string_view raw;
        if (!bytes(n, raw)) return false;
        out = platform::cp1252ToUtf8(raw.substr(0, raw.find('\0')));
        return true;
    }
    // A 16-bit count of records of at least minBytes each that must fit in what is left.
    bool count(std::size_t minBytes, std::size_t& n) {
        std::uint16_t v = 0;
        if (!u16(v) || std::size_t{v} * minBytes > remaining()) return false;
        n = v;
        return true;
    }

private:
    unsigned byte(std::size_t i) const { return static_cast<unsigned char>(b_[pos_ + i]); }
    std::string_view b_;
    std::size_t pos_ = 0;
};

bool numbered(int type) {
    return type == MemberType::Text || type == MemberType::Lines || type == MemberType::Values ||
           type == MemberType::Memo;
}

std::uint32_t fileKey(int type, int number) {
    return static_cast<std::uint32_t>(type) << 16 |
           (numbered(type) ? static_cast<std::uint32_t>(number) : 0u);
}

std::string cut(std::size_t at) {
    return "it is cut off at byte " + std::to_string(at);
}

} // namespace

std::string memberFileName(int type, int number) {
    char buf[32];
    switch (type) {
    case MemberType::Objects:
        return "1.KOB";
    case MemberType::Text:
        std::snprintf(buf, sizeof buf, "%03d%05d.KT", 1, number);
        return buf;
    case MemberType::Lines:
        std::snprintf(buf, sizeof buf, "%03d%05d.KZ", 1, number);
        return buf;
    case MemberType::Values:
        std::snprintf(buf, sizeof buf, "%03d%05d.KVR", 1, number);
        return buf;
    case MemberType::VariableTable:
        return "1.KVT";
    case MemberType::Log:
        return "1.KLG";
    case MemberType::Memo:
        std::snprintf(buf, sizeof buf, "%08d.%03d", number, 1);
        return buf;
    case MemberType::LogMemos:
        return "1.KLM";
    case MemberType::OldNumbers:
        return "1.KWN";
    default:
        return {};
    }
}

std::optional<Archive> Archive::read(std::string bytes, std::string& error) {
    if (bytes.size() > maxBytes) {
        error = "it is larger than " + std::to_string(maxBytes >> 20) + " MB";
        return std::nullopt;
    }
    if (bytes.size() < magic.size() || std::string_view(bytes).substr(0, magic.size()) != magic) {
        error = "it is not a VEX archive";
        return std::nullopt;
    }
    if (bytes.size() < headerBytes) {
        error = cut(bytes.size()) + " inside its header";
        return std::nullopt;
    }
    Archive a;
    Fields f(bytes);
    f.skip(headerBytes);
    while (f.remaining() > 0) {
        const std::size_t at = f.position();
        ArchiveMember m;
        int type = 0;
        if (f.remaining() < memberHeaderBytes) {
            error =
                cut(bytes.size()) + " inside the member that starts at byte " + std::to_string(at);
            return std::nullopt;
        }
        f.i16(type);
        f.u16(m.number);
        f.u32(m.length);
        m.type = static_cast<std::int16_t>(type);
        m.offset = f.position();
        if (!f.skip(m.length)) {
            error = "the member at byte " + std::to_string(at) + " claims " +
                    std::to_string(m.length) + " bytes, but only " + std::to_string(f.remaining()) +
                    " follow";
            return std::nullopt;
        }
        // Types the predecessor never wrote are passed over by their length.
        if (!memberFileName(type, m.number).empty())
            a.files_[fileKey(type, m.number)] = a.members_.size();
        a.members_.push_back(m);
    }
    a.bytes_ = std::move(bytes);
    return a;
}

std::optional<std::string_view> Archive::file(int type, int number) const {
    const auto it = files_.find(fileKey(type, number));
    if (it == files_.end()) return std::nullopt;
    return data(members_[it->second]);
}

std::vector<int> Archive::memoNumbers() const {
    std::vector<int> out;
    for (const auto& [key, index] : files_)
        if (static_cast<int>(key >> 16) == MemberType::Memo) out.push_back(members_[index].number);
    std::sort(out.begin(), out.end());
    return out;
}

std::optional<ObjectFile> readObjectFile(std::string_view bytes, std::string& error) {
    Fields f(bytes);
    ObjectFile o;
    std::size_t groups = 0;
    const auto damaged = [&](const std::string& where) {
        error =
            "its object file is damaged (" + where + ", byte " + std::to_string(f.position()) + ")";
        return std::nullopt;
    };
    if (!f.name(o.title) || !f.skip(2) || !f.count(textRecordBytes, groups))
        return damaged("header");
    o.groups.reserve(groups);
    for (std::size_t g = 0; g < groups; ++g) {
        ArchiveGroup group;
        std::uint16_t flag = 0;
        std::size_t texts = 0;
        if (!f.name(group.name) || !f.u16(flag) || !f.count(textRecordBytes, texts))
            return damaged("text group " + std::to_string(g + 1));
        group.flag = flag != 0;
        group.texts.resize(texts);
        for (ArchiveText& t : group.texts)
            if (!f.name(t.name) || !f.i16(t.number) || !f.skip(2))
                return damaged("text of group " + std::to_string(g + 1));
        o.groups.push_back(std::move(group));
    }
    // Depth first without recursion: each level remembers how many of its codes are still to
    // come. Every record takes bytes, so the file's length bounds the work.
    struct Level {
        int parent;
        int depth;
        std::size_t left;
    };
    std::size_t top = 0;
    if (!f.count(codeRecordBytes, top)) return damaged("code section");
    std::vector<Level> levels{{-1, 0, top}};
    while (!levels.empty()) {
        if (levels.back().left == 0) {
            levels.pop_back();
            continue;
        }
        --levels.back().left;
        const Level at = levels.back();
        ArchiveCode code;
        std::uint16_t flag = 0;
        std::size_t segments = 0, subcodes = 0;
        const std::string which = "code " + std::to_string(o.codes.size() + 1);
        if (!f.name(code.name) || !f.skip(2) || !f.u16(flag) || !f.count(segmentBytes, segments))
            return damaged(which);
        code.flag = flag != 0;
        code.parent = at.parent;
        code.depth = at.depth;
        code.segments.resize(segments);
        for (ArchiveSegment& s : code.segments) {
            std::uint16_t sl = 0, sc = 0, el = 0, ec = 0;
            if (!f.u16(sl) || !f.u16(sc) || !f.u16(el) || !f.u16(ec) || !f.i16(s.weight) ||
                !f.i16(s.text))
                return damaged(which);
            s.startLine = sl;
            s.startColumn = sc;
            s.endLine = el;
            s.endColumn = ec;
        }
        if (!f.count(codeRecordBytes, subcodes)) return damaged(which);
        o.codes.push_back(std::move(code));
        if (subcodes == 0) continue;
        if (at.depth + 1 >= maxCodeDepth) {
            error =
                "its code tree is nested deeper than " + std::to_string(maxCodeDepth) + " levels";
            return std::nullopt;
        }
        levels.push_back({static_cast<int>(o.codes.size()) - 1, at.depth + 1, subcodes});
    }
    return o;
}

std::vector<ArchiveVariable> readVariableTable(std::string_view bytes) {
    std::vector<ArchiveVariable> out;
    Fields f(bytes);
    while (f.remaining() >= variableRecordBytes) {
        ArchiveVariable v;
        int kind = 0;
        f.name(v.name);
        f.i16(kind);
        f.skip(variableRecordBytes - nameBytes - 2);
        v.integer = kind == 1;
        out.push_back(std::move(v));
    }
    return out;
}

std::vector<std::string> readVariableValues(std::string_view bytes) {
    std::vector<std::string> out;
    Fields f(bytes);
    while (f.remaining() >= variableRecordBytes) {
        int kind = 0;
        std::string text;
        std::uint32_t number = 0;
        f.skip(nameBytes);
        f.i16(kind);
        f.name(text);
        f.u32(number);
        out.push_back(kind == 1 ? std::to_string(static_cast<std::int32_t>(number))
                                : std::move(text));
    }
    return out;
}

std::vector<int> readOldNumbers(std::string_view bytes) {
    std::vector<int> out;
    Fields f(bytes);
    std::uint16_t n = 0;
    while (f.u16(n))
        out.push_back(n);
    return out;
}

std::optional<ArchiveMemo> readMemoFile(std::string_view bytes, std::string& error) {
    Fields f(bytes);
    ArchiveMemo m;
    std::uint16_t line = 0, day = 0, month = 0, year = 0;
    std::size_t codes = 0;
    if (!f.i16(m.text) || !f.u16(line) || !f.name(m.title) || !f.name(m.author) || !f.u16(day) ||
        !f.u16(month) || !f.u16(year) || !f.count(2, codes)) {
        error = cut(bytes.size()) + " inside its heading";
        return std::nullopt;
    }
    m.line = line;
    m.day = day;
    m.month = month;
    m.year = year;
    for (std::size_t k = 0; k < codes; ++k) {
        std::uint16_t n = 0;
        std::string_view raw;
        if (!f.u16(n) || !f.bytes(n, raw)) {
            error = "a code path of " + std::to_string(n) + " bytes reaches beyond its end";
            return std::nullopt;
        }
        std::string path = platform::cp1252ToUtf8(raw);
        std::replace(path.begin(), path.end(), '.', '\\');
        m.codePaths.push_back(std::move(path));
    }
    std::uint16_t n = 0;
    std::string_view raw;
    if (!f.u16(n) || !f.bytes(n, raw)) {
        error = "its text of " + std::to_string(n) + " bytes reaches beyond its end";
        return std::nullopt;
    }
    m.body = platform::cp1252ToUtf8(raw);
    return m;
}

LineTable::LineTable(std::string_view kz) {
    Fields f(kz);
    std::uint32_t raw = 0;
    offsets_.push_back(0);
    std::int64_t previous = 0;
    while (f.u32(raw)) {
        const std::int64_t p = static_cast<std::int32_t>(raw);
        const std::int64_t end = p < 0 ? -p : p;
        ends_.push_back(end);
        paragraph_.push_back(p >= 0);
        // An entry that runs backwards makes an empty line and the next one goes on from the
        // furthest character so far, as the body has them: read literally, such a table
        // would read the same characters again and again and make a body of any size.
        offsets_.push_back(offsets_.back() + std::max<std::int64_t>(0, end - previous) + 1);
        previous = std::max(previous, end);
    }
}

std::u32string LineTable::body(std::string_view kt) const {
    const auto length = static_cast<std::int64_t>(kt.size());
    std::u32string out;
    out.reserve(kt.size() + ends_.size());
    std::int64_t previous = 0;
    for (std::size_t i = 0; i < ends_.size(); ++i) {
        if (ends_[i] > length) break;
        for (std::int64_t k = previous; k < ends_[i]; ++k) {
            const char32_t c = platform::cp1252ToUnicode(static_cast<unsigned char>(kt[k]));
            // Line ends and zero bytes of the old text are blanks here, so offsets stay put.
            out.push_back(c == U'\r' || c == U'\n' || c == 0 ? U' ' : c);
        }
        out.push_back(paragraph_[i] ? U'\r' : U' ');
        previous = std::max(previous, ends_[i]);
    }
    return out;
}

std::optional<std::int64_t> LineTable::offsetOf(int line) const {
    if (line < 1 || line > lines()) return std::nullopt;
    return offsets_[static_cast<std::size_t>(line - 1)];
}

std::optional<std::int64_t> LineTable::start(int line, int column) const {
    const auto at = offsetOf(line);
    if (!at) return std::nullopt;
    return *at + column;
}

std::optional<std::int64_t> LineTable::end(int line, int column, int startLine) const {
    if (line < std::max(startLine, 1)) return std::nullopt;
    const auto at = offsetOf(line);
    if (!at) return std::nullopt;
    return *at + 1 + column;
}

std::string projectNameFor(std::string_view title) {
    std::string out(title);
    for (char& c : out)
        if (std::string_view("\\/:*?<>|").find(c) != std::string_view::npos) c = '_';
    return out;
}

} // namespace vexana::exchange
