#include "PairReading.h"

#include <climits>

namespace calverdon {

long ReadLeadingNumber(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && IsCSpace(static_cast<unsigned char>(line[i]))) ++i;
    bool negative = false;
    if (i < line.size() && (line[i] == '+' || line[i] == '-')) {
        negative = line[i] == '-';
        ++i;
    }
    unsigned long magnitude = 0;
    const unsigned long limit = negative ? static_cast<unsigned long>(LONG_MAX) + 1 : LONG_MAX;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
        const auto digit = static_cast<unsigned long>(line[i] - '0');
        magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
    }
    if (!negative) return static_cast<long>(magnitude);
    return magnitude == static_cast<unsigned long>(LONG_MAX) + 1 ? LONG_MIN : -static_cast<long>(magnitude);
}

}  // namespace calverdon
