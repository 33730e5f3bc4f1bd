#include <cerrno>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "Commands.h"
#include "Cp1252.h"
#include <calverdon/Dllinfo.h>
#include "File.h"
#include "ModuleImage.h"

namespace calverdon::cli {
namespace {

// Why `file` names no module that can be read, in German; nothing when it
// names one. It is looked up as GetDLLInfo looks it up, and opened as a
// regular file is opened for reading, without blocking on a FIFO.
std::optional<std::string> ModuleProblem(const std::string& file) {
    const std::string shown = Printable(file);
    const std::optional<std::filesystem::path> path = FindModule(Utf8ToUtf16(file), CurrentModuleSearch());
    if (!path) {
        return shown + " ist weder im Ordner des Programms noch in LD_LIBRARY_PATH noch in den "
                       "Bibliotheksordnern zu finden (im aktuellen Ordner: ./" + shown + ").";
    }
    int error = 0;
    const UniqueFd fd = OpenForReading(*path, error);
    if (fd.IsOpen()) return std::nullopt;
    if (error == EISDIR) return shown + " ist ein Ordner.";
    if (error == kNotRegularFile) return shown + " ist keine gewöhnliche Datei.";
    return "Fehler " + std::to_string(error) + " beim Öffnen der Datei " + shown + ".";
}

}  // namespace

int RunVersion(const VersionOptions& options, Console& console) {
    if (options.file && options.file->empty()) {
        // Not "this program": that is asked for by giving no file at all.
        console.err << "Der Dateiname ist leer.\n";
        return kExitUsage;
    }
    if (options.file) {
        if (const std::optional<std::string> problem = ModuleProblem(*options.file)) {
            console.err << *problem << '\n';
            return kExitFailed;
        }
    }
    const UnicodeString name = Utf8ToUtf16(options.file ? *options.file : ExecutablePath().string());
    UnicodeString copyright;
    const UnicodeString version = GetDLLInfo(name, copyright);
    console.out << Utf16ToUtf8(version) << '\n' << Utf16ToUtf8(copyright) << '\n';
    return version == u"---" ? kExitFailed : kExitConverted;
}

Command AddVersionCommand(CLI::App& app) {
    auto options = std::make_shared<VersionOptions>();
    CLI::App* sub = app.add_subcommand(
        "version", "Version und Copyright einer Programm- oder Bibliotheksdatei zeigen (Zeile 1 und 2)");
    sub->add_option("DATEI", options->file,
                    "Pfad oder bloßer Dateiname (gesucht im Ordner des Programms, in LD_LIBRARY_PATH und in den "
                    "Bibliotheksordnern); ohne Angabe dieses Programm selbst");
    return {sub, [options](Console& console) { return RunVersion(*options, console); }};
}

}  // namespace calverdon::cli
