#include "exchangelog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <cerrno>

#include "connectionkeys.h"
#include "frametext.h"
#include "messages.h"
#include "resulttext.h"
#include "shellservices.h"
#include "vr7frame.h"

namespace {

constexpr int kFlushMs = 50;

bool IsTcp(const connection& conn) {
    return conn.PortName == connkeys::kTcpIpPortName;
}

std::string LinkName(const connection& conn) {
    if (IsTcp(conn)) return "TCP " + conn.IpAddress + ":" + conn.TcpIpPort;
    return "port " + conn.PortName + ", " + std::to_string(conn.Speed) + " baud";
}

// The exchange's wait per attempt, by the command of its request.
CommandTiming TimingOf(const LinkTimings& timings, const std::vector<uint8_t>& request) {
    if (request.size() <= static_cast<size_t>(kFrameCommandAt)) return timings.identify;
    switch (request[kFrameCommandAt]) {
        case cmdOpenFile:
            return timings.openFile;
        case cmdReadBlock:
        case cmdWriteBlock:
            return timings.block;
        case cmdReadEntry:
        case cmdReadHeader:
            return timings.config;
        default:
            return timings.identify;
    }
}

}  // namespace

TExchangeLog::TExchangeLog(IShellServices& shell, QWidget* parent)
    : QDockWidget(QStringLiteral("Журнал обмена"), parent), shell_(shell) {
    setObjectName(QStringLiteral("ExchangeLog"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    setAllowedAreas(Qt::BottomDockWidgetArea);
    view_ = new QPlainTextEdit(this);
    view_->setReadOnly(true);
    view_->setLineWrapMode(QPlainTextEdit::NoWrap);
    view_->setMaximumBlockCount(kMaxLines);
    view_->setFont(QFont(QStringLiteral("Monospace")));
    view_->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* copy = new QAction(QStringLiteral("Копировать"), view_);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, view_, &QPlainTextEdit::copy);
    auto* save = new QAction(QStringLiteral("Сохранить в файл..."), view_);
    connect(save, &QAction::triggered, this, &TExchangeLog::SaveToFile);
    auto* clear = new QAction(QStringLiteral("Очистить"), view_);
    connect(clear, &QAction::triggered, this, &TExchangeLog::Clear);
    view_->addActions({copy, save, clear});
    setWidget(view_);
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(kFlushMs);
    connect(&flushTimer_, &QTimer::timeout, this, &TExchangeLog::Flush);
}

long long TExchangeLog::ElapsedMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start_)
        .count();
}

void TExchangeLog::Begin(connection& conn) {
    start_ = std::chrono::steady_clock::now();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tail_ = ExchangeTail();
        framesSeen_ = 0;
    }
    tracing_ = isVisible();
    if (!tracing_) {
        conn.Trace = nullptr;
        return;
    }
    AddLine("link: " + LinkName(conn));
    conn.Trace = [this](bool sent, const uint8_t* bytes, int length) {
        Frame(sent, bytes, length);
    };
}

void TExchangeLog::Frame(bool sent, const uint8_t* bytes, int length) {
    std::string line = FrameTraceLine(ElapsedMs(), sent, bytes, length);
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++framesSeen_;
        if (sent) {
            if (tail_.sent.size() == static_cast<size_t>(length) &&
                std::equal(tail_.sent.begin(), tail_.sent.end(), bytes))
                ++tail_.sendings;
            else
                tail_.sendings = 1;
            tail_.sent.assign(bytes, bytes + length);
            tail_.received.clear();
        } else {
            tail_.received.assign(bytes, bytes + length);
        }
        wake = pending_.empty();
        pending_.push_back(std::move(line));
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

void TExchangeLog::AddLine(std::string line) {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.push_back(std::move(line));
}

void TExchangeLog::Flush() {
    std::vector<std::string> lines;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lines.swap(pending_);
    }
    if (lines.empty()) return;
    QString text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += QLatin1Char('\n');
        text += QString::fromStdString(lines[i]);
    }
    view_->appendPlainText(text);
}

LinkResult TExchangeLog::CodeFromFrames() const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (tail_.sent.empty()) return lr::Ok;
    const std::vector<uint8_t>& answer = tail_.received;
    if (answer.empty()) return lr::NoAnswer;
    const int length = static_cast<int>(answer.size());
    if (length < kFrameHeader || length < FrameSizeOf(answer.data())) return lr::BadLength;
    if (FrameCheckFails(answer.data())) return lr::BadCheck;
    const uint8_t command = FrameCommand(answer.data());
    if (command != tail_.sent[kFrameCommandAt]) return command == 0 ? 255 : command;
    return lr::Ok;
}

void TExchangeLog::End(connection& conn, LinkResult code, bool framesDecide) {
    if (tracing_) {
        conn.Trace = nullptr;
        tracing_ = false;
        if (framesDecide) code = CodeFromFrames();
        const char* step = framesSeen_ == 0 && code != lr::Ok && code != lr::Cancelled
                               ? "link not opened: "
                               : "outcome: ";
        std::string line = step + ResultText(code, conn.SystemErrorNumber());
        if (framesSeen_ == 0 && !IsTcp(conn) &&
            (conn.SystemErrorNumber() == EACCES || conn.SystemErrorNumber() == EPERM))
            line += " (is the user in group dialout?)";
        AddLine(std::move(line));
    }
    flushTimer_.stop();
    Flush();
}

std::string TExchangeLog::FailureCause(const connection& conn, LinkResult code, bool framesDecide,
                                       uint32_t deviceNumber) const {
    if (framesDecide) code = CodeFromFrames();
    ExchangeTail tail;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tail = tail_;
    }
    const int error = conn.SystemErrorNumber();
    switch (code) {
        case lr::Ok:
        case lr::Cancelled:
            return std::string();
        case lr::NoAnswer:
        case lr::TcpTimeout: {
            const CommandTiming timing = TimingOf(conn.Timings, tail.sent);
            const int attempts = tail.sendings > 0 ? tail.sendings : timing.attempts;
            return usertext::NoAnswerCause(deviceNumber, attempts, timing.timeoutMs);
        }
        case lr::BadCheck:
            return usertext::BadCheckCause(deviceNumber);
        case lr::BadLength:
            return usertext::BrokenAnswerCause(deviceNumber);
        case lr::NotOpen:
            if (IsTcp(conn))
                return usertext::TcpConnectCause(conn.IpAddress, conn.TcpIpPort, error);
            if (error != 0) return usertext::SerialPortProblem(conn.PortName, error);
            return usertext::LinkErrorCause(deviceNumber, code);
        default:
            if (code >= 1 && code <= 255) return usertext::RefusalCause(deviceNumber, code);
            return usertext::LinkErrorCause(deviceNumber, code);
    }
}

QStringList TExchangeLog::Lines() const {
    QStringList lines;
    for (QTextBlock b = view_->document()->begin(); b.isValid(); b = b.next()) {
        if (!b.text().isEmpty() || b.next().isValid()) lines << b.text();
    }
    return lines;
}

void TExchangeLog::SaveToFile() {
    IShellServices::SaveRequest request;
    request.defaultName = QStringLiteral("exchange");
    request.defaultSuffix = QStringLiteral("txt");
    request.filter = QStringLiteral("Текст (*.txt)");
    const QString path = shell_.ChooseSaveFile(this, request);
    if (path.isEmpty()) return;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) return;
    file.write(view_->toPlainText().toUtf8());
    file.write("\n");
}

void TExchangeLog::Clear() {
    view_->clear();
}
