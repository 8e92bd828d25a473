#include "startup.h"

#include "mainwindow.h"

#include "hw/eventfilter.h"

#include <cstdint>

#include <QApplication>
#include <QDebug>
#include <QFontDatabase>
#include <QMetaType>
#include <QPixmap>
#include <QSplashScreen>
#include <QTimer>

namespace {
// The splash covers device initialisation and the first pressurizing screen.
constexpr int kSplashMs = 2000;
} // namespace

int runInstrument(QApplication &app, const std::function<void(MainWindow &)> &windowBuilt)
{
    QCoreApplication::setOrganizationName("Korvand ApS");
    QCoreApplication::setOrganizationDomain("korvand.dk");
    QCoreApplication::setApplicationName("Vemla 8");
    app.installEventFilter(new EventFilter(&app));

    qRegisterMetaType<uint16_t>("uint16_t");
    qRegisterMetaType<uint8_t>("uint8_t");
    qRegisterMetaType<int8_t>("int8_t");
    // The drawer's faults reach the window through a queued drawerError(ErrorCode).
    qRegisterMetaType<ErrorCode>("ErrorCode");

    // Before the window: its constructor already lays out and polishes the first pages (the
    // pressurizing page, the error screen), each with the font it finds registered then.
    if (QFontDatabase::addApplicationFont(":/fonts/Open_Sans/OpenSans-Regular.ttf") < 0)
        qDebug() << "Failed to load font: 'Open Sans'";
    QFont font("Open Sans", 16, QFont::Normal, false);
    QApplication::setFont(font);

    MainWindow window(nullptr);
    window.setFixedSize(1024, 600);
    window.centralWidget()->setAttribute(Qt::WA_TranslucentBackground);
    if (windowBuilt)
        windowBuilt(window);

    QPixmap background(":/images/background-image/korvand_background.png");
    QSplashScreen splash(background);
    splash.setGeometry(window.geometry());
    splash.show();
    splash.setGeometry(window.geometry());
    splash.showMessage("Initializing...", Qt::AlignBottom | Qt::AlignHCenter, Qt::white);
    splash.setStyleSheet("font-size:48pt;");

    QTimer::singleShot(kSplashMs, &splash, &QWidget::close);
    QTimer::singleShot(kSplashMs, &window, [&window] {
        window.setStartingUp(false);
        window.show();
    });

    return app.exec();
}
