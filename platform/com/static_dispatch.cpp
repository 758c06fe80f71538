#include "platform/com/static_dispatch.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>

#include "platform/com/ole_text.h"

namespace corvo::com {
namespace {

char16_t FoldAscii(char16_t c) {
    return c >= u'a' && c <= u'z' ? c - (u'a' - u'A') : c;
}

bool NamesEqual(const char16_t* a, const char16_t* b) {
    for (; *a && *b; ++a, ++b)
        if (FoldAscii(*a) != FoldAscii(*b)) return false;
    return *a == *b;
}

const MethodDescription* FindMethod(const InterfaceDescription& itf, DISPID id) {
    for (uint32_t i = 0; i < itf.method_count; ++i)
        if (itf.methods[i].dispid == id) return &itf.methods[i];
    return nullptr;
}

// The value a variant carries, seen through one VT_BYREF level.
struct Scalar {
    VARTYPE vt;        // without VT_BYREF
    const void* data;  // the value's storage
};

HRESULT Unwrap(const VARIANT* v, Scalar* out) {
    if (v->vt == (VT_BYREF | VT_VARIANT)) {
        if (!v->pvarVal || (v->pvarVal->vt == (VT_BYREF | VT_VARIANT))) return DISP_E_TYPEMISMATCH;
        v = v->pvarVal;
    }
    if (v->vt & VT_BYREF) {
        if (!v->byref) return DISP_E_TYPEMISMATCH;
        *out = {static_cast<VARTYPE>(v->vt & ~VT_BYREF), v->byref};
    } else {
        *out = {v->vt, &v->llVal};
    }
    return S_OK;
}

template <class T>
T Read(const Scalar& s) {
    T value;
    std::memcpy(&value, s.data, sizeof value);
    return value;
}

// Integer forms accepted for LONG and ULONG parameters.
HRESULT ParseDecimal(const char16_t* text, int64_t* out) {
    if (!text) text = u"";
    while (*text == u' ' || *text == u'\t') ++text;
    bool negative = false;
    if (*text == u'+' || *text == u'-') negative = *text++ == u'-';
    if (*text < u'0' || *text > u'9') return DISP_E_TYPEMISMATCH;
    int64_t value = 0;
    for (; *text >= u'0' && *text <= u'9'; ++text) {
        value = value * 10 + (*text - u'0');
        if (value > (int64_t{1} << 40)) return DISP_E_OVERFLOW;
    }
    while (*text == u' ' || *text == u'\t') ++text;
    if (*text) return DISP_E_TYPEMISMATCH;
    *out = negative ? -value : value;
    return S_OK;
}

HRESULT FromDouble(double d, int64_t* out) {
    if (!std::isfinite(d) || std::fabs(d) > 1e12) return DISP_E_OVERFLOW;
    *out = static_cast<int64_t>(std::nearbyint(d));  // round half to even, as the OLE runtime does
    return S_OK;
}

HRESULT ToInteger(const Scalar& s, int64_t* out) {
    switch (s.vt) {
        case VT_EMPTY:
            *out = 0;
            return S_OK;
        case VT_I1:
            *out = Read<CHAR>(s);
            return S_OK;
        case VT_UI1:
            *out = Read<BYTE>(s);
            return S_OK;
        case VT_I2:
            *out = Read<SHORT>(s);
            return S_OK;
        case VT_UI2:
            *out = Read<USHORT>(s);
            return S_OK;
        case VT_I4:
            *out = Read<LONG>(s);
            return S_OK;
        case VT_UI4:
            *out = Read<ULONG>(s);
            return S_OK;
        case VT_INT:
            *out = Read<INT>(s);
            return S_OK;
        case VT_UINT:
            *out = Read<UINT>(s);
            return S_OK;
        case VT_BOOL:
            *out = Read<VARIANT_BOOL>(s) ? -1 : 0;
            return S_OK;
        case VT_I8:
            *out = Read<LONGLONG>(s);
            return S_OK;
        case VT_UI8: {
            const ULONGLONG u = Read<ULONGLONG>(s);
            if (u > static_cast<ULONGLONG>(std::numeric_limits<int64_t>::max()))
                return DISP_E_OVERFLOW;
            *out = static_cast<int64_t>(u);
            return S_OK;
        }
        case VT_R4:
            return FromDouble(Read<FLOAT>(s), out);
        case VT_R8:
            return FromDouble(Read<DOUBLE>(s), out);
        case VT_BSTR:
            return ParseDecimal(AsUtf16(Read<BSTR>(s)), out);
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

template <class T>
HRESULT ToRange(const Scalar& s, T* out) {
    int64_t v = 0;
    if (HRESULT hr = ToInteger(s, &v); FAILED(hr)) return hr;
    if (v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max())
        return DISP_E_OVERFLOW;
    *out = static_cast<T>(v);
    return S_OK;
}

// The text of a number handed to a BSTR parameter.
HRESULT NumberText(const Scalar& s, std::string* text) {
    char buf[40];
    if (s.vt == VT_R4 || s.vt == VT_R8) {
        const double d = s.vt == VT_R4 ? Read<FLOAT>(s) : Read<DOUBLE>(s);
        std::snprintf(buf, sizeof buf, "%.15G", d);
    } else if (s.vt == VT_BOOL) {
        std::snprintf(buf, sizeof buf, "%s", Read<VARIANT_BOOL>(s) ? "True" : "False");
    } else if (s.vt == VT_UI8) {
        std::snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(Read<ULONGLONG>(s)));
    } else {
        int64_t v = 0;
        if (s.vt == VT_EMPTY || s.vt == VT_BSTR || FAILED(ToInteger(s, &v)))
            return DISP_E_TYPEMISMATCH;
        std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v));
    }
    *text = buf;
    return S_OK;
}

// Owns what the conversion of the arguments created.
class ArgumentHolder {
  public:
    explicit ArgumentHolder(const MethodDescription& m) : method_(m) {}
    ~ArgumentHolder() {
        for (uint32_t i = 0; i < method_.ArgumentCount(); ++i) {
            if (owned_bstr_[i]) SysFreeString(args_[i].bstr);
            if (method_.params[i].type == ParamType::Interface && !method_.params[i].by_ref &&
                args_[i].ptr)
                static_cast<IUnknown*>(args_[i].ptr)->Release();
        }
    }
    ArgumentHolder(const ArgumentHolder&) = delete;
    ArgumentHolder& operator=(const ArgumentHolder&) = delete;

    DispatchArg* Args() { return args_; }
    HRESULT Convert(uint32_t index, const VARIANT& v);

  private:
    HRESULT ConvertInterface(DispatchArg& arg, const ParamDescription& p, const Scalar& s);
    HRESULT ConvertBstr(uint32_t index, const Scalar& s);

    const MethodDescription& method_;
    DispatchArg args_[kMaxDispatchParams];
    bool owned_bstr_[kMaxDispatchParams] = {};
};

HRESULT ArgumentHolder::ConvertBstr(uint32_t index, const Scalar& s) {
    if (s.vt == VT_BSTR) {
        args_[index].bstr = Read<BSTR>(s);
        return S_OK;
    }
    if (s.vt == VT_EMPTY) return S_OK;  // a null BSTR: the empty string
    std::string text;
    if (HRESULT hr = NumberText(s, &text); FAILED(hr)) return hr;
    std::u16string wide(text.begin(), text.end());
    BSTR b = SysAllocStringLen(AsOleText(wide.data()), static_cast<UINT>(wide.size()));
    if (!b) return E_OUTOFMEMORY;
    args_[index].bstr = b;
    owned_bstr_[index] = true;
    return S_OK;
}

HRESULT ArgumentHolder::ConvertInterface(DispatchArg& arg, const ParamDescription& p,
                                         const Scalar& s) {
    if (s.vt == VT_EMPTY || s.vt == VT_NULL) return S_OK;  // a null pointer
    if (s.vt != VT_DISPATCH && s.vt != VT_UNKNOWN) return DISP_E_TYPEMISMATCH;
    IUnknown* unknown = Read<IUnknown*>(s);
    if (!unknown) return S_OK;
    void* itf = nullptr;
    if (FAILED(unknown->QueryInterface(*p.iid, &itf)) || !itf) return DISP_E_TYPEMISMATCH;
    arg.ptr = itf;
    return S_OK;
}

HRESULT ArgumentHolder::Convert(uint32_t index, const VARIANT& v) {
    const ParamDescription& p = method_.params[index];
    DispatchArg& arg = args_[index];
    if (v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND) return DISP_E_PARAMNOTOPTIONAL;
    Scalar s{};
    if (HRESULT hr = Unwrap(&v, &s); FAILED(hr)) return hr;
    if (p.by_ref) {
        // A pointer parameter without [out]: the caller's own storage when it
        // passes a reference of the exact type, otherwise a converted copy.
        const VARTYPE want = p.type == ParamType::I4    ? VT_I4
                             : p.type == ParamType::UI4 ? VT_UI4
                                                        : VT_BSTR;
        const VARIANT* inner = v.vt == (VT_BYREF | VT_VARIANT) ? v.pvarVal : &v;
        if (inner->vt == (VT_BYREF | want)) {
            arg.ptr = inner->byref;
            return S_OK;
        }
        HRESULT hr = p.type == ParamType::I4    ? ToRange(s, &arg.i4)
                     : p.type == ParamType::UI4 ? ToRange(s, &arg.ui4)
                                                : DISP_E_TYPEMISMATCH;
        arg.ptr = p.type == ParamType::I4 ? static_cast<void*>(&arg.i4) : &arg.ui4;
        return hr;
    }
    switch (p.type) {
        case ParamType::Bstr:
            return ConvertBstr(index, s);
        case ParamType::I4:
            return ToRange(s, &arg.i4);
        case ParamType::UI4:
            return ToRange(s, &arg.ui4);
        case ParamType::Interface:
            return ConvertInterface(arg, p, s);
    }
    return DISP_E_TYPEMISMATCH;
}

}  // namespace

HRESULT StaticDispatch::GetTypeInfoCount(UINT* pctinfo) {
    if (!pctinfo) return E_POINTER;
    *pctinfo = 1;
    return S_OK;
}

HRESULT StaticDispatch::GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) {
    if (!ppTInfo) return E_POINTER;
    *ppTInfo = nullptr;
    return iTInfo != 0 ? DISP_E_BADINDEX : E_NOTIMPL;
}

HRESULT StaticDispatch::GetIDsOfNames(const InterfaceDescription& itf, REFIID riid,
                                      LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) {
    if (!IsEqualIID(riid, GUID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (cNames == 0 || !rgszNames || !rgDispId) return E_INVALIDARG;
    for (UINT i = 0; i < cNames; ++i) rgDispId[i] = DISPID_UNKNOWN;
    const MethodDescription* method = nullptr;
    for (uint32_t i = 0; i < itf.method_count && rgszNames[0]; ++i)
        if (NamesEqual(itf.methods[i].name, AsUtf16(rgszNames[0]))) method = &itf.methods[i];
    if (!method) return DISP_E_UNKNOWNNAME;
    rgDispId[0] = method->dispid;
    HRESULT hr = S_OK;
    for (UINT n = 1; n < cNames; ++n) {
        for (uint32_t i = 0; i < method->ArgumentCount() && rgszNames[n]; ++i)
            if (NamesEqual(method->params[i].name, AsUtf16(rgszNames[n])))
                rgDispId[n] = static_cast<DISPID>(i);
        if (rgDispId[n] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT StaticDispatch::Invoke(const InterfaceDescription& itf, void* object, DISPID dispIdMember,
                               REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                               VARIANT* pVarResult, EXCEPINFO*, UINT* puArgErr) {
    if (!IsEqualIID(riid, GUID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (pVarResult) VariantInit(pVarResult);
    const MethodDescription* method = FindMethod(itf, dispIdMember);
    if (!method || !itf.call) return DISP_E_MEMBERNOTFOUND;
    // Script hosts read a method with a retval as a property, too.
    const bool callable =
        (wFlags & DISPATCH_METHOD) || ((wFlags & DISPATCH_PROPERTYGET) && method->Retval());
    if (!callable) return DISP_E_MEMBERNOTFOUND;
    if (!pDispParams) return E_INVALIDARG;
    if (pDispParams->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    const UINT count = pDispParams->cArgs;
    if (count != 0 && !pDispParams->rgvarg) return E_INVALIDARG;
    if (count > method->ArgumentCount()) return DISP_E_BADPARAMCOUNT;
    if (count < method->ArgumentCount()) return DISP_E_PARAMNOTOPTIONAL;

    ArgumentHolder holder(*method);
    for (UINT i = 0; i < count; ++i) {
        const UINT position = count - 1 - i;  // rgvarg holds the arguments in reverse order
        if (HRESULT hr = holder.Convert(i, pDispParams->rgvarg[position]); FAILED(hr)) {
            if (puArgErr) *puArgErr = position;
            return hr;
        }
    }
    return itf.call(object, dispIdMember, holder.Args(), pVarResult);
}

void StoreResult(HRESULT hr, BSTR value, VARIANT* result) {
    if (FAILED(hr) || !result) {
        SysFreeString(value);
        return;
    }
    result->vt = VT_BSTR;
    result->bstrVal = value;
}

void StoreResult(HRESULT hr, LONG value, VARIANT* result) {
    if (FAILED(hr) || !result) return;
    result->vt = VT_I4;
    result->lVal = value;
}

void StoreResult(HRESULT hr, ULONG value, VARIANT* result) {
    if (FAILED(hr) || !result) return;
    result->vt = VT_UI4;
    result->ulVal = value;
}

namespace {
template <class Interface>
void StoreInterface(HRESULT hr, Interface* value, VARTYPE vt, VARIANT* result) {
    if (FAILED(hr) || !result) {
        if (value) value->Release();
        return;
    }
    result->vt = vt;
    if constexpr (std::is_same_v<Interface, IDispatch>)
        result->pdispVal = value;
    else
        result->punkVal = value;
}
}  // namespace

void StoreResult(HRESULT hr, IDispatch* value, VARIANT* result) {
    StoreInterface(hr, value, VT_DISPATCH, result);
}
void StoreResult(HRESULT hr, IUnknown* value, VARIANT* result) {
    StoreInterface(hr, value, VT_UNKNOWN, result);
}

}  // namespace corvo::com
