// The window's controls: its commands with their menus and tool buttons, both panes, the status
// bar with the progress bar, the window's size and place, kept in the [WINDOW] section, and its
// help.
#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeySequence>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/messages.h"
#include "app/ui/aboutbox.h"
#include "app/ui/configtreeview.h"
#include "app/ui/exchangelog.h"
#include "app/ui/imagelist.h"
#include "app/ui/panefocus.h"
#include "app/ui/sharesplitter.h"
#include "app/ui/shellservices.h"
#include "app/ui/statuspanel.h"
#include "app/ui/usermessages.h"
#include "app/ui/vr7cfgupdate.h"
#include "app/ui/windowstate.h"
#include "base/installpaths.h"
#include "base/ui/qcp1251.h"
#include "device/connectionsettings.h"

namespace {

const char* const kHelpName = "Help.chm";

constexpr int kClientWidth = 808;
constexpr int kClientHeight = 616;
constexpr int kLeftPaneWidth = 273;
constexpr int kToolBarHeight = 30;
constexpr int kToolButtonWidth = 31;
constexpr int kToolButtonHeight = 30;
constexpr int kEditHeight = 24;
constexpr int kStatusBarHeight = 19;
constexpr int kStatusPanelWidth = 230;
// The status panel's least width: the hint panel and it fit a screen of 640 pixels (a scale
// factor of 2 on a small one); its text ends in "…" when longer.
constexpr int kStatusPanelMinWidth = 120;
// How near the screen's edge a fitted window still counts as filling the screen.
constexpr int kFitSlack = 16;
constexpr int kToolSeparatorWidth = 8;

// A hint "short|long": the short part is the tool tip, the long one goes to the status bar. A hint
// without "|" is both.
void SetHint(QAction* action, const QString& hint) {
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    action->setToolTip(bar < 0 ? hint : hint.left(bar));
    action->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

QLineEdit* MakeCaptionField(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly(true);
    edit->setFixedHeight(kEditHeight);
    edit->setFocusPolicy(Qt::ClickFocus);
    // The field's background is the window's face colour, as a label's would be.
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    edit->setPalette(palette);
    return edit;
}

QToolBar* MakeToolBar(QWidget* parent) {
    auto* bar = new QToolBar(parent);
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(24, 24));
    bar->setFixedHeight(kToolBarHeight);
    bar->setContentsMargins(0, 0, 0, 0);
    bar->layout()->setContentsMargins(0, 0, 0, 0);
    bar->layout()->setSpacing(0);
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    return bar;
}

// A pane of the splitter: its tool bar, its caption field and, taking the rest, its control.
QWidget* StackPane(QWidget* pane, QToolBar* bar, QLineEdit* caption, QWidget* body) {
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(caption);
    layout->addWidget(body, 1);
    pane->setMinimumWidth(40);
    return pane;
}

void AddToolButton(QToolBar* bar, QAction* action) {
    bar->addAction(action);
    if (QWidget* button = bar->widgetForAction(action)) {
        button->setFixedSize(kToolButtonWidth, kToolButtonHeight);
    }
}

}  // namespace

void TVR7CfgUpdate::CreateControls() {
    setWindowTitle(QStringLiteral("Утилита формирования настроек VR-7 для работы в LON сети"));
    setWindowIcon(ProgramIcon());
    CreateActions();
    ExchangeLog = new ExchangeLogDock(*shell_, *messages_, this);
    ExchangeLog->hide();
    ExchangeLog1 = ExchangeLog->toggleViewAction();
    ExchangeLog1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    CreateMenus();

    Splitter1 = new ShareSplitter(Qt::Horizontal, this);
    Splitter1->setHandleWidth(1);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->addWidget(CreateLeftPane());
    Splitter1->addWidget(CreateRightPane());
    // The tree keeps its share of the room as the window grows or shrinks.
    Splitter1->SetShare(static_cast<double>(kLeftPaneWidth) /
                        (kClientWidth - Splitter1->handleWidth()));
    setCentralWidget(Splitter1);
    CreateStatusBar();
    addDockWidget(Qt::BottomDockWidgetArea, ExchangeLog);
    ExchangeLog->hide();
    // The list's context menu: its tool bar's commands.
    ListView1->setContextMenuPolicy(Qt::ActionsContextMenu);
    ListView1->addActions({ClearAll1, SetAll1, DelSelected1});
    new PaneFocus(*this, {TreeView1, ListView1, ExchangeLog->View()});

    // The menu bar lies outside the client area.
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    wantedSize_ = size();
}

void TVR7CfgUpdate::CreateActions() {
    auto make = [this](const QString& text, const QString& hint, void (TVR7CfgUpdate::*slot)()) {
        auto* action = new QAction(text, this);
        if (!hint.isEmpty()) SetHint(action, hint);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    Open1 = make(QStringLiteral("&Открыть"), QStringLiteral("Открыть каталог с конфигурацией VR-7"),
                 &TVR7CfgUpdate::Open1Click);
    Open1->setIcon(CommandIcon(CommandImage::Open));
    Open1->setShortcut(QKeySequence::Open);
    Save1 = make(QStringLiteral("&Сохранить на диск"),
                 QStringLiteral("Сохранить SNVT список в duxgate.cfg"), &TVR7CfgUpdate::Save1Click);
    Save1->setIcon(CommandIcon(CommandImage::Save));
    Save1->setShortcut(QKeySequence::Save);
    ExportList1 = make(FromCp1251(usertext::ExportList()), FromCp1251(usertext::ExportListHint()),
                       &TVR7CfgUpdate::ExportList1Click);
    Load1 = make(QStringLiteral("&Прочитать из VR-7"),
                 QStringLiteral("Прочитать конфигурацию VR-7"), &TVR7CfgUpdate::Load1Click);
    Load1->setIcon(CommandIcon(CommandImage::ReadDevice));
    Store1 = make(QStringLiteral("Со&хранить в VR-7"),
                  QStringLiteral("Сохранить SNVT список в VR-7"), &TVR7CfgUpdate::Store1Click);
    Store1->setIcon(CommandIcon(CommandImage::StoreDevice));
    Verify1 =
        make(QString::fromUtf8(htmltext::VerifyCommand()), QString(), &TVR7CfgUpdate::Verify1Click);
    Report1 =
        make(QString::fromUtf8(htmltext::ReportCommand()), QString(), &TVR7CfgUpdate::Report1Click);
    Report1->setEnabled(false);  // until a store or a check
    Restore1 = make(QString::fromUtf8(storetext::RestoreCommand()), QString(),
                    &TVR7CfgUpdate::Restore1Click);
    // The store's safeguards, on unless the user switches them off.
    Backup1 = new QAction(QString::fromUtf8(storetext::BackupSetting()), this);
    Backup1->setCheckable(true);
    Backup1->setChecked(true);
    Preview1 = new QAction(QString::fromUtf8(storetext::PreviewSetting()), this);
    Preview1->setCheckable(true);
    Preview1->setChecked(true);
    FileExit1 = make(QStringLiteral("&Выход"), QStringLiteral("Exit|Exit application"),
                     &TVR7CfgUpdate::FileExit1Execute);
    FileExit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    Port1 = make(QStringLiteral("Порт"), QString(), &TVR7CfgUpdate::Port1Click);
    HelpAbout1 = make(QStringLiteral("&О программе..."),
                      QStringLiteral("About|Displays program information, version number, and "
                                     "copyright"),
                      &TVR7CfgUpdate::HelpAbout1Execute);
    Help2 =
        make(QStringLiteral("&Справка"), QStringLiteral("Help|Руководство по работе с программой"),
             &TVR7CfgUpdate::Help2Click);
    Help2->setShortcut(QKeySequence(Qt::Key_F1));
    ClearAll1 = make(QStringLiteral("Снять отметки"), QStringLiteral("Снять отметки"),
                     &TVR7CfgUpdate::Panel2_ClearAll_Click);
    ClearAll1->setIcon(CommandIcon(CommandImage::Uncheck));
    SetAll1 = make(QStringLiteral("Отметить всё"), QStringLiteral("Отметить всё"),
                   &TVR7CfgUpdate::Panel2_SetAll_Click);
    SetAll1->setIcon(CommandIcon(CommandImage::Check));
    DelSelected1 = make(QStringLiteral("Удалить выбранное"), QStringLiteral("Удалить выбранное"),
                        &TVR7CfgUpdate::DelSelected_R_ButtonClick);
    DelSelected1->setIcon(CommandIcon(CommandImage::Delete));
}

void TVR7CfgUpdate::CreateMenus() {
    File1 = menuBar()->addMenu(QStringLiteral("&Файл"));
    File1->menuAction()->setStatusTip(QStringLiteral("File related commands"));
    File1->addAction(Open1);
    File1->addAction(Load1);
    File1->addAction(Store1);
    File1->addAction(Verify1);
    File1->addAction(Report1);
    File1->addAction(Restore1);
    File1->addAction(Save1);
    File1->addAction(ExportList1);
    File1->addAction(FileExit1);

    Settings1 = menuBar()->addMenu(QStringLiteral("&Настройки"));
    Settings1->addAction(Port1);
    Settings1->addAction(Backup1);
    Settings1->addAction(Preview1);

    View1 = menuBar()->addMenu(QStringLiteral("&Вид"));
    View1->addAction(ExchangeLog1);

    Help1 = menuBar()->addMenu(QStringLiteral("&Помощь"));
    Help1->menuAction()->setStatusTip(QStringLiteral("Help topics"));
    Help1->addAction(HelpAbout1);
    Help1->addAction(Help2);
}

QWidget* TVR7CfgUpdate::CreateLeftPane() {
    auto* pane = new QWidget;
    LeftToolBar = MakeToolBar(pane);
    AddToolButton(LeftToolBar, Open1);
    AddToolButton(LeftToolBar, Save1);
    AddToolButton(LeftToolBar, Load1);
    AddToolButton(LeftToolBar, Store1);
    Edit1 = MakeCaptionField(pane);
    TreeView1 = new ConfigTreeView(pane);
    return StackPane(pane, LeftToolBar, Edit1, TreeView1);
}

QWidget* TVR7CfgUpdate::CreateRightPane() {
    auto* pane = new QWidget;
    RightToolBar = MakeToolBar(pane);
    AddToolButton(RightToolBar, ClearAll1);
    AddToolButton(RightToolBar, SetAll1);
    auto* separator = new QWidget(RightToolBar);
    separator->setFixedWidth(kToolSeparatorWidth);
    RightToolBar->addWidget(separator);
    AddToolButton(RightToolBar, DelSelected1);
    Edit2 = MakeCaptionField(pane);
    ListView1 = new SnvtListView(pane);
    return StackPane(pane, RightToolBar, Edit2, ListView1);
}

void TVR7CfgUpdate::CreateStatusBar() {
    auto* bar = new QStatusBar(this);
    // As high as the Cancel button needs in the desktop's font, with the bar's own margins.
    const int buttonHeight = std::max(kStatusBarHeight, fontMetrics().height() + 6);
    bar->setFixedHeight(buttonHeight + 4);
    bar->setSizeGripEnabled(true);

    // The first panel shows the hints; the progress bar lies over it, as wide as it is.
    auto* first = new QWidget(bar);
    first->setFixedWidth(HintPanelWidth());
    auto* stack = new QGridLayout(first);
    stack->setContentsMargins(0, 0, 0, 0);
    HintPanel = new StatusPanelLabel(first);
    stack->addWidget(HintPanel, 0, 0);
    ProgressBar = new QProgressBar(first);
    ProgressBar->setRange(0, kProgressBarMax);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);
    ProgressBar->hide();
    stack->addWidget(ProgressBar, 0, 0);
    progressTimer_ = new QTimer(this);
    progressTimer_->setSingleShot(true);
    connect(progressTimer_, &QTimer::timeout, this, [this] { FlushProgress(false); });
    bar->addWidget(first);
    CancelButton = new QPushButton(FromCp1251(usertext::CancelButton()), bar);
    CancelButton->setFocusPolicy(Qt::NoFocus);
    CancelButton->setFixedHeight(buttonHeight);
    CancelButton->hide();
    connect(CancelButton, &QPushButton::clicked, this, &TVR7CfgUpdate::CancelDeviceCommand);
    bar->addWidget(CancelButton);

    StatusPanel = new StatusPanelLabel(bar);
    StatusPanel->setMinimumWidth(kStatusPanelMinWidth);
    bar->addWidget(StatusPanel, 1);
    setStatusBar(bar);
}

int TVR7CfgUpdate::HintPanelWidth() const {
    // Wide enough for the longest hint of the commands and menus, its frame and margins.
    int widest = 0;
    for (const QAction* action : findChildren<QAction*>())
        widest = std::max(widest, fontMetrics().horizontalAdvance(action->statusTip()));
    return std::max(kStatusPanelWidth, widest + 10);
}

void TVR7CfgUpdate::SayQtTranslationsMissing() {
    StatusPanel->setText(FromCp1251(usertext::QtTranslationsMissing()));
}

void TVR7CfgUpdate::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (centred_) return;
    centred_ = true;
    // The whole window, title bar included, goes into the screen; a window manager that frames
    // the window only after this has it fitted again then.
    FitIntoScreen();
    awaitFrame_ = frameGeometry().size() == size();
    if (!stateLoaded_) {
        if (const QScreen* screen = this->screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    // The tree pane's width as earlier versions kept it becomes its share of the splitter's room.
    if (savedTreeWidth_ > 0) {
        if (layout() != nullptr) layout()->activate();
        const int room = Splitter1->width() - Splitter1->handleWidth();
        if (room > 0)
            Splitter1->SetShare(std::min(1.0, static_cast<double>(savedTreeWidth_) / room));
        savedTreeWidth_ = -1;
    }
    TreeView1->setFocus();
}

// ---------------------------------------------------------------------------------------------
// Window state

void TVR7CfgUpdate::LoadWindowState() {
    const WindowState state = ::LoadWindowState(MainSettingsFile(NativeProgramDir()));
    lastOpenFolder_ = state.openFolder;
    Controller.SetLastSaveFolder(state.saveFolder.toStdString());
    if (state.treeShare > 0)
        Splitter1->SetShare(static_cast<double>(state.treeShare) / kShareUnit);
    else
        savedTreeWidth_ = state.treeWidth;
    for (int c = 0; c < state.columnWidths.size() && c < ListView1->columnCount(); ++c)
        ListView1->setColumnWidth(c, state.columnWidths[c]);
    if (state.size.isValid()) {
        stateLoaded_ = true;
        // A size too small for the window's controls opens at the least that shows them all.
        wantedSize_ = state.size.expandedTo(minimumSizeHint());
        resize(wantedSize_);
    }
    // A window that opens maximized comes back to a normal size that fits the screen.
    FitIntoScreen();
    if (state.maximized) setWindowState(windowState() | Qt::WindowMaximized);
    if (state.logHeight > 0) resizeDocks({ExchangeLog}, {state.logHeight}, Qt::Vertical);
    ExchangeLog->setVisible(state.logShown);
    Backup1->setChecked(state.backupBeforeStore);
    Preview1->setChecked(state.previewBeforeStore);
    backupsKept_ = std::max(1, state.backupsKept);
}

void TVR7CfgUpdate::SaveWindowState() {
    WindowState state;
    state.maximized = isMaximized();
    state.size = isMaximized() ? normalGeometry().size() : size();
    if (!state.size.isValid()) state.size = size();
    // Only fitted into the screen, never resized by the user: the size it was asked for stays.
    if (StillFitted(state.size)) state.size = wantedSize_;
    // The tree pane's width is the one it has at the saved size, whatever the screen or its
    // scale made of the window in this run.
    const double share = Splitter1->Share();
    state.treeWidth = Splitter1->sizes().value(0);
    if (share > 0) {
        state.treeShare =
            std::clamp(static_cast<int>(std::lround(share * kShareUnit)), 1, kShareUnit - 1);
        state.treeWidth =
            static_cast<int>(std::lround(share * (state.size.width() - Splitter1->handleWidth())));
    }
    for (int c = 0; c < ListView1->columnCount(); ++c)
        state.columnWidths << ListView1->columnWidth(c);
    state.openFolder = lastOpenFolder_;
    state.saveFolder = QString::fromStdString(Controller.LastSaveFolder());
    state.logShown = ExchangeLog->isVisible();
    state.logHeight = ExchangeLog->height();
    state.backupBeforeStore = Backup1->isChecked();
    state.previewBeforeStore = Preview1->isChecked();
    state.backupsKept = backupsKept_;
    ::SaveWindowState(MainSettingsFile(NativeProgramDir()), state);
}

bool TVR7CfgUpdate::StillFitted(const QSize& normal) const {
    // The window was made smaller than asked to fit the screen and still fills it in a direction
    // it was cut in (the window manager may have taken a few pixels more): the user did not make
    // it smaller.
    const QScreen* screen = this->screen();
    if (!fitted_ || !wantedSize_.isValid() || screen == nullptr) return false;
    if (normal.width() > wantedSize_.width() || normal.height() > wantedSize_.height())
        return false;
    const QSize room = screen->availableGeometry().size() - (frameGeometry().size() - size());
    const bool fillsWidth =
        normal.width() < wantedSize_.width() && normal.width() >= room.width() - kFitSlack;
    const bool fillsHeight =
        normal.height() < wantedSize_.height() && normal.height() >= room.height() - kFitSlack;
    return fillsWidth || fillsHeight;
}

void TVR7CfgUpdate::FitIntoScreen() {
    const QScreen* screen = this->screen();
    if (screen == nullptr || isMaximized() || isFullScreen()) return;
    // The frame (title bar included) must fit the available area, on a small or scaled screen too.
    const QRect available = screen->availableGeometry();
    const QRect frame = frameGeometry();
    const QSize decoration = frame.size() - size();
    const int fitWidth = std::min(width(), available.width() - decoration.width());
    const int fitHeight = std::min(height(), available.height() - decoration.height());
    if (fitWidth != width() || fitHeight != height()) {
        resize(fitWidth, fitHeight);
        fitted_ = true;
    }
    QRect placed = frameGeometry();
    if (!available.contains(placed)) {
        placed.moveLeft(
            std::clamp(placed.left(), available.left(),
                       std::max(available.left(), available.right() - placed.width() + 1)));
        placed.moveTop(
            std::clamp(placed.top(), available.top(),
                       std::max(available.top(), available.bottom() - placed.height() + 1)));
        move(placed.topLeft());
    }
}

void TVR7CfgUpdate::Help2Click() {
    // The compiled help of the working folder (or the installed one) in the desktop's viewer;
    // else the HTML manual in the browser, or in a window of our own; else a message that names
    // the help file. When the file is missing, no viewer is started only to report that.
    const QString path =
        QDir::current().absoluteFilePath(QFile::decodeName(LocateDataFile(kHelpName).c_str()));
    const bool exists = QFileInfo::exists(path);
    if (exists && shell_->OpenDocument(path)) return;
    const QString manual = QFile::decodeName(LocateManual().c_str());
    if (!manual.isEmpty()) {
        if (!shell_->OpenDocument(manual)) ShowManualWindow(manual);
        return;
    }
    const usertext::AroundPath text = exists ? usertext::HelpNotShown() : usertext::HelpNotFound();
    messages_->Message(FromCp1251(text.before) + QDir::toNativeSeparators(path) +
                       FromCp1251(text.after));
}

void TVR7CfgUpdate::HelpAbout1Execute() {
    AboutBox().exec();
}

void TVR7CfgUpdate::ShowManualWindow(const QString& indexPage) {
    if (ManualWindow == nullptr) {
        ManualWindow = new QDialog(this);
        ManualWindow->setWindowTitle(QStringLiteral("Справка"));
        auto* layout = new QVBoxLayout(ManualWindow);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* browser = new QTextBrowser(ManualWindow);
        browser->setObjectName(QStringLiteral("ManualBrowser"));
        browser->setOpenExternalLinks(true);
        layout->addWidget(browser);
        ManualWindow->resize(820, 640);
    }
    auto* browser = ManualWindow->findChild<QTextBrowser*>(QStringLiteral("ManualBrowser"));
    browser->setSource(QUrl::fromLocalFile(indexPage));
    ManualWindow->show();
    ManualWindow->raise();
}
