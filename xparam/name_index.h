// NameIndex: a node's children ordered by name (and, among equal names, by
// their order in the child list), for lookups by name with a binary search.
// The entries are borrowed pointers; the child list owns the children.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace xparam {

class XParamImpl;

class NameIndex {
  public:
    // Fills the index with the `count` children starting at `first`.
    void Build(XParamImpl* first, uint32_t count);
    void Clear() noexcept { entries_.clear(); }
    std::size_t Size() const noexcept { return entries_.size(); }

    // Makes room for one more entry, so that filing a child cannot fail after
    // it was linked.
    void ReserveOneMore() {
        if (entries_.size() == entries_.capacity()) entries_.reserve(entries_.size() * 2 + 8);
    }

    // Files a child that was just linked into the list; the `Last`/`First`
    // forms are for a child that became the last or the first child.
    void InsertLast(XParamImpl* child);
    void InsertFirst(XParamImpl* child);
    void InsertLinked(XParamImpl* child);
    // Removes the child's entry, which is filed under `name`.
    void Remove(XParamImpl* child, const char16_t* name, std::size_t length) noexcept;

    // The n-th child of that name counted from the front (or the back), or null.
    XParamImpl* Find(const char16_t* name, std::size_t length, uint32_t n, bool fromBack) const;

    const std::vector<XParamImpl*>& Entries() const noexcept { return entries_; }

  private:
    using Iterator = std::vector<XParamImpl*>::iterator;
    struct Run {
        Iterator begin, end;
    };
    Run FindRun(const char16_t* name, std::size_t length);
    Iterator FindEntry(Run run, const XParamImpl* child) noexcept;

    std::vector<XParamImpl*> entries_;
};

}  // namespace xparam
