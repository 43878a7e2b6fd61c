#pragma once

// A project file of one fuzz process, kept open for all its runs and removed at its exit.
#include "platform/Files.h"
#include "store/CVexDoc.h"

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace vexana::fuzz {

inline store::CVexDoc& fuzzProject(const char* name) {
    static store::SilentUserInterface ui;
    static store::RecentProjects recent;
    static const std::string path =
        std::string("/tmp/vexana-") + name + "-fuzz-" + std::to_string(::getpid()) + ".vxp";
    static store::CVexDoc* doc = [] {
        platform::removeFile(path);
        std::atexit([] {
            platform::removeFile(path);
            platform::removeFile(path + "-wal");
        });
        auto* d = new store::CVexDoc(ui, recent);
        if (!d->OpenPath(path, false)) __builtin_trap();
        return d;
    }();
    return *doc;
}

} // namespace vexana::fuzz
