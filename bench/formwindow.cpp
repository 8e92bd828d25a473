// The least the instrument program must do before its first menu state: its 27-page form,
// built with the window's two style sheets (the background picture among them), on a window of
// the instrument's size - and nothing else: no devices, threads, settings, files or shell
// commands. Measured beside the bare window, it is the floor of the start-up figures. Prints
// "probe form built" when the form stands and "probe painted FormWindow" at its first paint.
#include "ui_mainwindow.h"

#include <cstdio>

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QTimer>

namespace {

void announce(const char *line)
{
    std::printf("probe %s\n", line);
    std::fflush(stdout);
}

} // namespace

// The window's style sheet names its class, so this class stands in for it by name only.
class FormWindow : public QMainWindow
{
    Q_OBJECT

public:
    FormWindow()
    {
        setStyleSheet("FormWindow {background-image: "
                      "url(:/images/background-image/korvand_background.png);}");
        qApp->setStyleSheet("QStatusBar::item { border: 0px solid black; }");
        form.setupUi(this);
        QApplication::setFont(QFont("Open Sans", 16));
        setFixedSize(1024, 600);
        announce("form built");
    }

protected:
    bool event(QEvent *event) override
    {
        const bool handled = QMainWindow::event(event);
        if (event->type() == QEvent::Paint && !painted) {
            painted = true;
            announce("painted FormWindow");
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return handled;
    }

private:
    Ui::MainWindow form;
    bool painted = false;
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    FormWindow window;
    window.show();
    return app.exec();
}

#include "formwindow.moc"
