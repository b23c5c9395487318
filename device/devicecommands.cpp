#include "device/devicecommands.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <sstream>

#include "base/atomicfilewriter.h"
#include "base/syserror.h"
#include "base/u8path.h"
#include "base/wholefile.h"
#include "device/backups.h"
#include "device/deviceendpoint.h"
#include "gateway/gatewayfile.h"
#include "gateway/snvtlist.h"
#include "link/comlink.h"
#include "link/connection.h"
#include "link/connectionkeys.h"
#include "link/resulttext.h"
#include "link/vr7prot.h"

namespace {

// A local file of the working directory as the user finds it.
std::string WorkingPath(const std::string& name) {
    std::error_code ec;
    const auto path = std::filesystem::absolute(PathFromUtf8(name), ec);
    return ec ? std::string(name) : Utf8FromPath(path);
}

// A local file's failure, the file named as the user finds it.
CommandMessage FileMessage(CommandMessageKind kind, const std::string& path,
                           const Failure& failure) {
    CommandMessage message;
    message.kind = kind;
    message.path = WorkingPath(path);
    message.failure = failure;
    return message;
}

CommandMessage MessageOf(CommandMessageKind kind) {
    CommandMessage message;
    message.kind = kind;
    return message;
}

// Ends an outcome with its failure at step; returns it for the caller to return.
template <class Outcome>
Outcome& Fail(Outcome& outcome, DeviceStep step, Failure failure) {
    outcome.status = std::move(failure);
    outcome.step = step;
    return outcome;
}

// Identifies the device for a procedure, recording the answer in outcome; false, with the
// outcome failed, when the procedure cannot go on.
bool Identify(connection& conn, uint32_t& deviceNumber, DeviceOutcome& outcome) {
    const Status status = IdentifyDevice(conn, deviceNumber, outcome.info, Firmware::GatewayFiles);
    outcome.identified = status.ok() || status.failure().kind == FailureKind::TooOld;
    if (status) return true;
    Fail(outcome, DeviceStep::Identify, status.failure());
    return false;
}

// The message of a failed identification: the version message for a firmware that is too old,
// otherwise the link's.
CommandMessage IdentifyFailureMessage(const connection& conn, const DeviceOutcome& outcome) {
    const Failure& failure = outcome.status.failure();
    if (failure.kind != FailureKind::TooOld) return LinkFailureMessage(conn, failure.code);
    CommandMessage message = MessageOf(CommandMessageKind::UnsupportedVersion);
    message.info = outcome.info;
    return message;
}

// The window's message of a read's failure, empty when there is none to show.
CommandMessage ReadMessage(const connection& conn, const DeviceRead& read) {
    if (read.status) return {};
    const Failure& failure = read.status.failure();
    if (failure.kind == FailureKind::Cancelled) return {};
    switch (read.step) {
        case DeviceStep::Identify:
            return IdentifyFailureMessage(conn, read);
        case DeviceStep::LocalFile:
            return FileMessage(CommandMessageKind::FileNotCreated, failure.path, failure);
        case DeviceStep::Download:
            if (failure.kind == FailureKind::File)
                return FileMessage(CommandMessageKind::FileNotWritten, failure.path, failure);
            return BrokenCommandMessage(conn, failure.code, CommandMessageKind::ReadError);
        default:
            // The tree read: the exchange that failed decides.
            return BrokenCommandMessage(conn, conn.LastFailedExchange(),
                                        CommandMessageKind::ReadError);
    }
}

// How the gateway settings file of a read came into the list.
GatewayDownload DownloadOf(const DeviceRead& read) {
    if (read.status) return read.fileFound ? GatewayDownload::Loaded : GatewayDownload::NoFile;
    if (read.step == DeviceStep::LocalFile || read.status.failure().kind == FailureKind::File)
        return GatewayDownload::LocalFailed;
    return GatewayDownload::Broken;
}

// After a read's download into path: the list shows the device's file, or nothing.
void LoadDownload(const DeviceRead& read, SnvtList& list, const std::string& path) {
    if (DownloadOf(read) == GatewayDownload::Loaded) {
        // The device's own file never holds more rows than the list; should one, the rows that
        // fit are shown.
        (void)LoadGatewayFileAt(list, path);
    } else {
        // An empty or partial list must not pass for the device's settings, or storing it
        // would overwrite them.
        list.Clear();
    }
}

// The serial port went away under the command whose exchange failed with code.
bool PortGone(const connection& conn, LinkResult code) {
    return conn.PortName != connkeys::kTcpIpPortName &&
           PortDisappeared(code, conn.SystemErrorNumber());
}

// "VR-7 не подключен!!!" with the serial port named on a second line: kind says why.
CommandMessage SerialPortMessage(const connection& conn, CommandMessageKind kind) {
    CommandMessage message = MessageOf(kind);
    message.path = CComLink::PortText(conn.PortName);
    message.systemError = conn.SystemErrorNumber();
    return message;
}

}  // namespace

CommandMessage BrokenCommandMessage(const connection& conn, LinkResult code,
                                    CommandMessageKind otherwise) {
    return PortGone(conn, code) ? SerialPortMessage(conn, CommandMessageKind::SerialPortGone)
                                : MessageOf(otherwise);
}

CommandMessage LinkFailureMessage(const connection& conn, LinkResult code) {
    if (code == lr::BadTcpPort) {
        CommandMessage message = MessageOf(CommandMessageKind::TcpPortOutOfRange);
        message.path = conn.TcpIpPort;
        return message;
    }
    if (PortGone(conn, code)) return SerialPortMessage(conn, CommandMessageKind::SerialPortGone);
    // A serial port that would not open says why on a second line.
    if (code == lr::NotOpen && conn.SystemErrorNumber() != 0 &&
        conn.PortName != connkeys::kTcpIpPortName)
        return SerialPortMessage(conn, CommandMessageKind::SerialPortProblem);
    return MessageOf(CommandMessageKind::NotConnected);
}

Failure LinkFailure(LinkResult code) {
    return code == lr::Cancelled ? Failure::Of(FailureKind::Cancelled) : Failure::OfLink(code);
}

LinkResult LinkCodeOf(const Failure& failure) {
    if (failure.kind == FailureKind::Link) return failure.code;
    return failure.kind == FailureKind::Cancelled ? lr::Cancelled : lr::Ok;
}

Status IdentifyDevice(connection& conn, uint32_t& deviceNumber, DeviceInfo& info, Firmware need) {
    const uint32_t address = deviceNumber == 0 ? AnyDeviceAddress : deviceNumber;
    const LinkResult code = ReadDeviceInfo(conn, address, info);
    if (code != lr::Ok) return LinkFailure(code);
    if (deviceNumber == 0) deviceNumber = info.DeviceNumber();
    if (need == Firmware::GatewayFiles && !ServesGatewayFiles(info))
        return Failure::Of(FailureKind::TooOld);
    return {};
}

bool ServesGatewayFiles(const DeviceInfo& info) {
    return info.VersionBuild() >= kMinGatewayBuild;
}

TreeBuild ReadDeviceTree(connection& conn, uint32_t deviceNumber, CfgTree& tree,
                         const XmlDocument* catalogue, IProgressSink* progress) {
    const Status built =
        BuildTreeFromDevice(tree, conn, deviceNumber, progress, catalogue, kWindowTreeOptions);
    return built ? TreeBuild::Complete : TreeBuild::Partial;
}

LinkResult ReadDeviceFileBytes(connection& conn, uint32_t deviceNumber, const std::string& name,
                               std::string& bytes, IProgressSink* progress) {
    std::ostringstream stream;
    const LinkResult code = ReadDeviceFile(conn, deviceNumber, &stream, name.c_str(), progress);
    bytes = std::move(stream).str();
    return code;
}

namespace {

// A download's bytes going straight into a file writer, block by block as they come; the first
// failure of the writer is kept and the rest goes nowhere.
// A stream buffer that takes every byte as it is written, one block at a time, holding none.
class BlockSink : public std::streambuf {
  protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        const char byte = traits_type::to_char_type(c);
        xsputn(&byte, 1);
        return c;
    }
};

class WriterBuffer : public BlockSink {
  public:
    explicit WriterBuffer(AtomicFileWriter& out) : out_(out) {}
    const Status& Written() const { return status_; }
    size_t Size() const { return size_; }

  protected:
    std::streamsize xsputn(const char* data, std::streamsize n) override {
        if (status_) status_ = out_.Write(std::string_view(data, static_cast<size_t>(n)));
        size_ += static_cast<size_t>(n);
        return n;
    }

  private:
    AtomicFileWriter& out_;
    Status status_;
    size_t size_ = 0;
};

// A download compared with the bytes expected as it comes, keeping nothing of it.
class CompareBuffer : public BlockSink {
  public:
    explicit CompareBuffer(std::string_view expected) : expected_(expected) {}
    size_t Size() const { return size_; }
    size_t FirstDifference() const { return first_; }  // npos: none so far

  protected:
    std::streamsize xsputn(const char* data, std::streamsize n) override {
        const size_t count = static_cast<size_t>(n);
        if (first_ == std::string::npos) {
            const size_t common =
                size_ < expected_.size() ? std::min(count, expected_.size() - size_) : 0;
            const auto [at, ignored] =
                std::mismatch(data, data + common, expected_.begin() + static_cast<long>(size_));
            if (at != data + common)
                first_ = size_ + static_cast<size_t>(at - data);
            else if (common < count)
                first_ = expected_.size();  // the device holds more
        }
        size_ += count;
        return n;
    }

  private:
    std::string_view expected_;
    size_t size_ = 0;
    size_t first_ = std::string::npos;
};

}  // namespace

FileDownload DownloadDeviceFile(connection& conn, uint32_t deviceNumber, const std::string& name,
                                AtomicFileWriter& out, IProgressSink* progress) {
    FileDownload result;
    WriterBuffer buffer(out);
    std::ostream stream(&buffer);
    result.code = ReadDeviceFile(conn, deviceNumber, &stream, name.c_str(), progress);
    result.size = buffer.Size();
    if (result.code != lr::Ok) return result;  // out's file stays; the writer discards its copy
    result.local = buffer.Written();
    if (result.local) result.local = out.Commit();
    return result;
}

size_t FirstDifference(std::string_view a, std::string_view b) {
    const size_t common = std::min(a.size(), b.size());
    const auto [ia, ib] = std::mismatch(a.begin(), a.begin() + common, b.begin());
    if (ia != a.begin() + common) return static_cast<size_t>(ia - a.begin());
    return a.size() == b.size() ? std::string::npos : common;
}

FileVerification VerifyDeviceFile(connection& conn, uint32_t deviceNumber, const std::string& name,
                                  std::string_view expected, IProgressSink* progress) {
    FileVerification result;
    CompareBuffer compared(expected);
    std::ostream stream(&compared);
    result.code = ReadDeviceFile(conn, deviceNumber, &stream, name.c_str(), progress);
    result.deviceSize = compared.Size();
    if (result.code != lr::Ok) return result;
    // The device holding fewer bytes differs where its file ends.
    size_t at = compared.FirstDifference();
    if (at == std::string::npos && compared.Size() < expected.size()) at = compared.Size();
    result.identical = at == std::string::npos;
    result.firstDifference = result.identical ? 0 : at;
    return result;
}

DeviceRead DownloadGatewayFile(connection& conn, uint32_t deviceNumber, const std::string& path) {
    DeviceRead read;
    // The download goes to a copy that replaces the local file only when it came whole, so that
    // a broken transfer never leaves a damaged file behind.
    AtomicFileWriter local;
    if (!path.empty()) {
        if (const Status opened = local.Open(path); !opened)
            return Fail(read, DeviceStep::LocalFile, opened.failure());
    }
    FileDownload r;
    if (path.empty()) {
        std::string bytes;
        r.code = ReadDeviceFileBytes(conn, deviceNumber, kDownloadFileName, bytes, nullptr);
        r.size = bytes.size();
    } else {
        r = DownloadDeviceFile(conn, deviceNumber, kDownloadFileName, local, nullptr);
    }
    // The device refuses to open a file it does not have: it simply has no gateway settings yet.
    if (r.code == lr::BadArgument) return read;
    if (r.code != lr::Ok) return Fail(read, DeviceStep::Download, LinkFailure(r.code));
    if (!r.local) return Fail(read, DeviceStep::Download, r.local.failure());
    read.fileFound = true;
    read.fileSize = r.size;
    return read;
}

DeviceRead ReadDevice(connection& conn, uint32_t& deviceNumber, CfgTree& tree,
                      const DeviceReadRequest& request) {
    DeviceRead read;
    connection::OpenedLink link(conn);
    if (!Identify(conn, deviceNumber, read)) return read;
    if (ReadDeviceTree(conn, deviceNumber, tree, request.catalogue, request.progress) ==
        TreeBuild::Partial) {
        // A read the user cancelled ends as a failed one.
        if (conn.CancelRequested())
            return Fail(read, DeviceStep::Tree, Failure::Of(FailureKind::Cancelled));
        const LinkResult code = conn.LastFailedExchange();
        return Fail(read, DeviceStep::Tree, Failure::OfLink(code != lr::Ok ? code : lr::NoAnswer));
    }
    if (request.keepTree) {
        if (const Status kept = request.keepTree(tree); !kept)
            return Fail(read, DeviceStep::TreeKept, kept.failure());
    }
    DeviceRead download = DownloadGatewayFile(conn, deviceNumber, request.downloadPath);
    download.identified = read.identified;
    download.info = read.info;
    return download;
}

BackupDevice BackupDeviceOf(const connection& conn, uint32_t deviceNumber) {
    return BackupDevice{EndpointOf(conn, deviceNumber).LineName(), deviceNumber};
}

Status TakeBackup(connection& conn, uint32_t deviceNumber, const BackupPolicy* policy,
                  std::time_t now, DeviceBackup& backup, IProgressSink* progress) {
    backup = DeviceBackup();
    const LinkResult code =
        ReadDeviceFileBytes(conn, deviceNumber, kDownloadFileName, backup.bytes, progress);
    // Only the device's own answer that it has no such file means there is nothing to keep.
    if (code == lr::BadArgument) {
        backup.bytes.clear();
        backup.read = true;
        return Status();
    }
    if (code != lr::Ok) {
        backup.bytes.clear();
        return LinkFailure(code);
    }
    backup.read = true;
    backup.hadFile = true;
    if (!policy) return Status();
    Result<std::string> saved =
        SaveBackup(*policy, BackupDeviceOf(conn, deviceNumber), backup.bytes, now, &backup.hold);
    if (!saved) return saved.failure();
    backup.path = std::move(saved).value();
    return Status();
}

DeviceCurrentFile ReadCurrentGatewayFile(connection& conn, uint32_t& deviceNumber,
                                         const BackupPolicy* policy, IProgressSink* progress) {
    DeviceCurrentFile current;
    if (policy) {
        if (const Status ready = PrepareBackupFolder(policy->folder); !ready)
            return Fail(current, DeviceStep::Backup, ready.failure());
    }
    connection::OpenedLink link(conn);
    if (!Identify(conn, deviceNumber, current)) return current;
    if (const Status taken =
            TakeBackup(conn, deviceNumber, policy, std::time(nullptr), current.backup, progress);
        !taken)
        return Fail(current, DeviceStep::Backup, taken.failure());
    return current;
}

DeviceStore StoreAndVerify(connection& conn, uint32_t& deviceNumber, const SnvtList& list,
                           const StoreRequest& request) {
    DeviceStore store;
    const std::string& copyPath = request.workingCopy;
    if (!request.asIs && list.RowCount() == 0)
        return Fail(store, DeviceStep::List, Failure::OfInvalid("the list is empty"));
    // Only a copy written in full goes to the device; an older copy must never stand in for it.
    const Status saved =
        request.asIs ? WriteFileWhole(copyPath, *request.asIs) : SaveGatewayFile(list, copyPath);
    if (!saved) return Fail(store, DeviceStep::Save, saved.failure());
    // Read back by the bounded input opener, as every input is: a FIFO or a device put in the
    // copy's place is refused at once, not waited on.
    Result<std::string> written = ReadWholeFile(copyPath, inputlimit::kSettingsFile);
    if (!written) return Fail(store, DeviceStep::Open, written.failure());
    std::istringstream copy(std::move(written).value());
    // A backup with nowhere to go is found out before the device is asked anything.
    if (request.backup) {
        if (const Status ready = PrepareBackupFolder(request.backup->folder); !ready)
            return Fail(store, DeviceStep::Backup, ready.failure());
    }
    {
        connection::OpenedLink link(conn);
        if (!Identify(conn, deviceNumber, store)) return store;
        if (request.backup) {
            if (const Status taken = TakeBackup(conn, deviceNumber, request.backup,
                                                std::time(nullptr), store.backup, request.progress);
                !taken)
                return Fail(store, DeviceStep::Backup, taken.failure());
        }
        // A cancel that came before the upload began leaves the device's file untouched; one
        // that comes once it has begun waits for its end, so that the device gets the whole file.
        if (conn.CancelRequested())
            return Fail(store, DeviceStep::Identify, Failure::Of(FailureKind::Cancelled));
        const connection::CancelHold hold(conn);
        if (request.uploadProgress) request.uploadProgress->ShowProgress(std::string(), 0);
        const LinkResult code =
            WriteDeviceFile(conn, deviceNumber, &copy, kUploadFileName, request.uploadProgress);
        if (code != lr::Ok) return Fail(store, DeviceStep::Upload, LinkFailure(code));
    }
    if (!request.verify) return store;

    // What was stored is checked against what the device now holds, byte for byte.
    Result<std::string> read = ReadWholeFile(copyPath, inputlimit::kSettingsFile);
    if (!read) return Fail(store, DeviceStep::Check, read.failure());
    const std::string expected = std::move(read).value();
    store.size = expected.size();
    connection::OpenedLink link(conn);
    store.check = VerifyDeviceFile(conn, deviceNumber, kUploadFileName, expected, request.progress);
    if (store.check.code != lr::Ok)
        return Fail(store, DeviceStep::Check, LinkFailure(store.check.code));
    if (!store.check.identical)
        return Fail(store, DeviceStep::Check, Failure::OfMismatch(store.check.firstDifference));
    return store;
}

CommandMessage BackupFailureMessage(const connection& conn, const Failure& failure) {
    if (failure.kind == FailureKind::Cancelled)
        return MessageOf(CommandMessageKind::StoreCancelled);
    if (failure.kind == FailureKind::File) {
        CommandMessage message = MessageOf(CommandMessageKind::BackupNotSaved);
        message.path = failure.path;
        message.failure = failure;
        return message;
    }
    return BrokenCommandMessage(conn, failure.code, CommandMessageKind::BackupNotRead);
}

CommandMessage CurrentFileMessage(const connection& conn, const DeviceCurrentFile& outcome) {
    if (outcome.status) return {};
    if (outcome.step == DeviceStep::Identify) return IdentifyFailureMessage(conn, outcome);
    return BackupFailureMessage(conn, outcome.status.failure());
}

CommandMessage StoreMessage(const connection& conn, const DeviceStore& outcome,
                            const std::string& workingCopy) {
    if (outcome.status || outcome.step == DeviceStep::Check)
        return MessageOf(CommandMessageKind::Stored);
    const Failure& failure = outcome.status.failure();
    switch (outcome.step) {
        case DeviceStep::List:
            return MessageOf(CommandMessageKind::EmptyList);
        case DeviceStep::Save:
            return FileMessage(CommandMessageKind::FileNotSaved, workingCopy, failure);
        case DeviceStep::Open:
            return FileMessage(CommandMessageKind::FileNotOpened, failure.path, failure);
        default:
            break;
    }
    if (failure.kind == FailureKind::Cancelled)
        return MessageOf(CommandMessageKind::StoreCancelled);
    if (outcome.step == DeviceStep::Backup) return BackupFailureMessage(conn, failure);
    if (outcome.step == DeviceStep::Identify) return IdentifyFailureMessage(conn, outcome);
    // The device refuses the file while its write protection (EN_PR) is on.
    if (failure.code == lr::BadArgument) return MessageOf(CommandMessageKind::WriteProtected);
    return BrokenCommandMessage(conn, failure.code, CommandMessageKind::StoreBroken);
}

NextStepAdvice NextStep(const connection& conn, uint32_t deviceNumber,
                        const DeviceOutcome& outcome) {
    NextStepAdvice advice;
    advice.deviceNumber = deviceNumber;
    const auto is = [&advice](NextStepKind kind) {
        advice.kind = kind;
        return advice;
    };
    if (outcome.status) return advice;
    const Failure& failure = outcome.status.failure();
    if (failure.kind == FailureKind::Cancelled)
        return is(outcome.step == DeviceStep::Upload ? NextStepKind::SettingsIncomplete
                                                     : NextStepKind::None);
    if (failure.kind == FailureKind::TooOld) return is(NextStepKind::UpdateFirmware);
    if (failure.kind != FailureKind::Link) return advice;  // a local file: its reason says it
    const LinkResult code = failure.code;
    if (PortGone(conn, code)) return advice;  // the message names the port that went away
    switch (outcome.step) {
        case DeviceStep::Identify:
            break;
        case DeviceStep::Tree:
        case DeviceStep::Download:
        case DeviceStep::Backup:
            return is(NextStepKind::ReadAgain);
        case DeviceStep::Upload:
            // A refused open is the write protection, which its message explains.
            return is(code == lr::BadArgument ? NextStepKind::None
                                              : NextStepKind::SettingsIncomplete);
        default:
            return advice;
    }
    const bool tcp = conn.PortName == connkeys::kTcpIpPortName;
    switch (code) {
        case lr::BadTcpPort:
            return is(NextStepKind::FixTcpPort);
        case lr::NotOpen:
            if (tcp) return is(NextStepKind::CheckTcpLink);
            // A serial port that would not open is explained on the message's second line.
            if (conn.SystemErrorNumber() != 0) return advice;
            return is(NextStepKind::CheckNumber);
        case lr::BadCheck:
        case lr::BadLength:
        case lr::Garbled:
            return is(NextStepKind::CheckLineSpeed);
        case lr::NoEcho:
        case lr::TwoAnswers:
            return advice;  // the cause says what to do
        default:
            if (code >= 1 && code <= 255) return is(NextStepKind::CheckLineSpeed);
            return is(NextStepKind::CheckNumber);
    }
}

DeviceVerify VerifyGatewayFile(connection& conn, uint32_t& deviceNumber, std::string_view expected,
                               IProgressSink* progress) {
    DeviceVerify verify;
    connection::OpenedLink link(conn);
    if (!Identify(conn, deviceNumber, verify)) return verify;
    verify.check = VerifyDeviceFile(conn, deviceNumber, kDownloadFileName, expected, progress);
    if (verify.check.code != lr::Ok)
        return Fail(verify, DeviceStep::Check, LinkFailure(verify.check.code));
    if (!verify.check.identical)
        return Fail(verify, DeviceStep::Check, Failure::OfMismatch(verify.check.firstDifference));
    return verify;
}

DeviceReadResult ReadFromDevice(const DeviceCommandTarget& target, CfgTree& tree, SnvtList& list,
                                const XmlDocument* catalogue, IProgressSink* progress,
                                const std::string& downloadPath) {
    DeviceReadRequest request;
    request.catalogue = catalogue;
    request.progress = progress;
    request.downloadPath = downloadPath;
    const uint32_t asked = target.DeviceNumber;
    const DeviceRead read = ReadDevice(target.conn, target.DeviceNumber, tree, request);

    DeviceReadResult result;
    result.message = ReadMessage(target.conn, read);
    if (!result.message.empty()) result.next = NextStep(target.conn, asked, read);
    result.info = read.info;
    // A read the user cancelled ends as a failed one does, without a message.
    result.cancelled = !read.status && read.status.failure().kind == FailureKind::Cancelled;
    switch (read.step) {
        case DeviceStep::Identify:
            result.outcome = read.status.failure().kind == FailureKind::TooOld
                                 ? DeviceReadOutcome::UnsupportedVersion
                                 : DeviceReadOutcome::NotConnected;
            result.code = LinkCodeOf(read.status.failure());
            return result;
        case DeviceStep::Tree:
        case DeviceStep::TreeKept:
            result.outcome = DeviceReadOutcome::ReadFailed;
            return result;
        default:
            break;
    }
    result.outcome = DeviceReadOutcome::Read;
    result.download = DownloadOf(read);
    result.cancelled = result.download == GatewayDownload::Broken && target.conn.CancelRequested();
    // A read the user cancelled leaves the list as it was.
    if (!result.cancelled) LoadDownload(read, list, downloadPath);
    return result;
}

GatewayDownload ReadGatewayFileFromDevice(const DeviceCommandTarget& target, SnvtList& list,
                                          CommandMessage* message) {
    const DeviceRead read =
        DownloadGatewayFile(target.conn, target.DeviceNumber, kDownloadFileName);
    if (message) *message = ReadMessage(target.conn, read);
    LoadDownload(read, list, kDownloadFileName);
    return DownloadOf(read);
}

DeviceStoreResult Store(const DeviceCommandTarget& target, const SnvtList& list,
                        const std::string& workingCopy, const BackupPolicy* policy,
                        DeviceBackup* backup, const std::optional<std::string>& asIs,
                        const StoreProgress& progress) {
    StoreRequest request;
    request.workingCopy = workingCopy;
    request.backup = policy;
    request.asIs = asIs;
    request.progress = progress.backup;
    request.uploadProgress = progress.upload;
    const uint32_t asked = target.DeviceNumber;
    const DeviceStore stored = StoreAndVerify(target.conn, target.DeviceNumber, list, request);
    if (backup) *backup = stored.backup;
    // A backup that could not be downloaded is a question for the user, not a message.
    const bool ask = stored.step == DeviceStep::Backup &&
                     stored.status.failure().kind == FailureKind::Link &&
                     !PortGone(target.conn, stored.status.failure().code);

    DeviceStoreResult result;
    if (!ask) {
        result.message = StoreMessage(target.conn, stored, workingCopy);
        result.next = NextStep(target.conn, asked, stored);
    }
    result.identified = stored.identified;
    result.info = stored.info;
    if (stored.status) {
        result.outcome = DeviceStoreOutcome::Stored;
        return result;
    }
    const Failure& failure = stored.status.failure();
    result.code = LinkCodeOf(failure);
    result.uploadBegun = stored.step == DeviceStep::Upload;
    switch (stored.step) {
        case DeviceStep::List:
            result.outcome = DeviceStoreOutcome::EmptyList;
            break;
        case DeviceStep::Save:
        case DeviceStep::Open:
            result.outcome = DeviceStoreOutcome::NotSaved;
            break;
        case DeviceStep::Identify:
            result.outcome = failure.kind == FailureKind::TooOld
                                 ? DeviceStoreOutcome::UnsupportedVersion
                                 : DeviceStoreOutcome::NotConnected;
            break;
        case DeviceStep::Backup:
            result.outcome = DeviceStoreOutcome::BackupFailed;
            result.askWithoutBackup = ask;
            break;
        default:
            result.outcome = failure.code == lr::BadArgument ? DeviceStoreOutcome::Protected
                                                             : DeviceStoreOutcome::Broken;
            break;
    }
    return result;
}
