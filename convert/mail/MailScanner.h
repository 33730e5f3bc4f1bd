#pragma once
// Finds hex-text parts by their content in what a user hands over: part
// files, single e-mails, mbox files, Maildir and plain folders. Each part
// found is copied, decoded from its transfer encoding, into a file of its
// own in a scratch folder; nothing is held in memory beyond a buffer.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace calverdon::mail {

struct FoundPart {
    std::filesystem::path file;       // the copy in the scratch folder
    std::vector<std::string> names;   // file names it arrived under (UTF-8, made safe)
    std::uint32_t number = 0;         // 1 for a first part
    bool last = false;                // its data end with "~~"
    bool continues = false;           // its data end with "++" and a name
    std::string nextName;             // the next part's name as the lenient reading opens it (UTF-8, safe)
    std::string strictNextName;       // ... and as the strict reading opens it, where that differs
    std::string headerName;           // a first part's name line (UTF-8, safe)
    std::uint64_t size = 0;
};

// A private folder (mode 0700) in the temporary folder, removed with
// everything in it when the object goes.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

class MailScanner {
public:
    // Bytes of input read so far, and in all.
    using Progress = std::function<void(std::uint64_t done, std::uint64_t total)>;

    // Copies go into `scratch`, which must exist and stay while the parts
    // are used.
    explicit MailScanner(std::filesystem::path scratch);

    // Reads every input; folders are searched recursively (symbolic links
    // to folders are not followed, nor a Maildir's tmp folder, which holds
    // mails still being delivered).
    void Scan(const std::vector<std::filesystem::path>& inputs, const Progress& progress = {});

    // Every distinct part: a part that arrives twice with the same bytes is
    // listed once, with the names of both arrivals.
    const std::vector<FoundPart>& Parts() const { return parts_; }
    // Inputs that could not be read, each with the errno of the failure.
    const std::vector<std::pair<std::filesystem::path, int>>& Unreadable() const { return unreadable_; }

    // Scans one file whose contents are already open as `fd` (taken over).
    // `name` is the file's own name, known for a part file.
    void ScanFile(int fd, const std::string& name, std::uint64_t base, std::uint64_t total, const Progress& progress);

    // Offered one piece of content (a mail body or attachment, or a whole
    // file): `read` fills a buffer and returns the bytes read, 0 at the end,
    // negative on an error. Copies the content when it holds a part.
    using Reader = std::function<long(char* buffer, std::size_t size)>;
    void Offer(const Reader& read, const std::string& name, bool anyLine);

private:
    void Keep(FoundPart part);

    std::filesystem::path scratch_;
    std::vector<FoundPart> parts_;
    std::vector<std::pair<std::filesystem::path, int>> unreadable_;
    unsigned copies_ = 0;
};

}  // namespace calverdon::mail
