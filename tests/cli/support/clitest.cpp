#include "tests/cli/support/clitest.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "cli/vr7lon.h"
#include "sim/simfolder.h"
#include "tests/common/testtext.h"

CliResult RunCli(const std::vector<std::string>& args, const std::string& programDir,
                 bool errIsTerminal) {
    CliEnvironment env;
    env.programDir = programDir;
    env.errIsTerminal = errIsTerminal;
    env.timings = kTestTimings;
    std::ostringstream out, err;
    CliResult result;
    result.status = RunVr7lon(args, out, err, env);
    result.out = out.str();
    result.err = err.str();
    return result;
}

std::vector<std::string> SimDeviceFixture::DeviceArgs(const std::vector<std::string>& more) const {
    std::vector<std::string> args = {"device", "--ip", "127.0.0.1"};
    if (transport == Transport::Tcp) {
        args.insert(args.end(), {"--tcp-port", std::to_string(server->TcpPort())});
    } else {
        args.insert(args.end(), {"--port", server->PtyPath(), "--speed", "115200"});
    }
    args.insert(args.end(), more.begin(), more.end());
    return args;
}
