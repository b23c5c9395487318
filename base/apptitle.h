#pragma once
// The application's title: the name of the program in message boxes of the general error display.
// (Set as the application name, not the display name: Qt appends a display name to every window
// caption, and the captions are fixed texts.)
inline constexpr char kApplicationTitle[] = "Vr7 Cfg Updater";
