#include "tools/corvo-sso/dispatch_caller.h"

#include <string>

#include "platform/com/ole_text.h"

namespace corvo::cli {

ScopedVariant ScopedVariant::Long(LONG value) {
    ScopedVariant v;
    v.v_.vt = VT_I4;
    v.v_.lVal = value;
    return v;
}

ScopedVariant ScopedVariant::Dispatch(IDispatch* value) {
    ScopedVariant v;
    v.v_.vt = VT_DISPATCH;
    v.v_.pdispVal = value;
    if (value) value->AddRef();
    return v;
}

namespace {

// Frees the strings an EXCEPINFO carries and returns its result code.
HRESULT TakeException(EXCEPINFO* info) {
    if (info->pfnDeferredFillIn) info->pfnDeferredFillIn(info);
    HRESULT hr = info->scode ? info->scode : DISP_E_EXCEPTION;
    SysFreeString(info->bstrSource);
    SysFreeString(info->bstrDescription);
    SysFreeString(info->bstrHelpFile);
    *info = EXCEPINFO{};
    return hr;
}

}  // namespace

HRESULT DispatchCaller::Call(std::u16string_view name, std::initializer_list<const VARIANT*> args,
                             VARIANT* result) const {
    if (!target_) return E_POINTER;
    std::u16string text(name);
    LPOLESTR names[] = {AsOleText(text.data())};
    DISPID dispid = DISPID_UNKNOWN;
    HRESULT hr = target_->GetIDsOfNames(GUID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid);
    if (FAILED(hr)) return hr;

    // DISPPARAMS carries the arguments last to first. Invoke does not change
    // them; the copies are shallow and the caller keeps ownership.
    std::vector<VARIANT> reversed;
    reversed.reserve(args.size());
    for (auto it = args.end(); it != args.begin();) reversed.push_back(**--it);
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};

    EXCEPINFO exception{};
    UINT bad_argument = 0;
    hr = target_->Invoke(dispid, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result,
                         &exception, &bad_argument);
    if (hr == DISP_E_EXCEPTION) return TakeException(&exception);
    return hr;
}

}  // namespace corvo::cli
