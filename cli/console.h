#pragma once
// The console vr7lon prints to: UTF-8 text, and bytes written as they are (a file's content on
// standard output is never changed on its way).

// Makes the console take UTF-8 and standard output and error pass bytes unchanged (on Windows:
// the console's output code page, and no LF to CR LF translation). Nothing to do elsewhere.
void PrepareConsole();
