// vr7minwindow [--menu]: the floor of the window program's start-up: a Qt application that shows
// an empty main window and ends at once when it is first exposed, started and timed as
// vr7startwindow is. With --menu the window has a menu bar of one menu: the least that shows a
// word, and so starts the font system (reading the fonts' configuration and list), which an empty
// window never does.
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QMenuBar>
#include <QWindow>

namespace {

class ExitOnExpose : public QObject {
  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Expose) ::_exit(0);
        return false;
    }
};

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QMainWindow window;
    if (argc == 2 && QByteArray(argv[1]) == "--menu")
        window.menuBar()->addMenu(QStringLiteral("&Файл"));
    window.resize(808, 640);
    window.show();
    ExitOnExpose exit;
    if (window.windowHandle() != nullptr) window.windowHandle()->installEventFilter(&exit);
    return application.exec();
}
