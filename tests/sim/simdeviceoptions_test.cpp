// The devices vr7sim is told to serve: a device's own options, its FOLDER[:NUMBER]@TCPPORT, the
// lines of a site file, and the device a description makes.
#include <gtest/gtest.h>

#include "sim/simdeviceoptions.h"
#include "tests/common/tempdir.h"

namespace {

const std::string kDemoFolder = VR7_SOURCE_DIR "/examples/vr7_12";

// A spec in a few words, to compare whole specs in one line.
std::string Describe(const SimDeviceSpec& s) {
    std::string text = s.folder + " port " + std::to_string(s.tcpPort);
    if (s.number) text += " number " + std::to_string(*s.number);
    if (s.version)
        text += " version " + std::to_string(s.version->major) + "." +
                std::to_string(s.version->minor) + "." + std::to_string(s.version->build);
    for (const std::string& f : s.files) text += " file " + f;
    if (!s.storeDir.empty()) text += " store";
    if (s.protect) text += " protect";
    for (const SimFault& f : s.faults)
        text += " fault " + std::to_string(static_cast<int>(f.kind)) + "@" +
                std::to_string(f.command) + "=" + std::to_string(f.value);
    return text;
}

TEST(SimSpec, SiteLines) {
    TempDir dir;
    const std::string store = dir.MakeDir("store");
    struct Case {
        std::string line;
        std::string spec;   // what the line describes; empty when it describes no device
        std::string error;  // the message after "site:1: " when the line is refused
    };
    const Case cases[] = {
        {"-@0", "- port 0", ""},
        {"  examples/vr7_12:7@40001   # the boiler room", "examples/vr7_12 port 40001 number 7",
         ""},
        {"dev@5 --number 9 --version 2.1.40 --protect",
         "dev port 5 number 9 version 2.1.40 protect", ""},
        {"\t-@0\t--file a.cfg=x.txt --file \"b c=my file\" --store " + store,
         "- port 0 file a.cfg=x.txt file b c=my file store", ""},
        {"-@0 --fault silent --fault refuse,at=upload,value=0x15",
         "- port 0 fault 0@-1=0 fault 2@7=21", ""},
        {"\"folder with # and blanks\":3@1", "folder with # and blanks port 1 number 3", ""},
        {"a:b:12@1\r", "a:b port 1 number 12", ""},
        {"   # a comment only", "", ""},
        {"", "", ""},
        {"examples/vr7_12", "", "FOLDER[:NUMBER]@TCPPORT expected: examples/vr7_12"},
        {"@10", "", "FOLDER[:NUMBER]@TCPPORT expected: @10"},
        {":4@10", "", "FOLDER[:NUMBER]@TCPPORT expected: :4@10"},
        {"-@65536", "", "bad port: 65536"},
        {"-@", "", "bad port: "},
        {"a:x@1", "", "bad number: x"},
        {"-@0 --number", "", "not a device option, or its value is missing: --number"},
        {"-@0 --number -1", "", "bad number: -1"},
        {"-@0 --version 1.2", "", "bad version: 1.2"},
        {"-@0 --fault sleepy", "", "unknown fault kind: sleepy"},
        {"-@0 --store " + dir / "none", "", "not a folder: " + dir / "none"},
        {"-@0 --tcp 5", "", "not a device option, or its value is missing: --tcp"},
        {"-@0 --pty", "", "not a device option, or its value is missing: --pty"},
        {"-@0 \"open", "", "unterminated \""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::vector<SimDeviceSpec> specs;
        std::string error;
        const bool ok = ParseSimSiteText(c.line, "site", specs, &error);
        if (!c.error.empty()) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(error, "site:1: " + c.error);
            continue;
        }
        ASSERT_TRUE(ok) << error;
        if (c.spec.empty()) {
            EXPECT_TRUE(specs.empty());
            continue;
        }
        ASSERT_EQ(specs.size(), 1u);
        EXPECT_EQ(Describe(specs[0]), c.spec);
        EXPECT_EQ(specs[0].origin, "site:1");
    }
}

TEST(SimSpec, SiteFileNamesTheLineOfEachDeviceAndOfAFault) {
    TempDir dir;
    const std::string path = dir.Write("site.txt",
                                       "# boiler house\r\n"
                                       "-:1@0\r\n"
                                       "\r\n"
                                       "-:2@0 --protect\r\n");
    std::vector<SimDeviceSpec> specs;
    std::string error;
    ASSERT_TRUE(ReadSimSiteFile(path, specs, &error)) << error;
    ASSERT_EQ(specs.size(), 2u);
    EXPECT_EQ(specs[0].origin, path + ":2");
    EXPECT_EQ(specs[1].origin, path + ":4");
    EXPECT_TRUE(specs[1].protect);

    dir.Write("bad.txt", "-@0\n-@0\n-@0 --version x\n");
    EXPECT_FALSE(ReadSimSiteFile(dir / "bad.txt", specs, &error));
    EXPECT_EQ(error, dir / "bad.txt" + ":3: bad version: x");
    EXPECT_FALSE(ReadSimSiteFile(dir / "none.txt", specs, &error));
    EXPECT_EQ(error, "cannot read the site file: " + dir / "none.txt");
}

TEST(SimSpec, TheDeviceADescriptionMakes) {
    TempDir dir;
    const std::string served = dir.Write("served.txt", "served bytes");
    struct Case {
        std::string words;
        uint32_t number;
        bool fromFolder;  // the folder's systems rather than the built-in device's
        std::string error;
    };
    const Case cases[] = {
        {"-@0", SimDemoDevice().number, false, ""},
        {"-:33@0", 33, false, ""},
        {kDemoFolder + "@0", 12, true, ""},  // the folder's "vr7_" digits
        {kDemoFolder + ":5@0", 5, true, ""},
        {kDemoFolder + "@0 --number 6", 6, true, ""},
        {"-@0 --file x.cfg=" + served, SimDemoDevice().number, false, ""},
        {VR7_SOURCE_DIR "/examples/no_such@0", 0, false, "?"},
        {"-@0 --file x.cfg=" + dir / "none", 0, false, "cannot read file: x.cfg=" + dir / "none"},
    };
    const SimDevice demo = SimDemoDevice();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words);
        std::vector<SimDeviceSpec> specs;
        std::string error;
        ASSERT_TRUE(ParseSimSiteText(
            "\"" + c.words.substr(0, c.words.find('@')) + "\"" + c.words.substr(c.words.find('@')),
            "site", specs, &error))
            << error;
        SimDevice device;
        const bool made = MakeSimDevice(specs.at(0), device, &error);
        if (!c.error.empty()) {
            EXPECT_FALSE(made);
            if (c.error != "?") {
                EXPECT_EQ(error, c.error);
            }
            EXPECT_NE(error, "");
            continue;
        }
        ASSERT_TRUE(made) << error;
        EXPECT_EQ(device.number, c.number);
        EXPECT_EQ(device.systems.size() != demo.systems.size() ||
                      device.entries.size() != demo.entries.size(),
                  c.fromFolder);
        if (c.words.find("--file") != std::string::npos) {
            const auto& bytes = device.files.at("x.cfg");
            EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "served bytes");
        }
    }
    // Version, write protection and the store folder reach the device.
    SimDeviceSpec spec;
    spec.folder = "-";
    spec.version = SimVersion{3, 4, 500};
    spec.protect = true;
    spec.storeDir = dir.Path();
    SimDevice device;
    ASSERT_TRUE(MakeSimDevice(spec, device, nullptr));
    EXPECT_EQ(device.versionMajor, 3);
    EXPECT_EQ(device.versionMinor, 4);
    EXPECT_EQ(device.versionBuild, 500);
    EXPECT_TRUE(device.writeProtected);
    EXPECT_EQ(device.storeDir, dir.Path());
}

}  // namespace

TEST(SimSpec, AFolderOnAWindowsDriveKeepsItsColon) {
    const struct {
        std::string text;
        std::string folder;
        std::optional<uint32_t> number;
    } cases[] = {
        {"C:/site@10001", "C:/site", std::nullopt},
        {"C:\\site:7@0", "C:\\site", 7},
        {"c:@0", "c:", std::nullopt},
        {"a:12@0", "a", 12},  // a one-letter folder with its number
        {"site:3@0", "site", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        SimDeviceSpec spec;
        std::string error;
        ASSERT_TRUE(ParseSimDeviceAddress(c.text, spec, &error)) << error;
        EXPECT_EQ(spec.folder, c.folder);
        EXPECT_EQ(spec.number, c.number);
    }
}
