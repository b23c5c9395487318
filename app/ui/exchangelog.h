#pragma once
// The exchange log: a dock under the list with a line per frame of a device command (as vr7lon's
// --trace prints it, in the window's words), the opening of the link and the outcome. It records
// whether it is shown or not, so that the frames of a failed command are there when it is opened.
// The worker thread adds lines to a guarded buffer; they reach the view in batches, at most every
// 50 ms and at the command's end.
#include <QAbstractListModel>
#include <QDockWidget>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "device/failurecause.h"
#include "link/connection.h"
#include "link/vr7types.h"

class QListView;
class IShellServices;
class IUserMessages;

// A line of the log as it is kept: a frame's bytes are made into text only when the line is
// shown, copied or saved, so that the worker pays for a copy of the bytes alone.
struct ExchangeLogEntry {
    enum Kind : uint8_t { Text, Sent, Received, Echo };
    Kind kind = Text;
    long long elapsedMs = 0;
    std::string data;  // the text, or the frame's bytes
};
std::string ExchangeLogLine(const ExchangeLogEntry& entry);

// The lines on show, at most `limit`: the oldest go first.
class ExchangeLogModel : public QAbstractListModel {
  public:
    explicit ExchangeLogModel(int limit, QObject* parent)
        : QAbstractListModel(parent), limit_(limit) {}
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    void Append(std::vector<ExchangeLogEntry>&& batch);
    void Clear();
    const std::deque<ExchangeLogEntry>& Entries() const { return entries_; }
    // Every line is as wide as the longest seen, in cells of this size (a character of the
    // view's fixed-pitch font): the view, which measures one line for all, then scrolls to the
    // end of every line.
    void SetCharCell(QSize cell) { cell_ = cell; }

  private:
    int limit_;
    std::deque<ExchangeLogEntry> entries_;
    QSize cell_;
    int longest_ = 0;  // characters of the longest line appended since the last Clear
};

class ExchangeLogDock : public QDockWidget {
    Q_OBJECT
  public:
    static constexpr int kMaxLines = 20000;

    // A file the log cannot be saved into is said through messages.
    ExchangeLogDock(IShellServices& shell, IUserMessages& messages, QWidget* parent);

    // Starts a command: its time begins, and the connection's trace comes here.
    void Begin(connection& conn);
    // Ends it: the outcome line, the trace removed, everything flushed.
    // code is the command's result when known, else taken from the frames (Ok: it succeeded).
    void End(connection& conn, LinkResult code, bool framesDecide);
    // The last exchange of the command as its frames showed it,
    // for naming the cause of its failure (app/failurecause.h).
    ExchangeTail Tail() const;

    // Any thread.
    void AddLine(std::string line);
    void Flush();

    QStringList Lines() const;
    QListView* View() const { return view_; }
    // The selected lines to the clipboard, one a line, in the log's order.
    void CopySelection();
    void SaveToFile();
    void Clear();

  private:
    void Frame(FrameWay way, const uint8_t* bytes, int length);
    long long ElapsedMs() const;
    IShellServices& shell_;
    IUserMessages& messages_;
    QListView* view_ = nullptr;
    ExchangeLogModel* model_ = nullptr;
    QTimer flushTimer_;
    std::chrono::steady_clock::time_point start_;
    bool tracing_ = false;
    int framesSeen_ = 0;
    mutable std::mutex mutex_;
    // The lines not yet flushed: their bytes, one after another, in pendingBytes_.
    struct PendingLine {
        ExchangeLogEntry::Kind kind;
        long long elapsedMs;
        size_t offset;
        size_t length;
    };
    void Keep(ExchangeLogEntry::Kind kind, long long elapsedMs, const char* bytes, size_t length);
    std::vector<PendingLine> pending_;
    std::string pendingBytes_;
    bool flushPosted_ = false;  // a flush is on its way to the window's thread
    ExchangeTail tail_;
};
