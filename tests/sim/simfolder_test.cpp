// The simulated device made from a configuration folder copied from Windows: names in other
// letter cases, the folder given as its CONFIG folder, and the device number of its path.
#include "simfolder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tempdir.h"

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
