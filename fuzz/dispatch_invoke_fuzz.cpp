// IDispatch::Invoke of the three interfaces with random arguments, as a
// page's script could pass them: any member id, any call flags, any number of
// VARIANTs of any kind (by value and by reference, strings with NULs, null
// and live objects, unknown kinds). The control is hosted on an allowed page
// or on none; no IM client is reachable (no endpoint directory), so every
// exchange fails at once. Properties: nothing crashes, a failed call leaves
// the result empty, and every object is gone once the caller let go (the
// module's lock count returns to where it was).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "control/sso_login_ctrl.h"
#include "data/sso_data.h"
#include "data/sso_data_array.h"
#include "platform/com/com_ptr.h"
#include "platform/com/module_lock.h"
#include "tests/control/fake_site.h"

namespace {

using namespace corvo;

const bool kNoClient = [] {
    setenv("CORVO_IM_DIR", "/nonexistent/corvo-dispatch-fuzz", 1);
    return true;
}();

class Input {
  public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ >= size_; }
    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint32_t Word() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = v << 8 | Byte();
        return v;
    }
    std::u16string Text() {
        const size_t n = Byte() % 24;
        std::u16string s;
        for (size_t i = 0; i < n && !empty(); ++i) {
            const uint8_t b = Byte();
            // Mostly the names the objects know, some NULs and odd units.
            s += b < 0xF0 ? char16_t(b) : char16_t(0xD800 + (b & 0x0F) * 0x100);
        }
        return s;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// Storage that by-reference arguments point into; lives for one call.
struct Referents {
    LONG longs[8] = {};
    ULONG ulongs[8] = {};
    SHORT shorts[8] = {};
    double doubles[8] = {};
    VARIANT_BOOL bools[8] = {};
    BSTR bstrs[8] = {};
    IDispatch* dispatches[8] = {};
    IUnknown* unknowns[8] = {};
    VARIANT variants[8] = {};
    int next = 0;

    ~Referents() {
        for (BSTR& b : bstrs) SysFreeString(b);
        for (IDispatch* d : dispatches)
            if (d) d->Release();
        for (IUnknown* u : unknowns)
            if (u) u->Release();
        for (VARIANT& v : variants) VariantClear(&v);
    }
};

IDispatch* NewObject(Input& in, IDispatch* pool[3]) {
    IDispatch* d = pool[in.Byte() % 3];
    if (d) d->AddRef();
    return d;
}

void MakeArgument(Input& in, VARIANT& v, Referents& refs, IDispatch* pool[3], int depth) {
    VariantInit(&v);
    const uint8_t kind = in.Byte();
    const int slot = refs.next++ % 8;
    switch (kind % 20) {
        case 0:
            v.vt = VT_EMPTY;
            break;
        case 1:
            v.vt = VT_NULL;
            break;
        case 2:
            v.vt = VT_I2;
            v.iVal = SHORT(in.Word());
            break;
        case 3:
            v.vt = VT_I4;
            v.lVal = LONG(in.Word());
            break;
        case 4:
            v.vt = VT_R4;
            v.fltVal = float(int32_t(in.Word())) / 7.0f;
            break;
        case 5: {
            v.vt = VT_R8;
            const uint32_t hi = in.Word(), lo = in.Word();
            uint64_t bits = uint64_t(hi) << 32 | lo;
            __builtin_memcpy(&v.dblVal, &bits, sizeof bits);  // NaN, infinities too
            break;
        }
        case 6:
        case 7: {
            v.vt = VT_BSTR;
            const std::u16string t = in.Text();
            v.bstrVal = (kind & 0x80) ? nullptr : SysAllocStringLen(t.data(), UINT(t.size()));
            break;
        }
        case 8:
            v.vt = VT_DISPATCH;
            v.pdispVal = NewObject(in, pool);
            break;
        case 9:
            v.vt = VT_UNKNOWN;
            v.punkVal = NewObject(in, pool);
            break;
        case 10:
            v.vt = VT_BOOL;
            v.boolVal = (kind & 1) ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case 11:
            v.vt = VT_ERROR;
            v.scode = SCODE(in.Word());
            break;
        case 12:
            v.vt = VT_UI1;
            v.bVal = in.Byte();
            break;
        case 13:
            v.vt = VT_UI4;
            v.ulVal = in.Word();
            break;
        case 14:
            v.vt = VT_I8;
            v.llVal = LONGLONG(uint64_t(in.Word()) << 32 | in.Word());
            break;
        case 15: {
            // By reference to a value of a random kind.
            const uint8_t target = in.Byte() % 6;
            switch (target) {
                case 0:
                    v.vt = VT_BYREF | VT_I4;
                    refs.longs[slot] = LONG(in.Word());
                    v.plVal = &refs.longs[slot];
                    break;
                case 1:
                    v.vt = VT_BYREF | VT_UI4;
                    refs.ulongs[slot] = in.Word();
                    v.pulVal = &refs.ulongs[slot];
                    break;
                case 2:
                    v.vt = VT_BYREF | VT_I2;
                    refs.shorts[slot] = SHORT(in.Word());
                    v.piVal = &refs.shorts[slot];
                    break;
                case 3: {
                    v.vt = VT_BYREF | VT_BSTR;
                    const std::u16string t = in.Text();
                    SysFreeString(refs.bstrs[slot]);
                    refs.bstrs[slot] = SysAllocStringLen(t.data(), UINT(t.size()));
                    v.pbstrVal = &refs.bstrs[slot];
                    break;
                }
                case 4:
                    v.vt = VT_BYREF | VT_DISPATCH;
                    if (refs.dispatches[slot]) refs.dispatches[slot]->Release();
                    refs.dispatches[slot] = NewObject(in, pool);
                    v.ppdispVal = &refs.dispatches[slot];
                    break;
                default:
                    v.vt = VT_BYREF | VT_R8;
                    refs.doubles[slot] = double(in.Word());
                    v.pdblVal = &refs.doubles[slot];
                    break;
            }
            break;
        }
        case 16:
            if (depth < 2) {
                // A VARIANT holding the argument by reference (what script
                // engines pass for variables).
                VARIANT& inner = refs.variants[slot];
                VariantClear(&inner);
                MakeArgument(in, inner, refs, pool, depth + 1);
                v.vt = VT_BYREF | VT_VARIANT;
                v.pvarVal = &inner;
            }
            break;
        case 17:
            v.vt = VT_BYREF | VT_BOOL;
            refs.bools[slot] = VARIANT_TRUE;
            v.pboolVal = &refs.bools[slot];
            break;
        case 18:
            v.vt = VT_INT;
            v.intVal = INT(in.Word());
            break;
        default:
            // A kind nobody converts; its value is left zero so that nothing
            // reads through a random pointer.
            v.vt = VARTYPE(in.Word() & ~VT_BYREF);
            if (v.vt == VT_BSTR || v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) v.vt = VT_EMPTY;
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    const LONG locksBefore = com::ModuleLock::Count();
    {
        // The three objects, the control on an allowed page, on a refused
        // page or on none.
        ComPtr<ISSOLoginCtrl> ctrl;
        ComPtr<ISSOData> ssoData;
        ComPtr<ISSODataArray> array;
        if (CSSOLoginCtrl::CreateInstance(nullptr, IID_ISSOLoginCtrl, ctrl.OutVoid()) != S_OK ||
            data::CSSOData::CreateInstance(nullptr, IID_ISSOData, ssoData.OutVoid()) != S_OK ||
            data::CSSODataArray::CreateInstance(nullptr, IID_ISSODataArray, array.OutVoid()) !=
                S_OK)
            __builtin_trap();
        const uint8_t page = in.Byte() % 3;
        if (page < 2) {
            test::FakeSiteConfig config;
            config.address = page == 0 ? test::AllowedPage() : std::u16string(test::kRefusedPage);
            auto site = test::FakeSite::Create(std::move(config));
            ComPtr<IObjectWithSite> withSite;
            if (ctrl->QueryInterface(IID_IObjectWithSite, withSite.OutVoid()) != S_OK)
                __builtin_trap();
            withSite->SetSite(site->Unknown());
        }
        IDispatch* pool[3] = {nullptr, nullptr, nullptr};
        ctrl->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&pool[0]));
        ssoData->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&pool[1]));
        array->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&pool[2]));

        for (int call = 0; call < 8 && !in.empty(); ++call) {
            IDispatch* target = pool[in.Byte() % 3];
            const DISPID id = DISPID(int8_t(in.Byte())) % 10;
            const WORD flags = WORD(in.Byte() & 0x0F);
            const UINT count = in.Byte() % 5;
            Referents refs;
            std::vector<VARIANT> args(count);
            for (VARIANT& a : args) MakeArgument(in, a, refs, pool, 0);
            DISPID named = -3;  // DISPID_PROPERTYPUT
            DISPPARAMS params{count ? args.data() : nullptr, &named, count,
                              UINT(in.Byte() == 0xFF ? 1 : 0)};
            VARIANT result;
            VariantInit(&result);
            UINT argErr = 0xFFFFFFFF;
            const HRESULT hr =
                target->Invoke(id, GUID_NULL, 0, flags, &params, &result, nullptr, &argErr);
            if (FAILED(hr) && result.vt != VT_EMPTY) __builtin_trap();
            if (argErr != 0xFFFFFFFF && argErr >= count) __builtin_trap();
            VariantClear(&result);
            for (VARIANT& a : args) VariantClear(&a);
        }
        for (IDispatch* d : pool)
            if (d) d->Release();
        if (page < 2) {
            ComPtr<IObjectWithSite> withSite;
            ctrl->QueryInterface(IID_IObjectWithSite, withSite.OutVoid());
            withSite->SetSite(nullptr);
        }
    }
    if (com::ModuleLock::Count() != locksBefore) __builtin_trap();
    return kNoClient ? 0 : 1;
}
