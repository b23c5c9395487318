// vr7startwindow: the window program started as vr7loncfgmaker starts, ending at once when its
// window is first exposed (without closing the window, which would save its settings);
// vr7benchui times it from the process start to its end.
#include <unistd.h>

#include "app/ui/windowprogram.h"

int main(int argc, char* argv[]) {
    return RunWindowProgram(argc, argv, [] { ::_exit(0); });
}
