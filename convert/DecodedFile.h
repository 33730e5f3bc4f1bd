#pragma once
// The decoded file under construction. It has no name until it is complete
// (see PendingFile), so that a file at the target path is either what stood
// there before or the whole result, never a part of it. Without a target
// path the bytes are counted and dropped (checking a chain).

#include <cstddef>
#include <filesystem>
#include <vector>

#include "PendingFile.h"

namespace calverdon {

class DecodedFile {
public:
    // Creates the pending file; the errno of a failure goes to `error`.
    bool Create(const std::filesystem::path& target, int& error);

    // Room for `count` decoded bytes.
    unsigned char* Reserve(std::size_t count) {
        if (file_.IsOpen()) return file_.Writer().Reserve(count);
        if (scratch_.size() < count) scratch_.resize(count);
        return scratch_.data();
    }
    void Commit(std::size_t count) {
        if (file_.IsOpen()) file_.Writer().Commit(count);
    }
    int Error() const { return file_.IsOpen() ? file_.Writer().Error() : 0; }
    const std::filesystem::path& Target() const { return target_; }

    // How far a finished result can be trusted.
    enum class Fate { Verified, Unverified };
    // Gives the finished file its name. A verified result replaces the
    // target; an unverified one never replaces an existing file and goes
    // beside it instead. `written` tells where it went.
    bool Keep(Fate fate, std::filesystem::path& written, int& error);
    // Drops the result, giving back the room it takes.
    void Discard() { file_.Discard(); }

private:
    PendingFile file_;
    std::filesystem::path target_;
    std::vector<unsigned char> scratch_;
};

}  // namespace calverdon
