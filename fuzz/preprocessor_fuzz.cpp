#include "FuzzProject.h"
#include "analysis/Workspace.h"
#include "exchange/TextImport.h"
#include "platform/Files.h"
#include "platform/richtext/RichText.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

// Any document imports without a crash, and every coding it makes covers a passage inside
// its text. (Tag lines themselves are checked by the tests: removing one can join its
// neighbours into something that merely looks like a tag.) Each run is undone, so the
// project stays small.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexana;
    using namespace vexana::store;
    static CVexDoc* doc = &fuzz::fuzzProject("preprocessor");
    static analysis::Workspace ws(*doc);
    static const std::int32_t group = [] {
        RecordCursor c;
        doc->store().NewRecord(TopicId::TextGroups, c);
        const std::int32_t id = c.id();
        doc->store().Save(c);
        return id;
    }();

    const platform::RichText document =
        platform::RichText::fromRtf(std::string_view(reinterpret_cast<const char*>(data), size));
    StoreBatch run(doc->store());
    exchange::TextImport(ws).ImportPreprocessed(group, document);
    for (std::int32_t coding : doc->store().ListIds(TopicId::Codings)) {
        const TopicStore& st = doc->store();
        const std::int32_t text = st.GetInt(TopicId::Codings, coding, CodingField::Text);
        RecordCursor c;
        if (!doc->store().GetRecord(TopicId::Texts, text, c, true)) __builtin_trap();
        const auto& b = c.block(TextField::Body);
        const std::int32_t length =
            platform::RichText::fromRtf(std::string(b.begin(), b.end())).length();
        const std::int32_t start = st.GetInt(TopicId::Codings, coding, CodingField::StartChar);
        const std::int32_t finish = st.GetInt(TopicId::Codings, coding, CodingField::FinishChar);
        if (start < 0 || start >= finish || finish > length) __builtin_trap();
        if (st.GetInt(TopicId::Codings, coding, CodingField::StartPara) < 1) __builtin_trap();
    }
    run.fail();
    run.finish();
    return 0;
}
