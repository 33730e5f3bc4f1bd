#pragma once
// Mails that carry the parts of a hex-text chain, one part each, written
// with GMime. Every mail of a chain carries its place in the chain in its
// subject ("bericht.pdf – Teil 2 von 5"), in the header
// "X-Calverdon-Teil: 2/5" and, with the chain's identity, in
// "X-Calverdon-Kette"; parts 2 to n answer part 1 (In-Reply-To and
// References), so that mail programs thread them. The part itself is a
// text/plain attachment in Windows-1252 under its own file name, in base64,
// which gives back its bytes exactly, line ends included, whatever the mail
// path does to text. Mails are written with LF line ends, as sendmail, mbox
// files and mail programs on Linux take them; on the wire each line ends in
// CR LF, which WireSize() counts.

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Format.h"
#include "Services.h"

namespace calverdon::mail {

// What all mails of a run carry besides their part. Addresses are those
// that AddressProblem() accepts; none may hold a line break.
struct Envelope {
    std::vector<std::string> to;
    std::string from;     // empty: no From header (the mail program or sendmail adds it)
    std::string subject;  // put before the file's name when not empty
};

// A chain as the mails carry it.
struct MailChain {
    std::string sourceName;                   // the encoded file's name, UTF-8 (subjects, body)
    std::uint64_t sourceSize = 0;
    std::string id;                           // ChainId(): 16 lowercase hex digits
    std::vector<std::filesystem::path> parts;  // the part files in order; their names name the attachments
};

// Why `address` cannot stand in a To or From header, in German; empty when
// it can: one mailbox "name@domain" or "Name <name@domain>".
std::string AddressProblem(const std::string& address);

// 8 hex digits that the bytes of the parts, in order, decide (the start of
// their SHA-256): a repeat that makes the same parts gets the same ones.
// Empty when a part cannot be read.
std::string PartsFingerprint(const std::vector<std::filesystem::path>& parts);

// A chain's identity: 8 random hex digits and the parts' fingerprint. The
// random half keeps two sendings of the same file apart; the fingerprint
// lets a repeat that is to send more parts of a chain tell whether its
// parts are still the parts of that chain.
std::string NewChainId(const std::string& fingerprint);
bool IsChainId(const std::string& text);
bool ChainIdFits(const std::string& id, const std::string& fingerprint);

// The Message-ID (without angle brackets) of part `number` of chain `id`:
// "calverdon.ID.NUMBER@DOMAIN", the domain taken from the sender's address,
// else the host's name. The same on every repeat, so that the parts sent
// later answer the part 1 that went out before.
std::string MessageIdFor(const std::string& id, std::uint32_t number, const Envelope& envelope);

// The subject of part `number`: "NAME – Teil k von n", NAME alone for a
// chain of one part, after the envelope's subject and ": " when there is one.
std::string SubjectFor(const MailChain& chain, std::uint32_t number, const Envelope& envelope);

// The short German text of the mail of part `number`: what the attachment
// is and how it becomes the file again.
std::string BodyFor(const MailChain& chain, std::uint32_t number);

// Writes the mail of part `number` (1 to the number of parts) to `mail`,
// dated `date`. False on a failure, with its errno in `error`.
bool WriteMail(const MailChain& chain, std::uint32_t number, const Envelope& envelope, std::time_t date,
               const std::filesystem::path& mail, int& error);

// The size of a mail written by WriteMail() as it travels: its bytes plus
// one CR for each LF. 0 when it cannot be read.
std::uint64_t WireSize(const std::filesystem::path& mail);

// Reads a written mail back with GMime and compares it with what it must
// carry: the subject, the two chain headers, the attachment's name and its
// decoded bytes against the part file. Empty when all agree, else what does
// not, in German.
std::string CheckMail(const std::filesystem::path& mail, const MailChain& chain, std::uint32_t number,
                      const Envelope& envelope);

// The largest part size in kilobytes, as the encoder's size limit, for
// which every mail of a chain of `sourceName` stays under `maxWireBytes`
// (headers, body, MIME structure and the base64 attachment, counted as
// WireSize() does). 0 when even the smallest part does not fit.
std::uint32_t KilobytesForMailSize(std::uint64_t maxWireBytes, const std::string& sourceName,
                                   std::uint64_t sourceSize, const Envelope& envelope);

// A private folder (mode 0700) in $TMPDIR or /tmp for mails being built,
// removed with everything in it when the object goes. Path() is empty when
// it could not be made; Error() then tells why.
class MailScratch {
public:
    MailScratch();
    ~MailScratch();
    MailScratch(const MailScratch&) = delete;
    MailScratch& operator=(const MailScratch&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    int Error() const { return error_; }

private:
    std::filesystem::path path_;
    int error_ = 0;
};

// Writes the mails of the parts `numbers` of `chain` into `folder`
// ("mail-N.eml"), all dated `date`, and checks each with CheckMail() and,
// unless `maxWireBytes` is 0, its size against that limit. Fills `mails` in
// the order of `numbers`. Empty on success, else what failed, as a German
// sentence.
std::string BuildMails(const MailChain& chain, const std::vector<std::uint32_t>& numbers, const Envelope& envelope,
                       std::time_t date, std::uint64_t maxWireBytes, const std::filesystem::path& folder,
                       std::vector<std::filesystem::path>& mails);

// Where the mail of `part` goes in `folder`: the part's name with ".eml"
// in place of its extension ("bericht_2.txt": "bericht_2.eml").
std::filesystem::path EmlPathFor(const std::filesystem::path& folder, const std::filesystem::path& part);

// Copies `mails` to `targets`, in pairs: all files appear together, or
// none. None of the targets may be one of `sources`, a folder or a FIFO;
// replacing files that stand there needs a yes to the encoder's question,
// asked once through `services`. `stop` is asked after each file; when it
// says so, nothing is published. Failed after a refusal or a failure, told
// through `services` or, for a failure to write, in `problem`.
ConversionResult PublishMails(const std::vector<std::filesystem::path>& mails,
                              const std::vector<std::filesystem::path>& targets,
                              const std::vector<std::filesystem::path>& sources, Services services,
                              const std::function<bool()>& stop, std::string& problem);

}  // namespace calverdon::mail
