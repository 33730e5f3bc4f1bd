#include "Extraction.h"

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "Chains.h"
#include "File.h"
#include "MailScanner.h"
#include "Messages.h"

namespace calverdon::mail {
namespace {

namespace fs = std::filesystem;

// "3", "3 und 5", "2, 3 bis 5 und 8": numbers as German text.
std::string RangeList(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& ranges, std::uint64_t& count) {
    std::string text;
    count = 0;
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        const auto [from, to] = ranges[i];
        count += to - from + 1ull;
        if (i > 0) text += i + 1 == ranges.size() ? " und " : ", ";
        text += std::to_string(from);
        if (to != from) text += (to == from + 1 ? " und " : " bis ") + std::to_string(to);
    }
    return text;
}

std::string Parts(std::size_t count) { return std::to_string(count) + (count == 1 ? " Teil" : " Teile"); }

class Extraction {
public:
    Extraction(Services services, Extract mode) : services_(services), mode_(mode) {}
    ExtractionReport Run(const std::vector<fs::path>& sources, const fs::path& folder);

private:
    void Scan(MailScanner& scanner, const std::vector<fs::path>& sources);
    // Where each complete chain goes: the newest of those that carry the
    // same name gets it, the others a free name beside it.
    std::map<const Chain*, fs::path> Targets(const std::vector<Chain>& chains, const fs::path& folder);
    void Decode(const Chain& chain, const fs::path& target, const std::string& shown);
    std::string Origin(const FoundPart& part) const;
    std::string Shortcoming(const Chain& chain) const;

    // After the batch is published: the lines of results that did not get
    // the name they were told to get.
    void Settle();

    Services services_;
    Extract mode_;
    const std::vector<MailInfo>* mails_ = nullptr;
    // The results get their names together, with one sync of their data.
    PublishBatch batch_;
    struct Waiting {
        std::size_t ticket;
        std::size_t line;
        fs::path planned;
    };
    std::vector<Waiting> waiting_;
    ExtractionReport report_;
    bool failed_ = false;
    bool incomplete_ = false;
};

void Extraction::Scan(MailScanner& scanner, const std::vector<fs::path>& sources) {
    int shown = -1;
    scanner.Scan(sources, [&](std::uint64_t done, std::uint64_t total) {
        const int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
        if (percent != shown && services_.progress != nullptr) services_.progress->SetProgress(shown = percent);
    });
    for (const auto& [path, error] : scanner.Unreadable()) {
        // A FIFO, device or socket has no errno to show: the sentence says
        // what it is, as the decoder's messages do.
        report_.errors.push_back(error == kNotRegularFile
                                     ? "Fehler beim Lesen von " + path.string() + std::string(texts::kNotRegularFile)
                                     : "Fehler " + std::to_string(error) + " beim Lesen von " + path.string() + ".");
        failed_ = true;
    }
}

std::string Extraction::Origin(const FoundPart& part) const {
    std::string where;
    if (!part.mails.empty() && part.mails.front() < mails_->size()) where = DescribeMail((*mails_)[part.mails.front()]);
    if (where.empty() && !part.files.empty()) where = part.files.front();
    if (part.names.empty()) return where.empty() ? std::string("(ohne Namen)") : where;
    return where.empty() ? part.names.front() : part.names.front() + " aus " + where;
}

std::string Extraction::Shortcoming(const Chain& chain) const {
    const std::size_t found = chain.Found();
    if (!chain.competing.empty()) {
        // Say which parts compete for which place, and where each came from.
        std::string text;
        for (const Chain::Competition& competition : chain.competing) {
            if (!text.empty()) text += "; ";
            text += "Teil " + std::to_string(competition.number) + " in verschiedenen Fassungen gefunden";
            std::string from;
            for (const FoundPart* part : competition.parts) from += (from.empty() ? "" : ", ") + Origin(*part);
            if (!from.empty()) text += " (" + from + ")";
        }
        return text + ", nicht umgewandelt (" + Parts(found) + " gefunden)";
    }
    std::uint64_t count = 0;
    const std::string missing = RangeList(chain.missing, count);
    const char* verb = count == 1 ? " fehlt" : " fehlen";
    if (chain.total) {
        const std::string total = std::to_string(*chain.total);
        return "Teil " + missing + " von " + total + verb + " (" + std::to_string(found) + " von " + total +
               " Teilen gefunden)";
    }
    std::string text = missing.empty() ? std::string() : "Teil " + missing + verb + ", ";
    return text + "der letzte Teil fehlt (Gesamtzahl unbekannt), " + Parts(found) + " gefunden";
}

std::map<const Chain*, fs::path> Extraction::Targets(const std::vector<Chain>& chains, const fs::path& folder) {
    std::map<std::string, std::vector<const Chain*>> byName;
    for (const Chain& chain : chains) {
        if (chain.Complete() && !ChainTargetName(chain).empty()) byName[ChainTargetName(chain)].push_back(&chain);
    }
    std::map<const Chain*, fs::path> targets;
    std::set<fs::path> taken;
    for (auto& [name, group] : byName) {
        // The newest first; chains of the same date in an order of their
        // own, whatever the order of the mails.
        std::sort(group.begin(), group.end(), [](const Chain* a, const Chain* b) {
            if (a->First().date != b->First().date) return a->First().date > b->First().date;
            return a->First().digest.hash < b->First().digest.hash;
        });
        const fs::path wanted = folder / name;
        targets[group.front()] = wanted;
        taken.insert(wanted);
        for (std::size_t i = 1; i < group.size(); ++i) {
            // "bericht (2).pdf", or the next number that nothing uses.
            for (int n = 2;; ++n) {
                const fs::path candidate =
                    folder / (wanted.stem().string() + " (" + std::to_string(n) + ")" + wanted.extension().string());
                struct stat st {};
                if (taken.contains(candidate) || ::lstat(candidate.c_str(), &st) == 0) continue;
                targets[group[i]] = candidate;
                taken.insert(candidate);
                break;
            }
        }
    }
    return targets;
}

void Extraction::Decode(const Chain& chain, const fs::path& target, const std::string& shown) {
    const ExtractResult result = ExtractChain(chain, target, services_, mode_, &batch_);
    if (result.ticket) waiting_.push_back({*result.ticket, report_.lines.size(), result.written});
    const std::string parts = std::to_string(chain.parts.size());
    std::string line = shown + ": " + parts + " von " + parts + " Teilen, ";
    const bool check = mode_ == Extract::CheckOnly;
    switch (result.result) {
        case ConversionResult::Succeeded:
            line += check ? "in Ordnung" : "umgewandelt in " + result.written.string();
            if (result.repaired) line += "; Zeilenenden oder E-Mail-Zitatzeichen wurden repariert, die Prüfsumme stimmt";
            break;
        case ConversionResult::ChecksumMismatch:
            line += "Prüfsummenfehler" + (check ? std::string() : ", geschrieben als " + result.written.string());
            incomplete_ = true;
            break;
        case ConversionResult::Failed:
            line += "nicht umgewandelt";
            failed_ = true;
            break;
    }
    report_.lines.push_back(line);
}

void Extraction::Settle() {
    batch_.Publish();
    for (const Waiting& waiting : waiting_) {
        const PublishBatch::Outcome& outcome = batch_.Result(waiting.ticket);
        std::string& line = report_.lines[waiting.line];
        const std::string planned = waiting.planned.string();
        const auto at = line.find(planned);
        if (!outcome.published) {
            // The name could not be given: nothing was written.
            const auto comma = line.rfind(", ", at);
            line = line.substr(0, comma) + ", nicht umgewandelt: Fehler " + std::to_string(outcome.error) +
                   " beim Schreiben der Zieldatei";
            failed_ = true;
        } else if (outcome.written != waiting.planned && at != std::string::npos) {
            line.replace(at, planned.size(), outcome.written.string());
        }
    }
}

ExtractionReport Extraction::Run(const std::vector<fs::path>& sources, const fs::path& folder) {
    if (mode_ == Extract::Decode) {
        struct stat st {};
        if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            report_.errors.push_back("Der Zielordner " + folder.string() + " besteht nicht.");
            report_.outcome = Outcome::Failed;
            return report_;
        }
    }
    std::unique_ptr<ScratchFolder> scratch;
    try {
        scratch = std::make_unique<ScratchFolder>("calverdon-mail");
    } catch (const fs::filesystem_error& e) {
        report_.errors.push_back("Fehler " + std::to_string(e.code().value()) + " beim Anlegen des Arbeitsordners.");
        report_.outcome = Outcome::Failed;
        return report_;
    }
    MailScanner scanner(*scratch);
    mails_ = &scanner.Mails();
    Scan(scanner, sources);
    const Linked linked = LinkChains(scanner.Parts(), scanner.Mails());
    const std::map<const Chain*, fs::path> targets = Targets(linked.chains, folder);
    std::map<std::string, int> sameName;
    for (const Chain& chain : linked.chains) ++sameName[ChainTargetName(chain)];
    for (const Chain& chain : linked.chains) {
        const std::string name = ChainTargetName(chain);
        std::string shown = name.empty() ? "(ohne Namen)" : name;
        // Chains that carry the same name are told apart by where they came.
        if (sameName[name] > 1) shown += " (" + Origin(chain.First()) + ")";
        const auto target = targets.find(&chain);
        if (chain.Complete() && target == targets.end()) {
            const std::string parts = std::to_string(chain.parts.size());
            report_.lines.push_back(shown + ": " + parts + " von " + parts +
                                    " Teilen, nicht umgewandelt: der erste Teil nennt keinen Dateinamen");
            failed_ = true;
            continue;
        }
        if (!chain.Complete()) {
            report_.lines.push_back(shown + ": " + Shortcoming(chain));
            incomplete_ = true;
            continue;
        }
        Decode(chain, target->second, shown);
    }
    Settle();
    for (const FoundPart* stray : linked.strays) {
        report_.lines.push_back(Origin(*stray) + ": Teil " + std::to_string(stray->number) + " ohne ersten Teil");
        incomplete_ = true;
    }
    if (linked.chains.empty() && linked.strays.empty()) {
        report_.errors.push_back("Keine Hex-Text-Kette gefunden.");
        report_.outcome = Outcome::NothingFound;
    } else {
        report_.outcome = failed_ ? Outcome::Failed : incomplete_ ? Outcome::SomeIncomplete : Outcome::AllVerified;
    }
    return report_;
}

}  // namespace

ExtractionReport ExtractAll(const std::vector<fs::path>& sources, const fs::path& folder, Services services,
                            bool checkOnly) {
    return Extraction(services, checkOnly ? Extract::CheckOnly : Extract::Decode).Run(sources, folder);
}

}  // namespace calverdon::mail
