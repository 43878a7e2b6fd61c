#pragma once

#include "store/TopicStore.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexana::analysis {

class Workspace;

// The targets of ActivateObjects.
enum class ActivationScope {
    AllTexts = 1,
    Group = 2,
    AllSets = 3,
    Set = 4,
    Text = 5,
    Link = 6,
    AllCodes = 7,
    Code = 8,
};

// The tree kinds that name a node of the Document System and Code System windows.
namespace TreeKind {
inline constexpr int GroupsRoot = 1, Group = 2, SetsRoot = 3, Set = 4, CodesRoot = 7, Code = 8;
}

// An overview: what an object list window shows.
struct Overview {
    std::string title;
    int topic = 0;
    std::vector<std::int32_t> ids;
};

// Operations on text groups, texts, text sets and text links.
class DocumentSystem {
public:
    explicit DocumentSystem(Workspace& ws) : ws_(ws) {}

    std::int32_t NewTextGroup();
    std::int32_t CreateText(std::int32_t group);
    // Text creation for imports: name trimmed and cut to 63 characters, the body as given,
    // created now. Returns the new text's id, 0 when no record could be made.
    std::int32_t CreateTextWith(std::int32_t group, std::string_view name, std::string_view body);
    // A new set "Set N"; it holds the active texts unless withActiveTexts is false.
    std::int32_t NewSet(bool withActiveTexts = true);
    std::int32_t NewSetFromGroup(std::int32_t group);
    std::int32_t AddTextToSet(std::int32_t set, std::int32_t text);
    // Whether a link of the set already names the text.
    bool SetHolds(std::int32_t set, std::int32_t text) const;
    // The target is a group (topic 2) or a text whose group is meant (topic 5).
    std::int32_t CopyText(std::int32_t text, int targetTopic, std::int32_t target);

    bool DeleteObject(int topic, std::int32_t id);
    // The delete commands: the two-button confirmation first.
    bool ConfirmAndDelete(int topic, std::int32_t id);

    bool ActivateObjects(ActivationScope scope, std::int32_t id, bool on);
    // Each text's activation as given, all at once (activation by variables): the retrieval
    // is rebuilt once when any text changed. True when any did.
    bool SetTextActivation(const std::vector<std::pair<std::int32_t, bool>>& texts);
    bool ToggleText(std::int32_t text);
    bool ToggleLink(std::int32_t link);
    void Reset();

    void StartRename(int topic, std::int32_t id);
    bool RenameObject(int topic, std::int32_t id, std::string_view name);
    // Orders the children of a tree node by name (ignoring case) and stores the order.
    bool Sort(int kind, std::int32_t id);

    // Overviews of coded segments (topic 10), memos (11) and texts for variables (5).
    Overview OverviewOf(int kind, std::int32_t id, int listedTopic) const;

    // A group or text by its name; full names of texts are "Group\Text".
    std::int32_t FindGroup(std::string_view name) const;
    std::int32_t FindText(std::string_view fullName) const;
    // Every text of that full name: after a merge two may share one.
    std::vector<std::int32_t> FindTexts(std::string_view fullName) const;
    std::vector<std::int32_t> TextsOfGroup(std::int32_t group) const;

private:
    std::int32_t newNamed(int topic, int nameField, const char* label, int state);
    bool setTextActive(std::int32_t text, bool on);
    std::vector<std::int32_t> textsOf(ActivationScope scope, std::int32_t id) const;
    std::vector<std::int32_t> textsOfNode(int kind, std::int32_t id) const;

    Workspace& ws_;
};

// Topic 2, 4, 5 and 8 keep their names in these fields.
int nameFieldOf(int topic);

} // namespace vexana::analysis
