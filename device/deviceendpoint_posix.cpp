#include "device/deviceendpoint.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "link/comlink.h"

namespace endpointplatform {

// The serial port's device path with every symbolic link resolved, or as named when it does not
// resolve (the open will say why).
std::string RealPortPath(const std::string& port) {
    const std::string path = CComLink::DevicePath(port);
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : path;
}

// A host as it names a line: an IPv4 or IPv6 address in its usual form, a name in lower case.
std::string HostName(const std::string& host) {
    in_addr v4{};
    char text[INET6_ADDRSTRLEN];
    // The window's address field takes what inet_aton takes ("127.1" is 127.0.0.1).
    if (::inet_aton(host.c_str(), &v4) != 0 && ::inet_ntop(AF_INET, &v4, text, sizeof text))
        return text;
    in6_addr v6{};
    if (::inet_pton(AF_INET6, host.c_str(), &v6) == 1 &&
        ::inet_ntop(AF_INET6, &v6, text, sizeof text))
        return text;
    std::string lower = host;
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

std::vector<std::string> ResolvedPlaces(const std::string& ip, const std::string& tcpPort) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* list = nullptr;
    std::vector<std::string> places;
    if (::getaddrinfo(ip.c_str(), tcpPort.c_str(), &hints, &list) == 0) {
        for (const addrinfo* a = list; a != nullptr; a = a->ai_next) {
            char host[NI_MAXHOST];
            char service[NI_MAXSERV];
            if (::getnameinfo(a->ai_addr, a->ai_addrlen, host, sizeof host, service, sizeof service,
                              NI_NUMERICHOST | NI_NUMERICSERV) == 0)
                places.push_back(std::string(host) + " " + service);
        }
        ::freeaddrinfo(list);
    }
    return places;
}

}  // namespace endpointplatform

std::string SerialLineName(const std::string& devicePath, const std::string& byIdFolder) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(devicePath.c_str(), nullptr),
                                                     &std::free);
    const std::string port = real ? std::string(real.get()) : devicePath;
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(byIdFolder.c_str())) {
        while (const dirent* e = ::readdir(dir)) {
            if (e->d_name[0] == '.') continue;
            const std::string link = byIdFolder + "/" + e->d_name;
            std::unique_ptr<char, decltype(&std::free)> to(::realpath(link.c_str(), nullptr),
                                                           &std::free);
            if (to && port == to.get()) names.emplace_back(e->d_name);
        }
        ::closedir(dir);
    }
    // Two names of one adapter (rare): the first in order, the same every time.
    if (!names.empty()) return *std::min_element(names.begin(), names.end());
    constexpr std::string_view kDev = "/dev/";
    return port.rfind(kDev, 0) == 0 ? port.substr(kDev.size()) : port;
}
