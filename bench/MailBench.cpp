// Speed and memory of extracting a hex-text chain from a large mbox file,
// against peers on the same file in the same run: `cat` of the mbox to
// /dev/null, and Python's email package reading it (mailbox.mbox) and
// decoding every attachment. The mbox is generated in a temporary folder:
// ordinary mails (text, some with a small binary attachment) with the mails
// of one chain spread among them, each part a base64 attachment. Figures are
// MB/s of mbox input; the extraction runs in a child process, whose peak
// resident memory is reported.
//
// Usage: calverdon-bench-mail [--mbox-mib N] [--chain-mb N] [--part-kb N]
// Defaults: a 2048 MiB mbox holding a 300 MB chain in parts of 8000 kB.
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "Chains.h"
#include "HexText.h"
#include "MailScanner.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

class Answer final : public calverdon::UserMessages {
public:
    int Show(const std::string& text, const std::string& caption, calverdon::MessageKind) override {
        std::fprintf(stderr, "%s %s\n", caption.c_str(), text.c_str());
        return calverdon::kAnswerYes;
    }
};

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

// Runs a shell command and returns its wall time, or -1 when it failed.
double Shell(const std::string& command) {
    const double start = Now();
    pid_t pid = 0;
    const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
    if (posix_spawnp(&pid, "sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return Now() - start;
}

std::string Base64(std::string_view data) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve(data.size() * 4 / 3 + data.size() / 57 + 8);
    for (std::size_t i = 0; i < data.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, data.size() - i);
        std::uint32_t v = static_cast<unsigned char>(data[i]) << 16;
        if (n > 1) v |= static_cast<unsigned char>(data[i + 1]) << 8;
        if (n > 2) v |= static_cast<unsigned char>(data[i + 2]);
        out += digits[v >> 18 & 63];
        out += digits[v >> 12 & 63];
        out += n > 1 ? digits[v >> 6 & 63] : '=';
        out += n > 2 ? digits[v & 63] : '=';
        if ((i + 3) % 57 == 0) out += '\n';
    }
    if (out.empty() || out.back() != '\n') out += '\n';
    return out;
}

std::string MailWith(std::size_t number, const std::string& text, const std::string& name, std::string_view attachment) {
    std::string mail = "From sender@example.org Mon Jan  1 00:00:00 2024\nFrom: sender@example.org\n"
                       "To: reader@example.org\nSubject: Nachricht " + std::to_string(number) +
                       "\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"grenze\"\n\n"
                       "--grenze\nContent-Type: text/plain; charset=utf-8\n\n" + text + "\n";
    if (!name.empty()) {
        mail += "--grenze\nContent-Type: application/octet-stream; name=\"" + name +
                "\"\nContent-Disposition: attachment; filename=\"" + name +
                "\"\nContent-Transfer-Encoding: base64\n\n" + Base64(attachment);
    }
    return mail + "--grenze--\n\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::uint64_t mboxMiB = 2048;
    std::uint64_t chainMB = 300;
    std::string partKb = "8000";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--mbox-mib") mboxMiB = std::stoull(argv[i + 1]);
        if (arg == "--chain-mb") chainMB = std::stoull(argv[i + 1]);
        if (arg == "--part-kb") partKb = argv[i + 1];
    }
    std::string pattern = (fs::temp_directory_path() / "calverdon-bench-mail-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return 1;
    const fs::path folder = pattern;
    Answer answer;

    // The chain: random bytes, half the chain's size, encoded in parts.
    std::mt19937_64 random(20261209);
    {
        std::ofstream data(folder / "anhang.bin", std::ios::binary);
        std::vector<std::uint64_t> block(1 << 16);
        for (std::uint64_t done = 0, size = chainMB * 500000; done < size;) {
            for (auto& word : block) word = random();
            const auto n = std::min<std::uint64_t>(size - done, block.size() * 8);
            data.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n));
            done += n;
        }
    }
    if (calverdon::BinToHex(folder / "anhang.bin", folder / "anhang.txt", partKb, {answer}) !=
        calverdon::ConversionResult::Succeeded) {
        return 1;
    }
    std::vector<fs::path> parts;
    for (std::uint32_t n = 1; fs::exists(calverdon::PartPath(folder / "anhang.txt", n)); ++n) {
        parts.push_back(calverdon::PartPath(folder / "anhang.txt", n));
    }

    // The mbox: ordinary mails, and after every so many of them a part.
    const fs::path mbox = folder / "Posteingang";
    {
        std::ofstream out(mbox, std::ios::binary);
        const std::uint64_t target = mboxMiB << 20;
        std::uint64_t chainBytes = 0;
        for (const auto& part : parts) chainBytes += fs::file_size(part) * 4 / 3;
        const std::uint64_t between = (target > chainBytes ? target - chainBytes : 0) / (parts.size() + 1);
        std::string filler(200 * 1024, '\0');
        for (char& c : filler) c = static_cast<char>(random());
        std::string text;
        for (int line = 0; line < 40; ++line) text += "Sehr geehrte Damen und Herren, dies ist eine gewöhnliche Zeile.\n";
        std::size_t number = 0;
        std::uint64_t written = 0;
        for (std::size_t p = 0; p <= parts.size(); ++p) {
            for (std::uint64_t ordinary = 0; ordinary < between;) {
                ++number;
                const bool attach = number % 5 == 0;
                const std::string mail = MailWith(number, text, attach ? "foto.jpg" : "",
                                                  std::string_view(filler).substr(0, (number * 7919) % filler.size()));
                out << mail;
                ordinary += mail.size();
                written += mail.size();
            }
            if (p == parts.size()) break;
            std::ifstream in(parts[p], std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            const std::string mail = MailWith(++number, "Anbei ein Teil.\n", parts[p].filename().string(), bytes);
            out << mail;
            written += mail.size();
        }
    }
    for (const auto& part : parts) fs::remove(part);
    const double mboxMB = static_cast<double>(fs::file_size(mbox)) / 1e6;
    std::printf("mbox %.0f MB with a chain of %zu parts carrying %.0f MB (%.0f MB of hex text)\n", mboxMB,
                parts.size(), static_cast<double>(chainMB) / 2, static_cast<double>(chainMB));

    const std::string quoted = "'" + mbox.string() + "'";
    Shell("cat " + quoted + " > /dev/null");  // into the page cache
    const double cat = Shell("cat " + quoted + " > /dev/null");

    // The extraction, in a child so that its peak memory is its own.
    const fs::path target = folder / "ziel";
    fs::create_directory(target);
    const double start = Now();
    const pid_t child = fork();
    if (child == 0) {
        calverdon::mail::ScratchFolder scratch;
        calverdon::mail::MailScanner scanner(scratch.Path());
        scanner.Scan({mbox});
        const auto linked = calverdon::mail::LinkChains(scanner.Parts());
        bool ok = linked.chains.size() == 1 && linked.chains[0].Complete();
        if (ok) {
            ok = calverdon::mail::ExtractChain(linked.chains[0], scratch.Path(), target, {answer}, false).result ==
                 calverdon::ConversionResult::Succeeded;
        }
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const double ours = Now() - start;
    const bool extracted = WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
                           Shell("cmp -s '" + (folder / "anhang.bin").string() + "' '" + (target / "anhang.bin").string() + "'") >= 0;

    double python = -1;
    if (Shell("command -v python3 >/dev/null") >= 0) {
        python = Shell("python3 -c '\n"
                       "import mailbox, sys\n"
                       "n = 0\n"
                       "for message in mailbox.mbox(sys.argv[1], create=False):\n"
                       "    for part in message.walk():\n"
                       "        if not part.is_multipart():\n"
                       "            n += len(part.get_payload(decode=True) or b\"\")\n"
                       "' " + quoted);
    }

    std::printf("extraction %s, peak resident memory %.1f MiB\n", extracted ? "correct" : "FAILED",
                usage.ru_maxrss / 1024.0);
    std::printf("%-28s %8.1f MB/s\n", "calverdon extract", mboxMB / ours);
    if (cat > 0) std::printf("%-28s %8.1f MB/s   (ours: %.2f x)\n", "cat > /dev/null", mboxMB / cat, cat / ours);
    if (python > 0) {
        std::printf("%-28s %8.1f MB/s   (ours: %.2f x)\n", "python3 email (mailbox.mbox)", mboxMB / python, python / ours);
    } else {
        std::printf("python3 not available: no comparison with it\n");
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return extracted ? 0 : 1;
}
