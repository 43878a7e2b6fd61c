#pragma once

#include "analysis/Workspace.h"
#include "platform/Files.h"
#include "store/CVexDoc.h"

#include <memory>
#include <string>

namespace vexana::bench {

// A project open with the operations on it, as the program holds it, with no one to ask.
struct BenchSession {
    store::SilentUserInterface ui;
    store::RecentProjects recent;
    store::CVexDoc doc{ui, recent};
    std::unique_ptr<analysis::Workspace> ws;
    explicit BenchSession(const std::string& path) {
        doc.OpenPath(path, false);
        ws = std::make_unique<analysis::Workspace>(doc);
    }
};

// The path, with whatever project (and its log and journal) was there removed.
inline std::string freshPath(const std::string& path) {
    for (const char* suffix : {"", "-wal", "-journal"})
        platform::removeFile(path + suffix);
    return path;
}

} // namespace vexana::bench
