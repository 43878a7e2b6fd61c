#include "PrintEngine.h"

#include "platform/Files.h"
#include "store/UserInterface.h"

#include <QAbstractTextDocumentLayout>
#include <QDate>
#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPolygon>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <memory>
#include <set>

namespace vexana::shell {

using browser::PageFrame;
using browser::PrintRect;

namespace {

QFont arial(double points) {
    QFont f("Arial");
    f.setPointSizeF(std::max(points, 1.0));
    return f;
}

QRect rectOf(const PrintRect& r) {
    return QRect(r.left, r.top, r.width(), r.height());
}

std::string cannotOpen(const QPrinter& printer) {
    if (printer.outputFormat() == QPrinter::PdfFormat)
        return "The file " + printer.outputFileName().toStdString() + " cannot be written.";
    const QString name = printer.printerName();
    return name.isEmpty() ? std::string("The printer cannot be opened.")
                          : "The printer " + name.toStdString() + " cannot be opened.";
}

PageFrame frameOf(QPrinter& printer) {
    const int dpi = printer.resolution();
    const QRect page = printer.pageLayout().fullRectPixels(dpi);
    return browser::pageFrame(page.width(), page.height(), dpi);
}

// A copy of the document laid out for the printer at the given width: lines break on paper as
// they will print.
std::unique_ptr<QTextDocument> layoutFor(const QTextDocument& source, QPrinter& printer, int width,
                                         const QFont& defaultFont) {
    std::unique_ptr<QTextDocument> doc(source.clone());
    doc->documentLayout()->setPaintDevice(&printer);
    doc->setDocumentMargin(0);
    doc->setDefaultFont(defaultFont);
    QTextOption option = doc->defaultTextOption();
    // Tab stops every half inch of paper, as in the rich edit control; Qt scales the distance
    // from 96 dpi to the device.
    option.setTabStopDistance(48);
    doc->setDefaultTextOption(option);
    doc->setTextWidth(width);
    return doc;
}

void drawHeadingAndFooter(QPainter& p, const PageFrame& f, const QString& title,
                          const QString& date, int page) {
    p.setFont(arial(10));
    p.setPen(Qt::black);
    const int h = QFontMetrics(p.font(), p.device()).height();
    const QRect heading(f.printable.left, f.headingY, f.printable.width(), h);
    p.drawText(heading, Qt::AlignLeft | Qt::AlignTop, title);
    p.drawText(heading, Qt::AlignRight | Qt::AlignTop, date);
    p.drawText(QRect(f.printable.left, f.footerY, f.printable.width(), h),
               Qt::AlignHCenter | Qt::AlignTop, QString::asprintf("%d", page));
}

// The document's band of one page into the area; a line taller than the page is cut at it.
void drawBand(QPainter& p, QTextDocument& doc, const PrintRect& area,
              const browser::PageSpan& span) {
    p.save();
    const int height = span.docBottom - span.docTop;
    p.setClipRect(QRect(area.left, area.top, area.width(), height));
    p.translate(area.left, area.top - span.docTop);
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = QRectF(0, span.docTop, area.width(), height);
    context.palette.setColor(QPalette::Text, Qt::black);
    doc.documentLayout()->draw(&p, context);
    p.restore();
}

// A text ending with a paragraph end leaves an empty block behind it: no paragraph.
bool trailingEmpty(const QTextDocument& document, const QTextBlock& b) {
    return !b.next().isValid() && b.length() <= 1 && b != document.begin();
}

int paragraphCount(const QTextDocument& document) {
    return document.blockCount() - (trailingEmpty(document, document.lastBlock()) ? 1 : 0);
}

} // namespace

browser::VectorLineMetrics documentLines(QTextDocument& document) {
    std::vector<browser::PrintLine> lines;
    QAbstractTextDocumentLayout* layout = document.documentLayout();
    for (QTextBlock b = document.begin(); b.isValid(); b = b.next()) {
        if (trailingEmpty(document, b)) break;
        const QRectF box = layout->blockBoundingRect(b);
        const QTextLayout* l = b.layout();
        const int n = l ? l->lineCount() : 0;
        for (int i = 0; i < n; ++i) {
            const QTextLine line = l->lineAt(i);
            browser::PrintLine out;
            out.start = b.position() + line.textStart();
            // The paragraph end belongs to the paragraph's last line.
            out.end = i + 1 == n ? b.position() + b.length() : out.start + line.textLength();
            out.top = static_cast<int>(std::floor(box.top() + line.y()));
            out.height = std::max(1, static_cast<int>(std::ceil(line.height())));
            lines.push_back(out);
        }
    }
    return browser::VectorLineMetrics(std::move(lines));
}

QString printDate() {
    return QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
}

CPrintEngine::CPrintEngine(const QTextDocument& document, QString title, QString date)
    : document_(document), title_(std::move(title)), date_(std::move(date)) {}

std::string CPrintEngine::print(QPrinter& printer) {
    printer.setFullPage(true);
    QPainter p;
    if (!p.begin(&printer)) return cannotOpen(printer);
    const PageFrame f = frameOf(printer);
    auto doc = layoutFor(document_, printer, f.printable.width(), arial(10));
    const auto spans = browser::paginate(documentLines(*doc), f.printable.height());
    pages_ = 0;
    for (const browser::PageSpan& span : spans) {
        if (pages_ > 0 && !printer.newPage()) return cannotOpen(printer);
        drawHeadingAndFooter(p, f, title_, date_, ++pages_);
        drawBand(p, *doc, f.printable, span);
    }
    if (spans.empty()) drawHeadingAndFooter(p, f, title_, date_, ++pages_);
    return p.end() ? std::string() : cannotOpen(printer);
}

CCodedTextPrintEngine::CCodedTextPrintEngine(const QTextDocument& document,
                                             std::vector<browser::CodingStripe> stripes,
                                             QString title, QString date, int charSet)
    : document_(document), stripes_(std::move(stripes)), title_(std::move(title)),
      date_(std::move(date)), charSet_(charSet) {}

std::string CCodedTextPrintEngine::print(QPrinter& printer) {
    printer.setFullPage(true);
    QPainter p;
    if (!p.begin(&printer)) return cannotOpen(printer);
    const double dpi = printer.resolution();
    const PageFrame f = frameOf(printer);

    const int digits = browser::paragraphDigits(paragraphCount(document_));
    const double zeros = QFontMetricsF(arial(10), &printer).horizontalAdvance(QString(digits, '0'));
    const double scale =
        browser::numberFontScale(digits, static_cast<int>(std::lround(zeros)), dpi);
    const QFont numberFont = arial(10 * scale), labelFont = arial(12 * scale);
    const QFontMetrics labelMetrics(labelFont, &printer);
    // Labels are code names: a few, each on many stripes.
    std::set<std::string> labels;
    int columns = 1;
    for (const auto& s : stripes_)
        if (!s.deleted()) {
            labels.insert(s.label);
            columns = std::max(columns, s.column);
        }
    int widest = 0;
    for (const std::string& l : labels)
        widest = std::max(widest, labelMetrics.horizontalAdvance(QString::fromStdString(l)));
    areas_ = browser::codedAreas(f, dpi, digits, widest, columns);

    auto doc = layoutFor(document_, printer, areas_.text.width(),
                         arial(browser::defaultTextPoints(charSet_, scale)));
    std::vector<std::int32_t> starts;
    starts.reserve(static_cast<std::size_t>(doc->blockCount()));
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        starts.push_back(b.position());
    const int labelHeight = labelMetrics.height();
    pages_ = browser::layOutCodedText(documentLines(*doc), areas_, stripes_, starts, labelHeight);

    const int inset = browser::millimetres(0.5, dpi);
    const int q = std::max(1, areas_.spacing / 4);
    const int numberHeight = QFontMetrics(numberFont, &printer).height();
    int page = 0;
    for (const browser::CodedPage& cp : pages_) {
        if (page > 0 && !printer.newPage()) return cannotOpen(printer);
        drawHeadingAndFooter(p, f, title_, date_, ++page);
        p.fillRect(rectOf(areas_.numbers), QColor(210, 210, 210));
        p.setFont(numberFont);
        p.setPen(Qt::black);
        for (const browser::PageNumberMark& n : cp.numbers)
            p.drawText(
                QRect(areas_.numbers.left, n.y, areas_.numbers.width() - inset, numberHeight),
                Qt::AlignRight | Qt::AlignTop, QString::asprintf("%d", n.paragraph));
        for (const browser::PageStripe& s : cp.stripes) {
            const QColor colour((s.colour >> 16) & 255, (s.colour >> 8) & 255, s.colour & 255);
            QPen pen(colour);
            pen.setWidth(std::max(1, areas_.spacing / 8));
            p.setPen(pen);
            const int mid = (s.top + s.bottom) / 2;
            if (mid - q > s.top) p.drawLine(s.x, s.top, s.x, mid - q);
            if (s.bottom > mid + q) p.drawLine(s.x, mid + q, s.x, s.bottom);
            p.fillRect(QRect(s.x - q, mid - q, 2 * q, 2 * q), colour);
            // The segment goes on beyond the page: a small arrowhead at that end.
            p.setBrush(colour);
            if (s.flags & browser::PageStripe::BeganBefore)
                p.drawPolygon(QPolygon(
                    {QPoint(s.x - q, s.top + q), QPoint(s.x + q, s.top + q), QPoint(s.x, s.top)}));
            if (s.flags & browser::PageStripe::GoesOn)
                p.drawPolygon(QPolygon({QPoint(s.x - q, s.bottom - q),
                                        QPoint(s.x + q, s.bottom - q), QPoint(s.x, s.bottom)}));
            p.setBrush(Qt::NoBrush);
        }
        p.setFont(labelFont);
        for (const browser::PageStripe& s : cp.stripes) {
            const int width = s.labelRight - areas_.codes.left;
            if (width <= 0) continue;
            const browser::CodingStripe& st = stripes_[static_cast<std::size_t>(s.index)];
            const QRect box(areas_.codes.left, s.labelTop, width, labelHeight);
            p.fillRect(box, Qt::white);
            p.setPen(QColor((s.colour >> 16) & 255, (s.colour >> 8) & 255, s.colour & 255));
            p.drawText(
                box, Qt::AlignLeft | Qt::AlignTop,
                labelMetrics.elidedText(QString::fromStdString(st.label), Qt::ElideRight, width));
        }
        drawBand(p, *doc, areas_.text, cp.span);
    }
    return p.end() ? std::string() : cannotOpen(printer);
}

std::string printToPdf(const std::string& path, const PrintJob& job) {
    const std::string temp = platform::temporarySibling(path, "print");
    // Whether the folder takes a file, and why not, before anything is drawn.
    if (std::FILE* probe = std::fopen(temp.c_str(), "wb"))
        std::fclose(probe);
    else
        return "The file " + path + " cannot be written: " + platform::systemErrorText(errno) + ".";
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(temp));
    std::string error = job(printer);
    if (error.empty() && std::rename(temp.c_str(), path.c_str()) != 0)
        error =
            "The file " + path + " cannot be written: " + platform::systemErrorText(errno) + ".";
    if (!error.empty()) {
        platform::removeFile(temp);
        // The temporary name means nothing to the reader.
        for (std::size_t at; (at = error.find(temp)) != std::string::npos;)
            error.replace(at, temp.size(), path);
    }
    return error;
}

void printInteractively(QWidget* parent, store::UserInterface& ui, const PrintJob& job,
                        bool preview) {
    QPrinter printer(QPrinter::HighResolution);
    std::string error;
    if (preview) {
        QPrintPreviewDialog dialog(&printer, parent);
        QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                         [&](QPrinter* target) {
                             ui.waitCursor(true);
                             error = job(*target);
                             ui.waitCursor(false);
                         });
        dialog.exec();
    } else {
        QPrintDialog dialog(&printer, parent);
        // A cancelled dialog ends the job without output.
        if (dialog.exec() != QDialog::Accepted) return;
        // Hundreds of pages take a while.
        ui.waitCursor(true);
        error = job(printer);
        ui.waitCursor(false);
    }
    if (!error.empty()) ui.message(error, store::MessageIcon::Stop);
}

} // namespace vexana::shell
