// Speed and memory of extracting hex-text chains from mail, each against a
// peer on the same input in the same run: Python's email package reading
// the same mbox (mailbox.mbox, decoding every part), and `cat` of it. Three
// measurements, each on an mbox generated in a temporary folder:
//
//   chains   mboxes of 1,000, 10,000 and 100,000 small chains, each part in
//            a mail of its own, the mails shuffled: time per chain, which
//            stays flat when extraction is linear in the chains;
//   headers  a mail that forwards a mail with 20 MiB of header lines, with
//            a chain beside it: peak resident memory;
//   large    a 2 GiB mbox of ordinary mails with one chain of 300 MB of hex
//            text among them: MB/s of mbox input and peak memory.
//
// Each extraction runs in a child process, whose peak memory is its own.
//
// Usage: calverdon-bench-mail [--chains N,N,...] [--header-mib N]
//                             [--mbox-mib N] [--chain-mb N] [--part-kb N]
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Extraction.h"
#include "HexText.h"
#include "ScratchFolder.h"
#include "TestMessages.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

struct Run {
    double seconds = -1;  // -1: failed
    double peakMiB = 0;
};

// Waits for a child and tells its time (from `start`) and peak memory.
Run Wait(pid_t child, double start) {
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    Run run;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) run.seconds = Now() - start;
    run.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    return run;
}

Run Shell(const std::string& command) {
    const double start = Now();
    pid_t pid = 0;
    const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
    if (posix_spawnp(&pid, "sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return {};
    return Wait(pid, start);
}

// Extracts `mbox` into `target` in a child; it succeeds when the report
// says that every chain was decoded.
Run Extract(const fs::path& mbox, const fs::path& target) {
    fs::create_directories(target);
    const double start = Now();
    const pid_t child = fork();
    if (child == 0) {
        calverdon::testing::SilentMessages yes;
        const auto report = calverdon::mail::ExtractAll({mbox}, target, {yes}, false);
        _exit(report.outcome == calverdon::mail::Outcome::AllVerified ? 0 : 1);
    }
    return Wait(child, start);
}

// Python's email package on the same mbox, decoding every leaf.
Run Python(const fs::path& mbox) {
    return Shell("python3 -c '\n"
                 "import mailbox, sys\n"
                 "n = 0\n"
                 "for message in mailbox.mbox(sys.argv[1], create=False):\n"
                 "    for part in message.walk():\n"
                 "        if not part.is_multipart():\n"
                 "            n += len(part.get_payload(decode=True) or b\"\")\n"
                 "' '" + mbox.string() + "'");
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

std::string Mail(const std::string& headers, const std::string& text, const std::string& name,
                 std::string_view attachment) {
    std::string mail = "From sender@example.org Mon Jan  1 00:00:00 2024\nFrom: sender@example.org\n" + headers +
                       "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"grenze\"\n\n"
                       "--grenze\nContent-Type: text/plain; charset=utf-8\n\n" + text + "\n";
    if (!name.empty()) {
        mail += "--grenze\nContent-Type: text/plain; charset=windows-1252; name=\"" + name +
                "\"\nContent-Disposition: attachment; filename=\"" + name +
                "\"\nContent-Transfer-Encoding: base64\n\n" + Base64(attachment);
    }
    return mail + "--grenze--\n\n";
}

// The two parts of a chain carrying `data` as NAME.txt and NAME_2.txt,
// written as the format has them.
std::vector<std::string> TwoParts(const std::string& name, const std::string& data) {
    static const char digits[] = "0123456789abcdef";
    std::uint32_t sum = calverdon::kChecksumStart;
    std::string hex[2];
    for (std::size_t i = 0; i < data.size(); ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        sum += b + 4u;
        std::string& into = hex[i < data.size() / 2 ? 0 : 1];
        into += digits[b >> 4];
        into += digits[b & 15];
        if (into.size() % 64 == 0) into += "\r\n";
    }
    char end[16];
    std::snprintf(end, sizeof end, "~~%08X", sum);
    return {std::string(calverdon::kMagicLine) + "\r\n" + name + ".bin\r\n" + hex[0] + "++" + name + "_2.txt\r\n",
            "2 LfdNr\r\n" + hex[1] + end};
}

// An mbox of `chains` chains of two parts, each part in a mail of its own,
// the mails in random order.
void WriteManyChains(const fs::path& mbox, std::size_t chains, std::mt19937_64& random) {
    std::vector<std::string> mails;
    mails.reserve(2 * chains);
    for (std::size_t c = 0; c < chains; ++c) {
        std::string data(200, '\0');
        for (char& b : data) b = static_cast<char>(random());
        const std::string name = "datei" + std::to_string(c);
        const auto parts = TwoParts(name, data);
        for (std::size_t p = 0; p < 2; ++p) {
            const std::string headers = "Subject: " + name + ".bin (" + std::to_string(p + 1) + "/2)\nMessage-ID: <" +
                                        name + "-" + std::to_string(p) + "@example.org>\n";
            mails.push_back(Mail(headers, "Anbei.", p == 0 ? name + ".txt" : name + "_2.txt", parts[p]));
        }
    }
    std::shuffle(mails.begin(), mails.end(), random);
    std::ofstream out(mbox, std::ios::binary);
    for (const std::string& mail : mails) out << mail;
}

void BenchChains(const fs::path& folder, const std::vector<std::size_t>& counts, std::mt19937_64& random) {
    std::printf("\nchains: extraction time per chain (two parts, each in a mail of its own)\n");
    std::printf("%10s %14s %14s %10s\n", "chains", "ours ms/chain", "python ms/ch.", "ours: x");
    for (const std::size_t count : counts) {
        const fs::path mbox = folder / ("ketten-" + std::to_string(count));
        WriteManyChains(mbox, count, random);
        const Run ours = Extract(mbox, folder / ("ziel-" + std::to_string(count)));
        const Run python = Python(mbox);
        const auto perChain = [&](const Run& run) { return run.seconds < 0 ? -1.0 : run.seconds * 1000 / count; };
        std::printf("%10zu %14.3f %14.3f %10.2f%s\n", count, perChain(ours), perChain(python),
                    ours.seconds > 0 && python.seconds > 0 ? python.seconds / ours.seconds : 0.0,
                    ours.seconds < 0 ? "   extraction FAILED" : "");
        fs::remove(mbox);
        fs::remove_all(folder / ("ziel-" + std::to_string(count)));
    }
}

void BenchHeaders(const fs::path& folder, std::uint64_t headerMiB) {
    const fs::path mbox = folder / "kopfzeilen";
    {
        std::ofstream out(mbox, std::ios::binary);
        out << "From sender@example.org Mon Jan  1 00:00:00 2024\nFrom: sender@example.org\nSubject: Weiter\n"
               "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"aussen\"\n\n"
               "--aussen\nContent-Type: text/plain\n\nWeitergeleitet.\n"
               "--aussen\nContent-Type: message/rfc822\n\nFrom: other@example.org\n";
        // Many small header fields, the case that costs a parser the most.
        for (std::uint64_t written = 0, n = 0; written < (headerMiB << 20); ++n) {
            const std::string field = "X-F" + std::to_string(n % 1000) + ": v\n";
            out << field;
            written += field.size();
        }
        out << "Subject: innen\n\nText\n";
        const auto parts = TwoParts("klein", std::string(300, 'k'));
        out << "--aussen\nContent-Type: text/plain; name=klein.txt\n\n" << parts[0]
            << "\n--aussen\nContent-Type: text/plain; name=klein_2.txt\n\n" << parts[1] << "\n--aussen--\n";
    }
    const Run ours = Extract(mbox, folder / "ziel-kopf");
    const Run python = Python(mbox);
    std::printf("\nheaders: a forwarded mail with %llu MiB of header lines\n",
                static_cast<unsigned long long>(headerMiB));
    std::printf("ours %s, peak %.1f MiB; python peak %.1f MiB (ours: %.2f x its memory)\n",
                ours.seconds < 0 ? "FAILED" : "correct", ours.peakMiB, python.peakMiB,
                python.peakMiB > 0 ? ours.peakMiB / python.peakMiB : 0.0);
    fs::remove(mbox);
}

void BenchLarge(const fs::path& folder, std::uint64_t mboxMiB, std::uint64_t chainMB, const std::string& partKb,
                std::mt19937_64& random) {
    calverdon::testing::SilentMessages yes;
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
    if (calverdon::BinToHex(folder / "anhang.bin", folder / "anhang.txt", partKb, {yes}) !=
        calverdon::ConversionResult::Succeeded) {
        std::printf("large: encoding the chain failed\n");
        return;
    }
    std::vector<fs::path> parts;
    for (std::uint32_t n = 1; fs::exists(calverdon::PartPath(folder / "anhang.txt", n)); ++n) {
        parts.push_back(calverdon::PartPath(folder / "anhang.txt", n));
    }
    // Ordinary mails, and after every so many of them a part.
    const fs::path mbox = folder / "Posteingang";
    {
        std::ofstream out(mbox, std::ios::binary);
        std::uint64_t chainBytes = 0;
        for (const auto& part : parts) chainBytes += fs::file_size(part) * 4 / 3;
        const std::uint64_t target = mboxMiB << 20;
        const std::uint64_t between = (target > chainBytes ? target - chainBytes : 0) / (parts.size() + 1);
        std::string filler(200 * 1024, '\0');
        for (char& c : filler) c = static_cast<char>(random());
        std::string text;
        for (int line = 0; line < 40; ++line) text += "Sehr geehrte Damen und Herren, dies ist eine gewöhnliche Zeile.\n";
        std::size_t number = 0;
        for (std::size_t p = 0; p <= parts.size(); ++p) {
            for (std::uint64_t ordinary = 0; ordinary < between;) {
                ++number;
                const std::string headers = "Subject: Nachricht " + std::to_string(number) + "\n";
                const std::string mail = Mail(headers, text, number % 5 == 0 ? "foto.jpg" : "",
                                              std::string_view(filler).substr(0, (number * 7919) % filler.size()));
                out << mail;
                ordinary += mail.size();
            }
            if (p == parts.size()) break;
            std::ifstream in(parts[p], std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            out << Mail("Subject: Teil\n", "Anbei ein Teil.", parts[p].filename().string(), bytes);
        }
    }
    for (const auto& part : parts) fs::remove(part);
    const double mboxMB = static_cast<double>(fs::file_size(mbox)) / 1e6;
    std::printf("\nlarge: mbox %.0f MB with a chain of %zu parts carrying %.0f MB\n", mboxMB, parts.size(),
                static_cast<double>(chainMB) / 2);
    Shell("cat '" + mbox.string() + "' > /dev/null");  // into the page cache
    const Run cat = Shell("cat '" + mbox.string() + "' > /dev/null");
    const Run ours = Extract(mbox, folder / "ziel");
    const bool same = ours.seconds > 0 &&
                      Shell("cmp -s '" + (folder / "anhang.bin").string() + "' '" + (folder / "ziel" / "anhang.bin").string() + "'")
                              .seconds >= 0;
    const Run python = Python(mbox);
    std::printf("extraction %s, peak resident memory %.1f MiB\n", same ? "correct" : "FAILED", ours.peakMiB);
    std::printf("%-28s %8.1f MB/s\n", "calverdon extract", mboxMB / ours.seconds);
    if (cat.seconds > 0) std::printf("%-28s %8.1f MB/s   (ours: %.2f x)\n", "cat > /dev/null", mboxMB / cat.seconds, cat.seconds / ours.seconds);
    if (python.seconds > 0) {
        std::printf("%-28s %8.1f MB/s   (ours: %.2f x)\n", "python3 email (mailbox.mbox)", mboxMB / python.seconds,
                    python.seconds / ours.seconds);
    }
}

// The command-line tool beside this program in the build tree.
fs::path CliTool() {
    std::error_code ignored;
    return fs::read_symlink("/proc/self/exe", ignored).parent_path().parent_path() / "cli" / "calverdon-cli";
}

// Taking one mail into a store that holds `waiting` chains waiting for
// their last part, as a mail filter does: the tool started with the mail on
// standard input, against the same tool without a store.
void BenchStore(const fs::path& folder, std::size_t waiting, std::mt19937_64& random) {
    const fs::path store = folder / "eingang";
    const fs::path firsts = folder / "erste-teile";
    {
        std::vector<std::string> mails;
        for (std::size_t c = 0; c < waiting; ++c) {
            std::string data(200, '\0');
            for (char& b : data) b = static_cast<char>(random());
            const std::string name = "wartet" + std::to_string(c);
            const std::string headers = "Subject: " + name + ".bin (1/2)\nMessage-ID: <" + name + "@example.org>\n";
            mails.push_back(Mail(headers, "Anbei.", name + ".txt", TwoParts(name, data)[0]));
        }
        std::ofstream out(firsts, std::ios::binary);
        for (const std::string& mail : mails) out << mail;
    }
    fs::create_directories(folder / "ziel-eingang");
    calverdon::testing::SilentMessages yes;
    calverdon::mail::ExtractOptions fill;
    fill.store = store;
    calverdon::mail::ExtractAll({firsts}, folder / "ziel-eingang", {yes}, fill);
    std::uint64_t parts = 0;
    std::uint64_t partBytes = 0;
    std::uint64_t total = 0;
    for (const auto& entry : fs::directory_iterator(store)) {
        total += entry.file_size();
        if (entry.path().extension() == ".teil") {
            ++parts;
            partBytes += entry.file_size();
        }
    }
    // One more first part, which waits as well.
    const fs::path mail = folder / "neu.eml";
    {
        std::ofstream out(mail, std::ios::binary);
        out << Mail("Subject: neu.bin (1/2)\nMessage-ID: <neu@example.org>\n", "Anbei.", "neu.txt",
                    TwoParts("neu", std::string(200, 'n'))[0]);
    }
    const auto median = [&](const std::string& command) {
        std::vector<double> times;
        // Exit status 3 is the expected answer: the chain is not whole yet.
        for (int i = 0; i < 11; ++i) times.push_back(Shell(command + "; true").seconds);
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    };
    const std::string tool = "'" + CliTool().string() + "' extract -C '" + (folder / "ziel-eingang").string() + "'";
    const double withStore = median(tool + " --keep-incomplete='" + store.string() + "' - < '" + mail.string() + "' > /dev/null");
    const double without = median(tool + " - < '" + mail.string() + "' > /dev/null");
    std::printf("\nstore: one mail into a store of %zu waiting chains\n", waiting);
    std::printf("with the store %.1f ms, without %.1f ms (the store costs %.2f x the run without it)\n",
                withStore * 1000, without * 1000, withStore / without);
    std::printf("store: %llu parts holding %.1f kB of hex text take %.1f kB with the index (%.2f x)\n",
                static_cast<unsigned long long>(parts), partBytes / 1000.0, total / 1000.0,
                partBytes > 0 ? static_cast<double>(total) / static_cast<double>(partBytes) : 0.0);
}

std::vector<std::size_t> Counts(const std::string& text) {
    std::vector<std::size_t> counts;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');) counts.push_back(std::stoull(item));
    return counts;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> chains{1000, 10000, 100000};
    std::uint64_t headerMiB = 20;
    std::uint64_t mboxMiB = 2048;
    std::uint64_t chainMB = 300;
    std::string partKb = "8000";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--chains") chains = Counts(argv[i + 1]);
        if (arg == "--header-mib") headerMiB = std::stoull(argv[i + 1]);
        if (arg == "--mbox-mib") mboxMiB = std::stoull(argv[i + 1]);
        if (arg == "--chain-mb") chainMB = std::stoull(argv[i + 1]);
        if (arg == "--part-kb") partKb = argv[i + 1];
    }
    calverdon::ScratchFolder folder("calverdon-bench-mail");
    std::mt19937_64 random(20261209);
    BenchChains(folder.Path(), chains, random);
    BenchStore(folder.Path(), 1000, random);
    BenchHeaders(folder.Path(), headerMiB);
    if (mboxMiB > 0) BenchLarge(folder.Path(), mboxMiB, chainMB, partKb, random);
    return 0;
}
