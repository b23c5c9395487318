#pragma once
// A scratch folder for one test, removed with everything in it when the test ends.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class TempDir {
  public:
    TempDir() {
        std::string templ = (std::filesystem::temp_directory_path() / "vr7test.XXXXXX").string();
        if (mkdtemp(templ.data()) == nullptr) std::abort();
        path_ = templ;
    }
    ~TempDir() {
        std::error_code ec;
        // Restore write access so that read-only files made by a test can be removed.
        for (auto& e : std::filesystem::recursive_directory_iterator(path_, ec)) {
            std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        }
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder's path, ending in '/'.
    std::string Path() const { return path_ + "/"; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

    // Writes bytes to name (creating folders on the way) and returns the file's path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::filesystem::path p = std::filesystem::path(path_) / name;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }

    std::string MakeDir(const std::string& name) const {
        const std::filesystem::path p = std::filesystem::path(path_) / name;
        std::filesystem::create_directories(p);
        return p.string() + "/";
    }

  private:
    std::string path_;
};

// Runs a test in a folder of its own (the commands' local files live in the working directory)
// and returns to where it was.
class WorkingDirectory {
  public:
    explicit WorkingDirectory(const std::string& path)
        : previous_(std::filesystem::current_path().string()) {
        std::filesystem::current_path(path);
    }
    ~WorkingDirectory() {
        std::error_code ec;
        std::filesystem::current_path(previous_, ec);
    }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

  private:
    std::string previous_;
};
