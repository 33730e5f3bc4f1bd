#include "MailForm.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "File.h"
#include "Format.h"
#include "FormatRules.h"
#include "PartText.h"

namespace calverdon::mail {
namespace {

// "Name:" with a field name of printable characters.
bool IsFieldLine(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && line[i] > ' ' && line[i] < 127 && line[i] != ':') ++i;
    return i > 0 && i < line.size() && line[i] == ':';
}

// Follows the runs of header lines in a file, line by line.
class HeaderRuns {
public:
    // Whether `line` (with its line end) is kept within the limits. A line
    // longer than a buffer comes in pieces; the pieces after the first
    // share its fate.
    bool Keep(std::string_view line, bool restOfLine) {
        if (restOfLine) {
            bytes_ += line.size();
            return lastKept_ = lastKept_ && (!inRun_ || bytes_ <= kMaxHeaderBytes);
        }
        lastKept_ = Decide(line);
        return lastKept_;
    }

private:
    bool Decide(std::string_view line) {
        const bool continuation = inRun_ && !line.empty() && (line[0] == ' ' || line[0] == '\t') &&
                                  line.find_first_not_of(" \t\r\n") != std::string_view::npos;
        if (!continuation && !IsFieldLine(line)) {
            inRun_ = false;
            lines_ = 0;
            bytes_ = 0;
            return true;
        }
        inRun_ = true;
        ++lines_;
        bytes_ += line.size();
        return lines_ <= kMaxHeaderLines && bytes_ <= kMaxHeaderBytes && line.size() <= kMaxHeaderLineBytes;
    }

    bool lastKept_ = true;
    bool inRun_ = false;
    std::size_t lines_ = 0;
    std::size_t bytes_ = 0;
};

// Calls `line` for every line of the file, with its line end; a line
// longer than the buffer comes in pieces, the second and later of them
// marked as the rest of a line.
template <typename Line>
bool ForEachLine(int fd, Line line) {
    std::vector<char> buffer(1 << 20);
    std::size_t kept = 0;
    off_t offset = 0;
    bool rest = false;
    for (;;) {
        const ssize_t got = ::pread(fd, buffer.data() + kept, buffer.size() - kept, offset);
        if (got < 0) return false;
        offset += got;
        const std::size_t have = kept + static_cast<std::size_t>(got);
        std::size_t start = 0;
        for (;;) {
            const void* nl = std::memchr(buffer.data() + start, '\n', have - start);
            if (nl == nullptr) break;
            const std::size_t end = static_cast<std::size_t>(static_cast<const char*>(nl) - buffer.data()) + 1;
            if (!line(std::string_view(buffer.data() + start, end - start), rest)) return true;
            rest = false;
            start = end;
        }
        if (got == 0 || (start == 0 && have == buffer.size())) {
            // The end of the file, or a line that fills the buffer.
            if (have > start && !line(std::string_view(buffer.data() + start, have - start), rest)) return true;
            if (got == 0) return true;
            rest = true;
            kept = 0;
            continue;
        }
        std::memmove(buffer.data(), buffer.data() + start, have - start);
        kept = have - start;
    }
}

}  // namespace

MailForm MailFormOf(std::string_view head) {
    if (head.starts_with("From ")) return MailForm::Mbox;
    return IsFieldLine(head.substr(0, head.find('\n'))) ? MailForm::Mail : MailForm::None;
}

bool StartsWithPart(std::string_view head) {
    const std::string_view first = head.substr(0, head.find('\n'));
    if (first.size() > format::kMaxHeaderLine) return false;
    return format::PlainLine(first) == kMagicLine || PartNumberOfLine(first) != 0;
}

FileForm FileFormOf(const std::filesystem::path& path) {
    int error = 0;
    UniqueFd fd = OpenForReading(path, error);
    if (!fd.IsOpen()) return FileForm::Unreadable;
    std::string head(4096, '\0');
    const ssize_t got = ::pread(fd.Get(), head.data(), head.size(), 0);
    if (got <= 0) return FileForm::None;
    head.resize(static_cast<std::size_t>(got));
    if (StartsWithPart(head)) return FileForm::Part;
    switch (MailFormOf(head)) {
        case MailForm::Mail: return FileForm::Mail;
        case MailForm::Mbox: return FileForm::Mbox;
        case MailForm::None: break;
    }
    return FileForm::None;
}

bool HeadersNeedCapping(int fd) {
    HeaderRuns runs;
    bool beyond = false;
    ForEachLine(fd, [&](std::string_view line, bool rest) {
        beyond = !runs.Keep(line, rest);
        return !beyond;
    });
    return beyond;
}

bool WriteCappedCopy(int fd, const std::filesystem::path& copy) {
    UniqueFd out(::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!out.IsOpen()) return false;
    BufferedWriter writer(std::move(out));
    HeaderRuns runs;
    const bool read = ForEachLine(fd, [&](std::string_view line, bool rest) {
        if (runs.Keep(line, rest)) writer.Write(line);
        return true;
    });
    return writer.Close(false) && read;
}

}  // namespace calverdon::mail
