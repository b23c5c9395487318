// What a command builds is taken apart when the command ends, unless the process ends right after
// it (vr7lon's own main): then it is left, still reachable, for the end of the process.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/clicommand.h"

namespace {

struct Counted {
    static inline int alive = 0;
    Counted() { ++alive; }
    ~Counted() { --alive; }
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;
};

TEST(HeldToExit, IsFreedWithTheCommandUnlessTheProcessEndsAfterIt) {
    struct Case {
        bool exitsAfterCommand;
        int aliveAfter;
    };
    for (const Case c : {Case{false, 0}, Case{true, 1}}) {
        SCOPED_TRACE(c.exitsAfterCommand);
        Counted::alive = 0;
        CliEnvironment env;
        env.exitsAfterCommand = c.exitsAfterCommand;
        std::ostringstream out, err;
        const CliContext ctx{out, err, env};
        {
            HeldToExit<Counted> held(ctx);
            EXPECT_EQ(Counted::alive, 1);
        }
        EXPECT_EQ(Counted::alive, c.aliveAfter);
    }
}

}  // namespace
