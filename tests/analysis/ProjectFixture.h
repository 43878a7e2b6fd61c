#pragma once

#include "TestSupport.h"
#include "analysis/CodeSystem.h"
#include "analysis/CodingOperations.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Workspace.h"
#include "platform/richtext/RichText.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <gtest/gtest.h>

namespace vexana::test {

struct RecordingView : store::ViewListener {
    std::vector<std::tuple<store::ViewEvent, int, std::int32_t>> events;
    void onViewEvent(store::ViewEvent e, int topic, std::int32_t id) override {
        events.emplace_back(e, topic, id);
    }
    bool saw(store::ViewEvent e, int topic, std::int32_t id) const {
        return std::find(events.begin(), events.end(), std::make_tuple(e, topic, id)) !=
               events.end();
    }
};

// A real project file with the analysis operations on it.
class ProjectFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(doc.OpenPath(dir.file("p.vxp"), false));
        ws = std::make_unique<analysis::Workspace>(doc);
        doc.addView(&view);
    }
    void TearDown() override { doc.removeView(&view); }

    store::TopicStore& s() { return doc.store(); }
    analysis::DocumentSystem& docs() { return ws->documents(); }
    analysis::CodeSystem& codes() { return ws->codes(); }
    analysis::CodingOperations& codings() { return ws->codings(); }

    // A text with a plain body.
    std::int32_t text(std::int32_t group, const std::string& name, const std::string& plain) {
        return docs().CreateTextWith(group, name, platform::RichText::fromPlain(plain).toRtf());
    }
    // A coding of [a, b); returns its id or 0.
    std::int32_t code(std::int32_t textId, std::int32_t codeId, std::int32_t a, std::int32_t b,
                      std::int32_t batch = analysis::CodingOperations::NewBatch, int weight = 100) {
        analysis::CodingTemplate t;
        if (!codings().TemplateFor(textId, a, b, t)) return 0;
        t.code = codeId;
        t.weight = weight;
        codings().AddCoding(t, batch);
        return codings().lastCoding();
    }
    int count(int topic) { return s().RecordCount(topic); }

    TempDir dir;
    ScriptedUserInterface ui;
    store::RecentProjects recent;
    store::CVexDoc doc{ui, recent};
    std::unique_ptr<analysis::Workspace> ws;
    RecordingView view;
};

} // namespace vexana::test
