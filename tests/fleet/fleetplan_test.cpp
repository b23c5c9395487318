// The fleet's plan: which CSV texts are taken and how, which are refused and with what reason, and
// how a device's endpoint comes out of its cells and the defaults.
#include "fleet/fleetplan.h"

#include <gtest/gtest.h>

#include "fleet/fleetrun.h"

namespace {

struct GoodPlan {
    const char* what;
    std::string text;
    bool fileNeeded;
    // Each device as "name|port|ip|tcp_port|speed|number|file|line", "-" for an absent value.
    std::vector<std::string> devices;
};

std::string Describe(const FleetDevice& d) {
    auto opt = [](const auto& v) {
        if (!v) return std::string("-");
        if constexpr (std::is_same_v<std::decay_t<decltype(*v)>, std::string>)
            return *v;
        else
            return std::to_string(*v);
    };
    return d.name + "|" + opt(d.port) + "|" + opt(d.ip) + "|" + opt(d.tcpPort) + "|" +
           opt(d.speed) + "|" + opt(d.number) + "|" + (d.file.empty() ? "-" : d.file) + "|" +
           std::to_string(d.line);
}

TEST(FleetPlan, GoodPlansAreTakenCellByCell) {
    const GoodPlan plans[] = {
        {"every column",
         "name,port,ip,tcp_port,speed,number,file\n"
         "boiler-1,TCP/IP,10.0.0.11,10001,,12,boiler.cfg\n"
         "pump_2,/dev/ttyUSB0,,,115200,0,pump.cfg\n",
         true,
         {"boiler-1|TCP/IP|10.0.0.11|10001|-|12|boiler.cfg|2",
          "pump_2|/dev/ttyUSB0|-|-|115200|0|pump.cfg|3"}},
        {"columns in any order and letter case, some left out",
         "File,NAME,Number\nsub/a.cfg,a,7\n",
         true,
         {"a|-|-|-|-|7|sub/a.cfg|2"}},
        {"quotes, blanks, CR LF, a byte order mark, comments and empty lines",
         "\xEF\xBB\xBFname,ip,file\r\n"
         "# the east wing\r\n"
         "\r\n"
         "  east.1 , 127.0.0.1 ,\"my \"\"best\"\", file.cfg\"\r\n"
         "\"west\",\"\",  \"w.cfg\"  \r\n",
         true,
         {"east.1|-|127.0.0.1|-|-|-|my \"best\", file.cfg|4", "west|-|-|-|-|-|w.cfg|5"}},
        {"a port number without leading zeros, non-ASCII names",
         "name,tcp_port\nКотельная,010001\n",
         false,
         {"Котельная|-|-|10001|-|-|-|2"}},
        {"no file needed for info", "name\nx\n", false, {"x|-|-|-|-|-|-|2"}},
    };
    for (const GoodPlan& p : plans) {
        FleetPlan plan;
        std::string error;
        ASSERT_TRUE(ParseFleetPlan(p.text, p.fileNeeded, plan, error)) << p.what << ": " << error;
        std::vector<std::string> got;
        for (const FleetDevice& d : plan.devices) got.push_back(Describe(d));
        EXPECT_EQ(got, p.devices) << p.what;
    }
}

TEST(FleetPlan, AFaultIsRefusedWithItsLine) {
    const struct {
        std::string text;
        bool fileNeeded;
        std::string error;
    } plans[] = {
        {"", false, "the plan has no header line"},
        {"# only a comment\n", false, "the plan has no header line"},
        {"name,file\n", false, "the plan names no device"},
        {"name,host\na,b\n", false,
         "line 1: unknown column \"host\" (the columns are name, port, ip, tcp_port, speed, "
         "number, file)"},
        {"ip,file\n1.2.3.4,a.cfg\n", false, "line 1: the header line names no column \"name\""},
        {"name,ip,IP\na,b,c\n", false, "line 1: column ip is named twice"},
        {"name,ip\n\n# c\na\n", false, "line 4: has 1 cells, the header names 2"},
        {"name,ip\na,1,2\n", false, "line 2: has 3 cells, the header names 2"},
        {"name,ip\n,1.2.3.4\n", false, "line 2: no name"},
        {"name\nok\nOK\n", false, "line 3: the name OK is taken by an earlier line"},
        {"name\nкотёл-1\nКОТЁЛ-1\n", false, "line 3: the name КОТЁЛ-1 is taken by an earlier line"},
        {"name\n../up\n", false,
         "line 2: name \"../up\" cannot be a folder name (letters, digits, '.', '_', '-', at most "
         "64 bytes, not beginning with '.' or '-')"},
        {"name,tcp_port\na,0\n", false, "line 2: tcp_port \"0\" is no number from 1 to 65535"},
        {"name,tcp_port\na,65536\n", false,
         "line 2: tcp_port \"65536\" is no number from 1 to 65535"},
        {"name,speed\na,fast\n", false, "line 2: speed \"fast\" is no serial speed in baud"},
        {"name,speed\na,0\n", false, "line 2: speed \"0\" is no serial speed in baud"},
        {"name,number\na,-1\n", false, "line 2: number \"-1\" is no number from 0 to 4294967295"},
        {"name,number\na,4294967296\n", false,
         "line 2: number \"4294967296\" is no number from 0 to 4294967295"},
        {"name,file\na,x.cfg\nb,\n", true, "line 3: no file for b"},
        {"name\na\n", true, "line 2: no file for a"},
        {"name,file\na,\"x.cfg\n", true, "line 2: a quoted cell is not closed"},
        {"name,file\na,\"x\"y\n", true, "line 2: text after a quoted cell"},
        {"name,file\na,x.cfg\nb,y.cfg" + std::string(1, '\0') + ".cfg\n", true,
         "line 3: holds a NUL byte (a plan is text)"},
    };
    for (const auto& p : plans) {
        FleetPlan plan;
        plan.devices.resize(1);
        std::string error;
        EXPECT_FALSE(ParseFleetPlan(p.text, p.fileNeeded, plan, error)) << p.text;
        EXPECT_EQ(error, p.error) << p.text;
        EXPECT_TRUE(plan.devices.empty()) << p.text;
    }
}

TEST(FleetPlan, FolderNames) {
    for (const char* good : {"a", "boiler-1", "B.2_x", "Котельная", "a..b", "x-"})
        EXPECT_TRUE(IsSafeFolderName(good)) << good;
    for (const char* bad : {"",
                            ".",
                            "..",
                            ".hidden",
                            "-rf",
                            "a/b",
                            "a\\b",
                            "a b",
                            "a:b",
                            "a*",
                            "\xC3",
                            "\xC3(",
                            "\xFF",
                            "a\t",
                            "a\xC2\xA0"
                            "b",  // no-break space
                            "a\xE2\x80\xAE"
                            "b",  // right-to-left override
                            "a\xE2\x80\x8B"
                            "b",  // zero-width space
                            "a\xE2\x88\x95"
                            "b",             // division slash, a look-alike of '/'
                            "\xC0\xAE",      // an overlong '.'
                            "\xED\xA0\x80",  // a surrogate
                            "a\xC2\xB7"})    // middle dot: no letter
        EXPECT_FALSE(IsSafeFolderName(bad)) << bad;
    for (const char* letters : {"Σίσυφος", "Ärger", "Ωmega-2"})
        EXPECT_TRUE(IsSafeFolderName(letters)) << letters;
    // Letter case in any script, the final sigma too, makes no other name.
    const struct {
        const char* a;
        const char* b;
    } same[] = {{"BOILER", "boiler"}, {"КОТЁЛ", "котёл"}, {"ΣΟΦΟΣ", "σοφος"}, {"σοφοσ", "σοφος"}};
    for (const auto& c : same) EXPECT_EQ(FoldedFolderName(c.a), FoldedFolderName(c.b)) << c.a;
    EXPECT_NE(FoldedFolderName("a1"), FoldedFolderName("a2"));
    EXPECT_TRUE(IsSafeFolderName(std::string(64, 'n')));
    EXPECT_FALSE(IsSafeFolderName(std::string(65, 'n')));
}

TEST(FleetPlan, FilesAreFoundBesideThePlan) {
    EXPECT_EQ(PlanFilePath("site/plan.csv", "a.cfg"), "site/a.cfg");
    EXPECT_EQ(PlanFilePath("site/plan.csv", "../b/a.cfg"), "b/a.cfg");
    EXPECT_EQ(PlanFilePath("plan.csv", "a.cfg"), "a.cfg");
    EXPECT_EQ(PlanFilePath("/x/plan.csv", "/abs/a.cfg"), "/abs/a.cfg");
}

TEST(FleetPlan, EndpointsTakeTheDefaultsUnderTheCells) {
    FleetEndpoint defaults{"COM2", "192.168.0.1", "10001", 9600, 1};
    FleetPlan plan;
    std::string error;
    ASSERT_TRUE(
        ParseFleetPlan("name,port,ip,tcp_port,speed,number\n"
                       "a,,,,,\n"
                       "b,,10.0.0.5,,,0\n"
                       "c,,,10002,,\n"
                       "d,com2,10.0.0.5,,19200,3\n"
                       "e,TCP/IP,,,,\n",
                       false, plan, error))
        << error;
    std::vector<FleetEndpoint> e;
    for (const FleetDevice& d : plan.devices) e.push_back(ResolveEndpoint(defaults, d));
    EXPECT_EQ(e[0].Text(), "COM2");
    EXPECT_EQ(e[0].Key(), "/dev/ttyS1");
    EXPECT_EQ(e[0].number, 1u);
    // An address or TCP port alone selects TCP/IP.
    EXPECT_EQ(e[1].Text(), "10.0.0.5:10001");
    EXPECT_EQ(e[1].number, 0u);
    EXPECT_EQ(e[2].Text(), "192.168.0.1:10002");
    // A port cell decides; "com2" is the same line as "COM2".
    EXPECT_EQ(e[3].Text(), "com2");
    EXPECT_EQ(e[3].Key(), e[0].Key());
    EXPECT_EQ(e[3].speed, 19200u);
    EXPECT_EQ(e[4].Text(), "192.168.0.1:10001");
}

TEST(FleetPlan, DevicesTakeTurnsOnAnEndpointTheLongestLineFirst) {
    auto task = [](const char* port, const char* ip, const char* tcpPort) {
        FleetTask t;
        t.endpoint = FleetEndpoint{port, ip, tcpPort, 9600, 1};
        return t;
    };
    const std::vector<FleetTask> tasks = {
        task("TCP/IP", "10.0.0.1", "10001"),  // 0
        task("COM1", "", ""),                 // 1
        task("TCP/IP", "10.0.0.2", "10001"),  // 2
        task("/dev/ttyS0", "", ""),           // 3: COM1 again
        task("TCP/IP", "10.0.0.1", "10002"),  // 4
        task("TCP/IP", "10.0.0.1", "10001"),  // 5
        task("com1", "", ""),                 // 6
    };
    const std::vector<std::vector<size_t>> expected = {{1, 3, 6}, {0, 5}, {2}, {4}};
    EXPECT_EQ(FleetTurns(tasks), expected);
}

TEST(FleetPlan, Actions) {
    for (FleetAction a :
         {FleetAction::Info, FleetAction::Read, FleetAction::Store, FleetAction::Verify}) {
        FleetAction parsed = FleetAction::Info;
        EXPECT_TRUE(ParseFleetAction(FleetActionName(a), parsed));
        EXPECT_EQ(parsed, a);
    }
    FleetAction parsed = FleetAction::Info;
    EXPECT_FALSE(ParseFleetAction("Store", parsed));
    EXPECT_FALSE(ParseFleetAction("", parsed));
}

}  // namespace
