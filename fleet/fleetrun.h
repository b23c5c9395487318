#pragma once
// The work of "vr7lon fleet": one device's action on a connection of its own, by the device
// procedures the window and "vr7lon device" run (app/devicecommands), and the scheduling of a
// whole plan. Devices that share an endpoint (a serial port, or one TCP address and port) take
// turns; different endpoints are worked on in parallel.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "fleet/fleetplan.h"
#include "link/linktimings.h"

class BackupHold;
class XmlDocument;
struct BackupPolicy;

enum class FleetAction {
    Info,    // identify: version and number
    Read,    // identify, check the version, read the tree, download duxgate.cfg
    Store,   // identify, check the version, store the file's rows, verify the device's copy
    Verify,  // identify, check the version, compare the file with the device's duxgate.cfg
};

bool ParseFleetAction(std::string_view text, FleetAction& action);
const char* FleetActionName(FleetAction action);

// The numbers a report gives a device's result beyond the link's own codes (0 success, 1..255 a
// refusal, -1, 1001..1053): outcomes that are no failure of the link. Users' scripts read them.
namespace fleetresult {
constexpr int TooOld = 2001;     // the firmware does not serve the gateway's files
constexpr int Mismatch = 2002;   // the device holds other bytes than the file
constexpr int LocalFile = 2003;  // a local file could not be read or written
}  // namespace fleetresult

// The number of a device's result in the table and the report: 0 success, the link's result for
// a Link failure (and lr::Cancelled for a cancel), a refusal's code, and the fleetresult numbers
// for TooOld, Mismatch and a local file (File, Invalid).
int FleetResultCode(const Status& status);

// One device's work, ready to run.
struct FleetTask {
    std::string name;
    FleetEndpoint endpoint;
    // The device's folder ("DIR/NAME/"): its output (read) or its working copy (store); empty:
    // nothing is kept.
    std::string folder;
    // store without a folder: where the working copy is written; it is removed when the device is
    // done.
    std::string scratchCopy;
    std::string file;  // store, verify: the gateway settings file
};

// Two tasks of a plan that may reach one device: the first pair, in plan order, whose endpoints
// lead to one place (Places) and whose numbers are the same or either is 0 (whichever device
// answers). Two such rows would both report success while the device keeps only one file.
struct RepeatedDevice {
    size_t first = 0;
    size_t second = 0;
};
std::optional<RepeatedDevice> FindRepeatedDevice(const std::vector<FleetTask>& tasks);

struct FleetResult {
    Status status;        // success, or the Failure that ended the device's work
    std::string message;  // UTF-8: what was done, or the cause of the failure
    std::string version;  // "MAJOR.MINOR.BUILD" once the device answered
    uint32_t number = 0;  // the device's own number once it answered, else the plan's
    double seconds = 0;
    uint64_t bytesSent = 0;
    uint64_t bytesReceived = 0;
    // store: the backup kept of the device's duxgate.cfg before the upload; empty when none was
    // asked for or the device had none (backupNoFile).
    std::string backup;
    bool backupNoFile = false;
    // The backup held until the result goes (after the report): no other store's pruning
    // removes a backup the report names.
    std::shared_ptr<BackupHold> backupHold;
};

struct FleetSettings {
    FleetAction action = FleetAction::Info;
    unsigned jobs = 8;  // devices worked on at once, at least 1
    LinkTimings timings;
    const XmlDocument* catalogue = nullptr;  // read: for the tree's variables
    const BackupPolicy* backup = nullptr;    // store: keep each device's duxgate.cfg first
};

// What a run tells as it goes: from the worker threads, one call at a time.
class IFleetObserver {
  public:
    virtual ~IFleetObserver() = default;
    virtual void Started(size_t task) = 0;
    virtual void Finished(size_t task, const FleetResult& result) = 0;
};

// Works on one device on the calling thread, on a connection of its own.
FleetResult RunFleetTask(const FleetTask& task, const FleetSettings& settings);

// Works on every task, at most settings.jobs at once; one device's failure never stops another.
// The results are in the tasks' order.
std::vector<FleetResult> RunFleet(const std::vector<FleetTask>& tasks,
                                  const FleetSettings& settings, IFleetObserver* observer);

// The tasks in turns: one group per endpoint, in the order of the plan within a group, the
// groups with the most devices first (so that a long serial line starts early).
std::vector<std::vector<size_t>> FleetTurns(const std::vector<FleetTask>& tasks);

// The names of the files a device's folder receives.
inline constexpr char kFleetTreeFile[] = "tree.txt";
