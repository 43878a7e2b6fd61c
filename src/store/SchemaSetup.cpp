#include "SchemaSetup.h"

#include "TopicStore.h"

namespace vexana::store {

void attachFields(TopicStore& store, int topic, std::span<const FieldDef> fields) {
    for (const auto& f : fields) {
        FieldInfo info;
        info.id = f.id;
        info.name = std::string(f.name);
        info.source = std::string(f.source);
        info.type = f.type;
        info.state = f.state;
        info.parentTopic = f.parentTopic;
        store.AttachField(topic, std::move(info));
    }
}

void setUpInMemoryTopics(TopicStore& store) {
    for (int id : inMemoryTopicIds()) {
        if (Topic* t = store.GetTopic(id)) {
            t->clear();
            attachFields(store, id, inMemoryFields(id));
        }
    }
}

void buildMemoryProject(TopicStore& store) {
    store.Clear();
    setUpInMemoryTopics(store);
    for (int id : loadOrder()) {
        const TopicDef* def = findTopicDef(id);
        Topic* t = store.GetTopic(id);
        if (!def || !t) continue;
        t->setNames(std::string(def->table), std::string(def->table), std::string(def->sortField));
        t->setFormats(def->nameFormat, def->fullNameFormat, def->annotationFormat);
        attachFields(store, id, def->fields);
    }
}

} // namespace vexana::store
