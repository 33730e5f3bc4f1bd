// Differential fuzz target for the decoder: HexToBin (eight pairs at a time
// where it can, one pair at a time where it must) against a plain reading of
// the same file, one pair at a time, written out below.
//
// The input is shaped into a hex-text file that is mostly hex digits:
//   byte 0     how the data end (see AppendEndLine)
//   byte 1     length of the name, 0 to 509 (with its CR LF, the line
//              then fills up to the 511 characters the header reader takes)
//   the rest   one token each: below 0xE0 a hex digit of either case;
//              0xE0-0xE7 CR LF; 0xE8-0xEF and the next byte a run of
//              16 to 4096 hex digits; 0xF0-0xF9 one stray character;
//              0xFA-0xFF the next byte as it is.
// Checked: the same result, and on results 0 and 1 the same bytes.
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "HexText.h"
#include "TestMessages.h"

namespace {

namespace fs = std::filesystem;
using calverdon::ConversionResult;

using calverdon::fuzz::Require;

constexpr std::string_view kHexDigits = "0123456789abcdefABCDEF";
constexpr std::size_t kMaxLine = 511;
constexpr std::size_t kMaxFile = 1 << 20;

// Where the data start: after two lines, each read up to and including its
// LF but at most 511 characters.
std::size_t DataStart(std::string_view file) {
    std::size_t pos = 0;
    for (int line = 0; line < 2; ++line) {
        for (std::size_t n = 0; n < kMaxLine && pos < file.size();) {
            ++n;
            if (file[pos++] == '\n') break;
        }
    }
    return pos;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int HexValue(char c) {
    const auto at = kHexDigits.find(c);
    if (at == std::string_view::npos) return -1;
    return at < 16 ? static_cast<int>(at) : static_cast<int>(at) - 6;
}

struct Reading {
    ConversionResult result = ConversionResult::ChecksumMismatch;
    std::string bytes;
    std::uint32_t sum = calverdon::kChecksumStart;
};

// The file read one pair at a time: CR LF is a line end, "++" names a next
// part (none can be found here, so the decoder fails), "~~" is the end line
// and is followed by the checksum (white space, then up to eight hex
// digits), any other pair is one byte as strtol reads it in base 16.
Reading Reference(std::string_view file) {
    Reading reading;
    for (std::size_t pos = DataStart(file); pos + 2 <= file.size(); pos += 2) {
        const char pair[3] = {file[pos], file[pos + 1], '\0'};
        if (pair[0] == '\r' && pair[1] == '\n') continue;
        if (pair[0] == '+' && pair[1] == '+') {
            reading.result = ConversionResult::Failed;
            return reading;
        }
        if (pair[0] == '~' && pair[1] == '~') {
            pos += 2;
            while (pos < file.size() && IsSpace(file[pos])) ++pos;
            std::uint32_t value = 0;
            int digits = 0;
            for (; digits < 8 && pos < file.size() && HexValue(file[pos]) >= 0; ++digits, ++pos) {
                value = value * 16 + static_cast<std::uint32_t>(HexValue(file[pos]));
            }
            const bool good = digits > 0 && value == reading.sum;
            reading.result = good ? ConversionResult::Succeeded : ConversionResult::ChecksumMismatch;
            return reading;
        }
        const auto byte = static_cast<std::uint8_t>(std::strtol(pair, nullptr, 16));
        reading.bytes += static_cast<char>(byte);
        reading.sum += byte + 4u;
    }
    return reading;  // no end line: a mismatch
}

std::string Hex(std::uint32_t value, const char* format) {
    char text[16];
    std::snprintf(text, sizeof text, format, static_cast<unsigned>(value));
    return text;
}

// The end of the data, chosen by `mode`: bits 0-2 a right checksum (0-2
// upper case, 3 lower case, 4 after white space and without leading zeros),
// a wrong one (5), no end line (6) or an end line without digits (7); bit 3
// leaves odd data odd; bit 4 puts a line end first; bit 5 adds a ninth
// digit; bit 6 adds more data after the end line.
void AppendEndLine(std::string& file, std::uint8_t mode) {
    const int kind = mode & 7;
    if (kind == 6) return;
    if ((mode & 0x08) == 0 && (file.size() - DataStart(file)) % 2 != 0) file += '0';
    if ((mode & 0x10) != 0) file += "\r\n";
    const std::uint32_t sum = Reference(file).sum;
    file += "~~";
    switch (kind) {
        case 3: file += Hex(sum, "%08x"); break;
        case 4: file += " \t\r\n" + Hex(sum, "%X"); break;
        case 5: file += Hex(sum + 1 + (mode >> 5), "%08X"); break;
        case 7: file += "zz"; break;
        default: file += Hex(sum, "%08X"); break;
    }
    if ((mode & 0x20) != 0) file += '7';
    if ((mode & 0x40) != 0) file += "\r\n0011";
}

std::string BuildFile(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t mode = size > 0 ? data[0] : 0;
    const std::size_t nameLength = size > 1 ? std::min(data[1] * 2u, 509u) : 8;
    std::string file = "Kelvarin-Hex-Text 1.0\r\n";
    for (std::size_t i = 0; i < nameLength; ++i) file += kHexDigits[(i * 7 + nameLength) % kHexDigits.size()];
    file += "\r\n";
    std::uint32_t random = 12345;
    for (std::size_t i = 2; i < size && file.size() < kMaxFile; ++i) {
        const std::uint8_t b = data[i];
        const std::uint8_t next = i + 1 < size ? data[i + 1] : 0;
        if (b < 0xE0) {
            file += kHexDigits[b % kHexDigits.size()];
        } else if (b < 0xE8) {
            file += "\r\n";
        } else if (b < 0xF0) {
            random ^= next;
            for (int n = 16 * (next + 1); n > 0; --n) {
                random = random * 1103515245u + 12345u;
                file += kHexDigits[(random >> 16) % kHexDigits.size()];
            }
            ++i;
        } else if (b < 0xFA) {
            file += "\n\r \t-+~xg\v"[b - 0xF0];
        } else {
            file += static_cast<char>(next);
            ++i;
        }
    }
    AppendEndLine(file, mode);
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static calverdon::fuzz::ScratchFolder scratch;
    const fs::path& folder = scratch.Empty();

    const std::string file = BuildFile(data, size);
    std::ofstream(folder / "f.txt", std::ios::binary).write(file.data(), static_cast<std::streamsize>(file.size()));
    calverdon::testing::RecordingMessages messages;
    messages.unqueuedQuestion = calverdon::kAnswerYes;
    const ConversionResult result = calverdon::HexToBin(folder / "f.txt", folder / "out.bin", {messages});
    const Reading expected = Reference(file);
    // Where the pair-by-pair reading fails its checksum, the decoder may
    // still verify the file by its lenient reading (which goes by lines and
    // ignores blanks); it then says so, and its bytes are checked by that
    // checksum, not by this reference.
    // The decoder tells of such a repair by an information message.
    const bool repaired = std::any_of(messages.shown.begin(), messages.shown.end(), [](const auto& shown) {
        return shown.kind == calverdon::MessageKind::Information;
    });
    if (repaired && expected.result != ConversionResult::Succeeded) {
        Require(result == ConversionResult::Succeeded, "a repair that did not succeed");
        return 0;
    }

    Require(result == expected.result, "the decoder's result differs from the pair-by-pair reading");
    if (result == ConversionResult::Failed) {
        Require(!fs::exists(folder / "out.bin"), "target present after failure");
        return 0;
    }
    std::ifstream in(folder / "out.bin", std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (bytes != expected.bytes) {
        std::size_t at = 0;
        while (at < bytes.size() && at < expected.bytes.size() && bytes[at] == expected.bytes[at]) ++at;
        std::fprintf(stderr, "decoded %zu bytes, expected %zu; first difference at byte %zu\n", bytes.size(),
                     expected.bytes.size(), at);
        Require(false, "the decoder's bytes differ from the pair-by-pair reading");
    }
    return 0;
}
