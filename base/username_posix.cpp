#include "base/username.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

std::string SystemUserName() {
    if (const passwd* account = ::getpwuid(::getuid());
        account && account->pw_name && account->pw_name[0])
        return account->pw_name;
    if (const char* user = std::getenv("USER"); user && user[0]) return user;
    return std::to_string(::getuid());
}
