#include "platform/posix/registry_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "platform/posix/reg_file.h"
#include "platform/posix/unique_fd.h"

namespace corvo::platform {

namespace {

constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorDiskFull = 112;

HRESULT HResultFromErrno(int error) {
    switch (error) {
        case ENOENT:
            return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        case ENOTDIR:
            return HRESULT_FROM_WIN32(kErrorPathNotFound);
        case EACCES:
        case EPERM:
        case EROFS:
            return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
        case ENOSPC:
        case EDQUOT:
            return HRESULT_FROM_WIN32(kErrorDiskFull);
        case ENOMEM:
            return E_OUTOFMEMORY;
        default:
            return E_FAIL;
    }
}

// Records "<what> <path>: <reason>" and returns the matching HRESULT.
HRESULT SystemFailure(std::string* message, const char* what, const std::string& path, int error) {
    if (message != nullptr) {
        *message = std::string(what) + " " + path + ": " + std::strerror(error);
    }
    return HResultFromErrno(error);
}

std::string ParentDirectory(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// mkdir -p with `mode` for the directories that are missing.
HRESULT CreateDirectories(const std::string& directory, mode_t mode, std::string* message) {
    struct stat info;
    if (::stat(directory.c_str(), &info) == 0) {
        return S_ISDIR(info.st_mode)
                   ? S_OK
                   : SystemFailure(message, "cannot use directory", directory, ENOTDIR);
    }
    if (errno != ENOENT) return SystemFailure(message, "cannot access", directory, errno);
    const std::string parent = ParentDirectory(directory);
    if (parent != directory) {
        const HRESULT hr = CreateDirectories(parent, mode, message);
        if (FAILED(hr)) return hr;
    }
    if (::mkdir(directory.c_str(), mode) != 0) {
        if (errno == EEXIST) return S_OK;
        return SystemFailure(message, "cannot create directory", directory, errno);
    }
    // Whatever the umask: the machine's directories must be readable by all.
    if (::chmod(directory.c_str(), mode) != 0)
        return SystemFailure(message, "cannot set the mode of", directory, errno);
    return S_OK;
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Reads the whole file; S_FALSE (and empty text) when it does not exist.
HRESULT ReadWholeFile(const std::string& path, std::string* text, std::string* message) {
    text->clear();
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        if (errno == ENOENT) return S_FALSE;
        return SystemFailure(message, "cannot open", path, errno);
    }
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n == 0) return S_OK;
        if (n < 0) {
            if (errno == EINTR) continue;
            return SystemFailure(message, "cannot read", path, errno);
        }
        text->append(buffer, static_cast<size_t>(n));
    }
}

// Holds an exclusive flock on a lock file for its lifetime.
class FileLock {
  public:
    HRESULT Acquire(const std::string& path, std::string* message) {
        fd_.Reset(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        if (!fd_) return SystemFailure(message, "cannot open lock file", path, errno);
        while (::flock(fd_.get(), LOCK_EX) != 0) {
            if (errno != EINTR) return SystemFailure(message, "cannot lock", path, errno);
        }
        return S_OK;
    }

  private:
    UniqueFd fd_;  // closing the descriptor releases the lock
};

// Removes the temporary file unless dismissed.
class TemporaryFileGuard {
  public:
    explicit TemporaryFileGuard(const std::string& path) : path_(path) {}
    TemporaryFileGuard(const TemporaryFileGuard&) = delete;
    TemporaryFileGuard& operator=(const TemporaryFileGuard&) = delete;
    ~TemporaryFileGuard() {
        if (!dismissed_) ::unlink(path_.c_str());
    }
    void Dismiss() { dismissed_ = true; }

  private:
    const std::string& path_;
    bool dismissed_ = false;
};

// The machine's file when the environment names none.
#ifndef CORVO_MACHINE_REGISTRY_FILE
#define CORVO_MACHINE_REGISTRY_FILE "/etc/corvo-sso/registry.reg"
#endif

std::string_view HiveOf(RegistryScope scope) {
    return scope == RegistryScope::kMachine ? kRegFileMachineHive : kRegFileHive;
}

// Directories and file: private to the user, or readable by every user.
mode_t DirectoryMode(RegistryScope scope) {
    return scope == RegistryScope::kMachine ? 0755 : 0700;
}
mode_t FileMode(RegistryScope scope) {
    return scope == RegistryScope::kMachine ? 0644 : 0600;
}

}  // namespace

RegistryStore::RegistryStore(std::string path, RegistryScope scope)
    : path_(std::move(path)), scope_(scope) {}

RegistryStore::RegistryStore() : RegistryStore(DefaultPath()) {}

std::string RegistryStore::DefaultPath() {
    const char* explicitPath = std::getenv("CORVO_REGISTRY");
    if (explicitPath != nullptr && *explicitPath != '\0') return explicitPath;
    std::string config;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {  // relative values are ignored, as XDG says
        config = xdg;
    } else {
        std::string home;
        const char* homeVariable = std::getenv("HOME");
        if (homeVariable != nullptr && *homeVariable != '\0') {
            home = homeVariable;
        } else {
            std::vector<char> buffer(16384);
            struct passwd entry;
            struct passwd* result = nullptr;
            if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 &&
                result != nullptr && result->pw_dir != nullptr) {
                home = result->pw_dir;
            }
        }
        if (home.empty()) return std::string();
        config = home + "/.config";
    }
    return config + "/corvo-sso/registry.reg";
}

std::string RegistryStore::MachinePath() {
    const char* explicitPath = std::getenv("CORVO_MACHINE_REGISTRY");
    if (explicitPath != nullptr && *explicitPath != '\0') return explicitPath;
    return CORVO_MACHINE_REGISTRY_FILE;
}

std::optional<RegistryStore> RegistryStore::Machine() {
    return RegistryStore(MachinePath(), RegistryScope::kMachine);
}

HRESULT RegistryStore::Load(RegistryTree* tree, std::string* loadedText,
                            std::string* message) const {
    const HRESULT hr = ReadWholeFile(path_, loadedText, message);
    if (FAILED(hr) || hr == S_FALSE) return FAILED(hr) ? hr : S_OK;
    RegFileError error;
    if (!ParseRegFile(*loadedText, tree, &error, HiveOf(scope_))) {
        if (message != nullptr) {
            *message = path_ + ":" + std::to_string(error.line) + ": " + error.message;
        }
        return kRegistryFileCorrupt;
    }
    return S_OK;
}

HRESULT RegistryStore::Save(const std::string& text, std::string* message) const {
    const std::string temporary = path_ + ".tmp";
    TemporaryFileGuard guard(temporary);
    UniqueFd fd(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, FileMode(scope_)));
    if (!fd) return SystemFailure(message, "cannot create", temporary, errno);
    // The creation mode passes through the umask; the machine's file must be
    // readable by everybody whatever the installer's umask.
    if (::fchmod(fd.get(), FileMode(scope_)) != 0)
        return SystemFailure(message, "cannot set the mode of", temporary, errno);
    if (!WriteAll(fd.get(), text)) return SystemFailure(message, "cannot write", temporary, errno);
    if (::fsync(fd.get()) != 0) return SystemFailure(message, "cannot sync", temporary, errno);
    if (fd.Close() != 0) return SystemFailure(message, "cannot close", temporary, errno);
    if (beforeReplace_) {
        const HRESULT hr = beforeReplace_();
        if (FAILED(hr)) {
            if (message != nullptr) *message = "saving " + path_ + " was interrupted";
            return hr;
        }
    }
    if (::rename(temporary.c_str(), path_.c_str()) != 0) {
        return SystemFailure(message, "cannot replace", path_, errno);
    }
    guard.Dismiss();
    // Make the rename itself durable.
    const std::string directory = ParentDirectory(path_);
    UniqueFd dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir || ::fsync(dir.get()) != 0) {
        return SystemFailure(message, "cannot sync directory", directory, errno);
    }
    return S_OK;
}

HRESULT RegistryStore::Update(const Change& change, std::string* message) const {
    if (path_.empty()) {
        if (message != nullptr) *message = "no registry file: set CORVO_REGISTRY or HOME";
        return E_FAIL;
    }
    try {
        HRESULT hr = CreateDirectories(ParentDirectory(path_), DirectoryMode(scope_), message);
        if (FAILED(hr)) return hr;
        FileLock lock;
        hr = lock.Acquire(path_ + ".lock", message);
        if (FAILED(hr)) return hr;
        RegistryTree tree;
        std::string before;
        hr = Load(&tree, &before, message);
        if (FAILED(hr)) return hr;
        hr = change(tree);
        if (FAILED(hr)) return hr;
        const std::string after = FormatRegFile(tree, HiveOf(scope_));
        if (after != before) {
            const HRESULT saved = Save(after, message);
            if (FAILED(saved)) return saved;
        }
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT RegistryStore::Read(const Lookup& lookup, std::string* message) const {
    if (path_.empty()) {
        if (message != nullptr) *message = "no registry file: set CORVO_REGISTRY or HOME";
        return E_FAIL;
    }
    try {
        RegistryTree tree;
        std::string text;
        const HRESULT hr = Load(&tree, &text, message);
        if (FAILED(hr)) return hr;
        return lookup(tree);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT RegistryStore::UpdateAsUserRegistry(const std::function<HRESULT()>& action,
                                            std::string* message) const {
    return Update(
        [&](RegistryTree& tree) -> HRESULT {
            char pattern[] = "/tmp/corvo-registry-XXXXXX";
            if (::mkdtemp(pattern) == nullptr)
                return SystemFailure(message, "cannot create a directory in", "/tmp", errno);
            const std::string directory = pattern;
            const RegistryStore copy(directory + "/registry.reg");
            HRESULT hr = copy.Update(
                [&](RegistryTree& target) {
                    target = std::move(tree);
                    return S_OK;
                },
                message);
            if (SUCCEEDED(hr)) {
                const char* previous = std::getenv("CORVO_REGISTRY");
                const std::optional<std::string> saved =
                    previous ? std::optional<std::string>(previous) : std::nullopt;
                ::setenv("CORVO_REGISTRY", copy.path().c_str(), 1);
                hr = action();
                if (saved)
                    ::setenv("CORVO_REGISTRY", saved->c_str(), 1);
                else
                    ::unsetenv("CORVO_REGISTRY");
            }
            // The copy is read back whatever happened: `tree` was moved into it.
            RegistryTree result;
            std::string text;
            const HRESULT loaded = copy.Load(&result, &text, message);
            for (const char* name : {"/registry.reg", "/registry.reg.lock", "/registry.reg.tmp"})
                ::unlink((directory + name).c_str());
            ::rmdir(directory.c_str());
            if (FAILED(loaded)) return loaded;
            tree = std::move(result);
            return hr;
        },
        message);
}

}  // namespace corvo::platform
