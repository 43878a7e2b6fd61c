#pragma once

#include "platform/richtext/RichText.h"
#include "store/RecordCursor.h"
#include "store/TopicStore.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vexana::browser {

// The rich text held in an RTF field of a record read with its blocks.
platform::RichText fieldBody(const store::RecordCursor& record, int field);
// The rich text held in a record's RTF field; empty when the record is gone.
platform::RichText recordBody(store::TopicStore& store, int topic, std::int32_t id, int field);
// A retrieved segment's body, its RTF as stored with the coding.
platform::RichText segmentBody(store::TopicStore& store, std::int32_t coding);

// The document that Export and Print of the Retrieved Segments write: per segment a grey
// header (its text, weight, paragraphs and code) followed by the segment's content.
platform::RichText segmentsExport(store::TopicStore& store,
                                  const std::vector<std::int32_t>& codings);

// Writes that document as RTF to path, whole or not at all; the error text, empty on success.
std::string exportSegments(store::TopicStore& store, const std::vector<std::int32_t>& codings,
                           const std::string& path);

} // namespace vexana::browser
