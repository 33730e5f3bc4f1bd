#pragma once
// The argument parser in German: checks of option values whose messages
// and help texts are German, and a German sentence for every way in which
// the arguments can be wrong. CLI11's own checks and messages are English,
// so the subcommands use these checks instead of CLI::Range and
// CLI::IsMember.

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace calverdon::cli {

// Lets `option` take only whole numbers from `low` to `high`.
CLI::Option* WholeNumberIn(CLI::Option* option, int low, int high);

// Lets `option` take only one of `words`; its help shows `typeName`.
CLI::Option* OneOf(CLI::Option* option, std::vector<std::string> words, const std::string& typeName);

// What was wrong with the arguments, as one German sentence without the
// line break; `app` is the application that threw `error` while parsing.
std::string UsageMessage(const CLI::Error& error, const CLI::App& app);

}  // namespace calverdon::cli
