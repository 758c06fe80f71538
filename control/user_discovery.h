// The discovery of the IM accounts logged in on this machine, behind
// GetUserList.
//
// The IM client keeps one message-only window per logged-in account, of the
// class of quick_login.h, titled with the account's full user ID, and
// publishes each account's user document in a block named after the ID
// (MakeUserBlockName). The accounts are taken in the order in which the
// windows are enumerated, filtered by family and sub-account rule, and each
// selected account's user document becomes one data object of the result.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "corvo_sso_login.h"
#include "data/xparam_sl_helper.h"

namespace corvo::control {

// Account families: the first 8 characters of a full user ID (compared
// ignoring ASCII case), and the bit of lFlag that selects them.
inline constexpr std::u16string_view kMarketplaceSiteId = u"cnmarket";
inline constexpr std::u16string_view kBusinessSiteId = u"cnbizchn";
inline constexpr LONG kMarketplaceFlag = 1;
inline constexpr LONG kBusinessFlag = 2;
// lFlag 0 stands for every family.
inline constexpr LONG kAllFamilies = 0xFFFF;
inline constexpr size_t kSiteIdLength = 8;

// A window title is read into this many characters, terminating NUL
// included: at most 255 characters of a title are seen.
inline constexpr size_t kWindowTitleCapacity = 256;

// Keys of a result item, in the order they are set.
inline constexpr char16_t kKeySiteID[] = u"strKey_SiteID";
inline constexpr char16_t kKeyShortUserID[] = u"strKey_ShortUserID";
inline constexpr char16_t kKeySiteDescription[] = u"strKey_SiteID_Description";
inline constexpr char16_t kKeyQXClientVersion[] = u"strKey_QXClientVersion";

// The titles of the client's message-only account windows, in enumeration
// order; windows that vanished or have an empty title are passed over. A
// failure while enumerating ends it with the titles found so far.
std::vector<std::u16string> CollectAccountIds();

// Whether an account passes the caller's filter: a sub-account (an ID with
// ":") only when `lIncludeSubAccount` is exactly 1; then the family of its
// site ID must be selected by `lFlag` (0: all).
bool IsAccountSelected(std::u16string_view fullUserId, LONG lFlag, LONG lIncludeSubAccount);

// GetUserList after its gate and argument check (`out` not null): the result
// array and its items are made through `ctrl`'s own CreateSSODataArray and
// CreateSSOData. An account whose block is missing or unreadable is left
// out; one whose document does not parse is listed with empty values. A
// failure while filling the list keeps the items added so far (S_OK); one
// before any account is read releases the array (E_FAIL, *out null).
HRESULT ListLoggedInAccounts(ISSOLoginCtrl* ctrl, const srlz::XParamSLHelper& helper, LONG lFlag,
                             LONG lIncludeSubAccount, ISSODataArray** out);

}  // namespace corvo::control
