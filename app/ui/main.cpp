// vr7loncfgmaker: builds the gateway settings of a VR-7 device from its configuration.
#include <QApplication>

#include "apptitle.h"
#include "vr7cfgupdate.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
    // The window creates the About box and the port settings dialog after itself.
    TVR7CfgUpdate window;
    window.show();
    window.activateWindow();
    return application.exec();
}
