#include "TestSupport.h"
#include "analysis/CodeSystem.h"
#include "analysis/CodingOperations.h"
#include "analysis/DocumentSystem.h"
#include "analysis/MemoOperations.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "platform/Files.h"
#include "platform/richtext/RichText.h"
#include "shell/MainFrame.h"
#include "shell/MemoDialog.h"
#include "shell/PrintEngine.h"
#include "store/AppSettings.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <QImage>
#include <QPrinter>
#include <QProcess>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>
#include <filesystem>
#include <set>

using namespace vexana;
using namespace vexana::shell;

namespace {

bool isPdf(const std::string& path) {
    const auto bytes = platform::readFile(path);
    return bytes && bytes->rfind("%PDF", 0) == 0 && bytes->find("%%EOF") != std::string::npos;
}

// Nothing but the files named is left in the folder (no temporary print files).
bool onlyFiles(const std::string& dir, std::set<std::string> names) {
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (!names.erase(e.path().filename().string())) return false;
    return names.empty();
}

browser::CodingStripe stripe(std::int32_t a, std::int32_t b, std::string label) {
    browser::CodingStripe s;
    s.startChar = a;
    s.finishChar = b;
    s.label = std::move(label);
    return s;
}

// A coded project: two texts, a memo, codes, the main window over it.
struct Project {
    test::TempDir dir;
    test::ScriptedUserInterface ui;
    store::RecentProjects recent;
    store::CVexDoc doc{ui, recent};
    std::unique_ptr<analysis::Workspace> ws;
    std::unique_ptr<analysis::Retrieval> retrieval;
    store::AppSettings settings{dir.file("vexapp.ini")};
    std::int32_t text = 0, memo = 0;

    bool open() {
        if (!doc.OpenPath(dir.file("p.vxp"), false)) return false;
        ws = std::make_unique<analysis::Workspace>(doc);
        retrieval = std::make_unique<analysis::Retrieval>(*ws);
        const std::int32_t group = ws->documents().NewTextGroup();
        std::string body;
        for (int i = 1; i <= 200; ++i)
            body += "Paragraph " + std::to_string(i) + " of the interview.\n";
        text = ws->documents().CreateTextWith(group, "Anna",
                                              platform::RichText::fromPlain(body).toRtf());
        const std::int32_t code = ws->codes().NewCode(0, "Work", false);
        analysis::CodingTemplate t;
        if (!ws->codings().TemplateFor(text, 100, 6000, t)) return false;
        t.code = code;
        std::int32_t batch = analysis::CodingOperations::NewBatch;
        ws->codings().AddCoding(t, batch);
        if (!ws->codings().lastCoding()) return false;
        memo = analysis::MemoOperations(*ws).NewTextMemo(text, 2);
        return text && memo;
    }
};

} // namespace

class PrintTest : public QObject {
    Q_OBJECT
private slots:
    void aStripeOverAPageEdgeIsDrawnOnBothPages() {
        test::TempDir dir;
        QTextDocument doc;
        QString text;
        for (int i = 1; i <= 120; ++i)
            text += QString("Line %1 of the text\n").arg(i);
        doc.setPlainText(text);
        const int from = doc.findBlockByNumber(40).position();
        const int to = doc.findBlockByNumber(80).position();
        CCodedTextPrintEngine engine(doc, {stripe(from, to, "Work"), stripe(0, 5, "Home")}, "Anna",
                                     "1.1.2026");
        const std::string out = dir.file("coded.pdf");
        QCOMPARE(printToPdf(out, [&](QPrinter& p) { return engine.print(p); }), std::string());
        QVERIFY(isPdf(out));
        QVERIFY(onlyFiles(dir.path(), {"coded.pdf"}));
        const auto& pages = engine.pages();
        QVERIFY(pages.size() >= 2);
        // 120 paragraphs: three digits, 2 + 4.5 mm of number area, at the printer's resolution.
        QCOMPARE(engine.areas().numbers.width(), browser::millimetres(6.5, 1200));
        std::vector<int> flags;
        for (const auto& page : pages)
            for (const auto& s : page.stripes)
                if (s.index == 0) flags.push_back(s.flags);
        QVERIFY(flags.size() >= 2);
        QCOMPARE(flags.front(), int(browser::PageStripe::GoesOn));
        QCOMPARE(flags.back(), int(browser::PageStripe::BeganBefore));
        // Every paragraph number is printed once; the empty block after the last paragraph
        // end is no paragraph.
        int numbers = 0;
        for (const auto& page : pages)
            numbers += static_cast<int>(page.numbers.size());
        QCOMPARE(numbers, doc.blockCount() - 1);
    }

    void badInputEndsWithAMessageOrAFinishedPrint() {
        test::TempDir dir;
        // 10,000 paragraphs and 5,000 codings: hundreds of pages, every one advancing.
        {
            QTextDocument doc;
            QString text;
            for (int i = 0; i < 10000; ++i)
                text += "A short paragraph.\n";
            doc.setPlainText(text);
            std::vector<browser::CodingStripe> stripes;
            for (int i = 0; i < 5000; ++i)
                stripes.push_back(stripe(i * 38, i * 38 + 50, "Code " + std::to_string(i % 40)));
            CCodedTextPrintEngine engine(doc, stripes, "Long", "");
            QCOMPARE(printToPdf(dir.file("long.pdf"), [&](QPrinter& p) { return engine.print(p); }),
                     std::string());
            QVERIFY(engine.pages().size() > 100);
            for (std::size_t i = 1; i < engine.pages().size(); ++i)
                QVERIFY(engine.pages()[i].span.firstLine > engine.pages()[i - 1].span.firstLine);
        }
        // One paragraph of 2 MB.
        {
            QTextDocument doc;
            doc.setPlainText(QString("word ").repeated(400000));
            CPrintEngine engine(doc, "One paragraph", "");
            QCOMPARE(printToPdf(dir.file("para.pdf"), [&](QPrinter& p) { return engine.print(p); }),
                     std::string());
            QVERIFY(engine.pageCount() > 100);
        }
        // A picture taller than a page: it gets a page, cut, and the text after it follows.
        {
            QTextDocument doc;
            doc.addResource(QTextDocument::ImageResource, QUrl("tall"),
                            QImage(50, 60000, QImage::Format_RGB32));
            QTextCursor c(&doc);
            c.insertText("Before\n");
            QTextImageFormat image;
            image.setName("tall");
            image.setWidth(50);
            image.setHeight(60000);
            c.insertImage(image);
            c.insertText("\nAfter");
            CCodedTextPrintEngine engine(doc, {stripe(0, 12, "All")}, "Picture", "");
            QCOMPARE(printToPdf(dir.file("tall.pdf"), [&](QPrinter& p) { return engine.print(p); }),
                     std::string());
            QCOMPARE(engine.pages().size(), std::size_t(3));
        }
        QVERIFY(onlyFiles(dir.path(), {"long.pdf", "para.pdf", "tall.pdf"}));

        // A folder that is not there: said so, with the path the user gave, and no file.
        QTextDocument small;
        small.setPlainText("Text");
        CPrintEngine engine(small, "T", "");
        const std::string missing = dir.file("no folder/out.pdf");
        const std::string error = printToPdf(missing, [&](QPrinter& p) { return engine.print(p); });
        QVERIFY(error.rfind("The file " + missing + " cannot be written: ", 0) == 0);
        QVERIFY(!platform::fileExists(missing));
        // A printer that cannot be opened.
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(missing));
        QCOMPARE(engine.print(printer), "The file " + missing + " cannot be written.");
    }

    void theMenuPrintsEveryWindowAndTheMemoPrints() {
        Project p;
        QVERIFY(p.open());
        CMainFrame frame(p.doc, *p.ws, *p.retrieval, p.settings);
        frame.refreshAll();
        // No text open: nothing to print from the Text Browser.
        QVERIFY(!frame.printJob(32984));
        QVERIFY(frame.printToPdf(32984, p.dir.file("none.pdf")) != "");
        QVERIFY(!platform::fileExists(p.dir.file("none.pdf")));
        frame.openText(p.text);
        frame.updateCommands();
        for (int id : {32982, 32983, 32984, 32985, 32986}) {
            QVERIFY(frame.command(id)->isEnabled());
            const std::string out = p.dir.file(std::to_string(id) + ".pdf");
            QCOMPARE(frame.printToPdf(id, out), std::string());
            QVERIFY2(isPdf(out), qPrintable(QString::number(id)));
        }
        QVERIFY(p.ui.messages.empty());

        MemoDialog* memo = showMemo(&frame, *p.ws, p.settings, p.memo);
        QVERIFY(memo);
        QVERIFY(memo->printButton());
        const std::string out = p.dir.file("memo.pdf");
        QCOMPARE(printToPdf(out, [&](QPrinter& printer) { return memo->printMemoTo(printer); }),
                 std::string());
        QVERIFY(isPdf(out));
        memo->close();
    }

    void theDesktopProgramPrintsIntoAPdf() {
        test::TempDir dir;
        const std::string project = dir.file("p.vxp");
        {
            test::ScriptedUserInterface ui;
            store::RecentProjects recent;
            store::CVexDoc doc(ui, recent);
            QVERIFY(doc.OpenPath(project, false));
            analysis::Workspace ws(doc);
            const std::int32_t group = ws.documents().NewTextGroup();
            ws.documents().RenameObject(store::TopicId::TextGroups, group, "G");
            QVERIFY(ws.documents().CreateTextWith(
                group, "Anna", platform::RichText::fromPlain("One.\nTwo.").toRtf()));
        }
        const auto before = platform::readFile(project);
        const auto run = [&](QStringList args, QString* err = nullptr) {
            QProcess p;
            p.setProcessEnvironment([] {
                auto env = QProcessEnvironment::systemEnvironment();
                env.insert("QT_QPA_PLATFORM", "offscreen");
                return env;
            }());
            p.start(VEXANA_APP,
                    QStringList{"--settings", QString::fromStdString(dir.file("s.ini"))} + args);
            p.waitForFinished(120000);
            if (err) *err = QString::fromUtf8(p.readAllStandardError());
            return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };
        const QString out = QString::fromStdString(dir.file("anna.pdf"));
        const QString path = QString::fromStdString(project);
        QCOMPARE(run({"--print-pdf", out, "--text", "G\\Anna", path}), 0);
        QVERIFY(isPdf(out.toStdString()));
        QCOMPARE(run({"--print-pdf", out + "2", "--project-info", path}), 0);
        QVERIFY(isPdf(out.toStdString() + "2"));
        QCOMPARE(run({"--print-pdf", out + "5", "--segments", path}), 0);
        QVERIFY(isPdf(out.toStdString() + "5"));
        // Printing changed nothing in the project.
        QVERIFY(platform::readFile(project) == before);

        QString err;
        QCOMPARE(run({"--print-pdf", out + "3", "--text", "G\\Nobody", path}, &err), 1);
        QVERIFY(err.contains("There is no text G\\Nobody."));
        const QString missing = QString::fromStdString(dir.file("none/x.pdf"));
        QCOMPARE(run({"--print-pdf", missing, "--project-info", path}, &err), 1);
        QVERIFY(err.contains("The file " + missing + " cannot be written: "));
        QCOMPARE(run({"--print-pdf", out + "4", path}), 2);
        QCOMPARE(run({"--segments", path}), 2);
        QVERIFY(!platform::fileExists(out.toStdString() + "3"));
        QVERIFY(!platform::fileExists(out.toStdString() + "4"));
        QVERIFY(!platform::fileExists(missing.toStdString()));
    }
};

QTEST_MAIN(PrintTest)
#include "PrintTest.moc"
