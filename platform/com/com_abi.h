// COM and OLE Automation for platforms without the Windows runtime.
//
// Binary layout follows Windows: HRESULT and result codes with their Windows
// values, the 16-byte GUID, interfaces as abstract classes whose virtual
// functions appear in the Windows slot order (on the Itanium C++ ABI an
// abstract class with only pure virtual methods has exactly the COM vtable
// layout), BSTR with its 32-bit byte-length prefix, and the VARIANT family.
// Only what this system uses is declared.
#pragma once

#include <cstddef>
#include <cstdint>

#define STDMETHODCALLTYPE
#define STDAPICALLTYPE
#define STDAPI extern "C" HRESULT
#define STDMETHOD(name) virtual HRESULT name
#define STDMETHOD_(type, name) virtual type name

// ---------------------------------------------------------------------------
// Scalar types
using HRESULT = int32_t;
using SCODE = int32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using DWORD = uint32_t;
using UINT = unsigned int;
using INT = int;
using BOOL = int32_t;
using WORD = uint16_t;
using USHORT = uint16_t;
using SHORT = int16_t;
using BYTE = uint8_t;
using CHAR = char;
using LONGLONG = int64_t;
using ULONGLONG = uint64_t;
using FLOAT = float;
using DOUBLE = double;
using LCID = uint32_t;
using DISPID = int32_t;
using MEMBERID = DISPID;
using VARTYPE = uint16_t;
using VARIANT_BOOL = int16_t;
using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using BSTR = OLECHAR*;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// ---------------------------------------------------------------------------
// Result codes (Windows values)
inline constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
inline constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}
inline constexpr HRESULT MakeHResult(uint32_t value) {
    return static_cast<HRESULT>(value);
}
inline constexpr HRESULT HRESULT_FROM_WIN32(uint32_t error) {
    return static_cast<int32_t>(error) <= 0 ? static_cast<HRESULT>(error)
                                            : MakeHResult((error & 0x0000FFFFu) | 0x80070000u);
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeHResult(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = MakeHResult(0x80004002u);
inline constexpr HRESULT E_POINTER = MakeHResult(0x80004003u);
inline constexpr HRESULT E_ABORT = MakeHResult(0x80004004u);
inline constexpr HRESULT E_FAIL = MakeHResult(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = MakeHResult(0x8000FFFFu);
inline constexpr HRESULT E_ACCESSDENIED = MakeHResult(0x80070005u);
inline constexpr HRESULT E_HANDLE = MakeHResult(0x80070006u);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHResult(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = MakeHResult(0x80070057u);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHResult(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHResult(0x80040111u);
inline constexpr HRESULT CO_E_CLASSSTRING = MakeHResult(0x800401F3u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHResult(0x80040154u);
inline constexpr HRESULT CONNECT_E_NOCONNECTION = MakeHResult(0x80040200u);
inline constexpr HRESULT CONNECT_E_ADVISELIMIT = MakeHResult(0x80040201u);
inline constexpr HRESULT CONNECT_E_CANNOTCONNECT = MakeHResult(0x80040202u);
inline constexpr HRESULT SELFREG_E_TYPELIB = MakeHResult(0x80040200u);
inline constexpr HRESULT SELFREG_E_CLASS = MakeHResult(0x80040201u);
inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = MakeHResult(0x80020001u);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = MakeHResult(0x80020003u);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = MakeHResult(0x80020004u);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHResult(0x80020005u);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = MakeHResult(0x80020006u);
inline constexpr HRESULT DISP_E_NONAMEDARGS = MakeHResult(0x80020007u);
inline constexpr HRESULT DISP_E_BADVARTYPE = MakeHResult(0x80020008u);
inline constexpr HRESULT DISP_E_EXCEPTION = MakeHResult(0x80020009u);
inline constexpr HRESULT DISP_E_OVERFLOW = MakeHResult(0x8002000Au);
inline constexpr HRESULT DISP_E_BADINDEX = MakeHResult(0x8002000Bu);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = MakeHResult(0x8002000Eu);
inline constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = MakeHResult(0x8002000Fu);
inline constexpr HRESULT TYPE_E_LIBNOTREGISTERED = MakeHResult(0x8002801Du);
inline constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = MakeHResult(0x8002802Bu);
inline constexpr HRESULT TYPE_E_CANTLOADLIBRARY = MakeHResult(0x80029C4Au);

inline constexpr uint32_t ERROR_SUCCESS = 0;
inline constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr uint32_t ERROR_ACCESS_DENIED = 5;
inline constexpr uint32_t ERROR_INVALID_DATA = 13;
inline constexpr uint32_t ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr uint32_t ERROR_BAD_PATHNAME = 161;

// ---------------------------------------------------------------------------
// GUIDs
struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16, "GUID must keep the Windows layout");

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

constexpr bool IsEqualGUID(REFGUID a, REFGUID b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}
constexpr bool IsEqualIID(REFIID a, REFIID b) {
    return IsEqualGUID(a, b);
}
constexpr bool IsEqualCLSID(REFCLSID a, REFCLSID b) {
    return IsEqualGUID(a, b);
}
constexpr bool operator==(REFGUID a, REFGUID b) {
    return IsEqualGUID(a, b);
}

#include "platform/com/make_guid.h"

inline constexpr GUID GUID_NULL{};

// ---------------------------------------------------------------------------
// Interfaces
struct IUnknown;
struct IDispatch;
struct ITypeInfo;  // no type library on this platform: opaque
struct IConnectionPoint;
struct IConnectionPointContainer;
struct IEnumConnections;
struct IEnumConnectionPoints;

inline constexpr IID IID_IUnknown = MakeGuid("00000000-0000-0000-C000-000000000046");
inline constexpr IID IID_IClassFactory = MakeGuid("00000001-0000-0000-C000-000000000046");
inline constexpr IID IID_IDispatch = MakeGuid("00020400-0000-0000-C000-000000000046");
inline constexpr IID IID_ISupportErrorInfo = MakeGuid("DF0B3D60-548F-101B-8E65-08002B2BD119");
inline constexpr IID IID_IConnectionPointContainer =
    MakeGuid("B196B284-BAB4-101A-B69C-00AA00341D07");
inline constexpr IID IID_IEnumConnectionPoints = MakeGuid("B196B285-BAB4-101A-B69C-00AA00341D07");
inline constexpr IID IID_IConnectionPoint = MakeGuid("B196B286-BAB4-101A-B69C-00AA00341D07");
inline constexpr IID IID_IEnumConnections = MakeGuid("B196B287-BAB4-101A-B69C-00AA00341D07");
inline constexpr IID IID_IObjectWithSite = MakeGuid("FC4801A3-2BA9-11CF-A229-00AA003D7352");
inline constexpr IID IID_IObjectSafety = MakeGuid("CB5BDC81-93C1-11CF-8F20-00805F2CD064");
inline constexpr IID IID_IServiceProvider = MakeGuid("6D5140C1-7436-11CE-8034-00AA006009FA");

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

  protected:
    ~IUnknown() = default;
};

struct VARIANT;
using VARIANTARG = VARIANT;
struct DISPPARAMS;
struct EXCEPINFO;

struct IDispatch : IUnknown {
    virtual HRESULT GetTypeInfoCount(UINT* pctinfo) = 0;
    virtual HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
    virtual HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                  DISPID* rgDispId) = 0;
    virtual HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                           DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                           UINT* puArgErr) = 0;

  protected:
    ~IDispatch() = default;
};

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
    virtual HRESULT LockServer(BOOL fLock) = 0;

  protected:
    ~IClassFactory() = default;
};

struct ISupportErrorInfo : IUnknown {
    virtual HRESULT InterfaceSupportsErrorInfo(REFIID riid) = 0;

  protected:
    ~ISupportErrorInfo() = default;
};

struct CONNECTDATA {
    IUnknown* pUnk;
    DWORD dwCookie;
};

struct IEnumConnections : IUnknown {
    virtual HRESULT Next(ULONG cConnections, CONNECTDATA* rgcd, ULONG* pcFetched) = 0;
    virtual HRESULT Skip(ULONG cConnections) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumConnections** ppEnum) = 0;

  protected:
    ~IEnumConnections() = default;
};

struct IConnectionPoint : IUnknown {
    virtual HRESULT GetConnectionInterface(IID* pIID) = 0;
    virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** ppCPC) = 0;
    virtual HRESULT Advise(IUnknown* pUnkSink, DWORD* pdwCookie) = 0;
    virtual HRESULT Unadvise(DWORD dwCookie) = 0;
    virtual HRESULT EnumConnections(IEnumConnections** ppEnum) = 0;

  protected:
    ~IConnectionPoint() = default;
};

struct IEnumConnectionPoints : IUnknown {
    virtual HRESULT Next(ULONG cConnections, IConnectionPoint** ppCP, ULONG* pcFetched) = 0;
    virtual HRESULT Skip(ULONG cConnections) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumConnectionPoints** ppEnum) = 0;

  protected:
    ~IEnumConnectionPoints() = default;
};

struct IConnectionPointContainer : IUnknown {
    virtual HRESULT EnumConnectionPoints(IEnumConnectionPoints** ppEnum) = 0;
    virtual HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) = 0;

  protected:
    ~IConnectionPointContainer() = default;
};

struct IObjectWithSite : IUnknown {
    virtual HRESULT SetSite(IUnknown* pUnkSite) = 0;
    virtual HRESULT GetSite(REFIID riid, void** ppvSite) = 0;

  protected:
    ~IObjectWithSite() = default;
};

inline constexpr DWORD INTERFACESAFE_FOR_UNTRUSTED_CALLER = 0x00000001;
inline constexpr DWORD INTERFACESAFE_FOR_UNTRUSTED_DATA = 0x00000002;

struct IObjectSafety : IUnknown {
    virtual HRESULT GetInterfaceSafetyOptions(REFIID riid, DWORD* pdwSupportedOptions,
                                              DWORD* pdwEnabledOptions) = 0;
    virtual HRESULT SetInterfaceSafetyOptions(REFIID riid, DWORD dwOptionSetMask,
                                              DWORD dwEnabledOptions) = 0;

  protected:
    ~IObjectSafety() = default;
};

struct IServiceProvider : IUnknown {
    virtual HRESULT QueryService(REFGUID guidService, REFIID riid, void** ppvObject) = 0;

  protected:
    ~IServiceProvider() = default;
};

// ---------------------------------------------------------------------------
// BSTR: a pointer to UTF-16 code units, preceded by a 32-bit byte length and
// followed by a NUL. A null BSTR is the empty string.
BSTR SysAllocString(const OLECHAR* psz);
BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui);
void SysFreeString(BSTR bstrString);
UINT SysStringLen(BSTR pbstr);
UINT SysStringByteLen(BSTR bstr);

// ---------------------------------------------------------------------------
// VARIANT, DISPPARAMS, EXCEPINFO
enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_VOID = 24,
    VT_HRESULT = 25,
    VT_BYREF = 0x4000,
    VT_TYPEMASK = 0x0FFF,
};

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONGLONG llVal;
        LONG lVal;
        BYTE bVal;
        SHORT iVal;
        FLOAT fltVal;
        DOUBLE dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        CHAR cVal;
        USHORT uiVal;
        ULONG ulVal;
        ULONGLONG ullVal;
        INT intVal;
        UINT uintVal;
        BYTE* pbVal;
        SHORT* piVal;
        LONG* plVal;
        LONGLONG* pllVal;
        FLOAT* pfltVal;
        DOUBLE* pdblVal;
        VARIANT_BOOL* pboolVal;
        SCODE* pscode;
        BSTR* pbstrVal;
        IUnknown** ppunkVal;
        IDispatch** ppdispVal;
        VARIANT* pvarVal;
        void* byref;
        CHAR* pcVal;
        USHORT* puiVal;
        ULONG* pulVal;
        ULONGLONG* pullVal;
        INT* pintVal;
        UINT* puintVal;
        struct {
            void* pvRecord;
            void* pRecInfo;
        } brecVal;
    };
};
static_assert(sizeof(VARIANT) == 8 + 2 * sizeof(void*), "VARIANT must keep the Windows layout");

struct DISPPARAMS {
    VARIANTARG* rgvarg;
    DISPID* rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
};

struct EXCEPINFO {
    WORD wCode;
    WORD wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    DWORD dwHelpContext;
    void* pvReserved;
    HRESULT (*pfnDeferredFillIn)(EXCEPINFO*);
    SCODE scode;
};

inline constexpr WORD DISPATCH_METHOD = 0x1;
inline constexpr WORD DISPATCH_PROPERTYGET = 0x2;
inline constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
inline constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;
inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_VALUE = 0;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;

inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;

void VariantInit(VARIANT* pvarg);
// Frees what the variant owns (a BSTR, an interface reference; nothing for
// by-reference forms) and leaves it VT_EMPTY.
HRESULT VariantClear(VARIANT* pvarg);
// Deep copy: a new BSTR, an added reference.
HRESULT VariantCopy(VARIANT* pvargDest, const VARIANT* pvargSrc);

// Registry-form text of a GUID ("{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper
// case). Returns the characters written including the NUL (39), or 0 when cchMax
// is too small.
int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
// Parses the registry form (braces required, hex digits of either case);
// anything else gives CO_E_CLASSSTRING.
HRESULT CLSIDFromString(LPCOLESTR lpsz, CLSID* pclsid);
HRESULT IIDFromString(LPCOLESTR lpsz, IID* lpiid);
