#include "analysis/Retrieval.h"

#include "ProjectFixture.h"

using namespace vexana;
using namespace vexana::store;
using namespace vexana::analysis;
using vexana::test::ProjectFixture;

namespace {

class RetrievalFixture : public ProjectFixture {
protected:
    void SetUp() override {
        ProjectFixture::SetUp();
        retrieval = std::make_unique<Retrieval>(*ws);
        group = docs().NewTextGroup();
        t1 = text(group, "one", "Alpha beta gamma.\rDelta epsilon.\rZeta eta theta.");
        t2 = text(group, "two", "Another text with words.\rSecond line.");
        parent = codes().NewCode(0, "P", false);
        child = codes().NewCode(parent, "C", false);
        other = codes().NewCode(0, "O", false);
    }
    std::vector<std::int32_t> list() { return ws->retrieved; }
    std::int32_t codeOf(std::int32_t coding) {
        return s().GetInt(TopicId::Codings, coding, CodingField::Code);
    }

    std::unique_ptr<Retrieval> retrieval;
    std::int32_t group = 0, t1 = 0, t2 = 0, parent = 0, child = 0, other = 0;
};

} // namespace

TEST_F(RetrievalFixture, GatheringFollowsActivitySubcodesAndTheWeightFilter) {
    const std::int32_t a = code(t1, child, 0, 5);
    const std::int32_t b = code(t1, parent, 6, 10, CodingOperations::NewBatch, 50);
    code(t2, other, 0, 7);
    retrieval->BuildRetrieval();
    EXPECT_TRUE(list().empty()); // nothing active
    docs().ActivateObjects(ActivationScope::AllTexts, 0, true);
    codes().ActivateCode(parent, true);
    codes().ActivateCode(child, false);
    EXPECT_EQ(list(), std::vector<std::int32_t>{b});
    ws->options.includeSubcodes = true;
    retrieval->BuildRetrieval();
    EXPECT_EQ(list().size(), 2u);
    EXPECT_EQ(retrieval->activeCodeCount(), 1);
    const auto gathered = retrieval->GatherSegments(0);
    for (const auto& g : gathered)
        EXPECT_EQ(g.codeId, parent); // under the topmost active code
    ws->options.useWeightFilter = true;
    ws->options.lowWeight = ws->options.highWeight = 50;
    retrieval->BuildRetrieval();
    EXPECT_EQ(list(), std::vector<std::int32_t>{b});
    ws->options.useWeightFilter = false;
    ws->options.includeSubcodes = false;
    codes().ActivateCode(child, true);
    EXPECT_EQ(list().size(), 2u);
    EXPECT_NE(std::find(list().begin(), list().end(), a), list().end());
}

TEST_F(RetrievalFixture, ResultCodingsAreTemporaryAndFunctionsChangeOnlyOnChange) {
    code(t1, parent, 0, 11);
    code(t1, other, 6, 20);
    docs().ActivateObjects(ActivationScope::AllTexts, 0, true);
    codes().ActivateAllCodes(true);
    codes().ActivateCode(child, false); // two active codes: P and O
    const int before = count(TopicId::Codings);
    EXPECT_TRUE(retrieval->SelectFunction(Intersection));
    ASSERT_EQ(list().size(), 1u);
    const std::int32_t result = list()[0];
    EXPECT_EQ(codeOf(result), 0);
    EXPECT_EQ(s().GetInt(TopicId::Codings, result, CodingField::StartChar), 6);
    EXPECT_EQ(s().GetInt(TopicId::Codings, result, CodingField::FinishChar), 11);
    EXPECT_EQ(s().GetInt(TopicId::Codings, result, CodingField::StartPara), 1);
    EXPECT_EQ(count(TopicId::Codings), before + 1);
    const int builds = ws->retrievalBuilds();
    EXPECT_FALSE(retrieval->SelectFunction(Intersection));
    EXPECT_EQ(ws->retrievalBuilds(), builds);
    EXPECT_TRUE(retrieval->SelectFunction(OrCombination));
    EXPECT_EQ(count(TopicId::Codings), before); // the temporary one is gone
    EXPECT_EQ(codings().UndoBatches().size(), 2u);
    // Overviews and counters never see temporary results.
    retrieval->SelectFunction(Overlapping);
    EXPECT_EQ(codes().CodingsOverview(0).ids.size(), 2u);
    EXPECT_EQ(s().GetInt(TopicId::Texts, t1, TextField::Codes), 2);
}

TEST_F(RetrievalFixture, TitlesAndTheFunctionDialog) {
    EXPECT_EQ(retrieval->Title(), "OR-Combination");
    retrieval->SelectFunction(AtLeast, [](FunctionDialogValues& v) {
        v.number = 1;
        return true;
    });
    EXPECT_EQ(retrieval->settings.atLeastCount, 2);
    EXPECT_EQ(retrieval->Title(), "At Least [2]");
    retrieval->SelectFunction(Difference, [](FunctionDialogValues&) { return false; });
    EXPECT_EQ(retrieval->Title(), "Difference (Less) [?]");
    retrieval->SelectFunction(Near, [&](FunctionDialogValues& v) {
        v.code = child;
        v.number = -4;
        v.mode = 7;
        return true;
    });
    EXPECT_EQ(retrieval->Title(), "Near [P\\C; 0]");
    EXPECT_EQ(retrieval->settings.nearMode, 2);
    EXPECT_EQ(doc.options(), retrieval->ProjectOptions());
    EXPECT_EQ(retrieval->ProjectOptions(), "2|0|0|0|0|0|0|0|0|" + std::to_string(child) + "|0|2");
    // A selected code that is gone gives the question mark and an empty list.
    docs().DeleteObject(TopicId::Codes, parent);
    EXPECT_EQ(retrieval->Title(), "Near [?]");
    retrieval->BuildRetrieval();
    EXPECT_TRUE(list().empty());
}

TEST_F(RetrievalFixture, AnalysisMenuCommands) {
    code(t1, parent, 0, 5, CodingOperations::NewBatch, 30);
    code(t2, parent, 0, 5, CodingOperations::NewBatch, 80);
    docs().ActivateObjects(ActivationScope::AllTexts, 0, true);
    codes().ActivateCode(parent, true);
    EXPECT_FALSE(retrieval->SetOrderByTextTree(true));
    EXPECT_TRUE(retrieval->SetOrderByTextTree(false));
    retrieval->SetWeightFilter(90, 80);
    EXPECT_EQ(ws->options.lowWeight, 80);
    retrieval->ToggleWeightFilter();
    EXPECT_EQ(list().size(), 1u);
    retrieval->ToggleWeightFilter();
    EXPECT_EQ(list().size(), 2u);
    // The dialog's code comes from the Quick-List.
    retrieval->SelectFunction(
        Difference, [&](FunctionDialogValues& v) { return retrieval->PickFromQuickList(v, 0); });
    EXPECT_EQ(ui.messages.back().text, "Quick-List is empty");
    ws->quickList.use(other);
    EXPECT_TRUE(retrieval->EditFunction(
        [&](FunctionDialogValues& v) { return retrieval->PickFromQuickList(v, 0); }));
    EXPECT_EQ(retrieval->settings.differenceCode, other);
    EXPECT_FALSE(retrieval->EditFunction([](FunctionDialogValues&) { return false; }));
    EXPECT_EQ(retrieval->IndexOfCodedSegments().ids.size(), 2u);
    EXPECT_EQ(retrieval->FrequencyOfCodes().ids.size(), 3u);
    EXPECT_EQ(s().GetInt(TopicId::Codes, parent, CodeField::ActiveCodes), 2);
}

TEST_F(RetrievalFixture, OptionStringsAreReadLeniently) {
    retrieval->ReadProgramOptions("1|2|300|1|0|4|1|60|40|junk|more");
    EXPECT_EQ(ws->options.hitContextMode, 1);
    EXPECT_EQ(ws->options.defaultWeight, 100);
    EXPECT_TRUE(ws->options.includeSubcodes);
    EXPECT_FALSE(ws->options.orderByTextTree);
    EXPECT_EQ(retrieval->settings.function, 4);
    EXPECT_EQ(ws->options.lowWeight, 40); // never above the maximum
    EXPECT_EQ(retrieval->ProgramOptions(), "1|2|100|1|0|4|1|40|40");
    retrieval->ReadProgramOptions("0|0|50");
    EXPECT_EQ(ws->options.defaultWeight, 50);
    EXPECT_FALSE(ws->options.includeSubcodes); // fields after the end keep their defaults
    retrieval->ReadProgramOptions("x|y|z|a|b|77");
    EXPECT_EQ(retrieval->settings.function, 0);
    retrieval->ReadProjectOptions("1|5|6|9|7|-1|8|-3|2");
    EXPECT_EQ(retrieval->settings.atLeastCount, 2);
    EXPECT_EQ(retrieval->settings.differenceCode, 5);
    EXPECT_EQ(retrieval->settings.surroundMode, 2);
    EXPECT_EQ(retrieval->settings.outsideMode, 0);
    EXPECT_EQ(retrieval->settings.followDistance, 0);
    retrieval->ReadProjectOptions("");
    EXPECT_EQ(retrieval->ProjectOptions(), "2|0|0|0|0|0|0|0|0|0|0|0");
}

TEST_F(RetrievalFixture, ActivationFilesNameCodesOneByOne) {
    codes().ActivateCode(parent, true);
    EXPECT_EQ(retrieval->ActivationText(), "P\r\nP\\C\r\n");
    ASSERT_TRUE(retrieval->SaveActivation(dir.file("a.act")));
    codes().ActivateAllCodes(false);
    EXPECT_EQ(vexana::test::readAll(dir.file("a.act")), "P\r\nP\\C\r\n");
    vexana::test::writeAll(dir.file("b.act"), "P\r\nGone\\Away\r\n\r\n\x01\xff\x00\r\nO");
    ASSERT_TRUE(retrieval->LoadActivation(dir.file("b.act")));
    EXPECT_TRUE(ws->IsActive(TopicId::Codes, parent));
    EXPECT_FALSE(ws->IsActive(TopicId::Codes, child)); // alone, not with its subtree
    EXPECT_FALSE(ws->IsActive(TopicId::Codes, other)); // the last line has no line end
    EXPECT_FALSE(retrieval->LoadActivation(dir.file("none.act")));
    EXPECT_FALSE(ui.messages.empty());
    EXPECT_TRUE(ws->IsActive(TopicId::Codes, parent)); // a failed load changes nothing
    codes().ActivateAllCodes(false);
    ASSERT_TRUE(retrieval->SaveActivation(dir.file("empty.act")));
    EXPECT_EQ(vexana::test::readAll(dir.file("empty.act")), "");
}

// OR-Combination over random projects against the definition: every coding whose text is
// active, whose weight passes, and whose code (or, with subcodes, an ancestor) is active.
TEST_F(ProjectFixture, OrCombinationMatchesItsDefinitionOnRandomProjects) {
    Retrieval retrieval(*ws);
    std::uint32_t seed = 7;
    auto rnd = [&](int n) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 16) % static_cast<std::uint32_t>(n));
    };
    const std::int32_t g = docs().NewTextGroup();
    for (int project = 0; project < 20; ++project) {
        for (std::int32_t c : codes().Children(0))
            docs().DeleteObject(TopicId::Codes, c);
        for (std::int32_t t : s().ListIds(TopicId::Texts))
            docs().DeleteObject(TopicId::Texts, t);
        std::vector<std::int32_t> texts{text(g, "a", std::string(60, 'x')),
                                        text(g, "b", std::string(60, 'y'))};
        std::vector<std::int32_t> codeIds;
        for (int i = 0; i < 5; ++i)
            codeIds.push_back(codes().NewCode(
                codeIds.empty() || rnd(2) ? 0 : codeIds[rnd(static_cast<int>(codeIds.size()))], "",
                false));
        for (int i = 0; i < 15; ++i) {
            const int b = rnd(50);
            code(texts[rnd(2)], codeIds[rnd(5)], b, b + 1 + rnd(9), CodingOperations::NewBatch,
                 rnd(101));
        }
        for (int round = 0; round < 40; ++round) {
            for (std::int32_t t : texts)
                docs().ActivateObjects(ActivationScope::Text, t, rnd(3) != 0);
            for (std::int32_t c : codeIds) {
                RecordCursor cur;
                ASSERT_TRUE(s().GetRecord(TopicId::Codes, c, cur));
                cur.setInt(CodeField::State, rnd(2) ? StateActive | 1 : 1);
                s().UpdateInMemory(cur);
            }
            ws->options.includeSubcodes = rnd(2);
            ws->options.useWeightFilter = rnd(2);
            ws->options.lowWeight = 1 + rnd(50);
            ws->options.highWeight = 50 + rnd(51);
            retrieval.BuildRetrieval();
            std::set<std::int32_t> want;
            for (std::int32_t id : s().ListIds(TopicId::Codings)) {
                const auto get = [&](int f) { return s().GetInt(TopicId::Codings, id, f); };
                if (!ws->IsActive(TopicId::Texts, get(CodingField::Text))) continue;
                const int w = get(CodingField::Weight);
                if (ws->options.useWeightFilter &&
                    (w < ws->options.lowWeight || w > ws->options.highWeight))
                    continue;
                bool active = false;
                for (std::int32_t c = get(CodingField::Code); c != 0 && !active;
                     c = ws->options.includeSubcodes
                             ? s().GetInt(TopicId::Codes, c, CodeField::Parent)
                             : 0)
                    active = ws->IsActive(TopicId::Codes, c);
                if (active) want.insert(id);
            }
            const std::set<std::int32_t> got(ws->retrieved.begin(), ws->retrieved.end());
            ASSERT_EQ(got, want) << "project " << project << " round " << round;
            ASSERT_EQ(got.size(), ws->retrieved.size()); // no segment twice
        }
    }
}

TEST_F(RetrievalFixture, TheHeadingCountsAndSaysWhyAListIsEmpty) {
    code(t1, parent, 0, 11);
    ws->BuildRetrieval();
    EXPECT_EQ(retrieval->Heading(list().size()), "OR-Combination: 0 segments. No text is active.");
    docs().ActivateObjects(ActivationScope::AllTexts, 0, true);
    codes().ActivateCode(parent, true);
    codes().ActivateCode(child, false);
    EXPECT_EQ(retrieval->Heading(list().size()), "OR-Combination: 1 segment");
    EXPECT_TRUE(retrieval->SelectFunction(Intersection));
    EXPECT_EQ(retrieval->Heading(list().size()),
              "Intersection: 0 segments. Intersection needs two active codes.");
    ws->options.useWeightFilter = true;
    ws->options.lowWeight = 20;
    EXPECT_EQ(retrieval->Heading(3), "Intersection: 3 segments (weight filter 20-100)");
}

// A project opens with the activation its file holds, and the list follows it at once.
TEST_F(ProjectFixture, AProjectOpensWithItsStoredActivationRetrieved) {
    Retrieval retrieval(*ws);
    const std::int32_t g = docs().NewTextGroup();
    const std::int32_t t = text(g, "A", "One passage here.");
    const std::int32_t c = codes().NewCode(0, "C", false);
    ASSERT_NE(code(t, c, 0, 3), 0);
    // The bits as a file holds them after a later save of the records.
    for (auto [topic, id, field] : {std::tuple{TopicId::Texts, t, int(TextField::State)},
                                    std::tuple{TopicId::Codes, c, int(CodeField::State)}}) {
        RecordCursor rc;
        ASSERT_TRUE(s().GetRecord(topic, id, rc, false));
        rc.setInt(field, rc.getInt(field) | StateActive);
        ASSERT_TRUE(s().Save(rc));
    }
    doc.CloseProject();
    ASSERT_TRUE(doc.OpenPath(dir.file("p.vxp"), false));
    EXPECT_EQ(ws->activeTexts, 1);
    EXPECT_EQ(ws->retrieved.size(), 1u);
}
