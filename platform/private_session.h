// PrivateSession: the state a login control and an IM client share for the
// user (the registry of classes, the place where clients publish their
// windows and blocks) moved into a directory of one run, for this process
// and the children it starts afterwards, as far as the system lets a process
// do that; restored when the object goes.
//
// POSIX: everything moves. CORVO_REGISTRY names <directory>/registry.reg
// and CORVO_IM_DIR <directory>/im (see registry_store.h and the endpoint
// directory). Windows: nothing moves. The registry is the user's
// HKEY_CURRENT_USER, and the client's windows, file mappings and events
// belong to the desktop session; a program cannot give itself other ones.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace corvo::platform {

class PrivateSession {
  public:
    explicit PrivateSession(const std::filesystem::path& directory);
    ~PrivateSession();
    PrivateSession(const PrivateSession&) = delete;
    PrivateSession& operator=(const PrivateSession&) = delete;

    // True when the registry is the run's own, not the user's.
    bool privateRegistry() const { return privateRegistry_; }

  private:
    struct SavedVariable {
        std::string name;
        std::optional<std::string> value;
    };
    std::vector<SavedVariable> saved_;
    bool privateRegistry_ = false;
};

}  // namespace corvo::platform
