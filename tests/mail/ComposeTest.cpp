// Mails that carry the parts of a chain, read back with GMime as a
// receiving program reads them. The parts are made by the real encoder.
#include <fcntl.h>
#include <gmime/gmime.h>
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "../convert/EngineTestSupport.h"
#include "BinToHex.h"
#include "Compose.h"
#include "Names.h"

namespace calverdon::testing {
namespace {

struct Unref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GPtr = std::unique_ptr<T, Unref>;

// Encodes `size` random bytes as `name` with parts of `kilobytes` into
// `folder` and returns the chain they make.
mail::MailChain EncodeChain(const ScratchFolder& folder, const std::string& name, std::size_t size,
                            const std::string& kilobytes) {
    std::mt19937 random(7);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    WriteFile(folder / name, bytes);
    fs::create_directory(folder / "parts");
    const fs::path target = folder / "parts" / EncodeTargetFor(name).filename();
    SilentMessages quiet;
    LineGenerator lines;
    EXPECT_EQ(BinToHex(folder / name, target, kilobytes, {quiet, nullptr}, lines), ConversionResult::Succeeded);
    mail::MailChain chain{name, size, mail::NewChainId(std::string(8, 'a')), {}};
    for (std::uint32_t number = 1; fs::exists(PartPath(target, number)); ++number) {
        chain.parts.push_back(PartPath(target, number));
    }
    return chain;
}

GPtr<GMimeMessage> Parse(const fs::path& mail) {
    g_mime_init();
    GPtr<GMimeStream> stream(g_mime_stream_fs_open(mail.c_str(), O_RDONLY, 0, nullptr));
    GPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    return GPtr<GMimeMessage>(g_mime_parser_construct_message(parser.get(), nullptr));
}

std::string Header(GMimeMessage* message, const char* name) {
    const char* value = g_mime_object_get_header(GMIME_OBJECT(message), name);
    return value != nullptr ? value : "(keiner)";
}

std::string Decoded(GMimePart* part) {
    GPtr<GMimeStream> out(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(g_mime_part_get_content(part), out.get());
    const GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out.get()));
    return {reinterpret_cast<const char*>(bytes->data), bytes->len};
}

struct MailRow {
    const char* name;
    std::string source;
    std::size_t size;
    const char* kilobytes;
    std::uint32_t number;
    std::string envelopeSubject;
    // Written down from the form the mails are to have.
    std::string subject;
    std::string attachment;
    std::string rawFilename;  // the filename parameter as it stands in the mail
};

TEST(ComposeTest, MailCarriesItsPartAndItsPlaceInTheChain) {
    const MailRow rows[] = {
        {"single part", "bericht.pdf", 3000, "0", 1, "", "bericht.pdf", "bericht.txt", "filename=bericht.txt"},
        {"second of three", "bericht.pdf", 2500, "2", 2, "", "bericht.pdf – Teil 2 von 3", "bericht_2.txt",
         "filename=bericht_2.txt"},
        // RFC 2231: charset, empty language, the UTF-8 bytes percent-encoded.
        {"name beyond ASCII", "Übersicht März.pdf", 2500, "3", 1, "Angebot 4711",
         "Angebot 4711: Übersicht März.pdf – Teil 1 von 2", "Übersicht März.txt",
         "filename*=UTF-8''%C3%9Cbersicht%20M%C3%A4rz.txt"},
    };
    for (const MailRow& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchFolder folder;
        const mail::MailChain chain = EncodeChain(folder, row.source, row.size, row.kilobytes);
        const mail::Envelope envelope{{"Kunde <kunde@example.org>"}, "vertrieb@example.com", row.envelopeSubject};
        const fs::path written = folder / "mail.eml";
        int error = 0;
        ASSERT_TRUE(mail::WriteMail(chain, row.number, envelope, 1717401600, written, error)) << error;
        EXPECT_NE(ReadFile(written).find(row.rawFilename), std::string::npos);

        GPtr<GMimeMessage> message = Parse(written);
        ASSERT_TRUE(message);
        EXPECT_EQ(g_mime_message_get_subject(message.get()), row.subject);
        const std::string total = std::to_string(chain.parts.size());
        EXPECT_EQ(Header(message.get(), "X-Calverdon-Teil"), std::to_string(row.number) + "/" + total);
        EXPECT_EQ(Header(message.get(), "X-Calverdon-Kette"), chain.id);
        const std::string first = "calverdon." + chain.id + ".1@example.com";
        EXPECT_EQ(g_mime_message_get_message_id(message.get()),
                  "calverdon." + chain.id + "." + std::to_string(row.number) + "@example.com");
        const std::string answers = row.number == 1 ? "(keiner)" : "<" + first + ">";
        EXPECT_EQ(Header(message.get(), "In-Reply-To"), answers);
        EXPECT_EQ(Header(message.get(), "References"), answers);

        GMimeObject* body = g_mime_message_get_mime_part(message.get());
        ASSERT_TRUE(GMIME_IS_MULTIPART(body));
        ASSERT_EQ(g_mime_multipart_get_count(GMIME_MULTIPART(body)), 2);
        GMimeObject* attachment = g_mime_multipart_get_part(GMIME_MULTIPART(body), 1);
        ASSERT_TRUE(GMIME_IS_PART(attachment));
        EXPECT_TRUE(g_mime_content_type_is_type(g_mime_object_get_content_type(attachment), "text", "plain"));
        EXPECT_STREQ(g_mime_object_get_content_type_parameter(attachment, "charset"), "windows-1252");
        EXPECT_EQ(g_mime_part_get_content_encoding(GMIME_PART(attachment)), GMIME_CONTENT_ENCODING_BASE64);
        EXPECT_STREQ(g_mime_object_get_disposition(attachment), "attachment");
        EXPECT_EQ(g_mime_part_get_filename(GMIME_PART(attachment)), row.attachment);
        EXPECT_EQ(Decoded(GMIME_PART(attachment)), ReadFile(chain.parts[row.number - 1]));
        EXPECT_EQ(mail::CheckMail(written, chain, row.number, envelope), "");
    }
}

TEST(ComposeTest, CheckFindsAnAttachmentChangedOnDisk) {
    ScratchFolder folder;
    const mail::MailChain chain = EncodeChain(folder, "bericht.pdf", 3000, "0");
    const mail::Envelope envelope{{"kunde@example.org"}, "", ""};
    const fs::path written = folder / "mail.eml";
    int error = 0;
    ASSERT_TRUE(mail::WriteMail(chain, 1, envelope, 1717401600, written, error));
    std::string text = ReadFile(written);
    // The attachment's first base64 line, one letter of it changed.
    const std::size_t data = text.find("\n\n", text.find("Content-Transfer-Encoding: base64")) + 2;
    text[data + 10] = text[data + 10] == 'A' ? 'B' : 'A';
    WriteFile(written, text);
    EXPECT_EQ(mail::CheckMail(written, chain, 1, envelope), "der Anhang weicht vom Teil ab");
}

TEST(ComposeTest, AddressesAreSingleMailboxes) {
    EXPECT_EQ(mail::AddressProblem("Anna Beispiel <anna@example.org>"), "");
    EXPECT_EQ(mail::AddressProblem("anna"), "ist keine E-Mail-Adresse");
    EXPECT_EQ(mail::AddressProblem("a@example.org, b@example.org"), "enthält mehr als eine Adresse");
    EXPECT_EQ(mail::AddressProblem("a@example.org\nBcc: x@example.org"), "enthält Steuerzeichen");
}

}  // namespace
}  // namespace calverdon::testing
