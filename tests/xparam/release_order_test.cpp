// Releasing a tree: nodes held from outside survive with their subtrees intact
// whatever the shape, in trees built by hand and in trees placed in pages, and
// (with the pool) a tree rebuilt after a release gets its node blocks back in
// document order, as the first tree had them.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <vector>

#include "test_support.h"
#include "xparam/page_arena.h"

namespace xparam::test {
namespace {

// A random tree of `count` nodes built in document order through the reader's
// path; `fanout` bounds how far back the parent of the next node may lie on
// the current path (1 = a chain, large = wide lists). With an arena the nodes
// and lists are placed in its pages, as the reader places them. Returns the
// nodes in document order.
std::vector<XParamImpl*> BuildRandomTree(XParamImpl* root, int count, int fanout, uint32_t seed,
                                         PageArena* arena = nullptr) {
    std::mt19937 random(seed);
    std::vector<XParamImpl*> path{root};
    std::vector<XParamImpl*> order;
    for (int i = 0; i < count; ++i) {
        const auto up = static_cast<std::size_t>(random() % static_cast<uint32_t>(fanout));
        path.resize(path.size() > up + 1 ? path.size() - up : 1);
        XParamImpl* node = path.back()->AppendNewChild(arena);
        node->MutableName().Assign(u"node", 1 + random() % 4);
        if (random() % 2) node->MutableStringValue().Assign(u"text of the node", random() % 17);
        order.push_back(node);
        path.push_back(node);
    }
    return order;
}

struct Shape {
    const char* name;
    int count;
    int fanout;
};
constexpr Shape kShapes[] = {
    {"chain", 3000, 1}, {"deep", 3000, 2}, {"bushy", 3000, 6}, {"wide", 3000, 100000}};

// Builds a random tree, holds a random tenth of its nodes and releases the
// rest: every held node keeps its subtree and loses its neighbours.
void HoldAndRelease(const Shape& shape, uint32_t seed, bool placed) {
    PageArena arena;
    XParamRef root = NewNode(u"root");
    std::vector<XParamImpl*> nodes = BuildRandomTree(XParamImpl::From(root.Get()), shape.count,
                                                     shape.fanout, seed, placed ? &arena : nullptr);
    // Hold a random tenth, and a copy of each held subtree as it is now.
    std::mt19937 random(seed);
    std::vector<XParamRef> held, copies;
    for (XParamImpl* node : nodes) {
        if (random() % 10) continue;
        held.emplace_back(node);
        copies.push_back(XParamRef::Adopt(node->Clone()));
    }
    root.Reset();
    // A held node stays below a held ancestor; the topmost held nodes
    // stand alone.
    std::set<XParamImpl*> heldSet;
    for (const XParamRef& h : held) heldSet.insert(XParamImpl::From(h.Get()));
    for (std::size_t k = 0; k < held.size(); ++k) {
        XParamImpl* node = XParamImpl::From(held[k].Get());
        XParamImpl* top = node;
        while (top->ParentNode()) top = top->ParentNode();
        ASSERT_EQ(heldSet.count(top), 1u);
        ASSERT_EQ(top->PrevSiblingNode(), nullptr);
        ASSERT_EQ(top->NextSiblingNode(), nullptr);
        ASSERT_TRUE(SameTree(node, XParamImpl::From(copies[k].Get())));
    }
    // Release the held nodes in a random order: inner ones may now be
    // linked below outer ones only through their own subtrees.
    std::shuffle(held.begin(), held.end(), random);
    held.clear();
}

// Trees built by hand (pool lists, emptied from the back) and trees placed in
// pages (emptied from the front).
TEST(ReleaseOrder, HeldNodesSurviveWithTheirSubtrees) {
    for (const bool placed : {false, true}) {
        for (const Shape& shape : kShapes) {
            for (uint32_t seed = 1; seed <= 4; ++seed) {
                SCOPED_TRACE(testing::Message()
                             << shape.name << " seed " << seed << (placed ? " placed" : " pool"));
                HoldAndRelease(shape, seed, placed);
                if (HasFatalFailure()) return;
            }
        }
    }
}

TEST(ReleaseOrder, RemoveAllChildrenKeepsTheListConsistentForHeldChildren) {
    for (const bool placed : {false, true}) {
        SCOPED_TRACE(placed ? "placed" : "pool");
        PageArena arena;
        XParamRef root = NewNode(u"root");
        BuildRandomTree(XParamImpl::From(root.Get()), 500, 3, 9, placed ? &arena : nullptr);
        root->BuildNameIndex();
        XParamImpl* impl = XParamImpl::From(root.Get());
        XParamRef first(impl->FirstChildNode());
        XParamRef second(impl->FirstChildNode()->NextSiblingNode());
        XParamRef last(impl->LastChildNode());
        root->RemoveAllChildren();
        EXPECT_EQ(root->GetChildCount(), 0u);
        EXPECT_EQ(root->GetFirstChild(u"node", -1, 0), nullptr);
        for (const XParamRef* held : {&first, &second, &last}) {
            EXPECT_EQ(RefCountOf(held->Get()), 1);
            EXPECT_EQ((*held)->GetParent(), nullptr);
            EXPECT_EQ(XParamImpl::From(held->Get())->PrevSiblingNode(), nullptr);
            EXPECT_EQ(XParamImpl::From(held->Get())->NextSiblingNode(), nullptr);
        }
        root->AppendChild(second.Get());
        root->AppendChild(first.Get());
        EXPECT_EQ(root->GetChildCount(), 2u);
        EXPECT_EQ(impl->FirstChildNode(), second.Get());
    }
}

#if !defined(CORVO_SANITIZE)
// Every block is a plain malloc block in the sanitizer build: no order to keep.
TEST(ReleaseOrder, RebuiltTreeGetsTheBlocksInDocumentOrder) {
    for (const Shape& shape : kShapes) {
        SCOPED_TRACE(shape.name);
        // Two warm-up cycles so that the second build already reuses blocks.
        std::vector<const void*> before;
        for (int cycle = 0; cycle < 3; ++cycle) {
            XParamRef root = XParamRef::Adopt(CreateXParam());
            std::vector<XParamImpl*> nodes =
                BuildRandomTree(XParamImpl::From(root.Get()), shape.count, shape.fanout, 7);
            std::vector<const void*> addresses(nodes.begin(), nodes.end());
            if (cycle == 2) {
                EXPECT_EQ(addresses, before);
            }
            before = addresses;
        }
    }
}
#endif

}  // namespace
}  // namespace xparam::test
