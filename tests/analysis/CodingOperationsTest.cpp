#include "ProjectFixture.h"
#include "analysis/Retrieval.h"

using namespace vexana::store;
using namespace vexana::analysis;
using vexana::test::ProjectFixture;

namespace {

class Coding : public ProjectFixture {
protected:
    void SetUp() override {
        ProjectFixture::SetUp();
        group = docs().NewTextGroup();
        t = text(group, "t", "First paragraph here.\r\rSecond paragraph, a bit longer.\rThird.");
        k = codes().NewCode(0, "K", false);
    }
    std::int32_t group = 0, t = 0, k = 0;
};

} // namespace

TEST_F(Coding, ContainmentCountersAndParagraphs) {
    const std::int32_t first = code(t, k, 23, 29);
    ASSERT_NE(first, 0);
    EXPECT_EQ(s().GetInt(TopicId::Codings, first, CodingField::StartPara),
              2); // the empty paragraph has no number
    EXPECT_EQ(s().GetText(TopicId::Codings, first, CodingField::Preview), "Second");
    EXPECT_EQ(code(t, k, 23, 29), 0); // the same range again
    EXPECT_EQ(code(t, k, 24, 27), 0); // inside it
    const std::int32_t other = code(t, k, 31, 40);
    const std::int32_t overlapping = code(t, k, 27, 33); // overlaps both, contains neither
    EXPECT_EQ(count(TopicId::Codings), 3);
    (void)other;
    (void)overlapping;
    const std::int32_t wide = code(t, k, 0, 57);
    // All three lay inside: replaced (and their ids are free again).
    EXPECT_EQ(s().ListIds(TopicId::Codings), std::vector<std::int32_t>{wide});
    EXPECT_EQ(s().GetInt(TopicId::Codings, wide, CodingField::StartChar), 0);
    EXPECT_EQ(s().GetInt(TopicId::Codings, wide, CodingField::FinishPara), 3);
    EXPECT_EQ(s().GetInt(TopicId::Texts, t, TextField::Codes), 1);
    EXPECT_EQ(s().GetInt(TopicId::Codes, k, CodeField::Codes), 1);
    // The segment's own RTF holds its text.
    RecordCursor c;
    ASSERT_TRUE(s().GetRecord(TopicId::Codings, wide, c, true));
    const auto& b = c.block(CodingField::Body);
    EXPECT_EQ(vexana::platform::RichText::fromRtf(std::string(b.begin(), b.end())).text(0, 5),
              "First");
    CodingTemplate bad;
    EXPECT_FALSE(codings().TemplateFor(t, 10, 10, bad));
    EXPECT_FALSE(codings().TemplateFor(t, 0, 999, bad));
    EXPECT_FALSE(codings().TemplateFor(t, -1, 3, bad));
}

TEST_F(Coding, BelongingToTheRetrievalFollowsActivityWeightAndSelectedCode) {
    CodingTemplate tpl;
    ASSERT_TRUE(codings().TemplateFor(t, 0, 5, tpl));
    tpl.code = k;
    std::int32_t batch = CodingOperations::NewBatch;
    EXPECT_FALSE(codings().AddCoding(tpl, batch));
    docs().ToggleText(t);
    const std::int32_t sub = codes().NewCode(k, "Sub", false);
    codes().ToggleCode(k);
    ASSERT_TRUE(codings().TemplateFor(t, 6, 15, tpl));
    tpl.code = sub;
    EXPECT_TRUE(codings().AddCoding(tpl, batch));
    EXPECT_EQ(s().GetInt(TopicId::Codes, sub, CodeField::ActiveCodes), 1);
    codes().ActivateCode(sub, false);
    ws->options.includeSubcodes = true;
    EXPECT_TRUE(ws->belongsToRetrieval(t, sub, 100));
    ws->options.useWeightFilter = true;
    ws->options.lowWeight = 50;
    EXPECT_FALSE(ws->belongsToRetrieval(t, sub, 20));
    ws->options.useWeightFilter = false;
    ws->options.includeSubcodes = false;
    EXPECT_FALSE(ws->belongsToRetrieval(t, sub, 100));
    ws->options.selectedCode = sub;
    EXPECT_TRUE(ws->belongsToRetrieval(t, sub, 100));
}

TEST_F(Coding, UndoRemovesWholeBatchesNewestFirst) {
    const std::int32_t j = codes().NewCode(0, "J", false);
    for (int i = 0; i < 8; ++i)
        code(t, i % 2 ? k : j, i * 2, i * 2 + 1);
    auto batches = codings().UndoBatches();
    ASSERT_EQ(batches.size(), 6u);
    EXPECT_GT(batches[0].taid, batches[1].taid);
    EXPECT_EQ(batches[0].codeName, "K");
    EXPECT_EQ(batches[0].count, 1);

    codings().CopyCodedSegments(k);
    EXPECT_EQ(codings().PasteCodedSegments(j), 4);
    EXPECT_EQ(s().GetInt(TopicId::Codes, j, CodeField::Codes), 8);
    batches = codings().UndoBatches();
    EXPECT_EQ(batches[0].count, 4);
    EXPECT_EQ(codings().UndoBatch(0), 4);
    EXPECT_EQ(ui.progress.back(), "Delete Coded Segments: 4");
    EXPECT_EQ(s().GetInt(TopicId::Codes, j, CodeField::Codes), 4);
    EXPECT_EQ(codings().PasteCodedSegments(j), 0); // the clipboard is empty after a paste

    codings().MoveCodedSegments(k);
    ui.answers = {false};
    EXPECT_EQ(codings().PasteCodedSegments(j), 0);
    ui.answers = {true};
    EXPECT_EQ(codings().PasteCodedSegments(j), 4);
    EXPECT_EQ(s().GetInt(TopicId::Codes, k, CodeField::Codes), 0);
    for (std::int32_t id : s().FindIds(TopicId::Codings, TopicId::Codes, j)) {
        if (s().GetInt(TopicId::Codings, id, CodingField::StartChar) % 4 == 2) {
            EXPECT_EQ(s().GetInt(TopicId::Codings, id, CodingField::TAID), 0); // moved: no batch
        }
    }
}

TEST_F(Coding, WeightsInVivoQuickListAndCodeResults) {
    const std::int32_t id = code(t, k, 0, 5);
    EXPECT_TRUE(codings().SetWeight(id, 150));
    EXPECT_EQ(s().GetInt(TopicId::Codings, id, CodingField::Weight), 100);
    ui.numbers = {12.7};
    EXPECT_TRUE(codings().ModifyWeight(id));
    EXPECT_EQ(s().GetInt(TopicId::Codings, id, CodingField::Weight), 12);
    EXPECT_FALSE(codings().ModifyWeight(id)); // cancelled
    EXPECT_EQ(CodingOperations::ClampWeight(-3), 0);

    CodingTemplate sel;
    ASSERT_TRUE(codings().TemplateFor(t, 0, 5, sel));
    sel.preview = "Family\\Children";
    EXPECT_TRUE(codings().InVivo(sel));
    const std::int32_t children = codes().FindCodeByPath(0, "Family\\Children", false);
    ASSERT_NE(children, 0);
    EXPECT_EQ(ws->quickList.current(), children);
    for (int i = 0; i < 25; ++i)
        ws->quickList.use(1000 + i);
    ws->quickList.use(1010);
    EXPECT_EQ(ws->quickList.codes().size(), 20u);
    EXPECT_EQ(ws->quickList.current(), 1010);

    EXPECT_EQ(codings().CodeResults(), 0);
    EXPECT_EQ(ui.messages.back().text, "List of Retrieved Segments is empty");
    ws->retrieved = {id};
    ws->quickList.clear();
    EXPECT_EQ(codings().CodeResults(), 0);
    EXPECT_EQ(ui.messages.back().text, "Quick-List is empty");
    ws->quickList.use(children);
    ui.numbers = {500};
    EXPECT_EQ(codings().CodeResults(), 1);
    EXPECT_EQ(ws->options.defaultWeight, 100);
    EXPECT_EQ(ui.messages.back().text, "1 Text Segments coded");
    // The segment was coded with the code already (In-Vivo): nothing new.
    EXPECT_EQ(s().FindIds(TopicId::Codings, TopicId::Codes, children).size(), 1u);
}

TEST_F(Coding, EditedTextKeepsItsCodingsOnTheirWords) {
    const std::int32_t second = code(t, k, 23, 29), first = code(t, k, 0, 5),
                       third = code(t, k, 55, 60);
    ASSERT_NE(third, 0);
    vexana::platform::RichText body =
        vexana::platform::RichText::fromPlain("New First paragraph here.\r\rSecond paragraph, a "
                                              "bit longer.\rThird.");
    const std::vector<EditedCoding> edited{{second, 27, 33, true, false},
                                           {first, 4, 9, true, false},
                                           {third, 59, 999, true, false}}; // no longer fits
    ASSERT_TRUE(codings().SaveEditedText(t, body, edited, {}));
    EXPECT_EQ(s().GetInt(TopicId::Codings, second, CodingField::StartChar), 27);
    EXPECT_EQ(s().GetText(TopicId::Codings, second, CodingField::Preview), "Second");
    EXPECT_EQ(s().GetInt(TopicId::Codings, second, CodingField::StartPara), 2);
    EXPECT_EQ(s().GetText(TopicId::Codings, first, CodingField::Preview), "First");
    EXPECT_FALSE(s().GetTopic(TopicId::Codings)->contains(third));
    EXPECT_EQ(s().GetInt(TopicId::Texts, t, TextField::Codes), 2);
    RecordCursor c;
    ASSERT_TRUE(s().GetRecord(TopicId::Texts, t, c, true));
    const auto& b = c.block(TextField::Body);
    EXPECT_EQ(vexana::platform::RichText::fromRtf(std::string(b.begin(), b.end())).text(0, 9),
              "New First");
    // A flagged deletion goes; a coding of another text is not touched.
    const std::int32_t t2 = text(group, "u", "Other text.");
    const std::int32_t foreign = code(t2, k, 0, 5);
    ASSERT_TRUE(codings().SaveEditedText(
        t, body, {{first, 0, 0, true, true}, {foreign, 0, 1, true, false}}, {}));
    EXPECT_FALSE(s().GetTopic(TopicId::Codings)->contains(first));
    EXPECT_EQ(s().GetInt(TopicId::Codings, foreign, CodingField::FinishChar), 5);
    EXPECT_FALSE(codings().SaveEditedText(9999, body, {}, {}));
}

TEST_F(Coding, PastingACodesSegmentsOntoItselfChangesNothing) {
    const std::int32_t a = code(t, k, 0, 5), b = code(t, k, 23, 29);
    const std::vector<std::int32_t> before{a, b};
    for (const bool copy : {false, true}) {
        copy ? codings().CopyCodedSegments(k) : codings().MoveCodedSegments(k);
        ui.answers = {true};
        EXPECT_EQ(codings().PasteCodedSegments(k), 0);
        EXPECT_EQ(s().FindIds(TopicId::Codings, TopicId::Codes, k), before);
        EXPECT_EQ(s().GetInt(TopicId::Codings, a, CodingField::TAID), a); // still its own batch
        EXPECT_EQ(s().GetInt(TopicId::Codes, k, CodeField::Codes), 2);
        EXPECT_EQ(s().GetInt(TopicId::Texts, t, TextField::Codes), 2);
    }
    // The clipboard still holds the source, so the segments can go where they were meant to.
    const std::int32_t j = codes().NewCode(0, "J", false);
    ui.answers = {true};
    EXPECT_EQ(codings().PasteCodedSegments(j), 2);
    EXPECT_EQ(s().FindIds(TopicId::Codings, TopicId::Codes, j).size(), 2u);
}

TEST_F(Coding, BatchOperationsRebuildTheRetrievalOnceAtTheirEnd) {
    Retrieval retrieval(*ws);
    const std::int32_t a = codes().NewCode(0, "A", false), b = codes().NewCode(0, "B", false);
    const std::int32_t c = codes().NewCode(0, "C", false), j = codes().NewCode(0, "J", false);
    // Three results of At Least 2. The Quick-List's code has a coding inside the first, which
    // joins its two halves: without that coding the results would be four.
    code(t, a, 0, 10);
    code(t, b, 0, 4);
    code(t, c, 6, 10);
    code(t, k, 3, 7);
    code(t, a, 23, 29);
    code(t, b, 23, 29);
    code(t, a, 31, 40);
    code(t, b, 31, 40);
    docs().ActivateObjects(ActivationScope::AllTexts, 0, true);
    for (std::int32_t active : {a, b, c, k})
        codes().ActivateCode(active, true);
    retrieval.SelectFunction(AtLeast);
    const std::vector<std::int32_t> results = ws->retrieved;
    ASSERT_EQ(results.size(), 3u);
    std::vector<std::pair<std::int32_t, std::int32_t>> ranges;
    for (std::int32_t id : results)
        ranges.emplace_back(s().GetInt(TopicId::Codings, id, CodingField::StartChar),
                            s().GetInt(TopicId::Codings, id, CodingField::FinishChar));

    ws->quickList.use(k);
    ui.numbers = {40};
    int builds = ws->retrievalBuilds();
    EXPECT_EQ(codings().CodeResults(), 3);
    EXPECT_EQ(ws->retrievalBuilds(), builds + 1);
    EXPECT_EQ(ui.messages.back().text, "3 Text Segments coded");
    // Every result is coded now, each by a coding of the new batch.
    const auto coded = s().FindIds(TopicId::Codings, TopicId::Codes, k);
    ASSERT_EQ(coded.size(), 3u);
    std::int32_t taid = 0;
    for (std::size_t i = 0; i < coded.size(); ++i) {
        EXPECT_EQ(s().GetInt(TopicId::Codings, coded[i], CodingField::StartChar), ranges[i].first);
        EXPECT_EQ(s().GetInt(TopicId::Codings, coded[i], CodingField::FinishChar),
                  ranges[i].second);
        EXPECT_EQ(s().GetInt(TopicId::Codings, coded[i], CodingField::Weight), 40);
        if (i == 0) taid = s().GetInt(TopicId::Codings, coded[i], CodingField::TAID);
        EXPECT_EQ(s().GetInt(TopicId::Codings, coded[i], CodingField::TAID), taid);
    }
    EXPECT_EQ(s().GetInt(TopicId::Codes, k, CodeField::Codes), 3);

    // Undo Code of that batch, Copy and Move of active codings: one rebuild each.
    builds = ws->retrievalBuilds();
    EXPECT_EQ(codings().UndoBatch(0), 3);
    EXPECT_EQ(ws->retrievalBuilds(), builds + 1);
    codes().ActivateCode(j, true);
    codings().CopyCodedSegments(a);
    builds = ws->retrievalBuilds();
    EXPECT_EQ(codings().PasteCodedSegments(j), 3);
    EXPECT_EQ(ws->retrievalBuilds(), builds + 1);
    codings().MoveCodedSegments(b);
    ui.answers = {true};
    builds = ws->retrievalBuilds();
    EXPECT_EQ(codings().PasteCodedSegments(j), 3); // all lie inside the copies: only removed
    EXPECT_EQ(ws->retrievalBuilds(), builds + 1);
    EXPECT_EQ(s().GetInt(TopicId::Codes, b, CodeField::Codes), 0);
    // Coding a passage that replaces active codings inside it: one rebuild as well.
    builds = ws->retrievalBuilds();
    CodingTemplate wide;
    ASSERT_TRUE(codings().TemplateFor(t, 0, 57, wide));
    EXPECT_TRUE(codings().CodeSelection(wide, a));
    EXPECT_EQ(ws->retrievalBuilds(), builds + 1);
    EXPECT_EQ(s().FindIds(TopicId::Codings, TopicId::Codes, a).size(), 1u);
}

TEST_F(Coding, DeferredRebuildsNestAndHappenOnlyWhenAsked) {
    const int builds = ws->retrievalBuilds();
    {
        DeferredRetrieval outer(*ws);
        {
            DeferredRetrieval inner(*ws);
            ws->BuildRetrieval();
            ws->BuildRetrieval();
            EXPECT_FALSE(inner.finish()); // the outer scope still holds it
        }
        EXPECT_EQ(ws->retrievalBuilds(), builds);
        EXPECT_TRUE(outer.finish());
        EXPECT_EQ(ws->retrievalBuilds(), builds + 1);
    }
    EXPECT_EQ(ws->retrievalBuilds(), builds + 1);
    { DeferredRetrieval quiet(*ws); }
    EXPECT_EQ(ws->retrievalBuilds(), builds + 1);
    ws->BuildRetrieval();
    EXPECT_EQ(ws->retrievalBuilds(), builds + 2);
}
