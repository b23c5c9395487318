#include "app/ui/vr7cfgupdate.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

#include "app/catalogue.h"
#include "app/connectionsettings.h"
#include "app/devicecommands.h"
#include "app/gatewayfile.h"
#include "app/messages.h"
#include "app/ui/aboutbox.h"
#include "app/ui/configtreeview.h"
#include "app/ui/dragpayload.h"
#include "app/ui/exchangelog.h"
#include "app/ui/imagelist.h"
#include "app/ui/portchoices.h"
#include "app/ui/shellservices.h"
#include "app/ui/statuspanel.h"
#include "app/ui/usermessages.h"
#include "app/ui/windowstate.h"
#include "base/installpaths.h"
#include "base/ui/qcp1251.h"
#include "cfgtree/configfolder.h"
#include "link/connectionkeys.h"
#include "link/ui/portcombo.h"
#include "link/ui/setportdlg.h"

namespace {

constexpr int kClientWidth = 808;
constexpr int kClientHeight = 616;
constexpr int kLeftPaneWidth = 273;
constexpr int kToolBarHeight = 30;
constexpr int kToolButtonWidth = 31;
constexpr int kToolButtonHeight = 30;
constexpr int kEditHeight = 24;
constexpr int kStatusBarHeight = 19;
constexpr int kStatusPanelWidth = 230;
constexpr int kToolSeparatorWidth = 8;

const char* const kHelpName = "Help.chm";
constexpr int kProgressMax = 100;
// The worker's progress is painted at most this often: about 30 times a second.
constexpr std::chrono::milliseconds kProgressPaintInterval(33);

// The bar's position for a fraction in (0, 1].
int ProgressPosition(float fraction) {
    const float capped = std::min(fraction, 1.0f);
    return static_cast<int>(static_cast<float>(kProgressMax) * capped);
}

std::string NativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

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

TVR7CfgUpdate::TVR7CfgUpdate(const Environment& environment, QWidget* parent)
    : QMainWindow(parent), List(CfgFilter) {
    messages_ = environment.messages;
    if (messages_ == nullptr) {
        ownMessages_ = std::make_unique<MessageBoxes>(this);
        messages_ = ownMessages_.get();
    }
    shell_ = environment.shell;
    if (shell_ == nullptr) {
        ownShell_ = std::make_unique<QtShellServices>();
        shell_ = ownShell_.get();
    }
    programDir_ = environment.programDir.isEmpty() ? QCoreApplication::applicationDirPath()
                                                   : environment.programDir;
    if (!programDir_.endsWith(QLatin1Char('/'))) programDir_ += QLatin1Char('/');

    setWindowTitle(QStringLiteral("Утилита формирования настроек VR-7 для работы в LON сети"));
    setWindowIcon(ProgramIcon());
    CreateActions();
    ExchangeLog = new ExchangeLogDock(*shell_, this);
    ExchangeLog->hide();
    ExchangeLog1 = ExchangeLog->toggleViewAction();
    ExchangeLog1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    CreateMenus();

    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setHandleWidth(1);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->addWidget(CreateLeftPane());
    Splitter1->addWidget(CreateRightPane());
    // Both panes share what the window gains or loses, the tree a third of it.
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 2);
    Splitter1->setSizes({kLeftPaneWidth, kClientWidth - kLeftPaneWidth - 1});
    setCentralWidget(Splitter1);
    CreateStatusBar();
    addDockWidget(Qt::BottomDockWidgetArea, ExchangeLog);
    ExchangeLog->hide();

    List.SetObserver(this);
    List.SetMessageSink(this);
    List.SetProgressSink(this);
    ListView1->SetDropHandler(this);
    connect(ListView1, &SnvtListView::CheckToggled, this,
            [this](int row, bool checked) { List.SetChecked(static_cast<size_t>(row), checked); });
    connect(TreeView1, &QTreeWidget::itemDoubleClicked, this, &TVR7CfgUpdate::TreeView1DblClick);
    connect(TreeView1, &ConfigTreeView::EnterPressed, this, &TVR7CfgUpdate::TreeView1Enter);
    connect(ListView1, &SnvtListView::DeletePressed, this, &TVR7CfgUpdate::ListView1Delete);
    // The list's context menu: its tool bar's commands.
    ListView1->setContextMenuPolicy(Qt::ActionsContextMenu);
    ListView1->addActions({ClearAll1, SetAll1, DelSelected1});

    // The menu bar lies outside the client area.
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());

    FormCreate();
    LoadWindowState();
}

TAboutBox& TVR7CfgUpdate::AboutBox() {
    if (aboutBox_ == nullptr) aboutBox_ = new TAboutBox(this);
    return *aboutBox_;
}

TSetPortDlg& TVR7CfgUpdate::PortDialog() {
    if (portDialog_ == nullptr) {
        portDialog_ = new TSetPortDlg(this);
        portDialog_->SetErrorDisplay(
            [this](const QString& text) { messages_->GeneralError(text); });
        portDialog_->CB_Port->SetDescribedPortLister(
            [] { return DescribedPorts(DescribeSerialPorts()); });
    }
    return *portDialog_;
}

TVR7CfgUpdate::~TVR7CfgUpdate() {
    // A command still running (the window destroyed without closing) is cancelled and waited
    // for; from now on nothing it reports reaches the window.
    if (worker_.joinable()) {
        Connection.RequestCancel();
        {
            std::lock_guard<std::mutex> lock(callMutex_);
            abandoned_ = true;
        }
        callDone_.notify_all();
        worker_.join();
    }
    // The list's observer is this window; stop notifications before the controls go.
    List.SetObserver(nullptr);
    List.SetMessageSink(nullptr);
    List.SetProgressSink(nullptr);
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
    Load1 = make(QStringLiteral("&Прочитать из VR-7"),
                 QStringLiteral("Прочитать конфигурацию VR-7"), &TVR7CfgUpdate::Load1Click);
    Load1->setIcon(CommandIcon(CommandImage::ReadDevice));
    Store1 = make(QStringLiteral("Со&хранить в VR-7"),
                  QStringLiteral("Сохранить SNVT список в VR-7"), &TVR7CfgUpdate::Store1Click);
    Store1->setIcon(CommandIcon(CommandImage::StoreDevice));
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
    File1->addAction(Save1);
    File1->addAction(FileExit1);

    Settings1 = menuBar()->addMenu(QStringLiteral("&Настройки"));
    Settings1->addAction(Port1);

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
    bar->setFixedHeight(kStatusBarHeight);
    bar->setSizeGripEnabled(true);

    // The first panel shows the hints; the progress bar lies over it, as wide as it is.
    auto* first = new QWidget(bar);
    first->setFixedWidth(kStatusPanelWidth);
    auto* stack = new QGridLayout(first);
    stack->setContentsMargins(0, 0, 0, 0);
    HintPanel = new StatusPanelLabel(first);
    stack->addWidget(HintPanel, 0, 0);
    ProgressBar = new QProgressBar(first);
    ProgressBar->setRange(0, kProgressMax);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);
    ProgressBar->hide();
    stack->addWidget(ProgressBar, 0, 0);
    progressTimer_ = new QTimer(this);
    progressTimer_->setSingleShot(true);
    connect(progressTimer_, &QTimer::timeout, this, [this] { FlushProgress(false); });
    bar->addWidget(first);
    CancelButton = new QPushButton(QStringLiteral("Отмена"), bar);
    CancelButton->setFocusPolicy(Qt::NoFocus);
    CancelButton->setFixedHeight(kStatusBarHeight);
    CancelButton->hide();
    connect(CancelButton, &QPushButton::clicked, this, &TVR7CfgUpdate::CancelDeviceCommand);
    bar->addWidget(CancelButton);

    StatusPanel = new StatusPanelLabel(bar);
    StatusPanel->setMinimumWidth(kStatusPanelWidth);
    bar->addWidget(StatusPanel, 1);
    setStatusBar(bar);
}

// ---------------------------------------------------------------------------------------------
// Life of the window

void TVR7CfgUpdate::FormCreate() {
    DeviceNumber = LoadDeviceNumber(NativeProgramDir());
    LoadCatalogue();
    ListSource = 0;
}

void TVR7CfgUpdate::LoadCatalogue() {
    List.SetMaxVariables(0);
    // The working folder's catalogue, or the installed one when the working folder has none.
    const CatalogueLoad catalogue = ::LoadCatalogue(CfgFilter, "");
    if (!catalogue.document) {
        // A missing file is said in words, with where it was looked for; a broken one gets the
        // XML library's own text.
        const QString path =
            QDir::current().absoluteFilePath(QFile::decodeName(CfgFilter.FileName().c_str()));
        if (!QFileInfo::exists(path)) {
            const usertext::AroundPath text = usertext::CatalogueNotFound();
            messages_->GeneralError(FromCp1251(text.before) + QDir::toNativeSeparators(path) +
                                    FromCp1251(text.after));
        } else {
            messages_->GeneralError(
                QString::fromStdString(usertext::FailureReason(catalogue.document.failure())));
        }
        return;
    }
    if (!catalogue.capacity)
        messages_->GeneralError(
            QString::fromStdString(usertext::FailureReason(catalogue.capacity.failure())));
    List.SetMaxVariables(catalogue.maxVariables);
}

void TVR7CfgUpdate::FormActivate() {
    LoadConnectionSettings();
    Edit1->setText(QStringLiteral("Конфигурация VR-7"));
    Edit2->setText(QStringLiteral("Список SNVT переменных"));
}

void TVR7CfgUpdate::FormClose() {
    // A setting that cannot be saved is said, never dropped in silence. The connection settings
    // go first: saving them makes the user's settings folder when it is not there yet.
    const bool saved =
        SaveConnectionSettings() && ::SaveDeviceNumber(NativeProgramDir(), DeviceNumber);
    SaveWindowState();
    if (!saved) {
        const usertext::AroundPath text = usertext::SettingsNotSaved();
        messages_->Message(FromCp1251(text.before) +
                           QDir::toNativeSeparators(
                               QFile::decodeName(MainSettingsFile(NativeProgramDir()).c_str())) +
                           FromCp1251(text.after));
    }
}

void TVR7CfgUpdate::LoadConnectionSettings() {
    ::LoadConnectionSettings(Connection, NativeProgramDir());
    connectionSettingsLoaded_ = true;
}

bool TVR7CfgUpdate::SaveConnectionSettings() {
    // A window closed before it was ever activated has not taken the settings yet; saving the
    // connection's defaults would throw away the port the user chose.
    if (!connectionSettingsLoaded_) LoadConnectionSettings();
    return ::SaveConnectionSettings(Connection, NativeProgramDir());
}

std::string TVR7CfgUpdate::NativeProgramDir() const {
    return NativePath(programDir_);
}

bool TVR7CfgUpdate::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::WindowActivate:
            // Qt reports every activation (after each dialog, each focus change between windows);
            // the settings are taken once, so edits made since are never thrown away.
            if (!activated_) {
                activated_ = true;
                FormActivate();
            }
            break;
        case QEvent::StatusTip:
            HintPanel->setText(static_cast<QStatusTipEvent*>(event)->tip());
            return true;
        default:
            break;
    }
    return QMainWindow::event(event);
}

void TVR7CfgUpdate::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (centred_) return;
    centred_ = true;
    // The frame is known now: the whole window, title bar included, goes into the screen.
    FitIntoScreen();
    if (!stateLoaded_) {
        if (const QScreen* screen = this->screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    // The tree pane's kept width, once the splitter has its own.
    if (savedTreeWidth_ > 0) {
        if (layout() != nullptr) layout()->activate();
        const int total = Splitter1->width() - Splitter1->handleWidth();
        Splitter1->setSizes(
            {std::min(savedTreeWidth_, total - 40), std::max(total - savedTreeWidth_, 40)});
    }
    TreeView1->setFocus();
}

void TVR7CfgUpdate::closeEvent(QCloseEvent* event) {
    // A device command is cancelled first; the window closes when it has ended.
    if (DeviceCommandRunning()) {
        closeWhenDone_ = true;
        CancelDeviceCommand();
        event->ignore();
        return;
    }
    if (listModified_ && !messages_->Question(FromCp1251(usertext::LeaveUnsaved()))) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TVR7CfgUpdate::FileExit1Execute() {
    close();
}

// ---------------------------------------------------------------------------------------------
// Commands

void TVR7CfgUpdate::Open1Click() {
    // The dialog starts beside the folder opened last, where the site's other devices are.
    const QString start =
        lastOpenFolder_.isEmpty() ? QString() : QFileInfo(lastOpenFolder_).absolutePath();
    const QString path =
        shell_->ChooseFolder(this, QStringLiteral("Открыть конфигурацию VR-7"), start);
    if (path.isEmpty()) return;

    // The device number follows "vr7_" in the folder's path, in any letter case.
    const std::string folder = NativePath(path);
    uint32_t number = 0;
    if (FolderDeviceNumber(folder, number) == FolderNumber::NoVr7) {
        messages_->Message(FromCp1251(usertext::NoConfiguration()) + QLatin1Char('\n') +
                           FromCp1251(usertext::NoVr7InPath()));
        return;
    }

    // The tree is built aside, so that a main.xmc that cannot be loaded leaves the window showing
    // the configuration it showed before, with its device number and list. A system file that
    // cannot be read still gives the systems read so far.
    const std::string configDir = FolderConfigDir(folder);
    FolderTree opened = BuildConfigTree(configDir, number, &CfgFilter, CfgXML);
    if (!opened.loaded) {
        QString text = QString::fromStdString(usertext::FailureReason(opened.loaded.failure()));
        // Without main.xmc the folder is no configuration at all: say what one holds.
        const QDir config(QFile::decodeName(QByteArray::fromStdString(configDir)));
        if (config.entryList({QStringLiteral("main.xmc")}, QDir::Files).isEmpty()) {
            const usertext::AroundPath second = usertext::NoMainXmc();
            text += QLatin1Char('\n') + FromCp1251(second.before) +
                    QDir::toNativeSeparators(config.absolutePath()) + FromCp1251(second.after);
        }
        messages_->GeneralError(text);
        return;
    }
    DeviceNumber = number;
    TreeView1->clear();
    Tree = std::move(opened.tree);
    TreeView1->ShowTree(Tree);

    LoadGatewayFile(List, configDir);
    Edit1->setText(path);
    ListSource = 2;
    listModified_ = false;
    openedConfigDir_ = QDir::cleanPath(QFile::decodeName(QByteArray::fromStdString(configDir)));
    lastOpenFolder_ = path;
}

void TVR7CfgUpdate::Save1Click() {
    if (List.RowCount() == 0) {
        messages_->Message(FromCp1251(usertext::EmptyList()));
        return;
    }
    IShellServices::SaveRequest request;
    request.initialFolder = SaveFolder();
    request.defaultName = QStringLiteral("duxgate");
    request.defaultSuffix = QStringLiteral("cfg");
    request.filter = QStringLiteral("Настройка DUX шлюза (*.cfg)");
    const QString path = shell_->ChooseSaveFile(this, request);
    if (path.isEmpty()) return;

    const Status saved = SaveGatewayFile(List, NativePath(path));
    if (!saved) {
        const usertext::FileStep step = usertext::FileStep::NotSaved;
        messages_->Message(FromCp1251(usertext::FileFailureBefore()) +
                           QDir::toNativeSeparators(path) +
                           FromCp1251(usertext::FileFailureAfter(step)) +
                           FromCp1251(usertext::FileFailureReason(step, saved.failure())));
        return;
    }
    listModified_ = false;
    lastSaveFolder_ = QFileInfo(path).absolutePath();
}

QString TVR7CfgUpdate::SaveFolder() const {
    // Where Open reads the list back from: the opened folder's CONFIG folder.
    if (ListSource == 2 && !openedConfigDir_.isEmpty()) return openedConfigDir_;
    return lastSaveFolder_;
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

void TVR7CfgUpdate::HelpAbout1Execute() {
    AboutBox().exec();
}

void TVR7CfgUpdate::Load1Click() {
    if (DeviceCommandRunning()) return;
    // The device's tree is read aside: the view keeps pointing into the tree it shows until the
    // read is over, and a device that never got as far as the tree leaves that one on show.
    auto read = std::make_shared<CfgTree>();
    auto result = std::make_shared<DeviceReadResult>();
    StartDeviceCommand(
        [this, read, result] {
            *result =
                ReadFromDevice({Connection, DeviceNumber, *this}, *read, List, &CfgFilter, this);
        },
        [this, read, result] {
            FinishRead(std::move(*read), *result);
            if (result->cancelled)
                ShowFailureCause(lr::Cancelled, false);
            else if (result->outcome == DeviceReadOutcome::NotConnected)
                ShowFailureCause(result->code, false);
            else if (result->outcome == DeviceReadOutcome::ReadFailed ||
                     (result->outcome == DeviceReadOutcome::Read &&
                      result->download == GatewayDownload::Broken))
                ShowFailureCause(lr::Ok, true);
            else
                ShowFailureCause(lr::Ok, false);
        });
}

void TVR7CfgUpdate::FinishRead(CfgTree&& read, const DeviceReadResult& result) {
    switch (result.outcome) {
        case DeviceReadOutcome::NotConnected:
        case DeviceReadOutcome::UnsupportedVersion:
            return;
        case DeviceReadOutcome::ReadFailed:
            // What was read before the failure (or the cancel) stays on show; list and caption
            // stay as they were, and so does the progress bar.
            ShowReadTree(std::move(read));
            return;
        case DeviceReadOutcome::Read:
            break;
    }
    ShowReadTree(std::move(read));
    Edit1->setText(
        FromCp1251(usertext::DeviceConfigurationCaption(Connection.PortName, DeviceNumber)));
    ListSource = 1;
    listModified_ = false;
    ShowProgress("", 0);
}

void TVR7CfgUpdate::ShowFailureCause(LinkResult code, bool framesDecide) {
    const Cp1251String cause =
        ExchangeLog->FailureCause(Connection, code, framesDecide, DeviceNumber);
    ExchangeLog->End(Connection, code, framesDecide);
    if (cause.empty()) return;
    StatusPanel->setText(FromCp1251(cause));
    StatusPanel->repaint();
}

void TVR7CfgUpdate::ShowReadTree(CfgTree&& tree) {
    TreeView1->clear();
    Tree = std::move(tree);
    TreeView1->ShowTree(Tree);
}

void TVR7CfgUpdate::Store1Click() {
    if (DeviceCommandRunning()) return;
    auto result = std::make_shared<DeviceStoreResult>();
    StartDeviceCommand(
        [this, result] {
            *result = Store({Connection, DeviceNumber, *this}, List);
        },
        [this, result] {
            if (result->outcome == DeviceStoreOutcome::Stored) listModified_ = false;
            const bool failed = result->outcome == DeviceStoreOutcome::NotConnected ||
                                result->outcome == DeviceStoreOutcome::Protected ||
                                result->outcome == DeviceStoreOutcome::Broken;
            ShowFailureCause(failed ? result->code : lr::Ok, false);
        });
}

void TVR7CfgUpdate::Port1Click() {
    const QPoint at = QCursor::pos();
    // The dialog's device number is taken only with OK: Cancel leaves every setting as it was.
    uint32_t number = DeviceNumber;
    TSetPortDlg& dialog = PortDialog();
    Connection.ShowPortDialog(dialog, at.x(), at.y(), &number, true);
    if (dialog.result() == QDialog::Accepted) DeviceNumber = number;
}

// ---------------------------------------------------------------------------------------------
// Device commands on the worker thread

void TVR7CfgUpdate::StartDeviceCommand(std::function<void()> work, std::function<void()> done) {
    Connection.ClearCancel();
    ExchangeLog->Begin(Connection);
    postedPosition_ = ProgressBar->isHidden() ? -1 : ProgressBar->value();
    postedText_ = std::string();
    workerDone_ = std::move(done);
    EnableCommands(false);
    worker_ = std::thread([this, work = std::move(work)] {
        work();
        PostToWindow([this] { FinishDeviceCommand(); });
    });
}

void TVR7CfgUpdate::FinishDeviceCommand() {
    if (worker_.joinable()) worker_.join();
    FlushProgress(true);  // the command's last progress is shown before what ends it
    EnableCommands(true);
    const std::function<void()> done = std::move(workerDone_);
    workerDone_ = nullptr;
    if (done) done();
    if (closeWhenDone_) {
        closeWhenDone_ = false;
        close();
    }
}

void TVR7CfgUpdate::CancelDeviceCommand() {
    if (!DeviceCommandRunning()) return;
    Connection.RequestCancel();
    CancelButton->setEnabled(false);
}

void TVR7CfgUpdate::EnableCommands(bool enabled) {
    // Everything that could start another command, or change the list under the worker.
    for (QAction* action : {Open1, Load1, Store1, Save1, Port1, ClearAll1, SetAll1, DelSelected1})
        action->setEnabled(enabled);
    TreeView1->setEnabled(enabled);
    ListView1->setEnabled(enabled);
    CancelButton->setEnabled(!enabled);
    CancelButton->setVisible(!enabled);
}

bool TVR7CfgUpdate::OnWindowThread() const {
    return QThread::currentThread() == thread();
}

void TVR7CfgUpdate::RunInWindow(const std::function<void()>& call) {
    if (OnWindowThread()) {
        call();
        return;
    }
    auto done = std::make_shared<bool>(false);
    std::unique_lock<std::mutex> lock(callMutex_);
    if (abandoned_) return;
    QMetaObject::invokeMethod(
        this,
        [this, call, done] {
            call();
            std::lock_guard<std::mutex> finished(callMutex_);
            *done = true;
            callDone_.notify_all();
        },
        Qt::QueuedConnection);
    callDone_.wait(lock, [this, &done] { return *done || abandoned_; });
}

void TVR7CfgUpdate::PostToWindow(std::function<void()> call) {
    std::lock_guard<std::mutex> lock(callMutex_);
    if (abandoned_) return;
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------------------------
// The list and the tree

void TVR7CfgUpdate::AddFromTree(int index, AddGesture gesture) {
    const TreeNode* node = TreeView1->SelectedNode();
    if (!MayAddToList(node, gesture)) return;
    List.AddVariable(index, node->Text, node->Info()->System);
}

void TVR7CfgUpdate::TreeView1DblClick() {
    AddFromTree(-1, AddGesture::DoubleClick);
}

void TVR7CfgUpdate::TreeView1Enter() {
    AddFromTree(-1, AddGesture::DoubleClick);
}

void TVR7CfgUpdate::ListView1Delete() {
    // Without a checked row there is nothing to delete and nothing to ask.
    for (size_t i = 0; i < List.RowCount(); ++i) {
        if (List.Row(i).checked) {
            DelSelected_R_ButtonClick();
            return;
        }
    }
}

bool TVR7CfgUpdate::DragOver(const QMimeData* data) {
    switch (dragpayload::Identify(data, TreeView1, ListView1)) {
        case dragpayload::Origin::ConfigTree:
            return MayAddToList(TreeView1->SelectedNode(), AddGesture::Drag);
        case dragpayload::Origin::SnvtList:
            return true;
        case dragpayload::Origin::None:
            return false;
    }
    return false;
}

void TVR7CfgUpdate::DragDrop(const QMimeData* data, int targetRow) {
    switch (dragpayload::Identify(data, TreeView1, ListView1)) {
        case dragpayload::Origin::ConfigTree:
            AddFromTree(targetRow, AddGesture::Drag);
            break;
        case dragpayload::Origin::SnvtList: {
            const int moved = List.MoveRow(ListView1->SelectedRow(), targetRow);
            if (moved >= 0) ListView1->SelectRow(moved);
            break;
        }
        case dragpayload::Origin::None:
            break;
    }
}

void TVR7CfgUpdate::Panel2_ClearAll_Click() {
    List.ClearAll();
}

void TVR7CfgUpdate::Panel2_SetAll_Click() {
    List.SetAll();
}

void TVR7CfgUpdate::DelSelected_R_ButtonClick() {
    List.DeleteChecked();
}

// A device command's worker reports through these as well: each runs on the window's thread
// while the worker waits, so the messages and the list's rows come in the order they always did.

void TVR7CfgUpdate::ShowMessage(const Cp1251String& text) {
    RunInWindow([this, &text] { messages_->Message(FromCp1251(text)); });
}

void TVR7CfgUpdate::RowInserted(size_t index) {
    RunInWindow([this, index] {
        listModified_ = true;
        ListView1->InsertRow(static_cast<int>(index), List.Row(index));
    });
}

void TVR7CfgUpdate::RowRemoved(size_t index) {
    RunInWindow([this, index] {
        listModified_ = true;
        ListView1->removeRow(static_cast<int>(index));
    });
}

void TVR7CfgUpdate::RowChanged(size_t index) {
    RunInWindow([this, index] { ListView1->UpdateRow(static_cast<int>(index), List.Row(index)); });
}

void TVR7CfgUpdate::ListCleared() {
    RunInWindow([this] {
        if (ListView1->rowCount() > 0) listModified_ = true;
        ListView1->setRowCount(0);
    });
}

void TVR7CfgUpdate::CountersChanged(const std::string& text) {
    RunInWindow([this, &text] { Edit2->setText(FromCp1251(Cp1251String(text))); });
}

// ---------------------------------------------------------------------------------------------
// Progress

void TVR7CfgUpdate::ShowProgress(const std::string& text, float fraction) {
    if (OnWindowThread()) {
        progressTimer_->stop();
        progressPending_ = false;
        ApplyProgress(text, fraction, true);
        return;
    }
    // The worker hands over only what changes the bar or the text, and does not wait for it.
    const int position = fraction > 0 ? ProgressPosition(fraction) : -1;
    if (position == postedPosition_ && text == postedText_) return;
    postedPosition_ = position;
    postedText_ = text;
    PostToWindow([this, text, fraction] { PaceProgress(text, fraction); });
}

void TVR7CfgUpdate::PaceProgress(const std::string& text, float fraction) {
    pendingText_ = text;
    pendingFraction_ = fraction;
    progressPending_ = true;
    if (progressTimer_->isActive()) return;  // the timer shows the latest
    const auto wait =
        lastProgressPaint_ + kProgressPaintInterval - std::chrono::steady_clock::now();
    if (wait <= std::chrono::steady_clock::duration::zero()) {
        FlushProgress(false);
        return;
    }
    progressTimer_->start(std::chrono::ceil<std::chrono::milliseconds>(wait));
}

void TVR7CfgUpdate::FlushProgress(bool paintNow) {
    progressTimer_->stop();
    if (!progressPending_) return;
    progressPending_ = false;
    lastProgressPaint_ = std::chrono::steady_clock::now();
    ApplyProgress(pendingText_, pendingFraction_, paintNow);
}

void TVR7CfgUpdate::ApplyProgress(const std::string& text, float fraction, bool paintNow) {
    if (fraction > 0) {
        const bool shown = ProgressBar->isHidden();
        if (shown) ProgressBar->show();
        const int position = ProgressPosition(fraction);
        if (position != ProgressBar->value() || shown) {
            ProgressBar->setValue(position);
            if (paintNow) ProgressBar->repaint();
        }
    } else if (!ProgressBar->isHidden()) {
        ProgressBar->hide();
    }
    const QString shownText = FromCp1251(Cp1251String(text));
    if (shownText != StatusPanel->text()) {
        StatusPanel->setText(shownText);
        if (paintNow) StatusPanel->repaint();
    }
}

// ---------------------------------------------------------------------------------------------
// Window state

void TVR7CfgUpdate::LoadWindowState() {
    const WindowState state = ::LoadWindowState(MainSettingsFile(NativeProgramDir()));
    lastOpenFolder_ = state.openFolder;
    lastSaveFolder_ = state.saveFolder;
    savedTreeWidth_ = state.treeWidth;
    for (int c = 0; c < state.columnWidths.size() && c < ListView1->columnCount(); ++c)
        ListView1->setColumnWidth(c, state.columnWidths[c]);
    if (state.size.isValid()) {
        stateLoaded_ = true;
        resize(state.size);
    }
    if (state.maximized) setWindowState(windowState() | Qt::WindowMaximized);
    if (state.logHeight > 0) resizeDocks({ExchangeLog}, {state.logHeight}, Qt::Vertical);
    ExchangeLog->setVisible(state.logShown);
}

void TVR7CfgUpdate::SaveWindowState() {
    WindowState state;
    state.maximized = isMaximized();
    state.size = isMaximized() ? normalGeometry().size() : size();
    if (!state.size.isValid()) state.size = size();
    state.treeWidth = Splitter1->sizes().value(0);
    for (int c = 0; c < ListView1->columnCount(); ++c)
        state.columnWidths << ListView1->columnWidth(c);
    state.openFolder = lastOpenFolder_;
    state.saveFolder = lastSaveFolder_;
    state.logShown = ExchangeLog->isVisible();
    state.logHeight = ExchangeLog->height();
    ::SaveWindowState(MainSettingsFile(NativeProgramDir()), state);
}

void TVR7CfgUpdate::FitIntoScreen() {
    const QScreen* screen = this->screen();
    if (screen == nullptr) return;
    // The frame (title bar included) must fit the available area, on a small or scaled screen too.
    const QRect available = screen->availableGeometry();
    const QRect frame = frameGeometry();
    const QSize decoration = frame.size() - size();
    const int fitWidth = std::min(width(), available.width() - decoration.width());
    const int fitHeight = std::min(height(), available.height() - decoration.height());
    if (fitWidth != width() || fitHeight != height()) resize(fitWidth, fitHeight);
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
