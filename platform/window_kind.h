// The two kinds of window an IM client publishes per account.
#pragma once

namespace corvo::platform {

enum class WindowKind {
    kTopLevel,     // found by the quick login, which sends the request to it
    kMessageOnly,  // enumerated by the user list
};

}  // namespace corvo::platform
