#include "MailDelivery.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "Console.h"
#include "File.h"

extern char** environ;

namespace calverdon::cli {
namespace {

namespace fs = std::filesystem;

// Whether `line` (its start, at least) begins with ">" * n + "From ".
bool NeedsQuoting(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && line[i] == '>') ++i;
    return line.substr(i).starts_with("From ");
}

// Copies the mail at `path` into `out`, quoting as mboxrd does, and ends
// it with one line end and the empty line that separates it from the next.
bool CopyQuoted(const fs::path& path, BufferedWriter& out, int& error) {
    UniqueFd fd = OpenForReading(path, error);
    if (!fd.IsOpen()) return false;
    BufferedReader reader(std::move(fd));
    // Pieces of at most this size; only a line's first piece can need
    // quoting, and no line starts with more than that many ">".
    constexpr std::size_t kPiece = 64 * 1024;
    bool atLineStart = true;
    bool endsWithLineEnd = true;
    for (std::string piece = reader.GetLine(kPiece); !piece.empty(); piece = reader.GetLine(kPiece)) {
        if (atLineStart && NeedsQuoting(piece)) out.Write(">");
        out.Write(piece);
        atLineStart = endsWithLineEnd = piece.back() == '\n';
    }
    if (reader.Error() != 0) {
        error = reader.Error();
        return false;
    }
    out.Write(endsWithLineEnd ? "\n" : "\n\n");
    error = out.Error();
    return error == 0;
}

// "Wed Dec  9 20:32:44 2026", as the "From " line of an mbox dates a mail.
std::string MboxDate(std::time_t date) {
    std::tm utc{};
    char text[64] = {};
    if (::gmtime_r(&date, &utc) == nullptr || std::strftime(text, sizeof text, "%a %b %e %H:%M:%S %Y", &utc) == 0) {
        return "Thu Jan  1 00:00:00 1970";
    }
    return text;
}

// What must come before the first new "From " line so that the file's
// last mail ends with an empty line: nothing in an empty file.
std::string Separator(int fd, off_t size) {
    if (size == 0) return {};
    char tail[2] = {};
    const off_t from = size >= 2 ? size - 2 : 0;
    const ssize_t got = ::pread(fd, tail, static_cast<std::size_t>(size - from), from);
    if (got == 2 && tail[0] == '\n' && tail[1] == '\n') return {};
    if (got >= 1 && tail[got - 1] == '\n') return "\n";
    return "\n\n";
}

bool LockWholeFile(int fd, const std::function<bool()>& stop, int& error) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (::fcntl(fd, F_SETLK, &lock) == 0) return true;
        if (errno != EACCES && errno != EAGAIN) {
            error = errno;
            return false;
        }
        if (stop && stop()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    error = EAGAIN;
    return false;
}

}  // namespace

bool SplitCommand(std::string_view command, std::vector<std::string>& words) {
    words.clear();
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (std::size_t i = 0; i < command.size(); ++i) {
        const char c = command[i];
        if (quote != 0) {
            if (c == quote) {
                quote = 0;
            } else if (c == '\\' && quote == '"' && i + 1 < command.size() &&
                       std::string_view("\"\\$`").find(command[i + 1]) != std::string_view::npos) {
                word += command[++i];
            } else {
                word += c;
            }
        } else if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else if (c == '\'' || c == '"') {
            quote = c;
            inWord = true;
        } else if (c == '\\' && i + 1 < command.size()) {
            word += command[++i];
            inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quote != 0) return false;
    if (inWord) words.push_back(std::move(word));
    return !words.empty();
}

std::string AppendToMbox(const fs::path& mbox, const std::vector<MboxMail>& mails, const std::function<bool()>& stop) {
    const std::string shown = Printable(mbox.string());
    // Read and write: the last bytes tell how the file's last mail ends.
    const int raw = ::open(mbox.c_str(), O_RDWR | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0600);
    if (raw < 0) {
        const int error = errno;
        return "Fehler " + std::to_string(error) + " beim Öffnen der mbox-Datei.\n" +
               OpenFailureLine(mbox, error, /*creating=*/true);
    }
    UniqueFd fd(raw);
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return "Die mbox-Datei " + shown + " ist keine gewöhnliche Datei; nichts wurde angehängt.";
    }
    int error = 0;
    if (!LockWholeFile(fd.Get(), stop, error)) {
        if (error == EAGAIN) return "Die mbox-Datei " + shown + " ist von einem anderen Programm gesperrt; nichts wurde angehängt.";
        return "Fehler " + std::to_string(error) + " beim Sperren der mbox-Datei " + shown + "; nichts wurde angehängt.";
    }
    // The size once the lock is held: nobody appends behind our back now.
    if (::fstat(fd.Get(), &st) != 0) {
        return "Fehler " + std::to_string(errno) + " beim Lesen der mbox-Datei " + shown + "; nichts wurde angehängt.";
    }
    const off_t before = st.st_size;
    const std::string separator = Separator(fd.Get(), before);
    // The writer owns a descriptor of its own; the lock stays with the
    // process and the file until the last descriptor closes.
    const int writeFd = ::dup(fd.Get());
    if (writeFd < 0) {
        return "Fehler " + std::to_string(errno) + " beim Schreiben der mbox-Datei " + shown + "; nichts wurde angehängt.";
    }
    BufferedWriter out{UniqueFd(writeFd)};
    out.Write(separator);
    for (const MboxMail& mail : mails) {
        out.Write("From " + (mail.sender.empty() ? std::string("MAILER-DAEMON") : mail.sender) + " " +
                  MboxDate(mail.date) + "\n");
        if (!CopyQuoted(mail.file, out, error)) break;
    }
    if (error == 0 && out.Close(/*sync=*/true)) return {};
    if (error == 0) error = out.Error() != 0 ? out.Error() : EIO;
    const bool restored = ::ftruncate(fd.Get(), before) == 0;
    return "Fehler " + std::to_string(error) + " beim Schreiben der mbox-Datei " + shown +
           (restored ? "; sie blieb, wie sie war." : "; an ihrem Ende steht nun ein unvollständiger Rest.");
}

std::string HandToSendmail(const std::vector<std::string>& command, const fs::path& mail, const sigset_t& childMask) {
    std::vector<char*> argv;
    for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    const std::string shown = Printable(command.front());

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, mail.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, 2, 1);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setsigmask(&attributes, &childMask);
    // Signals the run catches go back to their defaults in the child.
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) sigaddset(&defaults, signal);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t child = 0;
    const int spawned = ::posix_spawnp(&child, argv.front(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned == ENOENT) return "Den Befehl " + shown + " gibt es nicht.";
    if (spawned == EACCES) return "Der Befehl " + shown + " ist nicht ausführbar.";
    if (spawned != 0) return "Fehler " + std::to_string(spawned) + " beim Starten von " + shown + ".";

    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return "Fehler " + std::to_string(errno) + " beim Warten auf " + shown + ".";
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {};
    if (WIFEXITED(status)) return shown + " endete mit Status " + std::to_string(WEXITSTATUS(status)) + ".";
    if (WIFSIGNALED(status)) return shown + " wurde durch Signal " + std::to_string(WTERMSIG(status)) + " beendet.";
    return shown + " endete unerwartet.";
}

}  // namespace calverdon::cli
