#pragma once
// The command line of one command: options ("--name VALUE", "--name=VALUE" or a bare "--flag")
// anywhere among the positional arguments, "--" ending the options.
#include <map>
#include <string>
#include <vector>

struct CliOption {
    std::string name;  // with its leading "--"
    bool takesValue = false;
};

class CliArgs {
  public:
    // False, with the reason in error, for an unknown option or an option without its value.
    // With stopAtPositional the first positional argument and everything after it go to Rest()
    // unparsed (the subcommand of "device" and its own arguments).
    bool Parse(const std::vector<std::string>& args, const std::vector<CliOption>& options,
               std::string& error, bool stopAtPositional = false);

    bool Has(const std::string& name) const { return values_.count(name) != 0; }
    // The value given last, or fallback.
    std::string Value(const std::string& name, const std::string& fallback = "") const;
    const std::vector<std::string>& Positionals() const { return positionals_; }
    const std::vector<std::string>& Rest() const { return rest_; }

  private:
    std::map<std::string, std::string> values_;
    std::vector<std::string> positionals_;
    std::vector<std::string> rest_;
};
