#pragma once
// The textbook full-matrix restricted Damerau-Levenshtein distance (optimal
// string alignment), the peer that tests, fuzzing and the benchmark compare
// the library's bit-parallel version with. Same contract: -1 above 80 bytes,
// each word counted up to its first NUL.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

inline std::int32_t ReferenceDistance(std::string first, std::string second) {
    if (first.size() > 80 || second.size() > 80) return -1;
    const std::size_t m = std::strlen(first.c_str());
    const std::size_t n = std::strlen(second.c_str());
    std::int32_t d[81][81];
    for (std::size_t i = 0; i <= m; ++i) d[i][0] = static_cast<std::int32_t>(i);
    for (std::size_t j = 0; j <= n; ++j) d[0][j] = static_cast<std::int32_t>(j);
    for (std::size_t i = 1; i <= m; ++i) {
        for (std::size_t j = 1; j <= n; ++j) {
            const std::int32_t cost = first[i - 1] == second[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && first[i - 1] == second[j - 2] && first[i - 2] == second[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + cost);
            }
        }
    }
    return d[m][n];
}
