// vr7loncfgmaker: builds the gateway settings of a VR-7 device from its configuration.
#include "app/ui/windowprogram.h"

int main(int argc, char* argv[]) {
    return RunWindowProgram(argc, argv);
}
