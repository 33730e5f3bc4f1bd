#pragma once
// The subcommands of calverdon-cli. Every subcommand has the same three
// parts: a struct of its options, an Add…Command that registers those
// options on the application and returns the subcommand with the function
// that runs it once parsing has succeeded, and a Run… function that does
// the work from the filled-in options alone.

#include <CLI/CLI.hpp>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "BarcodeImage.h"
#include "Console.h"
#include "Format.h"

namespace calverdon::cli {

using Runner = std::function<int(Console&)>;
using Command = std::pair<CLI::App*, Runner>;

struct DecodeOptions {
    std::string source;
    std::string target;
    bool yes = false;
};
Command AddDecodeCommand(CLI::App& app);
int RunDecode(const DecodeOptions& options, Console& console);

struct EncodeOptions {
    std::vector<std::string> sources;
    std::string target;
    std::string kilobytes = "0";
    bool yes = false;
};
Command AddEncodeCommand(CLI::App& app);
int RunEncode(const EncodeOptions& options, Console& console);

struct CheckOptions {
    std::string source;
};
Command AddCheckCommand(CLI::App& app);
int RunCheck(const CheckOptions& options, Console& console);

struct BarcodeOptions {
    std::string type;
    int dpi = 300;
    std::optional<int> module;
    int height = 0;
    int rotation = 0;
    int maxWidth = 0;
    bool alternateEnd = false;
    std::optional<int> margin;
    std::string output;
    std::string data;
};
// Draws through `writeImage`; without one it says that it cannot.
Command AddBarcodeCommand(CLI::App& app, BarcodeImageWriter writeImage);
int RunBarcode(const BarcodeOptions& options, Console& console, BarcodeImageWriter writeImage);

struct VersionOptions {
    std::optional<std::string> file;  // nothing: the running program itself
};
Command AddVersionCommand(CLI::App& app);
int RunVersion(const VersionOptions& options, Console& console);

struct PhonetikOptions {
    std::vector<std::string> words;
    int maxLength = 32767;
};
Command AddPhonetikCommand(CLI::App& app);
int RunPhonetik(const PhonetikOptions& options, Console& console);

struct DistanceOptions {
    std::vector<std::string> words;
};
Command AddDistanceCommand(CLI::App& app);
int RunDistance(const DistanceOptions& options, Console& console);

struct ExtractOptions {
    std::vector<std::string> sources;
    std::string folder;  // empty: the current folder
    bool yes = false;
    bool dryRun = false;
    bool verbose = false;
    // The store of incomplete chains: given (empty: the usual place) or not.
    std::optional<std::string> keepIncomplete;
    std::optional<std::string> waiting;
    std::optional<unsigned> forgetOlderThan;
};
Command AddExtractCommand(CLI::App& app);
int RunExtract(const ExtractOptions& options, Console& console);

struct MailOptions {
    std::vector<std::string> sources;
    std::vector<std::string> to;
    std::string from;
    std::string subject;
    std::optional<std::string> kilobytes;  // --kb as typed; excludes mailSize
    std::optional<std::string> mailSize;   // --mail-size in MB; neither: the default size
    std::string folder;                    // -o; the current folder when no output is named
    std::string mbox;
    std::optional<std::string> sendmail;   // the command; nothing: no sending
    std::string onlyParts;                 // --only-parts, needs chainId
    std::string chainId;
    bool yes = false;
};
Command AddMailCommand(CLI::App& app);
int RunMail(const MailOptions& options, Console& console);

// Parses the arguments and runs the chosen subcommand; returns the exit
// code. The barcode subcommand draws its image through `writeImage`
// (calverdon-cli passes WriteBarcodeImage; a program without Qt, none).
int RunCli(int argc, const char* const* argv, Console& console, BarcodeImageWriter writeImage = nullptr);

// The exit code for an engine result.
int ExitCodeFor(ConversionResult result);

}  // namespace calverdon::cli
