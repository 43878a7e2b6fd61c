#pragma once

#include "store/Schema.h"
#include "store/TopicStore.h"

#include <cstdint>
#include <string>

namespace vexana::test {

// Small record makers for tests; each saves through the store and returns the new id.
inline std::int32_t
addRecord(store::TopicStore& s, int topic, const std::initializer_list<std::pair<int, int>>& ints,
          const std::initializer_list<std::pair<int, std::string>>& texts = {}) {
    store::RecordCursor c;
    if (!s.NewRecord(topic, c)) return 0;
    for (const auto& [f, v] : ints)
        c.setInt(f, v);
    for (const auto& [f, v] : texts)
        c.setText(f, v);
    const std::int32_t id = c.id();
    return s.Save(c, true, true) ? id : 0;
}

inline std::int32_t addGroup(store::TopicStore& s, const std::string& name) {
    return addRecord(s, store::TopicId::TextGroups, {{store::GroupField::State, 1}},
                     {{store::GroupField::Name, name}});
}
inline std::int32_t addSet(store::TopicStore& s, const std::string& name) {
    return addRecord(s, store::TopicId::TextSets, {{store::GroupField::State, 1}},
                     {{store::GroupField::Name, name}});
}
inline std::int32_t addText(store::TopicStore& s, std::int32_t group, const std::string& name) {
    return addRecord(s, store::TopicId::Texts, {{store::TextField::Group, group}},
                     {{store::TextField::Name, name}});
}
inline std::int32_t addCode(store::TopicStore& s, std::int32_t parent, const std::string& name) {
    return addRecord(s, store::TopicId::Codes, {{store::CodeField::Parent, parent}},
                     {{store::CodeField::Name, name}});
}
inline std::int32_t addLink(store::TopicStore& s, std::int32_t set, std::int32_t text) {
    return addRecord(s, store::TopicId::TextLinks,
                     {{store::LinkField::Set, set}, {store::LinkField::Text, text}});
}
// A coding with the counters kept, as coding does it.
inline std::int32_t addCoding(store::TopicStore& s, std::int32_t text, std::int32_t code, int start,
                              int finish, int weight = 100) {
    using namespace store;
    const std::int32_t id = addRecord(s, TopicId::Codings,
                                      {{CodingField::Text, text},
                                       {CodingField::Code, code},
                                       {CodingField::StartChar, start},
                                       {CodingField::FinishChar, finish},
                                       {CodingField::Weight, weight}},
                                      {{CodingField::Preview, "segment"}});
    for (auto [topic, rid, field] : {std::tuple{TopicId::Texts, text, TextField::Codes},
                                     std::tuple{TopicId::Codes, code, CodeField::Codes}}) {
        RecordCursor c;
        if (s.GetRecord(topic, rid, c)) {
            c.setInt(field, c.getInt(field) + 1);
            s.Save(c);
        }
    }
    return id;
}

} // namespace vexana::test
