// The static description of automation interfaces: what a type library tells
// IDispatch on Windows. tools/idlgen generates these tables from the IDL file;
// StaticDispatch serves GetIDsOfNames and Invoke from them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/com/com.h"

namespace corvo::com {

// Parameter flags, with the values of the type library's PARAMFLAG_F* bits.
inline constexpr uint16_t kParamIn = 0x1;
inline constexpr uint16_t kParamOut = 0x2;
inline constexpr uint16_t kParamRetval = 0x8;

// The most parameters a method may declare (corvo_idlgen enforces it).
inline constexpr uint32_t kMaxDispatchParams = 16;

// The base type of a parameter. Interface parameters name their interface.
enum class ParamType : uint8_t {
    Bstr,       // BSTR
    I4,         // LONG
    UI4,        // ULONG
    Interface,  // an interface pointer
};

struct ParamDescription {
    const char16_t* name;
    ParamType type;
    // One level of indirection beyond the value type: BSTR*, ULONG*, ISSOData**.
    bool by_ref;
    uint16_t flags;  // kParamIn | kParamOut | kParamRetval; 0 when the IDL gives none
    // For ParamType::Interface: the interface and whether it derives from IDispatch.
    const IID* iid;
    const char16_t* interface_name;
    bool interface_is_dispatch;
};

struct MethodDescription {
    const char16_t* name;
    DISPID dispid;
    const ParamDescription* params;
    uint32_t param_count;

    // The [out, retval] parameter, or null.
    constexpr const ParamDescription* Retval() const {
        return param_count && (params[param_count - 1].flags & kParamRetval)
                   ? &params[param_count - 1]
                   : nullptr;
    }
    // The parameters a caller passes in DISPPARAMS (all but the retval).
    constexpr uint32_t ArgumentCount() const { return param_count - (Retval() ? 1 : 0); }
};

// One argument as handed to a method by the generated call thunk. StaticDispatch
// fills the member that matches the parameter's description and owns what it
// holds (a converted BSTR, a queried interface reference).
struct DispatchArg {
    BSTR bstr = nullptr;  // ParamType::Bstr by value
    LONG i4 = 0;          // ParamType::I4 by value
    ULONG ui4 = 0;        // ParamType::UI4 by value
    // Interface by value: the pointer queried for the declared interface.
    // Any by-reference parameter other than the retval: the referenced storage.
    void* ptr = nullptr;
};

// Calls method `dispid` of `object` (a pointer to the interface, as void*) with
// the converted arguments in declaration order. Stores the retval, if any, in
// `result` (which may be null: the value is then discarded) and returns the
// method's HRESULT; DISP_E_MEMBERNOTFOUND for an unknown DISPID.
using CallThunk = HRESULT (*)(void* object, DISPID dispid, DispatchArg* args, VARIANT* result);

enum class InterfaceKind : uint8_t { Dual, DispInterface };

struct InterfaceDescription {
    const char16_t* name;
    const IID* iid;
    const char16_t* help;
    InterfaceKind kind;
    const MethodDescription* methods;
    uint32_t method_count;
    CallThunk call;  // null for a dispinterface
};

struct CoclassDescription {
    const char16_t* name;
    const CLSID* clsid;
    const char16_t* help;
    const IID* default_interface;
    const IID* default_source;  // null when the class has no source interface
};

struct LibraryDescription {
    const char16_t* name;
    const GUID* libid;
    uint16_t major_version;
    uint16_t minor_version;
    const char16_t* help;
    const InterfaceDescription* const* interfaces;  // dual interfaces and dispinterfaces
    uint32_t interface_count;
    const CoclassDescription* coclasses;
    uint32_t coclass_count;
};

// Specialised by the generated header for every interface of the IDL file:
//   static constexpr const InterfaceDescription& description;
//   static constexpr const LibraryDescription& library;  // the library holding it
template <class Interface>
struct InterfaceTraits;

// Hands a method's retval to the caller's result variant (or discards it when
// there is none or the method failed). Used by the generated call thunks.
void StoreResult(HRESULT hr, BSTR value, VARIANT* result);
void StoreResult(HRESULT hr, LONG value, VARIANT* result);
void StoreResult(HRESULT hr, ULONG value, VARIANT* result);
void StoreResult(HRESULT hr, IDispatch* value, VARIANT* result);
void StoreResult(HRESULT hr, IUnknown* value, VARIANT* result);

}  // namespace corvo::com
