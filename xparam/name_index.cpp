#include "xparam/name_index.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "xparam/xparam_impl.h"

namespace xparam {

namespace {

// The order of the index: by length, then by code units. Any strict total order
// serves as long as every operation uses the same one; this one rejects most
// unequal names on the length alone.
int CompareNames(std::u16string_view a, std::u16string_view b) noexcept {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

std::u16string_view NameOf(const XParamImpl* node) noexcept {
    return node->NameText().View();
}

struct NameLess {
    bool operator()(const XParamImpl* a, std::u16string_view b) const noexcept {
        return CompareNames(NameOf(a), b) < 0;
    }
    bool operator()(std::u16string_view a, const XParamImpl* b) const noexcept {
        return CompareNames(a, NameOf(b)) < 0;
    }
    bool operator()(const XParamImpl* a, const XParamImpl* b) const noexcept {
        return CompareNames(NameOf(a), NameOf(b)) < 0;
    }
};

}  // namespace

void NameIndex::Build(XParamImpl* first, uint32_t count) {
    entries_.clear();
    entries_.reserve(count);
    for (XParamImpl* c = first; c; c = c->NextSiblingNode()) entries_.push_back(c);
    std::stable_sort(entries_.begin(), entries_.end(), NameLess{});
}

NameIndex::Run NameIndex::FindRun(const char16_t* name, std::size_t length) {
    auto [b, e] = std::equal_range(entries_.begin(), entries_.end(),
                                   std::u16string_view(name, length), NameLess{});
    return {b, e};
}

NameIndex::Iterator NameIndex::FindEntry(Run run, const XParamImpl* child) noexcept {
    auto it = std::find(run.begin, run.end, child);
    return it == run.end ? entries_.end() : it;
}

void NameIndex::InsertLast(XParamImpl* child) {
    Run run = FindRun(child->NameText().Data(), child->NameText().Length());
    entries_.insert(run.end, child);
}

void NameIndex::InsertFirst(XParamImpl* child) {
    Run run = FindRun(child->NameText().Data(), child->NameText().Length());
    entries_.insert(run.begin, child);
}

void NameIndex::InsertLinked(XParamImpl* child) {
    if (!child->PrevSiblingNode()) return InsertFirst(child);
    if (!child->NextSiblingNode()) return InsertLast(child);
    const WideString& name = child->NameText();
    Run run = FindRun(name.Data(), name.Length());
    if (run.begin == run.end) {
        entries_.insert(run.begin, child);
        return;
    }
    // The entry goes right after the nearest earlier sibling of the same name,
    // or right before the nearest later one: search outwards in both directions
    // at once, so the cost is bounded by the distance to the nearer of them.
    XParamImpl* back = child->PrevSiblingNode();
    XParamImpl* ahead = child->NextSiblingNode();
    while (back || ahead) {
        if (back) {
            if (back->NameText() == name) {
                auto it = FindEntry(run, back);
                entries_.insert(it == entries_.end() ? run.end : it + 1, child);
                return;
            }
            back = back->PrevSiblingNode();
        }
        if (ahead) {
            if (ahead->NameText() == name) {
                auto it = FindEntry(run, ahead);
                entries_.insert(it == entries_.end() ? run.begin : it, child);
                return;
            }
            ahead = ahead->NextSiblingNode();
        }
    }
    entries_.insert(run.end, child);  // unreachable while the index is in step
}

void NameIndex::Remove(XParamImpl* child, const char16_t* name, std::size_t length) noexcept {
    Run run = FindRun(name, length);
    auto it = FindEntry(run, child);
    if (it != entries_.end()) entries_.erase(it);
}

XParamImpl* NameIndex::Find(const char16_t* name, std::size_t length, uint32_t n,
                            bool fromBack) const {
    auto [b, e] = std::equal_range(entries_.begin(), entries_.end(),
                                   std::u16string_view(name, length), NameLess{});
    if (static_cast<std::size_t>(e - b) <= n) return nullptr;
    return fromBack ? *(e - 1 - n) : *(b + n);
}

}  // namespace xparam
