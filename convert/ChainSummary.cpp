#include "ChainSummary.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <system_error>

#include "Cp1252.h"
#include "File.h"
#include "FormatRules.h"
#include "Names.h"

namespace calverdon {
namespace {

namespace fs = std::filesystem;

// Part files whose first lines are read, at most: a chain split into
// parts of a kilobyte would need more only beyond 50 MB of data.
constexpr std::size_t kMaxParts = 100000;
// The end of a last part: "~~", the eight digits of the checksum, and what
// mail may append (line ends, a greeting) all lie within this many bytes.
constexpr std::size_t kTailBytes = 4096;

// Up to `size` bytes of the file from `offset` on; fewer at its end or on
// an error.
std::string ReadAt(int fd, std::uint64_t offset, std::size_t size) {
    std::string bytes(size, '\0');
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, bytes.data() + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

// The part number that a file's first line carries; 0 for none. Opened as
// every source is, so that a FIFO or a device is never read.
std::uint64_t NumberOnFirstLine(const fs::path& path) {
    int error = 0;
    const UniqueFd fd = OpenForReading(path, error);
    if (!fd.IsOpen()) return 0;
    const std::string head = ReadAt(fd.Get(), 0, format::kMaxLine);
    return format::PartNumberOf(format::PlainLine(std::string_view(head).substr(0, head.find_first_of("\r\n"))));
}

// Whether a part's data end the chain: its last marker is "~~", not "++".
bool EndsChain(const fs::path& path) {
    int error = 0;
    const UniqueFd fd = OpenForReading(path, error);
    struct stat status {};
    if (!fd.IsOpen() || ::fstat(fd.Get(), &status) != 0) return false;
    const auto size = static_cast<std::uint64_t>(status.st_size);
    const std::string tail = ReadAt(fd.Get(), size > kTailBytes ? size - kTailBytes : 0, kTailBytes);
    const std::size_t end = tail.rfind("~~");
    const std::size_t next = tail.rfind("++");
    return end != std::string::npos && (next == std::string::npos || next < end);
}

// The numbers of the files in the first part's folder that bear a further
// part's name, in order, at most kMaxParts. Part names differ only in the
// number: whatever stands before and after the number in the names of
// parts 2 and 3 stands there in every part's name.
std::vector<std::uint32_t> PartNumbersInFolder(const fs::path& firstPart) {
    const std::string second = PartPath(firstPart, 2).filename().string();
    const std::string third = PartPath(firstPart, 3).filename().string();
    std::size_t prefix = 0;
    while (prefix < second.size() && prefix < third.size() && second[prefix] == third[prefix]) ++prefix;
    std::size_t suffix = 0;
    while (prefix + suffix < second.size() && prefix + suffix < third.size() &&
           second[second.size() - 1 - suffix] == third[third.size() - 1 - suffix])
        ++suffix;
    const std::string_view before = std::string_view(second).substr(0, prefix);
    const std::string_view after = std::string_view(second).substr(second.size() - suffix);

    std::vector<std::uint32_t> numbers;
    const fs::path folder = firstPart.parent_path().empty() ? fs::path(".") : firstPart.parent_path();
    std::error_code error;
    for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error), end;
         !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= before.size() + after.size() || !name.starts_with(before) || !name.ends_with(after))
            continue;
        const std::string_view digits =
            std::string_view(name).substr(before.size(), name.size() - before.size() - after.size());
        // Part numbers are written without leading zeros and fit 32 bits.
        if (digits.size() > 10 || digits.front() == '0' ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        const std::uint64_t number = std::stoull(std::string(digits));
        if (number < 2 || number > UINT32_MAX) continue;
        if (PartPath(firstPart, static_cast<std::uint32_t>(number)).filename() != it->path().filename()) continue;
        numbers.push_back(static_cast<std::uint32_t>(number));
    }
    std::sort(numbers.begin(), numbers.end());
    if (numbers.size() > kMaxParts) numbers.resize(kMaxParts);
    return numbers;
}

}  // namespace

ChainSummary SummarizeChain(const fs::path& firstPart) {
    ChainSummary summary;
    {
        int error = 0;
        const UniqueFd fd = OpenForReading(firstPart, error);
        if (!fd.IsOpen()) return summary;
        const format::Header header = format::ReadHeader(ReadAt(fd.Get(), 0, format::kHeaderWindow));
        if (header.kind == format::HeaderKind::None) return summary;
        summary.name = SafeFileName(Cp1252ToUtf8(header.name));
        if (summary.name.empty()) return summary;
    }

    std::vector<std::uint32_t> present;
    for (const std::uint32_t number : PartNumbersInFolder(firstPart))
        if (NumberOnFirstLine(PartPath(firstPart, number)) == number) present.push_back(number);
    summary.found = static_cast<std::uint32_t>(1 + present.size());
    const std::uint32_t highest = present.empty() ? 1 : present.back();
    if (EndsChain(PartPath(firstPart, highest))) summary.last = highest;

    // The gaps between the parts found, and the part after the highest one
    // while the chain's end is not found.
    const auto note = [&](std::uint64_t from, std::uint64_t to) {
        summary.missing += to - from;
        for (std::uint64_t n = from; n < to && n <= UINT32_MAX; ++n) {
            if (summary.missingNames.size() == ChainSummary::kNamedMissing) break;
            summary.missingNames.push_back(PartPath(firstPart, static_cast<std::uint32_t>(n)).filename().string());
        }
    };
    std::uint64_t expected = 2;
    for (const std::uint32_t number : present) {
        note(expected, number);
        expected = std::uint64_t{number} + 1;
    }
    if (summary.last == 0) note(expected, expected + 1);
    return summary;
}

}  // namespace calverdon
