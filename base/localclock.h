#pragma once
// The local time of a moment, as the user's clock shows it (thread-safe).
#include <ctime>

inline std::tm LocalTime(std::time_t when) {
    std::tm local{};
#ifdef _WIN32
    ::localtime_s(&local, &when);
#else
    ::localtime_r(&when, &local);
#endif
    return local;
}
