// Hex-text chains read from mails: the mails are written here with GMime,
// the chains by the real encoder, and `calverdon-cli extract` runs
// in-process on them.
#include <gmime/gmime.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <random>
#include <tuple>

#include "../cli/CliTestSupport.h"
#include "../convert/EngineTestSupport.h"
#include "PartText.h"

namespace calverdon::testing {
namespace {

struct Unref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GPtr = std::unique_ptr<T, Unref>;

struct Attachment {
    std::string name;
    std::string bytes;
    GMimeContentEncoding encoding = GMIME_CONTENT_ENCODING_BASE64;
};

GPtr<GMimeMessage> MakeMessage(const std::vector<Attachment>& attachments, const char* text = "Hallo,\n") {
    g_mime_init();
    GPtr<GMimeMessage> message(g_mime_message_new(TRUE));
    g_mime_message_add_mailbox(message.get(), GMIME_ADDRESS_TYPE_FROM, "A", "a@example.org");
    g_mime_message_set_subject(message.get(), "Teile", nullptr);
    GPtr<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
    GPtr<GMimeTextPart> body(g_mime_text_part_new_with_subtype("plain"));
    g_mime_text_part_set_text(body.get(), text);
    g_mime_multipart_add(mixed.get(), GMIME_OBJECT(body.get()));
    for (const Attachment& attachment : attachments) {
        GPtr<GMimePart> part(g_mime_part_new_with_type("text", "plain"));
        g_mime_part_set_filename(part.get(), attachment.name.c_str());
        GPtr<GMimeStream> bytes(g_mime_stream_mem_new_with_buffer(attachment.bytes.data(), attachment.bytes.size()));
        GPtr<GMimeDataWrapper> content(g_mime_data_wrapper_new_with_stream(bytes.get(), GMIME_CONTENT_ENCODING_DEFAULT));
        g_mime_part_set_content(part.get(), content.get());
        g_mime_part_set_content_encoding(part.get(), attachment.encoding);
        g_mime_multipart_add(mixed.get(), GMIME_OBJECT(part.get()));
    }
    g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(mixed.get()));
    return message;
}

std::string Text(GMimeMessage* message) {
    GPtr<GMimeStream> out(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(GMIME_OBJECT(message), nullptr, out.get());
    GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out.get()));
    return {reinterpret_cast<const char*>(array->data), array->len};
}

std::string Mail(const std::vector<Attachment>& attachments) { return Text(MakeMessage(attachments).get()); }

// A mail that forwards `inner` as an attached message.
std::string Forward(GMimeMessage* inner) {
    GPtr<GMimeMessage> outer = MakeMessage({}, "Weitergeleitet:\n");
    GPtr<GMimeMessagePart> attached(g_mime_message_part_new_with_message("rfc822", inner));
    g_mime_multipart_add(GMIME_MULTIPART(g_mime_message_get_mime_part(outer.get())), GMIME_OBJECT(attached.get()));
    return Text(outer.get());
}

std::string MboxEntry(const std::string& mail) { return "From a@example.org Mon Jan  1 00:00:00 2024\n" + mail + "\n"; }

class MailTest : public ::testing::Test {
protected:
    // Encodes `size` random bytes as NAME.pdf into a chain of NAME.txt,
    // NAME_2.txt, ... with parts of 4 kB; returns the parts in order.
    std::vector<std::string> Chain(const std::string& name, std::size_t size, std::size_t parts) {
        std::mt19937 random(static_cast<unsigned>(size + name.size()));
        std::string data(size, '\0');
        for (char& c : data) c = static_cast<char>(random());
        originals[name + ".pdf"] = data;
        const fs::path folder = chains / name;
        fs::create_directories(folder);
        WriteFile(folder / (name + ".pdf"), data);
        SilentMessages quiet;
        EXPECT_EQ(BinToHex(folder / (name + ".pdf"), folder / (name + ".txt"), "4", {quiet}),
                  ConversionResult::Succeeded);
        std::vector<std::string> texts;
        for (std::uint32_t n = 1; fs::exists(PartPath(folder / (name + ".txt"), n)); ++n) {
            texts.push_back(ReadFile(PartPath(folder / (name + ".txt"), n)));
        }
        EXPECT_EQ(texts.size(), parts) << "the chain's length depends on the encoder's part size";
        return texts;
    }
    std::string PartName(const std::string& name, std::size_t index) {
        return index == 0 ? name + ".txt" : PartFileName(name + ".txt", static_cast<std::uint32_t>(index + 1));
    }
    ToolRun Extract(std::vector<std::string> args) {
        args.insert(args.begin(), {"extract", "-C", out.string()});
        return RunTool(args);
    }
    ::testing::AssertionResult Decoded(const std::string& name) { return HoldsBytes(out / name, originals[name]); }

    ScratchFolder folder;
    fs::path chains = folder / "ketten";
    fs::path out = folder / "ziel";
    std::map<std::string, std::string> originals;

    void SetUp() override { fs::create_directories(out); }
};

TEST_F(MailTest, ShuffledPartsInAMaildirWithBase64AndQuotedPrintable) {
    const auto parts = Chain("bericht", 11000, 6);
    const fs::path maildir = folder / "Maildir";
    for (const char* sub : {"cur", "new", "tmp"}) fs::create_directories(maildir / sub);
    const std::size_t order[] = {4, 1, 5, 0, 3, 2};
    for (std::size_t i = 0; i < 6; ++i) {
        const std::size_t n = order[i];
        const auto encoding = i % 2 ? GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE : GMIME_CONTENT_ENCODING_BASE64;
        WriteFile(maildir / (i < 3 ? "cur" : "new") / ("mail" + std::to_string(i)),
                  Mail({{PartName("bericht", n), parts[n], encoding}}));
    }
    // A mail still being delivered is not read: its damaged part would
    // otherwise be a conflict.
    WriteFile(maildir / "tmp" / "halb", Mail({{PartName("bericht", 2), parts[2].substr(0, 900)}}));

    const ToolRun run = Extract({maildir.string()});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "bericht.pdf: 6 von 6 Teilen, umgewandelt in " + (out / "bericht.pdf").string() + "\n");
    EXPECT_TRUE(Decoded("bericht.pdf"));
}

TEST_F(MailTest, RenamedAttachmentsOfASingleChainLinkByNumber) {
    const auto parts = Chain("bericht", 11000, 6);
    std::vector<std::string> files;
    for (std::size_t n = 0; n < 6; ++n) {
        const std::string renamed = n % 2 ? "ATT0001" + std::to_string(n) + ".txt" : "bericht_" + std::to_string(n) + "(1).txt";
        files.push_back((folder / ("m" + std::to_string(n) + ".eml")).string());
        WriteFile(files.back(), Mail({{renamed, parts[n]}}));
    }
    const ToolRun run = Extract(files);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_TRUE(Decoded("bericht.pdf"));
}

TEST_F(MailTest, MboxWithTwoChainsForwardedMailAndUnrelatedMails) {
    const auto first = Chain("bericht", 11000, 6);
    const auto second = Chain("bilanz", 5000, 3);
    std::string mbox = MboxEntry("From: x@example.org\nSubject: nichts\n\nText\n>From the start\n");
    for (std::size_t n = 0; n < 6; ++n) {
        if (n == 3) {
            GPtr<GMimeMessage> inner = MakeMessage({{PartName("bericht", n), first[n]}});
            mbox += MboxEntry(Forward(inner.get()));
        } else {
            mbox += MboxEntry(Mail({{PartName("bericht", n), first[n], GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE}}));
        }
        if (n < 3) mbox += MboxEntry(Mail({{PartName("bilanz", n), second[n]}, {"foto.jpg", "\xff\xd8\xff"}}));
        // A mail with no header block, which the parser cannot make out,
        // hides none of the mails after it.
        if (n == 1) mbox += MboxEntry("Kein Kopf, nur Text\n");
    }
    WriteFile(folder / "Inbox", mbox);
    const ToolRun run = Extract({(folder / "Inbox").string()});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_TRUE(Decoded("bericht.pdf"));
    EXPECT_TRUE(Decoded("bilanz.pdf"));
}

TEST_F(MailTest, MissingPartsAreNamed) {
    const auto parts = Chain("bericht", 11000, 6);
    auto mboxWithout = [&](std::vector<std::size_t> left) {
        std::string mbox;
        for (std::size_t n = 0; n < 6; ++n) {
            if (std::find(left.begin(), left.end(), n) == left.end()) {
                mbox += MboxEntry(Mail({{PartName("bericht", n), parts[n]}}));
            }
        }
        WriteFile(folder / "mbox", mbox);
        return Extract({(folder / "mbox").string()});
    };
    const ToolRun gaps = mboxWithout({2, 4});
    EXPECT_EQ(gaps.exitCode, 3);
    EXPECT_EQ(gaps.out, "bericht.pdf: Teil 3 und 5 von 6 fehlen (4 von 6 Teilen gefunden)\n");
    const ToolRun lastToo = mboxWithout({3, 5});
    EXPECT_EQ(lastToo.exitCode, 3);
    EXPECT_EQ(lastToo.out, "bericht.pdf: Teil 4 fehlt, der letzte Teil fehlt (Gesamtzahl unbekannt), 4 Teile gefunden\n");
    EXPECT_FALSE(fs::exists(out / "bericht.pdf"));
}

TEST_F(MailTest, DuplicatePartIsUsedOnceAndADamagedVersionLosesByTheChecksum) {
    const auto parts = Chain("bericht", 11000, 6);
    std::string mbox;
    for (std::size_t n = 0; n < 6; ++n) mbox += MboxEntry(Mail({{PartName("bericht", n), parts[n]}}));
    mbox += MboxEntry(Mail({{PartName("bericht", 1), parts[1]}}));
    WriteFile(folder / "doppelt", mbox);
    EXPECT_EQ(Extract({(folder / "doppelt").string()}).exitCode, 0);
    EXPECT_TRUE(Decoded("bericht.pdf"));
    fs::remove(out / "bericht.pdf");

    // A second part 3 under the same name, one digit changed: only the
    // original gives the chain's checksum.
    std::string changed = parts[2];
    changed[40] = changed[40] == '0' ? '1' : '0';
    WriteFile(folder / "anders", MboxEntry(Mail({{PartName("bericht", 2), changed}})));
    const ToolRun run = Extract({(folder / "doppelt").string(), (folder / "anders").string()});
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_EQ(run.out, "bericht.pdf: 6 von 6 Teilen, umgewandelt in " + (out / "bericht.pdf").string() + "\n");
    EXPECT_TRUE(Decoded("bericht.pdf"));
}

TEST_F(MailTest, NameLineCannotLeaveTheTargetFolder) {
    // "ABC" with its checksum, as in the decoder's tests.
    WriteFile(folder / "m.eml", Mail({{"x.txt", Header("../../boese.bin") + "414243~~00001685"}}));
    const ToolRun run = Extract({(folder / "m.eml").string()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadFile(out / "boese.bin"), "ABC");
    EXPECT_FALSE(fs::exists(folder / "boese.bin"));
    EXPECT_FALSE(fs::exists(folder.Path().parent_path() / "boese.bin"));
}

TEST_F(MailTest, ExistingTargetIsKeptWithoutYesAndDryRunWritesNothing) {
    WriteFile(folder / "m.eml", Mail({{"abc.txt", Header("abc.bin") + "414243~~00001685"}}));
    const std::string mail = (folder / "m.eml").string();
    EXPECT_EQ(Extract({"-n", mail}).exitCode, 0);
    EXPECT_TRUE(fs::is_empty(out));
    WriteFile(out / "abc.bin", "alt");
    EXPECT_EQ(Extract({mail}).exitCode, 1);
    EXPECT_EQ(ReadFile(out / "abc.bin"), "alt");
    EXPECT_EQ(Extract({"-y", mail}).exitCode, 0);
    EXPECT_EQ(ReadFile(out / "abc.bin"), "ABC");
}

TEST_F(MailTest, NothingFoundIsAFailure) {
    WriteFile(folder / "m.eml", Mail({{"brief.txt", "Sehr geehrte Damen und Herren\r\n"}}));
    EXPECT_EQ(Extract({(folder / "m.eml").string()}).exitCode, 1);
    // A FIFO is named as what it is, never by an error number of its own.
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
    const ToolRun run = Extract({(folder / "pipe").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Fehler beim Lesen von " + (folder / "pipe").string() + ": keine gewöhnliche Datei.\n"),
              std::string::npos)
        << run.err;
}

// Records what a splitter finds.
class Found final : public mail::PartSink {
public:
    void Begin() override { texts.emplace_back(); }
    void Write(std::string_view text) override { texts.back() += text; }
    void End(const mail::SplitPart& part) override { parts.push_back(part); }
    std::vector<std::string> texts;
    std::vector<mail::SplitPart> parts;
};

struct SplitRow {
    const char* name;
    std::string text;
    bool anyLine;
    // Each part found: its number, its header or next name, and how it ends.
    std::vector<std::tuple<std::uint32_t, std::string, mail::PartEnd>> parts;
};

TEST(PartSplitterTest, FindsEveryPartWhereverMailPutIt) {
    using mail::PartEnd;
    const SplitRow rows[] = {
        {"QuotedAfterAGreeting", "Hallo\n\n> Kelvarin-Hex-Text 1.0\n> a.pdf\n> 41~~00001599\n", true,
         {{1, "a.pdf", PartEnd::Last}}},
        // A reply to a reply quotes twice, with or without blanks between.
        {"QuotedTwice", ">> Kelvarin-Hex-Text 1.0\n>> a.pdf\n>> 41++a_2.txt\n", true,
         {{1, "a.pdf", PartEnd::Continues}}},
        {"QuotedTwiceWithBlanks", "> > Kelvarin-Hex-Text 1.0\n> > a.pdf\n> > 41++a_2.txt\n", true,
         {{1, "a.pdf", PartEnd::Continues}}},
        {"NumberLineStartsAPartFile", "12 LfdNr\r\n41", false, {{12, "", PartEnd::Open}}},
        {"APartFileStartsAtItsFirstLine", "Hallo\n2 LfdNr\n", false, {}},
        {"TwoPartsOneAfterTheOther",
         "2 LfdNr\r\n41++b_3.txt\r\n\r\nund weiter:\r\n3 LfdNr\r\n42~~0000163E\r\n", true,
         {{2, "b_3.txt", PartEnd::Continues}, {3, "", PartEnd::Last}}},
        // A mail program broke the name at a blank, or joined the next line
        // to it (format=flowed).
        {"NameBrokenAtABlank", "2 LfdNr\n41++Pr\xfc" "fbericht\nGr\xf6\xdf" "e_3.txt\n", true,
         {{2, "Pr\xfc" "fbericht Gr\xf6\xdf" "e_3.txt", PartEnd::Continues}}},
        {"NameWithGreetingJoined", "2 LfdNr\n41++b_3.txt  Viele Gr\xfc\xdf" "e\n", true,
         {{2, "b_3.txt", PartEnd::Continues}}},
    };
    for (const SplitRow& row : rows) {
        SCOPED_TRACE(row.name);
        Found found;
        mail::PartSplitter splitter(found, row.anyLine);
        // Fed in pieces of three bytes: no boundary may matter.
        for (std::size_t i = 0; i < row.text.size(); i += 3) splitter.Feed(std::string_view(row.text).substr(i, 3));
        splitter.Finish();
        ASSERT_EQ(found.parts.size(), row.parts.size());
        for (std::size_t i = 0; i < row.parts.size(); ++i) {
            const auto& [number, name, end] = row.parts[i];
            EXPECT_EQ(found.parts[i].number, number);
            EXPECT_EQ(number == 1 ? found.parts[i].headerName : found.parts[i].nextName, name);
            EXPECT_EQ(found.parts[i].end, end);
        }
    }
}

}  // namespace
}  // namespace calverdon::testing
