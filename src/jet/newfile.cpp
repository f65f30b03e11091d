#include "jet/newfile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace jet {

namespace fs = std::filesystem;

namespace {

const std::string kExists = "a file already exists there";

bool writeAndSync(int fd, std::span<const std::uint8_t> bytes) {
    const std::uint8_t* data = bytes.data();
    for (std::size_t left = bytes.size(); left > 0;) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    return ::fsync(fd) == 0;
}

void syncFolder(const fs::path& dir) {
    const int d = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (d >= 0) {
        ::fsync(d);
        ::close(d);
    }
}

std::string reason(int err) { return err == EEXIST ? kExists : std::strerror(err); }

// Where the file system has no unnamed files: a hidden name that no one
// takes for the database, renamed without replacing.
std::string writeNamed(const fs::path& path, const fs::path& dir,
                       std::span<const std::uint8_t> bytes) {
    std::random_device device;
    fs::path temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
        temp = dir / ("." + path.filename().string() + "." + std::to_string(device() % 1000000) +
                      ".partial");
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return reason(errno);
    }
    if (fd < 0) return reason(EEXIST);
    if (!writeAndSync(fd, bytes)) {
        const int err = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        return reason(err);
    }
    ::close(fd);
    int done = ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE);
    if (done != 0 && (errno == EINVAL || errno == ENOSYS)) {
        // No such rename here: a link fails just the same if the name is taken.
        done = ::link(temp.c_str(), path.c_str());
        if (done == 0) ::unlink(temp.c_str());
    }
    const int err = errno;
    if (done != 0) {
        ::unlink(temp.c_str());
        return reason(err);
    }
    syncFolder(dir);
    return {};
}

}  // namespace

std::string writeNewFile(const fs::path& path, std::span<const std::uint8_t> bytes) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(path, ec))) return kExists;
    fs::path dir = path.parent_path();
    if (dir.empty()) dir = ".";

    const int fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)
            return writeNamed(path, dir, bytes);
        return reason(errno);
    }
    if (!writeAndSync(fd, bytes)) {
        const int err = errno;
        ::close(fd);
        return reason(err);
    }
    // The unnamed file gets its name only now, complete and on disk.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        const int err = errno;
        ::close(fd);
        if (err == ENOENT && fs::exists(dir, ec)) return writeNamed(path, dir, bytes);  // no /proc
        return reason(err);
    }
    ::close(fd);
    syncFolder(dir);
    return {};
}

}  // namespace jet
