// The baseline of the start-up figures: the least a Qt Widgets program does to put one
// 1024 x 600 window on the screen. Prints the same line the simulator's probe prints when a
// window is first painted, then quits.
#include <cstdio>

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {

class Window : public QWidget
{
protected:
    bool event(QEvent *event) override
    {
        const bool handled = QWidget::event(event);
        if (event->type() == QEvent::Paint && !painted) {
            painted = true;
            std::printf("probe painted QWidget\n");
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return handled;
    }

private:
    bool painted = false;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Window window;
    window.setFixedSize(1024, 600);
    window.show();
    return app.exec();
}
