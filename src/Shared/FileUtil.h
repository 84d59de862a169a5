#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <sys/types.h>

namespace velquist {

// The outcome of a file operation: empty `error` means success.
struct FileResult
{
    std::string error;
    bool ok() const { return error.empty(); }
    explicit operator bool() const { return ok(); }
};

// A bounded read of a regular file. Only `missing` may be treated as "no content yet"; a file that
// exists but cannot be read must be left alone.
struct FileRead
{
    enum class Status { ok, missing, unreadable, notRegular, tooLarge };
    Status status = Status::missing;
    std::string bytes;
    std::string error;
    bool ok() const { return status == Status::ok; }
};

namespace FileUtil {

// Reads a regular file of at most `maxBytes`. Opened without blocking, so a FIFO or device named
// by mistake is refused rather than waited on.
FileRead read(const std::filesystem::path& path, std::size_t maxBytes = 64 * 1024 * 1024);

// Replaces `path` with `bytes` so that readers see the old or the new content, never a mix: a
// temporary file beside the target is written, flushed, given a mode and renamed over it. The mode
// is the existing file's, or `newFileMode` for a new file; our own state files pass
// `ModePolicy::force` to always get it.
enum class ModePolicy { keepExisting, force };
// What a symlink at `path` means. A user's configuration may be a link into a dotfiles folder, so
// it is followed and the link survives. A backup replaces the link itself, never the file it names.
// Our own files are never written through a link: the link is moved aside like a corrupt file and
// a regular file takes its place.
enum class LinkPolicy { follow, replaceLink, moveLinkAside };
FileResult writeAtomically(const std::filesystem::path& path, const std::string& bytes,
                           mode_t newFileMode = 0600, ModePolicy policy = ModePolicy::keepExisting,
                           LinkPolicy links = LinkPolicy::follow);

// One of our own files in the support folder: mode 0600, never written through a symlink.
FileResult writeOwnFile(const std::filesystem::path& path, const std::string& bytes);

// The path a symlink chain finally names (the path itself when it is no link); relative links
// are resolved against their folder. Stops after 40 hops.
std::filesystem::path resolveSymlinks(const std::filesystem::path& path);

// Whether `path` names (through any links) a regular file this process may execute.
bool isExecutableFile(const std::filesystem::path& path);

// Creates `path` (and missing parents) so that the final folder has mode 0700.
FileResult ensurePrivateDirectory(const std::filesystem::path& path);

// Moves a file or folder; across file systems it copies, then removes the source.
FileResult move(const std::filesystem::path& from, const std::filesystem::path& to);

// How many kept-aside copies of one file stay; the oldest goes to make room for a new one, so
// the latest bad bytes are always kept.
inline constexpr int kKeptAsideCopies = 5;

// Renames an unreadable or unparsable file to "<name>.corrupt" (or ".corrupt.N" when taken) so a
// later save does not write over what the user may still want. Returns the new path, empty on
// failure.
std::filesystem::path moveAside(const std::filesystem::path& path);

// Whether `name` is a temporary that `writeAtomically` makes for a file named `target`: a dot, the
// target's name, ".tmp-" and the six characters mkstemp chooses. Nothing else matches.
bool isTemporaryName(const std::string& name, const std::string& target);

// Removes the temporaries that killed writers of `target` left beside it, however old. Only for
// callers that know no writer of `target` is at work (they hold its lock, or it is ours alone).
void removeTemporariesOf(const std::filesystem::path& target);

} // namespace FileUtil
} // namespace velquist
