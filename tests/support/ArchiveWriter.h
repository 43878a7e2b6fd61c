#pragma once

// Builds archives of the predecessor program byte by byte, so the import is tested against
// the layout itself rather than against its own reader.

#include <cstdint>
#include <string>
#include <vector>

namespace vexana::test {

class Bytes {
public:
    Bytes& u16(unsigned v) {
        s_.push_back(static_cast<char>(v & 0xFF));
        s_.push_back(static_cast<char>((v >> 8) & 0xFF));
        return *this;
    }
    Bytes& u32(std::uint32_t v) {
        for (int shift = 0; shift < 32; shift += 8)
            s_.push_back(static_cast<char>((v >> shift) & 0xFF));
        return *this;
    }
    // A zero-padded text of n bytes (cut when longer).
    Bytes& name(const std::string& text, std::size_t n = 30) {
        std::string t = text.substr(0, n);
        t.resize(n, '\0');
        s_ += t;
        return *this;
    }
    Bytes& raw(const std::string& bytes) {
        s_ += bytes;
        return *this;
    }
    // A 16-bit length, then the bytes.
    Bytes& counted(const std::string& bytes) {
        u16(static_cast<unsigned>(bytes.size()));
        return raw(bytes);
    }
    const std::string& str() const { return s_; }

private:
    std::string s_;
};

struct SegmentSpec {
    int startLine, startColumn, endLine, endColumn, weight, text;
};

struct CodeSpec {
    std::string name;
    int flag = 0;
    std::vector<SegmentSpec> segments;
    std::vector<CodeSpec> subcodes;
};

struct TextSpec {
    std::string name;
    int number;
};

struct GroupSpec {
    std::string name;
    int flag = 0;
    std::vector<TextSpec> texts;
};

inline void writeCode(Bytes& b, const CodeSpec& c) {
    b.name(c.name).u16(0).u16(static_cast<unsigned>(c.flag));
    b.u16(static_cast<unsigned>(c.segments.size()));
    for (const SegmentSpec& s : c.segments)
        b.u16(s.startLine)
            .u16(s.startColumn)
            .u16(s.endLine)
            .u16(s.endColumn)
            .u16(static_cast<unsigned>(s.weight))
            .u16(static_cast<unsigned>(s.text));
    b.u16(static_cast<unsigned>(c.subcodes.size()));
    for (const CodeSpec& sub : c.subcodes)
        writeCode(b, sub);
}

inline std::string objectFile(const std::string& title, const std::vector<GroupSpec>& groups,
                              const std::vector<CodeSpec>& codes) {
    Bytes b;
    b.name(title).u16(0).u16(static_cast<unsigned>(groups.size()));
    for (const GroupSpec& g : groups) {
        b.name(g.name)
            .u16(static_cast<unsigned>(g.flag))
            .u16(static_cast<unsigned>(g.texts.size()));
        for (const TextSpec& t : g.texts)
            b.name(t.name).u16(static_cast<unsigned>(t.number)).u16(0);
    }
    b.u16(static_cast<unsigned>(codes.size()));
    for (const CodeSpec& c : codes)
        writeCode(b, c);
    return b.str();
}

// KZ: one 32-bit entry per line.
inline std::string lineTable(const std::vector<std::int32_t>& ends) {
    Bytes b;
    for (std::int32_t e : ends)
        b.u32(static_cast<std::uint32_t>(e));
    return b.str();
}

struct VariableSpec {
    std::string name;
    int kind; // 1: integer
};

inline std::string variableTable(const std::vector<VariableSpec>& vars) {
    Bytes b;
    for (const VariableSpec& v : vars)
        b.name(v.name).u16(static_cast<unsigned>(v.kind)).name("", 30).u32(0);
    return b.str();
}

struct ValueSpec {
    int kind;
    std::string text;
    std::int32_t number;
};

inline std::string variableValues(const std::vector<ValueSpec>& values) {
    Bytes b;
    for (const ValueSpec& v : values)
        b.name("", 30)
            .u16(static_cast<unsigned>(v.kind))
            .name(v.text)
            .u32(static_cast<std::uint32_t>(v.number));
    return b.str();
}

struct MemoSpec {
    int text = 0;
    int line = 0;
    std::string title, author;
    int day = 0, month = 0, year = 0;
    std::vector<std::string> codes; // levels joined by "."
    std::string body;
};

inline std::string memoFile(const MemoSpec& m) {
    Bytes b;
    b.u16(static_cast<unsigned>(m.text))
        .u16(static_cast<unsigned>(m.line))
        .name(m.title)
        .name(m.author);
    b.u16(m.day).u16(m.month).u16(m.year).u16(static_cast<unsigned>(m.codes.size()));
    for (const std::string& c : m.codes)
        b.counted(c);
    b.counted(m.body);
    return b.str();
}

// The archive: magic, 30 unused bytes, then the members.
class ArchiveWriter {
public:
    ArchiveWriter() { b_.raw("VEX-ARC").name("", 30); }
    ArchiveWriter& member(int type, int number, const std::string& data) {
        b_.u16(static_cast<unsigned>(type)).u16(static_cast<unsigned>(number));
        b_.u32(static_cast<std::uint32_t>(data.size())).raw(data);
        return *this;
    }
    // A member header that claims more bytes than follow.
    ArchiveWriter& lyingMember(int type, std::uint32_t claimed, const std::string& data) {
        b_.u16(static_cast<unsigned>(type)).u16(1).u32(claimed).raw(data);
        return *this;
    }
    const std::string& bytes() const { return b_.str(); }

private:
    Bytes b_;
};

} // namespace vexana::test
