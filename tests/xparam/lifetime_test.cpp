// Reference counting and destruction: clones, detaching, removal, parents
// destroyed while children are held, and deep or wide trees without recursion.
#include <gtest/gtest.h>

#include "test_support.h"

namespace xparam::test {
namespace {

TEST(Lifetime, ChildHeldAfterItsParentIsReleasedSurvivesAlone) {
    XParamRef child;
    {
        XParamRef root = NewNode(u"root");
        XParamRef a = NewNode(u"a"), b = NewNode(u"b"), c = NewNode(u"c");
        root->AppendChild(a.Get());
        root->AppendChild(b.Get());
        root->AppendChild(c.Get());
        b->AppendChild(NewNode(u"grandchild").Get());
        child = b;
    }
    EXPECT_EQ(RefCountOf(child.Get()), 1);
    EXPECT_EQ(child->GetParent(), nullptr);
    EXPECT_EQ(child->GetPrevSibling(), nullptr);
    EXPECT_EQ(child->GetNextSibling(), nullptr);
    EXPECT_EQ(child->GetChildCount(), 1u);
}

TEST(Lifetime, DetachRemoveAndRemoveAllDropTheLinkReferences) {
    XParamRef root = NewNode(u"root");
    XParamRef a = NewNode(u"a"), b = NewNode(u"b");
    root->AppendChild(a.Get());
    root->AppendChild(b.Get());
    root->AppendChild(NewNode(u"unheld").Get());  // owned by the list only
    EXPECT_EQ(RefCountOf(a.Get()), 3);
    a->Detach();
    EXPECT_EQ(RefCountOf(a.Get()), 1);
    a->Detach();  // no parent: nothing happens
    root->RemoveChild(b.Get());
    EXPECT_EQ(RefCountOf(b.Get()), 1);
    root->AppendChild(a.Get());
    root->AppendChild(b.Get());
    root->RemoveAllChildren();  // the unheld child is destroyed here
    EXPECT_EQ(root->GetChildCount(), 0u);
    EXPECT_EQ(RefCountOf(a.Get()), 1);
    EXPECT_EQ(RefCountOf(b.Get()), 1);
    EXPECT_EQ(RefCountOf(root.Get()), 1);
    // A detached node can be inserted elsewhere.
    b->AppendChild(a.Get());
    EXPECT_EQ(XParamImpl::From(a.Get())->ParentNode(), XParamImpl::From(b.Get()));
}

TEST(Lifetime, CloneIsDeepAndIndependent) {
    XParamRef root = NewNode(u"root");
    root->SetValue(u"text", -1);
    XParamRef attr = NewNode(u"id");
    attr->SetNodeKind(NodeKind::Attribute);
    attr->SetValue(7);
    root->AppendChild(attr.Get());
    XParamRef child = NewNode(u"child");
    child->SetValue(reinterpret_cast<const unsigned char*>("\x01\x02"), 2);
    root->AppendChild(child.Get());
    child->AppendChild(NewNode(u"leaf").Get());
    root->BuildNameIndex();

    XParamRef copy = XParamRef::Adopt(root->Clone());
    EXPECT_TRUE(SameTree(XParamImpl::From(root.Get()), XParamImpl::From(copy.Get())));
    EXPECT_FALSE(copy->HasNameIndex());
    EXPECT_EQ(copy->GetParent(), nullptr);
    XParamRef copiedChild = XParamRef::Adopt(copy->GetLastChild());
    EXPECT_NE(copiedChild, child);
    copiedChild->SetName(u"changed", -1);
    copiedChild->RemoveAllChildren();
    EXPECT_EQ(NameOf(child.Get()), u"child");
    EXPECT_EQ(child->GetChildCount(), 1u);
    // Cloning a node that is a child gives a detached copy.
    XParamRef childCopy = XParamRef::Adopt(child->Clone());
    EXPECT_EQ(childCopy->GetParent(), nullptr);
    EXPECT_EQ(RefCountOf(childCopy.Get()), 1);
}

// Under ASan every node costs several times its size and time; a smaller N
// still proves that nothing recurses per level (the recursion would need far
// more stack than the 8 MB default at either size).
#if defined(__SANITIZE_ADDRESS__)
constexpr int kDeep = 300000;
#else
constexpr int kDeep = 1000000;
#endif

TEST(Lifetime, DeepChainBuildsClonesAndDestroysWithoutRecursion) {
    XParamRef root = NewNode(u"n");
    XParamImpl* tip = XParamImpl::From(root.Get());
    for (int i = 0; i < kDeep; ++i) {
        XParamRef next = NewNode(u"n");
        tip->AppendChild(next.Get());
        tip = XParamImpl::From(next.Get());
    }
    tip->SetValue(u"bottom", -1);
    XParamRef copy = XParamRef::Adopt(root->Clone());
    EXPECT_TRUE(SameTree(XParamImpl::From(root.Get()), XParamImpl::From(copy.Get())));
    // Hold the bottom of the copy while the copy is released from the top.
    XParamImpl* bottom = XParamImpl::From(copy.Get());
    while (bottom->FirstChildNode()) bottom = bottom->FirstChildNode();
    XParamRef held(bottom);
    copy.Reset();
    EXPECT_EQ(held->GetParent(), nullptr);
    EXPECT_EQ(RefCountOf(held.Get()), 1);
    root.Reset();
}

TEST(Lifetime, LongSiblingListBuildsClonesAndDestroysWithoutRecursion) {
    XParamRef root = NewNode(u"list");
    XParamRef middle;
    for (int i = 0; i < kDeep; ++i) {
        XParamRef child = NewNode(i % 2 ? u"odd" : u"even");
        root->AppendChild(child.Get());
        if (i == kDeep / 2) middle = child;
    }
    XParamRef copy = XParamRef::Adopt(root->Clone());
    EXPECT_TRUE(SameTree(XParamImpl::From(root.Get()), XParamImpl::From(copy.Get())));
    copy.Reset();
    root.Reset();  // releases the chain while `middle` is still held
    EXPECT_EQ(RefCountOf(middle.Get()), 1);
    EXPECT_EQ(middle->GetPrevSibling(), nullptr);
}

}  // namespace
}  // namespace xparam::test
