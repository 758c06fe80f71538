#include "platform/private_session.h"

#include <cstdlib>

namespace corvo::platform {

PrivateSession::PrivateSession(const std::filesystem::path& directory) {
    const std::pair<const char*, std::filesystem::path> moved[] = {
        {"CORVO_REGISTRY", directory / "registry.reg"},
        {"CORVO_IM_DIR", directory / "im"},
    };
    for (const auto& [name, value] : moved) {
        SavedVariable saved{name, std::nullopt};
        if (const char* old = std::getenv(name)) saved.value = old;
        saved_.push_back(std::move(saved));
        ::setenv(name, value.c_str(), 1);
    }
    privateRegistry_ = true;
}

PrivateSession::~PrivateSession() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        if (it->value)
            ::setenv(it->name.c_str(), it->value->c_str(), 1);
        else
            ::unsetenv(it->name.c_str());
    }
}

}  // namespace corvo::platform
