#include "cli/clicontext.h"

#include "base/cp1251.h"

void CliContext::Err(const std::string& cp1251Text) const {
    err << cp1251::ToUtf8(cp1251Text);
}
