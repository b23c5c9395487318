// vr7loncfgmaker: builds the gateway settings of a VR-7 device from its configuration.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "apptitle.h"
#include "vr7cfgupdate.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
    // Qt's own dialogs and buttons (folder and save dialogs, their questions) speak Russian as
    // the window does; without the translations installed they stay in English.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"),
                          QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);
    // The window creates the About box and the port settings dialog after itself.
    TVR7CfgUpdate window;
    window.show();
    window.activateWindow();
    return application.exec();
}
