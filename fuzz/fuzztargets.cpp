#include "fuzz/fuzztargets.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "base/inifile.h"
#include "base/scratchfolder.h"
#include "base/uniquefd.h"
#include "device/devicecommands.h"
#include "fleet/fleetplan.h"
#include "fleet/fleetrun.h"
#include "gateway/gatewayfile.h"
#include "gateway/listdiff.h"
#include "gateway/maxvariables.h"
#include "gateway/snvtlist.h"
#include "link/connection.h"
#include "link/vr7prot.h"
#include "optlist/defstorage.h"
#include "optlist/optlist.h"
#include "optlist/xmldocument.h"
#include "sim/simdeviceoptions.h"

namespace fuzztarget {
namespace {

// The bytes as a file that lives in memory only; Path() names it for code that opens files.
class MemoryFile {
  public:
    MemoryFile(const uint8_t* data, size_t size) : fd_(::memfd_create("vr7fuzz", MFD_CLOEXEC)) {
        size_t done = 0;
        while (fd_ && done < size) {
            const ssize_t n = ::write(fd_.Get(), data + done, size - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
    }
    std::string Path() const { return "/proc/self/fd/" + std::to_string(fd_.Get()); }

  private:
    UniqueFd fd_;
};

// A folder of this process for the targets that need a real file (a write renames over it).
const std::string& ScratchDir() {
    static const std::string dir = [] {
        Result<std::string> made = MakeScratchFolder("vr7fuzz");
        if (!made) std::abort();
        return std::move(made).value();
    }();
    return dir;
}

// The example catalogue, so that the lookups of the gateway file reader have entries to find.
const XmlDocument& Catalogue() {
    static XmlDocument* catalogue = [] {
        auto* doc = new XmlDocument(VR7_SOURCE_DIR "/examples/calcbank.xml");
        (void)doc->Load();  // without it the lookups find nothing, which is still a run
        return doc;
    }();
    return *catalogue;
}

// A device made of the input: each written request takes the next answer. An answer is a
// control byte (bit 7: build a valid frame of the command byte and data that follow; the low 7
// bits and the next byte: its length), then its bytes.
class FuzzLink : public CLink {
  public:
    FuzzLink(const uint8_t* data, size_t size, bool tcpTimeouts)
        : data_(data), size_(size), tcpTimeouts_(tcpTimeouts) {}

    int Open(bool) override { return 0; }
    bool IsOpen() override { return true; }
    int Purge(int) override {
        input_.clear();
        return 1;
    }
    int Write(const void*, int count, int* written) override {
        input_ = NextAnswer();
        if (written) *written = count;
        return 0;
    }
    int Read(void* buffer, int count, int* got, unsigned) override {
        const int n = std::min<int>(count, static_cast<int>(input_.size()));
        if (n > 0) std::memcpy(buffer, input_.data(), static_cast<size_t>(n));
        input_.erase(input_.begin(), input_.begin() + n);
        if (got) *got = n;
        return n == 0 && tcpTimeouts_ ? lr::TcpTimeout : lr::Ok;
    }

  private:
    std::vector<uint8_t> NextAnswer() {
        if (pos_ + 2 > size_) return {};
        const uint8_t control = data_[pos_];
        size_t length = (static_cast<size_t>(control & 0x7F) << 8) | data_[pos_ + 1];
        pos_ += 2;
        length = std::min(length, size_ - pos_);
        const uint8_t* bytes = data_ + pos_;
        pos_ += length;
        if ((control & 0x80) == 0 || length == 0)
            return std::vector<uint8_t>(bytes, bytes + length);
        return MakeFrame(7, bytes[0], bytes + 1, length - 1);
    }

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool tcpTimeouts_;
    std::vector<uint8_t> input_;
};

}  // namespace

void DefFile(const uint8_t* data, size_t size) {
    const MemoryFile file(data, size);
    CDefStorage def;
    def.Open(file.Path().c_str(), winfile::GENERIC_READ | winfile::GENERIC_WRITE,
             winfile::FILE_SHARE_READ, winfile::OPEN_EXISTING, 0);
    for (const char* key : {"syslink::sys1", "SYSLINK::SYS9", "x", ""}) {
        CMystring k;
        k.Assign(key);
        (void)def.GetValue(k);
    }
}

void GatewayFile(const uint8_t* data, size_t size) {
    const MemoryFile file(data, size);
    SnvtList list(Catalogue());
    list.SetMaxVariables(100000);
    (void)LoadGatewayFileAt(list, file.Path());
}

void XmlLookups(const uint8_t* data, size_t size) {
    const MemoryFile file(data, size);
    XmlDocument doc(file.Path());
    if (!doc.Load()) return;
    for (const char* name : {"t1", "q12", "known", "tout", "\xF2\x31", ""}) {
        (void)GetVarOptions(doc, name);
        (void)GetVarNote(doc, name);
    }
    (void)GetFirstChildAttr(doc, "LonCfg", "size");
    (void)LoadMaxVariables(doc);
    for (const char* slot : {"sys1", "sys9"}) (void)FindChildText(doc, "syslink", "name", slot);
    std::string name;
    if (doc.DocumentElement() != nullptr)
        (void)XmlDocument::Attribute(doc.DocumentElement(), "name", name);
}

void IniFile(const uint8_t* data, size_t size) {
    const MemoryFile file(data, size);
    const std::string path = file.Path();
    for (const char* key : {"port", "IP", "TCPIPport", "speed"})
        (void)ini::ReadString(path, "CONNECTION", key, "d");
    (void)ini::AtoiInt(ini::ReadString(path, "CONNECTION", "TCPIPport", "10001"));

    // A write keeps every other line, in the file's own encoding and line ends.
    const std::string copy = ScratchDir() + "/f.ini";
    {
        UniqueFd out(::open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        if (!out || ::write(out.Get(), data, size) != static_cast<ssize_t>(size)) return;
    }
    ini::WriteString(copy, "CONNECTION", "dev_nom", "12");
    (void)ini::ReadString(copy, "connection", "DEV_NOM", "");
}

void Protocol(const uint8_t* data, size_t size) {
    if (size == 0) return;
    const uint8_t op = data[0];
    connection conn;
    conn.Timings = LinkTimings{}.Scaled(0.0);
    conn.SetLink(std::make_unique<FuzzLink>(data + 1, size - 1, (op & 0x08) != 0));
    switch (op % 5) {
        case 0: {
            DeviceInfo info;
            ReadDeviceInfo(conn, AnyDeviceAddress, info);
            break;
        }
        case 1: {
            SConfigInfo header;
            ReadConfigHeader(conn, 7, header);
            break;
        }
        case 2: {
            uint8_t entry[17];
            int length = 0;
            ReadConfigEntry(conn, 7, 1, entry, static_cast<int>(sizeof entry), &length);
            break;
        }
        case 3: {
            // A download kept whole, or compared block by block as a verify does: neither ever
            // holds more than the largest file taken.
            if ((op & 0x10) != 0) {
                const FileVerification v =
                    VerifyDeviceFile(conn, 7, "duxgate.cfg", "F 40001 105 t1 C\r\n", nullptr);
                if (v.deviceSize > kMaxDeviceFileBytes) std::abort();
            } else {
                std::ostringstream dest;
                ReadDeviceFile(conn, 7, &dest, "duxgate.cfg", nullptr);
                if (dest.str().size() > kMaxDeviceFileBytes) std::abort();
            }
            break;
        }
        default: {
            std::istringstream src(std::string((op >> 4) * 300u, 'u'));
            WriteDeviceFile(conn, 7, &src, "DUXGate.cfg", nullptr);
            break;
        }
    }
}

void ListDiff(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t cut = std::min(input.find('\0'), input.size());
    SnvtList a(Catalogue());
    SnvtList b(Catalogue());
    // A side with more rows than a list holds is compared as far as it was loaded.
    (void)LoadGatewayBytes(a, input.substr(0, cut));
    (void)LoadGatewayBytes(b, input.substr(std::min(cut + 1, input.size())));
    if (!DiffLists(a.Rows(), a.Rows()).empty()) std::abort();
    for (const ListDiffEntry& e : DiffLists(a.Rows(), b.Rows())) {
        const bool hasBefore = e.kind != ListEntryKind::Added;
        const bool hasAfter = e.kind != ListEntryKind::Removed;
        if (hasBefore && (e.beforeIndex >= a.Rows().size() || e.before != &a.Rows()[e.beforeIndex]))
            std::abort();
        if (hasAfter && (e.afterIndex >= b.Rows().size() || e.after != &b.Rows()[e.afterIndex]))
            std::abort();
        if (e.kind == ListEntryKind::Kept && !e.moved && e.changes.empty()) std::abort();
    }
}

void FleetPlan(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const bool fileNeeded : {false, true}) {
        ::FleetPlan plan;
        std::string error;
        if (!ParseFleetPlan(text, fileNeeded, plan, error)) continue;
        std::set<std::string> names;
        std::vector<FleetTask> tasks;
        const FleetEndpoint defaults{"TCP/IP", "127.0.0.1", "10001", 9600, 1};
        for (const FleetDevice& device : plan.devices) {
            if (!IsSafeFolderName(device.name) ||
                !names.insert(FoldedFolderName(device.name)).second)
                std::abort();
            if (fileNeeded && device.file.empty()) std::abort();
            if (device.name.find('\0') != std::string::npos ||
                device.file.find('\0') != std::string::npos)
                std::abort();
            FleetTask task;
            task.endpoint = ResolveEndpoint(defaults, device);
            // Names are not looked up in a fuzz run: only addresses written as numbers.
            if (task.endpoint.ip.find_first_not_of("0123456789.:abcdefABCDEF") != std::string::npos)
                task.endpoint.ip = "127.0.0.1";
            tasks.push_back(std::move(task));
        }
        // A plan's repeated devices: a pair in plan order, on one place.
        if (const std::optional<RepeatedDevice> r = FindRepeatedDevice(tasks)) {
            if (r->first >= r->second || r->second >= tasks.size()) std::abort();
        }
    }
}

void SimSite(const uint8_t* data, size_t size) {
    std::vector<SimDeviceSpec> specs;
    std::string error;
    (void)ParseSimSiteText(std::string(reinterpret_cast<const char*>(data), size), "site.txt",
                           specs, &error);
}

}  // namespace fuzztarget
