// The simulated device made from a configuration folder copied from Windows: names in other
// letter cases, the folder given as its CONFIG folder, and the device number of its path.
#include "sim/simfolder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/common/tempdir.h"
#include "tests/common/unprivileged.h"

namespace {

namespace fs = std::filesystem;

const std::string kDemoConfig = VR7_SOURCE_DIR "/examples/vr7_12/CONFIG";

TEST(SimFolderCopy, FindsConfigAndTheSettingsFileInAnyLetterCase) {
    TempDir dir;
    dir.MakeDir("Site_VR7_0031");
    fs::copy(kDemoConfig, dir / "Site_VR7_0031/config", fs::copy_options::recursive);
    fs::rename(dir / "Site_VR7_0031/config/duxgate.cfg", dir / "Site_VR7_0031/config/DUXGate.CFG");

    const std::string folder = dir / "Site_VR7_0031";
    EXPECT_EQ(SimFolderDeviceNumber(folder), 31u);
    SimDevice device;
    std::string error;
    ASSERT_TRUE(SimDeviceFromFolder(folder, device, &error)) << error;
    EXPECT_EQ(device.systems.size(), 3u);
    EXPECT_EQ(device.entries.size(), 29u);  // every variable: no catalogue filters them
    ASSERT_TRUE(device.files.count("duxgate.cfg"));
    EXPECT_FALSE(device.files["duxgate.cfg"].empty());

    // The CONFIG folder itself serves as well.
    SimDevice same;
    ASSERT_TRUE(SimDeviceFromFolder(folder + "/config", same, &error)) << error;
    EXPECT_EQ(same.entries, device.entries);
    EXPECT_EQ(same.files, device.files);
}

// A folder the user may only read (an installed demo, a read-only share or medium) serves the
// same device as a writable copy of it: its definition file is read, not taken as absent.
TEST(SimFolderCopy, AFolderTheUserMayOnlyReadServesTheWholeDevice) {
    TempDir dir;
    dir.MakeDir("vr7_12");
    fs::copy(kDemoConfig, dir / "vr7_12/CONFIG", fs::copy_options::recursive);
    SimDevice writable;
    std::string error;
    ASSERT_TRUE(SimDeviceFromFolder(dir / "vr7_12", writable, &error)) << error;

    // Files readable by all but writable by their owner alone (root's, as installed), or by
    // nobody (the read-only attribute); folders readable and searchable by all.
    for (const auto& e : fs::recursive_directory_iterator(dir.Path())) {
        const bool folder = e.is_directory();
        const bool def = e.path().filename() == "main.def";
        fs::permissions(e.path(), folder ? fs::perms(0555) : fs::perms(def ? 0444 : 0644));
    }
    fs::permissions(dir.Path(), fs::perms(0755));

    const std::string failure = RunUnprivileged([&]() -> std::string {
        SimDevice device;
        std::string why;
        if (!SimDeviceFromFolder(dir / "vr7_12", device, &why)) return "refused: " + why;
        if (device.systems.size() != writable.systems.size()) return "other systems";
        for (size_t i = 0; i < device.systems.size(); ++i) {
            if (device.systems[i].name != writable.systems[i].name ||
                device.systems[i].text2 != writable.systems[i].text2)
                return "other system " + std::to_string(i + 1);
        }
        if (device.entries != writable.entries) return "other entries";
        if (device.files != writable.files) return "other files";
        return "";
    });
    EXPECT_EQ(failure, "");
}

TEST(SimFolderCopy, APathWithoutADeviceNumberGivesZero) {
    EXPECT_EQ(SimFolderDeviceNumber("/srv/plant"), 0u);
    EXPECT_EQ(SimFolderDeviceNumber("/srv/vr7_/x"), 0u);
}

TEST(SimFolderCopy, AMissingSystemFileIsReported) {
    TempDir dir;
    dir.MakeDir("vr7_1");
    fs::copy(kDemoConfig, dir / "vr7_1/CONFIG", fs::copy_options::recursive);
    fs::remove(dir / "vr7_1/CONFIG/gvs.xms");
    SimDevice device;
    std::string error;
    EXPECT_FALSE(SimDeviceFromFolder(dir / "vr7_1", device, &error));
    EXPECT_NE(error.find("cannot be read"), std::string::npos) << error;
}

}  // namespace
