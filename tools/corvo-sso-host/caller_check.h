// The one caller the host serves: the browser starts a native-messaging host
// with the caller's identity as arguments. Chromium, Chrome and Edge pass the
// extension's origin ("chrome-extension://ID/") first (Windows adds
// "--parent-window=N" after it); Firefox passes the path of the host's
// manifest first and the add-on's ID second.
#pragma once

#include <string_view>
#include <vector>

namespace corvo::host {

// True when `args` (the program's arguments after its name) name our
// extension: its origin as the first argument, or our Firefox add-on ID as
// the first or the second.
bool IsOurCaller(const std::vector<std::string_view>& args);

}  // namespace corvo::host
