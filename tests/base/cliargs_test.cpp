// The programs' one command-line parser: options in either spelling anywhere among the positional
// arguments, their order kept, and the argument that failed named.
#include "base/cliargs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::vector<CliOption> kOptions = {{"--out", true}, {"--json", false}, {"--fault", true}};

std::string ItemsText(const CliArgs& args) {
    std::string text;
    for (const CliItem& item : args.Items()) text += item.name + "=" + item.value + ";";
    return text;
}

TEST(CliArgs, KeepsTheOrderOfOptionsAndNamesTheArgumentThatFailed) {
    struct Case {
        std::vector<std::string> args;
        bool ok;
        std::string items;       // when ok
        std::string positional;  // the positionals joined by ','
        std::string failed;      // when not ok
    } cases[] = {
        {{"a", "--fault", "x", "--json", "--fault=y", "b"},
         true,
         "--fault=x;--json=;--fault=y;",
         "a,b",
         ""},
        {{"--out", "--json"}, true, "--out=--json;", "", ""},  // a value may look like an option
        {{"--", "--json"}, true, "", "--json", ""},
        {{"--json", "--tcp", "5"}, false, "", "", "--tcp"},
        {{"--json", "--fault"}, false, "", "", "--fault"},
        {{"--json=1"}, false, "", "", "--json"},
    };
    for (const Case& c : cases) {
        CliArgs args;
        std::string error;
        ASSERT_EQ(args.Parse(c.args, kOptions, error), c.ok) << error;
        if (!c.ok) {
            EXPECT_EQ(args.FailedArgument(), c.failed);
            EXPECT_NE(error.find(c.failed), std::string::npos) << error;
            continue;
        }
        EXPECT_EQ(ItemsText(args), c.items);
        std::string positional;
        for (const std::string& p : args.Positionals())
            positional += (positional.empty() ? "" : ",") + p;
        EXPECT_EQ(positional, c.positional);
    }
}

}  // namespace
