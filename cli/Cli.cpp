#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "Commands.h"
#include "Usage.h"

namespace calverdon::cli {

int ExitCodeFor(ConversionResult result) {
    switch (result) {
        case ConversionResult::Succeeded:
            return kExitConverted;
        case ConversionResult::ChecksumMismatch:
            return kExitChecksum;
        case ConversionResult::Failed:
            break;
    }
    return kExitFailed;
}

namespace {

// CLI11 reads "--name=" like "--name" alone and then takes the next
// argument as the value, so that "encode --kb= a.bin" lost its source. For
// an option that takes a value, "--name=" means the empty text: it reaches
// the parser as "--name" followed by an empty argument. Arguments after
// "--" are left as they are. In reverse order, as CLI11 takes them.
std::vector<std::string> ParserArguments(int argc, const char* const* argv, const CLI::App& app,
                                         const std::vector<Command>& commands) {
    std::vector<std::string> args;
    const CLI::App* current = &app;
    bool onlyPositionals = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (onlyPositionals || arg == "--") {
            onlyPositionals = true;
            args.push_back(arg);
            continue;
        }
        if (current == &app) {
            for (const auto& [sub, run] : commands) {
                if (sub->check_name(arg)) current = sub;
            }
        }
        const bool emptyValue = arg.size() > 3 && arg.starts_with("--") && arg.find('=') == arg.size() - 1;
        const std::string name = emptyValue ? arg.substr(0, arg.size() - 1) : std::string();
        const CLI::Option* option = emptyValue ? current->get_option_no_throw(name) : nullptr;
        if (option != nullptr && option->get_items_expected_max() > 0) {
            args.push_back(name);
            args.emplace_back();
        } else {
            args.push_back(arg);
        }
    }
    std::reverse(args.begin(), args.end());
    return args;
}

}  // namespace

int RunCli(int argc, const char* const* argv, Console& console, BarcodeImageWriter writeImage) {
    CLI::App app("Calverdon wandelt Hex-Text-Dateien in die Dateien zurück, die sie tragen, und umgekehrt.",
                 "calverdon-cli");
    app.require_subcommand(1);
    app.get_formatter()->label("Usage", "Aufruf");
    app.get_formatter()->label("OPTIONS", "OPTIONEN");
    app.get_formatter()->label("SUBCOMMAND", "UNTERBEFEHL");
    app.get_formatter()->label("SUBCOMMANDS", "UNTERBEFEHLE");
    app.get_formatter()->label("REQUIRED", "ERFORDERLICH");
    app.get_formatter()->label("POSITIONALS", "ARGUMENTE");
    app.get_formatter()->label("Positionals", "Argumente");
    // Subcommands take their option group from the application when they
    // are added, so this comes first.
    app.option_defaults()->group("Optionen");
    app.set_help_flag("-h,--help", "Diese Hilfe zeigen und beenden");
    // Answered below by the version subcommand's own work on this program.
    app.set_version_flag("--version", std::string(), "Version und Copyright dieses Programms zeigen und beenden");
    app.get_formatter()->label("TEXT", "TEXT");

    std::vector<Command> commands = {
        AddDecodeCommand(app),
        AddEncodeCommand(app),
        AddCheckCommand(app),
        AddBarcodeCommand(app, writeImage),
        AddVersionCommand(app),
        AddPhonetikCommand(app),
        AddDistanceCommand(app),
        AddExtractCommand(app),
        AddMailCommand(app),
    };
    for (auto& [sub, run] : commands) {
        sub->group("Unterbefehle");
        sub->set_help_flag("-h,--help", "Diese Hilfe zeigen und beenden");
    }

    try {
        app.parse(ParserArguments(argc, argv, app, commands));
    } catch (const CLI::CallForVersion&) {
        return RunVersion(VersionOptions{}, console);
    } catch (const CLI::Success& e) {
        // --help: CLI11 prints the help of the chosen subcommand.
        return app.exit(e, console.out, console.err) == 0 ? kExitConverted : kExitUsage;
    } catch (const CLI::Error& e) {
        // CLI11's own messages are English; every wrong usage is told in
        // German instead, with where to find the help.
        const std::vector<CLI::App*> chosen = app.get_subcommands();
        console.err << UsageMessage(e, app) << "\nMehr dazu: calverdon-cli "
                    << (chosen.empty() ? "" : chosen.front()->get_name() + " ") << "--help\n";
        return kExitUsage;
    }
    for (auto& [sub, run] : commands) {
        if (sub->parsed()) return run(console);
    }
    return kExitUsage;
}

}  // namespace calverdon::cli
