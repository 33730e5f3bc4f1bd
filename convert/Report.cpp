#include "Report.h"

#include <cstdint>

#include "File.h"
#include "Names.h"

namespace calverdon {

ConversionResult Reporter::Fail(const std::string& text, const std::string& caption) {
    messages_.Show(text, caption, MessageKind::Error);
    return ConversionResult::Failed;
}

ConversionResult Reporter::FailFile(const std::string& what, int error) {
    // A FIFO or a device has no errno to show: the sentence says what it is.
    if (error == kNotRegularFile) return Fail(what + ": keine gewöhnliche Datei.", "Fehler");
    return Fail(what + ".", ErrorCaption(error));
}

ConversionResult Reporter::WriteFailed(int error) {
    return Fail("Windows-Fehlernr. " + std::to_string(error), "Fehler beim Schreiben der Zieldatei");
}

ConversionResult Reporter::SourceIsEmpty() {
    messages_.Show("ist leer", "Die Quelldatei", MessageKind::Warning);
    return ConversionResult::Failed;
}

ConversionResult Reporter::SameFile() { return Fail("Zieldatei und Quelldatei sind dieselbe Datei.", "Fehler"); }

void Reporter::Warn(const std::string& text, const std::string& caption) {
    messages_.Show(text, caption, MessageKind::Warning);
}

bool Reporter::MayReplace(const std::filesystem::path& first, std::uint64_t count) {
    const std::string question =
        count <= 1 ? "Die Zieldatei\n" + first.string() + "\nbesteht bereits.\nSoll sie überschrieben werden?"
                   : "Die Zieldatei\n" + first.string() + "\nund " + std::to_string(count - 1) +
                         (count == 2 ? " weitere Datei bestehen" : " weitere Dateien bestehen") +
                         " bereits.\nSollen sie überschrieben werden?";
    return messages_.Show(question, "ACHTUNG", MessageKind::YesNoWarning) == kAnswerYes;
}

void Reporter::PassOnProgress(std::uint64_t done) {
    const int value = total_ == 0 ? 100 : static_cast<int>(done * 100 / total_);
    if (value != last_) {
        last_ = value;
        if (progress_ != nullptr) progress_->SetProgress(value);
    }
    // The least count c with c * 100 / total > value.
    next_ = total_ == 0 ? UINT64_MAX : ((static_cast<std::uint64_t>(value) + 1) * total_ + 99) / 100;
}

}  // namespace calverdon
