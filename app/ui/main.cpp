// vr7loncfgmaker: builds the gateway settings of a VR-7 device from its configuration.
#include <QApplication>
#include <QTranslator>

#include "apptitle.h"
#include "qttranslations.h"
#include "vr7cfgupdate.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
    // Qt's own dialogs and buttons (folder and save dialogs, their questions) speak Russian as
    // the window does; without the translations installed they stay in English.
    QTranslator qtTranslator;
    InstallQtTranslations(qtTranslator);
    // The window creates the About box and the port settings dialog after itself.
    TVR7CfgUpdate window;
    window.show();
    window.activateWindow();
    return application.exec();
}
