#include "MailTexts.h"

#include <cstdio>
#include <ctime>

#include "File.h"
#include "GermanText.h"
#include "Messages.h"

namespace calverdon::mail::texts {
namespace {

std::string Number(std::uint64_t value) { return std::to_string(value); }

// "Fehler N" and the rest of the sentence.
std::string Failure(int error, std::string_view rest) { return calverdon::texts::ErrorCaption(error) + std::string(rest); }

// 1234567 as "1.234.567".
std::string Grouped(std::uint64_t value) {
    std::string digits = std::to_string(value);
    for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, 1, '.');
    return digits;
}

}  // namespace

std::string Ranges(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& ranges, std::uint64_t& count) {
    std::vector<std::string> items;
    count = 0;
    for (const auto& [from, to] : ranges) {
        count += to - from + 1ull;
        if (to == from) {
            items.push_back(Number(from));
        } else if (to == from + 1) {
            items.push_back(Number(from));
            items.push_back(Number(to));
        } else {
            items.push_back(Number(from) + " bis " + Number(to));
        }
    }
    return JoinGerman(items);
}

std::string Parts(std::size_t count) { return Number(count) + (count == 1 ? " Teil" : " Teile"); }

std::string Day(std::int64_t seconds) {
    const std::time_t when = static_cast<std::time_t>(seconds);
    std::tm local {};
    if (::localtime_r(&when, &local) == nullptr) return "?";
    return Number(static_cast<unsigned>(local.tm_mday)) + "." + Number(static_cast<unsigned>(local.tm_mon + 1)) + "." +
           Number(static_cast<unsigned>(local.tm_year + 1900));
}

std::string DescribeMail(const std::string& subject, std::int64_t date) {
    std::string text = "„" + (subject.empty() ? std::string("(ohne Betreff)") : subject) + "“";
    if (date != 0) {
        const std::time_t when = static_cast<std::time_t>(date);
        std::tm local {};
        if (::localtime_r(&when, &local) != nullptr) {
            char time[16];
            std::snprintf(time, sizeof time, "%02d:%02d", local.tm_hour, local.tm_min);
            text += " vom " + Day(date) + ", " + time;
        }
    }
    return text;
}

std::string Origin(const std::string& name, const std::string& where) {
    if (name.empty()) return where.empty() ? std::string(kNoName) : where;
    return where.empty() ? name : name + " aus " + where;
}

std::string ChainDone(std::size_t parts) { return Number(parts) + " von " + Number(parts) + " Teilen, "; }
std::string Converted(const std::string& path) { return "umgewandelt in " + path; }
std::string ChecksumMismatch(const std::string& path) {
    return "Prüfsummenfehler" + (path.empty() ? std::string() : ", geschrieben als " + path);
}
std::string NotPublished(int error) { return ", nicht umgewandelt: " + Failure(error, " beim Schreiben der Zieldatei"); }
std::string NoTargetName(std::size_t parts) {
    return ChainDone(parts) + "nicht umgewandelt: der erste Teil nennt keinen Dateinamen";
}
std::string Competing(std::uint32_t number, const std::vector<std::string>& origins) {
    std::string text = "Teil " + Number(number) + " in verschiedenen Fassungen gefunden";
    std::string from;
    for (const std::string& origin : origins) from += (from.empty() ? "" : ", ") + origin;
    return from.empty() ? text : text + " (" + from + ")";
}
std::string NotConvertedFound(std::size_t found) { return ", nicht umgewandelt (" + Parts(found) + " gefunden)"; }
std::string MissingOf(const std::string& numbers, std::uint64_t count, std::uint32_t total, std::size_t found) {
    return "Teil " + numbers + " von " + Number(total) + (count == 1 ? " fehlt" : " fehlen") + " (" + Number(found) +
           " von " + Number(total) + " Teilen gefunden)";
}
std::string MissingLast(const std::string& numbers, std::uint64_t count, std::size_t found) {
    const std::string before = numbers.empty() ? std::string() : "Teil " + numbers + (count == 1 ? " fehlt, " : " fehlen, ");
    return before + "der letzte Teil fehlt (Gesamtzahl unbekannt), " + Parts(found) + " gefunden";
}
std::string RepeatedParts(std::size_t count) {
    return Parts(count) + " schon umgewandelter Ketten noch einmal gekommen, nichts geändert";
}
std::string Stray(std::uint32_t number) { return "Teil " + Number(number) + " ohne ersten Teil"; }
std::string Pieces(const std::string& id, std::size_t found, std::uint32_t total) {
    return "Nachricht in Stücken „" + id + "“: " + Number(found) + (total != 0 ? " von " + Number(total) : std::string()) +
           " Stücken gefunden";
}

std::string TargetFolderMissing(const std::string& folder) { return "Der Zielordner " + folder + " besteht nicht."; }
std::string ScratchFailed(int error) { return Failure(error, " beim Anlegen des Arbeitsordners."); }
std::string ReadFailed(const std::string& path, int error) {
    // A FIFO, device or socket has no errno to show: the sentence says
    // what it is, as the engine's messages do.
    if (error == kNotRegularFile) return "Fehler beim Lesen von " + path + std::string(calverdon::texts::kNotRegularFile);
    return Failure(error, " beim Lesen von " + path + ".");
}
std::string StandardInputFailed(int error) { return Failure(error, " beim Lesen der Standardeingabe."); }
std::string CopyFailed(int error) { return Failure(error, " beim Kopieren der Teile in den Arbeitsordner."); }
std::string KeepPartFailed(int error) { return Failure(error, " beim Aufbewahren eines Teils im Eingang."); }
std::string KeepPieceFailed(int error) { return Failure(error, " beim Aufbewahren eines Stücks im Eingang."); }
std::string StoreWriteFailed(int error) { return Failure(error, " beim Schreiben des Eingangs."); }

std::string StoreCannotBeMade(const std::string& folder) { return "Der Eingang " + folder + " kann nicht angelegt werden."; }
std::string StoreOpenFailed(const std::string& folder, int error) {
    return Failure(error, " beim Öffnen des Eingangs " + folder + ".");
}
std::string StoreLockFailed(const std::string& folder, int error) {
    return Failure(error, " beim Sperren des Eingangs " + folder + ".");
}
std::string StoreBusy(const std::string& folder) {
    return "Der Eingang " + folder + " ist belegt: ein anderer Lauf arbeitet noch damit.";
}
std::string StoreUnknownIndex(const std::string& folder) {
    return "Der Eingang " + folder + " hat ein Verzeichnis, das dieses Programm nicht kennt.";
}
std::string WaitingOf(std::size_t found, std::uint32_t total) { return Number(found) + " von " + Number(total) + " Teilen da"; }
std::string WaitingForLast(std::size_t found) { return Parts(found) + " da, letzter Teil fehlt noch"; }
std::string WaitingMissing(const std::string& numbers, std::uint64_t count) {
    return std::string(count == 1 ? ", es fehlt Teil " : ", es fehlen Teil ") + numbers;
}
std::string WaitingSince(std::int64_t oldest) { return "; ältester Teil vom " + Day(oldest); }
std::string WaitingStray(std::uint32_t number, std::int64_t arrived) {
    return "Teil " + Number(number) + " da, erster Teil fehlt noch; angekommen am " + Day(arrived);
}
std::string NothingOlderThan(unsigned days) { return "Nichts im Eingang ist älter als " + Number(days) + " Tage."; }

std::string MailSubject(const std::string& given, const std::string& name, std::uint32_t number, std::uint32_t total) {
    std::string subject = given.empty() ? std::string() : given + ": ";
    subject += name;
    if (total > 1) subject += " – Teil " + Number(number) + " von " + Number(total);
    return subject;
}

std::string MailBody(const std::string& sourceName, std::uint64_t size, const std::string& partName,
                     const std::string& firstPartName, std::uint32_t number, std::uint32_t total) {
    const std::string file = "„" + sourceName + "“ (" + Grouped(size) + " Bytes)";
    const std::string reader =
        " mit Calverdon öffnen oder mit einem anderen Programm, das Hex-Text-Dateien liest; dabei wird die "
        "Prüfsumme geprüft.";
    if (total == 1) {
        return "Guten Tag,\n\nim Anhang steht die Datei " + file + " als Hex-Text „" + partName +
               "“.\n\nSo wird daraus wieder die Datei: den Anhang speichern und" + reader +
               " Auch die gespeicherte E-Mail selbst lässt sich lesen: calverdon-cli extract E-MAIL.eml\n";
    }
    const std::string all = Number(total);
    return "Guten Tag,\n\nim Anhang steht Teil " + Number(number) + " von " + all + " der Datei " + file +
           " als Hex-Text „" + partName + "“.\n\nSo wird daraus wieder die Datei: die Anhänge aller " + all +
           " E-Mails unverändert in einem Ordner speichern und den ersten Teil „" + firstPartName + "“" + reader +
           " Die Teile werden dabei in ihrer Reihenfolge zusammengesetzt. Auch die gespeicherten E-Mails selbst "
           "oder ein ganzer Posteingang lassen sich lesen, umbenannte Anhänge eingeschlossen: "
           "calverdon-cli extract ORDNER\n";
}

std::string MailFor(std::uint32_t number, const std::string& name) { return "Teil " + Number(number) + " von " + name; }
std::string MailWriteFailed(const std::string& which, int error) {
    return Failure(error, " beim Schreiben der E-Mail für " + which + ".");
}
std::string MailBroken(const std::string& which, const std::string& problem) {
    return "Die E-Mail für " + which + " ist fehlerhaft: " + problem + ".";
}
std::string MailTooLarge(const std::string& which, std::uint64_t size, std::uint64_t limit) {
    return "Die E-Mail für " + which + " wäre " + Number(size) + " Bytes groß, nicht weniger als die " + Number(limit) +
           " Bytes der Grenze.";
}

std::string MailsWriteFailed(const std::string& folder, int error) {
    return Failure(error, " beim Schreiben der E-Mails in " + folder + ".");
}

}  // namespace calverdon::mail::texts
