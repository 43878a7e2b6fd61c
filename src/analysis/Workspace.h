#pragma once

#include "store/CVexDoc.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace vexana::analysis {

class DocumentSystem;
class CodeSystem;
class CodingOperations;

// The document's retrieval options (their full use comes with retrieval).
struct RetrievalOptions {
    bool includeSubcodes = false;
    bool orderByTextTree = true;
    bool useWeightFilter = false;
    int lowWeight = 1;
    int highWeight = 100;
    int defaultWeight = 100;
    int hitContextMode = 0;
    int hitContextParagraphs = 0;
    int function = 0;
    std::int32_t selectedCode = 0; // the current analysis function's selected code, 0 for none
};

// The main window's twenty most recently used codes, newest first; the first is the
// current code of the Code command.
class QuickList {
public:
    static constexpr std::size_t capacity = 20;
    void use(std::int32_t code);
    void remove(std::int32_t code);
    void clear() { codes_.clear(); }
    std::int32_t current() const { return codes_.empty() ? 0 : codes_.front(); }
    const std::vector<std::int32_t>& codes() const { return codes_; }

private:
    std::vector<std::int32_t> codes_;
};

// Recomputes the list of retrieved segments; the retrieval subsystem implements it.
class RetrievalEngine {
public:
    virtual ~RetrievalEngine() = default;
    virtual void BuildRetrieval() = 0;
};

// Everything the Document System, Code System and coding operations share: the document,
// the retrieval options, the Quick-List, the segment clipboard and the activation counters.
class Workspace : public store::ViewListener {
public:
    explicit Workspace(store::CVexDoc& doc);
    ~Workspace() override;
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    store::CVexDoc& doc() { return doc_; }
    store::TopicStore& store() { return doc_.store(); }
    store::UserInterface& ui() { return doc_.ui(); }
    DocumentSystem& documents() { return *documents_; }
    CodeSystem& codes() { return *codes_; }
    CodingOperations& codings() { return *codings_; }

    RetrievalOptions options;
    QuickList quickList;
    struct {
        std::int32_t source = 0;
        bool copy = false;
    } codeClipboard;
    int activeTexts = 0;
    bool countActiveCodes = false; // switched on by Frequency of Codes
    // The coding ids of the current list of retrieved segments, in display order.
    std::vector<std::int32_t> retrieved;

    void setRetrievalEngine(RetrievalEngine* engine) { engine_ = engine; }
    // While a DeferredRetrieval is alive this only notes that a rebuild is due.
    void BuildRetrieval();
    int retrievalBuilds() const { return builds_; }

    bool IsActive(int topic, std::int32_t id) const;
    // Whether a coding with these values takes part in the current retrieval.
    bool belongsToRetrieval(std::int32_t text, std::int32_t code, int weight) const;
    // Each code's ActiveCodes becomes the number of its codings in active texts.
    void recountActiveCodes();

    void notify(store::ViewEvent e, int topic, std::int32_t id) { doc_.notify(e, topic, id); }

    void onViewEvent(store::ViewEvent, int, std::int32_t) override {}
    void onProjectLoaded(bool) override;
    void onContentsReplaced() override;

private:
    void countActiveTexts();
    store::CVexDoc& doc_;
    std::unique_ptr<DocumentSystem> documents_;
    std::unique_ptr<CodeSystem> codes_;
    std::unique_ptr<CodingOperations> codings_;
    RetrievalEngine* engine_ = nullptr;
    int builds_ = 0;
    int deferDepth_ = 0;
    bool rebuildDue_ = false;
    friend class DeferredRetrieval;
};

// Holds back the retrieval's rebuilds for an operation that changes many codings: a rebuild
// in the middle would replace the result codings the operation may be walking. The outermost
// scope rebuilds once at its end when any rebuild was asked for.
class DeferredRetrieval {
public:
    explicit DeferredRetrieval(Workspace& ws) : ws_(&ws) { ++ws.deferDepth_; }
    ~DeferredRetrieval() { finish(); }
    DeferredRetrieval(const DeferredRetrieval&) = delete;
    DeferredRetrieval& operator=(const DeferredRetrieval&) = delete;
    // Ends the scope now; true when that rebuilt the retrieval.
    bool finish();

private:
    Workspace* ws_;
};

} // namespace vexana::analysis
