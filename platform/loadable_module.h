// A library loaded into the process by its path (dlopen on POSIX,
// LoadLibraryExW on Windows), and the addresses of its exported functions.
// The holder frees the library when it goes away, unless Keep() was called.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace corvo::platform {

class LoadableModule {
  public:
    // `path` is UTF-8. Nothing on failure, with `message` (when not null)
    // set to the loader's reason.
    static std::optional<LoadableModule> Load(const std::string& path, std::string* message);

    LoadableModule(LoadableModule&& other) noexcept
        : handle_(std::exchange(other.handle_, nullptr)) {}
    LoadableModule& operator=(LoadableModule&& other) noexcept {
        if (this != &other) {
            Free();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    LoadableModule(const LoadableModule&) = delete;
    LoadableModule& operator=(const LoadableModule&) = delete;
    ~LoadableModule() { Free(); }

    // The exported function `name`, or null.
    void* Export(const char* name) const;
    // Leaves the library loaded for the rest of the process's life (code of
    // it may still run).
    void Keep() { handle_ = nullptr; }

  private:
    explicit LoadableModule(void* handle) : handle_(handle) {}
    void Free();

    void* handle_ = nullptr;
};

}  // namespace corvo::platform
