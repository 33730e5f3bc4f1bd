#pragma once
// The pseudo-random generator that chooses the encoder's data line lengths.
// Its sequence is fixed: every run of the program, and of the command-line
// tool, produces the same line lengths for the same series of encodings.

#include <cstdint>

namespace calverdon {

class LineGenerator {
public:
    // The state that seeding the generator with 1 leaves.
    static constexpr std::uint64_t kInitialState = 0x00000000015A4E36ull;

    // The next value, from 0 to 2147483647: the state advances as a 64-bit
    // linear congruential generator, and the value is bits 32 to 62.
    std::uint32_t Next() {
        state_ = state_ * 0x0000015A00004E35ull + 1u;
        return static_cast<std::uint32_t>(state_ >> 32) & 0x7FFFFFFFu;
    }

    // The number of hex digits after which the encoder ends a data line:
    // 45 to 74.
    int NextLineTarget() { return 45 + static_cast<int>(Next() % 30u); }

private:
    std::uint64_t state_ = kInitialState;
};

// The one generator of the process, shared by all encodings in order.
// Not synchronised: the engine encodes on one thread.
LineGenerator& ProcessLineGenerator();

}  // namespace calverdon
