#include "exchange/ArchiveReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

// Any bytes as a .vxa archive: reading the member list and every member the import reads
// never goes past what it was given, and what it accepts is consistent with itself.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexana::exchange;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto archive = Archive::read(bytes, error);
    if (!archive) {
        if (error.empty()) std::abort();
        return 0;
    }
    std::size_t end = Archive::headerBytes;
    for (const ArchiveMember& m : archive->members()) {
        // Members follow one another without gaps up to the end of the file.
        if (m.offset != end + Archive::memberHeaderBytes) std::abort();
        end = m.offset + m.length;
        const std::string_view member = archive->data(m);
        const LineTable lines(member);
        const std::u32string body = lines.body(member);
        // No character of the text is read twice, however the line table runs.
        if (body.size() > member.size() + static_cast<std::size_t>(lines.lines())) std::abort();
        std::int64_t previous = -1;
        for (int line = 1; line <= lines.lines(); ++line) {
            const auto at = lines.offsetOf(line);
            // Each line takes at least its end character, so places only move forward.
            if (!at || *at <= previous) std::abort();
            previous = *at;
        }
        lines.end(lines.lines() + 1, 0, 1);
        readVariableTable(member);
        readVariableValues(member);
        readOldNumbers(member);
    }
    if (end != size) std::abort();
    if (const auto kob = archive->file(MemberType::Objects)) {
        if (const auto objects = readObjectFile(*kob, error)) {
            for (std::size_t i = 0; i < objects->codes.size(); ++i) {
                const ArchiveCode& c = objects->codes[i];
                // Parents come before their subcodes and the depth stays bounded.
                if (c.parent >= static_cast<int>(i) || c.depth >= maxCodeDepth) std::abort();
            }
        }
    }
    for (int n : archive->memoNumbers())
        readMemoFile(*archive->file(MemberType::Memo, n), error);
    return 0;
}
