// XParamImpl: the one node class behind XParam.
//
// Layout (64 bytes on LP64): the vtable pointer and the count, the two kind
// codes and the storage flag in the count's tail padding, the 8-byte value,
// the name, the parent (not counted), the two sibling links and the child
// list (null until first needed).
//
// Storage: a node made by CreateXParam, CreateNode or Clone is a block of the
// small-block pool; a node the XML reader builds sits, with its child list,
// name and value text, in a page of the reader's PageArena (`inArena_`).
// Either way the node is destroyed through Destroy when its own count reaches
// zero; a page block only counts its page down, and the page is freed when
// none of its blocks is alive, so a node that is still held keeps its page,
// and with it its own name, text and child list, valid.
//
// Sibling links are counted references: an attached child carries exactly two
// references from its list (the previous sibling's next link or the list's
// first, and the next sibling's previous link or the list's last). Linking and
// unlinking therefore add or drop two references on the child and leave the
// neighbours' counts as they were, which keeps release of long sibling chains
// free of recursion. Destruction walks deep trees through the dying nodes' own
// links and Clone with an explicit work list, never recursing once per level.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "platform/compiler.h"
#include "xparam/name_index.h"
#include "xparam/page_arena.h"
#include "xparam/ref_counter_base.h"
#include "xparam/small_block_pool.h"
#include "xparam/wide_string.h"
#include "xparam/xparam.h"

namespace xparam {

class XParamImpl final : public ref_counter_base<XParam, XParamImpl> {
  public:
    XParamImpl() noexcept { value_.bits = 0; }
    ~XParamImpl() override {
        // The subtree goes before the node's own value, so the node's blocks
        // are the last of its tree to be freed (see ReleaseChildren).
        if (children_) ReleaseChildren();
        if (kind_ != ValueKind::Empty) ReleaseValue();
        name_.ClearInline();
    }

    // Nodes and child lists live in the small-block pool.
    static void* operator new(std::size_t size) { return SmallBlockPool::Allocate(size); }
    static void operator delete(void* p, std::size_t size) noexcept {
        SmallBlockPool::Free(p, size);
    }

    // A new detached node owned by the caller (count 1).
    static XParamImpl* Create() { return new XParamImpl(); }
    // Destroys a node whose count has reached zero and frees its block.
    static void Destroy(XParamImpl* node) noexcept;
    // Every XParam is an XParamImpl.
    static XParamImpl* From(XParam* node) noexcept { return static_cast<XParamImpl*>(node); }

    // ---- XParam
    XParam* Clone() override;
    XParam* CreateNode() override;
    ValueKind GetKind() override { return kind_; }
    bool IsEmpty() override { return kind_ == ValueKind::Empty; }
    bool IsNumber() override;
    bool IsData() override;
    bool IsBinary() override { return kind_ == ValueKind::Binary; }
    bool IsObject() override;
    NodeKind GetNodeKind() override { return nodeKind_; }
    void SetNodeKind(NodeKind kind) override {
        // The parent counts its attribute children (see ChildList).
        if (parent_ && (kind == NodeKind::Attribute) != (nodeKind_ == NodeKind::Attribute)) {
            ChildList& list = *parent_->children_;
            if (kind == NodeKind::Attribute) {
                ++list.attributes;
            } else {
                --list.attributes;
            }
        }
        nodeKind_ = kind;
    }

    bool GetName(const char*& pName, int& nLen, unsigned int codePage, XInResSlot& res) override;
    bool GetName(const char16_t*& pName, int& nLen) override;
    bool SetName(const char* pName, int nLen, unsigned int codePage) override;
    void SetName(const char16_t* pName, int nLen) override;

    bool GetValue(const unsigned char*& pData, int& nLen, XInResSlot& res) override;
    bool GetValue(const char*& pText, int& nLen, unsigned int codePage, XInResSlot& res) override;
    bool GetValue(const char16_t*& pText, int& nLen, XInResSlot& res) override;
    bool GetValue(IDispatch*& pOut) override;
    bool GetValue(IUnknown*& pOut) override;
    bool GetValue(SharedHandle& out) override;
    bool GetValue(void*& out) override;
    bool GetValue(bool& out) override;
    bool GetValue(long double& out) override;
    bool GetValue(double& out) override;
    bool GetValue(float& out) override;
    bool GetValue(unsigned long& out) override;
    bool GetValue(long& out) override;
    bool GetValue(unsigned long long& out) override;
    bool GetValue(long long& out) override;
    bool GetValue(unsigned int& out) override;
    bool GetValue(int& out) override;
    bool GetValue(unsigned short& out) override;
    bool GetValue(short& out) override;
    bool GetValue(unsigned char& out) override;
    bool GetValue(char& out) override;

    void SetValue(const unsigned char* pData, int nLen) override;
    bool SetValue(const char* pText, int nLen, unsigned int codePage) override;
    void SetValue(const char16_t* pText, int nLen) override;
    void SetValue(IDispatch* pDispatch) override;
    void SetValue(IUnknown* pUnknown) override;
    void SetValue(const SharedHandle& handle) override;
    void SetValue(void* p) override;
    void SetValue(bool v) override;
    void SetValue(long double v) override;
    void SetValue(double v) override;
    void SetValue(float v) override;
    void SetValue(unsigned long v) override;
    void SetValue(long v) override;
    void SetValue(unsigned long long v) override;
    void SetValue(long long v) override;
    void SetValue(unsigned int v) override;
    void SetValue(int v) override;
    void SetValue(unsigned short v) override;
    void SetValue(short v) override;
    void SetValue(unsigned char v) override;
    void SetValue(char v) override;
    void SetValue() override;

    XParam* GetParent() override { return Share(parent_); }
    void AppendChild(XParam* pChild) override;
    void PrependChild(XParam* pChild) override;
    void InsertBefore(XParam* pRefChild, XParam* pNewChild) override;
    void InsertAfter(XParam* pRefChild, XParam* pNewChild) override;
    void RemoveChild(XParam* pChild) override;
    void Detach() override;
    void RemoveAllChildren() override;
    XParam* GetDocumentElement() override;
    XParam* GetFirstChild(const char* pName, int nLen, unsigned int codePage, int n) override;
    XParam* GetFirstChild(const char16_t* pName, int nLen, int n) override;
    XParam* GetFirstChild() override { return Share(FirstChildNode()); }
    XParam* GetLastChild(const char* pName, int nLen, unsigned int codePage, int n) override;
    XParam* GetLastChild(const char16_t* pName, int nLen, int n) override;
    XParam* GetLastChild() override { return Share(LastChildNode()); }
    uint32_t GetChildCount() override { return ChildCount(); }
    XParam* GetPrevSibling() override { return Share(prev_); }
    XParam* GetPrevSameName() override;
    XParam* GetNextSibling() override { return Share(next_); }
    XParam* GetNextSameName() override;
    bool HasNameIndex() override { return children_ && children_->index; }
    void BuildNameIndex() override;
    void DropNameIndex() override;

    // ---- Direct access for the XML reader and writer (no references taken).
    // A new node linked as the last child; the list's links hold its only
    // references, so the caller borrows it. With an arena, the node (and this
    // node's child list when it is created now) is placed in it.
    XParamImpl* AppendNewChild(PageArena* arena = nullptr);
    // The same for the reader's hot path, with the node (and a new child list)
    // placed in `arena`.
    XParamImpl* AppendNewPlacedChild(PageArena& arena) {
        ChildList* list = children_.get();
        if (list == nullptr) {
            static_assert(sizeof(ChildList) <= PageArena::kMaxPlaced);
            list = ::new (arena.Place(sizeof(ChildList))) ChildList();
            list->inArena = true;
            children_.reset(list);
        } else if (CORVO_UNLIKELY(list->index != nullptr)) {
            return AppendNewChild(&arena);
        }
        static_assert(sizeof(XParamImpl) <= PageArena::kMaxPlaced);
        XParamImpl* child = ::new (arena.Place(sizeof(XParamImpl))) XParamImpl();
        child->inArena_ = true;
        LinkNewLast(*list, child);
        return child;
    }
    const WideString& NameText() const noexcept { return name_; }
    // The name for appending in place. Only for a node whose parent has no name
    // index (a node being built); use SetName otherwise.
    WideString& MutableName() noexcept { return name_; }
    // The text of a String value, or null for other kinds.
    const WideString* StringValue() const noexcept {
        return kind_ == ValueKind::String ? &value_.text : nullptr;
    }
    // Makes the value a String (keeping the text when it already is one) and
    // returns it for appending in place.
    WideString& MutableStringValue() {
        if (kind_ != ValueKind::String) {
            if (kind_ != ValueKind::Empty) ReleaseValue();
            new (&value_.text) WideString();
            kind_ = ValueKind::String;
        }
        return value_.text;
    }
    ValueKind Kind() const noexcept { return kind_; }
    NodeKind NodeKindCode() const noexcept { return nodeKind_; }
    XParamImpl* ParentNode() const noexcept { return parent_; }
    XParamImpl* PrevSiblingNode() const noexcept { return prev_; }
    XParamImpl* NextSiblingNode() const noexcept { return next_; }
    XParamImpl* FirstChildNode() const noexcept { return children_ ? children_->first : nullptr; }
    XParamImpl* LastChildNode() const noexcept { return children_ ? children_->last : nullptr; }
    uint32_t ChildCount() const noexcept { return children_ ? children_->count : 0; }
    uint32_t AttributeCount() const noexcept { return children_ ? children_->attributes : 0; }
    const NameIndex* Index() const noexcept { return children_ ? children_->index.get() : nullptr; }

  private:
    friend class ref_counter_base<XParam, XParamImpl>;

    // Hides the base's `delete this`: the block may be a page block.
    void FinalRelease() noexcept { Destroy(this); }

    struct ChildList {
        static void* operator new(std::size_t size) { return SmallBlockPool::Allocate(size); }
        static void operator delete(void* p, std::size_t size) noexcept {
            SmallBlockPool::Free(p, size);
        }

        XParamImpl* first = nullptr;  // counted (one of the child's two link references)
        XParamImpl* last = nullptr;   // counted
        uint32_t count = 0;
        // How many of the children are attributes: the writer stops looking
        // for attributes after the last one without touching the elements.
        // (31 bits: a list of 2^31 attributes would take over 200 GB.)
        uint32_t attributes : 31 = 0;
        uint32_t inArena : 1 = 0;  // a page block of a PageArena
        std::unique_ptr<NameIndex> index;

        // The counts, as `child` is linked into or unlinked from the list.
        void Joined(const XParamImpl* child) noexcept {
            ++count;
            if (child->nodeKind_ == NodeKind::Attribute) ++attributes;
        }
        void Left(const XParamImpl* child) noexcept {
            --count;
            if (child->nodeKind_ == NodeKind::Attribute) --attributes;
        }
    };
    static_assert(sizeof(void*) != 8 || sizeof(ChildList) == 32);
    // Frees a child list from the pool or its page.
    struct ChildListDeleter {
        void operator()(ChildList* list) const noexcept;
    };

    union Value {
        uint64_t bits;
        char c;
        unsigned char uc;
        short s;
        unsigned short us;
        int i;
        unsigned int ui;
        long long i64;
        unsigned long long u64;
        long l;
        unsigned long ul;
        float f;
        double d;  // Double and LongDouble
        bool b;
        void* p;
        SharedHandle* shared;  // owned: the node's share
        IUnknown* unknown;     // counted
        IDispatch* dispatch;   // counted
        WideString text;
        ByteString bytes;
        Value() noexcept {}
        ~Value() {}
    };
    static_assert(sizeof(Value) == 8);

    template <class T>
    friend struct ValueSlot;

    static XParam* Share(XParamImpl* node) noexcept {
        if (node) node->AddRef();
        return node;
    }

    ChildList& Children(PageArena* arena = nullptr);
    // Value handling.
    void ReleaseValue() noexcept;
    void CopyValueFrom(const XParamImpl& source);
    template <class T>
    void SetNumber(T v) noexcept;
    template <class T>
    bool GetNumber(T& out);
    template <class T>
    bool NumberFromOtherKind(T& out) const noexcept;
    template <class CharT>
    bool TextFormOfValue(const CharT*& pText, int& nLen, XInResSlot& res) const;
    void ReplaceName(WideString& name);

    // Child list handling.
    bool CanAdopt(XParamImpl* child) const noexcept;
    void LinkBetween(XParamImpl* child, XParamImpl* prev, XParamImpl* next);
    void Unlink(XParamImpl* child) noexcept;
    XParamImpl* FindByName(const char16_t* pName, int nLen, int n, bool fromBack) const;
    // Empties the child list: every child loses its links and parent, and the
    // descendants that lose their last reference are destroyed, iteratively
    // and in reverse document order. Children held elsewhere survive with
    // their subtrees.
    void ReleaseChildren() noexcept;
    static void DestroyPlacedLeaf(XParamImpl* node, PageArena::ReleaseBatch& batch) noexcept;
    // Links `child`, just created, as the last entry of `list` (this node's).
    // Nobody else can see the node yet: its two link references are set
    // directly instead of adding them to the creator's one and dropping that.
    void LinkNewLast(ChildList& list, XParamImpl* child) noexcept {
        child->SetUnsharedCount(2);
        child->prev_ = list.last;
        (list.last ? list.last->next_ : list.first) = child;
        list.last = child;
        ++list.count;  // a new node is an element: no attribute to count
        child->parent_ = this;
    }

    ValueKind kind_ = ValueKind::Empty;
    NodeKind nodeKind_ = NodeKind::Element;
    bool inArena_ = false;  // a page block of a PageArena, not a pool block
    Value value_;
    WideString name_;
    XParamImpl* parent_ = nullptr;
    XParamImpl* prev_ = nullptr;  // counted, see above
    XParamImpl* next_ = nullptr;  // counted
    std::unique_ptr<ChildList, ChildListDeleter> children_;
};

}  // namespace xparam
