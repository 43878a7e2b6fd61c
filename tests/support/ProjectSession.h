#pragma once

#include "TestSupport.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Workspace.h"
#include "store/CVexDoc.h"

#include <memory>
#include <string>

namespace vexana::test {

// An open project with the operations on it, as a front end holds it.
struct ProjectSession {
    ScriptedUserInterface ui;
    store::RecentProjects recent;
    store::CVexDoc doc{ui, recent};
    std::unique_ptr<analysis::Workspace> ws;

    bool open(const std::string& path) {
        if (!doc.OpenPath(path, false)) return false;
        ws = std::make_unique<analysis::Workspace>(doc);
        return true;
    }
    analysis::DocumentSystem& docs() { return ws->documents(); }
};

} // namespace vexana::test
