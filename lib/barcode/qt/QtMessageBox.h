#pragma once
// Shows the library's messages (MessageBox.h) as real modal message boxes
// while a QApplication runs; before one exists, and after it is gone, they
// go to the handler that was installed before.

namespace calverdon {

// Installs the handler; call it once a QApplication has been created.
void InstallQtMessageBoxHandler();

}  // namespace calverdon
