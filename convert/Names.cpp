#include "Names.h"

#include "Cp1252.h"

namespace calverdon {

std::string SafeFileName(std::string_view name) {
    const auto slash = name.find_last_of("/\\");
    if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
    if (name.empty() || name == "." || name == "..") return {};
    // Control characters would make a file name that rewrites a terminal
    // when it is printed, or reads otherwise than it is: C0, DEL, C1 and
    // the controls of bidirectional text each become one "_".
    std::string safe;
    safe.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        const std::size_t control = ControlCharacterAt(name, i);
        safe += control == 0 ? name[i] : '_';
        if (control > 1) i += control - 1;
    }
    return safe;
}

std::string PartFileName(std::string_view firstPart, std::uint32_t number) {
    const auto dot = firstPart.rfind('.');
    const std::string_view extension =
        dot == std::string_view::npos ? std::string_view() : firstPart.substr(dot);
    const std::string_view base = firstPart.substr(0, firstPart.size() >= 4 ? firstPart.size() - 4 : 0);
    std::string name(base);
    name += '_';
    name += std::to_string(number);
    name += extension;
    return name;
}

std::filesystem::path PartPath(const std::filesystem::path& firstPart, std::uint32_t number) {
    if (number == 1) return firstPart;
    const std::string firstAnsi = Utf8ToCp1252(firstPart.filename().string());
    return firstPart.parent_path() / SafeFileName(Cp1252ToUtf8(PartFileName(firstAnsi, number)));
}

std::filesystem::path EncodeTargetFor(const std::filesystem::path& source) {
    std::string name = source.filename().string();
    const auto dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    return source.parent_path() / (name + ".txt");
}

std::int32_t ParseKilobytes(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16, i += 1;
    } else if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
        base = 16, i += 1;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16, i += 2;
    }
    if (i == text.size()) return 0;
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit = 0;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return 0;
        }
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        // Decimal numbers must fit a signed 32-bit integer; hexadecimal ones
        // may use all 32 bits, so that $FFFFFFFF reads as -1.
        const std::uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
        if (value > limit) return 0;
    }
    const auto bits = static_cast<std::uint32_t>(value);
    const auto number = static_cast<std::int32_t>(bits);
    return negative ? static_cast<std::int32_t>(0u - bits) : number;
}

}  // namespace calverdon
