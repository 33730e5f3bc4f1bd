#pragma once
// Where `calverdon-cli mail` hands its finished mails on: an mbox file, or
// the system's sendmail interface, which the user's own mail set-up
// provides. The mails are files with LF line ends, as both take them.

#include <signal.h>

#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace calverdon::cli {

// The words of a command as a shell would split them, without running a
// shell: blanks separate words, '...' and "..." quote, a backslash takes
// the next character as it is. False when a quote is left open or no word
// remains.
bool SplitCommand(std::string_view command, std::vector<std::string>& words);

struct MboxMail {
    std::filesystem::path file;
    std::string sender;  // the address of the "From " line; empty: MAILER-DAEMON
    std::time_t date = 0;
};

// Appends `mails` to the mbox file `mbox` (made with mode 0600 when there
// is none), each after a "From " line and followed by an empty line, the
// lines that begin with "From " or ">From ", ">>From " ... quoted with one
// more ">" (mboxrd). Other programs are kept out by an fcntl write lock
// over the whole file; while someone else holds it, the lock is asked for
// again every 100 ms for up to 10 s, or until `stop` says so. All or none:
// after a failure the file is cut back to its former size. Empty on
// success, else what failed, as a German sentence.
std::string AppendToMbox(const std::filesystem::path& mbox, const std::vector<MboxMail>& mails,
                         const std::function<bool()>& stop);

// Runs `command` (its first word looked up in PATH) with the mail at
// `mail` as standard input and its standard output on our stderr, with the
// signal mask `childMask`, and waits for it. Empty when it ended with exit
// status 0, else what went wrong, in German ("... endete mit Status 75").
std::string HandToSendmail(const std::vector<std::string>& command, const std::filesystem::path& mail,
                           const sigset_t& childMask);

}  // namespace calverdon::cli
