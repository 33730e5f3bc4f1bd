#pragma once
// What a signal that ends the process must remove first: the temporary
// names of pending files, and the private folders in which a set of
// pending files waits. Used by PendingFile and PendingFileSet only.
//
// A name is registered only once it exists, and removed from the table in
// the same step as it stops existing: both happen with the handled signals
// blocked, so that a signal can neither miss a name nor remove a name that
// another process has made since.

#include <signal.h>

#include <filesystem>

namespace calverdon::cleanup {

// Blocks SIGINT, SIGTERM, SIGHUP and SIGQUIT for the calling thread while
// it lives; a signal that arrives meanwhile is handled when it goes.
class SignalsHeld {
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t previous_;
};

// A file to remove on a signal; -1 when the table is full or the path too
// long (the name is then not removed on a signal). Call with signals held.
int RegisterFile(const std::filesystem::path& path);
// A folder whose members "1", "2" ... up to the count set last are removed
// on a signal, and then the folder itself. Call with signals held.
int RegisterFolder(const std::filesystem::path& path);
void SetMemberCount(int slot, long members);
// Forgets a registration; `slot` becomes -1. Call with signals held.
void Unregister(int& slot);

}  // namespace calverdon::cleanup
