#include "MailScanner.h"

#include <fcntl.h>
#include <gmime/gmime.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>

#include "Cp1252.h"
#include "File.h"
#include "MailForm.h"
#include "Names.h"
#include "TextForms.h"

namespace calverdon::mail {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kReadBuffer = 256 * 1024;
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

bool Contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// Names as the content declares them: UTF-8 where it says so and they are,
// Windows-1252 otherwise, which is what the format writes.
std::string NameText(std::string_view bytes, bool utf8) {
    if (utf8 && g_utf8_validate(bytes.data(), static_cast<gssize>(bytes.size()), nullptr)) return std::string(bytes);
    return Cp1252ToUtf8(bytes);
}

std::int64_t FileDate(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? static_cast<std::int64_t>(st.st_mtime) : 0;
}

std::string Header(GMimeObject* object, const char* name) {
    const char* value = g_mime_object_get_header(object, name);
    return value != nullptr ? std::string(value) : std::string();
}

MailInfo EvidenceOf(GMimeMessage* message) {
    MailInfo info;
    if (const char* id = g_mime_message_get_message_id(message)) info.messageId = id;
    GMimeObject* object = GMIME_OBJECT(message);
    info.references = MessageIds(Header(object, "In-Reply-To"));
    for (std::string& id : MessageIds(Header(object, "References"))) {
        if (!Contains(info.references, id)) info.references.push_back(std::move(id));
    }
    if (const char* subject = g_mime_message_get_subject(message)) ReadSubject(subject, info);
    if (InternetAddressList* from = g_mime_message_get_from(message);
        from != nullptr && internet_address_list_length(from) > 0) {
        InternetAddress* address = internet_address_list_get_address(from, 0);
        if (INTERNET_ADDRESS_IS_MAILBOX(address)) {
            if (const char* addr = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address))) {
                info.from = addr;
                std::transform(info.from.begin(), info.from.end(), info.from.begin(),
                               [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            }
        }
    }
    if (GDateTime* date = g_mime_message_get_date(message)) info.date = g_date_time_to_unix(date);
    info.chainId = Header(object, "X-Calverdon-Kette").substr(0, 200);
    ReadPartOfTotal(Header(object, "X-Calverdon-Teil").substr(0, 100), info.headerPart, info.headerTotal);
    return info;
}

bool IsType(GMimeObject* object, const char* type, const char* subtype) {
    GMimeContentType* contentType = g_mime_object_get_content_type(object);
    return contentType != nullptr && g_mime_content_type_is_type(contentType, type, subtype);
}

bool DeclaresUtf8(GMimeObject* object) {
    const char* charset = g_mime_object_get_content_type_parameter(object, "charset");
    return charset != nullptr && (g_ascii_strcasecmp(charset, "utf-8") == 0 || g_ascii_strcasecmp(charset, "utf8") == 0);
}

// A reader over a GMime stream, passed through a text form when given.
class FormReader {
public:
    FormReader(GMimeStream* stream, std::unique_ptr<TextForm> form) : stream_(stream), form_(std::move(form)) {}

    long Read(char* buffer, std::size_t size) {
        if (!form_) return static_cast<long>(g_mime_stream_read(stream_, buffer, size));
        while (pending_.size() - used_ < size && !ended_) {
            char raw[64 * 1024];
            const gssize got = g_mime_stream_read(stream_, raw, sizeof raw);
            if (got < 0) return -1;
            if (got == 0) {
                form_->Finish(pending_);
                ended_ = true;
            } else {
                form_->Process(std::string_view(raw, static_cast<std::size_t>(got)), pending_);
            }
        }
        const std::size_t n = std::min(size, pending_.size() - used_);
        std::memcpy(buffer, pending_.data() + used_, n);
        used_ += n;
        if (used_ == pending_.size()) {
            pending_.clear();
            used_ = 0;
        }
        return static_cast<long>(n);
    }

private:
    GMimeStream* stream_;
    std::unique_ptr<TextForm> form_;
    std::string pending_;
    std::size_t used_ = 0;
    bool ended_ = false;
};

}  // namespace

std::string MailSafeName(std::string_view utf8) {
    std::string name = SafeFileName(utf8);
    if (name.starts_with('.')) name[0] = '_';
    return name;
}

// Writes each part a splitter finds into the file of copies and hands it
// to the scanner.
class CopySink final : public PartSink {
public:
    CopySink(MailScanner& scanner, const MailScanner::Arrival& arrival) : scanner_(scanner), arrival_(arrival) {}

    void Begin() override {
        if (!scanner_.copies_ && !failed_) {
            scanner_.copiesPath_ = scanner_.scratch_.NewFile();
            UniqueFd fd(::open(scanner_.copiesPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
            if (!fd.IsOpen()) {
                scanner_.copyError_ = errno;
                failed_ = true;
                return;
            }
            scanner_.copies_.emplace(std::move(fd));
        }
        start_ = scanner_.copies_ ? scanner_.copies_->Position() : 0;
        lastWasCr_ = false;
    }
    // Line ends that mail made LF alone are CR LF again in the copy, as
    // the format writes them, so that a part that mail changed in nothing
    // else is read the strict way.
    void Write(std::string_view text) override {
        if (!scanner_.copies_) return;
        BufferedWriter& out = *scanner_.copies_;
        for (std::size_t start = 0; start < text.size();) {
            const std::size_t lf = text.find('\n', start);
            const std::size_t end = lf == std::string_view::npos ? text.size() : lf;
            out.Write(text.substr(start, end - start));
            if (end > start) lastWasCr_ = text[end - 1] == '\r';
            if (lf == std::string_view::npos) break;
            out.Write(lastWasCr_ ? std::string_view("\n") : std::string_view("\r\n"));
            lastWasCr_ = false;
            start = lf + 1;
        }
    }
    void End(const SplitPart& split) override {
        if (!scanner_.copies_) return;
        BufferedWriter& out = *scanner_.copies_;
        if (out.Error() != 0) {
            scanner_.copyError_ = out.Error();
            return;
        }
        FoundPart part;
        part.file = scanner_.copiesPath_;
        part.offset = start_;
        part.size = out.Position() - start_;
        part.number = split.number;
        part.end = split.end;
        part.digest = split.digest;
        if (split.number == 1) part.headerName = MailSafeName(NameText(split.headerName, arrival_.utf8));
        if (split.end == PartEnd::Continues) part.nextName = SafeFileName(NameText(split.nextName, arrival_.utf8));
        // A part known already needs no second copy: it was the last
        // thing written.
        if (!scanner_.Keep(std::move(part), arrival_)) out.TruncateTo(start_);
    }

private:
    MailScanner& scanner_;
    const MailScanner::Arrival& arrival_;
    std::uint64_t start_ = 0;
    bool lastWasCr_ = false;
    bool failed_ = false;
};

namespace {

// Where the next line after `from` that begins with "From " starts, or -1
// when there is none. Reads the stream once from `from` on.
gint64 NextFromLine(GMimeStream* stream, gint64 from) {
    constexpr std::string_view kFrom = "From ";
    if (from < 0 || g_mime_stream_seek(stream, from, GMIME_STREAM_SEEK_SET) < 0) return -1;
    // How much of "From " the current line has begun with; -1 once it
    // cannot, and for the line that `from` lies in.
    int matched = -1;
    gint64 at = from;
    char chunk[8192];
    for (;;) {
        const ssize_t got = g_mime_stream_read(stream, chunk, sizeof chunk);
        if (got <= 0) return -1;
        for (ssize_t i = 0; i < got; ++i, ++at) {
            if (chunk[i] == '\n') {
                matched = 0;
            } else if (matched >= 0 && chunk[i] == kFrom[static_cast<std::size_t>(matched)]) {
                if (++matched == static_cast<int>(kFrom.size())) return at + 1 - matched;
            } else {
                matched = -1;
            }
        }
    }
}

// Walks the MIME tree of one message and offers every text in it.
class TreeWalker {
public:
    TreeWalker(MailScanner& scanner, ScratchFolder& scratch, std::string shown)
        : scanner_(scanner), scratch_(scratch), shown_(std::move(shown)) {}

    void WalkMessage(GMimeMessage* message, int depth) {
        if (message == nullptr || depth > kMaxDepth) return;
        if (GMimeObject* body = g_mime_message_get_mime_part(message); body != nullptr && GMIME_IS_MESSAGE_PARTIAL(body)) {
            KeepPiece(message, GMIME_MESSAGE_PARTIAL(body));
            return;
        }
        MailInfo info = EvidenceOf(message);
        const std::int64_t date = info.date;
        const std::uint32_t mail = scanner_.AddMail(std::move(info));
        Walk(g_mime_message_get_mime_part(message), mail, date, depth + 1);
    }

private:
    // A piece of a split mail waits for the others, as a mail of its own.
    void KeepPiece(GMimeMessage* message, GMimeMessagePartial* partial) {
        const char* id = g_mime_message_partial_get_id(partial);
        const int number = g_mime_message_partial_get_number(partial);
        const int total = g_mime_message_partial_get_total(partial);
        if (id == nullptr || number < 1 || total < 0 || (total > 0 && number > total)) return;
        Piece piece;
        piece.id = std::string(id).substr(0, 1000);
        piece.number = static_cast<std::uint32_t>(number);
        piece.total = static_cast<std::uint32_t>(total);
        if (GDateTime* date = g_mime_message_get_date(message)) piece.date = g_date_time_to_unix(date);
        piece.file = scratch_.NewFile();
        const int fd = ::open(piece.file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) return;
        GPtr<GMimeStream> out(g_mime_stream_fs_new(fd));
        const bool written = g_mime_object_write_to_stream(GMIME_OBJECT(message), nullptr, out.get()) >= 0 &&
                             g_mime_stream_flush(out.get()) == 0;
        if (written) scanner_.AddPiece(std::move(piece));
    }

    void Walk(GMimeObject* object, std::uint32_t mail, std::int64_t date, int depth) {
        if (object == nullptr || depth > kMaxDepth) return;
        if (GMIME_IS_MESSAGE_PART(object)) {
            WalkMessage(g_mime_message_part_get_message(GMIME_MESSAGE_PART(object)), depth + 1);
        } else if (GMIME_IS_MULTIPART(object)) {
            GMimeMultipart* multipart = GMIME_MULTIPART(object);
            const int count = g_mime_multipart_get_count(multipart);
            if (IsType(object, "multipart", "alternative")) {
                // One text in several forms: the plain one, else HTML.
                if (GMimeObject* chosen = Alternative(multipart)) return Walk(chosen, mail, date, depth + 1);
            }
            for (int i = 0; i < count; ++i) Walk(g_mime_multipart_get_part(multipart, i), mail, date, depth + 1);
        } else if (GMIME_IS_PART(object)) {
            Offer(GMIME_PART(object), mail, date, depth);
        }
    }

    static bool Holds(GMimeObject* object, const char* subtype) {
        if (IsType(object, "text", subtype)) return true;
        if (!GMIME_IS_MULTIPART(object)) return false;
        GMimeMultipart* multipart = GMIME_MULTIPART(object);
        for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
            if (IsType(g_mime_multipart_get_part(multipart, i), "text", subtype)) return true;
        }
        return false;
    }

    static GMimeObject* Alternative(GMimeMultipart* multipart) {
        for (const char* subtype : {"plain", "html"}) {
            for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
                GMimeObject* part = g_mime_multipart_get_part(multipart, i);
                if (Holds(part, subtype)) return part;
            }
        }
        return nullptr;
    }

    void Offer(GMimePart* part, std::uint32_t mail, std::int64_t date, int depth) {
        GMimeObject* object = GMIME_OBJECT(part);
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
        // A forwarded mail that was given a transfer encoding of its own.
        if (IsType(object, "message", "rfc822")) return WalkEncodedMessage(decoded.get(), depth);

        MailScanner::Arrival arrival;
        // GMime gives the name decoded (RFC 2231 and 2047), in UTF-8.
        if (const char* filename = g_mime_part_get_filename(part)) arrival.name = MailSafeName(filename);
        arrival.mail = mail;
        arrival.file = shown_;
        arrival.date = date;
        arrival.utf8 = DeclaresUtf8(object);
        std::unique_ptr<TextForm> form;
        if (IsType(object, "text", "html")) {
            // HTML is read as UTF-8, whatever it was written in.
            if (const char* charset = g_mime_object_get_content_type_parameter(object, "charset");
                charset != nullptr && !arrival.utf8) {
                GPtr<GMimeFilter> toUtf8(g_mime_filter_charset_new(charset, "UTF-8"));
                if (toUtf8) g_mime_stream_filter_add(GMIME_STREAM_FILTER(decoded.get()), toUtf8.get());
                arrival.utf8 = toUtf8 != nullptr;
            }
            form = std::make_unique<HtmlText>();
        } else if (IsType(object, "text", "plain")) {
            const char* format = g_mime_object_get_content_type_parameter(object, "format");
            const char* delsp = g_mime_object_get_content_type_parameter(object, "delsp");
            if (format != nullptr && g_ascii_strcasecmp(format, "flowed") == 0) {
                form = std::make_unique<Unflow>(delsp != nullptr && g_ascii_strcasecmp(delsp, "yes") == 0);
            }
        }
        FormReader reader(decoded.get(), std::move(form));
        scanner_.Offer([&](char* buffer, std::size_t size) { return reader.Read(buffer, size); }, arrival, true);
    }

    // The mail is written out to the scratch folder and read from there,
    // so that its size does not count in memory.
    void WalkEncodedMessage(GMimeStream* decoded, int depth) {
        if (depth + 1 > kMaxDepth) return;
        const fs::path copy = scratch_.NewFile();
        {
            UniqueFd out(::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
            if (!out.IsOpen()) return;
            BufferedWriter writer(std::move(out));
            char buffer[64 * 1024];
            for (gssize got; (got = g_mime_stream_read(decoded, buffer, sizeof buffer)) > 0;) {
                writer.Write(buffer, static_cast<std::size_t>(got));
            }
            if (!writer.Close(false)) return;
        }
        int error = 0;
        UniqueFd in = OpenForReading(copy, error);
        if (in.IsOpen()) ParseMessages(in.Release(), scanner_, scratch_, shown_, false, 0, 0, {}, depth + 1);
        std::error_code ignored;
        fs::remove(copy, ignored);
    }

    // Parses the one message in `stream` and walks it. With a persistent
    // stream the bodies stay in the file and are read from there when
    // offered.
    static void ParseOne(GMimeStream* stream, GMimeFormat format, TreeWalker& walker, int depth) {
        GPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream));
        g_mime_parser_set_persist_stream(parser.get(), TRUE);
        g_mime_parser_set_format(parser.get(), format);
        GPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), nullptr));
        if (message) walker.WalkMessage(message.get(), depth);
    }

public:
    // Parses the messages of a file (one, or an mbox) and walks them.
    static void ParseMessages(int fd, MailScanner& scanner, ScratchFolder& scratch, const std::string& shown,
                              bool mbox, std::uint64_t base, std::uint64_t total,
                              const MailScanner::Progress& progress, int depth) {
        UniqueFd file(fd);
        // A mail whose header blocks go beyond all measure is read from a
        // copy that keeps only their beginning: the parser would keep
        // every field of them in memory.
        fs::path capped;
        if (HeadersNeedCapping(file.Get())) {
            capped = scratch.NewFile();
            if (!WriteCappedCopy(file.Get(), capped)) return;
            int error = 0;
            file = OpenForReading(capped, error);
            if (!file.IsOpen()) return;
        }
        GPtr<GMimeStream> stream(g_mime_stream_fs_new(file.Release()));
        TreeWalker walker(scanner, scratch, shown);
        if (!mbox) {
            ParseOne(stream.get(), GMIME_FORMAT_MESSAGE, walker, depth);
        } else {
            // Each mail of an mbox is parsed on its own, from its "From "
            // line to the next: the parser, left to walk the whole file,
            // stops for good at a mail it cannot make out, and can take the
            // mails after a broken one for part of it. Body lines that
            // began with "From " were quoted as ">From " (mboxo) or
            // ">From ", ">>From " ... (mboxrd) by the writer; no line of a
            // hex-text part, of base64, or of quoted-printable that escapes
            // "From " begins so.
            for (gint64 start = 0; start >= 0;) {
                const gint64 next = NextFromLine(stream.get(), start);
                GPtr<GMimeStream> mail(g_mime_stream_substream(stream.get(), start, next));
                ParseOne(mail.get(), GMIME_FORMAT_MBOX, walker, depth);
                const gint64 reached = next >= 0 ? next : g_mime_stream_length(stream.get());
                if (progress && reached >= 0) progress(base + static_cast<std::uint64_t>(reached), total);
                start = next;
            }
        }
        if (!capped.empty()) {
            std::error_code ignored;
            fs::remove(capped, ignored);
        }
    }

private:
    MailScanner& scanner_;
    ScratchFolder& scratch_;
    std::string shown_;
};

}  // namespace

std::string DataKey(const FoundPart& part) {
    std::string key(reinterpret_cast<const char*>(part.digest.hash.data()), part.digest.hash.size());
    key += std::to_string(part.number) + '/' + std::to_string(part.digest.bytes) + '/' +
           std::to_string(static_cast<int>(part.end)) + '/' + part.nextName + '/' + part.headerName;
    if (part.end == PartEnd::Last) key += '/' + std::to_string(part.digest.endChecksum.value);
    return key;
}

MailScanner::MailScanner(ScratchFolder& scratch) : scratch_(scratch) { InitGMime(); }

std::set<std::string> MailScanner::Reassemble(const std::vector<Piece>& kept) {
    std::map<std::string, std::vector<const Piece*>> byId;
    for (const std::vector<Piece>* list : {static_cast<const std::vector<Piece>*>(&pieces_), &kept}) {
        for (const Piece& piece : *list) byId[piece.id].push_back(&piece);
    }
    std::set<std::string> rebuilt;
    for (auto& [id, pieces] : byId) {
        std::uint32_t total = 0;
        for (const Piece* piece : pieces) total = std::max(total, piece->total);
        std::set<std::uint32_t> numbers;
        for (const Piece* piece : pieces) numbers.insert(piece->number);
        if (total == 0 || numbers.size() < total || *numbers.rbegin() > total) continue;
        // Each piece read back as a mail; one of each number.
        std::vector<GPtr<GMimeMessage>> messages;
        std::vector<GMimeMessagePartial*> partials;
        std::set<std::uint32_t> taken;
        for (const Piece* piece : pieces) {
            if (!taken.insert(piece->number).second) continue;
            int error = 0;
            UniqueFd fd = OpenForReading(piece->file, error);
            if (!fd.IsOpen()) break;
            GPtr<GMimeStream> stream(g_mime_stream_fs_new(fd.Release()));
            GPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
            GPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), nullptr));
            GMimeObject* body = message ? g_mime_message_get_mime_part(message.get()) : nullptr;
            if (body == nullptr || !GMIME_IS_MESSAGE_PARTIAL(body)) break;
            partials.push_back(GMIME_MESSAGE_PARTIAL(body));
            messages.push_back(std::move(message));
        }
        if (partials.size() != total) continue;
        GPtr<GMimeMessage> whole(g_mime_message_partial_reconstruct_message(partials.data(), partials.size()));
        if (!whole) continue;
        TreeWalker walker(*this, scratch_, "„" + id + "“");
        walker.WalkMessage(whole.get(), 1);
        rebuilt.insert(id);
    }
    std::erase_if(pieces_, [&](const Piece& piece) { return rebuilt.contains(piece.id); });
    FinishCopies();
    return rebuilt;
}

std::uint32_t MailScanner::AddMail(MailInfo info) {
    mails_.push_back(std::move(info));
    return static_cast<std::uint32_t>(mails_.size() - 1);
}

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
            const std::int64_t date = FileDate(fd.Get());
            const auto shown = shownAs_.find(path);
            ScanFile(fd.Release(), shown != shownAs_.end() ? shown->second : path.string(),
                     shown != shownAs_.end() ? fs::path() : path.filename(), date, done, total, progress);
        }
        done += size;
        if (progress) progress(done, total);
    }
    FinishCopies();
}

void MailScanner::FinishCopies() {
    if (!copies_ || copies_->Flush()) return;
    copyError_ = copies_->Error();
    // What the failed writes were to hold never reached the file: the
    // parts whose copies lie there are no parts.
    struct stat st {};
    const std::uint64_t onDisk = ::fstat(copies_->Fd().Get(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    std::erase_if(parts_, [&](const FoundPart& part) { return part.file == copiesPath_ && part.offset + part.size > onDisk; });
    byData_.clear();
    for (std::size_t i = 0; i < parts_.size(); ++i) byData_.emplace(DataKey(parts_[i]), i);
}

void MailScanner::ScanFile(int fdNumber, const std::string& shown, const fs::path& name, std::int64_t date,
                           std::uint64_t base, std::uint64_t total, const Progress& progress) {
    UniqueFd fd(fdNumber);
    std::string head(PartSplitter::kSearchLimit, '\0');
    const ssize_t got = ::pread(fd.Get(), head.data(), head.size(), 0);
    if (got <= 0) return;
    head.resize(static_cast<std::size_t>(got));

    // A part file as it is, whatever its name; it may hold several parts.
    if (StartsWithPart(head)) {
        Arrival arrival;
        arrival.name = MailSafeName(name.string());
        arrival.file = shown;
        arrival.date = date;
        Offer([&](char* buffer, std::size_t size) { return static_cast<long>(::read(fd.Get(), buffer, size)); },
              arrival, false);
        return;
    }
    const MailForm form = MailFormOf(head);
    if (form == MailForm::None) return;
    TreeWalker::ParseMessages(fd.Release(), *this, scratch_, shown, form == MailForm::Mbox, base, total, progress, 0);
}

void MailScanner::Offer(const Reader& read, const Arrival& arrival, bool anyLine) {
    CopySink sink(*this, arrival);
    PartSplitter splitter(sink, anyLine);
    // One buffer for every piece of content: most of them are small.
    if (buffer_.empty()) buffer_.resize(kReadBuffer);
    std::vector<char>& buffer = buffer_;
    while (!splitter.Done()) {
        const long n = read(buffer.data(), buffer.size());
        if (n <= 0) break;
        splitter.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
    }
    splitter.Finish();
}

bool MailScanner::Keep(FoundPart part, const Arrival& arrival) {
    const auto merge = [&](FoundPart& into) {
        if (!arrival.name.empty() && !Contains(into.names, arrival.name)) into.names.push_back(arrival.name);
        if (arrival.mail != kNoMail && std::find(into.mails.begin(), into.mails.end(), arrival.mail) == into.mails.end()) {
            into.mails.push_back(arrival.mail);
        }
        if (!arrival.file.empty() && !Contains(into.files, arrival.file)) into.files.push_back(arrival.file);
        into.date = std::max(into.date, arrival.date);
    };
    const std::string key = DataKey(part);
    if (const auto known = byData_.find(key); known != byData_.end()) {
        merge(parts_[known->second]);
        return false;
    }
    merge(part);
    byData_.emplace(key, parts_.size());
    parts_.push_back(std::move(part));
    return true;
}

}  // namespace calverdon::mail
