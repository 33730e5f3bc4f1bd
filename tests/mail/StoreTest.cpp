// The store of incomplete chains ("Eingang") between runs of
// `calverdon-cli extract --keep-incomplete`: chains completed over two and
// three runs, two deliveries at once through the real program, a run that
// fails or dies in the middle of an addition, the same mail twice, a mail
// that mpack split into message/partial pieces, --waiting and
// --forget-older-than, and a chain delivered mail by mail through procmail
// into a Maildir. The chains are made by the real encoder, the mails with
// GMime; extract runs in-process where one run at a time is enough.
#include <fcntl.h>
#include <gmime/gmime.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "../cli/CliTestSupport.h"
#include "../convert/EngineTestSupport.h"
#include "Store.h"
#include "SystemCalls.h"
#include "../support/Spawn.h"
#include "../support/ObservedCalls.h"

namespace calverdon::testing {
namespace {

using sys::Call;

constexpr const char* kCli = CALVERDON_CLI;

// 2024-06-03 08:00 UTC, the day the mails were sent; noon UTC of a day is
// that day in every time zone from UTC-11 to UTC+11.
constexpr std::int64_t kJune = 1717401600;
constexpr std::int64_t kHour = 3600;
constexpr std::int64_t kDay = 24 * kHour;
constexpr std::int64_t kJuneNoon = kJune + 4 * kHour;

struct Unref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GPtr = std::unique_ptr<T, Unref>;

class Quiet final : public UserMessages {
public:
    int Show(const std::string&, const std::string&, MessageKind) override { return kAnswerYes; }
};

// One mail with a part file attached in base64, as mail programs send it.
std::string Mail(const std::string& subject, const std::string& id, std::int64_t date, const std::string& name,
                 const std::string& part) {
    GPtr<GMimeMessage> message(g_mime_message_new(TRUE));
    g_mime_message_add_mailbox(message.get(), GMIME_ADDRESS_TYPE_FROM, "Anna Sender", "anna@example.org");
    g_mime_message_add_mailbox(message.get(), GMIME_ADDRESS_TYPE_TO, "Bernd", "bernd@example.org");
    g_mime_message_set_subject(message.get(), subject.c_str(), "UTF-8");
    g_mime_message_set_message_id(message.get(), id.c_str());
    GDateTime* when = g_date_time_new_from_unix_utc(date);
    g_mime_message_set_date(message.get(), when);
    g_date_time_unref(when);
    GPtr<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
    GPtr<GMimeTextPart> body(g_mime_text_part_new_with_subtype("plain"));
    g_mime_text_part_set_text(body.get(), "Hallo Bernd,\n\nanbei ein Teil.\n\nAnna\n");
    g_mime_multipart_add(mixed.get(), GMIME_OBJECT(body.get()));
    GPtr<GMimePart> attachment(g_mime_part_new_with_type("text", "plain"));
    g_mime_part_set_filename(attachment.get(), name.c_str());
    GPtr<GMimeStream> bytes(g_mime_stream_mem_new_with_buffer(part.data(), part.size()));
    GPtr<GMimeDataWrapper> content(g_mime_data_wrapper_new_with_stream(bytes.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(attachment.get(), content.get());
    g_mime_part_set_content_encoding(attachment.get(), GMIME_CONTENT_ENCODING_BASE64);
    g_mime_multipart_add(mixed.get(), GMIME_OBJECT(attachment.get()));
    g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(mixed.get()));
    GPtr<GMimeStream> out(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(GMIME_OBJECT(message.get()), nullptr, out.get());
    GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out.get()));
    return {reinterpret_cast<const char*>(array->data), array->len};
}

std::string MboxEntry(const std::string& mail) { return "From anna@example.org Mon Jun  3 10:00:00 2024\n" + mail + "\n"; }

// What a folder holds: each file's name and bytes.
using Snapshot = std::map<std::string, std::string>;

Snapshot Take(const fs::path& folder) {
    Snapshot snapshot;
    for (const auto& entry : fs::directory_iterator(folder)) snapshot[entry.path().filename().string()] = ReadFile(entry.path());
    return snapshot;
}

// A store's snapshot without the times at which its parts came (the 13th
// field of each "P" line of the index), which differ from run to run.
Snapshot Untimed(Snapshot snapshot) {
    if (!snapshot.contains("index")) return snapshot;
    std::string index;
    std::istringstream in(snapshot["index"]);
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("P\t")) {
            std::size_t at = 0;
            for (int tab = 0; tab < 12 && at != std::string::npos; ++tab) at = line.find('\t', at + 1);
            if (at != std::string::npos) line.replace(at + 1, line.find('\t', at + 1) - at - 1, "T");
        }
        index += line + '\n';
    }
    snapshot["index"] = index;
    return snapshot;
}

// The entries of `now` that are in neither `before` nor `after`, with
// their sizes, and those of both that `now` lacks.
std::string Differences(const Snapshot& now, const Snapshot& before, const Snapshot& after) {
    std::string text;
    for (const auto& [name, bytes] : now) {
        const auto a = before.find(name);
        const auto b = after.find(name);
        if ((a == before.end() || a->second != bytes) && (b == after.end() || b->second != bytes)) {
            text += "\n" + name + (a != before.end() || b != after.end() ? " (other bytes" : " (new") + ", " +
                    std::to_string(bytes.size()) + " bytes)";
        }
    }
    for (const auto& [name, bytes] : after) {
        if (!now.contains(name) && before.contains(name)) text += "\n-" + name;
    }
    return text;
}

std::vector<std::string> NamesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

const std::vector<std::string> kEmptyStore = {"index", "sperre"};

std::vector<std::string> SortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Sets the time at which the parts that arrived under `name` came into the
// store: the index is a tab-separated text, the time the 13th field of a
// part's "P" line, the name the third field of its "N" lines.
void SetStoredTime(const fs::path& store, const std::string& name, std::int64_t time) {
    std::vector<std::vector<std::string>> records;
    std::set<std::string> keys;
    std::istringstream in(ReadFile(store / "index"));
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
        if (line.ends_with('\t')) fields.emplace_back();
        if (fields.size() == 3 && fields[0] == "N" && fields[2] == name) keys.insert(fields[1]);
        records.push_back(std::move(fields));
    }
    ASSERT_FALSE(keys.empty()) << name << " is not in the store";
    std::string text;
    for (std::vector<std::string>& fields : records) {
        if (fields[0] == "P" && keys.contains(fields[1])) fields.at(12) = std::to_string(time);
        for (std::size_t i = 0; i < fields.size(); ++i) text += (i > 0 ? "\t" : "") + fields[i];
        text += '\n';
    }
    WriteFile(store / "index", text);
}

// ---------------------------------------------------------------------------
// Programs started as the mail system starts them: a clean environment,
// standard input from a file.

using calverdon::testing::SpawnActions;

// A pipe whose ends close with it.
struct Pipe {
    Pipe() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) == 0) {
            readEnd = UniqueFd(fds[0]);
            writeEnd = UniqueFd(fds[1]);
        }
    }
    UniqueFd readEnd;
    UniqueFd writeEnd;
};

// Starts `args` with standard input from `input` and standard output and
// error into `output`'s write end; the pid, or -1.
pid_t Start(const std::vector<std::string>& args, const fs::path& input, int output,
            const std::vector<std::string>& environment) {
    SpawnActions actions;
    posix_spawn_file_actions_addopen(actions.get(), 0, input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(actions.get(), output, 1);
    posix_spawn_file_actions_adddup2(actions.get(), output, 2);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> variables = environment;
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], actions.get(), nullptr, argv.data(), envp.data()) != 0) return -1;
    return pid;
}

struct Finished {
    int status;       // the exit status, or -1 when it did not end normally
    std::string log;  // its standard output and error
};

// Reads the pipe until every process that holds its write end has closed
// it (those `pid` started in the background too), then reaps `pid`.
Finished Collect(pid_t pid, Pipe& pipe) {
    pipe.writeEnd.Close();
    std::string log;
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipe.readEnd.Get(), buffer, sizeof buffer)) != 0;) {
        if (got > 0) {
            log.append(buffer, static_cast<std::size_t>(got));
        } else if (errno != EINTR) {
            break;
        }
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return {-1, log + "waitpid failed"};
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, log};
}

Finished RunProgram(const std::vector<std::string>& args, const fs::path& input, const std::vector<std::string>& environment) {
    Pipe pipe;
    const pid_t pid = Start(args, input, pipe.writeEnd.Get(), environment);
    if (pid < 0) return {-1, args[0] + " could not be started: is it installed (tools/bootstrap)?"};
    return Collect(pid, pipe);
}

// Whether process `pid` comes to hold `file` open within ten seconds: a
// run of extract opens the store's lock file to wait for its lock.
bool WaitsAt(pid_t pid, const fs::path& file) {
    const fs::path fds = "/proc/" + std::to_string(pid) + "/fd";
    const fs::path wanted = fs::weakly_canonical(file);
    for (int tries = 0; tries < 1000; ++tries) {
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(fds, ignored)) {
            if (fs::read_symlink(entry.path(), ignored) == wanted) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// ---------------------------------------------------------------------------

struct Encoded {
    std::string data;             // the carried file's bytes
    std::vector<fs::path> mails;  // one mail file per part, in order
};

class StoreTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { g_mime_init(); }

    void SetUp() override { fs::create_directories(out); }

    // Encodes `size` bytes drawn from `seed` as NAME.pdf in parts of 1 kB
    // and writes one mail for each part, its subject "SUBJECT (n/N)"
    // unless `numbered` is false.
    Encoded Chain(const std::string& name, const std::string& subject, std::size_t size, std::size_t parts,
                  unsigned seed, bool numbered = true) {
        Encoded chain;
        std::mt19937 random(seed);
        chain.data.resize(size);
        for (char& c : chain.data) c = static_cast<char>(random());
        const fs::path where = folder / "ketten" / name;
        fs::create_directories(where);
        WriteFile(where / (name + ".pdf"), chain.data);
        Quiet quiet;
        EXPECT_EQ(BinToHex(where / (name + ".pdf"), where / (name + ".txt"), "1", {quiet}),
                  ConversionResult::Succeeded);
        for (std::uint32_t n = 1; fs::exists(PartPath(where / (name + ".txt"), n)); ++n) {
            const fs::path file = PartPath(where / (name + ".txt"), n);
            const std::string number = std::to_string(n);
            const std::string title = numbered ? subject + " (" + number + "/" + std::to_string(parts) + ")" : subject;
            chain.mails.push_back(where / (name + "-" + number + ".eml"));
            WriteFile(chain.mails.back(), Mail(title, name + number + "@example.org",
                                               kJune + kHour * static_cast<std::int64_t>(n - 1),
                                               file.filename().string(), ReadFile(file)));
        }
        EXPECT_EQ(chain.mails.size(), parts) << name << ": the chain's length depends on the encoder's part size";
        return chain;
    }

    // extract into `out` with the store at `store`.
    ToolRun Extract(const std::vector<fs::path>& mails) {
        std::vector<std::string> args = {"extract", "-C", out.string(), "--keep-incomplete=" + store.string()};
        for (const fs::path& mail : mails) args.push_back(mail.string());
        return RunTool(args);
    }

    std::string Decoded(const std::string& name) const { return fs::exists(out / name) ? ReadFile(out / name) : "(fehlt)"; }

    ScratchFolder folder;
    fs::path out = folder / "ziel";
    fs::path store = folder / "eingang";
};

// The variable set for the life of the object, then as it was.
class Variable {
public:
    Variable(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~Variable() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    Variable(const Variable&) = delete;
    Variable& operator=(const Variable&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

struct RunsRow {
    const char* name;
    std::vector<std::vector<std::size_t>> runs;  // the parts (from 0) each run is given
    bool defaultStore;                           // --keep-incomplete without a folder, in $XDG_STATE_HOME
    std::string firstReport;                     // what the first run says, when not empty
};

TEST_F(StoreTest, ChainCompletesOverTwoAndThreeRunsAndLeavesTheStore) {
    const Encoded chain = Chain("bericht", "Bericht", 1900, 4, 1);
    const RunsRow rows[] = {
        {"TwoRuns", {{0, 2}, {3, 1}}, false,
         "bericht.pdf: Teil 2 und 4 von 4 fehlen (2 von 4 Teilen gefunden); im Eingang aufbewahrt\n"},
        {"ThreeRunsTheFirstWithTheLastPartOnly", {{3}, {0, 2}, {1}}, true, ""},
    };
    for (const RunsRow& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(out);
        fs::create_directories(out);
        const fs::path state = folder / "state";
        std::optional<Variable> xdg;
        if (row.defaultStore) xdg.emplace("XDG_STATE_HOME", state.string());
        const fs::path used = row.defaultStore ? state / "calverdon" / "eingang" : store;
        const std::string option = row.defaultStore ? "--keep-incomplete" : "--keep-incomplete=" + store.string();
        for (std::size_t r = 0; r < row.runs.size(); ++r) {
            std::vector<std::string> args = {"extract", "-C", out.string(), option};
            for (const std::size_t n : row.runs[r]) args.push_back(chain.mails[n].string());
            const ToolRun run = RunTool(args);
            if (r + 1 < row.runs.size()) {
                EXPECT_EQ(run.exitCode, 3) << run.out << run.err;
                EXPECT_TRUE(fs::is_empty(out)) << "after run " << r + 1;
                if (r == 0 && !row.firstReport.empty()) {
                    EXPECT_EQ(run.out, row.firstReport);
                }
                continue;
            }
            EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
            EXPECT_EQ(run.out, "bericht.pdf: 4 von 4 Teilen, umgewandelt in " + (out / "bericht.pdf").string() + "\n");
            EXPECT_EQ(NamesIn(out), std::vector<std::string>{"bericht.pdf"});
            EXPECT_TRUE(Decoded("bericht.pdf") == chain.data) << "not the original bytes";
        }
        EXPECT_EQ(NamesIn(used), kEmptyStore);
        struct stat st {};
        ASSERT_EQ(::stat(used.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << "only its owner may read what mails brought";
    }
}

TEST_F(StoreTest, TwoDeliveriesAtOnceTakeTurnsAndTheSecondCompletesTheChain) {
    const Encoded chain = Chain("bericht", "Bericht", 1900, 4, 2);
    WriteFile(folder / "a.mbox", MboxEntry(ReadFile(chain.mails[0])) + MboxEntry(ReadFile(chain.mails[2])));
    WriteFile(folder / "b.mbox", MboxEntry(ReadFile(chain.mails[3])) + MboxEntry(ReadFile(chain.mails[1])));
    fs::create_directories(store);
    // The test holds the store's lock until both runs wait for it; a run
    // that cannot get it gives up after its limit.
    UniqueFd lock(::open((store / "sperre").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    ASSERT_TRUE(lock.IsOpen());
    ASSERT_EQ(::flock(lock.Get(), LOCK_EX), 0);
    std::string error;
    EXPECT_FALSE(mail::Store::Open(store, error, 100).has_value());
    EXPECT_EQ(error, "Der Eingang " + store.string() + " ist belegt: ein anderer Lauf arbeitet noch damit.");

    const std::vector<std::string> environment = {"HOME=" + folder.Path().string(), "TMPDIR=" + folder.Path().string(),
                                                  "PATH=/usr/bin:/bin", "LC_ALL=C.UTF-8"};
    std::array<Pipe, 2> pipes;
    std::array<pid_t, 2> pids{};
    for (std::size_t i = 0; i < 2; ++i) {
        pids[i] = Start({kCli, "extract", "--keep-incomplete=" + store.string(), "-C", out.string(), "-"},
                        folder / (i == 0 ? "a.mbox" : "b.mbox"), pipes[i].writeEnd.Get(), environment);
        ASSERT_GT(pids[i], 0);
    }
    for (const pid_t pid : pids) EXPECT_TRUE(WaitsAt(pid, store / "sperre")) << "run " << pid << " never reached the lock";
    lock.Close();
    std::vector<int> statuses;
    std::string logs;
    for (std::size_t i = 0; i < 2; ++i) {
        const Finished finished = Collect(pids[i], pipes[i]);
        statuses.push_back(finished.status);
        logs += finished.log;
    }
    std::sort(statuses.begin(), statuses.end());
    EXPECT_EQ(statuses, (std::vector<int>{0, 3})) << logs;
    EXPECT_TRUE(Decoded("bericht.pdf") == chain.data) << "missing, or not the original bytes\n" << logs;
    EXPECT_EQ(NamesIn(store), kEmptyStore);
}

// Counts the calls of each kind, and fails the `nth` of `kind` with
// `error`, or dies by SIGKILL just after it, as a crash would end the run.
class Injector final : public sys::CallObserver {
public:
    int Before(Call call) override {
        if (refuseUnnamed && call == Call::OpenUnnamed) return EOPNOTSUPP;
        const int count = ++counts[static_cast<int>(call)];
        if (!crash && call == kind && count == nth) return error;
        return 0;
    }
    void After(Call call) override {
        if (crash && call == kind && counts[static_cast<int>(call)] == nth) ::raise(SIGKILL);
    }

    std::array<int, sys::kCallKinds> counts{};
    Call kind = Call::Open;
    int nth = 0;
    int error = 0;
    bool crash = false;
    // The file system seems to have no unnamed files: pending files take
    // hidden names in the store, which a crash leaves behind.
    bool refuseUnnamed = false;
};

TEST_F(StoreTest, FailureOrCrashInAnAdditionLeavesTheStoreAsBeforeOrWithThePartWhole) {
    const Encoded chain = Chain("bericht", "Bericht", 1300, 3, 3);
    ASSERT_EQ(Extract({chain.mails[0]}).exitCode, 3);
    const Snapshot before = Take(store);
    const Snapshot untimedBefore = Untimed(before);
    const auto restore = [&] {
        fs::remove_all(store);
        fs::remove_all(out);
        fs::create_directories(store);
        fs::create_directories(out);
        for (const auto& [name, bytes] : before) WriteFile(store / name, bytes);
    };
    // A killed run leaves its scratch folder where TMPDIR says.
    const fs::path scratch = folder / "tmp";
    fs::create_directories(scratch);
    int cases = 0;
    for (const bool refuseUnnamed : {false, true}) {
        restore();
        Injector counter;
        counter.refuseUnnamed = refuseUnnamed;
        {
            calverdon::testing::ObservedCalls observed(counter);
            ASSERT_EQ(Extract({chain.mails[1]}).exitCode, 3);
        }
        const Snapshot after = Untimed(Take(store));
        ASSERT_NE(after, untimedBefore);
        for (const Call kind : {Call::Write, Call::Link, Call::Rename}) {
            for (int nth = 1; nth <= counter.counts[static_cast<int>(kind)]; ++nth) {
                for (const bool crash : {false, true}) {
                    const char* call = kind == Call::Write ? "write" : kind == Call::Link ? "link" : "rename";
                    SCOPED_TRACE(std::string(call) + " number " + std::to_string(nth) +
                                 (crash ? ", killed after it" : ", failing") +
                                 (refuseUnnamed ? ", hidden names" : ""));
                    ++cases;
                    restore();
                    Injector injector;
                    injector.refuseUnnamed = refuseUnnamed;
                    injector.kind = kind;
                    injector.nth = nth;
                    injector.error = kind == Call::Rename ? EIO : ENOSPC;
                    injector.crash = crash;
                    ToolRun failing{0, "", ""};
                    if (crash) {
                        const pid_t child = ::fork();
                        ASSERT_GE(child, 0);
                        if (child == 0) {
                            ::setenv("TMPDIR", scratch.c_str(), 1);
                            calverdon::testing::ObservedCalls observed(injector);
                            Extract({chain.mails[1]});
                            ::_exit(0);
                        }
                        int status = 0;
                        ASSERT_EQ(::waitpid(child, &status, 0), child);
                        EXPECT_TRUE(WIFSIGNALED(status));
                    } else {
                        calverdon::testing::ObservedCalls observed(injector);
                        failing = Extract({chain.mails[1]});
                        EXPECT_NE(failing.exitCode, 0);
                    }
                    // What the next run finds, once the store is opened.
                    {
                        std::string error;
                        ASSERT_TRUE(mail::Store::Open(store, error).has_value()) << error;
                    }
                    const Snapshot now = Untimed(Take(store));
                    EXPECT_TRUE(now == untimedBefore || now == after)
                        << "neither as before nor with part 2 whole:" << Differences(now, untimedBefore, after);
                    // A part that could not be kept is never reported as kept.
                    if (!crash && now == untimedBefore) {
                        EXPECT_NE(failing.err, "") << failing.out;
                    }
                    // The mail of part 2 handed in again, and part 3: the chain completes.
                    const ToolRun later = Extract({chain.mails[1], chain.mails[2]});
                    EXPECT_EQ(later.exitCode, 0) << later.out << later.err;
                    EXPECT_TRUE(Decoded("bericht.pdf") == chain.data) << "missing, or not the original bytes";
                    EXPECT_EQ(NamesIn(store), kEmptyStore);
                }
            }
        }
    }
    EXPECT_GE(cases, 12);
    RecordProperty("cases", cases);
}

TEST_F(StoreTest, SameMailTwiceChangesNothing) {
    const Encoded chain = Chain("bericht", "Bericht", 1300, 3, 4);
    ASSERT_EQ(Extract({chain.mails[0]}).exitCode, 3);
    const Snapshot once = Take(store);
    const ToolRun twice = Extract({chain.mails[0]});
    EXPECT_EQ(twice.exitCode, 3);
    EXPECT_EQ(Take(store), once) << "the store changed when a mail came a second time";
    ASSERT_EQ(Extract({chain.mails[2], chain.mails[1]}).exitCode, 0);
    ASSERT_TRUE(Decoded("bericht.pdf") == chain.data);
    // The first mail once more, after its chain was decoded: nothing new
    // waits, and no second file appears.
    const ToolRun late = Extract({chain.mails[0]});
    EXPECT_EQ(NamesIn(store), kEmptyStore) << late.out << late.err;
    EXPECT_EQ(NamesIn(out), std::vector<std::string>{"bericht.pdf"});
}

TEST_F(StoreTest, MailSplitByMpackIsPutTogetherInASecondRun) {
    // One part of about 4 kB, which mpack -m 2000 splits into three
    // message/partial pieces, foto.01 to foto.03.
    std::mt19937 random(5);
    std::string data(2000, '\0');
    for (char& c : data) c = static_cast<char>(random());
    const fs::path home = folder / "home";
    fs::create_directories(home);
    WriteFile(home / "foto.jpg", data);
    Quiet quiet;
    ASSERT_EQ(BinToHex(home / "foto.jpg", home / "foto.txt", "0", {quiet}), ConversionResult::Succeeded);
    const Finished mpack = RunProgram({"/usr/bin/mpack", "-m", "2000", "-s", "Foto", "-o", (home / "foto").string(),
                                (home / "foto.txt").string()},
                               "/dev/null", {"HOME=" + home.string(), "TMPDIR=" + home.string(), "PATH=/usr/bin:/bin"});
    ASSERT_EQ(mpack.status, 0) << mpack.log;
    ASSERT_TRUE(fs::exists(home / "foto.03") && !fs::exists(home / "foto.04")) << "mpack made other pieces";
    // The id that the pieces share, from the header of the first.
    const std::string first = ReadFile(home / "foto.01");
    const std::size_t at = first.find("id=\"");
    ASSERT_NE(at, std::string::npos) << first;
    const std::string id = first.substr(at + 4, first.find('"', at + 4) - at - 4);

    const ToolRun one = Extract({home / "foto.03", home / "foto.01"});
    EXPECT_EQ(one.exitCode, 3) << one.err;
    EXPECT_EQ(one.out, "Nachricht in Stücken „" + id + "“: 2 von 3 Stücken gefunden; im Eingang aufbewahrt\n");
    const ToolRun waiting = RunTool({"extract", "--waiting=" + store.string()});
    EXPECT_EQ(waiting.out, "Nachricht in Stücken „" + id + "“: 2 von 3 Stücken gefunden\n");
    EXPECT_TRUE(fs::is_empty(out));

    const ToolRun two = Extract({home / "foto.02"});
    EXPECT_EQ(two.exitCode, 0) << two.out << two.err;
    EXPECT_TRUE(Decoded("foto.jpg") == data) << "missing, or not the original bytes\n" << two.out;
    EXPECT_EQ(NamesIn(store), kEmptyStore);
}

TEST_F(StoreTest, WaitingListsEachChainWithWhatIsMissingAndTheOldestPart) {
    const ToolRun empty = RunTool({"extract", "--waiting=" + store.string()});
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.out, "Im Eingang wartet nichts.\n");

    const Encoded numbered = Chain("a", "Angebot", 1900, 4, 6);
    const Encoded unnumbered = Chain("b", "Bilanz", 1300, 3, 7, false);
    const Encoded stray = Chain("c", "Protokoll", 1300, 3, 8);
    ASSERT_EQ(Extract({numbered.mails[0], numbered.mails[2], unnumbered.mails[0], unnumbered.mails[1],
                       stray.mails[1]}).exitCode, 3);
    SetStoredTime(store, "a.txt", kJuneNoon + 2 * kDay);
    SetStoredTime(store, "a_3.txt", kJuneNoon);
    for (const char* name : {"b.txt", "b_2.txt", "c_2.txt"}) SetStoredTime(store, name, kJuneNoon + kDay);

    const ToolRun run = RunTool({"extract", "--waiting=" + store.string()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(SortedLines(run.out), SortedLines("a.pdf: 2 von 4 Teilen da, es fehlen Teil 2 und 4; ältester Teil vom 3.6.2024\n"
                                    "b.pdf: 2 Teile da, letzter Teil fehlt noch; ältester Teil vom 4.6.2024\n"
                                    "c_2.txt: Teil 2 da, erster Teil fehlt noch; angekommen am 4.6.2024\n"));
}

TEST_F(StoreTest, ForgetOlderThanRemovesOnlyChainsWhoseNewestPartIsOld) {
    const Encoded old = Chain("a", "Angebot", 1900, 4, 9);
    const Encoded recent = Chain("b", "Bilanz", 1300, 3, 10);
    const Encoded mixed = Chain("c", "Protokoll", 1300, 3, 11);
    ASSERT_EQ(Extract({old.mails[0], old.mails[1], recent.mails[0], recent.mails[1], mixed.mails[0],
                       mixed.mails[1]}).exitCode, 3);
    // Stored on 3 June 2024, long before any run of this test: a's parts
    // and the first of c's.
    for (const char* name : {"a.txt", "a_2.txt", "c.txt"}) SetStoredTime(store, name, kJuneNoon);

    const ToolRun run = RunTool({"extract", "--forget-older-than", "30", "--keep-incomplete=" + store.string()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "a.pdf: 2 von 4 Teilen da, es fehlen Teil 3 und 4; ältester Teil vom 3.6.2024; vergessen\n");
    // The other two complete from their last parts; a's parts have gone.
    const ToolRun rest = Extract({recent.mails[2], mixed.mails[2]});
    EXPECT_EQ(rest.exitCode, 0) << rest.out << rest.err;
    EXPECT_TRUE(Decoded("b.pdf") == recent.data && Decoded("c.pdf") == mixed.data) << rest.out;
    EXPECT_EQ(NamesIn(store), kEmptyStore);
}

// The recipe of the README, behind a prelude that keeps procmail and
// calverdon-cli inside the test's folder.
constexpr const char* kRecipe = R"(MAILDIR=$HOME/Maildir/
DEFAULT=$MAILDIR

:0 c
| calverdon-cli extract --keep-incomplete -C $HOME/Downloads -
)";

TEST_F(StoreTest, ProcmailDeliversEveryMailAndTheChainComesOutWithItsLastPart) {
    const Encoded chain = Chain("bericht", "Bericht", 1900, 4, 12);
    const fs::path home = folder / "home";
    for (const char* sub : {"cur", "new", "tmp"}) fs::create_directories(home / "Maildir" / sub);
    fs::create_directories(home / "Downloads");
    const fs::path state = home / "state";
    WriteFile(home / "procmailrc", "HOME=" + home.string() + "\nPATH=" + fs::path(kCli).parent_path().string() +
                                       ":/usr/bin:/bin\nXDG_STATE_HOME=" + state.string() + "\n" + kRecipe);
    const std::vector<std::string> environment = {"HOME=" + home.string(), "TMPDIR=" + home.string(),
                                                  "PATH=/usr/bin:/bin", "LC_ALL=C.UTF-8"};
    // Shuffled, part 1 twice; part 2 is the last to come.
    const std::size_t order[] = {2, 0, 3, 0, 1};
    for (std::size_t i = 0; i < std::size(order); ++i) {
        SCOPED_TRACE("mail " + std::to_string(i + 1) + ", part " + std::to_string(order[i] + 1));
        // procmail leaves the copy to calverdon-cli running in the
        // background: RunProgram reads their output until both have ended.
        const Finished delivery =
            RunProgram({"/usr/bin/procmail", "-p", "-m", (home / "procmailrc").string()}, chain.mails[order[i]], environment);
        ASSERT_EQ(delivery.status, 0) << delivery.log;
        if (i + 1 < std::size(order)) {
            EXPECT_TRUE(fs::is_empty(home / "Downloads")) << delivery.log;
        } else {
            EXPECT_EQ(NamesIn(home / "Downloads"), std::vector<std::string>{"bericht.pdf"}) << delivery.log;
            EXPECT_TRUE(fs::exists(home / "Downloads" / "bericht.pdf") &&
                        ReadFile(home / "Downloads" / "bericht.pdf") == chain.data)
                << "missing, or not the original bytes";
        }
    }
    EXPECT_EQ(NamesIn(home / "Maildir" / "new").size() + NamesIn(home / "Maildir" / "cur").size(), std::size(order));
    EXPECT_EQ(NamesIn(state / "calverdon" / "eingang"), kEmptyStore);
}

}  // namespace
}  // namespace calverdon::testing
