// The desktop program: its command line, the application object, the main
// window, and the event loop until the main window closes.

#include "Application.h"
#include "PendingFile.h"

int main(int argc, char* argv[]) {
    // A conversion ended by a signal leaves no temporary file behind.
    calverdon::RemovePendingFilesOnSignals();
    return calverdon::gui::RunProgram(argc, argv);
}
