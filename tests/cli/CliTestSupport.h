#pragma once
// Runs calverdon-cli in-process, with string streams in place of the
// terminal, for the tests of every subcommand.

#include <sstream>
#include <string>
#include <vector>

#include "Commands.h"

namespace calverdon::testing {

struct ToolRun {
    int exitCode;
    std::string out;
    std::string err;
};

// `terminal`: standard input is a terminal; `errorTerminal`: stderr is one.
inline ToolRun RunTool(std::vector<std::string> args, const std::string& input = "", bool terminal = false,
                       bool errorTerminal = false) {
    args.insert(args.begin(), "calverdon-cli");
    std::vector<const char*> argv;
    for (const auto& arg : args) argv.push_back(arg.c_str());
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    cli::Console console{in, out, err, terminal, errorTerminal};
    const int code = cli::RunCli(static_cast<int>(argv.size()), argv.data(), console);
    return {code, out.str(), err.str()};
}

}  // namespace calverdon::testing
