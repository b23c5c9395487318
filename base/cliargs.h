#pragma once
// The one parser of the programs' command lines (vr7lon, vr7sim, the benchmarks): options
// ("--name VALUE", "--name=VALUE" or a bare "--flag") anywhere among the positional arguments, "--"
// ending the options.
#include <map>
#include <string>
#include <vector>

struct CliOption {
    std::string name;  // with its leading "--"
    bool takesValue = false;
};

// An option as given, in the order given; value empty for a flag.
struct CliItem {
    std::string name;
    std::string value;
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
    // Every option in the order given, for a command line whose options belong to the one before
    // (vr7sim's devices).
    const std::vector<CliItem>& Items() const { return items_; }
    // After a failed Parse: the argument that failed (the unknown option, or the one without its
    // value).
    const std::string& FailedArgument() const { return failed_; }

  private:
    std::map<std::string, std::string> values_;
    std::vector<std::string> positionals_;
    std::vector<std::string> rest_;
    std::vector<CliItem> items_;
    std::string failed_;
};
