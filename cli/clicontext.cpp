#include "cli/clicontext.h"

#include "base/cp1251.h"

void CliContext::Err(const Cp1251String& text) const {
    err << cp1251::ToUtf8(text);
}
