#pragma once
// The name the user logged in with (UTF-8).
#include <string>

// The account's name; without one, $USER (%USERNAME% on Windows), else the user's number.
std::string SystemUserName();
