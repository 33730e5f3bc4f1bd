#pragma once
// Fuzzy matching of words: the Cologne phonetic code and the restricted
// Damerau-Levenshtein distance (optimal string alignment). Words are
// Windows-1252 byte strings; each counts up to its first NUL byte.

#include <cstdint>

#include <calverdon/Export.h>
#include <calverdon/Strings.h>

// The phonetic code of `word` (digits 0 to 8), cut to `maxLength`
// characters; empty for an empty word, a word without codable letters, or a
// maximum length of 0 or less.
CALVERDON_EXPORT String kPhonetik(AnsiString word, const std::int16_t maxLength);

// The least number of insertions, deletions, substitutions and swaps of two
// adjacent bytes that turn `first` into `second`, no part being edited
// twice; -1 when a word is longer than 80 bytes (bytes after a NUL count).
CALVERDON_EXPORT std::int32_t DamerauLevenshteinDistance(AnsiString first, AnsiString second);
