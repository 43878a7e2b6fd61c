#pragma once

#include "browser/PrintLayout.h"

#include <QString>
#include <functional>
#include <string>
#include <vector>

class QPrinter;
class QTextDocument;
class QWidget;

namespace vexana::store {
class UserInterface;
}

namespace vexana::shell {

// A print job: prints on the printer it is given; empty when done, else what went wrong.
using PrintJob = std::function<std::string(QPrinter&)>;

// The display lines of a document as its layout placed them for its paint device.
browser::VectorLineMetrics documentLines(QTextDocument& document);

// Any rich text with a heading line (title at the left, date at the right) and the page number
// centred below the printable area.
class CPrintEngine {
public:
    CPrintEngine(const QTextDocument& document, QString title, QString date);
    std::string print(QPrinter& printer);
    int pageCount() const { return pages_; }

private:
    const QTextDocument& document_;
    QString title_, date_;
    int pages_ = 0;
};

// The Text Browser's text with its paragraph numbers and coding stripes. The stripes are a copy
// laid out on the printer's lines, so the window itself never leaves the screen's layout.
class CCodedTextPrintEngine {
public:
    // Stripes in the document's positions (UTF-16 units, as the control counts); charSet is the
    // project's font character set.
    CCodedTextPrintEngine(const QTextDocument& document, std::vector<browser::CodingStripe> stripes,
                          QString title, QString date, int charSet = 0);
    std::string print(QPrinter& printer);
    const std::vector<browser::CodedPage>& pages() const { return pages_; }
    const browser::CodedAreas& areas() const { return areas_; }

private:
    const QTextDocument& document_;
    std::vector<browser::CodingStripe> stripes_;
    QString title_, date_;
    int charSet_ = 0;
    browser::CodedAreas areas_;
    std::vector<browser::CodedPage> pages_;
};

// Today in the user's short date format, as headings show it.
QString printDate();

// Prints into a PDF file, whole or not at all: written beside it and moved into place.
std::string printToPdf(const std::string& path, const PrintJob& job);
// The print dialog (or the print preview), then the job; a failure is told through ui.
void printInteractively(QWidget* parent, store::UserInterface& ui, const PrintJob& job,
                        bool preview);

} // namespace vexana::shell
