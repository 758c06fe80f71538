// Helpers of the registry tests: a private temporary directory, file access
// and environment overrides.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace corvo::registry_test {

class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "corvo-registry-XXXXXX");
        if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

inline std::optional<std::string> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Sets (or, with nullopt, unsets) an environment variable for its lifetime.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = ::getenv(name)) old_ = old;
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace corvo::registry_test

#include "platform/posix/registry_tree.h"

namespace corvo::registry_test {

// A compact listing of a tree: "Path" for each key and "Path:name=data" for
// each value ("@" for the default value), joined by " | ".
inline void DumpKey(const platform::RegistryKey& key, const std::string& path, std::string* out) {
    auto add = [out](const std::string& item) {
        if (!out->empty()) out->append(" | ");
        out->append(item);
    };
    if (!path.empty()) add(path);
    for (const auto& [name, data] : key.values()) {
        add(path + ":" + (name.empty() ? "@" : name) + "=" + data);
    }
    for (const auto& [name, subkey] : key.subkeys()) {
        DumpKey(*subkey, path.empty() ? name : path + "\\" + name, out);
    }
}

inline std::string Dump(const platform::RegistryTree& tree) {
    std::string out;
    DumpKey(tree.root(), std::string(), &out);
    return out;
}

}  // namespace corvo::registry_test
