#include "cli/fleetrun.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <sstream>
#include <system_error>
#include <thread>
#include <vector>

#include "app/atomicfilewriter.h"
#include "app/devicecommands.h"
#include "app/gatewayfile.h"
#include "app/messages.h"
#include "app/snvtlist.h"
#include "base/cp1251.h"
#include "base/wholefile.h"
#include "cli/clicommand.h"
#include "cli/devicesubcommands.h"
#include "cli/treeprint.h"
#include "link/connection.h"
#include "link/resulttext.h"
#include "optlist/xmldocument.h"

namespace {

struct ActionName {
    const char* text;
    FleetAction action;
};
constexpr ActionName kActions[] = {
    {"info", FleetAction::Info},
    {"read", FleetAction::Read},
    {"store", FleetAction::Store},
    {"verify", FleetAction::Verify},
};

// Core text (perhaps of several lines) as one line of UTF-8.
std::string OneLine(const Cp1251String& coreText) {
    std::string text = cp1251::ToUtf8(coreText);
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

std::string Joined(const MessageLog& messages) {
    std::string text;
    for (const Cp1251String& m : messages.Texts()) text += (text.empty() ? "" : " ") + OneLine(m);
    return text;
}

// Writes bytes as path whole, or not at all.
Status WriteWhole(const std::string& path, std::string_view bytes) {
    AtomicFileWriter file;
    if (Status opened = file.Open(path); !opened) return opened;
    if (Status written = file.Write(bytes); !written) return written;
    return file.Commit();
}

// One device's work: its connection, its number (0 until the device tells its own) and what
// becomes of it.
class DeviceWork {
  public:
    DeviceWork(const FleetTask& task, const FleetSettings& settings, FleetResult& result)
        : task_(task), settings_(settings), result_(result), number_(task.endpoint.number) {
        conn_.Timings = settings.timings;
        conn_.PortName = task.endpoint.port;
        conn_.IpAddress = task.endpoint.ip;
        conn_.TcpIpPort = task.endpoint.tcpPort;
        conn_.Speed = task.endpoint.speed;
        conn_.Trace = [&result](bool sent, const uint8_t*, int length) {
            (sent ? result.bytesSent : result.bytesReceived) += static_cast<uint64_t>(length);
        };
        result_.number = number_;
    }

    void Run() {
        if (!PrepareFolder()) return;
        switch (settings_.action) {
            case FleetAction::Info:
                Info();
                break;
            case FleetAction::Read:
                Read();
                break;
            case FleetAction::Store:
                Store();
                break;
            case FleetAction::Verify:
                Verify();
                break;
        }
    }

  private:
    // Ends the work with a failure; false, for the caller to return.
    bool Fail(int code, const std::string& utf8Message) {
        result_.result = code;
        result_.message = utf8Message;
        return false;
    }
    bool FailLink(LinkResult code, const std::string& utf8Message) {
        return Fail(code, utf8Message + " (" + ResultText(code, conn_.SystemErrorNumber()) + ")");
    }
    bool FailFile(const Failure& failure) {
        return Fail(fleetresult::LocalFile, usertext::FailureLine(failure));
    }
    bool FailFile(const std::string& path, int error) {
        return FailFile(Failure::OfFile(path, error));
    }
    void Succeed(const std::string& message) {
        result_.result = 0;
        result_.message = message;
    }

    // Makes the device's folder and removes the files of this action that an earlier run left in
    // it, so that what is there is what this run got whole.
    bool PrepareFolder() {
        if (task_.folder.empty()) return true;
        std::error_code ec;
        std::filesystem::create_directories(task_.folder, ec);
        if (ec) return FailFile(task_.folder, ec.value());
        std::vector<const char*> outputs = {kUploadFileName};  // the working copy
        if (settings_.action == FleetAction::Read) outputs = {kFleetTreeFile, kDownloadFileName};
        for (const char* name : outputs) {
            std::filesystem::remove(task_.folder + name, ec);
            if (ec) return FailFile(task_.folder + name, ec.value());
        }
        return true;
    }

    // Identifies the device on the open link; with gatewayFiles its firmware must serve them.
    bool Identify(bool gatewayFiles) {
        DeviceInfo info;
        const LinkResult code = IdentifyDevice(conn_, number_, info);
        if (code != lr::Ok) return FailLink(code, OneLine(LinkFailureText(conn_, code)));
        Record(info);
        if (gatewayFiles && !ServesGatewayFiles(info))
            return Fail(fleetresult::TooOld, OneLine(usertext::UnsupportedVersion(info)));
        return true;
    }

    // The identity the device answered with, for the report.
    void Record(const DeviceInfo& info) {
        result_.number = info.DeviceNumber();
        result_.version = std::to_string(info.VersionMajor()) + "." +
                          std::to_string(info.VersionMinor()) + "." +
                          std::to_string(info.VersionBuild());
    }

    void Info() {
        connection::OpenedLink link(conn_);
        if (!Identify(false)) return;
        Succeed("version " + result_.version + ", number " + std::to_string(result_.number));
    }

    void Read() {
        connection::OpenedLink link(conn_);
        if (!Identify(true)) return;
        CfgTree tree;
        if (ReadDeviceTree(conn_, number_, tree, settings_.catalogue, nullptr) ==
            TreeBuild::Partial) {
            const LinkResult code = conn_.LastFailedExchange();
            FailLink(code != lr::Ok ? code : lr::NoAnswer, OneLine(usertext::ReadError()));
            return;
        }
        std::ostringstream treeText;
        PrintTree(tree, treeText);
        if (!task_.folder.empty()) {
            const std::string path = task_.folder + kFleetTreeFile;
            if (const Status written = WriteWhole(path, treeText.view()); !written) {
                FailFile(written.failure());
                return;
            }
        }

        // The local side is made ready first: a download with nowhere to go is not worth it.
        const std::string path = task_.folder + kDownloadFileName;
        AtomicFileWriter local;
        if (!task_.folder.empty()) {
            if (const Status opened = local.Open(path); !opened) {
                FailFile(opened.failure());
                return;
            }
        }
        FileDownload r;
        if (task_.folder.empty()) {
            std::string bytes;
            r.code =
                ReadDeviceFileBytes(conn_, number_, kDownloadFileName, bytes, nullptr, nullptr);
            r.size = bytes.size();
        } else {
            r = DownloadDeviceFile(conn_, number_, kDownloadFileName, local, nullptr, nullptr);
        }
        const std::string_view lines = treeText.view();
        const std::string treeDone =
            "tree of " + std::to_string(std::count(lines.begin(), lines.end(), '\n')) + " lines";
        // The device refuses to open a file it does not have: it has no gateway settings yet.
        if (r.code == lr::BadArgument) {
            Succeed(treeDone + ", the device has no " + kDownloadFileName);
            return;
        }
        if (r.code != lr::Ok) {
            FailLink(r.code, OneLine(usertext::ReadError()) + " " + kDownloadFileName);
            return;
        }
        if (!r.local) {
            FailFile(r.local.failure());
            return;
        }
        Succeed(treeDone + ", " + kDownloadFileName + " " + std::to_string(r.size) + " bytes");
    }

    void Store() {
        XmlDocument noCatalogue;  // storing never looks variables up
        SnvtList list(noCatalogue);
        if (const Status loaded = LoadGatewayFileAt(list, task_.file); !loaded) {
            FailFile(loaded.failure());
            return;
        }
        const std::string workingCopy =
            task_.folder.empty() ? task_.scratchCopy : task_.folder + kUploadFileName;
        if (workingCopy.empty()) {
            Fail(fleetresult::LocalFile, "no place for the working copy");
            return;
        }
        // The working copy stays in the device's folder only when the device took it; a scratch
        // copy goes as soon as the device is done, so that no run leaves a pile behind.
        struct CopyRemover {
            std::string path;
            bool keep = false;
            ~CopyRemover() {
                std::error_code ec;
                if (!keep) std::filesystem::remove(path, ec);
            }
        } remover{workingCopy};
        MessageLog messages;
        const DeviceStoreResult stored = ::Store({conn_, number_, messages}, list, workingCopy);
        if (stored.identified) Record(stored.info);
        remover.keep = stored.outcome == DeviceStoreOutcome::Stored && !task_.folder.empty();
        switch (stored.outcome) {
            case DeviceStoreOutcome::Stored:
                break;
            case DeviceStoreOutcome::EmptyList:
            case DeviceStoreOutcome::NotSaved:
                Fail(fleetresult::LocalFile, Joined(messages));
                return;
            case DeviceStoreOutcome::UnsupportedVersion:
                Fail(fleetresult::TooOld, Joined(messages));
                return;
            case DeviceStoreOutcome::NotConnected:
                FailLink(stored.code, OneLine(LinkFailureText(conn_, stored.code)));
                return;
            case DeviceStoreOutcome::Protected:
            case DeviceStoreOutcome::Broken:
                FailLink(stored.code, Joined(messages));
                return;
        }

        // What was stored is checked against what the device now holds, byte for byte.
        const Result<std::string> copy = ReadWholeFile(workingCopy);
        if (!copy) {
            FailFile(copy.failure());
            return;
        }
        const std::string& expected = copy.value();
        connection::OpenedLink link(conn_);
        const FileVerification v =
            VerifyDeviceFile(conn_, number_, kUploadFileName, expected, nullptr, nullptr);
        if (Verified(v, expected.size(), kUploadFileName, "the stored copy " + workingCopy))
            Succeed("stored and verified, " + std::to_string(expected.size()) + " bytes");
    }

    void Verify() {
        const Result<std::string> bytes = ReadWholeFile(task_.file);
        if (!bytes) {
            FailFile(bytes.failure());
            return;
        }
        // What a store of the plan's file uploads (see "vr7lon device verify").
        const std::string expected = StoredGatewayText(bytes.value());
        connection::OpenedLink link(conn_);
        if (!Identify(true)) return;
        const FileVerification v =
            VerifyDeviceFile(conn_, number_, kDownloadFileName, expected, nullptr, nullptr);
        if (v.code == lr::BadArgument) {
            FailLink(v.code, std::string("the device has no ") + kDownloadFileName);
            return;
        }
        if (Verified(v, expected.size(), kDownloadFileName, task_.file))
            Succeed("identical, " + std::to_string(expected.size()) + " bytes");
    }

    // Whether the device's file held exactly the expected bytes; the failure otherwise.
    bool Verified(const FileVerification& v, size_t expectedSize, const char* name,
                  const std::string& local) {
        if (v.code != lr::Ok)
            return FailLink(v.code, std::string("the check download of ") + name + " failed");
        if (!v.identical)
            return Fail(fleetresult::Mismatch, MismatchText(name, local, v, expectedSize));
        return true;
    }

    const FleetTask& task_;
    const FleetSettings& settings_;
    FleetResult& result_;
    connection conn_;
    uint32_t number_;
};

}  // namespace

bool ParseFleetAction(std::string_view text, FleetAction& action) {
    for (const ActionName& a : kActions) {
        if (text == a.text) {
            action = a.action;
            return true;
        }
    }
    return false;
}

const char* FleetActionName(FleetAction action) {
    for (const ActionName& a : kActions) {
        if (a.action == action) return a.text;
    }
    return "?";
}

FleetResult RunFleetTask(const FleetTask& task, const FleetSettings& settings) {
    const auto start = std::chrono::steady_clock::now();
    FleetResult result;
    {
        DeviceWork work(task, settings, result);
        work.Run();
    }
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}

std::vector<std::vector<size_t>> FleetTurns(const std::vector<FleetTask>& tasks) {
    std::vector<std::vector<size_t>> turns;
    std::map<std::string, size_t> byKey;
    for (size_t i = 0; i < tasks.size(); ++i) {
        const auto [at, added] = byKey.emplace(tasks[i].endpoint.Key(), turns.size());
        if (added) turns.emplace_back();
        turns[at->second].push_back(i);
    }
    std::stable_sort(turns.begin(), turns.end(),
                     [](const auto& a, const auto& b) { return a.size() > b.size(); });
    return turns;
}

std::vector<FleetResult> RunFleet(const std::vector<FleetTask>& tasks,
                                  const FleetSettings& settings, IFleetObserver* observer) {
    std::vector<FleetResult> results(tasks.size());
    const std::vector<std::vector<size_t>> turns = FleetTurns(tasks);
    std::atomic<size_t> nextTurn{0};
    std::mutex observerMutex;
    auto tell = [&](auto&& call) {
        if (observer == nullptr) return;
        std::lock_guard<std::mutex> lock(observerMutex);
        call();
    };
    // Each worker takes the next endpoint's devices and works on them one after another.
    auto worker = [&] {
        for (size_t t = nextTurn++; t < turns.size(); t = nextTurn++) {
            for (size_t i : turns[t]) {
                tell([&] { observer->Started(i); });
                results[i] = RunFleetTask(tasks[i], settings);
                tell([&] { observer->Finished(i, results[i]); });
            }
        }
    };
    const size_t workers = std::min<size_t>(std::max(1u, settings.jobs), turns.size());
    std::vector<std::thread> pool;
    for (size_t w = 1; w < workers; ++w) {
        try {
            pool.emplace_back(worker);
        } catch (const std::system_error&) {
            break;  // fewer threads only take longer: this one works too
        }
    }
    worker();
    for (std::thread& t : pool) t.join();
    return results;
}
