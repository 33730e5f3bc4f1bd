#pragma once
// What a mail tells about the parts it carries, beyond their names: which
// mail they came in, the thread it belongs to, the numbering in its
// subject, its sender and date, and the chain headers our own mails carry.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace calverdon::mail {

struct MailInfo {
    std::string messageId;                // without the angle brackets
    std::vector<std::string> references;  // In-Reply-To and References
    std::string subjectKey;               // the subject less reply marks and part numbering
    std::uint32_t subjectPart = 0;        // "Teil 2 von 5", "(2/5)" ...: 2
    std::uint32_t subjectTotal = 0;       // ... and 5
    std::string from;                     // the sender's address, lower case
    std::int64_t date = 0;                // seconds since 1970; 0 when unknown
    std::string chainId;                  // X-Calverdon-Kette
    std::uint32_t headerPart = 0;         // X-Calverdon-Teil: k/n
    std::uint32_t headerTotal = 0;
    std::string subject;                  // as written, for the report
};

// The message ids in a header such as References: every <...>.
std::vector<std::string> MessageIds(std::string_view header);

// Reads the part numbering from a subject ("bericht.pdf – Teil 2 von 5",
// "Teil 2/5", "(2/5)", "[2/5]", "Part 2 of 5") into `info`, and what is
// left of it, without "Re:", "AW:", "Fwd:", "WG:" and the like, lower case
// and with single blanks, into its subjectKey.
void ReadSubject(std::string_view subject, MailInfo& info);

// "k/n" as our own header carries it.
bool ReadPartOfTotal(std::string_view text, std::uint32_t& part, std::uint32_t& total);

}  // namespace calverdon::mail
