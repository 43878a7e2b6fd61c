#include "FuzzProject.h"
#include "analysis/CodeSystem.h"
#include "analysis/DocumentSystem.h"
#include "analysis/MemoOperations.h"
#include "analysis/Workspace.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// A memo's blocks as another program or a damaged file may hold them: the first byte says
// where the linked codes end and the body begins. Reading either never goes past its end,
// keeps only whole ids of existing codes, and what the memo saves reads back the same.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexana;
    using namespace vexana::store;
    static CVexDoc* doc = &fuzz::fuzzProject("memo");
    static analysis::Workspace ws(*doc);
    static analysis::MemoOperations memos(ws);
    static const std::int32_t memo = [] {
        const std::int32_t a = ws.codes().NewCode(0, "A", false);
        ws.codes().NewCode(a, "B", false);
        const std::int32_t group = ws.documents().NewTextGroup();
        const std::int32_t text = ws.documents().CreateTextWith(group, "T", "{\\rtf1 words}");
        return memos.NewTextMemo(text, 2);
    }();
    if (size == 0 || memo == 0) return 0;
    const std::size_t cut = std::min<std::size_t>(data[0], size - 1);
    const std::span<const std::uint8_t> codes(data + 1, cut);
    const std::span<const std::uint8_t> body(data + 1 + cut, size - 1 - cut);

    const auto ids = analysis::readLinkedCodes(codes);
    if (ids.size() != codes.size() / 4) __builtin_trap();
    const ByteBlock again = analysis::linkedCodesBlock(ids);
    if (!std::equal(again.begin(), again.end(), codes.begin())) __builtin_trap();
    const auto text = analysis::readMemoBody(body);
    if (text.length() > static_cast<std::int32_t>(body.size())) __builtin_trap();
    if (analysis::memoPreview(text).size() > 4 * analysis::MemoTextLimit) __builtin_trap();

    // Each save reaches the disk, so only some inputs take the way through the project.
    if (size % 8 != 0) return 0;
    RecordCursor c;
    if (!doc->store().GetRecord(TopicId::Memos, memo, c, true)) __builtin_trap();
    c.setBlock(MemoField::Codes, ByteBlock(codes.begin(), codes.end()));
    c.setBlock(MemoField::Body, ByteBlock(body.begin(), body.end()));
    if (!doc->store().Save(c, true)) __builtin_trap();
    analysis::Memo m;
    if (!memos.Load(memo, m)) __builtin_trap();
    for (std::int32_t id : m.codes)
        if (!doc->store().GetTopic(TopicId::Codes)->contains(id)) __builtin_trap();
    if (!memos.Save(m)) __builtin_trap();
    analysis::Memo back;
    if (!memos.Load(memo, back) || back.codes != m.codes || !back.body.sameContent(m.body))
        __builtin_trap();
    return 0;
}
