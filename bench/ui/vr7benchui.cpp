// vr7benchui: the window's part of the work, offscreen: opening a configuration folder at two
// sizes against libxml2 parsing its files and against building its tree alone, reading a device
// against vr7lon reading the same device, reading it with the exchange log shown against the same
// read with the log hidden, the start-up to the window shown against a minimal Qt window's, and the
// peak memory with the large folder open against the minimal window's, the peak memory re-opening a
// large folder against opening it once, deleting every checked row of a long list against
// loading that list, and the longest stall of the window's event loop while a large device is
// read and applied.
//   vr7benchui [--runs N] [--smoke]
// Each figure is the median of N runs with min and max; each ratio is taken run by run.
#include <libxml/parser.h>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/ui/configtreeview.h"
#include "app/ui/exchangelog.h"
#include "app/ui/shellservices.h"
#include "app/ui/usermessages.h"
#include "app/ui/vr7cfgupdate.h"
#include "base/scratchfolder.h"
#include "bench/benchtable.h"
#include "bench/workloads.h"
#include "cfgtree/configfolder.h"
#include "gateway/gatewayfile.h"
#include "sim/simserver.h"

namespace {

using namespace bench;

// The desktop's answers without a dialog: the folder to open; messages are counted, not shown.
class Answers : public IShellServices, public IUserMessages {
  public:
    QString ChooseFolder(QWidget*, const QString&, const QString&) override { return folder; }
    QString ChooseSaveFile(QWidget*, const SaveRequest&) override { return {}; }
    bool OpenDocument(const QString&) override { return false; }
    void Message(const QString&) override { ++messages; }
    void GeneralError(const QString&) override { ++messages; }
    bool Question(const QString&) override { return true; }
    bool ConfirmStore(const StorePreview&) override { return true; }
    std::optional<BackupSummary> ChooseBackup(const std::vector<BackupSummary>&) override {
        return std::nullopt;
    }
    QString folder;
    int messages = 0;
};

// Shows the window and points its connection at the simulated device 77 on 127.0.0.1.
void ShowPointedAt(TVR7CfgUpdate& window, uint16_t port) {
    window.show();
    QCoreApplication::processEvents();
    window.Connection.PortName = "TCP/IP";
    window.Connection.IpAddress = "127.0.0.1";
    window.Connection.TcpIpPort = std::to_string(port);
    window.Controller.SetDeviceNumber(77);
}

// One Read from VR-7 in the window, until the window has taken its result; seconds.
double TimedRead(TVR7CfgUpdate& window) {
    const auto t0 = Clock::now();
    window.Load1Click();
    // The window's thread sleeps until something is posted to it, as in the program's own loop;
    // a loop that polls would take a core from the worker and the device.
    while (window.DeviceCommandRunning())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
    return Seconds(t0);
}

// The longest time, in milliseconds, that the window's event loop could not run during one Read
// from VR-7: a timer asks to run every millisecond, and the longest gap between two of its runs
// is the longest stall a user would feel (the read's start and its result applied included).
double LongestReadStallMs(TVR7CfgUpdate& window) {
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longest = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    tick.start(1);
    QCoreApplication::processEvents();
    last = clock.nsecsElapsed();
    window.Load1Click();
    while (window.DeviceCommandRunning())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
    longest = std::max(longest, clock.nsecsElapsed() - last);
    return static_cast<double>(longest) / 1e6;
}

// Parses each XML file as the window's reader does, freeing it at once, and reads defFile whole;
// seconds, or a negative value when a file cannot be parsed or read.
double ParseAlone(const std::vector<std::string>& xmlFiles, const std::string& defFile) {
    const auto t0 = Clock::now();
    for (const std::string& file : xmlFiles) {
        xmlDoc* doc = xmlReadFile(
            file.c_str(), nullptr,
            XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT);
        if (doc == nullptr) return -1;
        xmlFreeDoc(doc);
    }
    std::FILE* def = std::fopen(defFile.c_str(), "rb");
    if (def == nullptr) return -1;
    std::vector<char> bytes(std::filesystem::file_size(defFile));
    const size_t read = std::fread(bytes.data(), 1, bytes.size(), def);
    std::fclose(def);
    if (read != bytes.size()) return -1;
    return Seconds(t0);
}

std::vector<std::string> SplitSpaces(const std::string& text) {
    std::vector<std::string> parts;
    size_t from = 0;
    while (from < text.size()) {
        const size_t space = std::min(text.find(' ', from), text.size());
        if (space > from) parts.push_back(text.substr(from, space - from));
        from = space + 1;
    }
    return parts;
}

// vr7benchui --open-child FOLDER [TIMES]: a window that opens FOLDER (TIMES times, default once)
// and ends, so that its peak memory can be taken as a child's.
int OpenChild(int argc, char** argv, const QString& folder, int times) {
    QApplication application(argc, argv);
    Answers answers;
    answers.folder = folder;
    TVR7CfgUpdate::Environment environment;
    environment.programDir = QDir::currentPath();
    environment.messages = &answers;
    environment.shell = &answers;
    TVR7CfgUpdate window(environment);
    window.show();
    QCoreApplication::processEvents();
    for (int i = 0; i < times; ++i) {
        window.Open1Click();
        QCoreApplication::processEvents();
    }
    return answers.messages == 0 && window.TreeView1->topLevelItemCount() == 1 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if ((argc == 3 || argc == 4) && std::string(argv[1]) == "--open-child")
        return OpenChild(argc, argv, QString::fromLocal8Bit(argv[2]),
                         argc == 4 ? std::max(1, std::atoi(argv[3])) : 1);
    bench::Args args;
    if (!bench::ParseArgs(argc, argv, "vr7benchui", args)) return 64;
    const bool smoke = args.smoke;
    const int runs = args.runs;
    QApplication application(argc, argv);
    const Result<std::string> made = MakeScratchFolder("vr7benchui");
    if (!made) return 1;
    const std::string dir = made.value();
    const std::string programDir = dir + "/program";
    std::filesystem::create_directories(programDir);
    std::vector<Row> rows;

    // Opening the folder in the window (tree shown, list loaded) against libxml2 parsing the same
    // XML files (and reading main.def) in this process, and against building its tree alone; at
    // two sizes. Both workloads share the catalogue, which the window loads from the working
    // folder.
    const int entries = smoke ? 40 : 2000;
    const size_t defBytes = smoke ? 4096 : (1u << 20);
    const int smallSize = smoke ? 20 : 1000;
    const int largeSize = smoke ? 40 : 16000;
    std::vector<OpenWorkload> workloads;
    for (const int variables : {smallSize, largeSize})
        workloads.push_back(MakeOpenWorkload(dir + "/open" + std::to_string(variables), 9,
                                             variables, entries, defBytes));
    std::filesystem::copy_file(workloads.front().catalogue, dir + "/calcbank.xml");
    std::filesystem::current_path(dir);
    Answers answers;
    TVR7CfgUpdate::Environment environment;
    environment.programDir = QString::fromStdString(programDir);
    environment.messages = &answers;
    environment.shell = &answers;
    for (size_t k = 0; k < workloads.size(); ++k) {
        const OpenWorkload& w = workloads[k];
        const std::string size = std::to_string(k == 0 ? smallSize : largeSize);
        answers.folder = QString::fromStdString(w.folder);
        const std::vector<std::string> xmlFiles = SplitSpaces(w.xmlFiles);
        Row parsed{"window Open: 9 systems x " + size + " (libxml2 parsing its files)", {}, {}, {}};
        Row built{"window Open: 9 systems x " + size + " (tree build alone)", {}, {}, {}};
        TVR7CfgUpdate window(environment);
        window.show();
        QCoreApplication::processEvents();
        for (int i = 0; i < runs; ++i) {
            auto t0 = Clock::now();
            window.Open1Click();
            QCoreApplication::processEvents();
            const double opened = Seconds(t0);
            const double floor = ParseAlone(xmlFiles, w.defFile);
            t0 = Clock::now();
            {
                XmlDocument scratch;
                const FolderTree tree =
                    BuildConfigTree(FolderConfigDir(w.folder), 77, &window.CfgFilter, scratch);
            }
            const double build = Seconds(t0);
            if (floor < 0 || window.TreeView1->topLevelItemCount() != 1) {
                std::fprintf(stderr, "vr7benchui: opening %s failed\n", w.folder.c_str());
                return 1;
            }
            for (Row* row : {&parsed, &built}) {
                row->program.push_back(opened);
                row->floor.push_back(row == &parsed ? floor : build);
                row->ratio.push_back(opened / row->floor.back());
            }
        }
        rows.push_back(parsed);
        rows.push_back(built);
    }
    const OpenWorkload& w = workloads.front();
    const OpenWorkload& large = workloads.back();

    // Reading a device in the window against vr7lon reading the same device.
    const int deviceEntries = smoke ? 50 : 5004;
    SimServer server(MakeDeviceWorkload(deviceEntries));
    if (!server.Start(SimEndpoints{})) return 1;
    Row read{
        "window Read from VR-7 over TCP: " + std::to_string(deviceEntries) + " entries (vr7lon)",
        {},
        {},
        {}};
    {
        TVR7CfgUpdate window(environment);
        ShowPointedAt(window, server.TcpPort());
        const std::string vr7lon =
            std::string(VR7LON_PROGRAM) + " device --ip 127.0.0.1 --tcp-port " +
            std::to_string(server.TcpPort()) + " --number 77 read --catalog " + w.catalogue;
        for (int i = 0; i < runs; ++i) {
            read.program.push_back(TimedRead(window));
            read.floor.push_back(TimeShell(vr7lon));
            read.ratio.push_back(read.program.back() / read.floor.back());
        }
    }
    rows.push_back(read);

    // The same read with the exchange log shown (every frame a line) against the log hidden.
    Row logged{
        "window Read, exchange log shown: " + std::to_string(deviceEntries) + " entries (hidden)",
        {},
        {},
        {}};
    {
        TVR7CfgUpdate window(environment);
        ShowPointedAt(window, server.TcpPort());
        for (int i = 0; i < runs; ++i) {
            // The dock's showing or hiding relays the window out: not part of the read.
            window.ExchangeLog->hide();
            QCoreApplication::processEvents();
            logged.floor.push_back(TimedRead(window));
            window.ExchangeLog->show();
            QCoreApplication::processEvents();
            logged.program.push_back(TimedRead(window));
            logged.ratio.push_back(logged.program.back() / logged.floor.back());
        }
    }
    server.Stop();
    rows.push_back(logged);

    // The longest stall of the window's event loop during a read of a large device, whose
    // settings file fills the list (9 systems of 7 281 entries, the most a device can number in
    // its 16-bit entry numbers, and 65 535 rows), against the same on a small device: the tree
    // and the list are applied in one step when the read ends.
    const int largeSystemSize = smoke ? 200 : 7281;
    const int longList = smoke ? 2000 : 65535;
    std::string longListText;
    std::string shortListText;
    for (int i = 0; i < longList; ++i) {
        longListText += "F " + std::to_string(40001 + 2 * i) + " 105                    v" +
                        std::to_string(i) + " C\r\n";
        if (i == 9) shortListText = longListText;
    }
    SimDevice largeDevice = MakeDeviceWorkload(9 * largeSystemSize);
    largeDevice.files["duxgate.cfg"].assign(longListText.begin(), longListText.end());
    SimDevice smallDevice = MakeDeviceWorkload(9 * 10);
    smallDevice.files["duxgate.cfg"].assign(shortListText.begin(), shortListText.end());
    Row stall{"window Read, longest stall: 9 x " + std::to_string(largeSystemSize) + " entries, " +
                  std::to_string(longList) + " rows (9 x 10, 10 rows)",
              {},
              {},
              {},
              "ms"};
    {
        SimServer largeServer(largeDevice);
        SimServer smallServer(smallDevice);
        if (!largeServer.Start(SimEndpoints{}) || !smallServer.Start(SimEndpoints{})) return 1;
        TVR7CfgUpdate window(environment);
        for (int i = 0; i < runs; ++i) {
            ShowPointedAt(window, smallServer.TcpPort());
            stall.floor.push_back(LongestReadStallMs(window));
            ShowPointedAt(window, largeServer.TcpPort());
            stall.program.push_back(LongestReadStallMs(window));
            stall.ratio.push_back(stall.program.back() / stall.floor.back());
            if (window.ListView1->rowCount() != longList) {
                std::fprintf(stderr, "vr7benchui: the long list was not read (%d rows)\n",
                             window.ListView1->rowCount());
                return 1;
            }
        }
    }
    rows.push_back(stall);

    // "Удалить выбранное" on a list with every row checked, against loading the same list into
    // the window: both linear in the rows, so the ratio stays flat as the list grows.
    for (const int count :
         smoke ? std::vector<int>{200, 800} : std::vector<int>{1000, 5000, 10000, 20000}) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += "F " + std::to_string(40001 + 2 * i) + " 105                    v" +
                    std::to_string(i) + " C\r\n";
        Row removed{
            "window delete checked: " + std::to_string(count) + " rows (load them)", {}, {}, {}};
        TVR7CfgUpdate window(environment);
        window.show();
        QCoreApplication::processEvents();
        for (int i = 0; i < runs; ++i) {
            auto t0 = Clock::now();
            (void)LoadGatewayBytes(window.List, text);
            QCoreApplication::processEvents();
            removed.floor.push_back(Seconds(t0));
            window.Panel2_SetAll_Click();
            QCoreApplication::processEvents();
            t0 = Clock::now();
            window.DelSelected_R_ButtonClick();
            QCoreApplication::processEvents();
            removed.program.push_back(Seconds(t0));
            removed.ratio.push_back(removed.program.back() / removed.floor.back());
            if (window.ListView1->rowCount() != 0) {
                std::fprintf(stderr, "vr7benchui: rows left after deleting them all\n");
                return 1;
            }
        }
        rows.push_back(removed);
    }

    // Start-up to the window shown, with the demo catalogue in the working folder, against a
    // minimal Qt window started the same way: each a process that ends when its window is first
    // exposed. The empty minimal window never starts the font system; the one with a menu does,
    // as every window that shows a word must. The empty window's peak memory is the floor of the
    // window's with the large folder open.
    const std::string startDir = dir + "/start";
    std::filesystem::create_directories(startDir);
    std::filesystem::copy_file(VR7_DEMO_CATALOGUE, startDir + "/calcbank.xml");
    Row start{"window start-up, demo catalogue (minimal Qt window)", {}, {}, {}};
    Row startMenu{"window start-up, demo catalogue (minimal, with a menu)", {}, {}, {}};
    Row memory{"peak memory, window with 9 x " + std::to_string(smoke ? 20 : 1000) +
                   " open (minimal window)",
               {},
               {},
               {},
               "MiB"};
    Row reopened{
        "peak memory, window re-opening 9 x " + std::to_string(largeSize) + " (opening it once)",
        {},
        {},
        {},
        "MiB"};
    std::error_code self;
    const std::string benchui = std::filesystem::read_symlink("/proc/self/exe", self).string();
    auto add = [](Row& row, double program, double floor) {
        row.program.push_back(program);
        row.floor.push_back(floor);
        row.ratio.push_back(program / floor);
    };
    for (int i = 0; i < runs; ++i) {
        std::filesystem::current_path(startDir);
        const ChildRun window = RunChild(VR7_PEAK_RUN, {VR7_START_WINDOW});
        const ChildRun minimal = RunChild(VR7_PEAK_RUN, {VR7_MIN_WINDOW});
        const ChildRun menu = RunChild(VR7_PEAK_RUN, {VR7_MIN_WINDOW, "--menu"});
        std::filesystem::current_path(dir);
        const ChildRun opened = RunChild(VR7_PEAK_RUN, {benchui, "--open-child", w.folder});
        const ChildRun once = RunChild(VR7_PEAK_RUN, {benchui, "--open-child", large.folder});
        const ChildRun twice = RunChild(VR7_PEAK_RUN, {benchui, "--open-child", large.folder, "2"});
        if (window.seconds < 0 || minimal.seconds < 0 || menu.seconds < 0 || opened.seconds < 0 ||
            once.seconds < 0 || twice.seconds < 0) {
            std::fprintf(stderr, "vr7benchui: a start-up run failed\n");
            return 1;
        }
        add(start, window.seconds, minimal.seconds);
        add(startMenu, window.seconds, menu.seconds);
        add(memory, opened.peakMiB, minimal.peakMiB);
        add(reopened, twice.peakMiB, once.peakMiB);
    }
    rows.push_back(start);
    rows.push_back(startMenu);
    rows.push_back(memory);
    rows.push_back(reopened);

    Print(rows);
    if (answers.messages != 0) std::printf("(the window showed %d messages)\n", answers.messages);
    std::error_code ec;
    std::filesystem::current_path("/", ec);
    std::filesystem::remove_all(dir, ec);
    return 0;
}
