#include "fleet/fleetrun.h"

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

#include "app/messages.h"
#include "base/atomicfilewriter.h"
#include "base/cp1251.h"
#include "base/heldfolder.h"
#include "base/syserror.h"
#include "base/tempregistry.h"
#include "base/uniquefd.h"
#include "base/wholefile.h"
#include "cfgtree/treetext.h"
#include "device/devicecommands.h"
#include "gateway/gatewayfile.h"
#include "gateway/snvtlist.h"
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

// A read's outputs are written under these names beside the ones they replace, and take their
// place only when the read is complete: a failed read leaves what an earlier run got.
constexpr char kStagedTree[] = ".tree.txt.new";
constexpr char kStagedDownload[] = ".duxgate.cfg.new";

// One device's work: its connection, its number (0 until the device tells its own) and what
// becomes of it.
class DeviceWork {
  public:
    DeviceWork(const FleetTask& task, const FleetSettings& settings, FleetResult& result)
        : task_(task), settings_(settings), result_(result) {
        conn_.Timings = settings.timings;
        ApplyEndpoint(task.endpoint, conn_, number_);
        conn_.Trace = [&result](FrameWay way, const uint8_t*, int length) {
            (way == FrameWay::Sent ? result.bytesSent : result.bytesReceived) +=
                static_cast<uint64_t>(length);
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
    // Ends the work with a failure told by utf8Message.
    void Fail(const Failure& failure, const std::string& utf8Message) {
        result_.status = failure;
        result_.message = utf8Message;
    }
    // A failure of the link, its result named after the message.
    void FailLink(const Failure& failure, const std::string& utf8Message) {
        Fail(failure,
             utf8Message + " (" + ResultText(LinkCodeOf(failure), conn_.SystemErrorNumber()) + ")");
    }
    // A local file's failure: its path and why.
    void FailFile(const Failure& failure) { Fail(failure, usertext::FailureLine(failure).str()); }
    void Succeed(const std::string& message) {
        result_.status = {};
        result_.message = message;
    }

    // Makes the device's folder and holds it open. A symbolic link (or anything but a folder) in
    // its place is refused, never followed: the files written there must stay under --out.
    // Names of this action's files that an earlier run left are removed as entries (a symbolic
    // link among them is removed, not its target), except a read's outputs, which stay until
    // the new ones are complete.
    bool PrepareFolder() {
        if (task_.folder.empty()) return true;
        std::string path = task_.folder;
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        const size_t slash = path.rfind('/');
        HeldFolder parent;
        const int error = slash == std::string::npos ? parent.Open(".", true)
                          : slash == 0               ? parent.Open("/", true)
                                                     : parent.Open(path.substr(0, slash), true);
        HeldFolder made;
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        if (const int opened = error != 0 ? error : parent.OpenChild(name, true, made);
            opened != 0) {
            if (opened == ELOOP) {
                Fail(Failure::OfInvalid(reporttext::FolderIsLink(path)),
                     reporttext::FolderIsLink(path));
            } else {
                FailFile(Failure::OfFile(path, opened));
            }
            return false;
        }
        folder_ = std::move(made);
        std::vector<const char*> names = {kUploadFileName};  // the working copy
        if (settings_.action == FleetAction::Read) names = {kStagedTree, kStagedDownload};
        for (const char* entry : names) {
            if (const int removed = folder_.Remove(entry); removed != 0 && removed != ENOENT) {
                FailFile(Failure::OfFile(task_.folder + entry, removed));
                return false;
            }
        }
        return true;
    }

    // A complete read's outputs take the place of the earlier ones; a device without a gateway
    // file leaves none behind. The folder is synced so that the new names last.
    bool PublishRead(bool fileFound) {
        if (const int error = folder_.Rename(kStagedTree, kFleetTreeFile); error != 0) {
            FailFile(Failure::OfFile(task_.folder + kFleetTreeFile, error));
            return false;
        }
        const int moved = fileFound ? folder_.Rename(kStagedDownload, kDownloadFileName)
                                    : folder_.Remove(kDownloadFileName);
        if (moved != 0 && !(moved == ENOENT && !fileFound)) {
            FailFile(Failure::OfFile(task_.folder + kDownloadFileName, moved));
            return false;
        }
        (void)folder_.Sync();
        return true;
    }

    // Removes what a read that did not complete had staged.
    void DiscardRead() {
        if (!folder_.IsOpen()) return;
        folder_.Remove(kStagedTree);
        folder_.Remove(kStagedDownload);
    }

    // The identity the device answered with, for the report.
    void Record(const DeviceOutcome& outcome) {
        if (!outcome.identified) return;
        result_.number = outcome.info.DeviceNumber();
        result_.version = outcome.info.VersionText();
    }

    // A failed identification: the device did not answer, or its firmware is too old.
    void FailIdentify(const DeviceOutcome& outcome) {
        const Failure& failure = outcome.status.failure();
        if (failure.kind == FailureKind::TooOld) {
            Fail(failure, OneLine(usertext::UnsupportedVersion(outcome.info)));
        } else {
            FailLink(failure, OneLine(usertext::CommandMessageText(
                                  LinkFailureMessage(conn_, LinkCodeOf(failure)))));
        }
    }

    void Info() {
        connection::OpenedLink link(conn_);
        DeviceOutcome identified;
        identified.status = IdentifyDevice(conn_, number_, identified.info);
        identified.identified = identified.status.ok();
        Record(identified);
        if (!identified.status) return FailIdentify(identified);
        Succeed(reporttext::Identified(identified.info));
    }

    void Read() {
        size_t treeLines = 0;
        DeviceReadRequest request;
        request.catalogue = settings_.catalogue;
        if (!task_.folder.empty()) request.downloadPath = task_.folder + kStagedDownload;
        // The tree is kept as "vr7lon device tree" prints it, before the download.
        request.keepTree = [&](const CfgTree& tree) -> Status {
            std::ostringstream text;
            PrintTree(tree, text);
            const std::string_view lines = text.view();
            treeLines = static_cast<size_t>(std::count(lines.begin(), lines.end(), '\n'));
            if (task_.folder.empty()) return {};
            const std::string path = task_.folder + kStagedTree;
            if (Status written = WriteFileWhole(path, lines); !written) return written.failure();
            return {};
        };
        // The staged outputs go with the temporary files should the program be ended by a signal.
        struct Listed {
            tempregistry::Entry* entry;
            ~Listed() { tempregistry::Remove(entry); }
        };
        const Listed stagedTree{
            folder_.IsOpen() ? tempregistry::Add(task_.folder + kStagedTree, false) : nullptr};
        const Listed stagedDownload{
            folder_.IsOpen() ? tempregistry::Add(task_.folder + kStagedDownload, false) : nullptr};
        CfgTree tree;
        const DeviceRead read = ReadDevice(conn_, number_, tree, request);
        Record(read);
        if (read.status) {
            if (folder_.IsOpen() && !PublishRead(read.fileFound)) return DiscardRead();
            return Succeed(reporttext::TreeAndFile(treeLines, read.fileFound, read.fileSize));
        }
        DiscardRead();
        const Failure& failure = read.status.failure();
        if (read.step == DeviceStep::Identify) return FailIdentify(read);
        if (failure.kind == FailureKind::File) return FailFile(failure);
        if (read.step == DeviceStep::Tree) return FailLink(failure, OneLine(usertext::ReadError()));
        FailLink(failure, OneLine(usertext::ReadError()) + " " + kDownloadFileName);
    }

    void Store() {
        XmlDocument noCatalogue;  // storing never looks variables up
        SnvtList list(noCatalogue);
        if (const Status loaded = LoadGatewayFileAt(list, task_.file); !loaded)
            return FailFile(loaded.failure());
        StoreRequest request;
        request.workingCopy =
            task_.folder.empty() ? task_.scratchCopy : task_.folder + kUploadFileName;
        request.verify = true;
        if (request.workingCopy.empty()) {
            return Fail(Failure::OfInvalid(reporttext::NoPlaceForWorkingCopy()),
                        reporttext::NoPlaceForWorkingCopy());
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
        } remover{request.workingCopy};
        request.backup = settings_.backup;
        const DeviceStore stored = StoreAndVerify(conn_, number_, list, request);
        Record(stored);
        result_.backup = stored.backup.path;
        result_.backupHold = stored.backup.hold;
        result_.backupNoFile = stored.backup.read && !stored.backup.hadFile;
        const bool took = stored.status || stored.step == DeviceStep::Check;
        remover.keep = took && !task_.folder.empty();
        if (stored.status) return Succeed(reporttext::StoredAndVerified(stored.size));
        const Failure& failure = stored.status.failure();
        if (stored.step != DeviceStep::Check) {
            const std::string message = OneLine(
                usertext::CommandMessageText(StoreMessage(conn_, stored, request.workingCopy)));
            if (failure.kind == FailureKind::Link) return FailLink(failure, message);
            return Fail(failure, message);
        }
        // What was stored is checked against what the device now holds.
        if (failure.kind == FailureKind::File) return FailFile(failure);
        if (failure.kind == FailureKind::Link)
            return FailLink(failure, reporttext::CheckDownloadFailed(kUploadFileName));
        Fail(failure, reporttext::Mismatch(
                          kUploadFileName, reporttext::StoredCopy(request.workingCopy),
                          stored.check.firstDifference, stored.size, stored.check.deviceSize));
    }

    void Verify() {
        const Result<std::string> bytes = ReadWholeFile(task_.file, inputlimit::kSettingsFile);
        if (!bytes) return FailFile(bytes.failure());
        // What a store of the plan's file uploads (see "vr7lon device verify").
        Result<std::string> stored = StoredGatewayText(bytes.value());
        if (!stored) return FailFile(stored.failure());
        const std::string expected = std::move(stored).value();
        const DeviceVerify verified = VerifyGatewayFile(conn_, number_, expected, nullptr);
        Record(verified);
        if (verified.status) return Succeed(reporttext::Identical(expected.size()));
        const Failure& failure = verified.status.failure();
        if (verified.step == DeviceStep::Identify) return FailIdentify(verified);
        if (failure.kind == FailureKind::Link) {
            return FailLink(failure, failure.code == lr::BadArgument
                                         ? reporttext::NoDeviceFile(kDownloadFileName)
                                         : reporttext::CheckDownloadFailed(kDownloadFileName));
        }
        Fail(failure,
             reporttext::Mismatch(kDownloadFileName, task_.file, verified.check.firstDifference,
                                  expected.size(), verified.check.deviceSize));
    }

    const FleetTask& task_;
    const FleetSettings& settings_;
    FleetResult& result_;
    connection conn_;
    uint32_t number_ = 0;
    HeldFolder folder_;  // the device's folder, when it has one
};

}  // namespace

int FleetResultCode(const Status& status) {
    if (status) return 0;
    const Failure& failure = status.failure();
    switch (failure.kind) {
        case FailureKind::Link:
        case FailureKind::Refused:
            return failure.code;
        case FailureKind::Cancelled:
            return lr::Cancelled;
        case FailureKind::TooOld:
            return fleetresult::TooOld;
        case FailureKind::Mismatch:
            return fleetresult::Mismatch;
        case FailureKind::File:
        case FailureKind::Invalid:
            return fleetresult::LocalFile;
    }
    return fleetresult::LocalFile;
}

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

std::optional<RepeatedDevice> FindRepeatedDevice(const std::vector<FleetTask>& tasks) {
    struct Seen {
        size_t first = 0;                    // the first task on the place
        std::map<uint32_t, size_t> numbers;  // the first task asking for each number
    };
    std::map<std::string, Seen> seen;
    for (size_t i = 0; i < tasks.size(); ++i) {
        const uint32_t number = tasks[i].endpoint.number;
        std::optional<size_t> earlier;
        for (const std::string& place : tasks[i].endpoint.Places()) {
            const auto [at, added] = seen.try_emplace(place, Seen{i, {}});
            Seen& s = at->second;
            std::optional<size_t> match;
            if (!added) {
                // Whichever device answers a 0 may be any device of the place.
                if (number == 0) {
                    match = s.first;
                } else if (const auto same = s.numbers.find(number); same != s.numbers.end()) {
                    match = same->second;
                } else if (const auto zero = s.numbers.find(0); zero != s.numbers.end()) {
                    match = zero->second;
                }
            }
            if (match && (!earlier || *match < *earlier)) earlier = match;
            s.numbers.try_emplace(number, i);
        }
        if (earlier) return RepeatedDevice{*earlier, i};
    }
    return std::nullopt;
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
