#include "Compose.h"
#include "MailTexts.h"

#include <fcntl.h>
#include <gmime/gmime.h>
#include <stdlib.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>

#include "Cp1252.h"
#include "File.h"
#include "Names.h"
#include "PendingFileSet.h"
#include "Report.h"

namespace calverdon::mail {
namespace {

namespace fs = std::filesystem;

struct GObjectUnref {
    void operator()(gpointer object) const {
        if (object != nullptr) g_object_unref(object);
    }
};
template <typename T>
using GPtr = std::unique_ptr<T, GObjectUnref>;

struct FormatOptionsFree {
    void operator()(GMimeFormatOptions* options) const { g_mime_format_options_free(options); }
};
struct DateTimeUnref {
    void operator()(GDateTime* date) const { g_date_time_unref(date); }
};

void InitGMime() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

constexpr std::uint32_t kLargestPartNumber = UINT32_MAX;

// Everything one mail says, so that a mail with an empty attachment and
// the largest numbers can stand in for every mail of a chain when the
// size of the parts is planned.
struct MailFacts {
    std::string sourceName;
    std::uint64_t sourceSize = 0;
    std::string id;
    std::uint32_t number = 1;
    std::uint32_t total = 1;
    std::string firstPartName;
    std::string partName;
};

std::string Body(const MailFacts& facts) {
    return texts::MailBody(facts.sourceName, facts.sourceSize, facts.partName, facts.firstPartName, facts.number,
                           facts.total);
}

std::string SubjectOf(const MailFacts& facts, const Envelope& envelope) {
    return texts::MailSubject(envelope.subject, facts.sourceName, facts.number, facts.total);
}

std::string MessageIdOf(const std::string& id, std::uint32_t number, const Envelope& envelope);

// The parsed addresses of `text`, or nothing.
GPtr<InternetAddressList> ParseAddresses(const std::string& text) {
    InitGMime();
    return GPtr<InternetAddressList>(internet_address_list_parse(nullptr, text.c_str()));
}

// The mail of `facts`, its attachment's content read from `content` when
// the mail is written.
GPtr<GMimeMessage> BuildMessage(const MailFacts& facts, const Envelope& envelope, std::time_t date,
                                GMimeStream* content) {
    InitGMime();
    GPtr<GMimeMessage> message(g_mime_message_new(TRUE));
    GMimeObject* headers = GMIME_OBJECT(message.get());
    if (!envelope.from.empty()) {
        if (GPtr<InternetAddressList> from = ParseAddresses(envelope.from)) {
            internet_address_list_append(g_mime_message_get_from(message.get()), from.get());
        }
    }
    for (const std::string& to : envelope.to) {
        if (GPtr<InternetAddressList> list = ParseAddresses(to)) {
            internet_address_list_append(g_mime_message_get_addresses(message.get(), GMIME_ADDRESS_TYPE_TO),
                                         list.get());
        }
    }
    g_mime_message_set_subject(message.get(), SubjectOf(facts, envelope).c_str(), "utf-8");
    std::unique_ptr<GDateTime, DateTimeUnref> when(g_date_time_new_from_unix_local(static_cast<gint64>(date)));
    if (when) g_mime_message_set_date(message.get(), when.get());
    g_mime_message_set_message_id(message.get(), MessageIdOf(facts.id, facts.number, envelope).c_str());
    if (facts.number > 1) {
        const std::string first = "<" + MessageIdOf(facts.id, 1, envelope) + ">";
        g_mime_object_set_header(headers, "In-Reply-To", first.c_str(), nullptr);
        g_mime_object_set_header(headers, "References", first.c_str(), nullptr);
    }
    const std::string place = std::to_string(facts.number) + "/" + std::to_string(facts.total);
    g_mime_object_set_header(headers, "X-Calverdon-Teil", place.c_str(), nullptr);
    g_mime_object_set_header(headers, "X-Calverdon-Kette", facts.id.c_str(), nullptr);

    GPtr<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
    GPtr<GMimeTextPart> body(g_mime_text_part_new_with_subtype("plain"));
    g_mime_text_part_set_text(body.get(), Body(facts).c_str());
    g_mime_part_set_content_encoding(GMIME_PART(body.get()), GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE);
    g_mime_multipart_add(mixed.get(), GMIME_OBJECT(body.get()));

    GPtr<GMimePart> attachment(g_mime_part_new_with_type("text", "plain"));
    g_mime_object_set_content_type_parameter(GMIME_OBJECT(attachment.get()), "charset", "windows-1252");
    g_mime_part_set_filename(attachment.get(), facts.partName.c_str());
    // A name beyond ASCII in UTF-8, as the file system has it, rather than
    // the narrowest charset that holds it.
    GMimeObject* object = GMIME_OBJECT(attachment.get());
    for (GMimeParamList* list :
         {g_mime_content_type_get_parameters(g_mime_object_get_content_type(object)),
          g_mime_content_disposition_get_parameters(g_mime_object_get_content_disposition(object))}) {
        for (const char* name : {"name", "filename"}) {
            if (GMimeParam* param = list != nullptr ? g_mime_param_list_get_parameter(list, name) : nullptr) {
                g_mime_param_set_charset(param, "UTF-8");
            }
        }
    }
    GPtr<GMimeDataWrapper> wrapper(g_mime_data_wrapper_new_with_stream(content, GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(attachment.get(), wrapper.get());
    // Base64 gives back the part's bytes exactly: quoted-printable text
    // would have its CR LF line ends, and the name line's Windows-1252
    // letters, at the mercy of every program on the way.
    g_mime_part_set_content_encoding(attachment.get(), GMIME_CONTENT_ENCODING_BASE64);
    g_mime_multipart_add(mixed.get(), GMIME_OBJECT(attachment.get()));
    g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(mixed.get()));
    return message;
}

std::unique_ptr<GMimeFormatOptions, FormatOptionsFree> FormatOptions() {
    std::unique_ptr<GMimeFormatOptions, FormatOptionsFree> options(g_mime_format_options_new());
    g_mime_format_options_set_newline_format(options.get(), GMIME_NEWLINE_FORMAT_UNIX);
    // Non-ASCII names as name*=utf-8''..., which every current mail program reads.
    g_mime_format_options_set_param_encoding_method(options.get(), GMIME_PARAM_ENCODING_METHOD_RFC2231);
    return options;
}

std::uint64_t WireSizeOf(std::string_view text) {
    return text.size() + static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '\n'));
}

MailFacts FactsOf(const MailChain& chain, std::uint32_t number) {
    MailFacts facts;
    facts.sourceName = chain.sourceName;
    facts.sourceSize = chain.sourceSize;
    facts.id = chain.id;
    facts.number = number;
    facts.total = static_cast<std::uint32_t>(chain.parts.size());
    facts.firstPartName = chain.parts.front().filename().string();
    facts.partName = chain.parts[number - 1].filename().string();
    return facts;
}

std::string DomainOf(const Envelope& envelope) {
    if (GPtr<InternetAddressList> from = ParseAddresses(envelope.from);
        from != nullptr && internet_address_list_length(from.get()) == 1) {
        InternetAddress* address = internet_address_list_get_address(from.get(), 0);
        if (INTERNET_ADDRESS_IS_MAILBOX(address)) {
            const char* addr = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address));
            if (const char* at = addr != nullptr ? std::strrchr(addr, '@') : nullptr; at != nullptr && at[1] != 0) {
                return at + 1;
            }
        }
    }
    char host[256] = {};
    std::string domain;
    if (::gethostname(host, sizeof host - 1) == 0) {
        for (const char* c = host; *c != 0; ++c) {
            if (g_ascii_isalnum(*c) || *c == '-' || *c == '.') domain += *c;
        }
    }
    return domain.empty() ? "localhost" : domain;
}

std::string MessageIdOf(const std::string& id, std::uint32_t number, const Envelope& envelope) {
    return "calverdon." + id + "." + std::to_string(number) + "@" + DomainOf(envelope);
}

std::string Hex(const unsigned char* bytes, std::size_t count) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

bool IsLowerHex(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// Whether the decoded content of `part` is the file `file`, byte for byte.
bool SameContent(GMimePart* part, const fs::path& file) {
    GMimeDataWrapper* wrapper = g_mime_part_get_content(part);
    if (wrapper == nullptr) return false;
    GMimeStream* raw = g_mime_data_wrapper_get_stream(wrapper);
    if (raw == nullptr || g_mime_stream_reset(raw) != 0) return false;
    GPtr<GMimeStream> decoded(g_mime_stream_filter_new(raw));
    GPtr<GMimeFilter> decoder(g_mime_filter_basic_new(g_mime_data_wrapper_get_encoding(wrapper), FALSE));
    g_mime_stream_filter_add(GMIME_STREAM_FILTER(decoded.get()), decoder.get());
    int error = 0;
    UniqueFd fd = OpenForReading(file, error);
    if (!fd.IsOpen()) return false;
    BufferedReader expected(std::move(fd));
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const gssize got = g_mime_stream_read(decoded.get(), buffer.data(), buffer.size());
        if (got < 0) return false;
        if (got == 0) break;
        for (std::size_t done = 0; done < static_cast<std::size_t>(got);) {
            const auto span = expected.Peek();
            const std::size_t n = std::min(span.size(), static_cast<std::size_t>(got) - done);
            if (n == 0 || std::memcmp(span.data(), buffer.data() + done, n) != 0) return false;
            expected.Consume(n);
            done += n;
        }
    }
    return expected.Peek().empty() && expected.Error() == 0;
}

}  // namespace

std::string AddressProblem(const std::string& address) {
    for (std::size_t i = 0; i < address.size(); ++i) {
        if (ControlCharacterAt(address, i) != 0) return std::string(texts::kAddressControl);
    }
    GPtr<InternetAddressList> list = ParseAddresses(address);
    if (list == nullptr || internet_address_list_length(list.get()) == 0) return std::string(texts::kAddressNone);
    if (internet_address_list_length(list.get()) > 1) return std::string(texts::kAddressMany);
    InternetAddress* parsed = internet_address_list_get_address(list.get(), 0);
    if (!INTERNET_ADDRESS_IS_MAILBOX(parsed)) return std::string(texts::kAddressNone);
    const char* addr = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(parsed));
    const char* at = addr != nullptr ? std::strchr(addr, '@') : nullptr;
    if (at == nullptr || at == addr || at[1] == 0 || std::strchr(at + 1, '@') != nullptr) {
        return std::string(texts::kAddressNone);
    }
    return {};
}

std::string PartsFingerprint(const std::vector<fs::path>& parts) {
    std::unique_ptr<GChecksum, decltype(&g_checksum_free)> sum(g_checksum_new(G_CHECKSUM_SHA256), &g_checksum_free);
    for (const fs::path& part : parts) {
        int error = 0;
        UniqueFd fd = OpenForReading(part, error);
        if (!fd.IsOpen()) return {};
        BufferedReader reader(std::move(fd));
        std::uint64_t size = 0;
        for (auto span = reader.Peek(); !span.empty(); reader.Consume(span.size()), span = reader.Peek()) {
            g_checksum_update(sum.get(), span.data(), static_cast<gssize>(span.size()));
            size += span.size();
        }
        if (reader.Error() != 0) return {};
        // Each part's length after its bytes, so that where one part ends
        // counts as well.
        unsigned char length[8];
        for (int i = 0; i < 8; ++i) length[i] = static_cast<unsigned char>(size >> (8 * i));
        g_checksum_update(sum.get(), length, sizeof length);
    }
    return std::string(g_checksum_get_string(sum.get())).substr(0, 8);
}

std::string NewChainId(const std::string& fingerprint) {
    unsigned char random[4] = {};
    std::size_t got = 0;
    while (got < sizeof random) {
        const ssize_t n = ::getrandom(random + got, sizeof random - got, 0);
        if (n > 0) got += static_cast<std::size_t>(n);
    }
    return Hex(random, sizeof random) + fingerprint;
}

bool IsChainId(const std::string& text) { return text.size() == 16 && IsLowerHex(text); }

bool ChainIdFits(const std::string& id, const std::string& fingerprint) {
    return IsChainId(id) && fingerprint.size() == 8 && id.compare(8, 8, fingerprint) == 0;
}

std::string MessageIdFor(const std::string& id, std::uint32_t number, const Envelope& envelope) {
    return MessageIdOf(id, number, envelope);
}

std::string BodyFor(const MailChain& chain, std::uint32_t number) { return Body(FactsOf(chain, number)); }

std::string SubjectFor(const MailChain& chain, std::uint32_t number, const Envelope& envelope) {
    return SubjectOf(FactsOf(chain, number), envelope);
}

bool WriteMail(const MailChain& chain, std::uint32_t number, const Envelope& envelope, std::time_t date,
               const fs::path& mail, int& error) {
    InitGMime();
    UniqueFd partFd = OpenForReading(chain.parts[number - 1], error);
    if (!partFd.IsOpen()) return false;
    GPtr<GMimeStream> content(g_mime_stream_fs_new(partFd.Release()));
    GPtr<GMimeMessage> message = BuildMessage(FactsOf(chain, number), envelope, date, content.get());
    const int fd = ::open(mail.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = errno;
        return false;
    }
    GPtr<GMimeStream> out(g_mime_stream_fs_new(fd));
    errno = 0;
    const auto options = FormatOptions();
    const bool written = g_mime_object_write_to_stream(GMIME_OBJECT(message.get()), options.get(), out.get()) >= 0 &&
                         g_mime_stream_flush(out.get()) == 0;
    const bool closed = g_mime_stream_close(out.get()) == 0;
    if (written && closed) return true;
    error = errno != 0 ? errno : EIO;
    return false;
}

std::uint64_t WireSize(const fs::path& mail) {
    int error = 0;
    UniqueFd fd = OpenForReading(mail, error);
    if (!fd.IsOpen()) return 0;
    BufferedReader reader(std::move(fd));
    std::uint64_t size = 0;
    for (auto span = reader.Peek(); !span.empty(); reader.Consume(span.size()), span = reader.Peek()) {
        size += WireSizeOf(std::string_view(reinterpret_cast<const char*>(span.data()), span.size()));
    }
    return reader.Error() == 0 ? size : 0;
}

std::string CheckMail(const fs::path& mail, const MailChain& chain, std::uint32_t number, const Envelope& envelope) {
    InitGMime();
    GError* gerror = nullptr;
    GPtr<GMimeStream> stream(g_mime_stream_fs_open(mail.c_str(), O_RDONLY, 0, &gerror));
    if (stream == nullptr) {
        g_clear_error(&gerror);
        return std::string(texts::kMailUnreadable);
    }
    GPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    g_mime_parser_set_persist_stream(parser.get(), TRUE);
    GPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), nullptr));
    if (message == nullptr) return std::string(texts::kMailNoMail);
    const MailFacts facts = FactsOf(chain, number);
    const char* subject = g_mime_message_get_subject(message.get());
    if (subject == nullptr || SubjectOf(facts, envelope) != subject) return std::string(texts::kMailSubject);
    GMimeObject* headers = GMIME_OBJECT(message.get());
    const char* place = g_mime_object_get_header(headers, "X-Calverdon-Teil");
    const std::string expectedPlace = std::to_string(number) + "/" + std::to_string(facts.total);
    if (place == nullptr || expectedPlace != place) return std::string(texts::kMailPlace);
    const char* id = g_mime_object_get_header(headers, "X-Calverdon-Kette");
    if (id == nullptr || chain.id != id) return std::string(texts::kMailChain);
    GMimeObject* body = g_mime_message_get_mime_part(message.get());
    if (body == nullptr || !GMIME_IS_MULTIPART(body) || g_mime_multipart_get_count(GMIME_MULTIPART(body)) != 2) {
        return std::string(texts::kMailStructure);
    }
    GMimeObject* attachment = g_mime_multipart_get_part(GMIME_MULTIPART(body), 1);
    if (!GMIME_IS_PART(attachment)) return std::string(texts::kMailStructure);
    const char* name = g_mime_part_get_filename(GMIME_PART(attachment));
    if (name == nullptr || facts.partName != name) return std::string(texts::kMailAttachmentName);
    if (!SameContent(GMIME_PART(attachment), chain.parts[number - 1])) return std::string(texts::kMailAttachmentContent);
    return {};
}

std::uint32_t KilobytesForMailSize(std::uint64_t maxWireBytes, const std::string& sourceName,
                                   std::uint64_t sourceSize, const Envelope& envelope) {
    // A mail with an empty attachment and the longest numbers any chain
    // can have (part 4294967295 of 4294967295) is at least as large as
    // every mail of the chain less its attachment.
    MailFacts facts;
    facts.sourceName = sourceName;
    facts.sourceSize = sourceSize;
    facts.id = std::string(16, '0');
    facts.number = kLargestPartNumber;
    facts.total = kLargestPartNumber;
    const fs::path firstPart = EncodeTargetFor(sourceName).filename();
    facts.firstPartName = firstPart.string();
    facts.partName = PartPath(firstPart, kLargestPartNumber).filename().string();
    GPtr<GMimeStream> empty(g_mime_stream_mem_new());
    GPtr<GMimeMessage> message = BuildMessage(facts, envelope, std::time(nullptr), empty.get());
    GPtr<GMimeStream> out(g_mime_stream_mem_new());
    const auto options = FormatOptions();
    g_mime_object_write_to_stream(GMIME_OBJECT(message.get()), options.get(), out.get());
    const GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out.get()));
    const std::uint64_t skeleton =
        WireSizeOf(std::string_view(reinterpret_cast<const char*>(bytes->data), bytes->len));

    // Servers on the way add Received, DKIM-Signature and the like, which
    // count against the receiving provider's limit; 8 kB leave room for
    // several of each.
    constexpr std::uint64_t kAddedOnTheWay = 8 * 1024;
    if (maxWireBytes <= skeleton + kAddedOnTheWay) return 0;
    const std::uint64_t room = maxWireBytes - 1 - skeleton - kAddedOnTheWay;
    // Base64 turns every 57 bytes into a line of 76 characters and its line
    // end, 78 bytes on the wire; a last, shorter line costs no more.
    const std::uint64_t partBytes = room / 78 * 57;
    // A part file holds its counted data (the limit and up to 4 more
    // characters) and the lines that are not counted: the magic line and
    // the name line, or "N LfdNr", and the continuation line or the end
    // line "~~" with 8 digits.
    constexpr std::uint64_t kMagicLine = 21 + 2;
    const std::uint64_t headerLines =
        std::max<std::uint64_t>(kMagicLine + Utf8ToCp1252(sourceName).size() + 2, 10 + 8);
    const std::uint64_t lastLine =
        std::max<std::uint64_t>(2 + Utf8ToCp1252(facts.partName).size() + 2, 2 + 8);
    const std::uint64_t overhead = 4 + headerLines + lastLine;
    if (partBytes < overhead + 1024) return 0;
    // The encoder's largest limit: 4194303 kB, 4 GiB less one kilobyte.
    return static_cast<std::uint32_t>(std::min<std::uint64_t>((partBytes - overhead) / 1024, 4194303));
}

MailScratch::MailScratch() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/calverdon-mail-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        error_ = errno;
    } else {
        path_ = pattern;
    }
}

MailScratch::~MailScratch() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
}

std::string BuildMails(const MailChain& chain, const std::vector<std::uint32_t>& numbers, const Envelope& envelope,
                       std::time_t date, std::uint64_t maxWireBytes, const fs::path& folder,
                       std::vector<fs::path>& mails) {
    const std::string name = chain.sourceName;
    for (const std::uint32_t number : numbers) {
        const std::string which = texts::MailFor(number, name);
        const fs::path built = folder / ("mail-" + std::to_string(number) + ".eml");
        int error = 0;
        if (!WriteMail(chain, number, envelope, date, built, error)) {
            return texts::MailWriteFailed(which, error);
        }
        const std::string problem = CheckMail(built, chain, number, envelope);
        if (!problem.empty()) return texts::MailBroken(which, problem);
        const std::uint64_t size = WireSize(built);
        if (size == 0) return texts::MailBroken(which, std::string(texts::kMailUnreadable));
        if (maxWireBytes != 0 && size >= maxWireBytes) {
            return texts::MailTooLarge(which, size, maxWireBytes);
        }
        mails.push_back(built);
    }
    return {};
}

fs::path EmlPathFor(const fs::path& folder, const fs::path& part) {
    return folder / fs::path(part.filename()).replace_extension(".eml");
}

ConversionResult PublishMails(const std::vector<fs::path>& mails, const std::vector<fs::path>& targets,
                              const std::vector<fs::path>& sources, Services services,
                              const std::function<bool()>& stop, std::string& problem) {
    Reporter report(services);
    std::vector<FileId> sourceIds;
    for (const fs::path& source : sources) {
        FileId id;
        if (GetFileId(source, id)) sourceIds.push_back(id);
    }
    std::uint64_t existing = 0;
    fs::path first;
    for (const fs::path& target : targets) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0) continue;
        FileId id;
        if (GetFileId(target, id) && std::find(sourceIds.begin(), sourceIds.end(), id) != sourceIds.end()) {
            return report.SameFile();
        }
        if (S_ISDIR(st.st_mode)) return report.CreateTargetFailed(EISDIR);
        if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return report.CreateTargetFailed(kNotRegularFile);
        if (existing++ == 0) first = target;
    }
    if (existing > 0 && !report.MayReplace(first, existing)) return ConversionResult::Failed;

    PendingFileSet files;
    int error = 0;
    bool written = files.Create(targets.front().parent_path(), error);
    for (std::size_t i = 0; written && i < mails.size(); ++i) {
        UniqueFd in = OpenForReading(mails[i], error);
        written = in.IsOpen() && files.StartFile(error);
        if (!written) break;
        BufferedReader reader(std::move(in));
        for (auto span = reader.Peek(); !span.empty(); reader.Consume(span.size()), span = reader.Peek()) {
            files.Writer().Write(span.data(), span.size());
        }
        error = reader.Error();
        written = error == 0 && files.FinishFile(/*sync=*/false, error);
        if (stop && stop()) return ConversionResult::Failed;
    }
    if (written) written = files.Publish(targets, {}, /*sync=*/false, error);
    if (written) return ConversionResult::Succeeded;
    problem = texts::MailsWriteFailed(targets.front().parent_path().string(), error);
    return ConversionResult::Failed;
}

}  // namespace calverdon::mail
