// Helpers shared by the value tree tests.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "xparam/xparam.h"
#include "xparam/xparam_impl.h"

namespace xparam::test {

inline XParamRef NewNode(const char16_t* name = u"") {
    XParamRef node = XParamRef::Adopt(CreateXParam());
    node->SetName(name, -1);
    return node;
}

inline std::u16string NameOf(XParam* node) {
    const char16_t* p = nullptr;
    int n = 0;
    node->GetName(p, n);
    return std::u16string(p, static_cast<std::size_t>(n));
}

inline int32_t RefCountOf(XParam* node) {
    return XParamImpl::From(node)->RefCount();
}

// Structural equality of two subtrees (names, kinds, text values, child order),
// walked with an explicit stack so that deep chains do not overflow.
inline bool SameTree(XParamImpl* a, XParamImpl* b) {
    std::vector<std::pair<XParamImpl*, XParamImpl*>> work{{a, b}};
    while (!work.empty()) {
        auto [x, y] = work.back();
        work.pop_back();
        if (!(x->NameText() == y->NameText()) || x->Kind() != y->Kind() ||
            x->NodeKindCode() != y->NodeKindCode() || x->ChildCount() != y->ChildCount()) {
            return false;
        }
        if (x->StringValue() && !(*x->StringValue() == *y->StringValue())) return false;
        XParamImpl* cx = x->FirstChildNode();
        XParamImpl* cy = y->FirstChildNode();
        for (; cx && cy; cx = cx->NextSiblingNode(), cy = cy->NextSiblingNode()) {
            if (cx->ParentNode() != x || cy->ParentNode() != y) return false;
            work.emplace_back(cx, cy);
        }
        if (cx || cy) return false;
    }
    return true;
}

}  // namespace xparam::test
