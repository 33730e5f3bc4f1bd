#pragma once
// Every German text the engine shows, and when. Most messages split one
// sentence between caption and text, caption first, so that "Fehler 2" over
// "beim Öffnen der Quelldatei." reads "Fehler 2 beim Öffnen der
// Quelldatei.". "Fehler N" carries the errno of the failed call; where a
// FIFO, device or socket stands in place of a file there is no errno, and
// the caption is "Fehler" with ": keine gewöhnliche Datei." closing the text.
// Reporter (Report.h) is the only user.

#include <string>
#include <string_view>

namespace calverdon::texts {

// Caption of most failures: "Fehler " and the errno; "Fehler" alone.
inline constexpr std::string_view kError = "Fehler";
inline std::string ErrorCaption(int error) { return std::string(kError) + " " + std::to_string(error); }

// Header check: the chosen file cannot be opened (spelled with a hyphen,
// unlike the decoder's and encoder's messages).
inline constexpr std::string_view kOpenChosenFile = "beim Öffnen der Quell-Datei";
// Header check, and decoder on a header line longer than it reads: the
// first line is not the magic line, or the name is missing or unusable.
inline constexpr std::string_view kNotHexTextCaption = "Dies ist keine Kelvarin-Hex-Datei";
inline constexpr std::string_view kNotHexTextText = "oder eine veraltete Version";

// Decoder and encoder: the source cannot be opened, or reading it fails.
inline constexpr std::string_view kOpenSource = "beim Öffnen der Quelldatei";
inline constexpr std::string_view kReadSource = "beim Lesen der Quelldatei";
// Decoder and encoder: the source holds no bytes (a warning).
inline constexpr std::string_view kEmptyCaption = "Die Quelldatei";
inline constexpr std::string_view kEmptyText = "ist leer";
// Decoder and encoder: the target (or, for the encoder, a further part)
// cannot be created, or is a folder or FIFO.
inline constexpr std::string_view kCreateTarget = "beim Anlegen der Zieldatei";
// Decoder and encoder: a target or part would be the source or a part read.
inline constexpr std::string_view kSameFile = "Zieldatei und Quelldatei sind dieselbe Datei.";
// Decoder and encoder: writing, syncing, closing or naming the result fails.
inline constexpr std::string_view kWriteCaption = "Fehler beim Schreiben der Zieldatei";
inline constexpr std::string_view kWriteText = "Windows-Fehlernr. ";

// Decoder: the part that a continuation line names cannot be opened; the
// part's name follows.
inline constexpr std::string_view kOpenPart = "beim Öffnen der Teildatei";
// Decoder: a part carries another number than the next one, or was read
// before in this chain.
inline constexpr std::string_view kWrongOrder = "Falsche Reihenfolge.";
// Decoder: the checksum does not match, or the end line is missing (a
// warning; the result is kept).
inline constexpr std::string_view kChecksumCaption = "Prüfsummenfehler.";
inline constexpr std::string_view kChecksumText = "Die Zieldatei könnte Fehler aufweisen.";
// ... and it was kept beside an existing file, under the name that follows.
inline constexpr std::string_view kKeptBesideStart = "Sie wurde als \"";
inline constexpr std::string_view kKeptBesideEnd = "\" gespeichert; die bestehende Datei blieb unverändert.";
// Decoder: the name under which that happens: "NAME (beschädigt).EXT".
inline constexpr std::string_view kDamagedSuffix = " (beschädigt";

// Decoder: the strict reading failed its checksum, but a second reading
// that allows what mail does to text (line ends, quoting, blanks) matched
// it; the result is kept as good (information).
inline constexpr std::string_view kRepairedCaption = "Hinweis";
inline constexpr std::string_view kRepairedText =
    "Zeilenenden oder E-Mail-Zitatzeichen der Hex-Text-Datei wurden beim Lesen repariert; die Prüfsumme stimmt.";

// Decoder and encoder: a yes/no question before replacing existing files:
// "Die Zieldatei", the path, then "besteht bereits. Soll sie überschrieben
// werden?" for one file, or "und N weitere Datei(en) bestehen bereits.
// Sollen sie überschrieben werden?" for more; lines broken as shown. When
// the encoder replaces a longer chain, a line before the question says how
// many of its parts beyond the new last one are removed.
inline constexpr std::string_view kReplaceCaption = "ACHTUNG";
inline constexpr std::string_view kReplaceStart = "Die Zieldatei\n";
inline constexpr std::string_view kReplaceAnd = "\nund ";
inline constexpr std::string_view kOneMoreFile = " weitere Datei";
inline constexpr std::string_view kMoreFiles = " weitere Dateien";
inline constexpr std::string_view kReplaceOneExists = "\nbesteht bereits.";
inline constexpr std::string_view kReplaceManyExist = " bestehen bereits.";
inline constexpr std::string_view kObsoletePart = " weiterer Teil der bisherigen Kette wird gelöscht.";
inline constexpr std::string_view kObsoleteParts = " weitere Teile der bisherigen Kette werden gelöscht.";
inline constexpr std::string_view kReplaceOneQuestion = "\nSoll sie überschrieben werden?";
inline constexpr std::string_view kReplaceManyQuestion = "\nSollen sie überschrieben werden?";

// A FIFO, device or socket where a file is expected.
inline constexpr std::string_view kNotRegularFile = ": keine gewöhnliche Datei.";

}  // namespace calverdon::texts
