#pragma once
// Recorders that stand in for the message boxes and the sounds.

#include <vector>

#include "../support/TestMessages.h"
#include "QtServices.h"

namespace calverdon::gui::test {

// The engine's messages: the recorder of tests/support.
using calverdon::testing::RecordingMessages;
using calverdon::testing::ShownMessage;

class RecordingBeeper final : public Beeper {
public:
    std::vector<unsigned> beeps;
    void MessageBeep(unsigned type) override { beeps.push_back(type); }
};

}  // namespace calverdon::gui::test
