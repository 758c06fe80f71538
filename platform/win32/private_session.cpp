#include "platform/private_session.h"

namespace corvo::platform {

// The registry and the session's objects cannot be redirected by a process.
PrivateSession::PrivateSession(const std::filesystem::path&) {}

PrivateSession::~PrivateSession() = default;

}  // namespace corvo::platform
