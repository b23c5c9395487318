#include "app/ui/exchangelog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QListView>
#include <algorithm>
#include <cerrno>

#include "app/messages.h"
#include "app/ui/shellservices.h"
#include "app/ui/usermessages.h"
#include "base/atomicfilewriter.h"
#include "base/syserror.h"
#include "base/ui/qcp1251.h"
#include "link/connectionkeys.h"
#include "link/frametext.h"

namespace {

constexpr int kFlushMs = 50;

bool IsTcp(const connection& conn) {
    return conn.PortName == connkeys::kTcpIpPortName;
}

std::string LinkLine(const connection& conn) {
    if (IsTcp(conn)) return logtext::TcpLink(conn.IpAddress, conn.TcpIpPort);
    return logtext::SerialLink(conn.PortName, conn.Speed);
}

}  // namespace

std::string ExchangeLogLine(const ExchangeLogEntry& entry) {
    if (entry.kind == ExchangeLogEntry::Text) return entry.data;
    const bool sent = entry.kind == ExchangeLogEntry::Sent;
    const auto* bytes = reinterpret_cast<const uint8_t*>(entry.data.data());
    const int length = static_cast<int>(entry.data.size());
    // The request as the line handed it back: its bytes and what it is, no check of its own.
    if (entry.kind == ExchangeLogEntry::Echo)
        return FrameTraceLine(entry.elapsedMs, false, bytes, length, logtext::EchoLine(), "");
    const FrameFacts facts = DecodeFrame(sent, bytes, length);
    return FrameTraceLine(entry.elapsedMs, sent, bytes, length, logtext::FrameCheck(facts),
                          logtext::FrameSummary(facts));
}

int ExchangeLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

QVariant ExchangeLogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    if (role == Qt::SizeHintRole && cell_.isValid())
        return QSize(cell_.width() * (longest_ + 1), cell_.height());
    // A line wider than the view is there whole as its tool tip.
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    return QString::fromStdString(ExchangeLogLine(entries_[static_cast<size_t>(index.row())]));
}

void ExchangeLogModel::Append(std::vector<ExchangeLogEntry>&& batch) {
    if (batch.empty()) return;
    size_t first = 0;
    if (batch.size() > static_cast<size_t>(limit_)) first = batch.size() - limit_;
    const size_t adding = batch.size() - first;
    const size_t keep = static_cast<size_t>(limit_) - adding;
    if (entries_.size() > keep) {
        const int dropping = static_cast<int>(entries_.size() - keep);
        beginRemoveRows(QModelIndex(), 0, dropping - 1);
        entries_.erase(entries_.begin(), entries_.begin() + dropping);
        endRemoveRows();
    }
    const int longest = longest_;
    for (size_t i = first; i < batch.size(); ++i)
        longest_ = std::max(longest_, static_cast<int>(ExchangeLogLine(batch[i]).size()));
    const int row = static_cast<int>(entries_.size());
    beginInsertRows(QModelIndex(), row, row + static_cast<int>(adding) - 1);
    for (size_t i = first; i < batch.size(); ++i) entries_.push_back(std::move(batch[i]));
    endInsertRows();
    // A wider line widens every line: the view measures them again.
    if (longest_ != longest && cell_.isValid()) {
        emit layoutAboutToBeChanged();
        emit layoutChanged();
    }
}

void ExchangeLogModel::Clear() {
    beginResetModel();
    entries_.clear();
    longest_ = 0;
    endResetModel();
}

ExchangeLogDock::ExchangeLogDock(IShellServices& shell, IUserMessages& messages, QWidget* parent)
    : QDockWidget(QStringLiteral("Журнал обмена"), parent), shell_(shell), messages_(messages) {
    setObjectName(QStringLiteral("ExchangeLog"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    setAllowedAreas(Qt::BottomDockWidgetArea);
    model_ = new ExchangeLogModel(kMaxLines, this);
    view_ = new QListView(this);
    // The view takes the model only while the log is shown: hidden, the lines cost only their
    // bytes.
    // Every line is as high as the next: the view lays out only the lines on the screen.
    view_->setUniformItemSizes(true);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QFont fixed(QStringLiteral("Monospace"));
    fixed.setStyleHint(QFont::TypeWriter);
    view_->setFont(fixed);
    const QFontMetrics metrics(fixed);
    model_->SetCharCell(QSize(metrics.horizontalAdvance(QLatin1Char('0')), metrics.height() + 2));
    view_->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* copy = new QAction(QStringLiteral("Копировать"), view_);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &ExchangeLogDock::CopySelection);
    auto* save = new QAction(QStringLiteral("Сохранить в файл..."), view_);
    connect(save, &QAction::triggered, this, &ExchangeLogDock::SaveToFile);
    auto* clear = new QAction(QStringLiteral("Очистить"), view_);
    connect(clear, &QAction::triggered, this, &ExchangeLogDock::Clear);
    view_->addActions({copy, save, clear});
    setWidget(view_);
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(kFlushMs);
    connect(&flushTimer_, &QTimer::timeout, this, &ExchangeLogDock::Flush);
    // Lines kept while the log was hidden: opened, it shows the newest.
    connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (!visible) {
            view_->setModel(nullptr);
        } else if (view_->model() != model_) {
            view_->setModel(model_);
            view_->scrollToBottom();
        }
    });
}

long long ExchangeLogDock::ElapsedMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start_)
        .count();
}

void ExchangeLogDock::Begin(connection& conn) {
    start_ = std::chrono::steady_clock::now();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tail_ = ExchangeTail();
        framesSeen_ = 0;
    }
    // Traced whether the log is shown or not: a user who sees a failure and then opens the log
    // finds the command's frames there. The model keeps the newest kMaxLines lines.
    tracing_ = true;
    AddLine(LinkLine(conn));
    // Each failed exchange is a line of its own, as vr7lon names the result.
    // (A link that did not open sends nothing: its own line says why.)
    conn.ExchangeFailed = [this, &conn](LinkResult result) {
        bool framesSent = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            framesSent = framesSeen_ != 0;
        }
        if (framesSent) AddLine(logtext::Exchange(result, conn.SystemErrorNumber()));
    };
    conn.Trace = [this](FrameWay way, const uint8_t* bytes, int length) {
        Frame(way, bytes, length);
    };
}

void ExchangeLogDock::Keep(ExchangeLogEntry::Kind kind, long long elapsedMs, const char* bytes,
                           size_t length) {
    pending_.push_back({kind, elapsedMs, pendingBytes_.size(), length});
    pendingBytes_.append(bytes, length);
}

void ExchangeLogDock::Frame(FrameWay way, const uint8_t* bytes, int length) {
    // The worker only copies the bytes into the batch's one buffer: the lines are made on the
    // window's thread.
    const long long elapsedMs = ElapsedMs();
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++framesSeen_;
        tail_.Note(way, bytes, length, elapsedMs);
        wake = !flushPosted_;
        flushPosted_ = true;
        const auto kind = way == FrameWay::Sent   ? ExchangeLogEntry::Sent
                          : way == FrameWay::Echo ? ExchangeLogEntry::Echo
                                                  : ExchangeLogEntry::Received;
        Keep(kind, elapsedMs, reinterpret_cast<const char*>(bytes),
             static_cast<size_t>(std::max(0, length)));
    }
    if (wake) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!flushTimer_.isActive()) flushTimer_.start();
            },
            Qt::QueuedConnection);
    }
}

void ExchangeLogDock::AddLine(std::string line) {
    std::lock_guard<std::mutex> lock(mutex_);
    Keep(ExchangeLogEntry::Text, 0, line.data(), line.size());
}

void ExchangeLogDock::Flush() {
    std::vector<PendingLine> lines;
    std::string bytes;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lines.swap(pending_);
        bytes.swap(pendingBytes_);
        flushPosted_ = false;
    }
    if (lines.empty()) return;
    std::vector<ExchangeLogEntry> entries;
    entries.reserve(lines.size());
    for (const PendingLine& line : lines)
        entries.push_back({line.kind, line.elapsedMs, bytes.substr(line.offset, line.length)});
    model_->Append(std::move(entries));
    if (view_->isVisible()) view_->scrollToBottom();
    // The emptied buffers go back for the next batch, keeping what they have grown to.
    lines.clear();
    bytes.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    if (pending_.empty()) {
        pending_.swap(lines);
        pendingBytes_.swap(bytes);
    }
}

ExchangeTail ExchangeLogDock::Tail() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return tail_;
}

void ExchangeLogDock::End(connection& conn, LinkResult code, bool framesDecide) {
    if (tracing_) {
        conn.Trace = nullptr;
        conn.ExchangeFailed = nullptr;
        tracing_ = false;
        if (framesDecide) code = CodeFromFrames(conn, Tail());
        const bool notOpened = framesSeen_ == 0 && code != lr::Ok && code != lr::Cancelled;
        std::string line = notOpened ? logtext::NotOpened(code, conn.SystemErrorNumber())
                                     : logtext::Outcome(code, conn.SystemErrorNumber());
        if (framesSeen_ == 0 && !IsTcp(conn) &&
            (conn.SystemErrorNumber() == EACCES || conn.SystemErrorNumber() == EPERM))
            line += logtext::DialoutHint();
        AddLine(std::move(line));
    }
    flushTimer_.stop();
    Flush();
}

QStringList ExchangeLogDock::Lines() const {
    QStringList lines;
    for (const ExchangeLogEntry& entry : model_->Entries())
        lines << QString::fromStdString(ExchangeLogLine(entry));
    return lines;
}

void ExchangeLogDock::CopySelection() {
    QModelIndexList rows = view_->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QString text;
    for (const QModelIndex& row : rows) text += row.data().toString() + QLatin1Char('\n');
    if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

void ExchangeLogDock::SaveToFile() {
    IShellServices::SaveRequest request;
    request.defaultName = QStringLiteral("exchange");
    request.defaultSuffix = QStringLiteral("txt");
    request.filter = QStringLiteral("Текст (*.txt)");
    const QString path = shell_.ChooseSaveFile(this, request);
    if (path.isEmpty()) return;
    // The file is replaced whole or stays as it was; a failure is said with the system's reason.
    AtomicFileWriter file;
    usertext::FileStep step = usertext::FileStep::NotCreated;
    Status done = file.Open(QFile::encodeName(path).toStdString());
    if (done) {
        std::string text;
        for (const ExchangeLogEntry& entry : model_->Entries())
            text += ExchangeLogLine(entry) + '\n';
        step = usertext::FileStep::NotWritten;
        done = file.Write(text);
        if (done) done = file.Commit();
        if (done) return;
    }
    messages_.Message(FromCp1251(usertext::FileFailureBefore()) + QDir::toNativeSeparators(path) +
                      FromCp1251(usertext::FileFailureAfter(step)) +
                      FromCp1251(usertext::FileFailureReason(step, done.failure())));
}

void ExchangeLogDock::Clear() {
    model_->Clear();
}
