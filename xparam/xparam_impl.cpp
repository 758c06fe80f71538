#include "xparam/xparam_impl.h"

#include <cstring>
#include <limits>
#include <new>
#include <type_traits>
#include <utility>

#include "platform/compiler.h"
#include "xparam/array_in_res.h"
#include "xparam/counted_text.h"
#include "xparam/text_codec.h"
#include "xparam/value_conversions.h"

namespace xparam {

#if UINTPTR_MAX == UINT64_MAX
static_assert(sizeof(XParamImpl) == 64, "keep nodes compact");
#endif

XParam* CreateXParam() {
    return XParamImpl::Create();
}

// ---------------------------------------------------------------------------
// Value kinds and the C++ types of the typed getters and setters.

template <class T>
struct ValueSlot;

#define XPARAM_VALUE_SLOT(Type, Kind, Member)                                     \
    template <>                                                                   \
    struct ValueSlot<Type> {                                                      \
        static constexpr ValueKind kKind = ValueKind::Kind;                       \
        static Type& Ref(XParamImpl::Value& v) noexcept { return v.Member; }      \
        static Type Get(const XParamImpl::Value& v) noexcept { return v.Member; } \
    };
XPARAM_VALUE_SLOT(char, Char, c)
XPARAM_VALUE_SLOT(unsigned char, UChar, uc)
XPARAM_VALUE_SLOT(short, Short, s)
XPARAM_VALUE_SLOT(unsigned short, UShort, us)
XPARAM_VALUE_SLOT(int, Int, i)
XPARAM_VALUE_SLOT(unsigned int, UInt, ui)
XPARAM_VALUE_SLOT(long long, Int64, i64)
XPARAM_VALUE_SLOT(unsigned long long, UInt64, u64)
XPARAM_VALUE_SLOT(long, Long, l)
XPARAM_VALUE_SLOT(unsigned long, ULong, ul)
XPARAM_VALUE_SLOT(float, Float, f)
XPARAM_VALUE_SLOT(double, Double, d)
XPARAM_VALUE_SLOT(bool, Bool, b)
#undef XPARAM_VALUE_SLOT

namespace {

bool InRange(ValueKind kind, int low, int high) {
    return static_cast<int>(kind) >= low && static_cast<int>(kind) <= high;
}

// The fixed-width type whose integer parse serves a getter's C++ type; `char`
// is the signed 8-bit kind whatever the platform's char signedness.
template <class T>
using ParseType = std::conditional_t<
    std::is_same_v<T, char>, int8_t,
    std::conditional_t<
        sizeof(T) == 1, std::conditional_t<std::is_signed_v<T>, int8_t, uint8_t>,
        std::conditional_t<
            sizeof(T) == 2, std::conditional_t<std::is_signed_v<T>, int16_t, uint16_t>,
            std::conditional_t<sizeof(T) == 4,
                               std::conditional_t<std::is_signed_v<T>, int32_t, uint32_t>,
                               std::conditional_t<std::is_signed_v<T>, int64_t, uint64_t>>>>>;

int32_t ParseLength(const WideString& text) {
    uint32_t n = text.Length();
    return n > static_cast<uint32_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(n);
}

int OutLength(std::size_t n) {
    return n > static_cast<std::size_t>(INT32_MAX) ? INT32_MAX : static_cast<int>(n);
}

template <class T>
bool ParseText(const WideString& text, T& out) {
    if constexpr (std::is_same_v<T, float>) {
        return ParseFloat(text.Data(), ParseLength(text), out);
    } else if constexpr (std::is_floating_point_v<T>) {
        return ParseDouble(text.Data(), ParseLength(text), out);
    } else {
        ParseType<T> v;
        if (!ParseInteger<ParseType<T>>(text.Data(), ParseLength(text), v)) return false;
        out = static_cast<T>(v);
        return true;
    }
}

template <class CharT>
const CharT* EmptyText() {
    static constexpr CharT kEmpty[1] = {CharT(0)};
    return kEmpty;
}

// Converts UTF-16 text into a new zero-terminated multi-byte buffer in the slot.
// The empty text answers with the empty byte string and leaves the slot alone;
// a conversion that yields nothing gives the empty byte string and false.
bool NarrowInto(const WideString& text, uint32_t codePage, const char*& pOut, int& nLen,
                XInResSlot& res) {
    pOut = EmptyText<char>();
    nLen = 0;
    if (text.Empty()) return true;
    int32_t needed = BytesFromWide(text.Data(), text.Length(), codePage, nullptr, 0);
    if (needed <= 0) return false;
    std::unique_ptr<char[]> buffer(new char[static_cast<std::size_t>(needed) + 1]());
    if (BytesFromWide(text.Data(), text.Length(), codePage, buffer.get(), needed) != needed) {
        return false;
    }
    pOut = ArrayInRes<char>::Put(res, std::move(buffer));
    nLen = needed;
    return true;
}

template <class CharT>
void PutCopy(const CharT* text, std::size_t length, const CharT*& pOut, int& nLen,
             XInResSlot& res) {
    std::unique_ptr<CharT[]> buffer(new CharT[length + 1]);
    std::memcpy(buffer.get(), text, length * sizeof(CharT));
    buffer[length] = CharT(0);
    pOut = ArrayInRes<CharT>::Put(res, std::move(buffer));
    nLen = OutLength(length);
}

}  // namespace

// ---------------------------------------------------------------------------
// Lifetime

namespace {

// Runs the destructor and frees the block to its page or to the pool.
template <class T>
void DestroyBlock(T* object, bool inArena) noexcept {
    object->~T();
    if (inArena) {
        PageArena::Release(object);
    } else {
        SmallBlockPool::Free(object, sizeof(T));
    }
}

}  // namespace

void XParamImpl::Destroy(XParamImpl* node) noexcept {
    DestroyBlock(node, node->inArena_);
}

void XParamImpl::ChildListDeleter::operator()(ChildList* list) const noexcept {
    DestroyBlock(list, list->inArena);
}

// What the destructor does for a node the reader placed, once its children are
// gone and its name index dropped, with its page blocks released in `batch`.
// Every member is left empty, so the destructor would have nothing more to
// do: the node's block is released without running it.
CORVO_ALWAYS_INLINE void XParamImpl::DestroyPlacedLeaf(XParamImpl* node,
                                                       PageArena::ReleaseBatch& batch) noexcept {
    if (ChildList* list = node->children_.release()) {
        if (list->inArena) {
            list->~ChildList();
            batch.Add(list);
        } else {
            delete list;
        }
    }
    if (node->kind_ == ValueKind::String) {
        node->value_.text.ClearInBatch(batch);
    } else if (node->kind_ != ValueKind::Empty) {
        node->ReleaseValue();
    }
    node->name_.ClearInBatch(batch);
    batch.Add(node);
}

void XParamImpl::ReleaseChildren() noexcept {
    // Pool nodes are freed in reverse document order (right-to-left
    // post-order): the pool's free lists are last-in first-out, so a tree
    // built next, in document order, gets the blocks back in the order the
    // dying tree had them, and walking it stays as cache-friendly as walking
    // a fresh one. Page blocks are never reused one by one, so a list in a
    // page (one the reader built) is emptied from the front instead: the walk
    // then meets the nodes in the order they lie in their pages, one
    // ascending sweep through memory instead of a jump to the end of every
    // subtree.
    //
    // The walk takes the end child of the current node off its list. That
    // child's two link references are the list's end pointer and its inner
    // neighbour's link to it (or the list's other end); the neighbour's
    // reference held by the child's own link passes to the list's end
    // pointer, so no release cascades along the chain and the list stays
    // consistent at every step. A child that dies becomes the current node,
    // its parent link serving as the way back up, so deep trees need neither
    // recursion nor a work list; a dead node with no children left is deleted
    // and the walk returns to its parent.
    if (children_ && children_->index) children_->index->Clear();
    // Page blocks released one after another mostly share a page: their
    // releases are added up and applied to the page's count at once.
    PageArena::ReleaseBatch batch;
    XParamImpl* node = this;
    for (;;) {
        ChildList* list = node->children_.get();
        if (list && list->first) {
            XParamImpl* child;
            XParamImpl* inner;
            if (list->inArena) {
                child = list->first;
                // Page blocks lie in document order: what the sweep reaches
                // next is a little further on in memory.
                CORVO_PREFETCH(reinterpret_cast<const char*>(child) + 512);
                inner = child->next_;
                list->first = inner;
                (inner ? inner->prev_ : list->last) = nullptr;
                child->next_ = nullptr;
            } else {
                child = list->last;
                inner = child->prev_;
                list->last = inner;
                (inner ? inner->next_ : list->first) = nullptr;
                child->prev_ = nullptr;
            }
            list->Left(child);
            // Cleared before the release: a child that survives may be
            // released on another thread at once and must not be touched
            // afterwards.
            child->parent_ = nullptr;
            if (child->ReleaseLastRefs(2)) {
                // Its text is freed after its subtree: start loading the
                // block's header now.
                if (child->kind_ == ValueKind::String) CORVO_PREFETCH(child->value_.text.Block());
                if (child->children_) child->children_->index.reset();
                child->parent_ = node;
                node = child;
            } else if (inner) {
                // Fetch the next victim's node while this one's fate settles.
                CORVO_PREFETCH(inner);
            }
            continue;
        }
        if (node == this) return;
        XParamImpl* up = node->parent_;
        node->parent_ = nullptr;
        // No children left: only the node's own blocks remain to be freed.
        if (node->inArena_) {
            DestroyPlacedLeaf(node, batch);
        } else {
            Destroy(node);
        }
        node = up;
    }
}

XParam* XParamImpl::CreateNode() {
    return Create();
}

XParam* XParamImpl::Clone() {
    auto shallowCopy = [](const XParamImpl& source) {
        XRef<XParamImpl> copy = XRef<XParamImpl>::Adopt(Create());
        copy->name_ = source.name_;
        copy->nodeKind_ = source.nodeKind_;
        copy->CopyValueFrom(source);
        return copy;
    };
    XRef<XParamImpl> root = shallowCopy(*this);
    // Pairs of (source node, its copy) whose children still need copying.
    std::vector<std::pair<const XParamImpl*, XParamImpl*>> work;
    if (FirstChildNode()) work.emplace_back(this, root.Get());
    while (!work.empty()) {
        auto [source, target] = work.back();
        work.pop_back();
        for (const XParamImpl* child = source->FirstChildNode(); child; child = child->next_) {
            XRef<XParamImpl> copy = shallowCopy(*child);
            target->LinkBetween(copy.Get(), target->LastChildNode(), nullptr);
            if (child->FirstChildNode()) work.emplace_back(child, copy.Get());
        }
    }
    return root.Detach();
}

// ---------------------------------------------------------------------------
// Value

bool XParamImpl::IsNumber() {
    return InRange(kind_, 17, 46);
}
bool XParamImpl::IsObject() {
    return InRange(kind_, 49, 78);
}
bool XParamImpl::IsData() {
    return kind_ == ValueKind::String || kind_ == ValueKind::Binary || IsNumber();
}

void XParamImpl::ReleaseValue() noexcept {
    switch (kind_) {
        case ValueKind::String:
            value_.text.ClearInline();
            value_.text.~WideString();
            break;
        case ValueKind::Binary:
            value_.bytes.~ByteString();
            break;
        case ValueKind::SharedPointer:
            delete value_.shared;  // the node's share, allocated by SetValue
            break;
        case ValueKind::ComUnknown:
            if (value_.unknown) value_.unknown->Release();
            break;
        case ValueKind::ComDispatch:
            if (value_.dispatch) value_.dispatch->Release();
            break;
        default:
            break;
    }
    kind_ = ValueKind::Empty;
    value_.bits = 0;
}

void XParamImpl::CopyValueFrom(const XParamImpl& source) {
    ReleaseValue();
    switch (source.kind_) {
        case ValueKind::String:
            new (&value_.text) WideString(source.value_.text);
            break;
        case ValueKind::Binary:
            new (&value_.bytes) ByteString(source.value_.bytes);
            break;
        case ValueKind::SharedPointer:
            value_.shared = new SharedHandle(*source.value_.shared);
            break;
        case ValueKind::ComUnknown:
        case ValueKind::ComDispatch:
            value_.bits = source.value_.bits;
            if (value_.unknown) value_.unknown->AddRef();
            break;
        default:
            value_.bits = source.value_.bits;
            break;
    }
    kind_ = source.kind_;
}

template <class T>
void XParamImpl::SetNumber(T v) noexcept {
    ReleaseValue();
    ValueSlot<T>::Ref(value_) = v;
    kind_ = ValueSlot<T>::kKind;
}

template <class T>
bool XParamImpl::NumberFromOtherKind(T& out) const noexcept {
    switch (kind_) {
        case ValueKind::Char:
            out = ConvertNumber<T>(static_cast<int8_t>(value_.c));
            return true;
        case ValueKind::UChar:
            out = ConvertNumber<T>(value_.uc);
            return true;
        case ValueKind::Short:
            out = ConvertNumber<T>(value_.s);
            return true;
        case ValueKind::UShort:
            out = ConvertNumber<T>(value_.us);
            return true;
        case ValueKind::Int:
            out = ConvertNumber<T>(value_.i);
            return true;
        case ValueKind::UInt:
            out = ConvertNumber<T>(value_.ui);
            return true;
        case ValueKind::Int64:
            out = ConvertNumber<T>(value_.i64);
            return true;
        case ValueKind::UInt64:
            out = ConvertNumber<T>(value_.u64);
            return true;
        case ValueKind::Long:
            out = ConvertNumber<T>(value_.l);
            return true;
        case ValueKind::ULong:
            out = ConvertNumber<T>(value_.ul);
            return true;
        case ValueKind::Float:
            out = ConvertNumber<T>(value_.f);
            return true;
        case ValueKind::Double:
        case ValueKind::LongDouble:
            out = ConvertNumber<T>(value_.d);
            return true;
        case ValueKind::Bool:
            out = ConvertNumber<T>(value_.b);
            return true;
        default:
            return false;
    }
}

template <class T>
bool XParamImpl::GetNumber(T& out) {
    if (kind_ == ValueSlot<T>::kKind) {
        out = ValueSlot<T>::Get(value_);
        return true;
    }
    if (kind_ == ValueKind::String) return ParseText(value_.text, out);
    return NumberFromOtherKind(out);
}

template <class CharT>
bool XParamImpl::TextFormOfValue(const CharT*& pText, int& nLen, XInResSlot& res) const {
    BasicNumberText<CharT> form;
    switch (kind_) {
        case ValueKind::Char:
            form = FormatInteger<CharT>(static_cast<int8_t>(value_.c), true);
            break;
        case ValueKind::UChar:
            form = FormatInteger<CharT>(value_.uc, false);
            break;
        case ValueKind::Short:
            form = FormatInteger<CharT>(value_.s, true);
            break;
        case ValueKind::UShort:
            form = FormatInteger<CharT>(value_.us, false);
            break;
        case ValueKind::Int:
            form = FormatInteger<CharT>(value_.i, true);
            break;
        case ValueKind::UInt:
            form = FormatInteger<CharT>(value_.ui, false);
            break;
        case ValueKind::Int64:
            form = FormatInteger<CharT>(value_.i64, true);
            break;
        case ValueKind::UInt64:
            form = FormatInteger<CharT>(static_cast<int64_t>(value_.u64), false);
            break;
        case ValueKind::Long:
            form = FormatInteger<CharT>(value_.l, true);
            break;
        case ValueKind::ULong:
            form = FormatInteger<CharT>(static_cast<int64_t>(value_.ul), false);
            break;
        case ValueKind::Float:
            form = FormatFloat<CharT>(value_.f);
            break;
        case ValueKind::Double:
        case ValueKind::LongDouble:
            form = FormatFloat<CharT>(value_.d);
            break;
        case ValueKind::Bool:
            form = FormatBool<CharT>(value_.b);
            break;
        case ValueKind::Pointer:
            form = FormatPointer<CharT>(value_.p);
            break;
        case ValueKind::Binary: {
            std::size_t size = value_.bytes.Length();
            if (size == 0) {
                pText = EmptyText<CharT>();
                nLen = 0;
                return true;
            }
            std::unique_ptr<CharT[]> buffer(new CharT[Base64EncodedLength(size) + 1]);
            std::size_t length = Base64Encode(value_.bytes.Data(), size, buffer.get());
            buffer[length] = CharT(0);
            pText = ArrayInRes<CharT>::Put(res, std::move(buffer));
            nLen = OutLength(length);
            return true;
        }
        default:
            return false;
    }
    PutCopy(form.data(), static_cast<std::size_t>(form.length), pText, nLen, res);
    return true;
}

bool XParamImpl::GetValue(const unsigned char*& pData, int& nLen, XInResSlot& res) {
    if (kind_ == ValueKind::Binary) {
        pData = value_.bytes.Data();
        nLen = OutLength(value_.bytes.Length());
        return true;
    }
    if (kind_ != ValueKind::String || value_.text.Empty()) return false;
    const WideString& text = value_.text;
    std::unique_ptr<unsigned char[]> buffer(
        new unsigned char[Base64DecodedCapacity(text.Length()) + 1]);
    std::size_t size = 0;
    if (!Base64Decode(text.Data(), ParseLength(text), buffer.get(), size)) return false;
    pData = ArrayInRes<unsigned char>::Put(res, std::move(buffer));
    nLen = OutLength(size);
    return true;
}

bool XParamImpl::GetValue(const char*& pText, int& nLen, unsigned int codePage, XInResSlot& res) {
    if (kind_ == ValueKind::String) return NarrowInto(value_.text, codePage, pText, nLen, res);
    return TextFormOfValue(pText, nLen, res);
}

bool XParamImpl::GetValue(const char16_t*& pText, int& nLen, XInResSlot& res) {
    if (kind_ == ValueKind::String) {
        pText = value_.text.Data();
        nLen = OutLength(value_.text.Length());
        return true;
    }
    return TextFormOfValue(pText, nLen, res);
}

namespace {

// Hands `found` (already carrying a reference) to an in/out interface pointer,
// releasing what it held before.
template <class I>
void Replace(I*& out, I* found) {
    I* old = out;
    out = found;
    if (old) old->Release();
}

template <class I>
bool Query(IUnknown* source, const IID& iid, I*& out) {
    if (!source) return false;
    void* found = nullptr;
    if (FAILED(source->QueryInterface(iid, &found)) || !found) return false;
    Replace(out, static_cast<I*>(found));
    return true;
}

}  // namespace

bool XParamImpl::GetValue(IDispatch*& pOut) {
    if (kind_ == ValueKind::ComDispatch) {
        if (value_.dispatch) value_.dispatch->AddRef();
        Replace(pOut, value_.dispatch);
        return true;
    }
    if (kind_ == ValueKind::ComUnknown) return Query(value_.unknown, IID_IDispatch, pOut);
    return false;
}

bool XParamImpl::GetValue(IUnknown*& pOut) {
    if (kind_ == ValueKind::ComUnknown) {
        if (value_.unknown) value_.unknown->AddRef();
        Replace(pOut, value_.unknown);
        return true;
    }
    if (kind_ == ValueKind::ComDispatch) return Query(value_.dispatch, IID_IUnknown, pOut);
    return false;
}

bool XParamImpl::GetValue(SharedHandle& out) {
    if (kind_ != ValueKind::SharedPointer) return false;
    out = *value_.shared;
    return true;
}

bool XParamImpl::GetValue(void*& out) {
    if (kind_ != ValueKind::Pointer) return false;
    out = value_.p;
    return true;
}

bool XParamImpl::GetValue(bool& out) {
    // A non-zero number is true whatever its width: the check runs on the full
    // 64-bit value, so 4294967296 is not mistaken for false.
    unsigned long long number = 0;
    switch (kind_) {
        case ValueKind::Bool:
            out = value_.b;
            return true;
        case ValueKind::String: {
            switch (value_.text.Empty() ? u'\0' : value_.text.Data()[0]) {
                case u'F':
                case u'N':
                case u'f':
                case u'n':
                    out = false;
                    return true;
                case u'T':
                case u'Y':
                case u't':
                case u'y':
                    out = true;
                    return true;
                default:
                    if (!ParseText(value_.text, number)) return false;
                    out = number != 0;
                    return true;
            }
        }
        default:
            if (!NumberFromOtherKind(number)) return false;
            out = number != 0;
            return true;
    }
}

bool XParamImpl::GetValue(long double& out) {
    double v;
    if (kind_ == ValueKind::String) {
        if (!ParseText(value_.text, v)) return false;
    } else if (!NumberFromOtherKind(v)) {
        return false;
    }
    out = v;
    return true;
}

bool XParamImpl::GetValue(double& out) {
    return GetNumber(out);
}
bool XParamImpl::GetValue(float& out) {
    return GetNumber(out);
}
bool XParamImpl::GetValue(unsigned long& out) {
    return GetNumber(out);
}
bool XParamImpl::GetValue(long& out) {
    return GetNumber(out);
}
bool XParamImpl::GetValue(unsigned long long& out) {
    return GetNumber(out);
}
bool XParamImpl::GetValue(long long& out) {
    return GetNumber(out);
}
bool XParamImpl::GetValue(unsigned int& out) {
    return GetNumber(out);
}
bool XParamImpl::GetValue(int& out) {
    return GetNumber(out);
}
bool XParamImpl::GetValue(unsigned short& out) {
    return GetNumber(out);
}
bool XParamImpl::GetValue(short& out) {
    return GetNumber(out);
}
bool XParamImpl::GetValue(unsigned char& out) {
    return GetNumber(out);
}
bool XParamImpl::GetValue(char& out) {
    return GetNumber(out);
}

void XParamImpl::SetValue(const unsigned char* pData, int nLen) {
    std::size_t length = nLen > 0 && pData ? static_cast<std::size_t>(nLen) : 0;
    if (kind_ == ValueKind::Binary) {
        value_.bytes.Assign(pData, length);
        return;
    }
    ByteString bytes(pData, length);
    ReleaseValue();
    new (&value_.bytes) ByteString(std::move(bytes));
    kind_ = ValueKind::Binary;
}

bool XParamImpl::SetValue(const char* pText, int nLen, unsigned int codePage) {
    WideString text;
    bool converted = ToWide(pText, nLen, codePage, text);
    ReleaseValue();
    new (&value_.text) WideString(std::move(text));
    kind_ = ValueKind::String;
    return converted;
}

void XParamImpl::SetValue(const char16_t* pText, int nLen) {
    std::size_t length = CountedLength(pText, nLen);
    if (kind_ == ValueKind::String) {
        value_.text.Assign(pText, length);
        return;
    }
    WideString text(pText, length);
    ReleaseValue();
    new (&value_.text) WideString(std::move(text));
    kind_ = ValueKind::String;
}

void XParamImpl::SetValue(IDispatch* pDispatch) {
    if (pDispatch) pDispatch->AddRef();
    ReleaseValue();
    value_.dispatch = pDispatch;
    kind_ = ValueKind::ComDispatch;
}

void XParamImpl::SetValue(IUnknown* pUnknown) {
    if (pUnknown) pUnknown->AddRef();
    ReleaseValue();
    value_.unknown = pUnknown;
    kind_ = ValueKind::ComUnknown;
}

void XParamImpl::SetValue(const SharedHandle& handle) {
    if (kind_ == ValueKind::SharedPointer) {
        *value_.shared = handle;
        return;
    }
    auto* share = new SharedHandle(handle);
    ReleaseValue();
    value_.shared = share;
    kind_ = ValueKind::SharedPointer;
}

void XParamImpl::SetValue(void* p) {
    ReleaseValue();
    value_.p = p;
    kind_ = ValueKind::Pointer;
}

void XParamImpl::SetValue(long double v) {
    SetNumber(static_cast<double>(v));
    kind_ = ValueKind::LongDouble;
}

void XParamImpl::SetValue(bool v) {
    SetNumber(v);
}
void XParamImpl::SetValue(double v) {
    SetNumber(v);
}
void XParamImpl::SetValue(float v) {
    SetNumber(v);
}
void XParamImpl::SetValue(unsigned long v) {
    SetNumber(v);
}
void XParamImpl::SetValue(long v) {
    SetNumber(v);
}
void XParamImpl::SetValue(unsigned long long v) {
    SetNumber(v);
}
void XParamImpl::SetValue(long long v) {
    SetNumber(v);
}
void XParamImpl::SetValue(unsigned int v) {
    SetNumber(v);
}
void XParamImpl::SetValue(int v) {
    SetNumber(v);
}
void XParamImpl::SetValue(unsigned short v) {
    SetNumber(v);
}
void XParamImpl::SetValue(short v) {
    SetNumber(v);
}
void XParamImpl::SetValue(unsigned char v) {
    SetNumber(v);
}
void XParamImpl::SetValue(char v) {
    SetNumber(v);
}
void XParamImpl::SetValue() {
    ReleaseValue();
}

// ---------------------------------------------------------------------------
// Name

bool XParamImpl::GetName(const char*& pName, int& nLen, unsigned int codePage, XInResSlot& res) {
    return NarrowInto(name_, codePage, pName, nLen, res);
}

bool XParamImpl::GetName(const char16_t*& pName, int& nLen) {
    pName = name_.Data();
    nLen = OutLength(name_.Length());
    return true;
}

bool XParamImpl::SetName(const char* pName, int nLen, unsigned int codePage) {
    WideString name;
    bool converted = ToWide(pName, nLen, codePage, name);
    ReplaceName(name);
    return converted;
}

void XParamImpl::SetName(const char16_t* pName, int nLen) {
    WideString name(pName, CountedLength(pName, nLen));
    ReplaceName(name);
}

void XParamImpl::ReplaceName(WideString& name) {
    NameIndex* index = parent_ ? parent_->children_->index.get() : nullptr;
    if (!index) {
        name_.Swap(name);
        return;
    }
    // The entry moves from the old name's run to the new one's; the node keeps
    // its place in the child list.
    index->Remove(this, name_.Data(), name_.Length());
    name_.Swap(name);
    index->InsertLinked(this);
}

// ---------------------------------------------------------------------------
// Child list

XParamImpl::ChildList& XParamImpl::Children(PageArena* arena) {
    if (!children_) {
        void* placed = arena ? arena->Place(sizeof(ChildList)) : nullptr;
        if (placed) {
            children_.reset(::new (placed) ChildList());
            children_->inArena = true;
        } else {
            children_.reset(new ChildList());
        }
    }
    return *children_;
}

bool XParamImpl::CanAdopt(XParamImpl* child) const noexcept {
    if (!child || child->parent_ || child == this) return false;
    // A node with children could be an ancestor of this one: inserting it would
    // close a cycle of references that nothing could ever release.
    if (child->FirstChildNode()) {
        for (const XParamImpl* a = parent_; a; a = a->parent_) {
            if (a == child) return false;
        }
    }
    return true;
}

void XParamImpl::LinkBetween(XParamImpl* child, XParamImpl* prev, XParamImpl* next) {
    ChildList& list = Children();
    if (list.index) list.index->ReserveOneMore();
    child->AddRefs(2);  // the links that now lead to it
    child->prev_ = prev;
    child->next_ = next;
    (prev ? prev->next_ : list.first) = child;
    (next ? next->prev_ : list.last) = child;
    list.Joined(child);
    child->parent_ = this;
    if (NameIndex* index = list.index.get()) {
        if (!next) {
            index->InsertLast(child);
        } else if (!prev) {
            index->InsertFirst(child);
        } else {
            index->InsertLinked(child);
        }
    }
}

XParamImpl* XParamImpl::AppendNewChild(PageArena* arena) {
    ChildList& list = Children(arena);
    if (list.index) list.index->ReserveOneMore();
    void* placed = arena ? arena->Place(sizeof(XParamImpl)) : nullptr;
    XParamImpl* child = placed ? ::new (placed) XParamImpl() : new XParamImpl();
    child->inArena_ = placed != nullptr;
    LinkNewLast(list, child);
    if (list.index) list.index->InsertLast(child);
    return child;
}

void XParamImpl::Unlink(XParamImpl* child) noexcept {
    ChildList& list = *children_;
    if (list.index) list.index->Remove(child, child->name_.Data(), child->name_.Length());
    (child->prev_ ? child->prev_->next_ : list.first) = child->next_;
    (child->next_ ? child->next_->prev_ : list.last) = child->prev_;
    child->prev_ = child->next_ = nullptr;
    child->parent_ = nullptr;
    list.Left(child);
    if (child->ReleaseRefs(2)) Destroy(child);  // the destructor walks its subtree iteratively
}

void XParamImpl::AppendChild(XParam* pChild) {
    XParamImpl* child = From(pChild);
    if (CanAdopt(child)) LinkBetween(child, LastChildNode(), nullptr);
}

void XParamImpl::PrependChild(XParam* pChild) {
    XParamImpl* child = From(pChild);
    if (CanAdopt(child)) LinkBetween(child, nullptr, FirstChildNode());
}

void XParamImpl::InsertBefore(XParam* pRefChild, XParam* pNewChild) {
    if (!pRefChild) return PrependChild(pNewChild);
    XParamImpl* ref = From(pRefChild);
    XParamImpl* child = From(pNewChild);
    if (ref->parent_ == this && CanAdopt(child)) LinkBetween(child, ref->prev_, ref);
}

void XParamImpl::InsertAfter(XParam* pRefChild, XParam* pNewChild) {
    if (!pRefChild) return AppendChild(pNewChild);
    XParamImpl* ref = From(pRefChild);
    XParamImpl* child = From(pNewChild);
    if (ref->parent_ == this && CanAdopt(child)) LinkBetween(child, ref, ref->next_);
}

void XParamImpl::RemoveChild(XParam* pChild) {
    XParamImpl* child = From(pChild);
    if (child && child->parent_ == this) Unlink(child);
}

void XParamImpl::Detach() {
    if (parent_) parent_->Unlink(this);
}

void XParamImpl::RemoveAllChildren() {
    ReleaseChildren();
}

XParam* XParamImpl::GetDocumentElement() {
    return name_.Empty() ? Share(FirstChildNode()) : Share(this);
}

XParamImpl* XParamImpl::FindByName(const char16_t* pName, int nLen, int n, bool fromBack) const {
    if (n < 0) return nullptr;
    std::u16string_view name(pName ? pName : u"", CountedLength(pName, nLen));
    if (const NameIndex* index = Index()) {
        return index->Find(name.data(), name.size(), static_cast<uint32_t>(n), fromBack);
    }
    for (XParamImpl* c = fromBack ? LastChildNode() : FirstChildNode(); c;
         c = fromBack ? c->prev_ : c->next_) {
        if (c->name_.View() == name && n-- == 0) return c;
    }
    return nullptr;
}

XParam* XParamImpl::GetFirstChild(const char16_t* pName, int nLen, int n) {
    return Share(FindByName(pName, nLen, n, false));
}

XParam* XParamImpl::GetLastChild(const char16_t* pName, int nLen, int n) {
    return Share(FindByName(pName, nLen, n, true));
}

XParam* XParamImpl::GetFirstChild(const char* pName, int nLen, unsigned int codePage, int n) {
    WideString name;
    if (!ToWide(pName, nLen, codePage, name)) return nullptr;
    return Share(FindByName(name.Data(), static_cast<int>(name.Length()), n, false));
}

XParam* XParamImpl::GetLastChild(const char* pName, int nLen, unsigned int codePage, int n) {
    WideString name;
    if (!ToWide(pName, nLen, codePage, name)) return nullptr;
    return Share(FindByName(name.Data(), static_cast<int>(name.Length()), n, true));
}

XParam* XParamImpl::GetPrevSameName() {
    for (XParamImpl* c = prev_; c; c = c->prev_) {
        if (c->name_ == name_) return Share(c);
    }
    return nullptr;
}

XParam* XParamImpl::GetNextSameName() {
    for (XParamImpl* c = next_; c; c = c->next_) {
        if (c->name_ == name_) return Share(c);
    }
    return nullptr;
}

void XParamImpl::BuildNameIndex() {
    ChildList& list = Children();
    if (list.index) return;
    auto index = std::make_unique<NameIndex>();
    index->Build(list.first, list.count);
    list.index = std::move(index);
}

void XParamImpl::DropNameIndex() {
    if (children_) children_->index.reset();
}

}  // namespace xparam
