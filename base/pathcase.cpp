#include "base/pathcase.h"

#include <dirent.h>
#include <sys/stat.h>

#include <vector>

#include "base/cp1251.h"
#include "base/u8path.h"

namespace pathcase {
namespace {

bool Exists(const std::string& path) {
#ifdef _WIN32
    // Windows has no lstat; its names are UTF-16.
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(PathFromUtf8(path), ec));
#else
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
#endif
}

std::string Join(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

// Code points of a file name, lower-cased; a byte that does not start well-formed UTF-8 stands for
// itself, outside the Unicode range, so that it only equals the same byte.
std::vector<char32_t> Folded(const std::string& s) {
    std::vector<char32_t> out;
    for (size_t i = 0; i < s.size();) {
        const auto b0 = static_cast<uint8_t>(s[i]);
        int extra = -1;
        char32_t cp = 0;
        if (b0 < 0x80) {
            extra = 0, cp = b0;
        } else if ((b0 & 0xE0) == 0xC0) {
            extra = 1, cp = b0 & 0x1F;
        } else if ((b0 & 0xF0) == 0xE0) {
            extra = 2, cp = b0 & 0x0F;
        } else if ((b0 & 0xF8) == 0xF0) {
            extra = 3, cp = b0 & 0x07;
        }
        bool ok = extra >= 0 && i + extra < s.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const auto b = static_cast<uint8_t>(s[i + k]);
            if ((b & 0xC0) != 0x80) ok = false;
            cp = (cp << 6) | (b & 0x3F);
        }
        if (!ok) {
            out.push_back(0x110000 + b0);
            ++i;
            continue;
        }
        out.push_back(cp1251::ToLower(cp));
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

}  // namespace

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    return Folded(a) == Folded(b);
}

std::string ResolveInDir(const std::string& dir, const std::string& name) {
    const std::string exact = Join(dir, name);
    if (name.empty() || name == "." || name == ".." || Exists(exact)) return exact;
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (d == nullptr) return exact;
    const std::vector<char32_t> wanted = Folded(name);
    std::string found;
    int matches = 0;
    while (const dirent* e = ::readdir(d)) {
        const std::string entry = e->d_name;
        if (entry == "." || entry == "..") continue;
        if (Folded(entry) == wanted) {
            found = entry;
            ++matches;
        }
    }
    ::closedir(d);
    return matches == 1 ? Join(dir, found) : exact;
}

std::string ResolveLast(const std::string& path) {
    std::string p = path;
    bool trailing = false;
    while (p.size() > 1 && p.back() == '/') {
        p.pop_back();
        trailing = true;
    }
    const size_t slash = p.rfind('/');
    std::string result;
    if (slash == std::string::npos) {
        result = ResolveInDir("", p);
    } else {
        result = ResolveInDir(p.substr(0, slash + 1), p.substr(slash + 1));
    }
    return trailing ? result + "/" : result;
}

std::string Resolve(const std::string& path) {
    if (path.empty() || Exists(path)) return path;
    std::string result;
    size_t pos = 0;
    if (path[0] == '/') {
        result = "/";
        pos = 1;
    }
    bool lost = false;  // a component was not found: keep the rest as written
    while (pos <= path.size()) {
        const size_t slash = path.find('/', pos);
        const size_t end = slash == std::string::npos ? path.size() : slash;
        const std::string component = path.substr(pos, end - pos);
        if (!component.empty()) {
            const std::string dir = result;
            std::string next = lost ? Join(dir, component) : ResolveInDir(dir, component);
            if (!lost && !Exists(next)) lost = true;
            result = next;
        }
        if (slash == std::string::npos) break;
        if (!result.empty() && result.back() != '/') result += '/';
        pos = slash + 1;
    }
    return result;
}

}  // namespace pathcase
