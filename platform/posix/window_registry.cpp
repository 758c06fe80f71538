#include "platform/posix/window_registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <memory>

#include "platform/posix/unique_fd.h"

namespace corvo::platform {
namespace {

constexpr size_t kIdDigits = 20;
constexpr std::string_view kRegistrationSuffix = ".window";

std::string IdDigits(uint64_t id) {
    char digits[kIdDigits + 1];
    std::snprintf(digits, sizeof digits, "%020llu", static_cast<unsigned long long>(id));
    return digits;
}

// The id in a registration file name, or nothing for any other name.
std::optional<uint64_t> IdFromFileName(std::string_view name) {
    if (name.size() != kIdDigits + kRegistrationSuffix.size() ||
        name.substr(kIdDigits) != kRegistrationSuffix)
        return std::nullopt;
    uint64_t id = 0;
    const auto [end, ec] = std::from_chars(name.data(), name.data() + kIdDigits, id);
    if (ec != std::errc() || end != name.data() + kIdDigits || id == 0) return std::nullopt;
    return id;
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data.remove_prefix(size_t(n));
    }
    return true;
}

}  // namespace

std::string WindowRegistrationFileName(uint64_t id) {
    return IdDigits(id) + std::string(kRegistrationSuffix);
}

std::string WindowSocketFileName(uint64_t id) {
    return IdDigits(id) + ".sock";
}

std::vector<uint64_t> ListWindowIds(const ImEndpointDirectory& directory) {
    std::vector<uint64_t> ids;
    // fdopendir takes over its descriptor, so it gets its own duplicate.
    const int dup = fcntl(directory.fd(), F_DUPFD_CLOEXEC, 0);
    if (dup < 0) return ids;
    std::unique_ptr<DIR, DirCloser> dir(fdopendir(dup));
    if (!dir) {
        close(dup);
        return ids;
    }
    while (const dirent* entry = readdir(dir.get())) {
        if (const auto id = IdFromFileName(entry->d_name)) ids.push_back(*id);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::optional<WindowRegistration> ReadWindowRegistration(const ImEndpointDirectory& directory,
                                                         uint64_t id) {
    UniqueFd fd(openat(directory.fd(), WindowRegistrationFileName(id).c_str(),
                       O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd) return std::nullopt;
    struct stat st;
    if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || !IsPrivateEntry(st) ||
        st.st_size > off_t(kMaxRegistrationText))
        return std::nullopt;
    std::string text(size_t(st.st_size) + 1, '\0');  // one more byte detects growth
    size_t used = 0;
    while (used < text.size()) {
        const ssize_t n = read(fd.get(), text.data() + used, text.size() - used);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        used += size_t(n);
    }
    text.resize(used);
    auto registration = DecodeWindowRegistration(text);
    if (registration) registration->id = id;
    return registration;
}

bool IsProcessAlive(pid_t pid) {
    return pid > 0 && (kill(pid, 0) == 0 || errno != ESRCH);
}

std::optional<uint64_t> NextWindowId(const ImEndpointDirectory& directory) {
    UniqueFd fd(
        openat(directory.fd(), "sequence", O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd) return std::nullopt;
    struct stat st;
    if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || !IsPrivateEntry(st)) {
        errno = EPERM;
        return std::nullopt;
    }
    while (flock(fd.get(), LOCK_EX) != 0) {
        if (errno != EINTR) return std::nullopt;
    }
    // The file holds the last id as 8 little-endian bytes. A damaged or
    // missing value is recovered from the registrations present.
    uint8_t bytes[8] = {};
    uint64_t last = 0;
    if (pread(fd.get(), bytes, sizeof bytes, 0) == ssize_t(sizeof bytes)) {
        for (int i = 7; i >= 0; --i) last = last << 8 | bytes[i];
    }
    const auto present = ListWindowIds(directory);
    if (!present.empty()) last = std::max(last, present.back());
    if (last == UINT64_MAX) {
        errno = EOVERFLOW;
        return std::nullopt;
    }
    const uint64_t next = last + 1;
    for (int i = 0; i < 8; ++i) bytes[i] = uint8_t(next >> (8 * i));
    if (pwrite(fd.get(), bytes, sizeof bytes, 0) != ssize_t(sizeof bytes)) return std::nullopt;
    return next;  // closing the descriptor releases the lock
}

bool WriteWindowRegistration(const ImEndpointDirectory& directory,
                             const WindowRegistration& registration) {
    const std::string temp = "." + IdDigits(registration.id) + ".tmp";
    UniqueFd fd(openat(directory.fd(), temp.c_str(),
                       O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd) return false;
    const bool written = WriteAll(fd.get(), EncodeWindowRegistration(registration)) &&
                         fd.Close() == 0 &&
                         renameat(directory.fd(), temp.c_str(), directory.fd(),
                                  WindowRegistrationFileName(registration.id).c_str()) == 0;
    if (!written) {
        const int saved = errno;
        unlinkat(directory.fd(), temp.c_str(), 0);
        errno = saved;
    }
    return written;
}

void RemoveWindow(const ImEndpointDirectory& directory, uint64_t id) {
    const int saved = errno;
    // The registration goes first, so nobody finds a window without a socket.
    unlinkat(directory.fd(), WindowRegistrationFileName(id).c_str(), 0);
    unlinkat(directory.fd(), WindowSocketFileName(id).c_str(), 0);
    errno = saved;
}

void RemoveDeadWindows(const ImEndpointDirectory& directory) {
    for (uint64_t id : ListWindowIds(directory)) {
        const auto registration = ReadWindowRegistration(directory, id);
        if (registration && !IsProcessAlive(registration->pid)) RemoveWindow(directory, id);
    }
}

}  // namespace corvo::platform
