#include "app/devicecommands.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/atomicfilewriter.h"
#include "app/gatewayfile.h"
#include "app/messages.h"
#include "app/snvtlist.h"
#include "link/comlink.h"
#include "link/connection.h"
#include "link/connectionkeys.h"
#include "link/resulttext.h"
#include "link/vr7prot.h"

namespace {

// The progress callback handed to the device tree builder: context is an IProgressSink; an
// absent text is shown as an empty one.
void TreeProgress(void* context, float fraction, const char* text) {
    static_cast<IProgressSink*>(context)->ShowProgress(text != nullptr ? text : "", fraction);
}

// Identifies the device for a command that works on the gateway's files, showing the message of
// a failure and setting the command's outcome to it. True when the command may go on.
template <class Outcome>
bool Identified(const DeviceCommandTarget& target, DeviceInfo& info, LinkResult& code,
                Outcome& outcome) {
    code = IdentifyDevice(target.conn, target.DeviceNumber, info);
    // A cancelled identification has nothing to report; the caller says what a cancel means.
    if (code == lr::Cancelled) {
        outcome = Outcome::NotConnected;
        return false;
    }
    if (code != lr::Ok) {
        target.messages.ShowMessage(LinkFailureText(target.conn, code));
        outcome = Outcome::NotConnected;
        return false;
    }
    if (!ServesGatewayFiles(info)) {
        target.messages.ShowMessage(usertext::UnsupportedVersion(info));
        outcome = Outcome::UnsupportedVersion;
        return false;
    }
    return true;
}

// A local file of the working directory as the user finds it.
std::string WorkingPath(const std::string& name) {
    std::error_code ec;
    const auto path = std::filesystem::absolute(name, ec);
    return ec ? std::string(name) : path.string();
}

void ReportFile(IMessageSink& messages, const std::string& name, usertext::FileStep step,
                const Failure& failure) {
    messages.ShowMessage(usertext::FileFailure(step, WorkingPath(name), failure));
}

// The serial port went away under the command whose exchange failed with code.
bool PortGone(const connection& conn, LinkResult code) {
    return conn.PortName != connkeys::kTcpIpPortName &&
           PortDisappeared(code, conn.SystemErrorNumber());
}

Cp1251String PortGoneText(const connection& conn) {
    return usertext::NotConnected() + '\n' +
           usertext::SerialPortGone(CComLink::DevicePath(conn.PortName));
}

}  // namespace

Cp1251String BrokenCommandText(const connection& conn, LinkResult code,
                               const Cp1251String& otherwise) {
    return PortGone(conn, code) ? PortGoneText(conn) : otherwise;
}

Cp1251String LinkFailureText(const connection& conn, LinkResult code) {
    if (code == lr::BadTcpPort) return usertext::TcpPortOutOfRange(conn.TcpIpPort);
    if (PortGone(conn, code)) return PortGoneText(conn);
    // A serial port that would not open says why on a second line.
    if (code == lr::NotOpen && conn.SystemErrorNumber() != 0 &&
        conn.PortName != connkeys::kTcpIpPortName)
        return usertext::NotConnected() + '\n' +
               usertext::SerialPortProblem(CComLink::DevicePath(conn.PortName),
                                           conn.SystemErrorNumber());
    return usertext::NotConnected();
}

LinkResult IdentifyDevice(connection& conn, uint32_t& deviceNumber, DeviceInfo& info) {
    const uint32_t address = deviceNumber == 0 ? AnyDeviceAddress : deviceNumber;
    const LinkResult code = ReadDeviceInfo(conn, address, info);
    if (code == lr::Ok && deviceNumber == 0) deviceNumber = info.DeviceNumber();
    return code;
}

bool ServesGatewayFiles(const DeviceInfo& info) {
    return info.VersionBuild() >= kMinGatewayBuild;
}

TreeBuild ReadDeviceTree(connection& conn, uint32_t deviceNumber, CfgTree& tree,
                         const XmlDocument* catalogue, IProgressSink* progress) {
    const Status built = BuildTreeFromDevice(tree, conn, deviceNumber, progress,
                                             progress != nullptr ? TreeProgress : nullptr,
                                             catalogue, kWindowTreeOptions);
    return built ? TreeBuild::Complete : TreeBuild::Partial;
}

LinkResult ReadDeviceFileBytes(connection& conn, uint32_t deviceNumber, const std::string& name,
                               std::string& bytes, ProgressProc progress, void* context) {
    std::ostringstream stream;
    const LinkResult code =
        ReadDeviceFile(conn, deviceNumber, &stream, name.c_str(), progress, context);
    bytes = std::move(stream).str();
    return code;
}

FileDownload DownloadDeviceFile(connection& conn, uint32_t deviceNumber, const std::string& name,
                                AtomicFileWriter& out, ProgressProc progress, void* context) {
    FileDownload result;
    std::string data;
    result.code = ReadDeviceFileBytes(conn, deviceNumber, name, data, progress, context);
    result.size = data.size();
    if (result.code != lr::Ok) return result;  // out's file stays; the writer discards its copy
    result.local = out.Write(data);
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
                                  std::string_view expected, ProgressProc progress, void* context) {
    FileVerification result;
    std::string held;
    result.code = ReadDeviceFileBytes(conn, deviceNumber, name, held, progress, context);
    result.deviceSize = held.size();
    if (result.code != lr::Ok) return result;
    const size_t at = FirstDifference(expected, held);
    result.identical = at == std::string::npos;
    result.firstDifference = result.identical ? 0 : at;
    return result;
}

DeviceReadResult ReadFromDevice(const DeviceCommandTarget& target, CfgTree& tree, SnvtList& list,
                                const XmlDocument* catalogue, IProgressSink* progress) {
    DeviceReadResult result;
    connection::OpenedLink link(target.conn);
    if (!Identified(target, result.info, result.code, result.outcome)) {
        result.cancelled = result.code == lr::Cancelled;
        return result;
    }
    if (ReadDeviceTree(target.conn, target.DeviceNumber, tree, catalogue, progress) ==
        TreeBuild::Partial) {
        // A read the user cancelled ends as a failed one, without the error message.
        result.cancelled = target.conn.CancelRequested();
        if (!result.cancelled)
            target.messages.ShowMessage(BrokenCommandText(
                target.conn, target.conn.LastFailedExchange(), usertext::ReadError()));
        result.outcome = DeviceReadOutcome::ReadFailed;
        return result;
    }
    result.outcome = DeviceReadOutcome::Read;
    result.download = ReadGatewayFileFromDevice(target, list);
    result.cancelled = result.download == GatewayDownload::Broken && target.conn.CancelRequested();
    return result;
}

GatewayDownload ReadGatewayFileFromDevice(const DeviceCommandTarget& target, SnvtList& list) {
    // The download goes to a copy that replaces the local file only when it came whole, so that
    // a broken transfer never leaves a damaged file behind.
    AtomicFileWriter local;
    if (const Status opened = local.Open(kDownloadFileName); !opened) {
        // Asking the device for a file that has nowhere to go would only load whatever an
        // earlier download left here as if it were the device's.
        list.Clear();
        ReportFile(target.messages, kDownloadFileName, usertext::FileStep::NotCreated,
                   opened.failure());
        return GatewayDownload::LocalFailed;
    }
    const FileDownload r = DownloadDeviceFile(target.conn, target.DeviceNumber, kDownloadFileName,
                                              local, nullptr, nullptr);
    if (r.code == lr::Ok && !r.local) {
        list.Clear();
        ReportFile(target.messages, kDownloadFileName, usertext::FileStep::NotWritten,
                   r.local.failure());
        return GatewayDownload::LocalFailed;
    }
    // The device refuses to open a file it does not have: it simply has no gateway settings yet.
    if (r.code == lr::BadArgument) {
        list.Clear();
        return GatewayDownload::NoFile;
    }
    // Any other failure, whether or not bytes had come, leaves the device's settings unknown;
    // an empty or partial list must not pass for them, or storing it would overwrite them.
    if (r.code != lr::Ok) {
        list.Clear();
        if (r.code != lr::Cancelled)
            target.messages.ShowMessage(
                BrokenCommandText(target.conn, r.code, usertext::ReadError()));
        return GatewayDownload::Broken;
    }
    LoadGatewayFile(list, "");
    return GatewayDownload::Loaded;
}

DeviceStoreResult StoreGatewayFileToDevice(const DeviceCommandTarget& target, const SnvtList& list,
                                           const std::string& workingCopy) {
    DeviceStoreResult result;
    // Only a copy written in full goes to the device; an older copy must never stand in for it.
    const Status saved = SaveGatewayFile(list, workingCopy);
    if (!saved) {
        ReportFile(target.messages, workingCopy, usertext::FileStep::NotSaved, saved.failure());
        result.outcome = DeviceStoreOutcome::NotSaved;
        return result;
    }
    std::ifstream copy(workingCopy, std::ios::binary);
    if (!copy) {
        ReportFile(target.messages, workingCopy, usertext::FileStep::NotOpened,
                   Failure::OfFile(workingCopy, errno));
        result.outcome = DeviceStoreOutcome::NotSaved;
        return result;
    }

    connection::OpenedLink link(target.conn);
    const bool identified = Identified(target, result.info, result.code, result.outcome);
    result.identified = result.code == lr::Ok;
    if (!identified) {
        if (result.code == lr::Cancelled) target.messages.ShowMessage(usertext::StoreCancelled());
        return result;
    }
    result.code =
        WriteDeviceFile(target.conn, target.DeviceNumber, &copy, kUploadFileName, nullptr, nullptr);
    if (result.code == lr::Cancelled) {
        target.messages.ShowMessage(usertext::StoreCancelled());
        result.outcome = DeviceStoreOutcome::Broken;
    } else if (result.code == lr::Ok) {
        target.messages.ShowMessage(usertext::Stored());
        result.outcome = DeviceStoreOutcome::Stored;
    } else if (result.code == lr::BadArgument) {
        // The device refuses the file while its write protection (EN_PR) is on.
        target.messages.ShowMessage(usertext::WriteProtected());
        result.outcome = DeviceStoreOutcome::Protected;
    } else {
        target.messages.ShowMessage(
            BrokenCommandText(target.conn, result.code, usertext::StoreBroken()));
        result.outcome = DeviceStoreOutcome::Broken;
    }
    return result;
}

DeviceStoreResult Store(const DeviceCommandTarget& target, const SnvtList& list,
                        const std::string& workingCopy) {
    if (list.RowCount() == 0) {
        target.messages.ShowMessage(usertext::EmptyList());
        DeviceStoreResult result;
        result.outcome = DeviceStoreOutcome::EmptyList;
        return result;
    }
    return StoreGatewayFileToDevice(target, list, workingCopy);
}
