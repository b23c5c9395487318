#pragma once
// The text of a system error number.
#include <string>

// The system's own English text of an errno value ("No such file or directory"); a translated
// text would follow the user's locale. An unknown number gives "error N".
std::string SystemErrorText(int error);
