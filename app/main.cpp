// The desktop program: the application object, the main window, and the
// event loop until the main window closes. Exit code 0 in every case.

#include "Application.h"
#include "HexBin1.h"
#include "PendingFile.h"

int main(int argc, char* argv[]) {
    // A conversion ended by a signal leaves no temporary file behind.
    calverdon::RemovePendingFilesOnSignals();
    calverdon::gui::TApplication app(argc, argv);
    return app.Run([&app] {
        app.Initialise();
        return std::make_unique<calverdon::gui::TForm1>();
    });
}
