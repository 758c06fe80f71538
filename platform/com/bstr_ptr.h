// BstrPtr: owns one BSTR and frees it with SysFreeString.
#pragma once

#include <string_view>
#include <utility>

#include "platform/com/com.h"
#include "platform/com/ole_text.h"

namespace corvo {

class BstrPtr {
  public:
    BstrPtr() = default;
    explicit BstrPtr(BSTR owned) : s_(owned) {}
    BstrPtr(const BstrPtr&) = delete;
    BstrPtr& operator=(const BstrPtr&) = delete;
    BstrPtr(BstrPtr&& other) noexcept : s_(std::exchange(other.s_, nullptr)) {}
    BstrPtr& operator=(BstrPtr&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.s_, nullptr));
        return *this;
    }
    ~BstrPtr() { Reset(); }

    // A new BSTR holding exactly these code units (embedded NULs included);
    // holds null when allocation fails.
    static BstrPtr FromText(std::u16string_view text) {
        return BstrPtr(SysAllocStringLen(AsOleText(text.data()), static_cast<UINT>(text.size())));
    }

    void Reset(BSTR owned = nullptr) {
        if (s_ != owned) SysFreeString(std::exchange(s_, owned));
    }
    BSTR Detach() { return std::exchange(s_, nullptr); }
    BSTR* Out() {
        Reset();
        return &s_;
    }

    BSTR Get() const { return s_; }
    // The whole recorded length, embedded NULs included.
    std::u16string_view View() const { return AsUtf16View(s_, s_ ? SysStringLen(s_) : 0); }
    explicit operator bool() const { return s_ != nullptr; }

  private:
    BSTR s_ = nullptr;
};

}  // namespace corvo
