#pragma once
// The window program from its start to its end: the application, Qt's own texts in Russian and
// the main window, shown and active until the user exits.
#include <functional>

// Runs the program; its exit status. whenShown, when given, is called once the main window is
// first exposed on the screen (the start-up benchmark ends the program there).
int RunWindowProgram(int argc, char* argv[], const std::function<void()>& whenShown = {});
