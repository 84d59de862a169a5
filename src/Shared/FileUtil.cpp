#include "Shared/FileUtil.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace velquist::FileUtil {

namespace fs = std::filesystem;

namespace {

std::string describe(const std::string& what, const fs::path& path, int error)
{
    return what + " " + path.string() + ": " + std::strerror(error);
}

bool writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool isMkstempCharacter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Temporary files of earlier writes of `target` that were killed before their rename. A fresh one
// may belong to a writer still at work and stays unless `olderThan` is zero.
void removeTemporaries(const fs::path& target, std::chrono::seconds olderThan)
{
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const std::string targetName = target.filename().string();
    std::error_code ec;
    const auto now = fs::file_time_type::clock::now();
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!isTemporaryName(it->path().filename().string(), targetName))
            continue;
        std::error_code statError;
        if (!fs::is_regular_file(fs::symlink_status(it->path(), statError)) || statError)
            continue;
        const auto modified = fs::last_write_time(it->path(), statError);
        if (!statError && now - modified >= olderThan)
            fs::remove(it->path(), statError);
    }
}

} // namespace

FileRead read(const fs::path& path, std::size_t maxBytes)
{
    FileRead result;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        result.status =
            errno == ENOENT || errno == ENOTDIR ? FileRead::Status::missing : FileRead::Status::unreadable;
        result.error = describe("cannot open", path, errno);
        return result;
    }
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        result.status = FileRead::Status::notRegular;
        result.error = path.string() + " is not a regular file";
        return result;
    }
    if (static_cast<std::size_t>(info.st_size) > maxBytes) {
        ::close(fd);
        result.status = FileRead::Status::tooLarge;
        result.error = path.string() + " is too large";
        return result;
    }
    // Read straight into the result, which has room for the size the file had plus one byte, so
    // the read that meets the end is usually the second; a file that grew meanwhile makes it
    // larger. No buffer on the stack: the hook client reads a file here on every run, and a large
    // frame costs it page faults.
    std::string& bytes = result.bytes;
    const std::size_t expected = std::min(static_cast<std::size_t>(info.st_size), maxBytes);
    bytes.resize(std::max<std::size_t>(expected + 1, 256));
    const std::size_t limit = maxBytes < SIZE_MAX ? maxBytes + 1 : maxBytes;
    std::size_t size = 0;
    for (;;) {
        if (size == bytes.size())
            bytes.resize(std::min(bytes.size() * 2, limit));
        const ssize_t n = ::read(fd, bytes.data() + size, bytes.size() - size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            result.status = FileRead::Status::unreadable;
            result.error = describe("cannot read", path, errno);
            bytes.clear();
            ::close(fd);
            return result;
        }
        if (n == 0)
            break;
        size += static_cast<size_t>(n);
        if (size > maxBytes) {
            ::close(fd);
            result.status = FileRead::Status::tooLarge;
            result.error = path.string() + " is too large";
            bytes.clear();
            return result;
        }
    }
    ::close(fd);
    bytes.resize(size);
    result.status = FileRead::Status::ok;
    return result;
}

fs::path resolveSymlinks(const fs::path& path)
{
    fs::path current = path;
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(current, ec)) || ec)
            return current;
        fs::path target = fs::read_symlink(current, ec);
        if (ec)
            return current;
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return current;
}

bool isExecutableFile(const fs::path& path)
{
    struct stat info
    {
    };
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

bool isTemporaryName(const std::string& name, const std::string& target)
{
    const std::string prefix = "." + target + ".tmp-";
    if (name.size() != prefix.size() + 6 || !name.starts_with(prefix))
        return false;
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
        if (!isMkstempCharacter(name[i]))
            return false;
    }
    return true;
}

void removeTemporariesOf(const fs::path& target)
{
    removeTemporaries(target, std::chrono::seconds(0));
}

FileResult writeOwnFile(const fs::path& path, const std::string& bytes)
{
    return writeAtomically(path, bytes, 0600, ModePolicy::force, LinkPolicy::moveLinkAside);
}

FileResult writeAtomically(const fs::path& requested, const std::string& bytes, mode_t newFileMode,
                           ModePolicy policy, LinkPolicy links)
{
    std::error_code linkError;
    const bool isLink = fs::is_symlink(fs::symlink_status(requested, linkError));
    if (isLink && links == LinkPolicy::moveLinkAside && moveAside(requested).empty())
        return {"cannot move the link " + requested.string() + " aside"};
    const fs::path path = links == LinkPolicy::follow ? resolveSymlinks(requested) : requested;
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    mode_t mode = newFileMode;
    struct stat existing
    {
    };
    // lstat: with a link that is replaced, the mode to keep is not that of the file it names.
    if (policy == ModePolicy::keepExisting && ::lstat(path.c_str(), &existing) == 0 &&
        S_ISREG(existing.st_mode))
        mode = existing.st_mode & 07777;

    // Built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) on "." + name + "...".
    std::string name = ".";
    name += path.filename().string();
    name += ".tmp-";
    name += "XXXXXX";
    std::string pattern = (folder / name).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return {describe("cannot create a temporary file in", folder, errno)};
    const fs::path temporary(pattern);
    auto fail = [&](const std::string& what) {
        const int saved = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        return FileResult{describe(what, path, saved)};
    };
    if (!writeAll(fd, bytes.data(), bytes.size()))
        return fail("cannot write");
    if (::fchmod(fd, mode) != 0)
        return fail("cannot set the mode of");
    if (::fsync(fd) != 0)
        return fail("cannot flush");
    if (::close(fd) != 0) {
        const int saved = errno;
        ::unlink(temporary.c_str());
        return {describe("cannot close", path, saved)};
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int saved = errno;
        ::unlink(temporary.c_str());
        return {describe("cannot replace", path, saved)};
    }
    // A minute-old temporary of this file has no writer left.
    removeTemporaries(path, std::chrono::minutes(1));
    // Make the rename itself durable.
    if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}

FileResult ensurePrivateDirectory(const fs::path& path)
{
    std::error_code ec;
    if (path.has_parent_path())
        fs::create_directories(path.parent_path(), ec);
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return {describe("cannot create", path, errno)};
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return {path.string() + " is not a folder"};
    if ((info.st_mode & 07777) != 0700 && ::chmod(path.c_str(), 0700) != 0)
        return {describe("cannot set the mode of", path, errno)};
    return {};
}

FileResult move(const fs::path& from, const fs::path& to)
{
    if (::rename(from.c_str(), to.c_str()) == 0)
        return {};
    if (errno != EXDEV)
        return {describe("cannot move", from, errno)};
    std::error_code ec;
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove_all(to, ignored);
        return {"cannot copy " + from.string() + ": " + ec.message()};
    }
    fs::remove_all(from, ec);
    if (ec)
        return {"cannot remove " + from.string() + " after copying it: " + ec.message()};
    return {};
}

fs::path moveAside(const fs::path& path)
{
    // The first free name; with every name taken, the oldest copy makes room.
    fs::path chosen;
    fs::path oldest;
    fs::file_time_type oldestTime = fs::file_time_type::max();
    for (int slot = 1; slot <= kKeptAsideCopies; ++slot) {
        fs::path target = path;
        target += slot == 1 ? std::string(".corrupt") : ".corrupt." + std::to_string(slot);
        std::error_code ec;
        const auto status = fs::symlink_status(target, ec);
        if (!fs::exists(status)) {
            chosen = target;
            break;
        }
        const auto modified =
            fs::is_symlink(status) ? fs::file_time_type::min() : fs::last_write_time(target, ec);
        if (ec || modified < oldestTime) {
            oldestTime = ec ? fs::file_time_type::min() : modified;
            oldest = target;
        }
    }
    if (chosen.empty()) {
        std::error_code ec;
        if (oldest.empty() || !fs::remove(oldest, ec))
            return {};
        chosen = oldest;
    }
    if (::rename(path.c_str(), chosen.c_str()) == 0)
        return chosen;
    return {};
}

} // namespace velquist::FileUtil
