#pragma once
// The commands that talk to a live device: reading its configuration and gateway settings file,
// and storing the SNVT list into it. Free of any toolkit, so that the window and the command-line
// companion run the very same steps; every user message goes through IMessageSink
// and the window turns the outcome into its own fields.
#include <cstdint>
#include <string>
#include <string_view>

#include "app/messagesink.h"
#include "app/progresssink.h"
#include "cfgtree/cfgtreemodel.h"
#include "cfgtree/vr7cfgtree.h"
#include "link/vr7types.h"

class AtomicFileWriter;
class connection;
class SnvtList;
class XmlDocument;

// The local file names, both in the working directory; on the device the same names are used
// with exactly this letter case.
inline constexpr char kDownloadFileName[] = "duxgate.cfg";
inline constexpr char kUploadFileName[] = "DUXGate.cfg";

// The oldest firmware build that serves the gateway's files.
inline constexpr uint16_t kMinGatewayBuild = 32;

// What a command works on: the window's connection, its device number (a device number 0 is
// replaced by the number of the device that answers) and where its messages go.
struct DeviceCommandTarget {
    connection& conn;
    uint32_t& DeviceNumber;
    IMessageSink& messages;
};

// How the device's gateway settings file came into the list.
enum class GatewayDownload {
    Loaded,       // the list shows the device's file
    NoFile,       // the device refused to open it (it has none): empty list, no message
    LocalFailed,  // the local download file could not be created: nothing was asked of the
                  // device, the list is empty and a message says why
    Broken,  // the transfer or the local copy failed: "Ошибка чтения!!!", list empty
};

enum class DeviceReadOutcome {
    NotConnected,        // "VR-7 не подключен!!!"
    UnsupportedVersion,  // the version message
    ReadFailed,  // "Ошибка чтения!!!"; the tree may hold what was read before the failure
    Read,        // the tree is the device's; see download for the list
};

struct DeviceReadResult {
    DeviceReadOutcome outcome = DeviceReadOutcome::NotConnected;
    LinkResult code = 0;  // the identification's result when NotConnected
    GatewayDownload download = GatewayDownload::NoFile;  // when Read
    DeviceInfo info;  // the identification, when the device answered
    // The user cancelled it (connection::RequestCancel): it ended as NotConnected, ReadFailed or
    // a Broken download does, without a message.
    bool cancelled = false;
};

enum class DeviceStoreOutcome {
    EmptyList,           // "Список SNVT переменных пуст!"
    NotSaved,            // the working copy could not be written (message with the reason)
    NotConnected,        // "VR-7 не подключен!!!"
    UnsupportedVersion,  // the version message
    Stored,              // "Настройки Tervon шлюза сохраненены"
    Protected,           // the write protection message
    Broken,  // "Сохранение настроек Tervon шлюза прервано!!!", or, when the user cancelled it
             // (code lr::Cancelled, or NotConnected with it), "... отменено"
};

struct DeviceStoreResult {
    DeviceStoreOutcome outcome = DeviceStoreOutcome::NotSaved;
    LinkResult code = 0;      // identification's result (NotConnected) or the upload's
    bool identified = false;  // the device answered its identification: info holds it
    DeviceInfo info;
};

// The steps every device command is made of, over a link the caller has opened. They show no
// messages: the commands below and vr7lon turn their results into their own.

// The message for a device command whose first exchange failed with code: the out-of-range TCP
// port setting named with its value, otherwise "VR-7 не подключен!!!" (with a second line naming
// the serial port that did not open or went away, when that is the cause).
Cp1251String LinkFailureText(const connection& conn, LinkResult code);

// The message for a command that broke after the device had answered, its exchange failing with
// code: when the serial port went away under it, "VR-7 не подключен!!!" with the port on a second
// line (the command cannot go on until the adapter is back); otherwise the command's own message
// (otherwise: "Ошибка чтения!!!", the store's "... прервано!!!").
Cp1251String BrokenCommandText(const connection& conn, LinkResult code,
                               const Cp1251String& otherwise);

// Identifies the device: any device while deviceNumber is 0, whose own number is then adopted.
// Returns the identification's result; info holds the answer when it is lr::Ok.
LinkResult IdentifyDevice(connection& conn, uint32_t& deviceNumber, DeviceInfo& info);

// True when the device's firmware serves the gateway's files (build kMinGatewayBuild or later).
bool ServesGatewayFiles(const DeviceInfo& info);

// Reads the device's configuration into tree with the window's options, reporting progress to
// `progress` when given. Partial: an exchange failed; the tree keeps what was read.
TreeBuild ReadDeviceTree(connection& conn, uint32_t deviceNumber, CfgTree& tree,
                         const XmlDocument* catalogue, IProgressSink* progress);

struct FileDownload {
    LinkResult code = 0;  // the transfer's result
    Status local;         // the local file's write (a File failure) when the transfer was whole
    size_t size = 0;      // bytes received
};

// Reads the device's file `name` (Windows-1251) and, only when it came whole, replaces the file
// `out` was opened for with it. A failed or cut-off transfer, and a local file that cannot be
// written, leave that file exactly as it was.
FileDownload DownloadDeviceFile(connection& conn, uint32_t deviceNumber, const std::string& name,
                                AtomicFileWriter& out, ProgressProc progress, void* context);

// Reads the device's file `name` (Windows-1251) whole into bytes; nothing local is touched. bytes
// holds what came even when the transfer failed.
LinkResult ReadDeviceFileBytes(connection& conn, uint32_t deviceNumber, const std::string& name,
                               std::string& bytes, ProgressProc progress, void* context);

// The offset of the first byte where a and b differ (the shorter one's size when it is the other's
// beginning), or std::string::npos when they are the same.
size_t FirstDifference(std::string_view a, std::string_view b);

struct FileVerification {
    LinkResult code = 0;         // the download's result; the comparison holds only when lr::Ok
    bool identical = false;      // the device holds exactly the expected bytes
    size_t firstDifference = 0;  // where they part, when not identical
    size_t deviceSize = 0;       // bytes the device sent
};

// Downloads the device's file `name` and compares it byte for byte with expected.
FileVerification VerifyDeviceFile(connection& conn, uint32_t deviceNumber, const std::string& name,
                                  std::string_view expected, ProgressProc progress, void* context);

// Read from device: opens the link, identifies the device (adopting its number when
// DeviceNumber is 0), checks its version, builds the tree (options 0x89, progress to `progress`,
// which may be null) and loads the device's gateway settings file into the list. The link is
// closed on every path. The list changes only when the tree was read.
DeviceReadResult ReadFromDevice(const DeviceCommandTarget& target, CfgTree& tree, SnvtList& list,
                                const XmlDocument* catalogue, IProgressSink* progress);

// With the link open and the device identified: downloads the device's "duxgate.cfg" into the
// local file of that name and loads it into the list. Only a complete download replaces the
// local file and is loaded; otherwise the earlier local file stays as it was.
GatewayDownload ReadGatewayFileFromDevice(const DeviceCommandTarget& target, SnvtList& list);

// Writes the list to the working copy (by default "DUXGate.cfg" of the working directory) and
// uploads it as the device's "DUXGate.cfg". Only a copy that was written completely is uploaded;
// otherwise the link is never opened.
DeviceStoreResult StoreGatewayFileToDevice(const DeviceCommandTarget& target, const SnvtList& list,
                                           const std::string& workingCopy = kUploadFileName);

// Store into device: refuses an empty list, otherwise StoreGatewayFileToDevice.
DeviceStoreResult Store(const DeviceCommandTarget& target, const SnvtList& list,
                        const std::string& workingCopy = kUploadFileName);
