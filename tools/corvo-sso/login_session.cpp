#include "tools/corvo-sso/login_session.h"

#include "platform/com/bstr_ptr.h"
#include "platform/com/ole_text.h"
#include "platform/page_host_site.h"
#include "tools/corvo-sso/cli_common.h"
#include "tools/corvo-sso/control_factory.h"
#include "tools/corvo-sso/dispatch_caller.h"
#include "tools/corvo-sso/host_site.h"
#include "tools/corvo-sso/json_text.h"

namespace corvo::cli {
namespace {

ScopedVariant Text(std::u16string_view value) {
    ScopedVariant v;
    v.Get()->vt = VT_BSTR;
    v.Get()->bstrVal = BstrPtr::FromText(value).Detach();
    return v;
}

// The object a method returned as VT_DISPATCH, or an error.
HRESULT TakeObject(ScopedVariant& result, ComPtr<IDispatch>* object) {
    if ((*result).vt != VT_DISPATCH || !(*result).pdispVal) return DISP_E_TYPEMISMATCH;
    *object = ComPtr<IDispatch>((*result).pdispVal);
    return S_OK;
}

HRESULT TakeText(ScopedVariant& result, std::u16string* text) {
    if ((*result).vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
    const BSTR b = (*result).bstrVal;
    text->assign(AsUtf16View(b, b ? SysStringLen(b) : 0));
    return S_OK;
}

HRESULT GetDataStr(IDispatch* data, const char16_t* name, std::u16string* value) {
    ScopedVariant key = Text(name), result;
    HRESULT hr = DispatchCaller(data).Call(u"GetDataStr", {key.Get()}, result.Get());
    if (FAILED(hr)) return hr;
    return TakeText(result, value);
}

HRESULT CallForText(IDispatch* control, std::u16string_view method, std::u16string* text) {
    ScopedVariant result;
    HRESULT hr = DispatchCaller(control).Call(method, {}, result.Get());
    if (FAILED(hr)) return hr;
    return TakeText(result, text);
}

}  // namespace

HRESULT LoginSession::Open(const std::string& page, int zone, std::string* message) {
    HRESULT hr = CreateLoginControl(&module_, &control_, message);
    if (FAILED(hr)) return hr;
    std::u16string address;
    if (page.empty())
        address = DefaultPageAddress(control_.Get());
    else if (!Utf8ToUtf16Strict(page, address))
        Usage("the page address is not valid UTF-8");
    return OpenOn(std::move(address), zone, message);
}

HRESULT LoginSession::OpenOn(std::u16string address, int zone, std::string* message) {
    if (!control_) {
        HRESULT hr = CreateLoginControl(&module_, &control_, message);
        if (FAILED(hr)) return hr;
    }
    ComPtr<IObjectWithSite> withSite;
    HRESULT hr = control_.As(IID_IObjectWithSite, &withSite);
    if (FAILED(hr)) return hr;
    // A refused page is kept as the site all the same; each call then fails at
    // the gate. A zone below 0 is left to the system (platform/page_host_site.h).
    withSite->SetSite(platform::CreatePageHostSite(std::move(address), zone).Get());
    return S_OK;
}

HRESULT ListUsers(IDispatch* control, LONG flag, LONG includeSubAccount,
                  std::vector<UserEntry>* users) {
    ScopedVariant lFlag = ScopedVariant::Long(flag), lSub = ScopedVariant::Long(includeSubAccount);
    return ListUsers(control, *lFlag, *lSub, users);
}

HRESULT ListUsers(IDispatch* control, const VARIANT& flag, const VARIANT& includeSubAccount,
                  std::vector<UserEntry>* users) {
    ScopedVariant result;
    HRESULT hr =
        DispatchCaller(control).Call(u"GetUserList", {&flag, &includeSubAccount}, result.Get());
    if (FAILED(hr)) return hr;
    ComPtr<IDispatch> array;
    if (FAILED(hr = TakeObject(result, &array))) return hr;
    ScopedVariant size;
    if (FAILED(hr = DispatchCaller(array.Get()).Call(u"GetSize", {}, size.Get()))) return hr;
    ULONG count = 0;
    if ((*size).vt == VT_UI4)
        count = (*size).ulVal;
    else if ((*size).vt == VT_I4 && (*size).lVal >= 0)
        count = ULONG((*size).lVal);
    else
        return DISP_E_TYPEMISMATCH;
    users->clear();
    for (ULONG i = 0; i < count; ++i) {
        ScopedVariant index = ScopedVariant::Long(LONG(i)), item;
        hr = DispatchCaller(array.Get()).Call(u"GetItemData", {index.Get()}, item.Get());
        if (FAILED(hr)) return hr;
        ComPtr<IDispatch> data;
        if (FAILED(hr = TakeObject(item, &data))) return hr;
        UserEntry entry;
        for (size_t k = 0; k < kUserKeys.size(); ++k)
            if (FAILED(hr = GetDataStr(data.Get(), kUserKeys[k], &entry[k]))) return hr;
        users->push_back(std::move(entry));
    }
    return S_OK;
}

HRESULT BeginLogin(IDispatch* control, const VARIANT& reserved, const DataFields* fields,
                   LoginAnswer* answer) {
    ComPtr<IDispatch> data;
    HRESULT hr = S_OK;
    if (fields) {
        ScopedVariant created;
        hr = DispatchCaller(control).Call(u"CreateSSOData", {}, created.Get());
        if (FAILED(hr)) return hr;
        if (FAILED(hr = TakeObject(created, &data))) return hr;
        for (const auto& [name, text] : *fields) {
            ScopedVariant key = Text(name), value = Text(text);
            hr = DispatchCaller(data.Get()).Call(u"SetDataStr", {key.Get(), value.Get()}, nullptr);
            if (FAILED(hr)) return hr;
        }
    }
    ScopedVariant pData = ScopedVariant::Dispatch(data.Get());
    ScopedVariant result;
    hr = DispatchCaller(control).Call(u"BeginSSOLogin", {&reserved, pData.Get()}, result.Get());
    if (FAILED(hr)) return hr;
    ComPtr<IDispatch> out;
    if (FAILED(hr = TakeObject(result, &out))) return hr;
    if (FAILED(hr = GetDataStr(out.Get(), u"strKey_GOResult", &answer->goResult))) return hr;
    return GetDataStr(out.Get(), u"strKey_ResultURL", &answer->resultUrl);
}

HRESULT QuickLogin(IDispatch* control, const std::u16string& fullUserId, LONG reserved,
                   LoginAnswer* answer) {
    ScopedVariant lReserved = ScopedVariant::Long(reserved);
    const DataFields fields = {{u"strKey_FullUserID", fullUserId}};
    return BeginLogin(control, *lReserved, &fields, answer);
}

HRESULT QueryClientVersion(IDispatch* control, std::u16string* version) {
    return CallForText(control, u"GetQXClientVersion", version);
}

HRESULT QueryControlVersion(IDispatch* control, std::u16string* version) {
    return CallForText(control, u"GetSSOLoginCtrlVersion", version);
}

HRESULT InitControl(IDispatch* control) {
    ScopedVariant no_data = ScopedVariant::Dispatch(nullptr);
    ScopedVariant reserved = ScopedVariant::Long(0);
    return DispatchCaller(control).Call(u"InitSSOLoginCtrl", {no_data.Get(), reserved.Get()},
                                        nullptr);
}

}  // namespace corvo::cli
