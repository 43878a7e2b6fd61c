#pragma once

#include "store/TopicStore.h"

namespace vexana::store {
class BlockStream;
}

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace vexana::exchange {

// Copies objects of one project's store into another's: codes joined by path, variables by
// name and type, everything else added as new records. Merge, exchange export and exchange
// import are each a walk over the source that uses these steps. Every step reports failure
// through ok(); the caller's unit then rolls back whole.
class StoreJoin {
public:
    StoreJoin(store::TopicStore& source, store::TopicStore& target) : src_(source), dst_(target) {}

    bool ok() const { return ok_; }
    void fail() { ok_ = false; }

    // Walks the source's code tree from the top; take(code) decides whether a code is
    // joined (its children are walked either way). A code met for the first time in the
    // target with Type 0 takes the source's Type.
    void joinCodes(const std::function<bool(std::int32_t)>& take);
    // The code memos of joined codes whose target code has none; returns (added, skipped).
    std::pair<int, int> joinCodeMemos();
    // Variables of the texts: joined with a target variable of the same name (without case)
    // and type, otherwise added under the first free name of "Name", "Name(1)", ...
    void joinVariables();

    // A new target text from a source text (its body only when asked), in group, with the
    // values of the joined variables. Returns its id, 0 on failure.
    std::int32_t copyText(std::int32_t sourceText, std::int32_t group, bool withBody);
    // Takes the source text's values of the joined variables into an existing target text.
    bool takeValues(std::int32_t sourceText, std::int32_t targetText);
    // A new memo of the target from a source memo, attached to text or code, its linked
    // codes mapped. Returns its id, 0 on failure.
    std::int32_t copyMemo(std::int32_t sourceMemo, std::int32_t text, std::int32_t code);
    // Where copyCoding takes the source codings' blocks from, when they are asked for in id
    // order (a merge); without it each is looked up.
    void setCodingBlocks(store::BlockStream* stream) { codingBlocks_ = stream; }
    // A new coding of the target from a source coding, in text with the mapped code.
    std::int32_t copyCoding(std::int32_t sourceCoding, std::int32_t text);

    std::int32_t mappedCode(std::int32_t sourceCode) const {
        const auto it = codes_.find(sourceCode);
        return it == codes_.end() ? 0 : it->second;
    }
    const std::unordered_map<std::int32_t, std::int32_t>& codeMap() const { return codes_; }
    std::unordered_map<std::int32_t, std::int32_t>& textMap() { return texts_; }
    int codesCreated() const { return codesCreated_; }
    int codesJoined() const { return static_cast<int>(codes_.size()); }
    int variablesCreated() const { return variablesCreated_; }
    int variablesJoined() const { return static_cast<int>(fields_.size()); }
    // Target codes that received codings: their counters are recounted at the end.
    std::vector<std::int32_t> touchedCodes() const;

    // Sets a code's and a text's Codes to the number of their codings in the target.
    static bool recountCode(store::TopicStore& s, std::int32_t code);
    static bool recountText(store::TopicStore& s, std::int32_t text);

private:
    std::int32_t resolve(const std::vector<std::string>& levels);
    std::int32_t child(std::int32_t parent, const std::string& name);
    void walk(std::int32_t parent, const std::function<bool(std::int32_t)>& take, int depth);

    store::TopicStore& src_;
    store::TopicStore& dst_;
    bool ok_ = true;
    std::unordered_map<std::int32_t, std::int32_t> codes_, texts_;
    std::vector<std::pair<int, int>> fields_; // source field id, target field id
    // Per target parent code, its children by case-folded name.
    std::unordered_map<std::int32_t, std::unordered_map<std::string, std::int32_t>> children_;
    int codesCreated_ = 0;
    int variablesCreated_ = 0;
    store::BlockStream* codingBlocks_ = nullptr;
};

} // namespace vexana::exchange
