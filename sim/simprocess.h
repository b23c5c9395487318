#pragma once
// What vr7sim asks of the operating system around serving: getting the process ready before
// the serving thread starts, and waiting until it is asked to stop.
namespace simprocess {

// POSIX: raises the open-file limit to its maximum (a site of a thousand devices needs more
// descriptors than the usual 1024) and blocks SIGINT and SIGTERM in every thread, so that only
// WaitForStop takes them. Windows: the console prints UTF-8, and Ctrl+C, Ctrl+Break and the
// console being closed are taken by WaitForStop.
void Prepare();

// Returns when the program is asked to stop: SIGINT or SIGTERM; on Windows Ctrl+C, Ctrl+Break
// or the console closed.
void WaitForStop();

}  // namespace simprocess
