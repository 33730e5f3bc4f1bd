#include <cstring>

#include "Cp1252.h"
#include "File.h"
#include "Format.h"
#include "Names.h"
#include "ReadTargetName.h"
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

}  // namespace

std::string ReadTargetName(const std::filesystem::path& source, UserMessages& messages) {
    int error = 0;
    UniqueFd fd = OpenForReading(source, error);
    if (!fd.IsOpen()) {
        Reporter({messages}).OpenChosenFileFailed(error);
        return {};
    }
    BufferedReader reader(std::move(fd));

    std::size_t bytes = 0;
    if (DropLast(ReadTextLine(reader, bytes)) != kMagicLine) {
        Reporter({messages}).NotHexText();
        return {};
    }
    const std::string nameLine = ReadTextLine(reader, bytes);
    // A file that ends right after the magic line carries no name.
    if (nameLine.empty() || bytes > kMaxNameLineBytes) {
        Reporter({messages}).NotHexText();
        return {};
    }
    // The name is a C string in the file: it ends at a NUL byte.
    const std::string ansiName = DropLast(nameLine);
    const std::string name =
        SafeFileName(Cp1252ToUtf8(std::string_view(ansiName.c_str(), std::strlen(ansiName.c_str()))));
    if (name.empty()) {
        Reporter({messages}).NotHexText();
        return {};
    }
    return name;
}

}  // namespace calverdon
