#pragma once
// How the decoder and the encoder tell the user what happened: the failures
// they share, the overwrite question, and progress values passed on only
// when they change.

#include <cstdint>
#include <string>

#include "HexText.h"
#include "Services.h"

namespace calverdon {

class Reporter {
public:
    explicit Reporter(Services services) : messages_(services.messages), progress_(services.progress) {}

    // An error message; returns Failed for the caller to pass on.
    ConversionResult Fail(const std::string& text, const std::string& caption);
    // A file could not be opened or created: `what` is the rest of the
    // sentence after "Fehler", for example "beim Öffnen der Quelldatei".
    ConversionResult FailFile(const std::string& what, int error);
    ConversionResult WriteFailed(int error);
    ConversionResult SourceIsEmpty();
    ConversionResult SameFile();
    void Warn(const std::string& text, const std::string& caption);
    // Asks before replacing `count` existing files, the first of them
    // `first`; true when the user says yes.
    bool MayReplace(const std::filesystem::path& first, std::uint64_t count);

    // Progress runs over `total` units; Advance() passes on the whole-number
    // percentage of `done` whenever it changes.
    void StartProgress(std::uint64_t total) {
        total_ = total;
        last_ = -1;
        next_ = 0;
    }
    // The smallest count of units at which the percentage can change.
    std::uint64_t NextProgressAt() const { return next_; }
    void Advance(std::uint64_t done) {
        if (done >= next_) PassOnProgress(done);
    }

private:
    void PassOnProgress(std::uint64_t done);

    UserMessages& messages_;
    ProgressReceiver* progress_;
    std::uint64_t total_ = 0;
    int last_ = -1;
    std::uint64_t next_ = 0;
};

}  // namespace calverdon
