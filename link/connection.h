#pragma once
// The one object through which the system reaches a device: its settings, its lock and its link.
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "link/connectionsettings.h"
#include "link/linktimings.h"
#include "link/vlink.h"

class connection;

// The port settings dialog as the connection sees it; the window supplies the Qt dialog.
class IPortDialog {
  public:
    virtual ~IPortDialog() = default;
    virtual void SetDevNomEnabled(bool enabled) = 0;
    virtual void Place(int left, int top) = 0;
    // Fills the controls from conn, runs modally; OK writes the values back into conn's fields.
    virtual int ShowModal(connection& conn) = 0;
    // The device-number field's text, Windows-1251/ASCII.
    virtual std::string DevNomText() const = 0;
};

// Which way a traced frame went: the request, an answer (or what came of one), or the request as
// the line handed it back (local echo).
enum class FrameWay : uint8_t { Sent, Received, Echo };

// Every frame sent or received, with its bytes as they crossed the link (a broken answer is
// passed as far as it came), for tracing.
using FrameTrace = std::function<void(FrameWay way, const uint8_t* bytes, int length)>;

// What an exchange asks of its answer beyond a whole frame.
struct AnswerRules {
    // Whether the answer (whole, with good check bytes) has a length and layout the request's
    // command can answer with; one that has not is garbled (lr::Garbled) and the attempt is
    // repeated. Null: any frame is taken.
    bool (*fits)(const uint8_t* request, const uint8_t* response) = nullptr;
    // After the answer the line is listened to for a moment (LinkTimings::secondAnswerMs), once
    // for a link (its first answer): a second whole answer means two devices answer one number
    // (lr::TwoAnswers). For the identification, whose answer decides which device a command
    // works with.
    bool listenForSecond = false;
};

class connection {
  public:
    connection() = default;
    ~connection();
    connection(const connection&) = delete;
    connection& operator=(const connection&) = delete;

    // The settings in the forms the ini writes them (see ConnectionSettings): the port's name
    // ("TCP/IP" or a serial port), the TCP port's text.
    std::string PortName = "COM1";
    std::string TcpIpPort = "10001";
    std::string IpAddress = "192.168.0.1";
    uint32_t Speed = 9600;
    uint32_t DeviceNumber = 0;
    // The serial line's echo; a TCP/IP link never has one.
    LineEcho Echo = LineEcho::Auto;
    // Every wait of the protocol and of the links this connection opens.
    LinkTimings Timings;

    // The fields above as one value, and set from one.
    ConnectionSettings Settings() const;
    void Apply(const ConnectionSettings& settings);

    // The ini's [CONNECTION] keys but the device number (ConnectionSettings::ReadIni).
    void LoadSettings(const std::string& iniPath);
    // False when a key could not be written (or the lock was held).
    bool SaveSettings(const std::string& iniPath);
    // Shows the dialog under the lock; afterwards *deviceNumber = the dialog's device-number text
    // as an unsigned decimal (ParseDeviceNumber; 0 when it is not one), whichever button closed
    // it.
    void ShowPortDialog(IPortDialog& dialog, int left, int top, uint32_t* deviceNumber,
                        bool deviceNumberEditable);

    LinkResult Open();
    LinkResult OpenComLink(const std::string& portName, uint32_t speed);
    // 1019 without connecting when tcpPort is no decimal number from 1 to 65535.
    LinkResult OpenTcpIpLink(const std::string& host, const std::string& tcpPort);
    void Close();

    // One request and its response over the current link (see vr7prot.h for the frame). The
    // request's echo, when the line has one, is read and checked first (lr::NoEcho when it does
    // not come back whole); a whole second answer to the request before this one fails this
    // exchange before it writes (lr::TwoAnswers).
    LinkResult Transact(const uint8_t* request, int requestLength, uint8_t* response,
                        int responseCapacity, unsigned timeoutMs, uint8_t attempts,
                        const AnswerRules& rules = {});
    // Whether the current link was found to hand requests back (set to, or judged "auto").
    bool EchoFound() const { return echo_ == EchoState::Found; }

    // Asks the command under way to stop between two exchanges: from now on every Transact
    // returns lr::Cancelled before it writes, until ClearCancel(). The request outlives the link,
    // so one made before the command opened its link still counts. Any thread may call these.
    void RequestCancel() { cancelRequested_.store(true); }
    void ClearCancel() { cancelRequested_.store(false); }
    bool CancelRequested() const { return cancelRequested_.load() && !cancelHeld_.load(); }
    // A step that must not stop halfway (an upload, which would leave the device a part of its
    // new file) holds the cancel while it lives: a request made meanwhile is kept, not acted on,
    // and counts again once the hold ends.
    class CancelHold {
      public:
        explicit CancelHold(connection& conn) : conn_(conn) { conn_.cancelHeld_.store(true); }
        ~CancelHold() { conn_.cancelHeld_.store(false); }
        CancelHold(const CancelHold&) = delete;
        CancelHold& operator=(const CancelHold&) = delete;

      private:
        connection& conn_;
    };

    CLink* Link() const { return link_.get(); }
    // The errno of the last exchange that failed with 1020, or of the last failed open (0: none,
    // or the failure had none), kept after the link is closed so that the message can name the
    // cause.
    int SystemErrorNumber() const { return systemError_; }
    // The result of the last exchange that failed since the link was opened (0: none did), so
    // that a command that ended in failure can name its cause.
    LinkResult LastFailedExchange() const { return lastFailedExchange_; }
    void NoteFailedExchange(LinkResult result) {
        lastFailedExchange_ = result;
        if (ExchangeFailed) ExchangeFailed(result);
    }
    // Every exchange that fails, with its result, for tracing (called on the exchange's thread).
    std::function<void(LinkResult)> ExchangeFailed;
    // Replaces the link by one made elsewhere (tests); takes the lock.
    LinkResult SetLink(std::unique_ptr<CLink> link);

    // The non-recursive lock. TryLock fails while it is held: with one thread a wait could never
    // succeed, so a held lock is reported (1005) instead of waiting forever.
    bool TryLock();
    void Unlock();
    bool Locked() const { return locked_.load(); }

    // Holds the lock for one operation; owns() is false when it was already held, and then the
    // operation must do nothing (and never release a lock it did not take).
    class LockHolder {
      public:
        explicit LockHolder(connection& conn) : conn_(conn), owns_(conn.TryLock()) {}
        ~LockHolder() {
            if (owns_) conn_.Unlock();
        }
        LockHolder(const LockHolder&) = delete;
        LockHolder& operator=(const LockHolder&) = delete;
        bool owns() const { return owns_; }

      private:
        connection& conn_;
        bool owns_;
    };

    // Opens the link for one piece of work with the device and closes it on every way out. The
    // open's result is not looked at here: a link that failed to open makes the first request
    // fail with that result, before anything is written.
    class OpenedLink {
      public:
        explicit OpenedLink(connection& conn) : conn_(conn) { conn_.Open(); }
        ~OpenedLink() { conn_.Close(); }
        OpenedLink(const OpenedLink&) = delete;
        OpenedLink& operator=(const OpenedLink&) = delete;

      private:
        connection& conn_;
    };

    FrameTrace Trace;

  private:
    // Replaces the link (the old one lets go of its port first) and opens the new one, or, when
    // refused is not 0, keeps it unopened with that result for the next exchange. serial: the
    // echo setting applies to it.
    LinkResult OpenLink(std::unique_ptr<CLink> link, bool serial, LinkResult refused = lr::Ok);

    // Lets in and drops what the device still sends for attempts that timed out, until the line
    // has been quiet for the timeout of the exchange they belonged to; 1017 when it never falls
    // quiet within the time those answers can take, a link failure as the read gives it. Nothing
    // is owed afterwards when settle is set or the device was heard.
    LinkResult DropLateAnswers(CLink& link, bool settle);
    // Reads the request's echo back; lr::NoEcho when it does not come whole and unchanged by
    // deadline.
    LinkResult ReadEcho(CLink& link, const uint8_t* request, int requestLength,
                        std::chrono::steady_clock::time_point deadline);
    // Reads a second answer whose first bytes may already have come (what the buffer holds):
    // lr::TwoAnswers when a whole frame with good check bytes comes by its wire time after
    // waitUntil, lr::Ok otherwise (nothing, noise, a frame cut short). Only a link failure is
    // passed on.
    LinkResult SecondAnswer(CLink& link, std::chrono::steady_clock::time_point waitUntil);

    // Attempts that ran out of time since the line was last known quiet: their answers may still
    // come.
    struct LateAnswers {
        int owed = 0;
        std::chrono::microseconds quiet{0};       // how long the line must be quiet
        std::chrono::microseconds answerTime{0};  // the longest any of those answers may take
    };

    // The echo of the current link: not looked for (setting off, or TCP/IP), looked for on
    // every exchange, or not known yet (auto: the first frame that comes decides).
    enum class EchoState : uint8_t { None, Found, Unknown };
    void ResetLineState(bool serial);

    std::unique_ptr<CLink> link_;
    LateAnswers lateAnswers_;
    EchoState echo_ = EchoState::None;
    // The last exchange ended with a whole answer: what comes after it, before the next request
    // goes out, is a second answer or noise.
    bool answered_ = false;
    bool heardOnce_ = false;                // an exchange on this link has had its answer
    std::array<uint8_t, 1024> previous_{};  // the request of that last whole answer
    LinkResult openResult_ = lr::Ok;        // of the current link's open
    std::atomic<bool> locked_{false};       // taken by one thread at a time, whichever it is
    LinkResult lastFailedExchange_ = lr::Ok;
    int systemError_ = 0;
    std::atomic<bool> cancelRequested_{false};
    std::atomic<bool> cancelHeld_{false};
};
