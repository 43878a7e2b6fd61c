#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace vexana::store {

// Type codes shared by table columns and topic fields.
enum FieldType : int {
    TypeInteger = 1,
    TypeString = 2,     // at most 63 characters
    TypeLongString = 3, // at most 127 characters
    TypeFloat = 4,
    TypeDateTime = 5,
    TypeBlock = 6,
    TypeMemo = 7,
    TypeBoolean = 8,
};

// State bits of a field.
namespace FieldState {
inline constexpr int BuiltIn = 1;
inline constexpr int Variable = 2;
inline constexpr int Hidden = 8;
inline constexpr int Computed = 16;
inline constexpr int TypeField = 32;
inline constexpr int Editable = 64;
inline constexpr int ValueField = 128;
inline constexpr int NewVariable = ValueField | Editable | Variable;
} // namespace FieldState

namespace TopicId {
inline constexpr int GroupsRoot = 1; // stands for the Document System's group root in change lists
inline constexpr int TextGroups = 2;
inline constexpr int SetsRoot = 3;
inline constexpr int TextSets = 4;
inline constexpr int Texts = 5;
inline constexpr int TextLinks = 6;
inline constexpr int CodesRoot = 7;
inline constexpr int Codes = 8;
inline constexpr int SearchResults = 9;
inline constexpr int Codings = 10;
inline constexpr int Memos = 11;
inline constexpr int Links = 12;
inline constexpr int WordFrequencies = 17;
inline constexpr int DictCategories = 18;
inline constexpr int DictItems = 19;
inline constexpr int CoderResults = 20;
} // namespace TopicId

// Field ids of the built-in record types.
namespace GroupField { // text groups and text sets alike
inline constexpr int ID = 0, Index = 1, State = 2, Name = 3;
}
namespace TextField {
inline constexpr int ID = 0, Index = 1, Group = 2, State = 3, Type = 4, Body = 5, Name = 6,
                     Date = 7, Codes = 8;
}
namespace LinkField {
inline constexpr int ID = 0, Index = 1, Set = 2, Text = 3;
}
namespace CodeField {
inline constexpr int ID = 0, Index = 1, Parent = 2, State = 3, Type = 4, Name = 5, MemoID = 6,
                     Codes = 7, ActiveCodes = 8;
}
namespace CodingField {
inline constexpr int ID = 0, TAID = 1, Type = 2, Text = 3, Code = 4, StartChar = 5, FinishChar = 6,
                     StartPara = 7, FinishPara = 8, Weight = 9, Preview = 10, Body = 11;
}
namespace MemoField {
inline constexpr int ID = 0, Text = 1, Code = 2, Type = 3, Pos = 4, Title = 5, Author = 6, Date = 7,
                     Body = 8, Codes = 9, Preview = 10;
}

namespace DictCategoryField {
inline constexpr int ID = 0, Type = 1, Name = 2, Number = 3;
}
namespace DictItemField {
inline constexpr int ID = 0, Category = 1, Type = 2, Text = 3, Exact = 4, Case = 5, Start = 6;
}

// State bits of texts and codes.
inline constexpr int StateActive = 4;
inline constexpr int StateOpenInBrowser = 2;

struct FieldDef {
    int id;
    std::string_view name;
    std::string_view source;
    int type;
    int state;
    int parentTopic;
    std::string_view displayName; // empty: the field keeps its name
};

struct TopicDef {
    int id;
    std::string_view table; // name and source; empty for a topic without table
    std::string_view sortField;
    std::string_view nameFormat;
    std::string_view fullNameFormat;
    std::string_view annotationFormat;
    std::span<const FieldDef> fields;
};

struct ColumnDef {
    std::string_view name;
    int type;
};

struct SystemTableDef {
    std::string_view name;
    std::span<const ColumnDef> columns;
    std::span<const std::string_view> index;
};

// The persistent topics in the order of their sys_Topics rows (2, 4, 5, 6, 8, 10, 11, 12).
std::span<const TopicDef> persistentTopics();
const TopicDef* findTopicDef(int topicId);

// The four system tables, in creation order.
std::span<const SystemTableDef> systemTables();
const SystemTableDef& valuesTable();

// The fields that the document gives the in-memory topics before every load.
std::span<const FieldDef> inMemoryFields(int topicId);
std::span<const int> inMemoryTopicIds();

// Order in which a project's topics are loaded.
std::span<const int> loadOrder();

inline constexpr std::string_view VersionCurrent = "020905";
inline constexpr std::string_view Version020524 = "020524";
inline constexpr std::string_view Version010406 = "010406";
inline constexpr std::string_view DataTypeMain = "MAIN";
inline constexpr std::string_view DataTypeExchange = "EXCHANGE";

// Slot size of a field type in a record image.
int slotSize(int type);
// SQLite column type for a field type.
std::string_view columnType(int type);
// Longest text a string slot holds.
int textCapacity(int type);

} // namespace vexana::store
