#include "PartText.h"

#include <glib.h>

#include <vector>

#include "Format.h"

namespace calverdon::mail {
namespace {

// Lines that are looked at (part starts, names) are kept up to this many
// bytes; a longer one is no line of the format.
constexpr std::size_t kMaxKeptLine = format::kMaxHeaderLine + 2;
// Empty or quoted-empty lines allowed between the magic line and the name
// line, as mail bodies have them.
constexpr int kMaxLinesBeforeName = 8;

struct ChecksumFree {
    void operator()(GChecksum* checksum) const { g_checksum_free(checksum); }
};

}  // namespace

std::uint32_t PartNumberOfLine(std::string_view line) {
    const std::uint64_t number = format::PartNumberOf(format::PlainLine(line));
    return number <= 0xFFFFFFFFull ? static_cast<std::uint32_t>(number) : 0;
}

class PartSplitter::Impl {
public:
    Impl(PartSink& sink, bool anyLine) : sink_(sink), anyLine_(anyLine) {}

    void Feed(std::string_view text) {
        while (!text.empty() && !Done()) {
            const std::size_t used = state_ == State::Data ? FeedData(text) : FeedLines(text);
            text.remove_prefix(used);
        }
    }

    void Finish() {
        if (!line_.empty() || lineOpen_) EndLine();
        switch (state_) {
            case State::Search:
                break;
            case State::FirstName:
            case State::Data:
                EndPart(PartEnd::Open);
                break;
            case State::NameRest:
                rest_ = line_;
                [[fallthrough]];
            case State::NameFollowing:
                EndContinuation();
                break;
            case State::Checksum:
                current_.digest.endChecksum = checksum_.Result();
                EndPart(PartEnd::Last);
                break;
        }
        state_ = State::Search;
    }

    bool Done() const { return state_ == State::Search && (searched_ > kSearchLimit || (!anyLine_ && refused_)); }

private:
    enum class State { Search, FirstName, Data, NameRest, NameFollowing, Checksum };

    // Text in the line states: collected line by line; bytes of a part are
    // passed on as they come, but a following line is held back until it
    // is known whether it belongs to the part.
    std::size_t FeedLines(std::string_view text) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            if (state_ == State::Checksum) {
                if (checksum_.Feed(static_cast<unsigned char>(c))) {
                    sink_.Write(text.substr(i, 1));
                    continue;
                }
                current_.digest.endChecksum = checksum_.Result();
                EndPart(PartEnd::Last);
                // The rest of the line is no line of its own.
                lineOpen_ = true;
                partialLine_ = true;
            }
            if (!InPart()) {
                if (++searched_ > kSearchLimit) return i + 1;
            } else if (state_ != State::NameFollowing) {
                sink_.Write(text.substr(i, 1));
            }
            if (line_.size() < kMaxKeptLine) line_ += c;
            lineOpen_ = true;
            if (c == '\n') {
                EndLine();
                if (state_ == State::Data) return i + 1;
            }
        }
        return text.size();
    }

    std::size_t FeedData(std::string_view text) {
        decoded_.resize(text.size() / 2 + 1);
        std::size_t produced = 0;
        format::LenientData::Event event = format::LenientData::Event::None;
        const std::size_t read = data_.Feed(text, decoded_.data(), produced, event);
        if (produced > 0) {
            g_checksum_update(hash_.get(), decoded_.data(), static_cast<gssize>(produced));
            for (std::size_t i = 0; i < produced; ++i) current_.digest.sum += decoded_[i] + 4u;
            current_.digest.bytes += produced;
        }
        sink_.Write(text.substr(0, read));
        switch (event) {
            case format::LenientData::Event::None:
                break;
            case format::LenientData::Event::Garbled:
                EndPart(PartEnd::Open);
                lineOpen_ = true;
                partialLine_ = true;
                break;
            case format::LenientData::Event::Continuation:
                state_ = State::NameRest;
                break;
            case format::LenientData::Event::EndLine:
                state_ = State::Checksum;
                checksum_ = {};
                break;
        }
        return read;
    }

    bool InPart() const { return state_ != State::Search; }

    // A whole line has been collected in line_.
    void EndLine() {
        std::string line;
        line.swap(line_);
        const bool partial = partialLine_;
        partialLine_ = false;
        lineOpen_ = false;
        switch (state_) {
            case State::Search:
                if (!partial) Search(line);
                break;
            case State::FirstName:
                FirstName(line);
                break;
            case State::NameRest:
                rest_ = line;
                state_ = State::NameFollowing;
                break;
            case State::NameFollowing:
                following_ = line;
                EndContinuation();
                break;
            case State::Data:
            case State::Checksum:
                break;
        }
    }

    void Search(const std::string& line) {
        const bool first = linesSearched_++ == 0;
        if (!anyLine_ && !first && !partSeen_) return;
        const std::string_view plain = format::PlainLine(line);
        if (plain == kMagicLine) {
            StartPart(1, line);
            state_ = State::FirstName;
            linesBeforeName_ = 0;
            return;
        }
        if (const std::uint32_t number = PartNumberOfLine(line); number != 0) {
            StartPart(number, line);
            StartData();
            return;
        }
        if (!anyLine_ && first) refused_ = true;
    }

    void FirstName(const std::string& line) {
        const std::string_view plain = format::PlainLine(line);
        if (plain.empty() && ++linesBeforeName_ <= kMaxLinesBeforeName) return;
        // A name line longer than the decoder reads carries no usable name.
        if (line.size() <= format::kMaxLine) current_.headerName = std::string(format::CutAtNul(plain));
        StartData();
    }

    void StartPart(std::uint32_t number, const std::string& line) {
        current_ = {};
        current_.number = number;
        hash_.reset(g_checksum_new(G_CHECKSUM_SHA256));
        sink_.Begin();
        sink_.Write(line);
    }

    void StartData() {
        state_ = State::Data;
        data_ = {};
    }

    void EndContinuation() {
        const format::ContinuationName choice =
            format::ChooseContinuationName(rest_, following_, std::uint64_t{current_.number} + 1);
        current_.nextName = choice.name;
        if (choice.usesFollowing) sink_.Write(following_);
        std::string following;
        following.swap(following_);
        EndPart(PartEnd::Continues);
        // A line that is not part of the name may start the next part.
        if (!choice.usesFollowing && !following.empty()) Search(following);
    }

    void EndPart(PartEnd end) {
        current_.end = end;
        gsize length = current_.digest.hash.size();
        g_checksum_get_digest(hash_.get(), current_.digest.hash.data(), &length);
        sink_.End(current_);
        state_ = State::Search;
        partSeen_ = true;
        searched_ = 0;
        rest_.clear();
    }

    PartSink& sink_;
    bool anyLine_;
    State state_ = State::Search;
    std::string line_;
    bool lineOpen_ = false;
    bool partialLine_ = false;  // the line began inside a part's last line
    std::size_t searched_ = 0;
    std::uint64_t linesSearched_ = 0;
    bool partSeen_ = false;
    bool refused_ = false;
    int linesBeforeName_ = 0;
    SplitPart current_;
    std::unique_ptr<GChecksum, ChecksumFree> hash_;
    format::LenientData data_;
    format::LenientChecksum checksum_;
    std::vector<unsigned char> decoded_;
    std::string rest_;
    std::string following_;
};

PartSplitter::PartSplitter(PartSink& sink, bool anyLine) : impl_(std::make_unique<Impl>(sink, anyLine)) {}
PartSplitter::~PartSplitter() = default;
void PartSplitter::Feed(std::string_view text) { impl_->Feed(text); }
void PartSplitter::Finish() { impl_->Finish(); }
bool PartSplitter::Done() const { return impl_->Done(); }

}  // namespace calverdon::mail
