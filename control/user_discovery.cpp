#include "control/user_discovery.h"

#include <algorithm>
#include <new>

#include "control/exchange_block.h"
#include "control/exchange_name.h"
#include "control/quick_login.h"
#include "control/required_bstr.h"
#include "data/sso_user_record.h"
#include "platform/com/bstr_ptr.h"
#include "platform/com/com_ptr.h"
#include "platform/im_window.h"

namespace corvo::control {
namespace {

char16_t FoldAscii(char16_t c) {
    return c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c;
}

// Whether the first 8 characters of `id` (all of it when shorter) are
// `siteId`, ignoring ASCII case.
bool HasSiteId(std::u16string_view id, std::u16string_view siteId) {
    const std::u16string_view prefix = id.substr(0, kSiteIdLength);
    if (prefix.size() != siteId.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (FoldAscii(prefix[i]) != FoldAscii(siteId[i])) return false;
    return true;
}

// The title as a buffer of kWindowTitleCapacity characters receives it: cut
// at 255 characters and at its first NUL.
std::u16string VisibleTitle(std::u16string title) {
    title.resize(std::min(title.size(), kWindowTitleCapacity - 1));
    if (const size_t nul = title.find(u'\0'); nul != std::u16string::npos) title.resize(nul);
    return title;
}

void SetText(ISSOData* item, std::u16string_view name, std::u16string_view value) {
    BstrPtr bstrName = RequiredBstr(name);
    BstrPtr bstrValue = RequiredBstr(value);
    item->SetDataStr(bstrName.Get(), bstrValue.Get());  // the result is not examined
}

enum class ItemOutcome { kAdded, kSkipped, kStop };

// Reads one account's user block and appends its item to `array`.
ItemOutcome AddAccount(ISSOLoginCtrl* ctrl, const srlz::XParamSLHelper& helper,
                       const std::u16string& fullUserId, ISSODataArray* array) {
    std::u16string text;
    if (ReadBlockDocument(std::u16string_view(MakeUserBlockName(fullUserId)), fullUserId, &text) !=
        BlockStatus::kOk)
        return ItemOutcome::kSkipped;
    // A text that does not parse gives a record with empty values.
    const srlz::SSOUserRecord record = helper.ReadUserEntry(text);

    ComPtr<ISSOData> item;
    if (FAILED(ctrl->CreateSSOData(item.Out()))) return ItemOutcome::kSkipped;
    if (!item) return ItemOutcome::kStop;
    SetText(item.Get(), kKeyFullUserID, record.fullUserID);
    SetText(item.Get(), kKeySiteID, record.siteID);
    SetText(item.Get(), kKeyShortUserID, record.shortUserID);
    SetText(item.Get(), kKeySiteDescription, record.siteDescript);
    SetText(item.Get(), kKeyQXClientVersion, record.version);
    array->AddItem(item.Get());  // the result is not examined
    return ItemOutcome::kAdded;
}

}  // namespace

std::vector<std::u16string> CollectAccountIds() {
    std::vector<std::u16string> ids;
    try {
        // One scan of the client's windows; each was confirmed to exist when
        // its title was read.
        for (platform::ImWindowEntry& window :
             platform::EnumerateImWindows(platform::ImWindowParent::kMessageOnly, kImWindowClass)) {
            std::u16string id = VisibleTitle(std::move(window.title));
            if (!id.empty()) ids.push_back(std::move(id));
        }
    } catch (...) {
        // the accounts found so far remain
    }
    return ids;
}

bool IsAccountSelected(std::u16string_view fullUserId, LONG lFlag, LONG lIncludeSubAccount) {
    if (lIncludeSubAccount != 1 && fullUserId.find(u':') != std::u16string_view::npos) return false;
    const LONG mask = lFlag == 0 ? kAllFamilies : lFlag;
    if ((mask & kMarketplaceFlag) && HasSiteId(fullUserId, kMarketplaceSiteId)) return true;
    if ((mask & kBusinessFlag) && HasSiteId(fullUserId, kBusinessSiteId)) return true;
    return false;
}

HRESULT ListLoggedInAccounts(ISSOLoginCtrl* ctrl, const srlz::XParamSLHelper& helper, LONG lFlag,
                             LONG lIncludeSubAccount, ISSODataArray** out) {
    ComPtr<ISSODataArray> array;
    const HRESULT created = ctrl->CreateSSODataArray(array.Out());
    if (FAILED(created)) return created;
    if (!array) return E_FAIL;

    std::vector<std::u16string> selected;
    try {
        for (std::u16string& id : CollectAccountIds())
            if (IsAccountSelected(id, lFlag, lIncludeSubAccount)) selected.push_back(std::move(id));
    } catch (...) {
        return E_FAIL;  // the array goes with `array`
    }

    try {
        for (const std::u16string& id : selected)
            if (AddAccount(ctrl, helper, id, array.Get()) == ItemOutcome::kStop) break;
    } catch (...) {
        // the items added so far stay
    }
    *out = array.Detach();
    return S_OK;
}

}  // namespace corvo::control
