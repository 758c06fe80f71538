// BSTR, VARIANT and GUID-text services of the non-Windows COM layer.
#ifndef _WIN32

#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>

#include "platform/com/allocation_budget.h"
#include "platform/com/bstr_fault_injection.h"
#include "platform/com/com.h"

namespace {

corvo::testing::AllocationBudget g_bstrBudget;

// The prefix is the 32-bit byte length; the characters follow it, then a NUL.
// The block is allocated with room for a 4-byte pad in front so that the
// characters stay 8-byte aligned, as with the Windows allocator.
constexpr size_t kPrefix = 8;

uint32_t* LengthSlot(BSTR s) {
    return reinterpret_cast<uint32_t*>(s) - 1;
}

}  // namespace

namespace corvo::testing {
void FailBstrAllocationAfter(int successes) {
    g_bstrBudget.FailAfter(successes);
}
void ClearBstrAllocationFailure() {
    g_bstrBudget.Clear();
}
}  // namespace corvo::testing

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
    // The byte length must fit the 32-bit prefix.
    if (ui > (std::numeric_limits<uint32_t>::max() - kPrefix - sizeof(OLECHAR)) / sizeof(OLECHAR))
        return nullptr;
    if (!g_bstrBudget.Take()) return nullptr;
    size_t bytes = size_t(ui) * sizeof(OLECHAR);
    auto* block = static_cast<unsigned char*>(std::malloc(kPrefix + bytes + sizeof(OLECHAR)));
    if (!block) return nullptr;
    BSTR s = reinterpret_cast<BSTR>(block + kPrefix);
    *LengthSlot(s) = static_cast<uint32_t>(bytes);
    if (strIn)
        std::memcpy(s, strIn, bytes);
    else
        std::memset(s, 0, bytes);
    s[ui] = u'\0';
    return s;
}

BSTR SysAllocString(const OLECHAR* psz) {
    if (!psz) return nullptr;
    return SysAllocStringLen(psz, static_cast<UINT>(std::char_traits<char16_t>::length(psz)));
}

void SysFreeString(BSTR bstrString) {
    if (bstrString) std::free(reinterpret_cast<unsigned char*>(bstrString) - kPrefix);
}

UINT SysStringByteLen(BSTR bstr) {
    return bstr ? *LengthSlot(bstr) : 0;
}

UINT SysStringLen(BSTR pbstr) {
    return SysStringByteLen(pbstr) / sizeof(OLECHAR);
}

void VariantInit(VARIANT* pvarg) {
    std::memset(pvarg, 0, sizeof(*pvarg));
    pvarg->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* pvarg) {
    if (!pvarg) return E_INVALIDARG;
    if (!(pvarg->vt & VT_BYREF)) {
        switch (pvarg->vt) {
            case VT_BSTR:
                SysFreeString(pvarg->bstrVal);
                break;
            case VT_UNKNOWN:
            case VT_DISPATCH:
                if (pvarg->punkVal) pvarg->punkVal->Release();
                break;
            default:
                break;
        }
    }
    VariantInit(pvarg);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* pvargDest, const VARIANT* pvargSrc) {
    if (!pvargDest || !pvargSrc) return E_INVALIDARG;
    if (pvargDest == pvargSrc) return S_OK;
    VARIANT copy = *pvargSrc;
    if (!(copy.vt & VT_BYREF)) {
        switch (copy.vt) {
            case VT_BSTR:
                if (pvargSrc->bstrVal) {
                    copy.bstrVal =
                        SysAllocStringLen(pvargSrc->bstrVal, SysStringLen(pvargSrc->bstrVal));
                    if (!copy.bstrVal) return E_OUTOFMEMORY;
                }
                break;
            case VT_UNKNOWN:
            case VT_DISPATCH:
                if (copy.punkVal) copy.punkVal->AddRef();
                break;
            default:
                break;
        }
    }
    VariantClear(pvargDest);
    *pvargDest = copy;
    return S_OK;
}

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
    if (!lpsz || cchMax < int(corvo::kGuidTextLength + 1)) return 0;
    std::u16string text = corvo::GuidToText(rguid);
    std::memcpy(lpsz, text.data(), text.size() * sizeof(char16_t));
    lpsz[text.size()] = u'\0';
    return int(text.size() + 1);
}

HRESULT CLSIDFromString(LPCOLESTR lpsz, CLSID* pclsid) {
    if (!pclsid) return E_INVALIDARG;
    if (!lpsz) {
        *pclsid = GUID_NULL;
        return S_OK;
    }
    return corvo::GuidFromText(std::u16string_view(lpsz), pclsid) ? S_OK : CO_E_CLASSSTRING;
}

HRESULT IIDFromString(LPCOLESTR lpsz, IID* lpiid) {
    return CLSIDFromString(lpsz, lpiid);
}

#endif  // !_WIN32
