#pragma once
// What must hold of the main window after every user action, checked from the outside: the list
// control mirrors the list, the counters line counts the rows, the tree control mirrors the tree,
// and the commands are enabled exactly while no device command runs. Each check returns what it
// found wrong, one text a fault; an empty list means the window is sound.
#include <QString>
#include <QStringList>

class TVR7CfgUpdate;

// Checks that hold on today's window as well as on a sound one are always on; these name faults
// that are being mended elsewhere and can be switched on once they are.
struct WindowCheckSwitches {
    bool barHiddenWhenIdle = false;  // no progress bar on show while no command runs
    bool noRepeatedLeaves = false;   // no folder of the tree shows one caption twice
    bool barMayShow = false;         // a failed read's bar shows how far it came
};

// The list's rows on the screen against the model: count, every column's text, check state;
// the counters line against the rows.
QStringList CheckListMirror(const TVR7CfgUpdate& window);

// The tree control against the tree model: the same nodes in the same order, each item pointing
// at the node whose caption it shows.
QStringList CheckTreeMirror(const TVR7CfgUpdate& window);

// While a device command runs nothing that could start another (or change the list under it) is
// enabled and Cancel shows; while none runs everything is enabled and Cancel is gone.
QStringList CheckCommandStates(const TVR7CfgUpdate& window);

// Folders of the tree control that show a caption more than once.
QStringList CheckNoRepeatedLeaves(const TVR7CfgUpdate& window);

// Everything above that applies now: the list and the tree only while no command runs (a
// running read changes them from its worker).
QStringList CheckWindow(const TVR7CfgUpdate& window, const WindowCheckSwitches& switches);

// The checks that are switched off, as they would report now: known faults, counted apart.
QStringList CheckKnownFaults(const TVR7CfgUpdate& window, const WindowCheckSwitches& switches);
