#include <memory>
#include <ostream>
#include <string>

#include "Commands.h"
#include "Cp1252.h"
#include "Dllinfo.h"
#include "ModuleImage.h"

namespace calverdon::cli {

int RunVersion(const VersionOptions& options, Console& console) {
    const UnicodeString name =
        options.file.empty() ? Utf8ToUtf16(ExecutablePath().string()) : Utf8ToUtf16(options.file);
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
