#pragma once
// The window's own state across runs, in the [WINDOW] section of the program's ini file
// "Vr7LonCfgMaker.ini": its size and maximized state, the splitter's left pane, the list's column
// widths, the folders last opened and saved to, and the exchange log's visibility and height.
// Sizes are Qt's device-independent pixels; the size is the one of the window when not maximized.
#include <QList>
#include <QSize>
#include <QString>

constexpr int kShareUnit = 10000;

struct WindowState {
    QSize size;  // invalid: never saved
    bool maximized = false;
    int treeWidth = -1;  // -1: never saved; pixels, as earlier versions kept the pane
    int treeShare = -1;  // the tree pane's share of both panes in 1/kShareUnit; -1: never saved
    QList<int> columnWidths;  // empty: never saved
    QString openFolder;       // the configuration folder last opened
    QString saveFolder;       // the folder last saved to
    bool logShown = false;    // the exchange log's dock
    int logHeight = -1;       // -1: never saved
    // A store's safeguards ("Настройки"): on unless switched off.
    bool backupBeforeStore = true;
    bool previewBeforeStore = true;
    int backupsKept = 20;  // of each device, at least 1
};

// iniPath is the ini file's native path. Values that are missing or make no sense are left as
// "never saved".
WindowState LoadWindowState(const std::string& iniPath);
void SaveWindowState(const std::string& iniPath, const WindowState& state);
