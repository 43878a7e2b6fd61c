#pragma once

#include "analysis/ProjectFixture.h"
#include "variables/Variables.h"

#include <string>

namespace vexana::test {

// A project with named groups and texts and the variables' operations on it.
class VariablesFixture : public ProjectFixture {
protected:
    std::int32_t group(const std::string& name) {
        const std::int32_t g = docs().NewTextGroup();
        docs().RenameObject(store::TopicId::TextGroups, g, name);
        return g;
    }
    std::int32_t text(std::int32_t g, const std::string& name) {
        return ProjectFixture::text(g, name, "Body of " + name);
    }
    std::string value(std::int32_t t, int field) {
        return s().GetText(store::TopicId::Texts, t, field);
    }
    int fieldCount() { return s().FieldCount(store::TopicId::Texts); }
    // Closes the project and opens it again from the file.
    void reopen() {
        const std::string path = doc.database()->path();
        doc.removeView(&view);
        ws.reset();
        doc.CloseProject();
        ASSERT_TRUE(doc.OpenPath(path, false));
        ws = std::make_unique<analysis::Workspace>(doc);
        doc.addView(&view);
    }
    variables::Variables vars{doc};
};

} // namespace vexana::test
