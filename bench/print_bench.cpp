// Printing a coded text against Qt printing the same text without stripes: the layout of the
// pages, stripes, labels and numbers on top of Qt's own text layout and PDF output.
#include "BenchSupport.h"
#include "ProjectGenerator.h"
#include "shell/PrintEngine.h"

#include <QApplication>
#include <QPrinter>
#include <QTextBlock>
#include <QTextDocument>
#include <benchmark/benchmark.h>
#include <cstdio>

using namespace vexana;
using namespace vexana::bench;

namespace {

// About 1 MB in paragraphs of one to five sentences.
QString megabyteText() {
    const QString sentence = "The interviewee talks about the night shifts and the children. ";
    QString text;
    for (int i = 0; text.size() < 1000000; ++i)
        text += sentence.repeated(1 + i % 5) + "\n";
    return text;
}

// 5,000 codings over one to three paragraphs each, under 40 codes.
std::vector<browser::CodingStripe> codings(const QTextDocument& doc) {
    std::vector<browser::CodingStripe> out;
    const int blocks = doc.blockCount();
    for (int i = 0; i < 5000; ++i) {
        const int first = static_cast<int>((static_cast<long long>(i) * 7919) % (blocks - 3));
        browser::CodingStripe s;
        s.codingId = i + 1;
        s.startChar = doc.findBlockByNumber(first).position();
        const QTextBlock last = doc.findBlockByNumber(first + i % 3);
        s.finishChar = last.position() + last.length() - 1;
        s.label = "Code " + std::to_string(i % 40);
        s.colour = 0x008000;
        out.push_back(s);
    }
    return out;
}

void pdfPrinter(QPrinter& printer, const std::string& path) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(path));
}

void PrintCodedText(benchmark::State& state) {
    QTextDocument doc;
    doc.setPlainText(megabyteText());
    const auto stripes = codings(doc);
    const std::string base = benchDirectory() + "/print_bench_qt.pdf",
                      ours = benchDirectory() + "/print_bench_coded.pdf";
    double b = 0, s = 0;
    std::size_t pages = 0;
    for (auto _ : state)
        std::tie(b, s) = compare(
            3,
            [&] {
                QPrinter printer(QPrinter::HighResolution);
                pdfPrinter(printer, base);
                doc.print(&printer);
            },
            [&] {
                QPrinter printer(QPrinter::HighResolution);
                pdfPrinter(printer, ours);
                shell::CCodedTextPrintEngine engine(doc, stripes, "Bench", "");
                if (!engine.print(printer).empty()) state.SkipWithError("print failed");
                pages = engine.pages().size();
            });
    state.counters["chars"] = doc.characterCount();
    state.counters["codings"] = static_cast<double>(stripes.size());
    state.counters["pages"] = static_cast<double>(pages);
    report(state, b, s);
    std::remove(base.c_str());
    std::remove(ours.c_str());
}

} // namespace

BENCHMARK(PrintCodedText)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
