// TempDirectory: a new directory of the user's own under the system's
// temporary directory, removed with everything in it when the holder goes.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace corvo::cli {

class TempDirectory {
  public:
    TempDirectory() = default;
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;
    ~TempDirectory();

    // Creates "<temp>/<prefix><random>", readable by the owner only where
    // the file system has permissions. False when no name could be made or
    // the directory cannot be created; the holder must be empty.
    bool Create(std::string_view prefix);

    // Empty before a successful Create.
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace corvo::cli
