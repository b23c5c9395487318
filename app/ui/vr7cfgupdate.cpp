#include "app/ui/vr7cfgupdate.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusTipEvent>
#include <QThread>
#include <QTimer>
#include <QWindowStateChangeEvent>

#include "app/messages.h"
#include "app/ui/aboutbox.h"
#include "app/ui/configtreeview.h"
#include "app/ui/dragpayload.h"
#include "app/ui/portchoices.h"
#include "app/ui/reportdialog.h"
#include "app/ui/shellservices.h"
#include "app/ui/statuspanel.h"
#include "app/ui/usermessages.h"
#include "base/cp1251.h"
#include "base/installpaths.h"
#include "base/ui/qcp1251.h"
#include "cfgtree/configfolder.h"
#include "device/connectionsettings.h"
#include "device/devicecommands.h"
#include "gateway/catalogue.h"
#include "gateway/gatewayfile.h"
#include "gateway/listcsv.h"
#include "link/ui/portcombo.h"
#include "link/ui/setportdlg.h"

namespace {

std::string NativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
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

    CreateControls();

    List.SetObserver(this);
    List.SetMessageSink(this);
    List.SetProgressSink(this);
    ListView1->SetDropHandler(this);
    connect(ListView1, &SnvtListView::CheckToggled, this,
            [this](int row, bool checked) { List.SetChecked(static_cast<size_t>(row), checked); });
    connect(TreeView1, &QTreeWidget::itemDoubleClicked, this, &TVR7CfgUpdate::TreeView1DblClick);
    connect(TreeView1, &ConfigTreeView::EnterPressed, this, &TVR7CfgUpdate::TreeView1Enter);
    connect(ListView1, &SnvtListView::DeletePressed, this, &TVR7CfgUpdate::ListView1Delete);
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
    runner_.Abandon();
    delete ReportWindow;  // before the window's members it points back into go
    // The list's observer is this window; stop notifications before the controls go.
    List.SetObserver(nullptr);
    List.SetMessageSink(nullptr);
    List.SetProgressSink(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Life of the window

void TVR7CfgUpdate::FormCreate() {
    Controller.SetDeviceNumber(::LoadConnectionSettings(NativeProgramDir()).deviceNumber);
    LoadCatalogue();
}

void TVR7CfgUpdate::LoadCatalogue() {
    List.SetMaxVariables(0);
    // The working folder's catalogue, or the installed one when the working folder has none.
    const CatalogueLoad catalogue = ::LoadCatalogue(CfgFilter, "");
    if (!catalogue.document) {
        // A missing file is said in words, with where it was looked for and where it may go; a
        // broken one gets the XML library's own text.
        const QString path =
            QDir::current().absoluteFilePath(QFile::decodeName(CfgFilter.FileName().c_str()));
        if (!QFileInfo::exists(path)) {
            List.SetCapacityUnknown(SnvtList::Capacity::NoCatalogue);
            const usertext::AroundPath text = usertext::CatalogueNotFound();
            const usertext::AroundPath where = usertext::CatalogueWhereWork();
            QString message = FromCp1251(text.before) + QDir::toNativeSeparators(path) +
                              FromCp1251(text.after) + FromCp1251(where.before) +
                              QDir::toNativeSeparators(QDir::currentPath());
            const std::string dataDir = InstalledDataDir();
            if (!dataDir.empty())
                message +=
                    FromCp1251(usertext::CatalogueWhereData()) +
                    QDir::toNativeSeparators(QDir::cleanPath(QFile::decodeName(dataDir.c_str())));
            messages_->GeneralError(message + FromCp1251(usertext::CatalogueWhereEnd()));
        } else {
            List.SetCapacityUnknown(SnvtList::Capacity::Unusable);
            messages_->GeneralError(
                FromUtf8String(usertext::FailureReason(catalogue.document.failure())));
        }
        return;
    }
    if (!catalogue.capacity) {
        messages_->GeneralError(
            FromUtf8String(usertext::FailureReason(catalogue.capacity.failure())));
        List.SetCapacityUnknown(SnvtList::Capacity::Unusable);
        return;
    }
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
    const bool saved = SaveConnectionSettings();
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
    // The device number is the controller's (read at FormCreate); the connection takes the rest.
    ConnectionSettings settings = ::LoadConnectionSettings(NativeProgramDir());
    settings.deviceNumber = Connection.DeviceNumber;
    Connection.Apply(settings);
    connectionSettingsLoaded_ = true;
}

bool TVR7CfgUpdate::SaveConnectionSettings() {
    // A window closed before it was ever activated has not taken the settings yet; saving the
    // connection's defaults would throw away the port the user chose.
    if (!connectionSettingsLoaded_) LoadConnectionSettings();
    ConnectionSettings settings = Connection.Settings();
    settings.deviceNumber = Controller.DeviceNumber();
    return ::SaveConnectionSettings(settings, NativeProgramDir());
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
        case QEvent::Move:
        case QEvent::Resize:
            if (awaitFrame_ && frameGeometry().size() != size()) {
                awaitFrame_ = false;
                FitIntoScreen();
            }
            break;
        case QEvent::WindowStateChange:
            // Restored from maximized: the normal size, kept from before, fits the screen too.
            if ((static_cast<QWindowStateChangeEvent*>(event)->oldState() & Qt::WindowMaximized) &&
                !isMaximized())
                QTimer::singleShot(0, this, [this] { FitIntoScreen(); });
            break;
        case QEvent::StatusTip:
            HintPanel->setText(static_cast<QStatusTipEvent*>(event)->tip());
            return true;
        default:
            break;
    }
    return QMainWindow::event(event);
}

void TVR7CfgUpdate::closeEvent(QCloseEvent* event) {
    // A device command is cancelled first; the window closes when it has ended.
    if (!Controller.CloseRequested()) {
        CancelDeviceCommand();
        event->ignore();
        return;
    }
    if (!MayLeaveList(ListLeaving::Exit)) {
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

bool TVR7CfgUpdate::MayLeaveList(ListLeaving leaving) {
    const Cp1251String question = Controller.QuestionBefore(leaving);
    return question.empty() || messages_->Question(FromCp1251(question));
}

void TVR7CfgUpdate::ClearStatus() {
    ReplaceStatus(Cp1251String(), false);
}

void TVR7CfgUpdate::Open1Click() {
    if (!MayLeaveList(ListLeaving::Open)) return;
    ClearStatus();
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
    // cannot be read still gives the systems read so far. The items showing the old tree go
    // first and come back as they were should the new one fail: a large tree is replaced with
    // one set of items alive, not two. The documents read go with the build.
    const std::string configDir = FolderConfigDir(folder);
    TreeView1->ReleaseItems();
    FolderTree opened;
    {
        XmlDocument scratch;
        opened = BuildConfigTree(configDir, number, &CfgFilter, scratch);
    }
    if (!opened.loaded) {
        TreeView1->RestoreItems(Tree);
        QString text = FromUtf8String(usertext::FailureReason(opened.loaded.failure()));
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
    // The old tree goes before the new one's items are made.
    Tree = std::move(opened.tree);
    TreeView1->ShowTree(Tree);

    if (const Status loaded = LoadGatewayFile(List, configDir); !loaded)
        ShowMessage(cp1251::FromUtf8(usertext::FailureLine(loaded.failure())));
    Edit1->setText(path);
    Controller.FolderOpened(
        number,
        QDir::cleanPath(QFile::decodeName(QByteArray::fromStdString(configDir))).toStdString());
    lastOpenFolder_ = path;
}

QString TVR7CfgUpdate::ChooseListFile(const QString& folder, const QString& suffix,
                                      const QString& filter) {
    ClearStatus();
    if (List.RowCount() == 0) {
        messages_->Message(FromCp1251(usertext::EmptyList()));
        return {};
    }
    IShellServices::SaveRequest request;
    request.initialFolder = folder;
    request.defaultName = QStringLiteral("duxgate");
    request.defaultSuffix = suffix;
    request.filter = filter;
    return shell_->ChooseSaveFile(this, request);
}

bool TVR7CfgUpdate::TellListWritten(const QString& path, const Status& saved) {
    if (!saved) {
        const usertext::FileStep step = usertext::FileStep::NotSaved;
        messages_->Message(FromCp1251(usertext::FileFailureBefore()) +
                           QDir::toNativeSeparators(path) +
                           FromCp1251(usertext::FileFailureAfter(step)) +
                           FromCp1251(usertext::FileFailureReason(step, saved.failure())));
        return false;
    }
    const usertext::AroundPath where = usertext::SavedTo();
    StatusPanel->setText(FromCp1251(where.before) +
                         QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()) +
                         FromCp1251(where.after));
    return true;
}

void TVR7CfgUpdate::Save1Click() {
    const QString path = ChooseListFile(SaveFolder(), QStringLiteral("cfg"),
                                        QStringLiteral("Настройка DUX шлюза (*.cfg)"));
    if (path.isEmpty()) return;
    if (!TellListWritten(path, SaveGatewayFile(List, NativePath(path)))) return;
    Controller.ListSaved(QFileInfo(path).absolutePath().toStdString());
}

void TVR7CfgUpdate::ExportList1Click() {
    // Refused as Save is: an empty table binds nothing on the LON side.
    const QString path = ChooseListFile(QDir::currentPath(), QStringLiteral("csv"),
                                        FromCp1251(usertext::ExportListFilter()));
    if (path.isEmpty()) return;
    TellListWritten(path, SaveListCsv(List, NativePath(path)));
}

QString TVR7CfgUpdate::SaveFolder() const {
    return QString::fromStdString(Controller.SaveFolder());
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
    ClearStatus();
    List.ClearAll();
}

void TVR7CfgUpdate::Panel2_SetAll_Click() {
    ClearStatus();
    List.SetAll();
}

void TVR7CfgUpdate::DelSelected_R_ButtonClick() {
    ClearStatus();
    List.DeleteChecked();
}

// The list's notifications: the list changes only on the window's thread, so they come on it.

void TVR7CfgUpdate::ShowMessage(const Cp1251String& text) {
    AssertWindowThread();
    messages_->Message(FromCp1251(text));
}

void TVR7CfgUpdate::RowInserted(size_t index) {
    AssertWindowThread();
    ListEdited();
    ListView1->InsertRow(static_cast<int>(index), List.Row(index));
}

void TVR7CfgUpdate::RowRemoved(size_t index) {
    AssertWindowThread();
    ListEdited();
    ListView1->RemoveRows({index});
}

void TVR7CfgUpdate::RowsRemoved(const std::vector<size_t>& indices) {
    AssertWindowThread();
    ListEdited();
    ListView1->RemoveRows(indices);
}

void TVR7CfgUpdate::RowChanged(size_t index) {
    AssertWindowThread();
    Controller.ListChangedSinceReport(List, static_cast<int>(index));
    Report1->setEnabled(Controller.Enabled(WindowCommand::Report));
    ListView1->UpdateRow(static_cast<int>(index), List.Row(index));
}

void TVR7CfgUpdate::ListCleared() {
    AssertWindowThread();
    if (ListView1->rowCount() > 0) ListEdited();
    ListView1->ReplaceRows({});
}

void TVR7CfgUpdate::ListReplaced() {
    AssertWindowThread();
    ListEdited();
    ListView1->ReplaceRows(List.Rows());
}

void TVR7CfgUpdate::CountersChanged(const std::string& text) {
    AssertWindowThread();
    Edit2->setText(FromCp1251(Cp1251String(text)));
}

void TVR7CfgUpdate::ListEdited() {
    Controller.ListEdited();
    Controller.ListChangedSinceReport(List);
    Report1->setEnabled(Controller.Enabled(WindowCommand::Report));
}

void TVR7CfgUpdate::AssertWindowThread() const {
    Q_ASSERT_X(QThread::currentThread() == thread(), "TVR7CfgUpdate",
               "the window's model changed off the window's thread");
}
