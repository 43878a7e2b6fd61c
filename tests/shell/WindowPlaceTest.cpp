#include "TestSupport.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "shell/MainFrame.h"
#include "store/AppSettings.h"
#include "store/CVexDoc.h"

#include <QScreen>
#include <QtTest>

using namespace vexana;

// The main window opens where it was closed, and stays on the screen it opens on.
class WindowPlaceTest : public QObject {
    Q_OBJECT

private slots:
    void storedPlaceIsUsedKeptOnScreenAndWrittenBack() {
        if (scaled()) QSKIP("the places here are for an unscaled screen");
        test::TempDir dir;
        const std::string ini = dir.file("vexapp.ini");
        test::writeAll(ini, "[MainWindow]\r\nWindowPos=0,1,0,0,0,0,30,40,790,540\r\n");
        test::ScriptedUserInterface ui;
        store::RecentProjects recent;
        store::CVexDoc doc(ui, recent);
        analysis::Workspace ws(doc);
        analysis::Retrieval retrieval(ws);
        {
            store::AppSettings settings(ini);
            settings.load();
            shell::CMainFrame frame(doc, ws, retrieval, settings);
            frame.showAtStoredPlace();
            QVERIFY(!frame.isMaximized());
            QCOMPARE(frame.geometry(), QRect(30, 40, 760, 500));
            frame.setGeometry(QRect(20, 30, 750, 450));
            frame.saveSettings();
        }
        store::AppSettings reread(ini);
        reread.load();
        const store::WindowPlacement place =
            reread.windowPos("MainWindow", store::AppSettings::mainWindowDefault());
        QCOMPARE(place.format(), std::string("0,1,0,0,0,0,20,30,770,480"));

        // A place from a far larger screen (or another scale) is kept on this one.
        test::writeAll(ini, "[MainWindow]\r\nWindowPos=0,1,0,0,0,0,3000,2000,9000,7000\r\n");
        store::AppSettings huge(ini);
        huge.load();
        shell::CMainFrame frame(doc, ws, retrieval, huge);
        frame.showAtStoredPlace();
        const QRect area = frame.screen()->availableGeometry();
        const QSize least = frame.minimumSizeHint().expandedTo(frame.minimumSize());
        QVERIFY2(area.contains(frame.geometry().topLeft()), "the window starts off the screen");
        QVERIFY(frame.width() <= std::max(area.width(), least.width()));
        QVERIFY(frame.height() <= std::max(area.height(), least.height()));
    }
    // Run a second time at QT_SCALE_FACTOR=2: the screen is then too narrow for the toolbars'
    // stored widths, and still the window fits on it.
    void fitsAScreenScaledUp() {
        if (!scaled()) QSKIP("needs QT_SCALE_FACTOR=2");
        test::TempDir dir;
        const std::string ini = dir.file("vexapp.ini");
        test::writeAll(ini, "[MainWindow]\r\nWindowPos=0,1,0,0,0,0,0,0,1100,760\r\n"
                            "ToolBar1=350\r\nToolBar2=430\r\nToolBar3=430\r\n");
        test::ScriptedUserInterface ui;
        store::RecentProjects recent;
        store::CVexDoc doc(ui, recent);
        analysis::Workspace ws(doc);
        analysis::Retrieval retrieval(ws);
        store::AppSettings settings(ini);
        settings.load();
        shell::CMainFrame frame(doc, ws, retrieval, settings);
        frame.showAtStoredPlace();
        const QRect area = frame.screen()->availableGeometry();
        QVERIFY(frame.minimumSizeHint().width() <= area.width());
        QVERIFY(frame.width() <= area.width());
        QVERIFY(frame.height() <= area.height());
    }

private:
    static bool scaled() { return qEnvironmentVariable("QT_SCALE_FACTOR") == "2"; }
};

QTEST_MAIN(WindowPlaceTest)
#include "WindowPlaceTest.moc"
