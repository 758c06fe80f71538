// Calls automation methods by name, the way a page's script does: the name is
// looked up with GetIDsOfNames, then the method is called with Invoke.
#pragma once

#include <initializer_list>
#include <string_view>
#include <vector>

#include "platform/com/com.h"
#include "platform/com/com_ptr.h"

namespace corvo::cli {

// A VARIANT that frees what it holds.
class ScopedVariant {
  public:
    ScopedVariant() { VariantInit(&v_); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;
    ScopedVariant(ScopedVariant&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
    ~ScopedVariant() { VariantClear(&v_); }

    static ScopedVariant Long(LONG value);
    // Takes an added reference (null gives a null VT_DISPATCH).
    static ScopedVariant Dispatch(IDispatch* value);

    VARIANT* Get() { return &v_; }
    const VARIANT& operator*() const { return v_; }

  private:
    VARIANT v_;
};

class DispatchCaller {
  public:
    explicit DispatchCaller(IDispatch* target) : target_(target) {}

    // Invokes method `name` with `args` in declaration order (the caller keeps
    // them). `result` (may be null) receives the method's return value.
    // Returns the method's HRESULT: a failure that Invoke reports as
    // DISP_E_EXCEPTION is unwrapped to the method's own code.
    HRESULT Call(std::u16string_view name, std::initializer_list<const VARIANT*> args,
                 VARIANT* result) const;

  private:
    ComPtr<IDispatch> target_;
};

}  // namespace corvo::cli
