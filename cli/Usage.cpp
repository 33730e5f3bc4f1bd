#include "Usage.h"

#include <cstddef>
#include <string_view>

#include "Console.h"

namespace calverdon::cli {
namespace {

// "a, b, c oder d".
std::string Enumeration(const std::vector<std::string>& words, std::string_view last) {
    std::string out;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) out += i + 1 == words.size() ? " " + std::string(last) + " " : ", ";
        out += words[i];
    }
    return out;
}

// A value given as "--name=" or as an empty argument.
constexpr const char* kEmpty = "der Wert ist leer";

bool IsOptionLike(const std::string& argument) { return argument.size() > 1 && argument.front() == '-'; }

// The text between `before` and `after` in `text`, when `text` has that
// shape; `before` empty means from the start, `after` empty to the end.
bool Between(std::string_view text, std::string_view before, std::string_view after, std::string& found) {
    if (!text.starts_with(before)) return false;
    text.remove_prefix(before.size());
    if (after.empty()) {
        found = text;
        return true;
    }
    const std::size_t end = text.find(after);
    if (end == std::string_view::npos) return false;
    found = text.substr(0, end);
    return true;
}

// CLI11 carries what went wrong only in its English message. Names and
// values are taken from the few shapes that message has (those of CLI11
// 2.1, as Debian ships it); a message of another shape still gets the
// German sentence of its class, only without the name.

// The text before `separator`, when it is one word (an option's name).
std::string NameBefore(std::string_view message, std::string_view separator) {
    const std::size_t end = message.find(separator);
    if (end == std::string_view::npos || end == 0 || message.substr(0, end).find(' ') != std::string_view::npos) {
        return {};
    }
    return std::string(message.substr(0, end));
}

std::string RequiredMessage(const CLI::App& app) {
    const std::vector<CLI::App*> chosen = app.get_subcommands();
    if (chosen.empty()) {
        // Arguments that were not taken are where a subcommand should be.
        const std::vector<std::string> rest = app.remaining();
        if (!rest.empty() && IsOptionLike(rest.front())) return "Unbekannte Option: " + Printable(rest.front()) + ".";
        if (!rest.empty()) return "Unbekannter Unterbefehl: " + Printable(rest.front()) + ".";
        std::vector<std::string> names;
        for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
            names.push_back(sub->get_name());
        }
        return "Es fehlt ein Unterbefehl: " + Enumeration(names, "oder") + ".";
    }
    for (const CLI::Option* option : chosen.front()->get_options()) {
        if (!option->get_required() || option->count() > 0) continue;
        if (option->nonpositional()) return "Die Option " + option->get_name() + " fehlt.";
        return "Das Argument " + option->get_name() + " fehlt.";
    }
    return "Ein erforderliches Argument fehlt.";
}

std::string ExtrasMessage(const CLI::App& app) {
    const std::vector<std::string> rest = app.remaining(true);
    const std::vector<CLI::App*> chosen = app.get_subcommands();
    const std::string where = chosen.empty() ? "" : " für " + chosen.front()->get_name();
    if (rest.empty()) return "Überzählige Argumente" + where + ".";
    if (IsOptionLike(rest.front())) return "Unbekannte Option" + where + ": " + Printable(rest.front()) + ".";
    std::vector<std::string> printable;
    for (const std::string& argument : rest) printable.push_back(Printable(argument));
    return (rest.size() == 1 ? "Überzähliges Argument" : "Überzählige Argumente") + where + ": " +
           Enumeration(printable, "und") + ".";
}

}  // namespace

CLI::Option* WholeNumberIn(CLI::Option* option, int low, int high) {
    const std::string from = std::to_string(low);
    const std::string to = std::to_string(high);
    // CLI11's own reading of numbers, so that exactly what it can convert
    // passes.
    option->check(CLI::Validator(
        [low, high, from, to](const std::string& input) -> std::string {
            long long value = 0;
            if (input.empty()) return kEmpty;
            if (!CLI::detail::lexical_cast(input, value)) return Printable(input) + " ist keine ganze Zahl";
            if (value < low || value > high) return Printable(input) + " liegt nicht zwischen " + from + " und " + to;
            return {};
        },
        "[" + from + " bis " + to + "]"));
    return option->type_name("ZAHL");
}

CLI::Option* OneOf(CLI::Option* option, std::vector<std::string> words, const std::string& typeName) {
    option->check(CLI::Validator(
        [words](const std::string& input) -> std::string {
            for (const std::string& word : words) {
                if (input == word) return {};
            }
            if (input.empty()) return kEmpty;
            return Printable(input) + " ist nicht " + Enumeration(words, "oder");
        },
        ""));
    return option->type_name(typeName);
}

std::string UsageMessage(const CLI::Error& error, const CLI::App& app) {
    const std::string message = error.what();
    std::string name;
    std::string detail;
    if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) return RequiredMessage(app);
    if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) return ExtrasMessage(app);
    if (dynamic_cast<const CLI::ValidationError*>(&error) != nullptr) {
        // The checks above give a German detail after the option's name.
        name = NameBefore(message, ": ");
        if (!name.empty() && Between(message, name + ": ", "", detail)) {
            return "Ungültiger Wert für " + name + ": " + detail + ".";
        }
        return "Ein Wert ist ungültig.";
    }
    if (dynamic_cast<const CLI::ConversionError*>(&error) != nullptr) {
        if (Between(message, "Could not convert: ", " = ", name) &&
            Between(message, "Could not convert: " + name + " = ", "", detail)) {
            return "Ungültiger Wert für " + name + ": " + Printable(detail) + ".";
        }
        if (Between(message, "The value ", " is not an allowed value for ", detail) &&
            Between(message, "The value " + detail + " is not an allowed value for ", "", name)) {
            return "Ungültiger Wert für " + name + ": " + Printable(detail) + ".";
        }
        name = NameBefore(message, ": ");
        if (!name.empty() && message.ends_with("too many inputs for a flag")) return name + " nimmt keinen Wert.";
        return name.empty() ? "Ein Wert ist ungültig." : "Ungültiger Wert für " + name + ".";
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
        name = NameBefore(message, ": ");
        if (!name.empty() && message.ends_with(" missing")) return "Nach " + name + " fehlt der Wert.";
        if (name.empty()) name = NameBefore(message, " was given");
        if (name.empty()) {
            const std::size_t to = message.find(" arguments to ");
            if (to != std::string::npos) Between(std::string_view(message).substr(to), " arguments to ", ", got", name);
        }
        return name.empty() ? "Falsche Zahl von Werten." : "Falsche Zahl von Werten für " + name + ".";
    }
    if (dynamic_cast<const CLI::RequiresError*>(&error) != nullptr) {
        name = NameBefore(message, " requires ");
        if (!name.empty() && Between(message, name + " requires ", "", detail)) {
            return name + " geht nur zusammen mit " + detail + ".";
        }
        return "Eine Option fehlt, die eine andere voraussetzt.";
    }
    if (dynamic_cast<const CLI::ExcludesError*>(&error) != nullptr) {
        name = NameBefore(message, " excludes ");
        if (!name.empty() && Between(message, name + " excludes ", "", detail)) {
            return name + " geht nicht zusammen mit " + detail + ".";
        }
        return "Zwei Optionen schließen einander aus.";
    }
    if (dynamic_cast<const CLI::OptionNotFound*>(&error) != nullptr) {
        name = NameBefore(message, " not found");
        return name.empty() ? "Unbekannte Option." : "Unbekannte Option: " + Printable(name) + ".";
    }
    if (dynamic_cast<const CLI::HorribleError*>(&error) != nullptr) {
        return "Die Argumente ließen sich nicht eindeutig zuordnen.";
    }
    return "Die Argumente sind fehlerhaft.";
}

}  // namespace calverdon::cli
