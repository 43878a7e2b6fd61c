#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vexana::platform {

bool fileExists(const std::string& path);
bool isDirectory(const std::string& path);
std::string parentDirectory(const std::string& path);
std::string absolutePath(const std::string& path);

// Reads a whole file; nullopt when it cannot be read or is larger than maxBytes.
std::optional<std::string> readFile(const std::string& path, std::size_t maxBytes = SIZE_MAX);

// Writes a temporary file beside the target, syncs it and renames it over the target,
// so a crash leaves either the old or the new file. Returns an error text, empty on success.
std::string writeFileAtomic(const std::string& path, std::string_view contents);

// Moves `from` to `to` only if `to` does not exist. Returns false (and leaves both) otherwise.
bool renameNoReplace(const std::string& from, const std::string& to);

bool removeFile(const std::string& path);
bool makeDirectories(const std::string& path);

// $XDG_CONFIG_HOME or ~/.config, and $XDG_DATA_HOME or ~/.local/share.
std::string userConfigDir();
std::string userDataDir();

// A unique path beside `near` for temporary files: "<near>.<tag>-<pid>-<n>".
std::string temporarySibling(const std::string& near, std::string_view tag);

std::string systemErrorText(int err);

} // namespace vexana::platform
