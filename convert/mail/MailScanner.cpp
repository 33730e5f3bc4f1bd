#include "MailScanner.h"

#include <fcntl.h>
#include <gmime/gmime.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <memory>
#include <mutex>

#include "File.h"
#include "Names.h"
#include "PartText.h"
#include "Cp1252.h"

namespace calverdon::mail {
namespace {

namespace fs = std::filesystem;

// A part must announce itself within this many bytes of the start of its
// content; only that much is read of anything that is not a part.
constexpr std::size_t kHeadSize = 64 * 1024;
constexpr std::size_t kCopyBuffer = 256 * 1024;
// Deeper nesting of multiparts and attached mails is not searched.
constexpr int kMaxDepth = 64;

struct GObjectUnref {
    void operator()(gpointer object) const {
        if (object != nullptr) g_object_unref(object);
    }
};
template <typename T>
using GPtr = std::unique_ptr<T, GObjectUnref>;

void InitGMime() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

// Whether the text starts like a mail: a header field name and a colon.
bool LooksLikeHeader(std::string_view head) {
    std::size_t i = 0;
    while (i < head.size() && head[i] > ' ' && head[i] < 127 && head[i] != ':') ++i;
    return i > 0 && i < head.size() && head[i] == ':';
}

bool SameBytes(const fs::path& a, const fs::path& b) {
    std::ifstream first(a, std::ios::binary);
    std::ifstream second(b, std::ios::binary);
    std::vector<char> x(64 * 1024);
    std::vector<char> y(64 * 1024);
    while (first && second) {
        first.read(x.data(), static_cast<std::streamsize>(x.size()));
        second.read(y.data(), static_cast<std::streamsize>(y.size()));
        if (first.gcount() != second.gcount()) return false;
        if (!std::equal(x.begin(), x.begin() + first.gcount(), y.begin())) return false;
    }
    return !first.bad() && !second.bad() && first.eof() && second.eof();
}

// Walks the MIME tree of one message and offers every leaf to the scanner.
class TreeWalker {
public:
    explicit TreeWalker(MailScanner& scanner) : scanner_(scanner) {}

    void Walk(GMimeObject* object, int depth) {
        if (object == nullptr || depth > kMaxDepth) return;
        if (GMIME_IS_MESSAGE_PART(object)) {
            GMimeMessage* message = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
            if (message != nullptr) Walk(g_mime_message_get_mime_part(message), depth + 1);
        } else if (GMIME_IS_MULTIPART(object)) {
            GMimeMultipart* multipart = GMIME_MULTIPART(object);
            const int count = g_mime_multipart_get_count(multipart);
            for (int i = 0; i < count; ++i) Walk(g_mime_multipart_get_part(multipart, i), depth + 1);
        } else if (GMIME_IS_PART(object)) {
            Offer(GMIME_PART(object));
        }
    }

private:
    void Offer(GMimePart* part) {
        GMimeDataWrapper* content = g_mime_part_get_content(part);
        if (content == nullptr) return;
        GMimeStream* raw = g_mime_data_wrapper_get_stream(content);
        if (raw == nullptr || g_mime_stream_reset(raw) != 0) return;
        GPtr<GMimeStream> decoded(g_mime_stream_filter_new(raw));
        const GMimeContentEncoding encoding = g_mime_data_wrapper_get_encoding(content);
        if (encoding == GMIME_CONTENT_ENCODING_BASE64 || encoding == GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE ||
            encoding == GMIME_CONTENT_ENCODING_UUENCODE) {
            GPtr<GMimeFilter> filter(g_mime_filter_basic_new(encoding, FALSE));
            g_mime_stream_filter_add(GMIME_STREAM_FILTER(decoded.get()), filter.get());
        }
        // GMime gives the name decoded (RFC 2231 and 2047), in UTF-8.
        const char* filename = g_mime_part_get_filename(part);
        scanner_.Offer(
            [&](char* buffer, std::size_t size) -> long {
                return static_cast<long>(g_mime_stream_read(decoded.get(), buffer, size));
            },
            filename != nullptr ? SafeFileName(filename) : std::string(), true);
    }

    MailScanner& scanner_;
};

}  // namespace

ScratchFolder::ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "calverdon-mail-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw fs::filesystem_error("mkdtemp", std::error_code(errno, std::generic_category()));
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

MailScanner::MailScanner(fs::path scratch) : scratch_(std::move(scratch)) { InitGMime(); }

void MailScanner::Scan(const std::vector<fs::path>& inputs, const Progress& progress) {
    std::vector<std::pair<fs::path, std::uint64_t>> files;
    for (const fs::path& input : inputs) {
        std::error_code error;
        if (!fs::is_directory(input, error)) {
            const auto size = fs::file_size(input, error);
            files.emplace_back(input, error ? 0 : size);
            continue;
        }
        std::vector<std::pair<fs::path, std::uint64_t>> found;
        fs::recursive_directory_iterator it(input, fs::directory_options::skip_permission_denied, error);
        for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            std::error_code ignored;
            const fs::path& path = it->path();
            if (it->is_directory(ignored)) {
                if (path.filename() == "tmp" && fs::is_directory(path.parent_path() / "cur", ignored) &&
                    fs::is_directory(path.parent_path() / "new", ignored)) {
                    it.disable_recursion_pending();
                }
            } else if (it->is_regular_file(ignored)) {
                const auto size = it->file_size(ignored);
                found.emplace_back(path, ignored ? 0 : size);
            }
        }
        if (error) unreadable_.emplace_back(input, error.value());
        std::sort(found.begin(), found.end());
        files.insert(files.end(), found.begin(), found.end());
    }

    std::uint64_t total = 0;
    for (const auto& file : files) total += file.second;
    std::uint64_t done = 0;
    for (const auto& [path, size] : files) {
        int error = 0;
        UniqueFd fd = OpenForReading(path, error);
        if (!fd.IsOpen()) {
            unreadable_.emplace_back(path, error);
        } else {
            ScanFile(fd.Release(), SafeFileName(path.filename().string()), done, total, progress);
        }
        done += size;
        if (progress) progress(done, total);
    }
}

void MailScanner::ScanFile(int fdNumber, const std::string& name, std::uint64_t base, std::uint64_t total,
                           const Progress& progress) {
    UniqueFd fd(fdNumber);
    std::string head(kHeadSize, '\0');
    const ssize_t got = ::pread(fd.Get(), head.data(), head.size(), 0);
    if (got <= 0) return;
    head.resize(static_cast<std::size_t>(got));

    // A part file as it is, whatever its name.
    if (FindPartStart(head, head.size() < kHeadSize, false).number != 0) {
        Offer([&](char* buffer, std::size_t size) -> long { return static_cast<long>(::read(fd.Get(), buffer, size)); },
              name, false);
        return;
    }
    const bool mbox = head.starts_with("From ");
    if (!mbox && !LooksLikeHeader(head)) return;

    // The parser reads the file itself; with a persistent stream the bodies
    // stay in the file and are read from there when offered.
    GPtr<GMimeStream> stream(g_mime_stream_fs_new(fd.Release()));
    GPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    g_mime_parser_set_persist_stream(parser.get(), TRUE);
    // mbox: messages begin at "From " lines. Body lines that began so were
    // quoted as ">From " (mboxo) or ">From ", ">>From " ... (mboxrd) by the
    // writer; neither matters here, as no line of a hex-text part, nor of
    // base64, nor of quoted-printable that escapes "From ", begins so.
    g_mime_parser_set_format(parser.get(), mbox ? GMIME_FORMAT_MBOX : GMIME_FORMAT_MESSAGE);
    TreeWalker walker(*this);
    do {
        GPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), nullptr));
        if (!message) break;
        walker.Walk(g_mime_message_get_mime_part(message.get()), 0);
        if (progress) progress(base + static_cast<std::uint64_t>(std::max<gint64>(0, g_mime_parser_tell(parser.get()))), total);
    } while (mbox && !g_mime_parser_eos(parser.get()));
}

void MailScanner::Offer(const Reader& read, const std::string& name, bool anyLine) {
    std::string head(kHeadSize, '\0');
    std::size_t have = 0;
    bool ended = false;
    while (have < head.size()) {
        const long n = read(head.data() + have, head.size() - have);
        if (n <= 0) {
            ended = true;
            break;
        }
        have += static_cast<std::size_t>(n);
    }
    head.resize(have);
    const PartStart start = FindPartStart(head, ended, anyLine);
    if (start.number == 0) return;

    FoundPart part;
    part.file = scratch_ / ("teil-" + std::to_string(++copies_));
    part.number = start.number;
    if (!name.empty()) part.names.push_back(name);
    if (start.number == 1) part.headerName = SafeFileName(Cp1252ToUtf8(start.nameLine));

    UniqueFd out(::open(part.file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!out.IsOpen()) {
        unreadable_.emplace_back(part.file, errno);
        return;
    }
    BufferedWriter writer(std::move(out));
    PartEndFinder finder(start.number == 1 ? 2 : 1);
    auto copy = [&](std::string_view bytes) {
        writer.Write(bytes);
        finder.Feed(bytes);
        part.size += bytes.size();
    };
    copy(std::string_view(head).substr(start.offset));
    if (!ended) {
        std::vector<char> buffer(kCopyBuffer);
        for (;;) {
            const long n = read(buffer.data(), buffer.size());
            if (n <= 0) break;
            copy(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
        }
    }
    if (!writer.Close(false)) {
        unreadable_.emplace_back(part.file, writer.Error());
        std::error_code ignored;
        fs::remove(part.file, ignored);
        return;
    }
    part.last = finder.Ending() == PartEndFinder::End::Last;
    part.continues = finder.Ending() == PartEndFinder::End::Continues;
    if (part.continues) {
        part.nextName = SafeFileName(Cp1252ToUtf8(finder.LenientNextName()));
        part.strictNextName = SafeFileName(Cp1252ToUtf8(finder.NextName()));
    }
    Keep(std::move(part));
}

void MailScanner::Keep(FoundPart part) {
    for (FoundPart& known : parts_) {
        if (known.number != part.number || known.size != part.size || !SameBytes(known.file, part.file)) continue;
        for (const std::string& name : part.names) {
            if (std::find(known.names.begin(), known.names.end(), name) == known.names.end()) {
                known.names.push_back(name);
            }
        }
        std::error_code ignored;
        fs::remove(part.file, ignored);
        return;
    }
    parts_.push_back(std::move(part));
}

}  // namespace calverdon::mail
