// The instrument's start-up as main runs it: the first pages are drawn in Open Sans.
#include "app/startup.h"
#include "support/instrument.h"

#include <QFontInfo>
#include <QTimer>
#include <QtTest>

using namespace testwindow;

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void firstPages_useOpenSans();
};

void TestStartup::firstPages_useOpenSans()
{
    // A boot after a power cut with the drawer out: the error screen is current while the
    // window is built, and the pressurizing page comes next.
    SandboxRoot root;
    CommandRecorder commands;
    root.write(kIni, "[drawer]\ndrawer_position=2\n");
    QString current;
    QMap<QString, QStringList> families; // page → family each text label is drawn in
    runInstrument(*qApp, [&](MainWindow &window) {
        auto *stack = window.findChild<QStackedWidget *>("stackedWidget");
        current = stack->currentWidget()->objectName();
        for (const char *page : {"errorScreen", "vesselPressureScreen"}) {
            for (QLabel *label : stack->findChild<QWidget *>(page)->findChildren<QLabel *>()) {
                if (!label->text().trimmed().isEmpty())
                    families[page] << QFontInfo(label->font()).family();
            }
        }
        // Left as soon as the event loop runs: the splash screen processes events before it.
        auto *leave = new QTimer(qApp);
        connect(leave, &QTimer::timeout, qApp, [leave] {
            if (QThread::currentThread()->loopLevel() > 0) {
                leave->deleteLater();
                QCoreApplication::quit();
            }
        });
        leave->start(10);
    });
    QCOMPARE(current, QString("errorScreen"));
    QCOMPARE(families.size(), 2);
    for (const QString &page : families.keys()) {
        QVERIFY(!families[page].isEmpty());
        for (const QString &family : families[page])
            QVERIFY2(family == "Open Sans", qPrintable(page + ": " + family));
    }
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
