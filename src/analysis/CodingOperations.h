#pragma once

#include "platform/richtext/RichText.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vexana::store {
class RecordCursor;
}

namespace vexana::analysis {

class Workspace;

// What a new coding is made from: the Text Browser's selection, a search hit, a passage.
struct CodingTemplate {
    std::int32_t text = 0;
    std::int32_t code = 0;
    std::int32_t start = 0;
    std::int32_t finish = 0;
    std::int32_t startPara = 0;
    std::int32_t finishPara = 0;
    int weight = 100;
    std::string preview;
    std::string rtf;
};

// Where a coding stands and what it holds, from a template, into its record.
void putPlace(store::RecordCursor& c, const CodingTemplate& t);

// A coding or memo place of a text as edit mode left it.
struct EditedCoding {
    std::int32_t coding = 0;
    std::int32_t start = 0;
    std::int32_t finish = 0;
    bool changed = false;
    bool deleted = false;
};
struct EditedMemo {
    std::int32_t memo = 0;
    std::int32_t pos = 0;
};

struct CodingBatchInfo {
    std::int32_t taid;
    std::string codeName;
    int count;
};

// Coding, uncoding, weights, and copying or moving a code's segments.
class CodingOperations {
public:
    explicit CodingOperations(Workspace& ws) : ws_(ws) {}

    static constexpr std::int32_t NewBatch = 0;
    static constexpr std::int32_t NoBatch = -1;

    // Stores a coding unless one of the same code in the same text contains it; codings of
    // the code inside the new range are replaced. batch: 0 starts one (and is set to it),
    // -1 for none, another value joins that batch. Returns whether the coding takes part in
    // the current retrieval; lastCoding() tells whether it was stored.
    bool AddCoding(CodingTemplate& t, std::int32_t& batch);
    std::int32_t lastCoding() const { return last_; }

    // A template for [start, end) of a stored text, as the Text Browser gives it; false for
    // a range outside the text or an empty one.
    bool TemplateFor(std::int32_t text, std::int32_t start, std::int32_t end,
                     CodingTemplate& t) const;
    static bool TemplateFor(const platform::RichText& body, std::int32_t start, std::int32_t end,
                            CodingTemplate& t);

    // Code the selection with a code (the Quick-List's current one when 0); In-Vivo.
    bool CodeSelection(CodingTemplate t, std::int32_t code = 0);
    bool InVivo(const CodingTemplate& selection);

    // Up to six batches, newest first, and removing one of them.
    std::vector<CodingBatchInfo> UndoBatches() const;
    int UndoBatch(std::size_t index);

    bool DeleteCoding(std::int32_t coding, bool confirm = true);
    // Stores an edited text with the codings and memo places that followed its edits, all
    // or nothing. A coding whose range no longer fits the text is removed, not kept wrong.
    bool SaveEditedText(std::int32_t text, const platform::RichText& body,
                        const std::vector<EditedCoding>& codings,
                        const std::vector<EditedMemo>& memos);
    // Above 100 is 100, below 0 is 0, otherwise the integer part.
    static int ClampWeight(double value);
    bool SetWeight(std::int32_t coding, double value);
    bool ModifyWeight(std::int32_t coding); // asks for the number

    void CopyCodedSegments(std::int32_t code);
    void MoveCodedSegments(std::int32_t code);
    int PasteCodedSegments(std::int32_t target);

    // Codes every retrieved segment with the Quick-List's current code.
    int CodeResults();

private:
    Workspace& ws_;
    std::int32_t last_ = 0;
};

} // namespace vexana::analysis
