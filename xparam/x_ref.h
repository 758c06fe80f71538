// XRef<T>: an owning counted reference to an XParam library object (a node, a
// buffer holder, a parser, a traversal). Copying adds a reference, destruction
// releases it. Adopt() takes over a reference that a factory or getter returned.
#pragma once

#include <utility>

namespace xparam {

template <class T>
class XRef {
  public:
    XRef() noexcept = default;
    XRef(std::nullptr_t) noexcept {}
    // Shares `p`: adds a reference of its own.
    explicit XRef(T* p) noexcept : p_(p) {
        if (p_) p_->AddRef();
    }
    // Takes over the reference that the caller owned.
    static XRef Adopt(T* p) noexcept {
        XRef r;
        r.p_ = p;
        return r;
    }
    XRef(const XRef& other) noexcept : XRef(other.p_) {}
    XRef(XRef&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    XRef& operator=(XRef other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~XRef() { Reset(); }

    void Reset() noexcept {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    // Hands the reference to the caller.
    [[nodiscard]] T* Detach() noexcept { return std::exchange(p_, nullptr); }

    T* Get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    T& operator*() const noexcept { return *p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    friend bool operator==(const XRef& a, const XRef& b) noexcept { return a.p_ == b.p_; }
    friend bool operator==(const XRef& a, const T* b) noexcept { return a.p_ == b; }

  private:
    T* p_ = nullptr;
};

}  // namespace xparam
