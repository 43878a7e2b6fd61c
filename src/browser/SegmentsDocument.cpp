#include "SegmentsDocument.h"

#include "platform/Files.h"
#include "store/Schema.h"

#include <algorithm>

namespace vexana::browser {

using namespace store;

platform::RichText fieldBody(const RecordCursor& record, int field) {
    const auto& b = record.block(field);
    return platform::RichText::fromRtf(
        std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
}

platform::RichText recordBody(TopicStore& store, int topic, std::int32_t id, int field) {
    RecordCursor c;
    if (!store.GetRecord(topic, id, c, true)) return {};
    return fieldBody(c, field);
}

platform::RichText segmentBody(TopicStore& store, std::int32_t coding) {
    RecordCursor c;
    if (!store.GetRecord(TopicId::Codings, coding, c, true)) return {};
    // An analysis's result kept in memory only (in a project that cannot be written) has no
    // contents of its own: it is cut from its text. Other segments show what they hold.
    if (!c.block(CodingField::Body).empty() || c.getInt(CodingField::Code) != 0)
        return fieldBody(c, CodingField::Body);
    const platform::RichText text =
        recordBody(store, TopicId::Texts, c.getInt(CodingField::Text), TextField::Body);
    const std::int32_t start = std::clamp(c.getInt(CodingField::StartChar), 0, text.length());
    const std::int32_t finish = std::clamp(c.getInt(CodingField::FinishChar), start, text.length());
    return platform::RichText::fromRtf(text.rangeToRtf(start, finish));
}

platform::RichText segmentsExport(TopicStore& store, const std::vector<std::int32_t>& codings) {
    platform::CharFormat header;
    header.font = "Arial";
    header.size = 18; // 9 points
    header.bold = true;
    header.color = 0x404040;
    platform::RichText out;
    bool first = true;
    for (std::int32_t id : codings) {
        if (!store.GetTopic(TopicId::Codings)->contains(id)) continue;
        const auto field = [&](int f) { return store.GetInt(TopicId::Codings, id, f); };
        const std::int32_t code = field(CodingField::Code);
        std::string text = first ? "" : "\r";
        text += "Text:\t\t" + store.GetName(TopicId::Texts, field(CodingField::Text), true) + "\r";
        text += "Weight:\t" + std::to_string(field(CodingField::Weight)) + "\r";
        text += "Position:\t" + std::to_string(field(CodingField::StartPara)) + " - " +
                std::to_string(field(CodingField::FinishPara)) + "\r";
        text +=
            "Code:\t" + (code ? store.GetName(TopicId::Codes, code, true) : std::string()) + "\r";
        first = false;
        // Appended, not replaced at the end: that copies the document for every segment.
        out.append(platform::RichText::fromPlain(text, header));
        out.append(segmentBody(store, id));
        // The content ends its last paragraph, so the next header's "\r" makes a blank line.
        if (out.chars().back() != U'\r') out.appendChars(U"\r", out.charFormatAt(out.length() - 1));
    }
    return out;
}

std::string exportSegments(TopicStore& store, const std::vector<std::int32_t>& codings,
                           const std::string& path) {
    return platform::writeFileAtomic(path, segmentsExport(store, codings).toRtf());
}

} // namespace vexana::browser
