#include <cstring>
#include <optional>

#include "Cp1252.h"
#include "File.h"
#include "Format.h"
#include "Names.h"
#include "ReadTargetName.h"
#include "TolerantReading.h"
#include "Report.h"

namespace calverdon {
namespace {

// The header is read as Windows reads text files: CR LF becomes LF (a lone
// LF ends a line as well), and a line holds at most this many characters.
constexpr std::size_t kMaxHeaderLine = 1023;
// The decoder skips the name line in one read of at most this many bytes,
// its line end included; a longer name line would have its rest decoded as
// data, so the header check refuses it.
constexpr std::size_t kMaxNameLineBytes = 511;

// One line as fgets reads it from a stream opened in text mode. `bytes`
// counts what it took from the file, before CR LF became LF.
std::string ReadTextLine(BufferedReader& reader, std::size_t& bytes) {
    std::string line;
    const std::size_t start = reader.Offset();
    while (line.size() < kMaxHeaderLine) {
        int c = reader.Get();
        if (c < 0) break;
        if (c == '\r' && reader.Want(1) >= 1 && reader.Peek()[0] == '\n') c = reader.Get();
        line += static_cast<char>(c);
        if (c == '\n') break;
    }
    bytes = reader.Offset() - start;
    return line;
}

// The line less its last character, which is taken to be the line end even
// when the line has none.
std::string DropLast(std::string line) {
    if (!line.empty()) line.pop_back();
    return line;
}

// The name line of a header read the way the format is written, as
// Windows-1252 text; nothing when the first line is not the magic line or
// the name line is missing or longer than the decoder reads.
std::optional<std::string> StrictHeaderName(BufferedReader& reader) {
    std::size_t bytes = 0;
    if (DropLast(ReadTextLine(reader, bytes)) != kMagicLine) return std::nullopt;
    const std::string nameLine = ReadTextLine(reader, bytes);
    // A file that ends right after the magic line carries no name.
    if (nameLine.empty() || bytes > kMaxNameLineBytes) return std::nullopt;
    // The name is a C string in the file: it ends at a NUL byte.
    const std::string name = DropLast(nameLine);
    return std::string(name.c_str(), std::strlen(name.c_str()));
}

}  // namespace

std::string ReadTargetName(const std::filesystem::path& source, UserMessages& messages) {
    int error = 0;
    UniqueFd fd = OpenForReading(source, error);
    if (!fd.IsOpen()) {
        Reporter({messages}).OpenChosenFileFailed(error);
        return {};
    }
    BufferedReader reader(std::move(fd));
    std::optional<std::string> ansiName = StrictHeaderName(reader);
    // A header that mail has quoted, or whose line ends are CR alone.
    if (!ansiName) ansiName = ReadQuotedHeaderName(source);
    const std::string name = ansiName ? SafeFileName(Cp1252ToUtf8(*ansiName)) : std::string();
    if (name.empty()) Reporter({messages}).NotHexText();
    return name;
}

}  // namespace calverdon
