#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexana::exchange {

// A ZIP file opened for reading only. Archives come from other people's machines, so every
// member name is checked when the archive opens (no "..", no absolute path, no drive letter)
// and every read is bounded by the bytes it really inflates to, not by what the header claims.
class ZipArchive {
public:
    // More members than this is not a document or a project anyone wrote.
    static constexpr std::size_t maxMembers = 100000;
    // What all reads of one archive may inflate to together, so that many members each
    // within their own bound cannot add up to a bomb either.
    static constexpr std::size_t defaultTotalBytes = std::size_t{4} << 30;

    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // Null when the file cannot be opened as a ZIP or holds an unsafe member name; `error`
    // then says why, in words for the user.
    static std::unique_ptr<ZipArchive> open(const std::string& path, std::string& error);
    static std::unique_ptr<ZipArchive> fromBytes(std::string bytes, std::string& error);

    // Member names as stored (folders end in "/"), in archive order.
    const std::vector<std::string>& names() const { return names_; }
    bool contains(std::string_view name) const;
    // The first member whose name equals `name` without case, or an empty string.
    std::string findIgnoringCase(std::string_view name) const;

    // The whole member; nullopt when it is missing, encrypted, damaged or inflates past
    // maxBytes (a ZIP bomb), with `error` saying which.
    std::optional<std::string> read(std::string_view name, std::size_t maxBytes,
                                    std::string& error) const;
    void setTotalLimit(std::size_t bytes) { totalLimit_ = bytes; }

    // Whether a member name stays inside the folder it would be unpacked into.
    static bool safeName(std::string_view name);

private:
    struct Handle;
    ZipArchive();
    static std::unique_ptr<ZipArchive> finishOpen(std::unique_ptr<ZipArchive> archive,
                                                  std::string& error);

    std::unique_ptr<Handle> handle_;
    std::string bytes_; // the archive itself when opened from memory
    std::vector<std::string> names_;
    std::size_t totalLimit_ = defaultTotalBytes;
    mutable std::size_t totalRead_ = 0;
};

} // namespace vexana::exchange
