#include "app/ui/windowprogram.h"

#include <QApplication>
#include <QTranslator>
#include <QWindow>
#include <utility>

#include "app/ui/qttranslations.h"
#include "app/ui/vr7cfgupdate.h"
#include "base/apptitle.h"

namespace {

// Calls back at the first expose event of the window it watches.
class FirstExpose : public QObject {
  public:
    explicit FirstExpose(std::function<void()> call) : call_(std::move(call)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose && call_) {
            watched->removeEventFilter(this);
            std::exchange(call_, nullptr)();
        }
        return false;
    }

  private:
    std::function<void()> call_;
};

}  // namespace

int RunWindowProgram(int argc, char* argv[], const std::function<void()>& whenShown) {
    RussianDialogDates dates;
    QApplication application(argc, argv);
    dates.Finish();
    QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
    // Qt's own dialogs and buttons (folder and save dialogs, their questions) speak Russian as
    // the window does; without the translations installed they stay in English, which the
    // status bar says once.
    UseRussianLocale();
    QTranslator qtTranslator;
    const bool translated = InstallQtTranslations(qtTranslator);
    MissingQtTexts missingTexts;
    QCoreApplication::installTranslator(&missingTexts);
    // The window creates the About box and the port settings dialog after itself.
    TVR7CfgUpdate window;
    if (!translated) window.SayQtTranslationsMissing();
    window.show();
    window.activateWindow();
    // The window system exposes the shown window from the event loop, which has not run yet.
    FirstExpose exposed(whenShown);
    if (whenShown && window.windowHandle() != nullptr)
        window.windowHandle()->installEventFilter(&exposed);
    return application.exec();
}
