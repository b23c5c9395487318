#pragma once
// A scratch folder for one test, removed with everything in it when the test ends.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/scratchfolder.h"
#include "base/u8path.h"

class TempDir {
  public:
    TempDir() {
        Result<std::string> made = MakeScratchFolder("vr7test");
        if (!made) std::abort();
        path_ = std::move(made).value();
    }
    // Read-only files made by a test go too.
    ~TempDir() { RemoveScratchFolder(path_); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder's path, ending in '/'.
    std::string Path() const { return path_ + "/"; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

    // Writes bytes to name (UTF-8, creating folders on the way) and returns the file's path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::string path = path_ + "/" + name;
        const std::filesystem::path p = PathFromUtf8(path);
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
        return path;
    }

    std::string MakeDir(const std::string& name) const {
        const std::string path = path_ + "/" + name;
        std::filesystem::create_directories(PathFromUtf8(path));
        return path + "/";
    }

  private:
    std::string path_;
};

// Runs a test in a folder of its own (the commands' local files live in the working directory)
// and returns to where it was.
class WorkingDirectory {
  public:
    explicit WorkingDirectory(const std::string& path)
        : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(PathFromUtf8(path));
    }
    ~WorkingDirectory() {
        std::error_code ec;
        std::filesystem::current_path(previous_, ec);
    }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

  private:
    std::filesystem::path previous_;
};
