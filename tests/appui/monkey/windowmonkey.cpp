#include "tests/appui/monkey/windowmonkey.h"

#include "app/ui/storedialogs.h"
#include "device/storepreview.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidgetItem>
#include <algorithm>
#include <functional>
#include <iostream>

#include "app/messages.h"
#include "app/ui/aboutbox.h"
#include "app/ui/configtreeview.h"
#include "app/ui/dragpayload.h"
#include "app/ui/exchangelog.h"
#include "app/ui/shellservices.h"
#include "app/ui/snvtlistview.h"
#include "app/ui/statuspanel.h"
#include "app/ui/usermessages.h"
#include "app/ui/vr7cfgupdate.h"
#include "base/inifile.h"
#include "base/ui/qcp1251.h"
#include "link/connectionkeys.h"
#include "link/ui/ipedit.h"
#include "link/ui/portcombo.h"
#include "link/ui/setportdlg.h"
#include "link/vr7frame.h"
#include "sim/simresponder.h"
#include "tests/appui/support/windowfixture.h"
#include "tests/common/devicefaults.h"

namespace {

constexpr size_t kRingSize = 50;
// A device command that has not ended after this long never will: the run fails.
constexpr qint64 kCommandBoundMs = 60000;
// The dialog answerer's tick; also the longest one event-loop turn waits for an event.
constexpr int kAnswerTickMs = 5;

QString IniPath(const QString& program) {
    return QDir(program).filePath(QString::fromLatin1(connkeys::kMainIniName));
}

std::string IniValue(const QString& ini, const char* section, const char* key) {
    return ini::ReadString(QFile::encodeName(ini).toStdString(), section, key, "");
}

// Every item of the tree that is on show (its parents expanded), in order.
std::vector<QTreeWidgetItem*> ShownItems(const QTreeWidget* tree) {
    std::vector<QTreeWidgetItem*> items;
    std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* item) {
        items.push_back(item);
        if (!item->isExpanded()) return;
        for (int i = 0; i < item->childCount(); ++i) walk(item->child(i));
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i) walk(tree->topLevelItem(i));
    return items;
}

}  // namespace

// The message boxes: each is recorded and holds the event loop for a few turns as a modal box
// does; a question is answered at random. Now and then the real box is shown and answered by a
// click on one of its buttons or by Esc.
class MonkeyMessages : public IUserMessages {
  public:
    explicit MonkeyMessages(WindowMonkey& monkey) : monkey_(monkey) {}
    void SetWindow(QWidget* window) {
        real_ = window != nullptr ? std::make_unique<MessageBoxes>(window) : nullptr;
    }
    void Message(const QString& text) override {
        shown << text;
        monkey_.Log(QStringLiteral("  message: ") + text.left(120));
        if (UseRealBox())
            real_->Message(text);
        else
            monkey_.SpinLikeAModalBox();
    }
    void GeneralError(const QString& text) override {
        shown << text;
        monkey_.Log(QStringLiteral("  error: ") + text.left(120));
        if (UseRealBox())
            real_->GeneralError(text);
        else
            monkey_.SpinLikeAModalBox();
    }
    bool Question(const QString& text) override {
        monkey_.Log(QStringLiteral("  question: ") + text.left(80));
        bool yes = false;
        if (UseRealBox()) {
            yes = real_->Question(text);
        } else {
            monkey_.SpinLikeAModalBox();
            yes = monkey_.Chance(0.5);
        }
        monkey_.Log(QStringLiteral("  answered %1").arg(yes ? "Да" : "Нет"));
        if (!yes) ++declined;
        return yes;
    }
    bool ConfirmStore(const StorePreview& preview) override {
        monkey_.Log(QStringLiteral("  preview: %1 lines").arg(preview.lines.size()));
        if (UseRealBox()) return real_->ConfirmStore(preview);
        monkey_.SpinLikeAModalBox();
        return monkey_.Chance(0.5);
    }
    std::optional<BackupSummary> ChooseBackup(const std::vector<BackupSummary>& backups) override {
        monkey_.Log(QStringLiteral("  backups: %1").arg(backups.size()));
        if (UseRealBox()) return real_->ChooseBackup(backups);
        monkey_.SpinLikeAModalBox();
        if (backups.empty() || monkey_.Chance(0.5)) return std::nullopt;
        return backups.back();
    }
    QStringList shown;
    int declined = 0;  // questions answered "Нет"

  private:
    bool UseRealBox() { return real_ && monkey_.Chance(0.25); }
    WindowMonkey& monkey_;
    std::unique_ptr<MessageBoxes> real_;
};

// The folder, save and document services, answered at random from a few prepared choices.
class MonkeyShell : public IShellServices {
  public:
    explicit MonkeyShell(WindowMonkey& monkey) : monkey_(monkey) {}
    QString ChooseFolder(QWidget*, const QString&, const QString&) override {
        const QString work = monkey_.options_.work;
        const QString choices[] = {
            work + "/site/vr7_12",
            work + "/site/vr7_12",
            work + "/site/vr7_12",
            work + "/site/vr7_5",
            work + "/plain",
            work + "/site/vr7_9",
            QString(),
        };
        const QString chosen = choices[monkey_.Uniform(0, std::size(choices) - 1)];
        monkey_.Log(QStringLiteral("  folder dialog: ") +
                    (chosen.isEmpty() ? QStringLiteral("cancelled") : chosen.mid(work.size())));
        answered = !chosen.isEmpty();
        return chosen;
    }
    QString ChooseSaveFile(QWidget*, const SaveRequest& request) override {
        const QString work = monkey_.options_.work;
        const QString choices[] = {
            work + "/out/duxgate.cfg",
            work + "/out/copy",
            request.initialFolder.isEmpty() ? work + "/out/x.cfg"
                                            : request.initialFolder + "/duxgate.cfg",
            work + "/missing/folder/duxgate.cfg",
            QString(),
        };
        const QString chosen = choices[monkey_.Uniform(0, std::size(choices) - 1)];
        monkey_.Log(QStringLiteral("  save dialog: ") +
                    (chosen.isEmpty() ? QStringLiteral("cancelled") : chosen.mid(work.size())));
        answered = !chosen.isEmpty();
        return chosen;
    }
    bool OpenDocument(const QString& path) override {
        const bool opened = monkey_.Chance(0.5);
        monkey_.Log(
            QStringLiteral("  open document %1: %2").arg(opened ? "ok" : "no viewer", path));
        return opened;
    }
    bool answered = false;  // the last dialog gave a folder or a file

  private:
    WindowMonkey& monkey_;
};

WindowMonkey::WindowMonkey(MonkeyOptions options)
    : options_(std::move(options)), random_(options_.seed) {
    messages_ = std::make_unique<MonkeyMessages>(*this);
    shell_ = std::make_unique<MonkeyShell>(*this);
}

WindowMonkey::~WindowMonkey() {
    window_.reset();
    if (device_.server) device_.server->Stop();
}

int WindowMonkey::Uniform(int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random_);
}

bool WindowMonkey::Chance(double probability) {
    return std::bernoulli_distribution(probability)(random_);
}

void WindowMonkey::Log(const QString& what) {
    ring_.push_back(QStringLiteral("#%1 ").arg(step_) + what);
    if (options_.echo) std::cerr << ring_.back().toStdString() << '\n';
    if (ring_.size() > kRingSize) ring_.pop_front();
}

void WindowMonkey::SpinLikeAModalBox() {
    // What the worker posts meanwhile (progress, the command's end) is delivered, as it is while
    // a real box waits for its button.
    for (int i = Uniform(0, 6); i > 0; --i)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                        QEventLoop::WaitForMoreEvents);
}

void WindowMonkey::Fail(const QString& fault) {
    if (!report_.failure.isEmpty()) return;
    report_.failure = QStringLiteral("step %1: %2").arg(step_).arg(fault);
    report_.lastActions = QStringList(ring_.begin(), ring_.end());
    stopped_ = true;
}

// ---------------------------------------------------------------------------------------------
// Set-up

bool WindowMonkey::Prepare() {
    const QString work = options_.work;
    CopyTree(DemoFolder(), work + "/site/vr7_12");
    CopyTree(DemoFolder(), work + "/site/vr7_5");  // a device number no device answers to
    CopyTree(DemoFolder(), work + "/plain");       // no "vr7_" in its path
    QDir().mkpath(work + "/site/vr7_9");           // no CONFIG folder
    QDir().mkpath(work + "/out");
    if (!QFile::copy(QString::fromUtf8(VR7_SOURCE_DIR) + "/examples/calcbank.xml",
                     work + "/calcbank.xml")) {
        Fail(QStringLiteral("the demo catalogue cannot be copied"));
        return false;
    }
    if (!device_.Start(DemoSimDevice(), options_.transport)) {
        Fail(QStringLiteral("the simulated device does not start"));
        return false;
    }
    // The program starts pointed at the device, as a user who set the port once.
    connection conn;
    device_.PointAt(conn);
    const std::string ini = QFile::encodeName(IniPath(options_.program)).toStdString();
    ini::WriteString(ini, connkeys::kSection, connkeys::kPort, conn.PortName);
    ini::WriteString(ini, connkeys::kSection, connkeys::kIp, conn.IpAddress);
    ini::WriteString(ini, connkeys::kSection, connkeys::kTcpIpPort, conn.TcpIpPort);
    ini::WriteString(ini, connkeys::kSection, connkeys::kSpeed, std::to_string(conn.Speed));
    ini::WriteString(ini, connkeys::kSection, connkeys::kDeviceNumber, "12");
    return true;
}

bool WindowMonkey::ConnectionIsLocal(QString* what) const {
    const connection& conn = window_->Connection;
    const bool local = options_.transport == Transport::Tcp
                           ? conn.PortName == connkeys::kTcpIpPortName &&
                                 conn.IpAddress == "127.0.0.1" &&
                                 conn.TcpIpPort == std::to_string(device_.server->TcpPort())
                           : conn.PortName == device_.server->PtyPath();
    if (!local && what != nullptr)
        *what =
            QStringLiteral(
                "the connection left the simulated device: port \"%1\", IP \"%2\", "
                "TCP port \"%3\"")
                .arg(QString::fromStdString(conn.PortName), QString::fromStdString(conn.IpAddress),
                     QString::fromStdString(conn.TcpIpPort));
    return local;
}

bool WindowMonkey::StartWindow() {
    WindowEnvironment environment;
    environment.programDir = options_.program;
    environment.messages = messages_.get();
    environment.shell = shell_.get();
    window_ = std::make_unique<TVR7CfgUpdate>(environment);
    messages_->SetWindow(window_.get());
    window_->show();
    if (!QTest::qWaitForWindowExposed(window_.get())) {
        Fail(QStringLiteral("the window is never exposed"));
        return false;
    }
    // The settings are taken at the first activation.
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(window_.get(), &activate);
    window_->activateWindow();
    // Shortcuts reach an active window only.
    if (!QTest::qWaitForWindowActive(window_.get()))
        Log(QStringLiteral("  the window is not active"));
    QString what;
    if (!ConnectionIsLocal(&what)) {
        Fail(what);
        return false;
    }
    window_->Connection.Timings = kTestTimings;
    // From here on the ini file is what the window writes at its close.
    QFile::remove(IniPath(options_.program));
    closeAttempted_ = false;
    Log(QStringLiteral("window started"));
    return true;
}

void WindowMonkey::Closed() {
    const QString ini = IniPath(options_.program);
    QStringList missing;
    for (const char* key : {"width", "height", "columns"})
        if (IniValue(ini, "WINDOW", key).empty()) missing << QStringLiteral("[WINDOW] ") + key;
    for (const char* key :
         {connkeys::kPort, connkeys::kIp, connkeys::kTcpIpPort, connkeys::kDeviceNumber})
        if (IniValue(ini, connkeys::kSection, key).empty())
            missing << QStringLiteral("[CONNECTION] ") + key;
    if (!missing.isEmpty()) {
        Fail(QStringLiteral("the window closed without writing its ini file: missing ") +
             missing.join(QStringLiteral(", ")));
        return;
    }
    messages_->SetWindow(nullptr);
    window_.reset();
    ++report_.restarts;
    Log(QStringLiteral("window closed, ini written; restart"));
    StartWindow();
}

// ---------------------------------------------------------------------------------------------
// The run

namespace {

QtMessageHandler previousHandler = nullptr;

// The offscreen platform says at every dialog that it cannot raise or grab; nothing else is
// dropped.
void QuietPlatform(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith(QStringLiteral("This plugin does not support"))) return;
    if (previousHandler != nullptr) previousHandler(type, context, text);
}

}  // namespace

MonkeyReport WindowMonkey::Run() {
    previousHandler = qInstallMessageHandler(QuietPlatform);
    QTimer answerer;
    answerer.setInterval(kAnswerTickMs);
    QObject::connect(&answerer, &QTimer::timeout, [this] { AnswerDialogs(); });
    answerer.start();
    if (Prepare() && StartWindow()) {
        for (step_ = 1; step_ <= options_.steps && !stopped_; ++step_) {
            Step();
            if (!stopped_) CheckAfterStep();
            ++report_.steps;
        }
        if (!stopped_) {
            // The end: what runs is let finish, then the window is closed for good.
            WaitForIdle();
            Log(QStringLiteral("closing at the end"));
            closeAttempted_ = true;
            for (int attempt = 0; attempt < 20 && window_->isVisible() && !stopped_; ++attempt) {
                window_->close();
                Turns(2);
            }
            if (window_->isVisible())
                Fail(QStringLiteral("the window does not close"));
            else
                Closed();
        }
    }
    // A run that stopped early closes its window too: the question that close may ask spins as
    // a box does, and the answerer's ticks keep that spin going until it is answered.
    if (window_) window_->close();
    answerer.stop();
    window_.reset();
    qInstallMessageHandler(previousHandler);
    return report_;
}

void WindowMonkey::WaitForIdle() {
    QElapsedTimer clock;
    clock.start();
    while (window_ && window_->DeviceCommandRunning() && clock.elapsed() < kCommandBoundMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    if (window_ && window_->DeviceCommandRunning())
        Fail(
            QStringLiteral("a device command did not end within %1 s").arg(kCommandBoundMs / 1000));
}

void WindowMonkey::Turns(int count) {
    for (int i = 0; i < count; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void WindowMonkey::Step() {
    TVR7CfgUpdate& w = *window_;
    const bool running = w.DeviceCommandRunning();
    const int rows = w.ListView1->rowCount();
    // While a command runs, most actions find their controls disabled: time passes, Cancel is
    // clicked, and now and then anything else is tried.
    if (running) {
        const int pick = Uniform(0, 99);
        if (pick < 50) {
            const int turns = Uniform(1, 20);
            Log(QStringLiteral("wait %1 turns").arg(turns));
            ++report_.actions["wait"];
            Turns(turns);
            return;
        }
        if (pick < 62) {
            ClickCancel();
            return;
        }
    }
    struct Choice {
        const char* name;
        int weight;
        std::function<void()> act;
    };
    const Choice choices[] = {
        {"open", 6, [&] { FileCommand(w.Open1, "Открыть"); }},
        {"save", 5, [&] { FileCommand(w.Save1, "Сохранить на диск"); }},
        {"read", 6, [&] { DeviceCommand(true); }},
        {"store", 4, [&] { DeviceCommand(false); }},
        {"port", 2, [&] { PortDialog(); }},
        {"about", 1, [&] { AboutBox(); }},
        {"help", 1, [&] { InvokeCommand(w.Help2, "Справка"); }},
        {"log", 2, [&] { InvokeCommand(w.ExchangeLog1, "Журнал обмена"); }},
        {"tree", 14, [&] { TreeAction(); }},
        {"list", 16, [&] { ListAction(); }},
        {"set all", 3, [&] { InvokeCommand(w.SetAll1, "Отметить всё"); }},
        {"clear all", 3, [&] { InvokeCommand(w.ClearAll1, "Снять отметки"); }},
        {"delete checked", 4, [&] { InvokeCommand(w.DelSelected1, "Удалить выбранное"); }},
        {"drag tree to list", 6, [&] { DragTreeToList(); }},
        {"drag within list", 5, [&] { DragWithinList(); }},
        {"wait", 4,
         [&] {
             const int turns = Uniform(1, 10);
             Log(QStringLiteral("wait %1 turns").arg(turns));
             Turns(turns);
         }},
        {"close", 2, [&] { CloseAttempt(); }},
        {"pane key", 4, [&] { PaneKey(); }},
    };
    int total = 0;
    for (const Choice& choice : choices) total += choice.weight;
    int pick = Uniform(0, total - 1);
    for (const Choice& choice : choices) {
        if (pick < choice.weight) {
            ++report_.actions[choice.name];
            choice.act();
            break;
        }
        pick -= choice.weight;
    }
    // Between two actions of a user the window's event loop turns a few times.
    for (int i = Uniform(0, 3); i > 0; --i) QCoreApplication::processEvents();
    if (window_ && !window_->DeviceCommandRunning() && window_->ListView1->rowCount() != rows)
        Log(QStringLiteral("  rows: %1 -> %2").arg(rows).arg(window_->ListView1->rowCount()));
}

void WindowMonkey::CheckAfterStep() {
    if (!window_) return;
    TVR7CfgUpdate& w = *window_;
    if (!w.isVisible()) {
        if (!closeAttempted_) {
            Fail(QStringLiteral("the window vanished without a close attempt"));
            return;
        }
        if (w.DeviceCommandRunning()) {
            Fail(QStringLiteral("the window closed while its device command still runs"));
            return;
        }
        Closed();
        return;
    }
    const bool running = w.DeviceCommandRunning();
    if (!running) closeAttempted_ = false;
    QString what;
    if (!ConnectionIsLocal(&what)) {
        Fail(what);
        return;
    }
    // A device command that has ended: its outcome, for the status text that must not outlive
    // a failure once a later command succeeds.
    if (running) commandSeenRunning_ = true;
    if (commandSeenRunning_ && !running) {
        commandSeenRunning_ = false;
        const QStringList said = messages_->shown.mid(messagesAtCommandStart_);
        const QString stored = FromCp1251(usertext::Stored());
        const bool succeeded =
            !commandCancelled_ &&
            (commandWasRead_ ? said.isEmpty() && static_cast<int>(w.Controller.ListSource()) == 1
                             : said == QStringList{stored});
        CommandEnded(succeeded);
    }

    const QStringList faults = CheckWindow(w, StepChecks());
    if (!faults.isEmpty()) {
        Fail(faults.join(QStringLiteral("; ")));
        return;
    }
    if (QApplication::activeModalWidget() != nullptr) {
        Fail(QStringLiteral("a dialog is still open after the action: ") +
             QApplication::activeModalWidget()->windowTitle());
        return;
    }

    QStringList known = CheckKnownFaults(w, StepChecks());
    if (staleStatusSeen_) {
        staleStatusSeen_ = false;
        known << QStringLiteral(
            "a command that succeeded leaves the status text of an earlier "
            "failure");
    }
    for (const QString& fault : known) {
        MonkeyReport::Known& seen = report_.known[fault];
        if (seen.count++ == 0) {
            seen.firstStep = step_;
            seen.before = QStringList(ring_.begin(), ring_.end());
        }
    }
}

WindowCheckSwitches WindowMonkey::StepChecks() const {
    WindowCheckSwitches checks = options_.checks;
    checks.barMayShow = barMayShow_;
    return checks;
}

void WindowMonkey::CommandEnded(bool succeeded) {
    const QString status = window_->StatusPanel->text();
    // A cancel clicked after the read had already failed does not make it a cancelled one: the
    // status text tells which it was.
    barMayShow_ =
        !succeeded && commandWasRead_ && status != FromCp1251(usertext::ReadCancelledStatus());
    if (!succeeded) {
        if (!status.isEmpty()) failureStatus_ = status;
        return;
    }
    if (!failureStatus_.isEmpty() && status == failureStatus_) {
        if (options_.statusClearedBySuccess)
            Fail(QStringLiteral("a command that succeeded still shows the failure \"%1\"")
                     .arg(failureStatus_));
        else
            staleStatusSeen_ = true;
    }
    failureStatus_.clear();
}

// ---------------------------------------------------------------------------------------------
// Actions

void WindowMonkey::InvokeCommand(QAction* action, const char* name) {
    TVR7CfgUpdate& w = *window_;
    // The ways a user reaches a command: its shortcut, its menu item, its tool button, the
    // list's context menu.
    enum Route { Shortcut, Menu, Button, Context };
    std::vector<Route> routes;
    if (!action->shortcut().isEmpty()) routes.push_back(Shortcut);
    if (!action->associatedObjects().isEmpty()) {
        for (QObject* object : action->associatedObjects()) {
            if (qobject_cast<QMenu*>(object) != nullptr) routes.push_back(Menu);
            if (qobject_cast<QToolBar*>(object) != nullptr) routes.push_back(Button);
            if (object == w.ListView1) routes.push_back(Context);
        }
    }
    if (routes.empty()) {
        Log(QStringLiteral("%1: triggered").arg(QString::fromUtf8(name)));
        action->trigger();
        return;
    }
    const Route route =
        routes[static_cast<size_t>(Uniform(0, static_cast<int>(routes.size()) - 1))];
    switch (route) {
        case Shortcut: {
            const QKeyCombination key = action->shortcut()[0];
            Log(QStringLiteral("%1: key %2")
                    .arg(QString::fromUtf8(name), action->shortcut().toString()));
            window_->activateWindow();
            QTest::keyClick(window_.get(), key.key(), key.keyboardModifiers());
            break;
        }
        case Menu:
            Log(QStringLiteral("%1: menu").arg(QString::fromUtf8(name)));
            ClickMenuItem(action);
            break;
        case Button: {
            Log(QStringLiteral("%1: tool button").arg(QString::fromUtf8(name)));
            for (QToolBar* bar : {w.LeftToolBar, w.RightToolBar}) {
                if (QWidget* button = bar->widgetForAction(action)) {
                    QTest::mouseClick(button, Qt::LeftButton);
                    break;
                }
            }
            break;
        }
        case Context:
            Log(QStringLiteral("%1: context menu").arg(QString::fromUtf8(name)));
            ContextMenuItem(action);
            break;
    }
}

bool WindowMonkey::ClickMenuItem(QAction* action) {
    TVR7CfgUpdate& w = *window_;
    QMenu* menu = nullptr;
    for (QMenu* candidate : {w.File1, w.Settings1, w.View1, w.Help1})
        if (candidate->actions().contains(action)) menu = candidate;
    if (menu == nullptr) return false;
    QMenuBar* bar = w.menuBar();
    ownPopup_ = menu;
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier,
                      bar->actionGeometry(menu->menuAction()).center());
    bool clicked = false;
    if (menu->isVisible()) {
        // A disabled item takes no click; the menu then closes as Esc closes it.
        QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier,
                          menu->actionGeometry(action).center());
        clicked = true;
    }
    if (menu->isVisible()) menu->close();
    ownPopup_ = nullptr;
    if (!clicked) Log(QStringLiteral("  the menu did not open"));
    return clicked;
}

bool WindowMonkey::ContextMenuItem(QAction* action) {
    TVR7CfgUpdate& w = *window_;
    QWidget* viewport = w.ListView1->viewport();
    if (!w.ListView1->isEnabled()) {
        Log(QStringLiteral("  the list is disabled: no context menu"));
        return false;
    }
    // The menu runs its own loop; the answerer clicks the item chosen here.
    contextChoice_ = action;
    const QPoint at(10, 10);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &event);
    contextChoice_ = nullptr;
    return true;
}

void WindowMonkey::AnswerDialogs() {
    if (!window_) return;
    QWidget* popup = QApplication::activePopupWidget();
    if (popup != nullptr && popup != ownPopup_) {
        // The list's context menu: the item the run chose, or (now and then) Esc.
        auto* menu = qobject_cast<QMenu*>(popup);
        QAction* chosen = contextChoice_;
        if (menu != nullptr && chosen != nullptr && menu->actions().contains(chosen) &&
            Chance(0.8)) {
            QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier,
                              menu->actionGeometry(chosen).center());
        } else {
            Log(QStringLiteral("  popup closed with Esc"));
            QTest::keyClick(popup, Qt::Key_Escape);
        }
        if (popup->isVisible()) popup->close();
        return;
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) {
        dialogTurns_ = 0;
        return;
    }
    // A dialog stays open for a moment, as a user reads it.
    if (dialogTurns_++ < Uniform(0, 3)) return;
    dialogTurns_ = 0;
    if (auto* port = qobject_cast<TSetPortDlg*>(modal)) {
        // OK only with the simulated device on show: a port of this machine is never chosen.
        const QString expectedPort = options_.transport == Transport::Tcp
                                         ? QStringLiteral("TCP/IP")
                                         : QString::fromStdString(device_.server->PtyPath());
        const bool local = port->CB_Port->currentText() == expectedPort &&
                           (options_.transport != Transport::Tcp ||
                            port->IPEdit->GetIP() == QStringLiteral("127.0.0.1"));
        const int pick = Uniform(0, 9);
        if (!local) {
            Log(QStringLiteral("  port dialog shows port \"%1\" IP \"%2\": Cancel")
                    .arg(port->CB_Port->currentText(), port->IPEdit->GetIP()));
            port->CancelBtn->click();
        } else if (pick < 5) {
            const QString numbers[] = {QStringLiteral("12"), QStringLiteral("12"),
                                       QStringLiteral("0"), QStringLiteral("13"),
                                       port->E_DevNom->text()};
            const QString number = numbers[Uniform(0, 4)];
            port->E_DevNom->setText(number);
            Log(QStringLiteral("  port dialog: device number %1, OK").arg(number));
            port->OKBtn->click();
        } else if (pick < 8) {
            Log(QStringLiteral("  port dialog: Cancel"));
            port->CancelBtn->click();
        } else {
            Log(QStringLiteral("  port dialog: Esc"));
            QTest::keyClick(port, Qt::Key_Escape);
        }
        return;
    }
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        const QList<QAbstractButton*> buttons = box->buttons();
        if (buttons.isEmpty() || Chance(0.3)) {
            Log(QStringLiteral("  box answered with Esc"));
            QTest::keyClick(box, Qt::Key_Escape);
        } else {
            QAbstractButton* button = buttons[Uniform(0, static_cast<int>(buttons.size()) - 1)];
            Log(QStringLiteral("  box answered with ") + button->text());
            button->click();
        }
        return;
    }
    if (auto* preview = qobject_cast<StorePreviewDialog*>(modal)) {
        const int pick = Uniform(0, 2);
        Log(QStringLiteral("  preview answered with %1")
                .arg(pick == 0   ? "Да"
                     : pick == 1 ? "Нет"
                                 : "Esc"));
        if (pick == 0)
            preview->YesButton->click();
        else if (pick == 1)
            preview->NoButton->click();
        else
            QTest::keyClick(preview, Qt::Key_Escape);
        return;
    }
    if (auto* restore = qobject_cast<RestoreDialog*>(modal)) {
        const bool take = Chance(0.5) && restore->RestoreButton->isEnabled();
        Log(QStringLiteral("  restore dialog: %1").arg(take ? "Записать в VR-7" : "Отмена"));
        (take ? restore->RestoreButton : restore->CancelButton)->click();
        return;
    }
    if (qobject_cast<TAboutBox*>(modal) != nullptr) {
        Log(QStringLiteral("  About box closed"));
        if (Chance(0.5))
            QTest::keyClick(modal, Qt::Key_Escape);
        else
            static_cast<QDialog*>(modal)->accept();
        return;
    }
    // Every message of the window goes through its message interface; a box of its own is a
    // fault (it would block a user's work as well as this run).
    Fail(QStringLiteral("a dialog the window opened past its message interface: %1 \"%2\"")
             .arg(QString::fromLatin1(modal->metaObject()->className()), modal->windowTitle()));
    if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
    else
        modal->close();
}

void WindowMonkey::ChooseDeviceFaults() {
    std::vector<SimFault> faults;
    const int pick = Uniform(0, 99);
    if (pick >= 45) {
        // One fault at one place: the tree, the download, the upload, or any request.
        const int places[] = {cmdReadEntry, cmdReadBlock, cmdWriteBlock, cmdOpenFile, -1};
        const char* placeNames[] = {"tree", "download", "upload", "open", "any"};
        const int place = Uniform(0, 4);
        SimFault fault;
        fault.command = places[place];
        fault.skip = Uniform(0, 30);
        fault.times = Chance(0.3) ? -1 : Uniform(1, 6);
        QString name;
        if (pick < 75) {
            const auto& table = DeviceFaults();
            const DeviceFault& chosen = table[static_cast<size_t>(Uniform(0, table.size() - 1))];
            fault.kind = chosen.kind;
            fault.value = chosen.value;
            name = QString::fromLatin1(chosen.name);
        } else if (pick < 90) {
            fault.kind = SimFaultKind::Late;
            fault.value = Uniform(5, 80);
            fault.times = 1;
            name = QStringLiteral("late");
        } else {
            fault.kind = SimFaultKind::Delay;
            fault.value = Uniform(1, 10);
            name = QStringLiteral("delay");
        }
        faults.push_back(fault);
        Log(QStringLiteral("  device fault %1 at %2, value %3, skip %4, times %5")
                .arg(name, QString::fromLatin1(placeNames[place]))
                .arg(fault.value)
                .arg(fault.skip)
                .arg(fault.times));
    }
    device_.server->SetFaults(std::move(faults));
    const bool protect = Chance(0.15);
    device_.server->With([protect](SimResponder& s) { s.Device().writeProtected = protect; });
    if (protect) Log(QStringLiteral("  device write-protected"));
}

void WindowMonkey::DeviceCommand(bool read) {
    TVR7CfgUpdate& w = *window_;
    const bool running = w.DeviceCommandRunning();
    QString what;
    if (!ConnectionIsLocal(&what)) {
        Fail(what);
        return;
    }
    // A read declined at its question leaves the window as it was, a bar where the last read
    // failed included.
    const bool barMayShowBefore = barMayShow_;
    const int declined = messages_->declined;
    if (!running) {
        ChooseDeviceFaults();
        messagesAtCommandStart_ = static_cast<int>(messages_->shown.size());
        commandWasRead_ = read;
        commandCancelled_ = false;
        barMayShow_ = false;
    }
    InvokeCommand(read ? w.Load1 : w.Store1, read ? "Прочитать из VR-7" : "Сохранить в VR-7");
    if (!running && !w.DeviceCommandRunning() && messages_->declined != declined)
        barMayShow_ = barMayShowBefore;
    if (!running && w.DeviceCommandRunning()) {
        ++report_.deviceCommands;
        commandSeenRunning_ = true;
    }
}

void WindowMonkey::FileCommand(QAction* action, const char* name) {
    const bool enabled = action->isEnabled();
    const int said = static_cast<int>(messages_->shown.size());
    shell_->answered = false;
    InvokeCommand(action, name);
    // Taken when a dialog was answered with a file or folder and nothing had to be said.
    if (enabled && shell_->answered && messages_->shown.size() == said)
        CommandEnded(true);
    else if (enabled && messages_->shown.size() != said)
        CommandEnded(false);
}

void WindowMonkey::ClickCancel() {
    TVR7CfgUpdate& w = *window_;
    ++report_.actions["cancel"];
    if (!w.CancelButton->isVisible()) {
        Log(QStringLiteral("Cancel: not on show"));
        return;
    }
    Log(QStringLiteral("Cancel clicked"));
    if (w.CancelButton->isEnabled()) {
        ++report_.cancels;
        commandCancelled_ = true;
    }
    QTest::mouseClick(w.CancelButton, Qt::LeftButton);
}

void WindowMonkey::PortDialog() {
    InvokeCommand(window_->Port1, "Порт");
}

void WindowMonkey::AboutBox() {
    InvokeCommand(window_->HelpAbout1, "О программе");
}

void WindowMonkey::KeyTo(QWidget* target, int key, int modifiers) {
    // A key goes to the control that has the focus; a disabled control has none.
    QWidget* receiver = target;
    if (target->isEnabled()) {
        target->setFocus(Qt::OtherFocusReason);
    } else {
        receiver =
            QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : window_.get();
    }
    QTest::keyClick(receiver, static_cast<Qt::Key>(key),
                    static_cast<Qt::KeyboardModifiers>(modifiers));
}

void WindowMonkey::PaneKey() {
    TVR7CfgUpdate& w = *window_;
    const Qt::Key key = Chance(0.5) ? Qt::Key_Tab : Qt::Key_F6;
    const Qt::KeyboardModifiers modifiers = Chance(0.5) ? Qt::ShiftModifier : Qt::NoModifier;
    QWidget* const panes[] = {w.TreeView1, w.ListView1, w.ExchangeLog->View()};
    int usable = 0;
    for (const QWidget* pane : panes) usable += pane->isVisible() && pane->isEnabled() ? 1 : 0;
    const auto paneOf = [&panes](const QWidget* widget) {
        return static_cast<int>(std::find(std::begin(panes), std::end(panes), widget) -
                                std::begin(panes));
    };
    // The keys are the window's only while no dialog or menu takes them; Tab only in a pane.
    w.activateWindow();
    QWidget* focus = QApplication::focusWidget();
    const int before = paneOf(focus);
    if (QApplication::activePopupWidget() != nullptr || QApplication::activeWindow() != &w ||
        (key == Qt::Key_Tab && before == 3))
        return;
    Log(QStringLiteral("pane key %1 in pane %2")
            .arg(QKeySequence(key | modifiers).toString())
            .arg(before));
    QTest::keyClick(focus != nullptr ? focus : &w, key, modifiers);
    const int after = paneOf(QApplication::focusWidget());
    if ((usable > 0 && after == 3) || (usable > 1 && after == before))
        Fail(QStringLiteral("pane keys: the focus went from pane %1 to %2").arg(before).arg(after));
    else if (after < 3)
        report_.panesReached |= 1u << after;
}

void WindowMonkey::TreeAction() {
    TVR7CfgUpdate& w = *window_;
    ConfigTreeView* tree = w.TreeView1;
    const std::vector<QTreeWidgetItem*> items = ShownItems(tree);
    const int pick = Uniform(0, 9);
    if (pick < 5 && !items.empty()) {
        QTreeWidgetItem* item = items[static_cast<size_t>(Uniform(0, items.size() - 1))];
        tree->scrollToItem(item);
        const QPoint at = tree->visualItemRect(item).center();
        const bool twice = pick >= 2;
        Log(QStringLiteral("tree: %1 on \"%2\"")
                .arg(twice ? "double-click" : "click", item->text(0)));
        if (twice)
            QTest::mouseDClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        else
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        return;
    }
    const Qt::Key keys[] = {Qt::Key_Up,    Qt::Key_Down,  Qt::Key_Left,     Qt::Key_Right,
                            Qt::Key_Home,  Qt::Key_End,   Qt::Key_PageDown, Qt::Key_Return,
                            Qt::Key_Enter, Qt::Key_Space, Qt::Key_Delete,   Qt::Key_Asterisk};
    const Qt::Key key = keys[Uniform(0, std::size(keys) - 1)];
    Log(QStringLiteral("tree: key %1").arg(QKeySequence(key).toString()));
    KeyTo(tree, key);
}

void WindowMonkey::ListAction() {
    TVR7CfgUpdate& w = *window_;
    SnvtListView* list = w.ListView1;
    const int rows = list->rowCount();
    const int pick = Uniform(0, 9);
    if (pick < 5 && rows > 0) {
        const int row = Uniform(0, rows - 1);
        list->scrollTo(list->model()->index(row, 0));
        const QRect rect = list->CaptionRect(row);
        QPoint at = rect.center();
        const bool box = pick < 3;
        if (box) {
            // Where the style draws the row's check box.
            QStyleOptionViewItem option;
            option.initFrom(list->viewport());
            option.rect = rect;
            option.features |= QStyleOptionViewItem::HasCheckIndicator;
            at = list->style()
                     ->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list)
                     .center();
        }
        Log(QStringLiteral("list: click on %1 of row %2")
                .arg(box ? "the check box" : "the caption")
                .arg(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        return;
    }
    const Qt::Key keys[] = {Qt::Key_Up,     Qt::Key_Down,  Qt::Key_Home,   Qt::Key_End,
                            Qt::Key_Space,  Qt::Key_Space, Qt::Key_Delete, Qt::Key_Delete,
                            Qt::Key_PageUp, Qt::Key_Tab};
    const Qt::Key key = keys[Uniform(0, std::size(keys) - 1)];
    Log(QStringLiteral("list: key %1").arg(QKeySequence(key).toString()));
    KeyTo(list, key);
}

namespace {

// A drag of data over the list's viewport to `at` and its drop, as the window system delivers
// them; whether the drop was taken.
bool DropOnList(QWidget* viewport, QMimeData* data, QPoint at, Qt::DropAction action) {
    QDragEnterEvent enter(at, action, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QDragMoveEvent move(at, action, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    if (!move.isAccepted()) {
        QDragLeaveEvent leave;
        QApplication::sendEvent(viewport, &leave);
        return false;
    }
    QDropEvent drop(at, action, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    return drop.isAccepted();
}

QPoint DropPoint(const SnvtListView* list, int row) {
    if (row < 0 || row >= list->rowCount()) {
        const QRect area = list->viewport()->rect();
        return QPoint(area.left() + 10, area.bottom() - 3);
    }
    return list->CaptionRect(row).center();
}

}  // namespace

void WindowMonkey::DragTreeToList() {
    TVR7CfgUpdate& w = *window_;
    // A drag starts at a control the user can press on: a disabled one starts none.
    if (!w.TreeView1->isEnabled() || !w.ListView1->isEnabled()) {
        Log(QStringLiteral("drag tree to list: the controls are disabled"));
        return;
    }
    const std::vector<QTreeWidgetItem*> items = ShownItems(w.TreeView1);
    if (items.empty()) {
        Log(QStringLiteral("drag tree to list: no tree"));
        return;
    }
    QTreeWidgetItem* item = items[static_cast<size_t>(Uniform(0, items.size() - 1))];
    w.TreeView1->setCurrentItem(item);
    const int target = Uniform(-1, w.ListView1->rowCount());
    Log(QStringLiteral("drag \"%1\" from the tree to row %2").arg(item->text(0)).arg(target));
    std::unique_ptr<QMimeData> data(
        dragpayload::Make(dragpayload::Origin::ConfigTree, w.TreeView1));
    DropOnList(w.ListView1->viewport(), data.get(), DropPoint(w.ListView1, target), Qt::CopyAction);
}

void WindowMonkey::DragWithinList() {
    TVR7CfgUpdate& w = *window_;
    SnvtListView* list = w.ListView1;
    if (!list->isEnabled() || list->rowCount() == 0) {
        Log(QStringLiteral("drag within the list: nothing to drag"));
        return;
    }
    const int from = Uniform(0, list->rowCount() - 1);
    const int to = Uniform(-1, list->rowCount());
    list->SelectRow(from);
    Log(QStringLiteral("drag row %1 of the list to row %2").arg(from).arg(to));
    std::unique_ptr<QMimeData> data(dragpayload::Make(dragpayload::Origin::SnvtList, list));
    DropOnList(list->viewport(), data.get(), DropPoint(list, to), Qt::MoveAction);
}

void WindowMonkey::CloseAttempt() {
    TVR7CfgUpdate& w = *window_;
    closeAttempted_ = true;
    // Closing while a device command runs cancels it, as Cancel does.
    if (w.DeviceCommandRunning()) commandCancelled_ = true;
    const int pick = Uniform(0, 2);
    if (pick == 0) {
        Log(QStringLiteral("close button"));
        w.close();
    } else {
        InvokeCommand(w.FileExit1, "Выход");
    }
}
