#pragma once
// What a file is, seen from its first bytes: a hex-text part file, a mail,
// an mbox, or nothing of the kind. This one rule decides for the command
// line and for the window alike. And the guard against mails whose header
// blocks go beyond all measure.

#include <filesystem>
#include <string_view>

namespace calverdon::mail {

enum class MailForm { None, Mail, Mbox };

// A mail starts with a header field ("Name: value"), an mbox with a
// "From " line.
MailForm MailFormOf(std::string_view head);
// Whether the first line of `head` starts a hex-text part, as a part
// file's does.
bool StartsWithPart(std::string_view head);
// The form of the file at `path`, read without ever blocking: only a
// regular file can be a mail, an mbox or a part file.
enum class FileForm { None, Part, Mail, Mbox, Unreadable };
FileForm FileFormOf(const std::filesystem::path& path);

// A header block holds at most this many lines, and this many bytes; the
// parser keeps every field of a block, so a mail beyond these is read from
// a copy that keeps only their beginning.
inline constexpr std::size_t kMaxHeaderLines = 5000;
inline constexpr std::size_t kMaxHeaderBytes = 1 << 20;
inline constexpr std::size_t kMaxHeaderLineBytes = 64 * 1024;

// Whether a run of header lines in the file `fd` (read from its start,
// the position left as it was) goes beyond the limits.
bool HeadersNeedCapping(int fd);
// Writes the file `fd` to `copy` with every run of header lines cut to the
// limits; false when that fails.
bool WriteCappedCopy(int fd, const std::filesystem::path& copy);

}  // namespace calverdon::mail
