// A fresh directory under the system's temporary directory, removed with all
// it holds when the object goes. Portable (std::filesystem).
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>

namespace corvo::test {

class ScratchDirectory {
  public:
    explicit ScratchDirectory(const std::string& prefix) {
        static std::atomic<unsigned> serial{0};
        const auto base = std::filesystem::temp_directory_path();
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const auto candidate =
                base / (prefix + std::to_string(stamp) + "_" + std::to_string(serial.fetch_add(1)));
            std::error_code ec;
            if (std::filesystem::create_directory(candidate, ec)) path_ = candidate;
        }
    }
    ~ScratchDirectory() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    // Empty when no directory could be made.
    const std::filesystem::path& path() const { return path_; }
    // The path with "/" separators, as the tests write paths.
    std::string generic() const { return path_.generic_string(); }

  private:
    std::filesystem::path path_;
};

}  // namespace corvo::test
