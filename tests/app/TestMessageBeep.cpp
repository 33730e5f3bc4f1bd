// MessageBeep: the fallback when the sound-theme event cannot be played.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MessageBeep.h"

namespace calverdon {
namespace {

class RecordingPlayer final : public EventSoundPlayer {
public:
    explicit RecordingPlayer(bool plays) : plays_(plays) {}
    std::vector<std::string> played;
    bool Play(std::string_view eventId) override {
        played.emplace_back(eventId);
        return plays_;
    }

private:
    bool plays_;
};

TEST(MessageBeepTest, FallsBackWhenTheEventCannotBePlayed) {
    RecordingPlayer player(false);
    int fallbacks = 0;
    EXPECT_FALSE(MessageBeep(MB_ICONERROR, player, [&fallbacks] { ++fallbacks; }));
    EXPECT_EQ(fallbacks, 1);
    // Without a fallback a failed beep is silent, and no error either.
    EXPECT_FALSE(MessageBeep(MB_OK, player, {}));
    EXPECT_EQ(player.played, (std::vector<std::string>{"dialog-error", "bell"}));
}

}  // namespace
}  // namespace calverdon
