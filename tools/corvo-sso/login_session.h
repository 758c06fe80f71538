// A login control hosted on a page, and the calls a page's script makes on it
// (all through IDispatch, by name). Shared by the corvo-sso subcommands and
// the browser's native-messaging host.
#pragma once

#include <array>
#include <string>
#include <utility>
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
    // The same with the page's address as UTF-16 (used as given, never the
    // default page).
    HRESULT OpenOn(std::u16string address, int zone, std::string* message);
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
// The same with the two arguments as a script passes them (IDispatch converts).
HRESULT ListUsers(IDispatch* control, const VARIANT& flag, const VARIANT& includeSubAccount,
                  std::vector<UserEntry>* users);

struct LoginAnswer {
    std::u16string goResult;   // "strKey_GOResult"
    std::u16string resultUrl;  // "strKey_ResultURL"
};
using DataFields = std::vector<std::pair<std::u16string, std::u16string>>;
// CreateSSOData, SetDataStr of each of `fields` (the page's "strKey_FullUserID"
// among them), BeginSSOLogin(lReserved, data), then GetDataStr of the two
// result keys on the returned object.
// `reserved` as a script passes it (IDispatch converts); `fields` null passes
// a null object instead.
HRESULT BeginLogin(IDispatch* control, const VARIANT& reserved, const DataFields* fields,
                   LoginAnswer* answer);
// BeginLogin with "strKey_FullUserID" alone.
HRESULT QuickLogin(IDispatch* control, const std::u16string& fullUserId, LONG reserved,
                   LoginAnswer* answer);

// GetQXClientVersion / GetSSOLoginCtrlVersion.
HRESULT QueryClientVersion(IDispatch* control, std::u16string* version);
HRESULT QueryControlVersion(IDispatch* control, std::u16string* version);

// InitSSOLoginCtrl(null, 0): S_OK on an allowed page.
HRESULT InitControl(IDispatch* control);

}  // namespace corvo::cli
