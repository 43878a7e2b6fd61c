// The list grid's own exports: a tab-separated text and an HTML table.
#include "ListGrid.h"
#include "SegmentsDocument.h"
#include "platform/Files.h"
#include "platform/Utf8.h"
#include "store/Schema.h"
#include "store/XmlDocument.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

namespace vexana::browser {

using namespace store;

namespace {

bool isRichText(const GridColumn& c) {
    return c.type == TypeBlock;
}

std::string hexColour(std::uint32_t rgb) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02X%02X%02X", (rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF,
                  rgb & 0xFF);
    return buf;
}

} // namespace

std::vector<int> ListGrid::exportedColumns() const {
    std::vector<int> out;
    for (int c : displayedColumns())
        if (!(columns_[c].state & FieldState::TypeField)) out.push_back(c);
    return out;
}

std::string ListGrid::textExport() const {
    const std::vector<int> cols = exportedColumns();
    // A tab or line end inside a value would split its row.
    const auto clean = [](std::string s) {
        for (char& c : s)
            if (c == '\t' || c == '\r' || c == '\n') c = ' ';
        return s;
    };
    std::string out;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        if (i) out += '\t';
        out += clean(columns_[cols[i]].name);
    }
    out += "\r\n";
    for (std::int32_t id : rows_) {
        for (std::size_t i = 0; i < cols.size(); ++i) {
            if (i) out += '\t';
            out += clean(cellText(id, columns_[cols[i]]));
        }
        out += "\r\n";
    }
    return out;
}

std::vector<int> ListGrid::columnShares(const std::vector<int>& exported) const {
    std::vector<std::size_t> weights(exported.size(), 0);
    for (std::int32_t id : rows_)
        for (std::size_t i = 0; i < exported.size(); ++i)
            weights[i] =
                std::max(weights[i], platform::utf8Length(cellText(id, columns_[exported[i]])));
    int rich = -1;
    for (std::size_t i = 0; i < exported.size(); ++i)
        if (isRichText(columns_[exported[i]]) &&
            (topic_ == TopicId::Codings || topic_ == TopicId::Memos)) {
            rich = static_cast<int>(i);
            break;
        }
    const std::size_t whole = rich >= 0 ? 45 : 100;
    std::size_t total = 0, others = 0;
    for (std::size_t i = 0; i < weights.size(); ++i)
        if (static_cast<int>(i) != rich) {
            total += weights[i];
            ++others;
        }
    std::vector<int> shares(exported.size(), 0);
    for (std::size_t i = 0; i < weights.size(); ++i) {
        if (static_cast<int>(i) == rich) shares[i] = 55;
        // Columns without any text share alike rather than divide by nothing.
        else if (total == 0)
            shares[i] = static_cast<int>(whole / others);
        else
            shares[i] = static_cast<int>(weights[i] * whole / total);
    }
    return shares;
}

std::string ListGrid::exportTo(const std::string& path, bool html, const std::string& title) const {
    platform::AtomicFile file(path);
    const auto failure = [&file] { return platform::writeFailureText(file.errorNumber()); };
    if (!file.open()) return failure();
    if (!writeExport([&file](std::string_view bytes) { return file.write(bytes); }, html, title) ||
        !file.commit())
        return failure();
    return {};
}

bool ListGrid::writeExport(const std::function<bool(std::string_view)>& sink, bool html,
                           const std::string& title) const {
    if (!html) return sink(platform::encodeTextFile(textExport()));
    const std::vector<int> cols = exportedColumns();
    const std::vector<int> shares = columnShares(cols);
    XmlDocument x;
    x.addElem("HTML");
    x.addChildElem("HEAD");
    x.intoElem();
    x.addChildElem("META");
    x.setChildAttrib("http-equiv", "content-type");
    // What is written is UTF-8, and the viewer is told so.
    x.setChildAttrib("content", "text/html; charset=utf-8");
    x.outOfElem();
    x.addChildElem("BODY");
    x.intoElem();
    x.addChildElem("CENTER");
    x.intoElem();
    x.addChildElem("TABLE");
    x.setChildAttrib("bgcolor", "#E0E0E0");
    x.setChildAttrib("border", "0");
    x.setChildAttrib("cellPadding", "2");
    x.setChildAttrib("cellSpacing", "1");
    x.setChildAttrib("width", "100%");
    x.setChildAttrib("height", "20");
    x.intoElem();
    x.addChildElem("TBODY");
    x.intoElem();
    x.addChildElem("TR");
    x.intoElem();
    x.addChildElem("TD");
    x.setChildAttrib("colspan", std::to_string(cols.size()));
    x.setChildAttrib("bgcolor", hexColour(titleColour_));
    x.setChildAttrib("valign", "center");
    x.setChildAttrib("align", "center");
    x.setChildAttrib("height", "25");
    x.intoElem();
    x.addChildElem("FONT");
    x.setChildAttrib("face", "Verdana");
    x.setChildAttrib("size", "2");
    x.intoElem();
    x.addChildElem("B");
    x.intoElem();
    x.addChildElem("A", title);
    x.setChildAttrib("name", title);
    for (int i = 0; i < 4; ++i)
        x.outOfElem();
    x.addChildElem("TR");
    x.intoElem();
    for (std::size_t i = 0; i < cols.size(); ++i) {
        x.addChildElem("TD");
        x.setChildAttrib("bgcolor", "#F0F0F0");
        x.setChildAttrib("valign", "center");
        x.setChildAttrib("align", "left");
        x.setChildAttrib("width", std::to_string(shares[i]) + "%");
        x.setChildAttrib("height", "20");
        x.intoElem();
        x.addChildElem("FONT");
        x.setChildAttrib("face", "Verdana");
        x.setChildAttrib("size", "1");
        x.intoElem();
        x.addChildElem("B", columns_[cols[i]].name);
        x.outOfElem();
        x.outOfElem();
    }
    x.outOfElem();
    // The rows go where this mark stands; it cannot occur in escaped data.
    x.addChildElem("ROWS");
    const std::string& skeleton = x.text();
    const std::string mark = "<ROWS/>\r\n";
    const std::size_t at = skeleton.find(mark);
    if (!sink(std::string_view(skeleton).substr(0, at))) return false;
    for (std::int32_t id : rows_) {
        XmlDocument row;
        row.addElem("TR");
        for (int c : cols) {
            row.addChildElem("TD");
            row.setChildAttrib("bgcolor", "#FFFFFF");
            row.setChildAttrib("valign", "center");
            row.setChildAttrib("align", "left");
            row.setChildAttrib("height", "20");
            row.intoElem();
            row.addChildElem("FONT", cellText(id, columns_[c]));
            row.setChildAttrib("face", "Verdana");
            row.setChildAttrib("size", "1");
            row.outOfElem();
        }
        if (!sink(row.text())) return false;
    }
    return sink(std::string_view(skeleton).substr(at + mark.size()));
}

} // namespace vexana::browser
