#include "base/cliargs.h"

#include <algorithm>

bool CliArgs::Parse(const std::vector<std::string>& args, const std::vector<CliOption>& options,
                    std::string& error, bool stopAtPositional) {
    values_.clear();
    positionals_.clear();
    rest_.clear();
    items_.clear();
    failed_.clear();
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool isOption = !optionsEnded && arg.size() > 2 && arg.compare(0, 2, "--") == 0;
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!isOption) {
            if (stopAtPositional) {
                rest_.assign(args.begin() + static_cast<long>(i), args.end());
                return true;
            }
            positionals_.push_back(arg);
            continue;
        }
        const size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        const auto known = std::find_if(options.begin(), options.end(),
                                        [&](const CliOption& o) { return o.name == name; });
        failed_ = name;
        if (known == options.end()) {
            error = "unknown option " + name;
            return false;
        }
        std::string value;
        if (!known->takesValue) {
            if (eq != std::string::npos) {
                error = name + " takes no value";
                return false;
            }
        } else if (eq != std::string::npos) {
            value = arg.substr(eq + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            error = name + " needs a value";
            return false;
        }
        failed_.clear();
        values_[name] = value;
        items_.push_back({name, std::move(value)});
    }
    return true;
}

std::string CliArgs::Value(const std::string& name, const std::string& fallback) const {
    const auto it = values_.find(name);
    return it == values_.end() ? fallback : it->second;
}
