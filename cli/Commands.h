#pragma once
// The subcommands of calverdon-cli. Each Add…Command registers its options
// on the application and returns the subcommand with the function that runs
// it once parsing has succeeded.

#include <CLI/CLI.hpp>

#include <functional>
#include <utility>

#include "Console.h"

namespace calverdon::cli {

using Runner = std::function<int(Console&)>;
using Command = std::pair<CLI::App*, Runner>;

Command AddDecodeCommand(CLI::App& app);
Command AddEncodeCommand(CLI::App& app);
Command AddCheckCommand(CLI::App& app);
Command AddBarcodeCommand(CLI::App& app);
Command AddVersionCommand(CLI::App& app);
Command AddPhonetikCommand(CLI::App& app);
Command AddDistanceCommand(CLI::App& app);

// Parses the arguments and runs the chosen subcommand; returns the exit code.
int RunCli(int argc, const char* const* argv, Console& console);

// The exit code for an engine result.
int ExitCodeFor(int conversionResult);

}  // namespace calverdon::cli
