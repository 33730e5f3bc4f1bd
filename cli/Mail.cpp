// calverdon-cli mail: each file encoded as encode does it, one mail per
// part, every mail built and checked before the first one is handed on to
// a folder of .eml files, an mbox file or sendmail.
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <memory>
#include <ostream>
#include <set>
#include <system_error>

#include "BinToHex.h"
#include "Commands.h"
#include "Compose.h"
#include "Cp1252.h"
#include "File.h"
#include "HexText.h"
#include "MailDelivery.h"
#include "Names.h"

namespace calverdon::cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDefaultSendmail = "/usr/sbin/sendmail -t -oi";
// The smallest limit that providers set (10 MB; others allow 20 or 25).
constexpr const char* kDefaultMailSize = "10";
constexpr std::uint64_t kBytesPerMegabyte = 1000 * 1000;
constexpr std::uint64_t kLargestMailSize = 100000;  // MB

// SIGINT, SIGTERM, SIGHUP and SIGQUIT wait while the object lives, so that
// a run that one of them stops still removes its scratch folder: the run
// asks Pending() where it can stop, ends, and the signal then ends the
// process as it would have.
class HeldSignals {
public:
    HeldSignals() {
        const sigset_t set = Handled();
        ::pthread_sigmask(SIG_BLOCK, &set, &previous_);
    }
    ~HeldSignals() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;

    bool Pending() const {
        sigset_t pending;
        if (::sigpending(&pending) != 0) return false;
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
            if (sigismember(&pending, signal) == 1 && sigismember(&previous_, signal) == 0) return true;
        }
        return false;
    }
    // The mask the process had, for the programs it starts.
    const sigset_t& Previous() const { return previous_; }

private:
    static sigset_t Handled() {
        sigset_t set;
        sigemptyset(&set);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&set, signal);
        return set;
    }
    sigset_t previous_;
};

class StoppableProgress final : public ProgressReceiver {
public:
    StoppableProgress(ConsoleProgress& bar, const HeldSignals& signals) : bar_(bar), signals_(signals) {}
    void SetProgress(int percent) override { bar_.SetProgress(percent); }
    bool StopRequested() override { return signals_.Pending(); }

private:
    ConsoleProgress& bar_;
    const HeldSignals& signals_;
};

// A chain's mails as built, with the part numbers that go out.
struct PreparedChain {
    fs::path source;
    mail::MailChain chain;
    std::vector<std::uint32_t> numbers;  // the parts to hand on, in order
    std::vector<fs::path> mails;         // their mails, in the same order
    std::time_t date = 0;
};

// "3", "3 und 5", "1, 3 bis 5 und 8".
std::string GermanList(const std::vector<std::uint32_t>& numbers) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> runs;
    for (const std::uint32_t n : numbers) {
        if (!runs.empty() && runs.back().second + 1 == n) runs.back().second = n;
        else runs.emplace_back(n, n);
    }
    std::vector<std::string> items;
    for (const auto& [from, to] : runs) {
        if (from == to) items.push_back(std::to_string(from));
        else if (to == from + 1) {
            items.push_back(std::to_string(from));
            items.push_back(std::to_string(to));
        } else {
            items.push_back(std::to_string(from) + " bis " + std::to_string(to));
        }
    }
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) text += i + 1 == items.size() ? " und " : ", ";
        text += items[i];
    }
    return text;
}

// "3-5", "1,3-5,8": the form --only-parts takes.
std::string PartListText(const std::vector<std::uint32_t>& numbers) {
    std::string text;
    for (std::size_t i = 0; i < numbers.size();) {
        std::size_t j = i;
        while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1) ++j;
        if (!text.empty()) text += ',';
        text += std::to_string(numbers[i]);
        if (j > i) text += (j == i + 1 ? "," : "-") + std::to_string(numbers[j]);
        i = j + 1;
    }
    return text;
}

// A word as a POSIX shell reads it back unchanged.
std::string ShellWord(const std::string& word) {
    const bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("@%+=:,./_-").find(c) != std::string_view::npos;
    });
    if (plain) return word;
    std::string quoted = "'";
    for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Reads --mail-size: a number of megabytes (1 MB = 1000000 bytes, the
// smaller unit, so that the limit holds in either), with a decimal point
// or comma. Empty when it is one, else why not, after the value.
std::string ParseMailSize(const std::string& text, std::uint64_t& bytes) {
    if (text.empty()) return "der Wert ist leer";
    std::uint64_t whole = 0;
    std::uint64_t fraction = 0;
    std::uint64_t scale = kBytesPerMegabyte;
    std::size_t i = 0;
    bool digits = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && whole <= kLargestMailSize; ++i, digits = true) {
        whole = whole * 10 + static_cast<std::uint64_t>(text[i] - '0');
    }
    if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, digits = true) {
            if (scale == 1) continue;  // beyond a byte
            scale /= 10;
            fraction += scale * static_cast<std::uint64_t>(text[i] - '0');
        }
    }
    if (!digits || i != text.size()) return Printable(text) + " ist keine Zahl von Megabytes";
    bytes = whole * kBytesPerMegabyte + fraction;
    if (bytes == 0 || whole > kLargestMailSize || bytes > kLargestMailSize * kBytesPerMegabyte) {
        return Printable(text) + " muss größer als 0 und höchstens " + std::to_string(kLargestMailSize) + " sein";
    }
    return {};
}

using PartRanges = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

// Reads --only-parts: part numbers and ranges, "3", "3-5", "1,3-5". Empty
// when it is such a list, else why not, after the value.
std::string ParsePartList(const std::string& text, PartRanges& ranges) {
    ranges.clear();
    if (text.empty()) return "der Wert ist leer";
    const std::string wrong = Printable(text) + " ist keine Liste von Teilnummern wie 3,5-7";
    std::size_t i = 0;
    const auto number = [&](std::uint32_t& value) {
        std::uint64_t n = 0;
        const std::size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && n <= UINT32_MAX) {
            n = n * 10 + static_cast<std::uint64_t>(text[i++] - '0');
        }
        value = static_cast<std::uint32_t>(n);
        return i > start && n >= 1 && n <= UINT32_MAX;
    };
    for (;;) {
        std::uint32_t from = 0;
        std::uint32_t to = 0;
        if (!number(from)) return wrong;
        to = from;
        if (i < text.size() && text[i] == '-') {
            ++i;
            if (!number(to) || to < from) return wrong;
        }
        ranges.emplace_back(from, to);
        if (i == text.size()) return {};
        if (text[i++] != ',') return wrong;
    }
}

class MailRun {
public:
    MailRun(const MailOptions& options, Console& console) : options_(options), console_(console) {}
    int Run();

private:
    enum class Output { Folder, Mbox, Sendmail };

    int CheckUsage();
    // Encodes one source into the scratch folder and builds its mails.
    int Prepare(const fs::path& source, std::size_t index);
    int BuildMails(PreparedChain& prepared, const fs::path& folder);
    int WriteFolder();
    int AppendMbox();
    int Send();
    int Interrupted();
    int NothingHandedOn(int exitCode);
    // The command that sends the parts `numbers` of `prepared` again.
    std::string RepeatCommand(const PreparedChain& prepared, const std::vector<std::uint32_t>& numbers) const;

    const MailOptions& options_;
    Console& console_;
    Output output_ = Output::Folder;
    mail::Envelope envelope_;
    std::vector<std::string> sendmail_;
    std::uint64_t mailLimit_ = 0;  // wire bytes each mail must stay under; 0: none
    // The scratch folder goes before the held signals are let go.
    std::unique_ptr<HeldSignals> signals_;
    std::unique_ptr<mail::MailScratch> scratch_;
    std::vector<PreparedChain> chains_;
};

int MailRun::CheckUsage() {
    output_ = options_.sendmail ? Output::Sendmail : !options_.mbox.empty() ? Output::Mbox : Output::Folder;
    if (output_ == Output::Sendmail && options_.to.empty()) {
        console_.err << "Zum Versand mit --sendmail fehlt die Adresse: --to ADRESSE.\n";
        return kExitUsage;
    }
    if (output_ == Output::Sendmail && !SplitCommand(*options_.sendmail, sendmail_)) {
        console_.err << "Ungültiger Wert für --sendmail: " << Printable(*options_.sendmail)
                     << " ist kein Befehl (Anführungszeichen offen?).\n";
        return kExitUsage;
    }
    if (!options_.chainId.empty() && options_.sources.size() > 1) {
        console_.err << "--chain-id geht nur mit einer einzigen Datei.\n";
        return kExitUsage;
    }
    envelope_ = {options_.to, options_.from, options_.subject};
    if (!options_.kilobytes) {
        ParseMailSize(options_.mailSize.value_or(kDefaultMailSize), mailLimit_);
    }
    return kExitConverted;
}

int MailRun::NothingHandedOn(int exitCode) {
    switch (output_) {
        case Output::Folder: console_.err << "Keine E-Mail wurde geschrieben.\n"; break;
        case Output::Mbox: console_.err << "Keine E-Mail wurde angehängt.\n"; break;
        case Output::Sendmail: console_.err << "Keine E-Mail wurde versandt.\n"; break;
    }
    return exitCode;
}

int MailRun::Interrupted() {
    console_.err << "Abgebrochen.\n";
    return kExitFailed;
}

int MailRun::Prepare(const fs::path& source, std::size_t index) {
    const fs::path folder = scratch_->Path() / std::to_string(index + 1);
    std::error_code made;
    if (!fs::create_directory(folder, made)) {
        console_.err << "Fehler " << made.value() << " beim Anlegen des Arbeitsordners.\n";
        return kExitFailed;
    }
    PreparedChain prepared;
    prepared.source = source;
    prepared.chain.sourceName = source.filename().string();
    struct stat st {};
    if (::stat(source.c_str(), &st) == 0) prepared.chain.sourceSize = static_cast<std::uint64_t>(st.st_size);
    std::string kilobytes = options_.kilobytes.value_or("0");
    if (mailLimit_ != 0) {
        const std::uint32_t fitting =
            mail::KilobytesForMailSize(mailLimit_, prepared.chain.sourceName, prepared.chain.sourceSize, envelope_);
        if (fitting == 0) {
            console_.err << "--mail-size " << Printable(options_.mailSize.value_or(kDefaultMailSize))
                         << " MB ist zu klein: schon Kopf und Text einer E-Mail brauchen fast so viel.\n";
            return kExitUsage;
        }
        kilobytes = std::to_string(fitting);
    }

    // Parts in the scratch folder, from a line generator of their own: the
    // same file gives the same parts on every run, whatever else the run
    // sends, so that a repeat can send the parts that are still missing.
    const fs::path target = folder / EncodeTargetFor(source).filename();
    LineGenerator lines;
    ConsoleMessages messages(console_, /*assumeYes=*/false, {source, target});
    ConsoleProgress bar(console_);
    StoppableProgress progress(bar, *signals_);
    const ConversionResult result = BinToHex(source, target, kilobytes, {messages, &progress}, lines);
    if (signals_->Pending()) return Interrupted();
    if (result != ConversionResult::Succeeded) return kExitFailed;
    bar.Finish();
    for (std::uint32_t number = 1;; ++number) {
        const fs::path part = PartPath(target, number);
        struct stat partStatus {};
        if (::lstat(part.c_str(), &partStatus) != 0) break;
        prepared.chain.parts.push_back(part);
    }
    return BuildMails(prepared, folder);
}

int MailRun::BuildMails(PreparedChain& prepared, const fs::path& folder) {
    mail::MailChain& chain = prepared.chain;
    const std::string name = Printable(chain.sourceName);
    const std::uint32_t total = static_cast<std::uint32_t>(chain.parts.size());
    const std::string fingerprint = mail::PartsFingerprint(chain.parts);
    if (fingerprint.empty()) {
        console_.err << "Die Teile von " << name << " lassen sich nicht lesen.\n";
        return kExitFailed;
    }
    if (options_.onlyParts.empty()) {
        for (std::uint32_t number = 1; number <= total; ++number) prepared.numbers.push_back(number);
    } else {
        PartRanges ranges;
        ParsePartList(options_.onlyParts, ranges);
        std::set<std::uint32_t> numbers;
        for (const auto& [from, to] : ranges) {
            if (to > total) {
                console_.err << "Teil " << to << " gibt es nicht: " << name << " ergibt " << total
                             << (total == 1 ? " Teil.\n" : " Teile.\n");
                return kExitUsage;
            }
            for (std::uint64_t number = from; number <= to; ++number) numbers.insert(static_cast<std::uint32_t>(number));
        }
        prepared.numbers.assign(numbers.begin(), numbers.end());
    }
    if (options_.chainId.empty()) {
        chain.id = mail::NewChainId(fingerprint);
    } else if (mail::ChainIdFits(options_.chainId, fingerprint)) {
        chain.id = options_.chainId;
    } else {
        console_.err << name << " ergibt nicht mehr die Teile der Kette " << options_.chainId
                     << ": die Datei oder die Teilgröße hat sich seit dem ersten Versand geändert. Ohne "
                        "--only-parts und --chain-id geht die ganze Datei als neue Kette hinaus.\n";
        return kExitFailed;
    }
    prepared.date = std::time(nullptr);
    const std::string problem =
        mail::BuildMails(chain, prepared.numbers, envelope_, prepared.date, mailLimit_, folder, prepared.mails);
    if (!problem.empty()) {
        console_.err << Printable(problem) << '\n';
        return kExitFailed;
    }
    if (signals_->Pending()) return Interrupted();
    chains_.push_back(std::move(prepared));
    return kExitConverted;
}

int MailRun::WriteFolder() {
    const fs::path folder = options_.folder.empty() ? fs::path(".") : fs::path(options_.folder);
    std::error_code checked;
    if (!fs::is_directory(folder, checked)) {
        console_.err << "Den Ordner " << Printable(folder.string()) << " gibt es nicht.\n";
        return NothingHandedOn(kExitFailed);
    }
    std::vector<fs::path> sources;
    std::vector<fs::path> mails;
    std::vector<fs::path> targets;
    std::set<fs::path> seen;
    for (const PreparedChain& prepared : chains_) {
        sources.push_back(prepared.source);
        for (std::size_t i = 0; i < prepared.numbers.size(); ++i) {
            const fs::path target = mail::EmlPathFor(folder, prepared.chain.parts[prepared.numbers[i] - 1]);
            if (!seen.insert(target).second) {
                console_.err << "Zwei E-Mails bekämen denselben Namen " << Printable(target.string()) << ".\n";
                return NothingHandedOn(kExitFailed);
            }
            targets.push_back(target);
            mails.push_back(prepared.mails[i]);
        }
    }
    ConsoleMessages messages(console_, options_.yes);
    std::string problem;
    const ConversionResult result =
        mail::PublishMails(mails, targets, sources, {messages, nullptr}, [this] { return signals_->Pending(); }, problem);
    if (signals_->Pending()) return Interrupted();
    if (result != ConversionResult::Succeeded) {
        if (!problem.empty()) console_.err << Printable(problem) << '\n';
        return NothingHandedOn(kExitFailed);
    }
    for (const fs::path& target : targets) console_.out << Printable(target.string()) << '\n';
    return kExitConverted;
}

int MailRun::AppendMbox() {
    std::vector<MboxMail> entries;
    for (const PreparedChain& prepared : chains_) {
        for (const fs::path& built : prepared.mails) entries.push_back({built, options_.from, prepared.date});
    }
    // The "From " line wants the bare address.
    if (!options_.from.empty()) {
        const std::size_t open = options_.from.rfind('<');
        const std::size_t close = options_.from.rfind('>');
        if (open != std::string::npos && close != std::string::npos && close > open) {
            for (MboxMail& entry : entries) entry.sender = options_.from.substr(open + 1, close - open - 1);
        }
    }
    const std::string problem = AppendToMbox(options_.mbox, entries, [this] { return signals_->Pending(); });
    if (!problem.empty()) {
        console_.err << problem << '\n';
        return signals_->Pending() ? Interrupted() : kExitFailed;
    }
    for (const PreparedChain& prepared : chains_) {
        const std::size_t count = prepared.mails.size();
        console_.out << Printable(prepared.chain.sourceName) << ": " << count << (count == 1 ? " E-Mail" : " E-Mails")
                     << " an " << Printable(options_.mbox) << " angehängt\n";
    }
    return kExitConverted;
}

std::string MailRun::RepeatCommand(const PreparedChain& prepared, const std::vector<std::uint32_t>& numbers) const {
    std::string command = "calverdon-cli mail";
    for (const std::string& to : options_.to) command += " --to " + ShellWord(to);
    if (!options_.from.empty()) command += " --from " + ShellWord(options_.from);
    if (!options_.subject.empty()) command += " --subject " + ShellWord(options_.subject);
    if (options_.kilobytes) command += " --kb " + ShellWord(*options_.kilobytes);
    if (options_.mailSize) command += " --mail-size " + ShellWord(*options_.mailSize);
    command += *options_.sendmail == kDefaultSendmail ? std::string(" --sendmail")
                                                      : " --sendmail=" + ShellWord(*options_.sendmail);
    if (numbers.size() < prepared.chain.parts.size()) command += " --only-parts " + PartListText(numbers);
    command += " --chain-id " + prepared.chain.id;
    const std::string source = prepared.source.string();
    return command + " " + (source.starts_with('-') ? "./" : "") + ShellWord(source);
}

int MailRun::Send() {
    std::vector<std::vector<std::uint32_t>> sent(chains_.size());
    std::string failure;
    std::size_t failedChain = 0;
    std::uint32_t failedPart = 0;
    bool interrupted = false;
    for (std::size_t c = 0; c < chains_.size() && failure.empty() && !interrupted; ++c) {
        const PreparedChain& prepared = chains_[c];
        for (std::size_t i = 0; i < prepared.numbers.size(); ++i) {
            if (signals_->Pending()) {
                interrupted = true;
                break;
            }
            failure = HandToSendmail(sendmail_, prepared.mails[i], signals_->Previous());
            if (!failure.empty()) {
                failedChain = c;
                failedPart = prepared.numbers[i];
                break;
            }
            sent[c].push_back(prepared.numbers[i]);
        }
    }
    if (failure.empty() && !interrupted) {
        for (const PreparedChain& prepared : chains_) {
            const std::size_t total = prepared.chain.parts.size();
            console_.out << Printable(prepared.chain.sourceName) << ": ";
            if (prepared.numbers.size() == total) {
                console_.out << total << " von " << total << (total == 1 ? " Teil" : " Teilen") << " versandt\n";
            } else {
                console_.out << "Teil " << GermanList(prepared.numbers) << " von " << total << " versandt\n";
            }
        }
        return kExitConverted;
    }
    if (!failure.empty()) {
        console_.err << "Teil " << failedPart << " von " << chains_[failedChain].chain.parts.size() << " ("
                     << Printable(chains_[failedChain].chain.sourceName) << ") ging nicht hinaus: " << failure << '\n';
    }
    // Which parts went out and which did not, and the command for the rest.
    for (std::size_t c = 0; c < chains_.size(); ++c) {
        const PreparedChain& prepared = chains_[c];
        const std::size_t total = prepared.chain.parts.size();
        std::vector<std::uint32_t> missing;
        for (const std::uint32_t number : prepared.numbers) {
            if (std::find(sent[c].begin(), sent[c].end(), number) == sent[c].end()) missing.push_back(number);
        }
        if (missing.empty()) continue;
        console_.err << Printable(prepared.chain.sourceName) << ": ";
        if (sent[c].empty()) {
            console_.err << (total == 1 ? std::string("nicht versandt")
                                        : "Teil " + GermanList(missing) + " von " + std::to_string(total) +
                                              " nicht versandt");
        } else {
            console_.err << "Teil " << GermanList(sent[c]) << " von " << total << " versandt, Teil "
                         << GermanList(missing) << " nicht";
        }
        console_.err << ". Nachsenden mit:\n  " << Printable(RepeatCommand(prepared, missing)) << '\n';
    }
    return interrupted ? Interrupted() : kExitFailed;
}

int MailRun::Run() {
    if (const int usage = CheckUsage(); usage != kExitConverted) return usage;
    signals_ = std::make_unique<HeldSignals>();
    scratch_ = std::make_unique<mail::MailScratch>();
    if (scratch_->Path().empty()) {
        console_.err << "Fehler " << scratch_->Error() << " beim Anlegen des Arbeitsordners.\n";
        return NothingHandedOn(kExitFailed);
    }
    for (std::size_t i = 0; i < options_.sources.size(); ++i) {
        if (const int prepared = Prepare(options_.sources[i], i); prepared != kExitConverted) {
            return NothingHandedOn(prepared);
        }
    }
    switch (output_) {
        case Output::Folder: return WriteFolder();
        case Output::Mbox: return AppendMbox();
        case Output::Sendmail: return Send();
    }
    return kExitFailed;
}

}  // namespace

int RunMail(const MailOptions& options, Console& console) { return MailRun(options, console).Run(); }

namespace {

// The tool's help, with the optional value of --sendmail shown as such and
// the links between options in German.
class MailFormatter final : public CLI::Formatter {
public:
    explicit MailFormatter(const CLI::Formatter& base) : CLI::Formatter(base) {
        label("Needs", "nur mit");
        label("Excludes", "nicht mit");
    }
    std::string make_option_name(const CLI::Option* option, bool positional) const override {
        if (option->get_name() == "--sendmail") return "--sendmail[=BEFEHL]";
        return CLI::Formatter::make_option_name(option, positional);
    }
};

}  // namespace

Command AddMailCommand(CLI::App& app) {
    // The values as typed; what was given is known only after parsing.
    struct Typed {
        MailOptions options;
        std::string kilobytes;
        std::string mailSize;
        std::string sendmail;
    };
    auto typed = std::make_shared<Typed>();
    MailOptions& options = typed->options;
    const auto check = [](std::function<std::string(const std::string&)> problem) {
        return CLI::Validator(std::move(problem), "");
    };
    const auto noControls = [](const std::string& text) -> std::string {
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (ControlCharacterAt(text, i) != 0) return Printable(text) + " enthält Steuerzeichen";
        }
        return {};
    };
    const auto address = [](const std::string& text) -> std::string {
        const std::string problem = mail::AddressProblem(text);
        return problem.empty() ? problem : Printable(text) + " " + problem;
    };
    CLI::App* sub = app.add_subcommand("mail", "Dateien als Hex-Text-Teile in E-Mails verpacken und versenden");
    if (const auto* base = dynamic_cast<const CLI::Formatter*>(app.get_formatter().get())) {
        sub->formatter(std::make_shared<MailFormatter>(*base));
    }
    sub->add_option("--to", options.to, "Empfänger; mehrmals für mehrere")->type_name("ADRESSE")->check(check(address));
    sub->add_option("--from", options.from, "Absender (Vorgabe: keiner, den setzt das Mailprogramm)")
        ->type_name("ADRESSE")
        ->check(check(address));
    sub->add_option("--subject", options.subject, "Text vor dem Dateinamen im Betreff")->check(check(noControls));
    CLI::Option* kb = sub->add_option("--kb", typed->kilobytes,
                                      "Größte Teildatei in kB, wie bei encode (\"0\": eine E-Mail je Datei)");
    CLI::Option* size = sub->add_option("--mail-size", typed->mailSize,
                                        "Größte E-Mail in MB (1 MB = 1000000 Bytes) samt Kopf und Codierung "
                                        "(Vorgabe " + std::string(kDefaultMailSize) + ")")
                            ->type_name("MB")
                            ->check(check([](const std::string& text) {
                                std::uint64_t bytes = 0;
                                return ParseMailSize(text, bytes);
                            }));
    kb->excludes(size);
    CLI::Option* folder =
        sub->add_option("-o,--output", options.folder, "Ordner für die .eml-Dateien (Vorgabe: der aktuelle Ordner)")
            ->type_name("ORDNER");
    CLI::Option* mbox = sub->add_option("--mbox", options.mbox, "An diese mbox-Datei anhängen")->type_name("DATEI");
    CLI::Option* sendmail =
        sub->add_flag("--sendmail{" + std::string(kDefaultSendmail) + "}", typed->sendmail,
                      "Jede E-Mail an sendmail übergeben; --sendmail=BEFEHL nennt einen anderen Befehl "
                      "(Vorgabe \"" + std::string(kDefaultSendmail) + "\")");
    folder->excludes(mbox)->excludes(sendmail);
    mbox->excludes(sendmail);
    CLI::Option* only = sub->add_option("--only-parts", options.onlyParts,
                                        "Nur diese Teile, etwa 3,5-7, zum Nachsenden mit --chain-id")
                            ->type_name("LISTE")
                            ->check(check([](const std::string& text) {
                                PartRanges ranges;
                                return ParsePartList(text, ranges);
                            }));
    CLI::Option* chain = sub->add_option("--chain-id", options.chainId,
                                         "Kennung der Kette beim Nachsenden, wie der erste Versand sie nennt")
                             ->type_name("KENNUNG")
                             ->check(check([](const std::string& text) -> std::string {
                                 return mail::IsChainId(text) ? std::string()
                                                              : Printable(text) + " ist keine Kennung aus 16 Hex-Ziffern";
                             }));
    only->needs(chain);
    sub->add_flag("-y,--yes", options.yes, "Bestehende .eml-Dateien ohne Rückfrage überschreiben");
    sub->add_option("DATEI", options.sources, "Zu versendende Dateien")->required();
    return {sub, [typed, kb, size, sendmail](Console& console) {
                MailOptions run = typed->options;
                if (kb->count() > 0) run.kilobytes = typed->kilobytes;
                if (size->count() > 0) run.mailSize = typed->mailSize;
                if (sendmail->count() > 0) run.sendmail = typed->sendmail;
                return RunMail(run, console);
            }};
}

}  // namespace calverdon::cli
