#include "MessageBeep.h"

#include <canberra.h>

#include <string>

namespace calverdon {

std::string_view SoundEventFor(unsigned type) {
    switch (type) {
    case MB_ICONERROR: return "dialog-error";
    case MB_ICONQUESTION: return "dialog-question";
    case MB_ICONWARNING: return "dialog-warning";
    case MB_ICONINFORMATION: return "dialog-information";
    default: return "bell";
    }
}

struct CanberraPlayer::Context {
    ca_context* handle = nullptr;
    ~Context() {
        if (handle != nullptr) ca_context_destroy(handle);
    }
};

CanberraPlayer::CanberraPlayer() = default;
CanberraPlayer::~CanberraPlayer() = default;

bool CanberraPlayer::Play(std::string_view eventId) {
    if (unusable_) return false;
    if (!context_) {
        auto context = std::make_unique<Context>();
        if (ca_context_create(&context->handle) != CA_SUCCESS) {
            context->handle = nullptr;
            unusable_ = true;
            return false;
        }
        ca_context_change_props(context->handle, CA_PROP_APPLICATION_NAME, "Calverdon",
                                CA_PROP_APPLICATION_ID, "calverdon", nullptr);
        // Opening finds a back-end; without a sound server or sound device
        // there is none, and trying again at every beep would only cost time.
        if (ca_context_open(context->handle) != CA_SUCCESS) {
            unusable_ = true;
            return false;
        }
        context_ = std::move(context);
    }
    const std::string id(eventId);
    return ca_context_play(context_->handle, 0, CA_PROP_EVENT_ID, id.c_str(), nullptr) == CA_SUCCESS;
}

bool MessageBeep(unsigned type, EventSoundPlayer& player, const std::function<void()>& fallback) {
    if (player.Play(SoundEventFor(type))) return true;
    if (fallback) fallback();
    return false;
}

}  // namespace calverdon
