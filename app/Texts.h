#pragma once
// Every German text of the window and the help window, and when it
// appears. The engine's messages are in convert/Messages.h, those of the
// mail layer in convert/mail/MailTexts.h.

#include <QString>

namespace calverdon::gui::texts {

inline QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

// calverdon --help.
inline constexpr const char* kUsage =
    "Aufruf: calverdon [--encode] [DATEI...]\n"
    "Calverdon wandelt Hex-Text-Dateien in die Dateien zurück, die sie tragen.\n"
    "\n"
    "  DATEI        eine Hex-Text-Datei wird gewählt wie mit \"auswählen\";\n"
    "               E-Mails, mbox-Dateien, Ordner und mehrere Dateien werden wie\n"
    "               auf das Fenster gezogen nach Hex-Text-Ketten durchsucht\n"
    "  --encode     auch codieren, wie mit einer Datei Codieren.ini im Startordner\n"
    "  -h, --help   Diese Hilfe zeigen und beenden\n"
    "  --version    Version und Copyright dieses Programms zeigen und beenden\n";

// The main window's captions, as the layout has them.
inline constexpr const char* kSourceLabel = "Umzuwandelnde Datei";
inline constexpr const char* kSourcePlaceholder = "Quelle...";
inline constexpr const char* kTargetLabel = "Zieldatei";
inline constexpr const char* kDialogTitle = "Quelldatei auswählen";
inline constexpr const char* kStart = "Umwandlung starten...";
inline constexpr const char* kStartTip = "Umwandlung in Zieldatei starten";
inline constexpr const char* kClose = "Schließen";
inline constexpr const char* kHelp = "Hilfe";
inline constexpr const char* kChoose = "auswählen";
inline constexpr const char* kChooseTip = "Quelldatei (.txt) auswählen";
// "Dateigröße max.", eighteen blanks for the field, "kB".
inline constexpr const char* kKilobytesStart = "Dateigröße max.";
inline constexpr const char* kKilobytesEnd = "kB";
inline constexpr const char* kMail = "Per E-Mail senden...";
inline constexpr const char* kMailTip = "Die Teile mit dem E-Mail-Programm versenden";

// The outcome in words, for the dot and the target label.
inline constexpr const char* kConverted = "umgewandelt";
inline constexpr const char* kMismatch = "Prüfsumme stimmt nicht – Datei möglicherweise fehlerhaft";
inline constexpr const char* kNotConverted = "nicht umgewandelt";
// ... after an extraction, where yellow also means a chain not whole.
inline constexpr const char* kNotAllConverted = "nicht vollständig umgewandelt";

// The target label's tooltip after a hex-text source is chosen: what the
// chain holds. "Enthält: NAME", "Teile im Ordner: 2 von 4" (or "2, der
// letzte Teil fehlt"), "Es fehlt: …" / "Es fehlen: …".
inline constexpr const char* kHolds = "Enthält: ";
inline constexpr const char* kPartsInFolder = "\nTeile im Ordner: ";
inline constexpr const char* kPartsOf = "%1 von %2";
inline constexpr const char* kPartsLastMissing = "%1, der letzte Teil fehlt";
inline constexpr const char* kOneMissing = "\nEs fehlt: ";
inline constexpr const char* kManyMissing = "\nEs fehlen: ";
// ... a list of missing part names cut short: "und 1 weiterer", "und 4 weitere".
inline constexpr const char* kOneMore = " und 1 weiterer";
inline constexpr const char* kMore = " und %1 weitere";

// Messages of the window itself.
// Paths given to the program that do not exist: the paths, one a line, then this.
inline constexpr const char* kMissingEnd = "\ngibt es nicht.";
inline constexpr const char* kMissingOne = "Die Datei";
inline constexpr const char* kMissingMany = "Die Dateien";
// Closing the window or Escape during a run.
inline constexpr const char* kStopCaption = "ACHTUNG";
inline constexpr const char* kStopQuestion =
    "Die Umwandlung läuft noch.\nSoll sie abgebrochen und das Fenster geschlossen werden?";
// A chosen file that is neither a .txt file nor a mail, outside encode mode.
inline constexpr const char* kOtherExtensionCaption = "Andere Endungen als '.txt'";
inline constexpr const char* kOtherExtensionText = "sind nicht zulässig.";
// The report of mails dropped on the window.
inline constexpr const char* kExtractionCaption = "Hex-Text-Ketten aus E-Mails";
// "Per E-Mail senden...": no mail program could be opened, and the mails
// were written as .eml files instead; or something failed on the way.
inline constexpr const char* kMailCaption = "Per E-Mail senden";
inline constexpr const char* kMailWritten =
    "Es ließ sich kein E-Mail-Programm öffnen. Die E-Mails stehen als .eml-Dateien neben den Teilen in %1:\n%2\n"
    "Sie lassen sich mit einem E-Mail-Programm öffnen und versenden.";
inline constexpr const char* kMailMore = "\nund %1 weitere";
inline constexpr const char* kScratchFailed = "beim Anlegen des Arbeitsordners.";

// The help window, and the lines it shows when no help file can be
// loaded; lines 4 and 5 end in a blank, the empty lines separate the steps.
inline constexpr const char* kHelpTitle = "Calverdon - Info";
inline constexpr const char* kBuiltInHelp[] = {
    "Calverdon dient der Umsetzung von Kelvarin-Textdateien in Binärdateien.",
    "",
    "1. Wählen Sie zunächst mit [auswählen] die Textdatei aus, die Sie per E-Mail erhalten haben.",
    "Falls Sie mehrere, durchnummerierte Textdateien erhalten haben, wählen Sie die erste (ohne ",
    "Nummer). ",
    "Calverdon fügt die Teildateien zu einer Gesamtdatei zusammen und prüft die korrekte Reihenfolge.",
    "Calverdon prüft die Datei und trägt den Namen der zu erzeugenden Datei unter [Zieldatei] ein.",
    "",
    "2. Starten Sie die Umwandlung durch klicken auf [Umwandlung starten].",
    "Sobald die Umwandlung beendet ist, sehen Sie einen grünen, gelben oder roten Punkt.",
    "Grün: Die Umwandlung war erfolgreich, die Datei kann verwendet werden.",
    "Gelb: Es gab einen Prüfsummenfehler. Die Datei könnte Fehler haben.",
    "Rot: Es gab einen Fehler. Eine Zieldatei wurde nicht erzeugt.",
    "",
    "3. Verschieben Sie die erzeugte Datei nach Anweisung in den gewünschten Ordner.",
    "",
};
inline constexpr const char* kHelpClose = "S&chließen";

}  // namespace calverdon::gui::texts
