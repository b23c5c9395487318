#include "bench/workloads.h"

#include <filesystem>
#include <fstream>

#include "tests/common/deffile.h"

namespace fs = std::filesystem;

namespace {

void WriteFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// The variable names of the workload: letters, then digits, as the device's names go.
std::string VariableName(int system, int i) {
    static const char* const kStems[] = {"t", "p", "g", "q", "v", "dt", "tn", "w"};
    return std::string(kStems[(i + system) % 8]) + std::to_string(i % 997);
}

}  // namespace

OpenWorkload MakeOpenWorkload(const std::string& dir, int systems, int variables, int entries,
                              size_t defBytes) {
    OpenWorkload w;
    const fs::path folder = fs::path(dir) / "vr7_77";
    const fs::path config = folder / "CONFIG";
    w.folder = folder.string();
    w.catalogue = (fs::path(dir) / "calcbank.xml").string();
    w.defFile = (config / "main.def").string();

    // The catalogue: plain names for a third of the values, "$" patterns (one, two, a trailing
    // optional one) spread among them, and names no variable has.
    std::string cat = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<calcbank>\n  <LonCfg size=\"" +
                      std::to_string(entries) + "\"/>\n";
    for (int i = 0; i < entries; ++i) {
        std::string name;
        switch (i % 6) {
            case 0:
                name = VariableName(i % 9, i * 7);
                break;
            case 1:
                name = "x" + std::to_string(i);
                break;  // never asked for
            case 2:
                name = std::string(1, "tpgqvw"[i % 6]) + std::to_string(i % 97) + "$";
                break;
            case 3:
                name = "dt" + std::to_string(i % 9) + "$$";
                break;
            case 4:
                name = "tn$" + std::to_string(i % 10);
                break;
            default:
                name = "y" + std::to_string(i) + "$";
                break;
        }
        cat += "  <calc name=\"" + name + "\" note=\"°C\">\n    <LonVar VSNVTid=\"" +
               std::to_string(100 + i % 50) + "\" FSNVTid=\"83\" flags=\"f" + name +
               "\"/>\n  </calc>\n";
    }
    WriteFile(w.catalogue, cat + "</calcbank>\n");
    w.xmlFiles = w.catalogue;

    std::string xmc = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<vr7cfg number=\"77\">\n";
    for (int s = 1; s <= systems; ++s) {
        const std::string base = "sys" + std::to_string(s);
        xmc += "  <syslink name=\"sys" + std::to_string(s) + "\">" + base + "</syslink>\n";
        std::string xms = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<system name=\"S" +
                          std::to_string(s) + "\">\n";
        for (int i = 0; i < variables; ++i)
            xms += "  <calc name=\"" + VariableName(s, i) + "\" index=\"" + std::to_string(i) +
                   "\" desc=\"a variable of the benchmark\"/>\n";
        WriteFile(config / (base + ".xms"), xms + "</system>\n");
        w.xmlFiles += " " + (config / (base + ".xms")).string();
    }
    WriteFile(config / "main.xmc", xmc + "</vr7cfg>\n");
    w.xmlFiles += " " + (config / "main.xmc").string();

    // main.def: many records first, the syslink records last, as a device's own file has them.
    std::string def = "\x01";
    for (int i = 0; def.size() + 64 < defBytes; ++i)
        def += DefRecord("param::p" + std::to_string(i), "value " + std::to_string(i));
    for (int s = 1; s <= systems; ++s)
        def += DefRecord("syslink::sys" + std::to_string(s), "sys" + std::to_string(s));
    WriteFile(w.defFile, def + "\x10");
    return w;
}

bool MakeUploadFile(const std::string& path, size_t size, unsigned char fill) {
    std::ofstream out(path, std::ios::binary);
    const std::string bytes(size, static_cast<char>(fill));
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

SimDevice MakeDeviceWorkload(int entries) {
    SimDevice device;
    device.number = 77;
    device.versionBuild = 40;
    for (int s = 1; s <= 9; ++s) device.systems.push_back({"S" + std::to_string(s), ""});
    for (int i = 0; i < entries; ++i)
        device.entries.push_back(
            SimCalcEntry(static_cast<uint8_t>(1 + i % 9), VariableName(i % 9, i).substr(0, 6)));
    return device;
}
