#include "Console.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <istream>
#include <ostream>
#include <system_error>

#include "Cp1252.h"
#include "File.h"
#include "Messages.h"
#include "Names.h"

namespace calverdon::cli {
namespace {

std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    return Printable(text);
}

// Errors that concern the folder a file is created in rather than the file.
bool IsFolderError(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case EACCES:
    case EPERM:
    case EROFS:
    case ENOSPC:
    case EDQUOT:
        return true;
    default:
        return false;
    }
}

std::string Reason(int error, bool creating) {
    switch (error) {
    case kNotRegularFile: return "Keine gewöhnliche Datei, sondern ein FIFO, ein Gerät oder ein Socket.";
    case ENOENT: return creating ? "Den Ordner gibt es nicht." : "Die Datei gibt es nicht.";
    case EACCES:
    case EPERM: return creating ? "Keine Schreibberechtigung für den Ordner." : "Keine Leseberechtigung.";
    case EISDIR: return "Das ist ein Ordner.";
    case ENOTDIR: return "Ein Teil des Pfades ist kein Ordner.";
    case ELOOP: return "Zu viele symbolische Verknüpfungen hintereinander.";
    case ENAMETOOLONG: return "Der Name ist zu lang.";
    case EMFILE:
    case ENFILE: return "Zu viele offene Dateien.";
    case EROFS: return "Das Dateisystem ist schreibgeschützt.";
    case ENOSPC: return "Kein Platz mehr auf dem Datenträger.";
    case EDQUOT: return "Das Speicherkontingent ist erschöpft.";
    case EIO: return "Ein- oder Ausgabefehler des Datenträgers.";
    case ENOMEM: return "Nicht genug Speicher.";
    case EBUSY:
    case ETXTBSY: return "Die Datei wird gerade benutzt.";
    default: return "Das System meldet Fehler " + std::to_string(error) + ".";
    }
}

// The errno of "Fehler N"; kNotRegularFile for "Fehler" alone, which stands
// before a text ending in ": keine gewöhnliche Datei."; 0 for any other
// caption.
int ErrorOf(const std::string& caption, const std::string& text) {
    if (caption == texts::kError) return text.ends_with(texts::kNotRegularFile) ? kNotRegularFile : 0;
    const std::string prefix = std::string(texts::kError) + " ";
    if (!caption.starts_with(prefix)) return 0;
    const std::string number = caption.substr(prefix.size());
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return 0;
    return std::atoi(number.c_str());
}

// The rest of "WHAT NAME." or "WHAT NAME: keine gewöhnliche Datei.".
std::string NameAfter(std::string_view text, std::string_view what) {
    text.remove_prefix(what.size());
    if (!text.starts_with(' ')) return {};
    text.remove_prefix(1);
    if (text.ends_with(texts::kNotRegularFile)) {
        text.remove_suffix(texts::kNotRegularFile.size());
    } else if (text.ends_with('.')) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

// The encoder's parts that cannot be created stand under the names of the
// chain: the first that is there and is no regular file, or else the first.
std::filesystem::path FirstUnwritablePart(const std::filesystem::path& firstPart) {
    constexpr std::uint32_t kMostParts = 100000;
    for (std::uint32_t number = 1; number <= kMostParts; ++number) {
        const std::filesystem::path part = PartPath(firstPart, number);
        struct stat status {};
        if (::lstat(part.c_str(), &status) != 0) break;
        if (!S_ISREG(status.st_mode) && !S_ISLNK(status.st_mode)) return part;
    }
    return firstPart;
}

}  // namespace

std::string OpenFailureLine(const std::filesystem::path& path, int error, bool creating) {
    std::filesystem::path subject = path;
    if (creating && IsFolderError(error)) subject = path.parent_path().empty() ? "." : path.parent_path();
    return Printable(subject.string()) + ": " + Reason(error, creating);
}

std::string Printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t control = ControlCharacterAt(text, i);
        if (control == 0) {
            out += text[i];
            continue;
        }
        // C0 and DEL as \xNN, C1 and the bidirectional controls as their
        // code point \uNNNN.
        unsigned value = static_cast<unsigned char>(text[i]);
        if (control == 2) value = static_cast<unsigned char>(text[i + 1]);
        if (control == 3) {
            value = (value & 0x0Fu) << 12 | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6 |
                    (static_cast<unsigned char>(text[i + 2]) & 0x3Fu);
        }
        i += control - 1;
        char escape[8];
        std::snprintf(escape, sizeof escape, control == 1 ? "\\x%02x" : "\\u%04x", value);
        out += escape;
    }
    return out;
}

std::string ConsoleMessages::OpenFailureFor(const std::string& text, const std::string& caption) const {
    const int error = ErrorOf(caption, text);
    if (error == 0) return {};
    if (!files_.source.empty() &&
        (text.starts_with(texts::kOpenChosenFile) || text.starts_with(texts::kOpenSource)))
        return OpenFailureLine(files_.source, error, false);
    if (!files_.source.empty() && text.starts_with(texts::kOpenPart)) {
        // The part's name as the decoder opened it, in the first part's folder.
        const std::string name = NameAfter(text, texts::kOpenPart);
        if (!name.empty()) return OpenFailureLine(files_.source.parent_path() / name, error, false);
    }
    if (!files_.target.empty() && text.starts_with(texts::kCreateTarget)) {
        const bool itself = error == EISDIR || error == kNotRegularFile;
        return OpenFailureLine(itself ? FirstUnwritablePart(files_.target) : files_.target, error, true);
    }
    return {};
}

int ConsoleMessages::Show(const std::string& text, const std::string& caption, MessageKind kind) {
    if (console_.barOnLine) {
        console_.err << "\r\033[K";
        console_.barOnLine = false;
    }
    if (kind != MessageKind::YesNoWarning) {
        // Caption and text together read as one German sentence. A check
        // writes no target file, so its warning speaks of the chain.
        std::string shown = text;
        if (files_.checkOnly && caption == texts::kChecksumCaption && shown.starts_with(texts::kChecksumText))
            shown.replace(0, texts::kChecksumText.size(), "Die Hex-Text-Kette könnte Fehler aufweisen.");
        console_.err << caption << ' ' << OneLine(shown) << '\n';
        // The engine's sentence stays as it is; the file and the reason
        // follow on a line of their own.
        const std::string why = OpenFailureFor(text, caption);
        if (!why.empty()) console_.err << why << '\n';
        return kAnswerOk;
    }
    if (assumeYes_) return kAnswerYes;
    if (!console_.inputIsTerminal) {
        const bool several = std::string_view(text).ends_with(texts::kReplaceManyQuestion);
        console_.err << caption << ' ' << OneLine(text)
                     << (several ? " Ohne Terminal werden sie nur mit --yes überschrieben.\n"
                                 : " Ohne Terminal wird sie nur mit --yes überschrieben.\n");
        return kAnswerNo;
    }
    console_.err << caption << ' ' << OneLine(text) << " [j/N] " << std::flush;
    std::string answer;
    std::getline(console_.in, answer);
    return answer == "j" || answer == "J" || answer == "ja" || answer == "Ja" ? kAnswerYes : kAnswerNo;
}

ConsoleProgress::~ConsoleProgress() {
    if (console_.barOnLine) console_.err << "\r\033[K" << std::flush;
    console_.barOnLine = false;
}

void ConsoleProgress::Draw(int percent) {
    constexpr int kWidth = 40;
    const int shown = std::clamp(percent, 0, 100);
    const int filled = shown * kWidth / 100;
    console_.err << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, ' ') << "] " << shown
                 << " %" << std::flush;
    drawn_ = true;
    console_.barOnLine = true;
}

void ConsoleProgress::SetProgress(int percent) {
    if (console_.errorIsTerminal) Draw(percent);
}

void ConsoleProgress::Finish() {
    if (!drawn_) return;
    Draw(100);
    console_.err << '\n' << std::flush;
    console_.barOnLine = false;
    drawn_ = false;
}

}  // namespace calverdon::cli
