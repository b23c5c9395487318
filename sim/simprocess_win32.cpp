#include "sim/simprocess.h"

#include <windows.h>

namespace simprocess {
namespace {

HANDLE g_stop = nullptr;  // set when the program is asked to stop

// Runs on a thread of its own. TRUE: handled, the process goes on until WaitForStop returns
// and main ends it (for a closed console Windows ends it a few seconds later all the same).
BOOL WINAPI AskToStop(DWORD /*event*/) {
    ::SetEvent(g_stop);
    return TRUE;
}

}  // namespace

void Prepare() {
    ::SetConsoleOutputCP(CP_UTF8);
    g_stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(AskToStop, TRUE);
}

void WaitForStop() {
    ::WaitForSingleObject(g_stop, INFINITE);
}

}  // namespace simprocess
