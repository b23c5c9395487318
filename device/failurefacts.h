#pragma once
// What a device command's outcome means for its user, as facts: the message it earns, the cause
// of its failure and the user's next step, each with what it names. The procedures return these;
// app/messages alone turns them into words, so no procedure holds a text.
#include <cstdint>
#include <string>

#include "base/result.h"
#include "link/vr7types.h"

// The message of a device command's outcome.
enum class CommandMessageKind {
    None,                // nothing to show
    NotConnected,        // "VR-7 не подключен!!!"
    SerialPortProblem,   // the same, the serial port (path) did not open (systemError)
    SerialPortGone,      // the same, the serial port (path) went away under the command
    TcpPortOutOfRange,   // the TCP port setting (path holds its value) is out of range
    UnsupportedVersion,  // the firmware (info) does not serve the gateway's files
    ReadError,           // "Ошибка чтения!!!"
    FileNotCreated,      // a local file (path) and why (failure)
    FileNotWritten,
    FileNotSaved,
    FileNotOpened,
    EmptyList,       // "Список SNVT переменных пуст!"
    Stored,          // "Настройки Tervon шлюза сохраненены"
    StoreCancelled,  // "... отменено!"
    WriteProtected,  // the device refused the upload: its write protection is on
    StoreBroken,     // "... прервано!!!"
    BackupNotSaved,  // the backup (path) not written, and why (failure)
    BackupNotRead,   // the device's file not downloaded for the backup
};

struct CommandMessage {
    CommandMessageKind kind = CommandMessageKind::None;
    std::string path;     // the serial device, the local file, or the TCP port setting's value
    int systemError = 0;  // SerialPortProblem: errno of the open
    Failure failure;      // a local file's or a backup's failure
    DeviceInfo info;      // UnsupportedVersion: the device's identification

    bool empty() const { return kind == CommandMessageKind::None; }
};

// The user's next step after a device command failed, a line of its own under the message.
enum class NextStepKind {
    None,                // the message says it, or there is nothing to do
    SettingsIncomplete,  // the device may hold part of the new settings: store again
    UpdateFirmware,
    ReadAgain,
    FixTcpPort,      // the TCP port setting
    CheckTcpLink,    // the IP address, the TCP port and the device's power
    CheckNumber,     // no answer: the device number (deviceNumber) and the port
    CheckLineSpeed,  // a broken answer: the port's speed, the cable and the device number
};

struct NextStepAdvice {
    NextStepKind kind = NextStepKind::None;
    uint32_t deviceNumber = 0;  // the number the command asked for
};

// Why a device command failed, for the status bar's line.
enum class FailureCauseKind {
    None,               // it succeeded or was cancelled
    NoAnswer,           // attempts of timeoutMs each
    BadCheck,           // a wrong check sum
    BrokenAnswer,       // a cut-off or garbled answer
    NoEcho,             // the line was set to hand requests back and did not
    TwoAnswers,         // two devices answer one number
    WriteProtected,     // the device refused to open a file for writing
    NoSuchFile,         // the device refused to open a file for reading
    Refusal,            // the device refused with code
    TcpConnect,         // no TCP connection to host:port (systemError)
    SerialPortProblem,  // the serial port (path) did not open (systemError)
    SerialPortGone,     // the serial port (path) went away
    LinkError,          // any other result of the link (code)
};

struct FailureCauseFacts {
    FailureCauseKind kind = FailureCauseKind::None;
    uint32_t deviceNumber = 0;  // the number the command asked for
    int attempts = 0;
    unsigned timeoutMs = 0;
    LinkResult code = 0;
    std::string host;  // TcpConnect
    std::string port;  // TcpConnect: the TCP port; the serial ones: the device path
    int systemError = 0;

    bool empty() const { return kind == FailureCauseKind::None; }
};
