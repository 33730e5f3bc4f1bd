// Neither function allocates beyond its result: the program's operator new
// is replaced by one that counts, and the words are moved into the calls so
// that passing them costs nothing.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <utility>

#include "Cp1252.h"
#include <calverdon/Phonetik.h>

namespace {
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

template <typename Call>
long AllocationsOf(Call call) {
    const long before = allocations;
    call();
    return allocations - before;
}

TEST(PhonetikAllocationTest, DistanceAllocatesNothing) {
    // 80 bytes each, different at both ends: the two-word path over the
    // whole words. And two short words for the one-word path.
    std::string first = "q" + std::string(78, 'm') + "z";
    std::string second = "z" + std::string(78, 'm') + "q";
    std::string shortFirst = "Sonntag";
    std::string shortSecond = "Samstag";
    std::int32_t distance = -2;
    std::int32_t shortDistance = -2;
    EXPECT_EQ(AllocationsOf([&] { distance = DamerauLevenshteinDistance(std::move(first), std::move(second)); }),
              0);
    EXPECT_EQ(AllocationsOf([&] {
                  shortDistance = DamerauLevenshteinDistance(std::move(shortFirst), std::move(shortSecond));
              }),
              0);
    EXPECT_EQ(distance, 2);
    EXPECT_EQ(shortDistance, 3);
}

TEST(PhonetikAllocationTest, PhonetikAllocatesOnlyItsResult) {
    // A long word: 64 repetitions of "Lüdenscheidt" give a code of 5 digits
    // each (hand: l 5, u 0, d 2, e 0, n 6, sch 8, e 0, i 0, d 2, t 2 keeps
    // 5, 2, 6, 8, 2, and the next l 5 follows the last 2).
    const std::string piece = calverdon::Utf8ToCp1252("Lüdenscheidt");
    std::string word;
    for (int i = 0; i < 64; ++i) word += piece;
    std::string copy = word;

    String cut;  // 7 characters fit into the string itself
    EXPECT_EQ(AllocationsOf([&] { cut = kPhonetik(std::move(word), 7); }), 0);
    EXPECT_EQ(cut, u"5268252");

    String full;  // 320 characters: allocated once, for the result
    EXPECT_EQ(AllocationsOf([&] { full = kPhonetik(std::move(copy), 32767); }), 1);
    EXPECT_EQ(full.size(), 320u);
}

}  // namespace
