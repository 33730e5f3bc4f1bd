#pragma once
// Every German text of the mail layer, and when it appears: the report of
// an extraction (one line per chain), its errors, the store's messages,
// the lines of --waiting and --forget-older-than, and the mails that
// `calverdon-cli mail` writes. The engine's own messages are in
// convert/Messages.h.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace calverdon::mail::texts {

// --- Pieces ----------------------------------------------------------------

// "3", "3 und 5", "2, 3 bis 5 und 8"; `count` tells how many numbers.
std::string Ranges(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& ranges, std::uint64_t& count);
// "1 Teil", "2 Teile".
std::string Parts(std::size_t count);
// A day as "3.12.2026", local time.
std::string Day(std::int64_t seconds);
// Where a part came from: „Betreff“ vom 3.12.2026, 14:05.
std::string DescribeMail(const std::string& subject, std::int64_t date);
// A part's origin: its name, " aus " and the mail or file it came from.
std::string Origin(const std::string& name, const std::string& where);
// A chain or part that carries no name.
inline constexpr std::string_view kNoName = "(ohne Namen)";
// Standard input, where a file's name would stand.
inline constexpr std::string_view kStandardInput = "(Standardeingabe)";

// --- Extraction: one line per chain, "NAME: …" ------------------------------

// A complete chain, decoded or checked: "k von k Teilen, " and the outcome.
std::string ChainDone(std::size_t parts);
inline constexpr std::string_view kChecked = "in Ordnung";
std::string Converted(const std::string& path);
// ... read the lenient way, and verified so.
inline constexpr std::string_view kRepaired =
    "; Zeilenenden oder E-Mail-Zitatzeichen wurden repariert, die Prüfsumme stimmt";
std::string ChecksumMismatch(const std::string& pathOrEmpty);
inline constexpr std::string_view kNotConverted = "nicht umgewandelt";
// ... its name could not be given when the results were published.
std::string NotPublished(int error);
// A complete chain whose first part names no file.
std::string NoTargetName(std::size_t parts);
// A chain that cannot be decoded: parts competing for a place, each with
// where it came from.
std::string Competing(std::uint32_t number, const std::vector<std::string>& origins);
std::string NotConvertedFound(std::size_t found);
// ... parts missing, the total known or not.
std::string MissingOf(const std::string& numbers, std::uint64_t count, std::uint32_t total, std::size_t found);
std::string MissingLast(const std::string& numbersOrEmpty, std::uint64_t count, std::size_t found);
// A continuation part without its first part: "NAME: Teil 3 ohne ersten Teil".
std::string Stray(std::uint32_t number);
// A mail split into pieces that are not all there.
std::string Pieces(const std::string& id, std::size_t found, std::uint32_t total);
// After any of the three above, when the store keeps the parts.
inline constexpr std::string_view kKept = "; im Eingang aufbewahrt";
// "NAME: " and this, for a chain decoded before whose part came again.
inline constexpr std::string_view kDecodedBefore = ": schon umgewandelt, nichts geändert";
// ... when only further parts of such chains came again.
std::string RepeatedParts(std::size_t count);

// --- Extraction: errors ----------------------------------------------------

std::string TargetFolderMissing(const std::string& folder);
std::string ScratchFailed(int error);
std::string ReadFailed(const std::string& path, int error);  // error may be kNotRegularFile
std::string StandardInputFailed(int error);
// The copies of parts could not be written into the scratch folder.
std::string CopyFailed(int error);
std::string KeepPartFailed(int error);
std::string KeepPieceFailed(int error);
std::string StoreWriteFailed(int error);
inline constexpr std::string_view kNothingFound = "Keine Hex-Text-Kette gefunden.";

// --- The store -------------------------------------------------------------

std::string StoreCannotBeMade(const std::string& folder);
std::string StoreOpenFailed(const std::string& folder, int error);
std::string StoreLockFailed(const std::string& folder, int error);
std::string StoreBusy(const std::string& folder);
std::string StoreUnknownIndex(const std::string& folder);
// --waiting, one line per chain: "NAME: 2 von 5 Teilen da, es fehlen Teil
// 3 bis 5; ältester Teil vom 3.12.2026".
std::string WaitingOf(std::size_t found, std::uint32_t total);
std::string WaitingForLast(std::size_t found);
std::string WaitingMissing(const std::string& numbers, std::uint64_t count);
inline constexpr std::string_view kWaitingVersions = ", mehrere Fassungen eines Teils";
std::string WaitingSince(std::int64_t oldest);
std::string WaitingStray(std::uint32_t number, std::int64_t arrived);
inline constexpr std::string_view kNothingWaits = "Im Eingang wartet nichts.";
// --forget-older-than: the line of each chain removed, or none.
inline constexpr std::string_view kForgotten = "; vergessen";
std::string NothingOlderThan(unsigned days);

// --- The mails that `calverdon-cli mail` writes ------------------------------

// "[SUBJECT: ]NAME – Teil k von n", or just NAME for a single part.
std::string MailSubject(const std::string& given, const std::string& name, std::uint32_t number, std::uint32_t total);
// The short body that says what the attachment is and how to rebuild the
// file; `size` in bytes.
std::string MailBody(const std::string& sourceName, std::uint64_t size, const std::string& partName,
                     const std::string& firstPartName, std::uint32_t number, std::uint32_t total);
// What is wrong with an address given for a mail.
inline constexpr std::string_view kAddressControl = "enthält Steuerzeichen";
inline constexpr std::string_view kAddressNone = "ist keine E-Mail-Adresse";
inline constexpr std::string_view kAddressMany = "enthält mehr als eine Adresse";
// Checking a built mail before anything is handed on.
inline constexpr std::string_view kMailUnreadable = "sie lässt sich nicht lesen";
inline constexpr std::string_view kMailNoMail = "sie ist keine lesbare E-Mail";
inline constexpr std::string_view kMailSubject = "der Betreff stimmt nicht";
inline constexpr std::string_view kMailPlace = "X-Calverdon-Teil stimmt nicht";
inline constexpr std::string_view kMailChain = "X-Calverdon-Kette stimmt nicht";
inline constexpr std::string_view kMailStructure = "ihr Aufbau stimmt nicht";
inline constexpr std::string_view kMailAttachmentName = "der Name des Anhangs stimmt nicht";
inline constexpr std::string_view kMailAttachmentContent = "der Anhang weicht vom Teil ab";
std::string MailFor(std::uint32_t number, const std::string& name);  // "Teil 2 von NAME"
std::string MailWriteFailed(const std::string& which, int error);
std::string MailBroken(const std::string& which, const std::string& problem);
std::string MailTooLarge(const std::string& which, std::uint64_t size, std::uint64_t limit);
// Writing the .eml files into their folder failed.
std::string MailsWriteFailed(const std::string& folder, int error);

}  // namespace calverdon::mail::texts
