#pragma once
// MessageBeep: a beep type names a system sound. Here the sounds are events
// of the freedesktop sound theme, played through libcanberra. When an event
// cannot be played (no sound server, no theme), a fallback beep is tried; a
// missing sound is never an error, since it must not disturb the user.

#include <functional>
#include <memory>
#include <string_view>

#include "MessageBox.h"

namespace calverdon {

// The beep types are message box flags; MessageBox.h has the icon flags
// MB_ICONERROR, MB_ICONWARNING and MB_ICONINFORMATION.
inline constexpr unsigned MB_OK = 0x00u;
inline constexpr unsigned MB_ICONQUESTION = 0x20u;

// The sound-theme event for a beep type: "dialog-error", "dialog-question",
// "dialog-warning" or "dialog-information" for the icon types, "bell" for
// MB_OK and every other value.
std::string_view SoundEventFor(unsigned type);

class EventSoundPlayer {
public:
    virtual ~EventSoundPlayer() = default;
    // Starts playing the event; false when it cannot be played.
    virtual bool Play(std::string_view eventId) = 0;
};

// Plays through libcanberra. The context is opened at the first play and
// kept for the process; when it cannot be opened, every play fails at once.
class CanberraPlayer final : public EventSoundPlayer {
public:
    CanberraPlayer();
    ~CanberraPlayer() override;
    CanberraPlayer(const CanberraPlayer&) = delete;
    CanberraPlayer& operator=(const CanberraPlayer&) = delete;

    bool Play(std::string_view eventId) override;

private:
    struct Context;
    std::unique_ptr<Context> context_;
    bool unusable_ = false;
};

// Sounds `type` through `player`; when the player cannot, calls `fallback`
// (if any). Returns whether the player played the event.
bool MessageBeep(unsigned type, EventSoundPlayer& player, const std::function<void()>& fallback);

}  // namespace calverdon
