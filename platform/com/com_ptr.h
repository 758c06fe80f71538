// ComPtr<T>: owns one counted reference to a COM interface.
#pragma once

#include <utility>

#include "platform/com/com.h"

namespace corvo {

template <class T>
class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes an added reference (the pointer is borrowed).
    explicit ComPtr(T* p) : p_(p) {
        if (p_) p_->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ~ComPtr() { Reset(); }

    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }

    // Takes over a reference the caller already owns.
    static ComPtr Adopt(T* p) {
        ComPtr c;
        c.p_ = p;
        return c;
    }

    void Reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    // Gives the reference away.
    T* Detach() { return std::exchange(p_, nullptr); }

    // For out parameters: releases what is held and exposes the slot.
    T** Out() {
        Reset();
        return &p_;
    }
    void** OutVoid() { return reinterpret_cast<void**>(Out()); }

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

    // QueryInterface into another holder.
    template <class U>
    HRESULT As(REFIID iid, ComPtr<U>* out) const {
        if (!p_) return E_POINTER;
        return p_->QueryInterface(iid, out->OutVoid());
    }

  private:
    T* p_ = nullptr;
};

}  // namespace corvo
