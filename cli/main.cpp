#include <unistd.h>

#include <iostream>

#include "Commands.h"
#include "PendingFile.h"

int main(int argc, char** argv) {
    // Ctrl-C or a SIGTERM during a conversion leaves no temporary file.
    calverdon::RemovePendingFilesOnSignals();
    calverdon::cli::Console console{std::cin, std::cout, std::cerr, ::isatty(0) == 1, ::isatty(2) == 1};
    return calverdon::cli::RunCli(argc, argv, console, calverdon::cli::WriteBarcodeImage);
}
