#include "Report.h"

#include <cstdint>

#include "File.h"
#include "Messages.h"
#include "Names.h"

namespace calverdon {

ConversionResult Reporter::Fail(std::string_view text, std::string_view caption) {
    messages_.Show(std::string(text), std::string(caption), MessageKind::Error);
    return ConversionResult::Failed;
}

ConversionResult Reporter::FailFile(std::string_view what, int error) {
    // A FIFO or a device has no errno to show: the sentence says what it is.
    if (error == kNotRegularFile) return Fail(std::string(what) + std::string(texts::kNotRegularFile), texts::kError);
    return Fail(std::string(what) + ".", texts::ErrorCaption(error));
}

ConversionResult Reporter::OpenChosenFileFailed(int error) { return FailFile(texts::kOpenChosenFile, error); }
ConversionResult Reporter::NotHexText() { return Fail(texts::kNotHexTextText, texts::kNotHexTextCaption); }
ConversionResult Reporter::OpenSourceFailed(int error) { return FailFile(texts::kOpenSource, error); }
ConversionResult Reporter::ReadSourceFailed(int error) { return FailFile(texts::kReadSource, error); }
ConversionResult Reporter::CreateTargetFailed(int error) { return FailFile(texts::kCreateTarget, error); }
ConversionResult Reporter::SameFile() { return Fail(texts::kSameFile, texts::kError); }
ConversionResult Reporter::WrongOrder() { return Fail(texts::kWrongOrder, texts::kError); }

ConversionResult Reporter::SourceIsEmpty() {
    messages_.Show(std::string(texts::kEmptyText), std::string(texts::kEmptyCaption), MessageKind::Warning);
    return ConversionResult::Failed;
}

ConversionResult Reporter::WriteFailed(int error) {
    return Fail(std::string(texts::kWriteText) + std::to_string(error), texts::kWriteCaption);
}

ConversionResult Reporter::OpenPartFailed(const std::string& name, int error) {
    return FailFile(name.empty() ? std::string(texts::kOpenPart) : std::string(texts::kOpenPart) + " " + name,
                    error);
}

ConversionResult Reporter::ChecksumMismatch(const std::filesystem::path& keptAs) {
    std::string text(texts::kChecksumText);
    if (!keptAs.empty()) {
        text += "\n";
        text += texts::kKeptBesideStart;
        text += keptAs.filename().string();
        text += texts::kKeptBesideEnd;
    }
    messages_.Show(text, std::string(texts::kChecksumCaption), MessageKind::Warning);
    return ConversionResult::ChecksumMismatch;
}

ConversionResult Reporter::Repaired() {
    messages_.Show(std::string(texts::kRepairedText), std::string(texts::kRepairedCaption), MessageKind::Information);
    return ConversionResult::Succeeded;
}

bool Reporter::MayReplace(const std::filesystem::path& first, std::uint64_t count, std::uint64_t obsolete) {
    std::string question(texts::kReplaceStart);
    question += first.string();
    if (count > 1) {
        question += texts::kReplaceAnd;
        question += std::to_string(count - 1);
        question += count == 2 ? texts::kOneMoreFile : texts::kMoreFiles;
    }
    question += count > 1 ? texts::kReplaceManyExist : texts::kReplaceOneExists;
    if (obsolete > 0) {
        question += "\n";
        question += std::to_string(obsolete);
        question += obsolete == 1 ? texts::kObsoletePart : texts::kObsoleteParts;
    }
    question += count > 1 ? texts::kReplaceManyQuestion : texts::kReplaceOneQuestion;
    return messages_.Show(question, std::string(texts::kReplaceCaption), MessageKind::YesNoWarning) == kAnswerYes;
}

void Reporter::PassOnProgress(std::uint64_t done) {
    const int value = total_ == 0 ? 100 : static_cast<int>(done * 100 / total_);
    if (value != last_) {
        last_ = value;
        if (progress_ != nullptr) {
            progress_->SetProgress(value);
            stopRequested_ = stopRequested_ || progress_->StopRequested();
        }
    }
    // The least count c with c * 100 / total > value.
    next_ = total_ == 0 ? UINT64_MAX : ((static_cast<std::uint64_t>(value) + 1) * total_ + 99) / 100;
}

}  // namespace calverdon
