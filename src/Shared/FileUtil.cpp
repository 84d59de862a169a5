#include "Shared/FileUtil.h"

#include <cerrno>
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

// Temporary files of earlier writes of `path` that were killed before their rename: the name
// pattern is ours alone, and a minute-old one has no writer left. A fresh one may belong to a
// writer still at work and stays.
void removeStaleTemporaries(const fs::path& folder, const std::string& prefix)
{
    std::error_code ec;
    const auto now = fs::file_time_type::clock::now();
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() != prefix.size() + 6 || !name.starts_with(prefix))
            continue;
        std::error_code statError;
        const auto modified = fs::last_write_time(it->path(), statError);
        if (!statError && now - modified > std::chrono::minutes(1) && it->is_regular_file(statError))
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
    result.bytes.reserve(static_cast<size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            result.status = FileRead::Status::unreadable;
            result.error = describe("cannot read", path, errno);
            result.bytes.clear();
            ::close(fd);
            return result;
        }
        if (n == 0)
            break;
        if (result.bytes.size() + static_cast<size_t>(n) > maxBytes) {
            ::close(fd);
            result.status = FileRead::Status::tooLarge;
            result.error = path.string() + " is too large";
            result.bytes.clear();
            return result;
        }
        result.bytes.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
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

FileResult writeAtomically(const fs::path& requested, const std::string& bytes, mode_t newFileMode,
                           ModePolicy policy)
{
    const fs::path path = resolveSymlinks(requested);
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    mode_t mode = newFileMode;
    struct stat existing
    {
    };
    if (policy == ModePolicy::keepExisting && ::stat(path.c_str(), &existing) == 0)
        mode = existing.st_mode & 07777;

    // Built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) on "." + name + "...".
    std::string name = ".";
    name += path.filename().string();
    name += ".tmp-";
    const std::string temporaryPrefix = name;
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
    removeStaleTemporaries(folder, temporaryPrefix);
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
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path target = path;
        target += attempt == 0 ? std::string(".corrupt") : ".corrupt." + std::to_string(attempt + 1);
        std::error_code ec;
        if (fs::exists(fs::symlink_status(target, ec)))
            continue;
        if (::rename(path.c_str(), target.c_str()) == 0)
            return target;
        return {};
    }
    return {};
}

} // namespace velquist::FileUtil
