#pragma once
// Finds hex-text parts by their content in what a user hands over: part
// files, single e-mails, mbox files, Maildir and plain folders. Each part
// found is copied, decoded from its transfer encoding and mail's other
// changes (format=flowed, HTML), into a numbered file of a scratch folder,
// with a digest of its data and what its mail tells about it. Nothing is
// held in memory beyond a buffer and the parts' descriptions.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Evidence.h"
#include "File.h"
#include "PartText.h"
#include "ScratchFolder.h"

namespace calverdon::mail {

// Stands in FoundPart::mails for a part that came in no mail.
inline constexpr std::uint32_t kNoMail = UINT32_MAX;

struct FoundPart {
    // The copy: a stretch of a file in the scratch folder, which holds the
    // copies of all parts one after the other.
    std::filesystem::path file;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint32_t number = 0;    // 1 for a first part
    PartEnd end = PartEnd::Open;
    std::string nextName;        // the next part's name (UTF-8, made safe)
    std::string headerName;      // a first part's name line (UTF-8, made safe)
    PartDigest digest;
    // Every arrival of the same data: the names it came under (UTF-8, made
    // safe), the mails it came in, the input files it was found in.
    std::vector<std::string> names;
    std::vector<std::uint32_t> mails;
    std::vector<std::string> files;
    std::int64_t date = 0;       // the newest date of its mails or files
};

// A piece of a mail that a mail program split (message/partial, RFC 2046
// section 5.2.2), kept as a mail of its own.
struct Piece {
    std::string id;
    std::uint32_t number = 0;
    std::uint32_t total = 0;  // 0 when this piece does not tell
    std::filesystem::path file;
    std::int64_t date = 0;
};

// The key under which parts that carry the same data are one: their
// data's digest, number, end and names.
std::string DataKey(const FoundPart& part);

class MailScanner {
public:
    // Bytes of input read so far, and in all.
    using Progress = std::function<void(std::uint64_t done, std::uint64_t total)>;

    // Copies go into `scratch`, which must stay while the parts are used.
    explicit MailScanner(ScratchFolder& scratch);

    // Reads every input; folders are searched recursively (symbolic links
    // to folders are not followed, nor a Maildir's tmp folder, which holds
    // mails still being delivered).
    void Scan(const std::vector<std::filesystem::path>& inputs, const Progress& progress = {});
    // Reads one file that is open as `fd` (taken over); `shown` names it in
    // reports. A part file's own name counts as the name its part arrived
    // under.
    void ScanFile(int fd, const std::string& shown, const std::filesystem::path& name, std::int64_t date,
                  std::uint64_t base, std::uint64_t total, const Progress& progress);

    // Every distinct part: the same data (number, bytes, end and next
    // name) arriving twice, in whatever form, is listed once with the
    // evidence of both arrivals.
    const std::vector<FoundPart>& Parts() const { return parts_; }
    const std::vector<MailInfo>& Mails() const { return mails_; }
    // Reports call the input `file` so.
    void ShowAs(const std::filesystem::path& file, std::string shown) { shownAs_[file] = std::move(shown); }
    // Pieces of split mails found, not yet put together.
    const std::vector<Piece>& Pieces() const { return pieces_; }
    // Puts together every split mail whose pieces are all there, among
    // those found and `kept` (from an earlier run), and scans it like any
    // other mail. Returns the ids of the mails put together.
    std::set<std::string> Reassemble(const std::vector<Piece>& kept);
    // The errno of a copy that could not be written into the scratch
    // folder, 0 when none; parts whose copies are not whole are left out.
    int CopyError() const { return copyError_; }
    // Inputs that could not be read, each with the errno of the failure.
    const std::vector<std::pair<std::filesystem::path, int>>& Unreadable() const { return unreadable_; }

    // One piece of content (a mail body or attachment, or a whole file):
    // `read` fills a buffer and returns the bytes read, 0 at the end,
    // negative on an error. `utf8` tells that the content declares UTF-8,
    // which its names are then read in.
    using Reader = std::function<long(char* buffer, std::size_t size)>;
    struct Arrival {
        std::string name;               // the name it came under (made safe), or empty
        std::uint32_t mail = kNoMail;
        std::string file;               // the input it was found in
        std::int64_t date = 0;
        bool utf8 = false;
    };
    void Offer(const Reader& read, const Arrival& arrival, bool anyLine);
    // Records a mail's evidence; returns its index.
    std::uint32_t AddMail(MailInfo info);
    // Records a piece of a split mail.
    void AddPiece(Piece piece) { pieces_.push_back(std::move(piece)); }
    ScratchFolder& Scratch() { return scratch_; }
    // Makes every copy readable; Scan() does so at its end.
    void FinishCopies();

private:
    friend class CopySink;
    // False when the part was known already; its evidence is then added to
    // the known one.
    bool Keep(FoundPart part, const Arrival& arrival);
    void ScanMessages(int fd, const std::string& shown, std::int64_t date, bool mbox, std::uint64_t base,
                      std::uint64_t total, const Progress& progress);

    ScratchFolder& scratch_;
    // The file of all copies, made with the first part.
    std::filesystem::path copiesPath_;
    std::optional<BufferedWriter> copies_;
    std::vector<FoundPart> parts_;
    std::vector<MailInfo> mails_;
    std::vector<std::pair<std::filesystem::path, int>> unreadable_;
    // Index of parts_ by what they carry.
    std::unordered_map<std::string, std::size_t> byData_;
    std::vector<char> buffer_;
    int copyError_ = 0;
    std::vector<Piece> pieces_;
    std::map<std::filesystem::path, std::string> shownAs_;
};

// A name from mail as a file name: the last path component, control
// characters as "_", and a leading "." as "_", so that no mail can plant a
// hidden file.
std::string MailSafeName(std::string_view utf8);

}  // namespace calverdon::mail
