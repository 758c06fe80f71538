// The quick-login subcommands of corvo-sso: `users`, `login` and
// `client-version`, each calling the control by name through IDispatch
// exactly as a page's script does. The demo uses the same calls.
#pragma once

#include <CLI/CLI.hpp>
#include <array>
#include <iosfwd>
#include <string>
#include <vector>

#include "platform/com/com.h"
#include "platform/com/com_ptr.h"
#include "tools/corvo-sso/inproc_module.h"

namespace corvo::cli {

// A login control on a page, created through the registry as a browser
// creates it (control_factory.h) and given its site.
class LoginSession {
  public:
    // `page` empty: DefaultPageAddress(); `zone` < 0: the browser's zone for
    // the address. On failure `message` says why; a page address that is not
    // UTF-8 is a usage error (throws CommandError).
    HRESULT Open(const std::string& page, int zone, std::string* message);
    IDispatch* control() const { return control_.Get(); }

  private:
    InprocModule module_;  // declared first: unloaded after the control is released
    ComPtr<IDispatch> control_;
};

// The keys of one user-list item, in the order the control sets them.
inline constexpr std::array<const char16_t*, 5> kUserKeys = {
    u"strKey_FullUserID", u"strKey_SiteID", u"strKey_ShortUserID", u"strKey_SiteID_Description",
    u"strKey_QXClientVersion"};
using UserEntry = std::array<std::u16string, 5>;  // values in the order of kUserKeys

// GetUserList(lFlag, lIncludeSubAccount), then GetSize / GetItemData /
// GetDataStr on the array and its items.
HRESULT ListUsers(IDispatch* control, LONG flag, LONG includeSubAccount,
                  std::vector<UserEntry>* users);

struct LoginAnswer {
    std::u16string goResult;   // "strKey_GOResult"
    std::u16string resultUrl;  // "strKey_ResultURL"
};
// CreateSSOData, SetDataStr("strKey_FullUserID", id), BeginSSOLogin(lReserved,
// data), then GetDataStr of the two result keys on the returned object.
HRESULT QuickLogin(IDispatch* control, const std::u16string& fullUserId, LONG reserved,
                   LoginAnswer* answer);

// GetQXClientVersion.
HRESULT QueryClientVersion(IDispatch* control, std::u16string* version);

// A readable table of the accounts ("(no accounts)" when empty).
void PrintUserTable(std::ostream& out, const std::vector<UserEntry>& users);

// Reports a failed call on standard error; returns exit code 1.
int ReportFailure(const char* what, HRESULT hr, const std::string& message = {});

// Adds `users`, `login`, `client-version` and `demo`. Page options come from
// the app's --page and --zone.
void AddLoginCommands(CLI::App& app, int& exitCode);

}  // namespace corvo::cli
