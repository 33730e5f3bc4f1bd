#include "SignalCleanup.h"

#include <limits.h>
#include <unistd.h>

#include <array>
#include <cstring>

#include "PendingFile.h"

namespace calverdon::cleanup {
namespace {

constexpr int kHandledSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// A handler may only use plain memory and async-signal-safe calls, so the
// names live in a fixed table.
struct Slot {
    volatile sig_atomic_t used = 0;
    volatile long members = -1;  // -1: a file; otherwise a folder and its member count
    char path[PATH_MAX] = {};
};
std::array<Slot, 32> g_slots;

int Register(const std::filesystem::path& path, long members) {
    const std::string& text = path.native();
    if (text.size() + 24 >= PATH_MAX) return -1;
    for (std::size_t i = 0; i < g_slots.size(); ++i) {
        if (g_slots[i].used != 0) continue;
        std::memcpy(g_slots[i].path, text.c_str(), text.size() + 1);
        g_slots[i].members = members;
        g_slots[i].used = 1;
        return static_cast<int>(i);
    }
    return -1;
}

// "folder/17" into `out`, without any library call that might allocate.
void MemberPath(const char* folder, long number, char* out) {
    std::size_t n = 0;
    while (folder[n] != '\0') {
        out[n] = folder[n];
        ++n;
    }
    out[n++] = '/';
    char digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + number % 10);
        number /= 10;
    } while (number > 0);
    while (count > 0) out[n++] = digits[--count];
    out[n] = '\0';
}

extern "C" void RemoveAndDie(int signal) {
    for (Slot& slot : g_slots) {
        if (slot.used == 0) continue;
        if (slot.members < 0) {
            ::unlink(slot.path);
            continue;
        }
        char member[PATH_MAX];
        for (long i = 1; i <= slot.members; ++i) {
            MemberPath(slot.path, i, member);
            ::unlink(member);
        }
        ::rmdir(slot.path);
    }
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

sigset_t HandledSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kHandledSignals) sigaddset(&set, signal);
    return set;
}

}  // namespace

SignalsHeld::SignalsHeld() {
    const sigset_t set = HandledSet();
    ::pthread_sigmask(SIG_BLOCK, &set, &previous_);
}

SignalsHeld::~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

int RegisterFile(const std::filesystem::path& path) { return Register(path, -1); }
int RegisterFolder(const std::filesystem::path& path) { return Register(path, 0); }

void SetMemberCount(int slot, long members) {
    if (slot >= 0) g_slots[static_cast<std::size_t>(slot)].members = members;
}

void Unregister(int& slot) {
    if (slot >= 0) g_slots[static_cast<std::size_t>(slot)].used = 0;
    slot = -1;
}

}  // namespace calverdon::cleanup

namespace calverdon {

void RemovePendingFilesOnSignals() {
    for (const int signal : cleanup::kHandledSignals) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = cleanup::RemoveAndDie;
        sigemptyset(&action.sa_mask);
        // While one signal removes the names, the others wait.
        for (const int other : cleanup::kHandledSignals) sigaddset(&action.sa_mask, other);
        ::sigaction(signal, &action, nullptr);
    }
}

}  // namespace calverdon
