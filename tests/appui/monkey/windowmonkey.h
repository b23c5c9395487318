#pragma once
// A randomized user of the main window: thousands of random actions (menu commands, their
// shortcuts and tool buttons, keys and clicks on the tree and the list, drags, dialogs answered
// at random, reads and stores against a simulated device with random faults, Cancel at random
// moments, close attempts answered at random, restarts), with the window's invariants checked
// after every action. A seed reproduces the choices; how far a device command has come when the
// next action arrives depends on the machine, so a failure names the last actions as well.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "tests/appui/monkey/windowchecks.h"
#include "tests/common/simpeer.h"

class QAction;
class QWidget;
class TVR7CfgUpdate;
class MonkeyMessages;
class MonkeyShell;

struct MonkeyOptions {
    uint64_t seed = 1;
    int steps = 2000;
    Transport transport = Transport::Tcp;
    WindowCheckSwitches checks;
    // A command that succeeds no longer shows the status text an earlier failure left.
    bool statusClearedBySuccess = false;
    // Where the run works: the working folder (the current directory) and the program folder
    // (the ini file). Both exist and are the run's own.
    QString work;
    QString program;
    bool echo = false;  // every action to stderr as well
};

struct MonkeyReport {
    int steps = 0;
    int deviceCommands = 0;
    int cancels = 0;
    int restarts = 0;
    std::map<std::string, int> actions;  // how often each action ran
    // The panes (tree, list, log: bits 0, 1, 2) Tab, Shift+Tab and F6 took the focus to.
    unsigned panesReached = 0;
    // The first fault found (empty: none) and the actions that led to it, oldest first.
    QString failure;
    QStringList lastActions;
    // Faults that are switched off: how often each was seen, and at which step first.
    struct Known {
        int count = 0;
        int firstStep = 0;
        QStringList before;  // the actions before its first sighting
    };
    std::map<QString, Known> known;
};

class WindowMonkey {
  public:
    explicit WindowMonkey(MonkeyOptions options);
    ~WindowMonkey();
    WindowMonkey(const WindowMonkey&) = delete;
    WindowMonkey& operator=(const WindowMonkey&) = delete;

    MonkeyReport Run();

    // For the fakes that answer the window's dialogs.
    int Uniform(int low, int high);  // both included
    bool Chance(double probability);
    void Log(const QString& what);
    // A modal box's own event loop, a few turns (user input excluded).
    void SpinLikeAModalBox();

  private:
    friend class MonkeyMessages;
    friend class MonkeyShell;

    // Set-up of the run: folders, the simulated device and the ini file pointing at it.
    bool Prepare();
    bool StartWindow();
    // The window closed: its ini must have been written; then the program starts again.
    void Closed();
    void Step();
    void CheckAfterStep();
    void Fail(const QString& fault);

    // Actions.
    void InvokeCommand(QAction* action, const char* name);
    // Open and Save, whose outcome the status text follows as a device command's.
    void FileCommand(QAction* action, const char* name);
    void CommandEnded(bool succeeded);
    void DeviceCommand(bool read);
    void ChooseDeviceFaults();
    void ClickCancel();
    void Turns(int count);
    void PortDialog();
    void AboutBox();
    void TreeAction();
    void ListAction();
    void DragTreeToList();
    void DragWithinList();
    void CloseAttempt();
    void PaneKey();  // Tab, Shift+Tab, F6 or Shift+F6: the focus goes to another pane
    void KeyTo(QWidget* target, int key, int modifiers = 0);
    bool ClickMenuItem(QAction* action);
    bool ContextMenuItem(QAction* action);
    // Answers a modal dialog or popup that is open now; called by a timer while the run lasts.
    void AnswerDialogs();
    void WaitForIdle();
    bool ConnectionIsLocal(QString* what) const;

    MonkeyOptions options_;
    MonkeyReport report_;
    std::mt19937_64 random_;
    std::unique_ptr<MonkeyMessages> messages_;
    std::unique_ptr<MonkeyShell> shell_;
    SimPeer device_;
    std::unique_ptr<TVR7CfgUpdate> window_;
    std::deque<QString> ring_;
    int step_ = 0;
    bool closeAttempted_ = false;
    bool stopped_ = false;
    // The menu the run is driving itself; the dialog answerer leaves it alone.
    QWidget* ownPopup_ = nullptr;
    QAction* contextChoice_ = nullptr;  // the item to click in the list's context menu
    int dialogTurns_ = 0;               // answerer ticks a dialog has been open
    // What the last failed command left in the status panel, until a command succeeds.
    QString failureStatus_;
    int messagesAtCommandStart_ = 0;
    bool commandWasRead_ = false;
    bool commandCancelled_ = false;
    bool commandSeenRunning_ = false;
    bool staleStatusSeen_ = false;
    // A read that failed leaves the bar showing how far it came, until the next device command.
    bool barMayShow_ = false;
    // The checks after a step: the bar may stay after a failed read.
    WindowCheckSwitches StepChecks() const;
};
