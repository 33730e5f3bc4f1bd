#pragma once
// How the decoder, the encoder and the header check tell the user what
// happened: one function for each message they show (the texts are in
// Messages.h), and progress values passed on only when they change.

#include <cstdint>
#include <filesystem>
#include <string>

#include "Format.h"
#include "Services.h"

namespace calverdon {

class Reporter {
public:
    explicit Reporter(Services services) : messages_(services.messages), progress_(services.progress) {}

    // Each failure shows its message and returns Failed for the caller to
    // pass on. `error` is an errno, or kNotRegularFile.
    ConversionResult OpenChosenFileFailed(int error);
    ConversionResult NotHexText();
    ConversionResult OpenSourceFailed(int error);
    ConversionResult ReadSourceFailed(int error);
    ConversionResult SourceIsEmpty();
    ConversionResult CreateTargetFailed(int error);
    ConversionResult SameFile();
    ConversionResult WriteFailed(int error);
    ConversionResult OpenPartFailed(const std::string& name, int error);
    ConversionResult WrongOrder();
    // The checksum did not match; `keptAs` is the name the result was kept
    // under when that is not the target's. Returns ChecksumMismatch.
    ConversionResult ChecksumMismatch(const std::filesystem::path& keptAs);
    // The checksum matched only when the chain was read leniently: tells
    // that mail had changed it and returns Succeeded.
    ConversionResult Repaired();
    // Asks before replacing `count` existing files, the first of them
    // `first`, and removing `obsolete` parts of the chain they belong to;
    // true when the user says yes.
    bool MayReplace(const std::filesystem::path& first, std::uint64_t count, std::uint64_t obsolete = 0);

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
    // Whether the receiver asked to stop when the last percentage was
    // passed on.
    bool StopRequested() const { return stopRequested_; }

private:
    ConversionResult Fail(std::string_view text, std::string_view caption);
    // "Fehler N" over the sentence's rest `what` and a full stop.
    ConversionResult FailFile(std::string_view what, int error);
    void PassOnProgress(std::uint64_t done);

    UserMessages& messages_;
    ProgressReceiver* progress_;
    std::uint64_t total_ = 0;
    int last_ = -1;
    std::uint64_t next_ = 0;
    bool stopRequested_ = false;
};

}  // namespace calverdon
