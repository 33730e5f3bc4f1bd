// MessageBeep: which sound-theme event a beep type plays, and the fallback
// when the event cannot be played.

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

// Event names of the freedesktop sound theme for the message box icons;
// plain beeps (MB_OK, and the "simple beep" 0xFFFFFFFF) ring the bell.
TEST(MessageBeepTest, PlaysTheThemeEventOfItsType) {
    const struct {
        unsigned type;
        const char* event;
    } rows[] = {
        {MB_OK, "bell"},
        {MB_ICONERROR, "dialog-error"},
        {MB_ICONQUESTION, "dialog-question"},
        {MB_ICONWARNING, "dialog-warning"},
        {MB_ICONINFORMATION, "dialog-information"},
        {0xFFFFFFFFu, "bell"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.type);
        RecordingPlayer player(true);
        int fallbacks = 0;
        EXPECT_TRUE(MessageBeep(row.type, player, [&fallbacks] { ++fallbacks; }));
        EXPECT_EQ(player.played, std::vector<std::string>{row.event});
        EXPECT_EQ(fallbacks, 0);
    }
}

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
