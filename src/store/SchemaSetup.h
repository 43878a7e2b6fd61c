#pragma once

#include "Schema.h"

#include <span>

namespace vexana::store {

class TopicStore;

// Gives a topic the fields of a definition (names as defined; Source as defined).
void attachFields(TopicStore& store, int topic, std::span<const FieldDef> fields);

// The fields of the in-memory topics, as the document sets them before every load.
void setUpInMemoryTopics(TopicStore& store);

// Builds a whole project in memory, without a file: the persistent topics with their
// names, formats and fields, and the in-memory topics.
void buildMemoryProject(TopicStore& store);

} // namespace vexana::store
