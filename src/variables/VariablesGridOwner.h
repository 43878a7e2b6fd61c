#pragma once

#include "Variables.h"
#include "browser/ListGrid.h"
#include "store/Schema.h"

namespace vexana::variables {

// The list grid's field commands on the texts go through the variables' own operations (their
// name rules, one undo step each); other topics keep the store's plain field changes.
class VariablesGridOwner : public browser::GridOwner {
public:
    VariablesGridOwner(store::CVexDoc& doc, browser::GridOwner& others)
        : variables_(doc), others_(others) {}
    int addField(int topic, const std::string& name, int type) override {
        return topic == store::TopicId::Texts ? variables_.Add(name, type)
                                              : others_.addField(topic, name, type);
    }
    bool removeField(int topic, int fieldId) override {
        return topic == store::TopicId::Texts ? variables_.Remove(fieldId)
                                              : others_.removeField(topic, fieldId);
    }
    bool renameField(int topic, int fieldId, const std::string& name) override {
        return topic == store::TopicId::Texts ? variables_.Rename(fieldId, name)
                                              : others_.renameField(topic, fieldId, name);
    }

private:
    Variables variables_;
    browser::GridOwner& others_;
};

} // namespace vexana::variables
