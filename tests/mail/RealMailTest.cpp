// Chains as users receive them: mails made by real mail programs (mutt,
// mpack, s-nail) driven in batch mode, mails written the way Thunderbird
// and Outlook write them, and whole inboxes in which complete chains lie
// beside strays, incomplete chains, older versions and duplicates. The
// chains are made by the real encoder; `calverdon-cli extract` runs
// in-process, and the files it writes are compared with the originals.
#include <fcntl.h>
#include <gmime/gmime.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <map>
#include <memory>
#include <random>

#include "../cli/CliTestSupport.h"
#include "../convert/EngineTestSupport.h"
#include "../support/Spawn.h"

namespace calverdon::testing {
namespace {

struct Unref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GPtr = std::unique_ptr<T, Unref>;

// 2024-06-03 08:00 UTC, the day the mails of most tests arrive.
constexpr std::int64_t kJune = 1717401600;
constexpr std::int64_t kHour = 3600;
constexpr std::int64_t kDay = 24 * kHour;

// ---------------------------------------------------------------------------
// Mails written here, as GMime writes them.

struct Envelope {
    std::string subject;
    std::int64_t date = kJune;  // seconds since 1970, UTC
    std::string id;             // Message-ID without the angle brackets
    std::string inReplyTo;      // likewise, or empty
};

// One leaf of a mail: a body or an attachment.
struct Leaf {
    std::string type = "text";
    std::string subtype = "plain";
    std::string content;
    GMimeContentEncoding encoding = GMIME_CONTENT_ENCODING_8BIT;
    std::vector<std::pair<std::string, std::string>> parameters = {{"charset", "UTF-8"}};
    std::string filename;  // an attachment's; empty for a body
};

Leaf Body(std::string text, std::vector<std::pair<std::string, std::string>> parameters = {{"charset", "UTF-8"}}) {
    return {"text", "plain", std::move(text), GMIME_CONTENT_ENCODING_8BIT, std::move(parameters), ""};
}

Leaf Html(std::string html) {
    return {"text", "html", std::move(html), GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE, {{"charset", "UTF-8"}}, ""};
}

// An attached part file as Outlook and Thunderbird send it: base64.
Leaf Attached(std::string name, std::string bytes) {
    return {"text", "plain", std::move(bytes), GMIME_CONTENT_ENCODING_BASE64, {{"charset", "windows-1252"}},
            std::move(name)};
}

GPtr<GMimeObject> MakeLeaf(const Leaf& leaf) {
    GPtr<GMimePart> part(g_mime_part_new_with_type(leaf.type.c_str(), leaf.subtype.c_str()));
    for (const auto& [name, value] : leaf.parameters) {
        g_mime_object_set_content_type_parameter(GMIME_OBJECT(part.get()), name.c_str(), value.c_str());
    }
    if (!leaf.filename.empty()) g_mime_part_set_filename(part.get(), leaf.filename.c_str());
    GPtr<GMimeStream> bytes(g_mime_stream_mem_new_with_buffer(leaf.content.data(), leaf.content.size()));
    GPtr<GMimeDataWrapper> content(g_mime_data_wrapper_new_with_stream(bytes.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(part.get(), content.get());
    g_mime_part_set_content_encoding(part.get(), leaf.encoding);
    return GPtr<GMimeObject>(GMIME_OBJECT(part.release()));
}

std::string Written(GMimeObject* object) {
    GPtr<GMimeStream> out(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(object, nullptr, out.get());
    GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out.get()));
    return {reinterpret_cast<const char*>(array->data), array->len};
}

// A mail of one leaf, or of several in a multipart of `subtype` ("mixed",
// "alternative").
std::string Mail(const Envelope& envelope, const std::vector<Leaf>& leaves, const char* subtype = "mixed") {
    GPtr<GMimeMessage> message(g_mime_message_new(TRUE));
    g_mime_message_add_mailbox(message.get(), GMIME_ADDRESS_TYPE_FROM, "Anna Sender", "anna@example.org");
    g_mime_message_add_mailbox(message.get(), GMIME_ADDRESS_TYPE_TO, "Bernd", "bernd@example.org");
    g_mime_message_set_subject(message.get(), envelope.subject.c_str(), "UTF-8");
    GDateTime* date = g_date_time_new_from_unix_utc(envelope.date);
    g_mime_message_set_date(message.get(), date);
    g_date_time_unref(date);
    g_mime_message_set_message_id(message.get(), envelope.id.c_str());
    if (!envelope.inReplyTo.empty()) {
        const std::string reference = "<" + envelope.inReplyTo + ">";
        g_mime_object_set_header(GMIME_OBJECT(message.get()), "In-Reply-To", reference.c_str(), nullptr);
        g_mime_object_set_header(GMIME_OBJECT(message.get()), "References", reference.c_str(), nullptr);
    }
    if (leaves.size() == 1) {
        g_mime_message_set_mime_part(message.get(), MakeLeaf(leaves.front()).get());
    } else {
        GPtr<GMimeMultipart> multipart(g_mime_multipart_new_with_subtype(subtype));
        for (const Leaf& leaf : leaves) g_mime_multipart_add(multipart.get(), MakeLeaf(leaf).get());
        g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(multipart.get()));
    }
    return Written(GMIME_OBJECT(message.get()));
}

// The envelope of mail n (from 0) of a chain sent as `total` mails an hour
// apart: "SUBJECT (n/total)", and a Message-ID made of the subject.
Envelope Nth(const std::string& subject, std::size_t n, std::size_t total, std::int64_t first = kJune) {
    const std::string number = std::to_string(n + 1);
    std::string id;
    for (char c : subject) {
        if (std::isalnum(static_cast<unsigned char>(c))) id += c;
    }
    return {subject + " (" + number + "/" + std::to_string(total) + ")", first + kHour * static_cast<std::int64_t>(n),
            id + number + "@example.org", ""};
}

// A mail in an mbox file: a From_ line with its date, ">From " quoting
// (mboxrd), a blank line after it.
std::string MboxEntry(const std::string& mail, std::int64_t date = kJune) {
    const std::time_t seconds = date;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%a %b %e %H:%M:%S %Y", &utc);
    std::string entry = std::string("From anna@example.org ") + stamp + "\n";
    std::size_t start = 0;
    while (start < mail.size()) {
        std::size_t end = mail.find('\n', start);
        end = end == std::string::npos ? mail.size() : end + 1;
        const std::string_view line(mail.data() + start, end - start);
        if (line.substr(line.find_first_not_of('>') == std::string_view::npos ? line.size()
                                                                               : line.find_first_not_of('>'))
                .starts_with("From "))
            entry += '>';
        entry += line;
        start = end;
    }
    return entry + "\n";
}

// A part as a mail program shows it once pasted into a body: its CR LF
// line ends become the body's own.
std::string Pasted(const std::string& part) {
    std::string text;
    for (char c : part)
        if (c != '\r') text += c;
    return text;
}

std::string Quoted(const std::string& text, const std::string& marker) {
    std::string quoted;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        quoted += marker + text.substr(start, end - start) + "\n";
        start = end + 1;
    }
    return quoted;
}

std::string HtmlEscaped(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (c == '&') escaped += "&amp;";
        else if (c == '<') escaped += "&lt;";
        else if (c == '>') escaped += "&gt;";
        else escaped += c;
    }
    return escaped;
}

std::string HtmlPage(const std::string& inner) {
    return "<html>\n<head>\n<meta http-equiv=\"content-type\" content=\"text/html; charset=UTF-8\">\n</head>\n"
           "<body>\n<p>Hallo Bernd,</p>\n" + inner + "\n<p>Viele Gr&uuml;&szlig;e<br>\nAnna</p>\n</body>\n</html>\n";
}

// A pasted part as an HTML body shows it: inside <pre>, or line by line
// with <br> (Outlook, and Thunderbird's paragraph mode).
std::string HtmlPre(const std::string& part) { return HtmlPage("<pre>" + HtmlEscaped(Pasted(part)) + "</pre>"); }
std::string HtmlBreaks(const std::string& part) {
    std::string lines = HtmlEscaped(Pasted(part));
    std::string html = "<div>";
    for (char c : lines) html += c == '\n' ? std::string("<br>\n") : std::string(1, c);
    return HtmlPage(html + "</div>");
}

// Text in format=flowed (RFC 3676) as a mail client writes it at a width
// of 72: lines longer than that are broken after a blank, the blank staying
// at the end of the line (a soft break); with DelSp=yes they are broken
// anywhere and a blank is added that the reader deletes. Lines that begin
// with a blank, ">" or "From " are stuffed with one blank.
std::string Flowed(const std::string& text, bool delSp) {
    constexpr std::size_t kWidth = 72;
    std::string flowed;
    auto put = [&](std::string line) {
        if (line.starts_with(' ') || line.starts_with('>') || line.starts_with("From ")) line.insert(0, " ");
        flowed += line + "\n";
    };
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, end - start);
        start = end + 1;
        while (line.size() > kWidth) {
            std::size_t cut;
            if (delSp) {
                cut = kWidth;
                put(line.substr(0, cut) + " ");
            } else {
                std::size_t blank = line.rfind(' ', kWidth - 1);
                if (blank == std::string::npos) blank = line.find(' ');
                if (blank == std::string::npos || blank + 1 == line.size()) break;
                cut = blank + 1;
                put(line.substr(0, cut));
            }
            line.erase(0, cut);
        }
        put(line);
    }
    return flowed;
}

// ---------------------------------------------------------------------------
// Real mail programs, run with a private home, no configuration of the
// machine, and a delivery script in place of a mail transfer agent.

constexpr const char* kDeliver = CALVERDON_DELIVER_SCRIPT;

using calverdon::testing::SpawnActions;

struct ProgramRun {
    int status;       // the exit status, or -1 when it did not start or end normally
    std::string log;  // what it wrote to its standard output and error
};

ProgramRun RunProgram(const std::vector<std::string>& args, const fs::path& input, const fs::path& home,
                      const fs::path& mbox) {
    const fs::path log = home / "program.log";
    std::error_code ignored;
    fs::remove(log, ignored);
    SpawnActions actions;
    posix_spawn_file_actions_addopen(actions.get(), 0, input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(actions.get(), 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(actions.get(), 1, 2);
    std::vector<std::string> environment = {"HOME=" + home.string(), "TMPDIR=" + home.string(),
                                            "PATH=/usr/bin:/bin", "LC_ALL=C.UTF-8", "MBOX=" + mbox.string()};
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& variable : environment) envp.push_back(variable.data());
    envp.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], actions.get(), nullptr, argv.data(), envp.data()) != 0) {
        return {-1, args[0] + " could not be started: is it installed (tools/bootstrap)?"};
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return {-1, "waitpid failed"};
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(log)};
}

// ---------------------------------------------------------------------------

struct Encoded {
    std::string data;                // the carried file's bytes
    std::vector<std::string> parts;  // the part files' texts, in order
    std::vector<fs::path> files;     // the part files
};

class RealMailTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { g_mime_init(); }

    void SetUp() override { fs::create_directories(out); }

    // Encodes `size` bytes drawn from `seed` as NAME.pdf with the real
    // encoder, in parts of `kilobytes`, in a folder of its own.
    Encoded Chain(const std::string& name, std::size_t size, std::size_t parts, unsigned seed = 1,
                  const char* kilobytes = "1") {
        Encoded chain;
        std::mt19937 random(seed);
        chain.data.resize(size);
        for (char& c : chain.data) c = static_cast<char>(random());
        const fs::path where = folder / "ketten" / std::to_string(++chains_);
        fs::create_directories(where);
        WriteFile(where / (name + ".pdf"), chain.data);
        SilentMessages quiet;
        EXPECT_EQ(BinToHex(where / (name + ".pdf"), where / (name + ".txt"), kilobytes, {quiet}),
                  ConversionResult::Succeeded);
        for (std::uint32_t n = 1; fs::exists(PartPath(where / (name + ".txt"), n)); ++n) {
            chain.files.push_back(PartPath(where / (name + ".txt"), n));
            chain.parts.push_back(ReadFile(chain.files.back()));
        }
        EXPECT_EQ(chain.parts.size(), parts) << name << ": the chain's length depends on the encoder's part size";
        return chain;
    }

    fs::path WriteMbox(const std::vector<std::string>& entries, const std::string& name = "Inbox") {
        std::string mbox;
        for (const std::string& entry : entries) mbox += entry;
        WriteFile(folder / name, mbox);
        return folder / name;
    }

    ToolRun Extract(const fs::path& source) { return RunTool({"extract", "-C", out.string(), source.string()}); }

    // The target folder holds exactly `expected` (name and bytes).
    void ExpectFiles(const std::map<std::string, std::string>& expected) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(out)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        std::vector<std::string> wanted;
        for (const auto& [name, bytes] : expected) wanted.push_back(name);
        EXPECT_EQ(names, wanted);
        for (const auto& [name, bytes] : expected) {
            EXPECT_TRUE(HoldsBytes(out / name, bytes));
        }
    }

    // A body that carries a pasted part, with a greeting around it.
    static std::string Letter(const std::string& pasted) {
        return "Hallo Bernd,\n\nanbei der nächste Teil:\n\n" + pasted + "\n\nViele Grüße\nAnna\n";
    }

    ScratchFolder folder;
    fs::path out = folder / "ziel";

private:
    int chains_ = 0;
};

// --- Mails made by real mail programs --------------------------------------

struct MailProgram {
    const char* name;
    // Sends or writes one mail with `part` attached; the mail ends up in
    // `mbox` (mutt and s-nail through the delivery script, mpack's file
    // put there by the test).
    std::vector<std::string> (*command)(const fs::path& home, const fs::path& part, const std::string& subject,
                                        const fs::path& mailFile);
    bool writesFile;  // mpack writes the mail into `mailFile` instead of delivering it
};

std::vector<std::string> MuttCommand(const fs::path& home, const fs::path& part, const std::string& subject,
                                     const fs::path&) {
    WriteFile(home / "muttrc", std::string("set sendmail=\"") + kDeliver +
                                   "\"\nset hostname=\"example.org\"\nset from=\"anna@example.org\"\n"
                                   "set realname=\"Anna Sender\"\nset use_from=yes\nset copy=no\n");
    return {"/usr/bin/mutt", "-n", "-F", (home / "muttrc").string(), "-s", subject, "-a", part.string(), "--",
            "bernd@example.org"};
}

std::vector<std::string> MpackCommand(const fs::path&, const fs::path& part, const std::string& subject,
                                      const fs::path& mailFile) {
    return {"/usr/bin/mpack", "-o", mailFile.string(), "-s", subject, part.string()};
}

std::vector<std::string> SnailCommand(const fs::path&, const fs::path& part, const std::string& subject,
                                      const fs::path&) {
    return {"/usr/bin/s-nail", "-:/", "-S", std::string("mta=") + kDeliver, "-S", "sendwait", "-S",
            "hostname=example.org", "-S", "from=Anna Sender <anna@example.org>", "-a", part.string(), "-s",
            subject, "bernd@example.org"};
}

void PrintTo(const MailProgram& program, std::ostream* os) { *os << program.name; }

class RealMailProgramTest : public RealMailTest, public ::testing::WithParamInterface<MailProgram> {};

TEST_P(RealMailProgramTest, ThreeMailsOfAChainInAnMboxGiveTheFile) {
    const MailProgram& program = GetParam();
    const Encoded chain = Chain("bericht", 1300, 3);
    const fs::path home = folder / "home";
    fs::create_directories(home);
    WriteFile(home / "body", "Hallo Bernd,\n\nanbei ein Teil des Berichts.\n\nAnna\n");
    const fs::path mbox = folder / "Inbox";
    for (std::size_t n = 0; n < 3; ++n) {
        const fs::path mailFile = home / ("mail" + std::to_string(n));
        const std::string subject = "Bericht (" + std::to_string(n + 1) + "/3)";
        const ProgramRun run =
            RunProgram(program.command(home, chain.files[n], subject, mailFile), home / "body", home, mbox);
        ASSERT_EQ(run.status, 0) << program.name << ": " << run.log;
        if (program.writesFile) {
            std::string entries = fs::exists(mbox) ? ReadFile(mbox) : std::string();
            WriteFile(mbox, entries + MboxEntry(ReadFile(mailFile)));
        }
    }
    const ToolRun run = Extract(mbox);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    ExpectFiles({{"bericht.pdf", chain.data}});
}

INSTANTIATE_TEST_SUITE_P(Programs, RealMailProgramTest,
                         ::testing::Values(MailProgram{"mutt", MuttCommand, false},
                                           MailProgram{"mpack", MpackCommand, true},
                                           MailProgram{"snail", SnailCommand, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RealMailTest, MuttsOwnMaildirGivesTheFile) {
    // mutt keeps a copy of every mail it sends in a Maildir of its own
    // making (cur/, new/, tmp/ and its file names); nothing is delivered.
    const Encoded chain = Chain("bericht", 1300, 3);
    const fs::path home = folder / "home";
    const fs::path maildir = folder / "Maildir";
    fs::create_directories(home);
    WriteFile(home / "body", "Hallo Bernd,\n\nanbei ein Teil des Berichts.\n\nAnna\n");
    WriteFile(home / "muttrc", "set sendmail=\"/bin/true\"\nset hostname=\"example.org\"\n"
                               "set from=\"anna@example.org\"\nset use_from=yes\nset copy=yes\n"
                               "set mbox_type=Maildir\nset record=\"" + maildir.string() + "\"\n");
    for (std::size_t n = 0; n < 3; ++n) {
        const ProgramRun run = RunProgram({"/usr/bin/mutt", "-n", "-F", (home / "muttrc").string(), "-s",
                                           "Bericht (" + std::to_string(n + 1) + "/3)", "-a",
                                           chain.files[n].string(), "--", "bernd@example.org"},
                                          home / "body", home, folder / "unused");
        ASSERT_EQ(run.status, 0) << run.log;
    }
    ASSERT_TRUE(fs::is_directory(maildir / "cur"));
    const ToolRun run = Extract(maildir);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    ExpectFiles({{"bericht.pdf", chain.data}});
}

// --- Mails as Thunderbird and Outlook write them ---------------------------

struct FlowedRow {
    const char* name;
    bool delSp;
};

void PrintTo(const FlowedRow& row, std::ostream* os) { *os << row.name; }

class FlowedTest : public RealMailTest, public ::testing::WithParamInterface<FlowedRow> {};

TEST_P(FlowedTest, PastedPartsAreReadUnflowedWithoutTrailingBlanks) {
    // A name longer than a flowed line, so that its name line and its
    // continuation lines are broken too; the continuation lines carry two
    // trailing blanks, as an editor leaves them.
    const std::string name = "Jahresbericht der Abteilung Vertrieb und Marketing 2024 endgueltige Fassung";
    ASSERT_GT(name.size() + 4, 72u);
    const Encoded chain = Chain(name, 1300, 3);
    std::vector<std::pair<std::string, std::string>> parameters = {{"charset", "UTF-8"}, {"format", "flowed"}};
    if (GetParam().delSp) parameters.push_back({"delsp", "yes"});
    std::vector<std::string> entries;
    for (std::size_t n = 0; n < 3; ++n) {
        std::string pasted = Pasted(chain.parts[n]);
        if (n < 2) {
            ASSERT_TRUE(pasted.ends_with(".txt\n"));
            pasted.insert(pasted.size() - 1, "  ");
        }
        const Leaf body = Body(Flowed(Letter(pasted), GetParam().delSp), parameters);
        entries.push_back(MboxEntry(Mail(Nth("Jahresbericht", n, 3), {body})));
    }
    const ToolRun run = Extract(WriteMbox(entries));
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    ExpectFiles({{name + ".pdf", chain.data}});
}

INSTANTIATE_TEST_SUITE_P(DelSp, FlowedTest,
                         ::testing::Values(FlowedRow{"DelSpYes", true}, FlowedRow{"DelSpNo", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RealMailTest, PartInBothAlternativesIsCountedOnce) {
    const Encoded chain = Chain("bericht", 1300, 3);
    std::vector<std::string> entries;
    for (std::size_t n = 0; n < 3; ++n) {
        entries.push_back(MboxEntry(Mail(Nth("Bericht", n, 3),
                                         {Body(Letter(Pasted(chain.parts[n]))), Html(HtmlPre(chain.parts[n]))},
                                         "alternative")));
    }
    const ToolRun run = Extract(WriteMbox(entries));
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(run.out.find("verschiedenen Fassungen"), std::string::npos) << run.out;
    // A second reading of the HTML copies would come out as "bericht (2).pdf".
    ExpectFiles({{"bericht.pdf", chain.data}});
}

TEST_F(RealMailTest, HtmlOnlyMailsInPreAndWithBreaksAndEntities) {
    // "&" in the name stands as "&amp;" in the name line and in the
    // continuation lines.
    const Encoded chain = Chain("Miete & Nebenkosten", 1300, 3);
    std::vector<std::string> entries;
    for (std::size_t n = 0; n < 3; ++n) {
        const std::string html = n == 1 ? HtmlBreaks(chain.parts[n]) : HtmlPre(chain.parts[n]);
        entries.push_back(MboxEntry(Mail(Nth("Nebenkosten", n, 3), {Html(html)})));
    }
    const ToolRun run = Extract(WriteMbox(entries));
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    ExpectFiles({{"Miete & Nebenkosten.pdf", chain.data}});
}

TEST_F(RealMailTest, ForwardedMailSentAsBase64IsSearched) {
    const Encoded chain = Chain("bericht", 1300, 3);
    std::vector<std::string> entries;
    for (std::size_t n : {0u, 2u}) {
        entries.push_back(MboxEntry(Mail(
            Nth("Bericht", n, 3), {Body("Hallo,\n"), Attached(chain.files[n].filename().string(), chain.parts[n])})));
    }
    const std::string inner =
        Mail(Nth("Bericht", 1, 3, kJune - kDay), {Body("Teil 2\n"), Attached("bericht_2.txt", chain.parts[1])});
    const Leaf forwarded{"message", "rfc822", inner, GMIME_CONTENT_ENCODING_BASE64, {}, ""};
    entries.push_back(MboxEntry(Mail({"WG: Bericht (2/3)", kJune + kDay, "wg@example.org", ""},
                                     {Body("Weitergeleitet:\n"), forwarded})));
    const ToolRun run = Extract(WriteMbox(entries));
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    ExpectFiles({{"bericht.pdf", chain.data}});
}

TEST_F(RealMailTest, NamePastedIntoAUtf8BodyIsReadAsUtf8) {
    // The encoder writes the name in Windows-1252; a mail program that
    // pastes the part into a UTF-8 body converts it, as glib does here.
    const Encoded chain = Chain("Prüfbericht Größe", 700, 2);
    std::vector<std::string> entries;
    for (std::size_t n = 0; n < 2; ++n) {
        gsize written = 0;
        const std::unique_ptr<gchar, decltype(&g_free)> utf8(
            g_convert(chain.parts[n].data(), static_cast<gssize>(chain.parts[n].size()), "UTF-8", "WINDOWS-1252",
                      nullptr, &written, nullptr),
            &g_free);
        ASSERT_NE(utf8, nullptr);
        const std::string text(utf8.get(), written);
        if (n == 0) {
            ASSERT_NE(text.find("\nPrüfbericht Größe.pdf\r\n"), std::string::npos);
        }
        entries.push_back(MboxEntry(Mail(Nth("Prüfbericht", n, 2), {Body(Letter(Pasted(text)))})));
    }
    const ToolRun run = Extract(WriteMbox(entries));
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    ExpectFiles({{"Prüfbericht Größe.pdf", chain.data}});
}

TEST_F(RealMailTest, RenamedAttachmentsLinkBesideASecondChain) {
    // Outlook renames attachments (ATT00012.txt, bericht_2(1).txt); the
    // other chain in the mailbox keeps its names and has as many parts.
    const Encoded bericht = Chain("bericht", 1300, 3, 1);
    const Encoded bilanz = Chain("bilanz", 1300, 3, 2);
    const char* renamed[] = {"ATT00012.txt", "bericht_2(1).txt", "ATT00014.txt"};
    std::vector<std::string> entries;
    for (std::size_t n = 0; n < 3; ++n) {
        const std::string number = std::to_string(n + 1);
        const Envelope outlook{"Bericht Teil " + number + " von 3", kJune + kHour * static_cast<std::int64_t>(n),
                               "outlook" + number + "@example.org", ""};
        entries.push_back(MboxEntry(Mail(outlook, {Body("Hallo,\r\n\r\nim Anhang Teil " + number + ".\r\n"),
                                                   Attached(renamed[n], bericht.parts[n])})));
        entries.push_back(MboxEntry(Mail(Nth("Bilanz", n, 3, kJune + 60),
                                         {Body("Hallo,\n"),
                                          Attached(bilanz.files[n].filename().string(), bilanz.parts[n])})));
    }
    const ToolRun run = Extract(WriteMbox(entries));
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    ExpectFiles({{"bericht.pdf", bericht.data}, {"bilanz.pdf", bilanz.data}});
}

TEST_F(RealMailTest, TwoPartsPastedOneAfterTheOther) {
    const Encoded chain = Chain("bericht", 1300, 3);
    const std::vector<std::string> entries = {
        MboxEntry(Mail({"Bericht (1+2/3)", kJune, "zwei@example.org", ""},
                       {Body(Letter(Pasted(chain.parts[0]) + "\n\n" + Pasted(chain.parts[1])))})),
        MboxEntry(Mail(Nth("Bericht", 2, 3), {Body(Letter(Pasted(chain.parts[2])))})),
    };
    const ToolRun run = Extract(WriteMbox(entries));
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    ExpectFiles({{"bericht.pdf", chain.data}});
}

TEST_F(RealMailTest, PartQuotedTwiceInAReplyToAReply) {
    // Part 2 arrived only inside a reply to a reply ("> > ").
    const Encoded chain = Chain("bericht", 1300, 3);
    std::vector<std::string> entries;
    for (std::size_t n : {0u, 2u}) {
        entries.push_back(MboxEntry(Mail(
            Nth("Bericht", n, 3), {Body("Hallo,\n"), Attached(chain.files[n].filename().string(), chain.parts[n])})));
    }
    const std::string reply = "Am 03.06.2024 um 12:00 schrieb Anna Sender:\n"
                              "> Am 03.06.2024 um 10:00 schrieb Bernd:\n" +
                              Quoted(Pasted(chain.parts[1]), "> > ") + ">\n> Danke, Teil 2 kam an.\n\nGut.\n";
    entries.push_back(MboxEntry(
        Mail({"Re: Re: Bericht (2/3)", kJune + 4 * kHour, "antwort@example.org", "frage@example.org"}, {Body(reply)})));
    const ToolRun run = Extract(WriteMbox(entries));
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    ExpectFiles({{"bericht.pdf", chain.data}});
}

// --- Real inboxes ----------------------------------------------------------

class RealInboxTest : public RealMailTest {
protected:
    // An inbox as it grows over two months: last month's bericht.pdf, this
    // month's (received twice), a crafted mail that claims to be part 2, an
    // incomplete chain, and a stray last part of a chain never received.
    std::vector<std::string> Inbox() {
        const Encoded may = Chain("bericht", 1300, 3, 5);
        const Encoded june = Chain("bericht", 1400, 3, 6);
        const Encoded bilanz = Chain("bilanz", 1300, 3, 7);
        const Encoded protokoll = Chain("protokoll", 1900, 4, 8);
        expected = {{"bericht.pdf", june.data}, {"bericht (2).pdf", may.data}};
        std::vector<std::string> entries;
        auto send = [&](const Encoded& chain, const std::string& subject, std::int64_t first,
                        std::vector<std::size_t> numbers) {
            for (std::size_t n : numbers) {
                const Envelope envelope = Nth(subject, n, chain.parts.size(), first);
                entries.push_back(MboxEntry(
                    Mail(envelope, {Body("Hallo,\n"), Attached(chain.files[n].filename().string(), chain.parts[n])}),
                    envelope.date));
            }
        };
        const std::int64_t may3 = kJune - 31 * kDay;
        send(may, "Bericht Mai", may3, {0, 1, 2});
        send(bilanz, "Bilanz", may3 + 2 * kDay, {0, 2});
        send(june, "Bericht Juni", kJune, {0, 1, 2});
        // "ABC" with its checksum, behind a part-number line.
        entries.push_back(MboxEntry(
            Mail({"2 LfdNr", kJune + kDay, "falsch@example.org", ""}, {Body("2 LfdNr\n414243~~00001685\n")}),
            kJune + kDay));
        send(protokoll, "Protokoll", kJune + kDay, {3});
        // The same mails once more, as a mailing list hands them on.
        send(june, "[team] Bericht Juni", kJune + 2 * kDay, {0, 1, 2});
        return entries;
    }
    std::map<std::string, std::string> expected;
};

TEST_F(RealInboxTest, EveryCompleteChainIsDecodedWhateverElseTheInboxHolds) {
    const ToolRun run = Extract(WriteMbox(Inbox()));
    EXPECT_EQ(run.exitCode, 3) << run.out << run.err;
    ExpectFiles(expected);
    EXPECT_NE(run.out.find("bericht (2).pdf"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("bilanz.pdf"), std::string::npos) << run.out;
}

TEST_F(RealInboxTest, OrderOfTheMailsDoesNotChangeTheFiles) {
    std::vector<std::string> entries = Inbox();
    for (unsigned seed : {1u, 2u, 3u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        std::shuffle(entries.begin(), entries.end(), random);
        fs::remove_all(out);
        fs::create_directories(out);
        const ToolRun run = Extract(WriteMbox(entries));
        EXPECT_EQ(run.exitCode, 3) << run.out << run.err;
        ExpectFiles(expected);
    }
}

}  // namespace
}  // namespace calverdon::testing
