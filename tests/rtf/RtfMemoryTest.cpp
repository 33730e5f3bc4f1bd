// The reader's memory stays in proportion to its input however long a font
// name is. The program's operator new is replaced by one that counts the
// bytes asked for and, while a budget is set, refuses any beyond it: a
// reader that kept a copy of the name per paragraph fails at once instead
// of taking gigabytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <optional>
#include <string>

#include "Rtf.h"

namespace {
std::size_t requested = 0;
std::size_t budget = SIZE_MAX;
}  // namespace

void* operator new(std::size_t size) {
    requested += size;
    if (requested > budget) throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace calverdon::rtf {
namespace {

TEST(RtfMemory, LongFontNameIsNotCopiedIntoEveryParagraph) {
    // A font of 100,000 letters and 25,000 paragraphs of one letter in it.
    const std::string name(100000, 'N');
    const std::size_t paragraphs = 25000;
    std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 " + name + ";}}\\f0 ";
    for (std::size_t i = 0; i < paragraphs; ++i) rtf += "x\\par ";
    rtf += "}";

    // A paragraph with one short run needs about a kilobyte of model, its
    // copies of the font name and the growth of the vectors included; 2 KiB
    // each, and four times the input for reading the name, is ample. Whole
    // copies of the name would need 200,000 bytes per paragraph.
    const std::size_t limit = paragraphs * 2048 + 4 * rtf.size();
    std::optional<Document> doc;
    requested = 0;
    budget = limit;
    try {
        doc = Parse(rtf);
    } catch (const std::bad_alloc&) {
    }
    budget = SIZE_MAX;
    ASSERT_TRUE(doc.has_value()) << "more than " << limit << " bytes asked for";
    ASSERT_EQ(doc->paragraphs.size(), paragraphs);
    // The font still reaches the text: the runs carry (the start of) its name.
    const auto& last = doc->paragraphs.back().runs.at(0);
    EXPECT_EQ(last.text, "x");
    EXPECT_FALSE(last.format.fontFamily.empty());
    EXPECT_TRUE(name.starts_with(last.format.fontFamily));
}

}  // namespace
}  // namespace calverdon::rtf
