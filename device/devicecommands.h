#pragma once
// The commands that talk to a live device: one procedure per device action (identify, read the
// configuration and the gateway settings file, store the SNVT list and verify what the device
// holds), each returning its outcome. Free of any toolkit, so that the window, "vr7lon device" and
// "vr7lon fleet" run the very same steps; each chooses its texts from the outcome (app/messages).
// The window's commands (ReadFromDevice, Store) return the facts of the window's message with
// their outcome (device/failurefacts.h); the window puts them into words and its own fields.
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/progresssink.h"
#include "base/result.h"
#include "cfgtree/cfgtreemodel.h"
#include "cfgtree/vr7cfgtree.h"
#include "device/failurefacts.h"
#include "link/vr7types.h"

class AtomicFileWriter;
class BackupHold;
struct BackupDevice;
struct BackupPolicy;
class connection;
class SnvtList;
class XmlDocument;

// The local file names, both in the working directory; on the device the same names are used
// with exactly this letter case.
inline constexpr char kDownloadFileName[] = "duxgate.cfg";
inline constexpr char kUploadFileName[] = "DUXGate.cfg";

// The oldest firmware build that serves the gateway's files.
inline constexpr uint16_t kMinGatewayBuild = 32;

// What a command works on: the window's connection and its device number (a device number 0 is
// replaced by the number of the device that answers).
struct DeviceCommandTarget {
    connection& conn;
    uint32_t& DeviceNumber;
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
    // a Broken download does, without a message, and the list was left as it was.
    bool cancelled = false;
    CommandMessage message;  // the window's message, none when there is nothing to show
    NextStepAdvice next;     // the line under it
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
    BackupFailed,  // the device's file was not kept (BackupFailureText): nothing was uploaded
};

struct DeviceStoreResult {
    DeviceStoreOutcome outcome = DeviceStoreOutcome::NotSaved;
    LinkResult code = 0;      // identification's result (NotConnected) or the upload's
    bool identified = false;  // the device answered its identification: info holds it
    DeviceInfo info;
    // The upload had begun when it failed or was cancelled: the device may hold part of the file.
    bool uploadBegun = false;
    // BackupFailed: the device's file could not be downloaded (not cancelled); there is no
    // message, and the user may choose to store without a backup.
    bool askWithoutBackup = false;
    CommandMessage message;  // the window's message, none when there is nothing to show
    NextStepAdvice next;     // the line under it
};

// Where a device procedure stopped when it failed.
enum class DeviceStep {
    Done,       // it did not fail
    List,       // store: the list is empty (Invalid)
    Save,       // store: the working copy could not be written (File, or Invalid: a row refused)
    Open,       // store: the working copy could not be opened for the upload (File)
    Identify,   // the identification: Link (Cancelled when the user cancelled), or TooOld
    Tree,       // read: an exchange of the configuration read (Link, Cancelled)
    TreeKept,   // read: what the caller keeps of the tree failed (its own Failure)
    LocalFile,  // read: the local download file could not be made (File): nothing was asked
    Download,   // read: the transfer (Link, Cancelled), or its local copy not written (File)
    Backup,     // store: the device's file not kept before the upload: the backups folder or the
                // backup not written (File), the download (Link, Cancelled); nothing was uploaded
    Upload,     // store: the upload (Link: lr::BadArgument when the device is write-protected)
    Check,      // verify (and store with verify): the working copy not read back (File), the
                // device's file not downloaded (Link: lr::BadArgument, the device has none) or
                // not the same (Mismatch)
};

// What every device procedure tells: its status, where it failed and the identification once
// the device answered.
struct DeviceOutcome {
    Status status;
    DeviceStep step = DeviceStep::Done;
    bool identified = false;  // the device answered its identification: info holds it
    DeviceInfo info;
};

// The link's result as a Failure: lr::Cancelled is the user's cancel, any other a Link failure.
Failure LinkFailure(LinkResult code);
// The link's result a Failure stands for: Link its code, Cancelled lr::Cancelled, else lr::Ok.
LinkResult LinkCodeOf(const Failure& failure);

// The message for a device command whose first exchange failed with code: the out-of-range TCP
// port setting named with its value, otherwise "VR-7 не подключен!!!" (with a second line naming
// the serial port that did not open or went away, when that is the cause).
CommandMessage LinkFailureMessage(const connection& conn, LinkResult code);

// The message for a command that broke after the device had answered, its exchange failing with
// code: when the serial port went away under it, "VR-7 не подключен!!!" with the port on a second
// line (the command cannot go on until the adapter is back); otherwise the command's own message
// (otherwise: ReadError, the store's StoreBroken).
CommandMessage BrokenCommandMessage(const connection& conn, LinkResult code,
                                    CommandMessageKind otherwise);

// What a command needs of the device's firmware.
enum class Firmware {
    Any,
    GatewayFiles,  // it serves the gateway's files (build kMinGatewayBuild or later)
};

// Identifies the device on the open link: any device while deviceNumber is 0, whose own number
// is then adopted. info holds the answer whenever the device answered (also when it is too old).
// Failure: Link (Cancelled when the user cancelled), TooOld (need is GatewayFiles and the
// firmware does not serve them).
Status IdentifyDevice(connection& conn, uint32_t& deviceNumber, DeviceInfo& info,
                      Firmware need = Firmware::Any);

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
                                AtomicFileWriter& out, IProgressSink* progress);

// Reads the device's file `name` (Windows-1251) whole into bytes; nothing local is touched. bytes
// holds what came even when the transfer failed.
LinkResult ReadDeviceFileBytes(connection& conn, uint32_t deviceNumber, const std::string& name,
                               std::string& bytes, IProgressSink* progress);

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
                                  std::string_view expected, IProgressSink* progress);

// A read: the identification, the configuration and the device's gateway settings file.
struct DeviceRead : DeviceOutcome {
    bool fileFound = false;  // the device has a duxgate.cfg (it did not refuse to open it)
    size_t fileSize = 0;     // its bytes, when it came whole
};

// With the link open and the device identified: downloads the device's "duxgate.cfg" into the
// file at path, which is made ready first (a download with nowhere to go is not asked for) and
// replaced only by a whole copy; with path empty, into memory only. A device that refuses to
// open it has none: fileFound false, and no failure. Failure: LocalFile (File: path could not be
// made), Download (Link or Cancelled: the transfer; File: the copy could not be written).
DeviceRead DownloadGatewayFile(connection& conn, uint32_t deviceNumber, const std::string& path);

struct DeviceReadRequest {
    const XmlDocument* catalogue = nullptr;  // for the tree's variables
    IProgressSink* progress = nullptr;       // the tree read's progress, when given
    std::string downloadPath;                // see DownloadGatewayFile
    // Called with the complete tree before the download; its failure ends the read (TreeKept).
    std::function<Status(const CfgTree&)> keepTree;
};

// Read from device: opens the link, identifies the device (adopting its number when deviceNumber
// is 0; its firmware must serve the gateway's files), reads the configuration into tree
// (options 0x89) and downloads the device's gateway settings file (DownloadGatewayFile). The link
// is closed on every path; a failed tree read leaves in tree what was read.
DeviceRead ReadDevice(connection& conn, uint32_t& deviceNumber, CfgTree& tree,
                      const DeviceReadRequest& request);

// The device's gateway settings file as it was before a store: what the preview compares with
// and the backup keeps.
struct DeviceBackup {
    bool read = false;     // the device was asked for its file and answered
    bool hadFile = false;  // it has a duxgate.cfg (it did not answer that it has no such file)
    std::string bytes;     // its bytes, when it has one
    std::string path;      // the backup written of them, when asked for and the device had one
    // The backup held for as long as this (or a copy) lives, so that no other store's pruning
    // removes it before it is reported.
    std::shared_ptr<BackupHold> hold;
};

// The device on the connection's line as its backups are filed: the line (DeviceEndpoint's
// LineName) and the number.
BackupDevice BackupDeviceOf(const connection& conn, uint32_t deviceNumber);

// With the link open and the device identified: downloads the device's "duxgate.cfg" into
// backup.bytes and, with a policy, keeps it as the device's newest backup (app/backups.h), filed
// under the connection's line and the number, taken at now. Only the device's answer that it has
// no such file (lr::BadArgument on the download: refusal code kRefusedNoSuchFile) means it has
// none: hadFile false, nothing is written. Any other refusal, a malformed answer or a broken
// transfer is a failure, so that no store goes on as though there were nothing to keep.
// Failure: Link or Cancelled (the download), File (the backup not written).
Status TakeBackup(connection& conn, uint32_t deviceNumber, const BackupPolicy* policy,
                  std::time_t now, DeviceBackup& backup, IProgressSink* progress);

// What the device holds before a store, for the preview (and "store --dry-run"): opens the link,
// identifies the device (its firmware must serve the gateway's files) and takes the backup
// (TakeBackup; with policy null, into memory only). The backups folder is made ready before the
// link is opened. Failure: Identify, or Backup.
struct DeviceCurrentFile : DeviceOutcome {
    DeviceBackup backup;
};
DeviceCurrentFile ReadCurrentGatewayFile(connection& conn, uint32_t& deviceNumber,
                                         const BackupPolicy* policy, IProgressSink* progress);

// A store, and with verify the check of what the device then holds.
struct DeviceStore : DeviceOutcome {
    size_t size = 0;         // the bytes of the working copy, once read back for the check
    FileVerification check;  // Check: the check download
    DeviceBackup backup;     // with a backup policy: the device's file before the upload
};

struct StoreRequest {
    std::string workingCopy = kUploadFileName;  // where the list is written for the upload
    bool verify = false;  // download the device's DUXGate.cfg and compare it with the copy
    IProgressSink* progress = nullptr;  // the backup's and the check download's progress
    // The upload's progress, first told (fraction 0) as the upload begins. From then until it
    // has ended the upload is not cancelled: a cancel asked for meanwhile waits for its end.
    IProgressSink* uploadProgress = nullptr;
    // When given, the device's duxgate.cfg is kept as a backup before the upload, which goes on
    // only once the backup is on disk. Without one the store's frames are a store's alone.
    const BackupPolicy* backup = nullptr;
    // When given, the working copy holds exactly these bytes (a backup stored back as the device
    // held it, checked by ReadBackupForRestore) instead of the list's rows; the list is not used.
    std::optional<std::string> asIs;
};

// Store into device: refuses an empty list, writes the list to the working copy and uploads it
// as the device's "DUXGate.cfg" after identifying the device (its firmware must serve the
// gateway's files). Only a copy that was written completely is uploaded; otherwise the link is
// never opened. With a backup policy its folder is made ready before the link is opened, and the
// device's file is kept (TakeBackup) between the identification and the upload; a backup that
// fails ends the store with the device untouched. With verify, the working copy is then read back
// and compared byte for byte with the device's DUXGate.cfg, on a link opened anew.
DeviceStore StoreAndVerify(connection& conn, uint32_t& deviceNumber, const SnvtList& list,
                           const StoreRequest& request);

// The line under the window's message of a failed device command that names the user's next step:
// check the device number and the port, the connection settings, the cable, update the firmware,
// store again; None when the message already says what to do (a serial port's problem, the write
// protection, a local file) or there is nothing to do (success). deviceNumber is the number the
// command asked for.
NextStepAdvice NextStep(const connection& conn, uint32_t deviceNumber,
                        const DeviceOutcome& outcome);

// The message of a backup that failed: the folder or file not written with the reason, or the
// download's failure; each says that the device's settings were not changed.
CommandMessage BackupFailureMessage(const connection& conn, const Failure& failure);

// The message of a preview's read that failed: the identification's, or the backup's
// (BackupFailureMessage); none when it did not fail.
CommandMessage CurrentFileMessage(const connection& conn, const DeviceCurrentFile& outcome);

// The window's message for a store's outcome: the store's part of it (Stored for a store that
// went on to its check).
CommandMessage StoreMessage(const connection& conn, const DeviceStore& outcome,
                            const std::string& workingCopy);

// A verification of the device's gateway settings file.
struct DeviceVerify : DeviceOutcome {
    FileVerification check;
};

// Verify: opens the link, identifies the device (its firmware must serve the gateway's files),
// downloads its "duxgate.cfg" and compares it byte for byte with expected (what a store of the
// local file puts there: StoredGatewayText). Failure: Identify, or Check (Link: lr::BadArgument,
// the device has no duxgate.cfg; Mismatch: at the first difference).
DeviceVerify VerifyGatewayFile(connection& conn, uint32_t& deviceNumber, std::string_view expected,
                               IProgressSink* progress);

// Read from device for the window: ReadDevice into downloadPath (the working directory's
// "duxgate.cfg" unless given), its message returned, and the file loaded into the list. The list
// changes only when the tree was read.
DeviceReadResult ReadFromDevice(const DeviceCommandTarget& target, CfgTree& tree, SnvtList& list,
                                const XmlDocument* catalogue, IProgressSink* progress,
                                const std::string& downloadPath = kDownloadFileName);

// With the link open and the device identified: downloads the device's "duxgate.cfg" into the
// local file of that name and loads it into the list. Only a complete download replaces the
// local file and is loaded; otherwise the earlier local file stays as it was. message, when
// given, receives the window's message of a failure.
GatewayDownload ReadGatewayFileFromDevice(const DeviceCommandTarget& target, SnvtList& list,
                                          CommandMessage* message = nullptr);

// Store into device for the window: StoreAndVerify without the check, its message returned; with
// a backup policy the device's file is kept first. backup, when given, receives what was kept;
// asIs, when given, is uploaded instead of the list's rows (StoreRequest::asIs). A backup whose
// download failed has no message: the window asks whether to store without one (BackupFailed
// with askWithoutBackup).
// progress: the backup's download and the upload (StoreRequest's progress and uploadProgress).
struct StoreProgress {
    IProgressSink* backup = nullptr;
    IProgressSink* upload = nullptr;
};
DeviceStoreResult Store(const DeviceCommandTarget& target, const SnvtList& list,
                        const std::string& workingCopy = kUploadFileName,
                        const BackupPolicy* policy = nullptr, DeviceBackup* backup = nullptr,
                        const std::optional<std::string>& asIs = std::nullopt,
                        const StoreProgress& progress = {});
