#include "Schema.h"

#include <array>

namespace vexana::store {

namespace {

constexpr FieldDef groupFields[] = {
    {0, "ID", "ID", TypeInteger, 9, 0, ""},
    {1, "Index", "Index", TypeInteger, 9, 0, ""},
    {2, "State", "State", TypeInteger, 9, 0, ""},
    {3, "Name", "Name", TypeString, 1, 0, ""},
};

constexpr FieldDef textFields[] = {
    {0, "ID", "ID", TypeInteger, 9, 0, ""},
    {1, "Index", "Index", TypeInteger, 9, 0, ""},
    {2, "Group", "GroupID", TypeInteger, 1, TopicId::TextGroups, "Textgroup"},
    {3, "State", "State", TypeInteger, 9, 0, ""},
    {4, "Type", "Type", TypeInteger, 33, 0, ""},
    {5, "Text", "Text", TypeBlock, 9, 0, ""},
    {6, "Name", "Name", TypeString, 1, 0, "Textname"},
    {7, "Date", "Date", TypeDateTime, 1, 0, "Creation Date"},
    {8, "Codes", "Codes", TypeInteger, 1, 0, "Number of Coded Segments"},
};

constexpr FieldDef linkFields[] = {
    {0, "ID", "ID", TypeInteger, 9, 0, ""},
    {1, "Index", "Index", TypeInteger, 9, 0, ""},
    {2, "SetID", "SetID", TypeInteger, 9, TopicId::TextSets, ""},
    {3, "TextID", "TextID", TypeInteger, 9, TopicId::Texts, ""},
};

constexpr FieldDef codeFields[] = {
    {0, "ID", "ID", TypeInteger, 9, 0, ""},
    {1, "Index", "Index", TypeInteger, 1, 0, "Position"},
    {2, "Parent", "WordID", TypeInteger, 1, TopicId::Codes, "Parent Code"},
    {3, "State", "State", TypeInteger, 9, 0, ""},
    {4, "Type", "Type", TypeInteger, 33, 0, ""},
    {5, "Name", "Name", TypeString, 1, 0, "Code"},
    {6, "MemoID", "MemoID", TypeInteger, 9, 0, ""},
    {7, "Codes", "Codes", TypeInteger, 1, 0, "All Coded Segments"},
    {8, "ActiveCodes", "ActiveCodes", TypeInteger, 17, 0, "Active Coded Segments"},
};

constexpr FieldDef codingFields[] = {
    {0, "ID", "ID", TypeInteger, 9, 0, ""},
    {1, "TAID", "TAID", TypeInteger, 9, 0, ""},
    {2, "Type", "Type", TypeInteger, 33, 0, ""},
    {3, "Text", "TextID", TypeInteger, 1, TopicId::Texts, "Text"},
    {4, "Codeword", "WordID", TypeInteger, 1, TopicId::Codes, "Code"},
    {5, "StartChar", "StartChar", TypeInteger, 9, 0, ""},
    {6, "FinishChar", "FinishChar", TypeInteger, 9, 0, ""},
    {7, "Start", "StartPara", TypeInteger, 1, 0, "Begin"},
    {8, "Finish", "FinishPara", TypeInteger, 1, 0, "End"},
    {9, "Weight", "Weight", TypeInteger, 65, 0, "Weight Score"},
    {10, "Preview", "Preview", TypeString, 1, 0, "Preview"},
    {11, "Text", "Text", TypeBlock, 9, 0, ""},
};

constexpr FieldDef memoFields[] = {
    {0, "ID", "ID", TypeInteger, 9, 0, ""},
    {1, "Text", "TextID", TypeInteger, 1, TopicId::Texts, "Text"},
    {2, "Codeword", "WordID", TypeInteger, 1, TopicId::Codes, "Code"},
    {3, "Type", "Type", TypeInteger, 33, 0, ""},
    {4, "Pos", "Pos", TypeInteger, 9, 0, ""},
    {5, "Title", "Title", TypeString, 1, 0, "Title"},
    {6, "Author", "Author", TypeString, 65, 0, "Author"},
    {7, "Date", "Date", TypeDateTime, 1, 0, "Creation Date"},
    {8, "Text", "Text", TypeBlock, 9, 0, ""},
    {9, "Codewords", "Codewords", TypeBlock, 9, 0, ""},
    {10, "Preview", "Preview", TypeString, 1, 0, "Preview"},
};

constexpr std::array<TopicDef, 8> topics = {{
    {TopicId::TextGroups, "Textgroups", "Index", "$3", "$3", "$3", groupFields},
    {TopicId::TextSets, "Textsets", "Index", "$3", "$3", "$3", groupFields},
    {TopicId::Texts, "Texts", "Index", "$6", "$2;\\;$6", "$2;\\;$6", textFields},
    {TopicId::TextLinks, "Textlinks", "Index", "$3", "$2;\\;$3", "$2;\\;$3", linkFields},
    {TopicId::Codes, "Codewords", "Index", "$5", "$2;\\;$5", "$2;\\;$5", codeFields},
    {TopicId::Codings, "Codings", "ID", "$4", "$4", "$4;&[;$9;]", codingFields},
    {TopicId::Memos, "Memos", "ID", "", "", "$5;&;$6;&;$7;&;-----------------------------;&;$10",
     memoFields},
    {TopicId::Links, "Links", "ID", "", "", "", {}},
}};

constexpr ColumnDef setupColumns[] = {{"Key", TypeLongString}, {"Value", TypeMemo}};
constexpr ColumnDef topicColumns[] = {{"ID", TypeInteger},
                                      {"Name", TypeString},
                                      {"Source", TypeString},
                                      {"SortField", TypeString},
                                      {"NameFormat", TypeLongString},
                                      {"FullNameFormat", TypeLongString},
                                      {"AnnotationFormat", TypeLongString}};
constexpr ColumnDef fieldColumns[] = {{"TopicID", TypeInteger},      {"ID", TypeInteger},
                                      {"Name", TypeString},          {"Source", TypeString},
                                      {"Type", TypeInteger},         {"State", TypeInteger},
                                      {"ParentTopicID", TypeInteger}};
constexpr ColumnDef valueColumns[] = {{"TopicID", TypeInteger},
                                      {"FieldID", TypeInteger},
                                      {"ObjectID", TypeInteger},
                                      {"Value", TypeString}};

constexpr std::string_view setupIndex[] = {"Key"};
constexpr std::string_view topicIndex[] = {"ID"};
constexpr std::string_view fieldIndex[] = {"TopicID", "ID"};
constexpr std::string_view valueIndex[] = {"FieldID", "ObjectID"};

constexpr std::array<SystemTableDef, 4> system = {{
    {"sys_Setup", setupColumns, setupIndex},
    {"sys_Topics", topicColumns, topicIndex},
    {"sys_Fields", fieldColumns, fieldIndex},
    {"sys_Values", valueColumns, valueIndex},
}};

constexpr FieldDef searchFields[] = {
    {0, "ID", "", TypeInteger, 9, 0, ""},
    {1, "Type", "", TypeInteger, 33, 0, ""},
    {2, "Text", "", TypeInteger, 1, TopicId::Texts, ""},
    {3, "Search String", "", TypeString, 1, 0, ""},
    {4, "Position", "", TypeInteger, 9, 0, ""},
    {5, "Position", "", TypeInteger, 9, 0, ""},
    {6, "Paragraph", "", TypeInteger, 1, 0, ""},
};
constexpr FieldDef wordFields[] = {
    {0, "ID", "", TypeInteger, 9, 0, ""},        {1, "Type", "", TypeInteger, 33, 0, ""},
    {2, "Word", "", TypeString, 1, 0, ""},       {3, "Word Length", "", TypeInteger, 1, 0, ""},
    {4, "Frequency", "", TypeInteger, 1, 0, ""}, {5, "%", "", TypeFloat, 1, 0, ""},
};
constexpr FieldDef categoryFields[] = {
    {0, "ID", "", TypeInteger, 9, 0, ""},
    {1, "Type", "", TypeInteger, 33, 0, ""},
    {2, "Category", "", TypeString, 65, 0, ""},
    {3, "Number", "", TypeInteger, 1, 0, ""},
};
constexpr FieldDef itemFields[] = {
    {0, "ID", "", TypeInteger, 9, 0, ""},
    {1, "Cat", "", TypeInteger, 9, TopicId::DictCategories, ""},
    {2, "Type", "", TypeInteger, 33, 0, ""},
    {3, "Search Items", "", TypeString, 65, 0, ""},
    {4, "Only Exact Matches", "", TypeBoolean, 65, 0, ""},
    {5, "Case Sensitivity", "", TypeBoolean, 65, 0, ""},
    {6, "Starting Letters", "", TypeBoolean, 65, 0, ""},
};

constexpr int memoryTopics[] = {TopicId::SearchResults, TopicId::WordFrequencies,
                                TopicId::DictCategories, TopicId::DictItems};

constexpr int order[] = {TopicId::TextGroups, TopicId::Texts, TopicId::TextSets,
                         TopicId::TextLinks,  TopicId::Codes, TopicId::Codings,
                         TopicId::Memos};

} // namespace

std::span<const TopicDef> persistentTopics() {
    return topics;
}

const TopicDef* findTopicDef(int topicId) {
    for (const auto& t : topics)
        if (t.id == topicId) return &t;
    return nullptr;
}

std::span<const SystemTableDef> systemTables() {
    return system;
}
const SystemTableDef& valuesTable() {
    return system[3];
}

std::span<const FieldDef> inMemoryFields(int topicId) {
    switch (topicId) {
    case TopicId::SearchResults:
        return searchFields;
    case TopicId::WordFrequencies:
        return wordFields;
    case TopicId::DictCategories:
        return categoryFields;
    case TopicId::DictItems:
        return itemFields;
    default:
        return {};
    }
}

std::span<const int> inMemoryTopicIds() {
    return memoryTopics;
}
std::span<const int> loadOrder() {
    return order;
}

int slotSize(int type) {
    switch (type) {
    case TypeInteger:
    case TypeBlock:
    case TypeBoolean:
        return 4;
    case TypeString:
        return 64;
    case TypeLongString:
        return 128;
    case TypeFloat:
        return 8;
    case TypeDateTime:
        return 12;
    default:
        return 0;
    }
}

std::string_view columnType(int type) {
    switch (type) {
    case TypeInteger:
    case TypeBoolean:
        return "INTEGER";
    case TypeFloat:
    case TypeDateTime:
        return "REAL";
    case TypeBlock:
        return "BLOB";
    default:
        return "TEXT";
    }
}

int textCapacity(int type) {
    return type == TypeLongString ? 127 : type == TypeString ? 63 : 0;
}

} // namespace vexana::store
