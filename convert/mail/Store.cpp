#include "Store.h"

#include <fcntl.h>
#include <glib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "MailTexts.h"
#include "PendingFile.h"

namespace calverdon::mail {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kIndexName = "index";
constexpr std::string_view kLockName = "sperre";
constexpr std::string_view kIndexHeader = "Calverdon-Eingang 1";
constexpr std::string_view kPartSuffix = ".teil";
constexpr std::string_view kPiecePrefix = "stueck-";
// How long the parts of a decoded chain are remembered: a mail handed in
// again within that time changes nothing.
constexpr std::int64_t kRememberUsedSeconds = 90 * 86400;

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char c : bytes) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

std::string Sha256Hex(std::string_view text) {
    gchar* digest = g_compute_checksum_for_data(G_CHECKSUM_SHA256, reinterpret_cast<const guchar*>(text.data()),
                                                text.size());
    std::string hex(digest);
    g_free(digest);
    return hex;
}

// A field of the index: no tab and no line end in it.
std::string Field(std::string_view text) {
    std::string field(text);
    for (char& c : field) {
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    }
    return field;
}

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

std::uint64_t Number(const std::string& text) { return std::strtoull(text.c_str(), nullptr, 10); }
std::int64_t Signed(const std::string& text) { return std::strtoll(text.c_str(), nullptr, 10); }

std::int64_t Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// Copies `size` bytes from `offset` of `from` into a new file `to`, which
// appears only complete; true when it is there (also when it was there).
bool CopyInto(const fs::path& from, std::uint64_t offset, std::uint64_t size, const fs::path& to, int& error) {
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) return true;
    UniqueFd in = OpenForReading(from, error);
    if (!in.IsOpen()) return false;
    BufferedReader reader(std::move(in), offset, size);
    PendingFile copy;
    if (!copy.Create(to.parent_path(), error)) return false;
    copy.SetPermissions(0600);
    std::uint64_t copied = 0;
    for (auto span = reader.Peek(); !span.empty(); span = reader.Peek()) {
        copy.Writer().Write(span.data(), span.size());
        reader.Consume(span.size());
        copied += span.size();
    }
    if (reader.Error() != 0) {
        error = reader.Error();
        return false;
    }
    // A copy shorter than the part would be kept as if whole.
    if (size != UINT64_MAX && copied != size) {
        error = EIO;
        return false;
    }
    if (copy.PublishNew(to, true, error)) return true;
    return error == EEXIST;
}

}  // namespace

fs::path DefaultStorePath() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/') {
        return fs::path(state) / "calverdon" / "eingang";
    }
    const char* home = std::getenv("HOME");
    return fs::path(home != nullptr ? home : "/") / ".local" / "state" / "calverdon" / "eingang";
}

std::optional<Store> Store::Open(const fs::path& folder, std::string& error, int waitMilliseconds) {
    std::error_code made;
    fs::create_directories(folder, made);
    if (made || !fs::is_directory(folder)) {
        error = texts::StoreCannotBeMade(folder.string());
        return std::nullopt;
    }
    // Only its owner may read what mails brought.
    ::chmod(folder.c_str(), 0700);
    Store store(folder);
    store.lock_ = UniqueFd(::open((folder / kLockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!store.lock_.IsOpen()) {
        error = texts::StoreOpenFailed(folder.string(), errno);
        return std::nullopt;
    }
    // A mail filter may start several deliveries at once: they take turns,
    // and none waits for ever.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
    while (::flock(store.lock_.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            error = texts::StoreLockFailed(folder.string(), errno);
            return std::nullopt;
        }
        if (std::chrono::steady_clock::now() >= until) {
            error = texts::StoreBusy(folder.string());
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!store.Load(error)) return std::nullopt;
    return store;
}

std::string Store::KeyOf(const FoundPart& part) { return Sha256Hex(DataKey(part)); }

void Store::MarkUsed(const std::string& key) {
    used_[key] = Now();
    changed_ = true;
}

std::string Store::FileFor(const std::string& key) const { return (folder_ / (key + std::string(kPartSuffix))).string(); }

bool Store::Load(std::string& error) {
    // What the folder holds, read once: every part listed must be there.
    std::set<std::string> present;
    std::error_code listed;
    for (const auto& entry : fs::directory_iterator(folder_, listed)) present.insert(entry.path().filename().string());
    std::ifstream index(folder_ / kIndexName, std::ios::binary);
    std::set<std::string> known;
    if (index) {
        std::string line;
        if (!std::getline(index, line) || line != kIndexHeader) {
            error = texts::StoreUnknownIndex(folder_.string());
            return false;
        }
        std::map<std::string, std::size_t> mailIds;
        while (std::getline(index, line)) {
            const std::vector<std::string> f = Split(line);
            if (f[0] == "M" && f.size() >= 13) {
                MailInfo info;
                info.messageId = f[2];
                info.subjectPart = static_cast<std::uint32_t>(Number(f[3]));
                info.subjectTotal = static_cast<std::uint32_t>(Number(f[4]));
                info.headerPart = static_cast<std::uint32_t>(Number(f[5]));
                info.headerTotal = static_cast<std::uint32_t>(Number(f[6]));
                info.date = Signed(f[7]);
                info.from = f[8];
                info.chainId = f[9];
                info.subjectKey = f[10];
                info.subject = f[11];
                std::istringstream refs(f[12]);
                for (std::string id; refs >> id;) info.references.push_back(id);
                mailIds[f[1]] = mails_.size();
                mails_.push_back(std::move(info));
            } else if (f[0] == "P" && f.size() >= 18) {
                FoundPart part;
                part.number = static_cast<std::uint32_t>(Number(f[2]));
                part.end = static_cast<PartEnd>(Number(f[3]) % 3);
                part.digest.bytes = Number(f[4]);
                part.digest.sum = static_cast<std::uint32_t>(Number(f[5]));
                const std::string hash = f[6];
                for (std::size_t i = 0; i < part.digest.hash.size() && 2 * i + 1 < hash.size(); ++i) {
                    part.digest.hash[i] = static_cast<std::uint8_t>(std::stoul(hash.substr(2 * i, 2), nullptr, 16));
                }
                part.digest.endChecksum.value = static_cast<std::uint32_t>(Number(f[7]));
                part.digest.endChecksum.digits = static_cast<int>(Number(f[8]));
                part.digest.endChecksum.beforeBreak = static_cast<std::uint32_t>(Number(f[9]));
                part.digest.endChecksum.digitsBeforeBreak = static_cast<int>(Number(f[10]));
                part.date = Signed(f[11]);
                const std::int64_t stored = Signed(f[12]);
                part.size = Number(f[13]);
                part.nextName = f[14];
                part.headerName = f[15];
                std::istringstream mails(f[16]);
                for (std::string id; std::getline(mails, id, ',');) {
                    if (const auto it = mailIds.find(id); it != mailIds.end()) {
                        part.mails.push_back(static_cast<std::uint32_t>(it->second));
                    }
                }
                const std::string key = f[1];
                part.file = FileFor(key);
                if (!present.contains(key + std::string(kPartSuffix))) continue;
                byKey_[key] = parts_.size();
                keys_.push_back(key);
                stored_.push_back(stored);
                parts_.push_back(std::move(part));
                known.insert(key + std::string(kPartSuffix));
            } else if ((f[0] == "N" || f[0] == "F") && f.size() >= 3) {
                const auto it = byKey_.find(f[1]);
                if (it == byKey_.end()) continue;
                (f[0] == "N" ? parts_[it->second].names : parts_[it->second].files).push_back(f[2]);
            } else if (f[0] == "U" && f.size() >= 3) {
                const std::int64_t when = Signed(f[2]);
                if (Now() - when < kRememberUsedSeconds) used_[f[1]] = when;
            } else if (f[0] == "S" && f.size() >= 7) {
                Piece piece;
                piece.id = f[1];
                piece.number = static_cast<std::uint32_t>(Number(f[2]));
                piece.total = static_cast<std::uint32_t>(Number(f[3]));
                piece.date = Signed(f[4]);
                piece.file = folder_ / f[6];
                if (!present.contains(f[6])) continue;
                known.insert(f[6]);
                pieces_.push_back(std::move(piece));
            }
        }
    }
    // What an interrupted run wrote but never listed is no addition: it
    // goes, so that the store is as it was before that run.
    std::error_code ignored;
    for (const std::string& name : present) {
        const bool ours = name.ends_with(kPartSuffix) || name.starts_with(kPiecePrefix) || name.starts_with(".calverdon-");
        if (ours && !known.contains(name)) fs::remove_all(folder_ / name, ignored);
    }
    return true;
}

bool Store::Add(const FoundPart& part, const std::vector<MailInfo>& mails, int& error) {
    const std::string key = KeyOf(part);
    std::size_t index = 0;
    if (const auto known = byKey_.find(key); known != byKey_.end()) {
        index = known->second;
        removed_.erase(index);
    } else {
        const fs::path file = FileFor(key);
        if (!CopyInto(part.file, part.offset, part.size, file, error)) return false;
        FoundPart kept = part;
        kept.file = file;
        kept.offset = 0;
        kept.mails.clear();
        kept.names.clear();
        kept.files.clear();
        index = parts_.size();
        byKey_[key] = index;
        keys_.push_back(key);
        stored_.push_back(Now());
        parts_.push_back(std::move(kept));
    }
    FoundPart& kept = parts_[index];
    for (const std::string& name : part.names) {
        if (std::find(kept.names.begin(), kept.names.end(), name) == kept.names.end()) kept.names.push_back(name);
    }
    for (const std::string& file : part.files) {
        if (std::find(kept.files.begin(), kept.files.end(), file) == kept.files.end()) kept.files.push_back(file);
    }
    for (const std::uint32_t mail : part.mails) {
        if (mail >= mails.size()) continue;
        // The same mail handed in twice is one mail.
        const MailInfo& info = mails[mail];
        std::size_t at = mails_.size();
        for (const std::uint32_t have : kept.mails) {
            if (mails_[have].messageId == info.messageId && mails_[have].subject == info.subject &&
                mails_[have].date == info.date) {
                at = have;
            }
        }
        if (at == mails_.size()) {
            mails_.push_back(info);
            kept.mails.push_back(static_cast<std::uint32_t>(at));
        }
    }
    kept.date = std::max(kept.date, part.date);
    changed_ = true;
    return true;
}

bool Store::AddPiece(const Piece& piece, int& error) {
    for (const Piece& known : pieces_) {
        if (known.id == piece.id && known.number == piece.number) return true;
    }
    const std::string name = std::string(kPiecePrefix) + Sha256Hex(piece.id).substr(0, 32) + "-" +
                             std::to_string(piece.number) + ".eml";
    if (!CopyInto(piece.file, 0, UINT64_MAX, folder_ / name, error)) return false;
    Piece kept = piece;
    kept.file = folder_ / name;
    kept.date = Now();
    pieces_.push_back(std::move(kept));
    changed_ = true;
    return true;
}

std::size_t Store::ForgetBefore(std::int64_t cutoff, const std::vector<std::vector<std::size_t>>& chains) {
    std::size_t forgotten = 0;
    for (const std::vector<std::size_t>& chain : chains) {
        std::int64_t newest = 0;
        for (const std::size_t part : chain) newest = std::max(newest, stored_[part]);
        if (newest >= cutoff) continue;
        for (const std::size_t part : chain) forgotten += removed_.insert(part).second ? 1 : 0;
    }
    for (const Piece& piece : pieces_) {
        if (piece.date < cutoff) removedPieces_.insert(piece.id);
    }
    return forgotten;
}

bool Store::Commit(int& error) {
    if (!changed_ && removed_.empty() && removedPieces_.empty()) return true;
    std::ostringstream out;
    out << kIndexHeader << '\n';
    std::size_t mailNumber = 0;
    for (std::size_t i = 0; i < parts_.size(); ++i) {
        if (removed_.contains(i)) continue;
        const FoundPart& part = parts_[i];
        std::string mailList;
        for (const std::uint32_t mail : part.mails) {
            const MailInfo& info = mails_[mail];
            std::string refs;
            for (const std::string& id : info.references) refs += (refs.empty() ? "" : " ") + Field(id);
            const std::string id = std::to_string(mailNumber++);
            out << "M\t" << id << '\t' << Field(info.messageId) << '\t' << info.subjectPart << '\t'
                << info.subjectTotal << '\t' << info.headerPart << '\t' << info.headerTotal << '\t' << info.date << '\t'
                << Field(info.from) << '\t' << Field(info.chainId) << '\t' << Field(info.subjectKey) << '\t'
                << Field(info.subject) << '\t' << refs << '\n';
            mailList += (mailList.empty() ? "" : ",") + id;
        }
        const format::ScannedChecksum& end = part.digest.endChecksum;
        out << "P\t" << keys_[i] << '\t' << part.number << '\t' << static_cast<int>(part.end) << '\t'
            << part.digest.bytes << '\t' << part.digest.sum << '\t'
            << Hex(std::string(part.digest.hash.begin(), part.digest.hash.end())) << '\t' << end.value << '\t'
            << end.digits << '\t' << end.beforeBreak << '\t' << end.digitsBeforeBreak << '\t' << part.date << '\t'
            << stored_[i] << '\t' << part.size << '\t' << Field(part.nextName) << '\t' << Field(part.headerName)
            << '\t' << mailList << "\t.\n";
        for (const std::string& name : part.names) out << "N\t" << keys_[i] << '\t' << Field(name) << '\n';
        for (const std::string& file : part.files) out << "F\t" << keys_[i] << '\t' << Field(file) << '\n';
    }
    for (const Piece& piece : pieces_) {
        if (removedPieces_.contains(piece.id)) continue;
        out << "S\t" << Field(piece.id) << '\t' << piece.number << '\t' << piece.total << '\t' << piece.date
            << "\t.\t" << piece.file.filename().string() << '\n';
    }
    for (const auto& [key, when] : used_) out << "U\t" << key << '\t' << when << '\n';
    const std::string text = out.str();
    PendingFile index;
    if (!index.Create(folder_, error)) return false;
    index.SetPermissions(0600);
    index.Writer().Write(text);
    if (!index.Replace(folder_ / kIndexName, true, error)) return false;
    // The index no longer lists them: what went can go from the disk.
    for (const std::size_t i : removed_) ::unlink(parts_[i].file.c_str());
    for (const Piece& piece : pieces_) {
        if (removedPieces_.contains(piece.id)) ::unlink(piece.file.c_str());
    }
    changed_ = false;
    return true;
}

}  // namespace calverdon::mail
