#include "settings/file_access.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "protocol/wipe.h"

namespace settings {

namespace {

// The system's words for errno, kept before a later call can change it.
bool failed(std::string& error)
{
    error = std::strerror(errno);
    return false;
}

// The file a path names, through symbolic links; the path itself for a file not there yet.
std::string finalPath(const std::string& path)
{
    const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr),
                                                               &std::free);
    return resolved ? std::string(resolved.get()) : path;
}

// A new, empty file beside `target`, hidden, with the permissions the umask gives; -1 with
// errno set when none can be made.
int newFileBeside(const std::string& target, std::string& name)
{
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + "." + base + "." + std::to_string(getpid()) + "-" + std::to_string(attempt);
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

bool writeAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n == 0) {
            errno = EIO;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

bool readBounded(int fd, std::string& text, std::string& error, const FileKind& kind)
{
    protocol::wipe(text);
    // A directory opens; only reading it fails.
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        error = std::strerror(EISDIR);
        return false;
    }
    text.resize(kind.mostBytes + 1);
    std::size_t size = 0;
    while (size < text.size()) {
        const ssize_t n = read(fd, text.data() + size, text.size() - size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            failed(error);
            protocol::wipe(text);
            return false;
        }
        if (n == 0) {
            break;
        }
        size += static_cast<std::size_t>(n);
    }
    if (size > kind.mostBytes) {
        protocol::wipe(text);
        error = "larger than " + std::to_string(kind.mostBytes >> 20) + " MiB, which no " +
                kind.name + " is";
        return false;
    }
    text.resize(size);
    return true;
}

bool readFileBounded(const std::string& path, std::string& text, std::string& error,
                     const FileKind& kind)
{
    protocol::wipe(text);
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return failed(error);
    }
    const bool read = readBounded(fd, text, error, kind);
    close(fd);
    return read;
}

bool replaceFile(const std::string& path, const std::string& text, std::string& error)
{
    const std::string target = finalPath(path);
    struct stat old {};
    const bool replacing = stat(target.c_str(), &old) == 0;
    if (replacing && S_ISDIR(old.st_mode)) {
        error = std::strerror(EISDIR);
        return false;
    }
    std::string name;
    const int fd = newFileBeside(target, name);
    if (fd < 0) {
        return failed(error);
    }
    if ((replacing && fchmod(fd, old.st_mode & 07777) != 0) || !writeAll(fd, text) ||
        fsync(fd) != 0) {
        failed(error);
        close(fd);
        unlink(name.c_str());
        return false;
    }
    // A close that fails has still freed the descriptor.
    if (close(fd) != 0 || rename(name.c_str(), target.c_str()) != 0) {
        failed(error);
        unlink(name.c_str());
        return false;
    }
    return true;
}

} // namespace settings
