#pragma once

#include "platform/ProfileFile.h"
#include "store/TopicStore.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vexana::browser {

// What the kind (the listed topic) of an object list window decides.
struct ListKind {
    int kind = 0;
    std::string caption;      // window caption
    std::string counterLabel; // after the number of objects
    int icon = -1;            // -1: none
    std::uint32_t colour = 0; // 0xRRGGBB, 0 for none
    bool codeButton = false;
    int optionsCommand = 0; // sent by "Options"; 0: no such button
};
const ListKind& listKind(int kind);

// "%d %s    ": the counter line of a list window.
std::string counterLine(int count, const ListKind& kind);

// How the grid reaches the document's field operations; an interface so that the variables'
// own operations can take the store's place.
class GridOwner {
public:
    virtual ~GridOwner() = default;
    // The new field's id, or -1.
    virtual int addField(int topic, const std::string& name, int type) = 0;
    virtual bool removeField(int topic, int fieldId) = 0;
    virtual bool renameField(int topic, int fieldId, const std::string& name) = 0;
};

// The owner that goes straight to the topic store, each change one unit.
class StoreGridOwner : public GridOwner {
public:
    explicit StoreGridOwner(store::TopicStore& store) : store_(store) {}
    int addField(int topic, const std::string& name, int type) override;
    bool removeField(int topic, int fieldId) override;
    bool renameField(int topic, int fieldId, const std::string& name) override;

private:
    store::TopicStore& store_;
};

struct GridColumn {
    int field = -1;
    int type = 0;
    int state = 0;
    int parentTopic = 0;
    std::string name;
    int position = 0; // display order among all columns
    bool shown = true;
    int width = 100;
    bool listOfValues = true;
    bool widthKept = false; // the width came from the settings (or the user), not the default
};

// The list grid without a window: one row per listed record id, one column per field of the
// topic, with the layout kept in the settings, sorting, editing and the two exports.
class ListGrid {
public:
    static constexpr std::int32_t lastRowId = 999999999; // always sorts last
    static constexpr std::uint32_t defaultTitleColour = 0xE8E8E8;

    ListGrid(store::TopicStore& store, int topic);

    int topic() const { return topic_; }
    store::TopicStore& store() const { return store_; }

    // The columns (again) from the topic's fields and the rows; the sort state is applied.
    void fill(std::vector<std::int32_t> ids);
    void refreshColumns();
    const std::vector<std::int32_t>& rows() const { return rows_; }
    int rowCount() const { return static_cast<int>(rows_.size()); }
    const std::vector<GridColumn>& columns() const { return columns_; }
    int columnOfField(int fieldId) const;
    // Indexes into columns(), shown ones only, in display order.
    std::vector<int> displayedColumns() const;

    // The cell as shown: a value by the value text rules, a reference as the referenced
    // record's name, a rich-text body as plain text.
    std::string cellText(std::int32_t id, const GridColumn& column) const;
    std::string cellText(int row, int column) const;

    // Layout: section "ObjList%d", keys "Field%d" and "Sorting".
    std::string section() const;
    void readLayout(const platform::ProfileFile& settings);
    void writeLayout(platform::ProfileFile& settings) const;

    // Column commands.
    void switchOff(int column);
    void setShown(int column, bool shown);
    void toggleListOfValues(int column);
    void setWidth(int column, int width);
    // Puts a column at a display place (0 = first shown).
    void moveColumn(int column, int displayIndex);
    // A field made by the owner becomes a column after `after` (-1: at the end).
    bool insertVariable(GridOwner& owner, int after, const std::string& name, int type);
    bool deleteVariable(GridOwner& owner, int column);
    bool renameVariable(GridOwner& owner, int column, const std::string& name);

    // Sorting: by a column (-1 none), ascending or not. A header click sorts ascending by a
    // new column and reverses the order of the current one.
    int sortColumn() const { return sortColumn_; }
    bool ascending() const { return ascending_; }
    void setSort(int column, bool ascending);
    void headerClicked(int column);
    void sort();

    // Editing a cell: refused (the cell keeps its value) for a weight outside 0 to 100, a
    // category name another category has and a search item its category holds already.
    // Unreadable: a variable given text that is not a value of its type (see refusal()).
    enum class Edit { Stored, Refused, Unreadable, NotEditable, Failed };
    Edit setCell(int row, int column, std::string_view text);
    // What is said when a cell's text is Unreadable.
    std::string refusal(int column, std::string_view text) const;
    bool editable(int column) const;
    std::vector<std::string> distinctValues(int column) const;

    // The exports. Columns of the object-type field are left out of both.
    std::string textExport() const;
    std::uint32_t titleColour() const { return titleColour_; }
    void setTitleColour(std::uint32_t rgb) { titleColour_ = rgb; }
    // Writes the text or, when html, the HTML table to path, whole or not at all; the
    // failure in the user's words, empty on success.
    std::string exportTo(const std::string& path, bool html, const std::string& title) const;
    // The same bytes piece by piece through sink; false when the sink refused a piece.
    bool writeExport(const std::function<bool(std::string_view)>& sink, bool html,
                     const std::string& title) const;
    // The width of each exported column in per cent.
    std::vector<int> columnShares(const std::vector<int>& exported) const;
    std::vector<int> exportedColumns() const;

private:
    void normalisePositions();

    store::TopicStore& store_;
    int topic_;
    std::vector<GridColumn> columns_;
    std::vector<std::int32_t> rows_;
    int sortColumn_ = -1;
    bool ascending_ = true;
    std::uint32_t titleColour_ = defaultTitleColour;
};

// Refusal rules of a typed value before it is stored (see ListGrid::setCell).
bool refusesValue(const store::TopicStore& store, int topic, std::int32_t id, int fieldId,
                  std::string_view text);

} // namespace vexana::browser
