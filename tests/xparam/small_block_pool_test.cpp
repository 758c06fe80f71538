// The small-block pool under its two promises: blocks never overlap while they
// are live (whatever the mix of sizes and the order of release), and blocks may
// be released on a thread other than the one that allocated them, including
// after that thread has ended.
#include "xparam/small_block_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "xparam/x_ref.h"
#include "xparam/xparam.h"

namespace {

using xparam::SmallBlockPool;

struct Live {
    unsigned char* block;
    std::size_t size;
    unsigned char fill;
};

// Allocates a random mix of sizes (pooled and not), stamps each block, releases
// a random half, and checks that every live block still carries its stamp.
void ChurnAndCheck(uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<Live> live;
    for (int round = 0; round < 40; ++round) {
        for (int k = 0; k < 200; ++k) {
            const std::size_t size = random() % (SmallBlockPool::kMaxPooledSize * 2 + 1);
            auto* block = static_cast<unsigned char*>(SmallBlockPool::Allocate(size));
            // malloc's alignment above the pooled sizes (8 on 32-bit Windows).
            const std::size_t alignment =
                size <= SmallBlockPool::kMaxPooledSize ? 16 : 2 * sizeof(void*);
            ASSERT_EQ(reinterpret_cast<uintptr_t>(block) % alignment, 0u);
            const auto fill = static_cast<unsigned char>(random());
            std::memset(block, fill, size);
            live.push_back({block, size, fill});
        }
        std::shuffle(live.begin(), live.end(), random);
        const std::size_t keep = live.size() / 2;
        for (std::size_t k = keep; k < live.size(); ++k) {
            SmallBlockPool::Free(live[k].block, live[k].size);
        }
        live.resize(keep);
        for (const Live& l : live) {
            for (std::size_t b = 0; b < l.size; ++b) ASSERT_EQ(l.block[b], l.fill);
        }
    }
    for (const Live& l : live) SmallBlockPool::Free(l.block, l.size);
}

TEST(SmallBlockPool, LiveBlocksNeverOverlap) {
    ChurnAndCheck(1);
    std::vector<std::thread> threads;
    for (uint32_t t = 0; t < 4; ++t) threads.emplace_back([t] { ChurnAndCheck(100 + t); });
    for (std::thread& t : threads) t.join();
}

TEST(SmallBlockPool, SizesOfOneBlockAgree) {
    for (std::size_t size = 0; size <= SmallBlockPool::kMaxPooledSize * 2; ++size) {
        EXPECT_TRUE(SmallBlockPool::SameBlock(size, size)) << size;
    }
    EXPECT_FALSE(SmallBlockPool::SameBlock(16, 17));
    EXPECT_FALSE(SmallBlockPool::SameBlock(SmallBlockPool::kMaxPooledSize + 1,
                                           SmallBlockPool::kMaxPooledSize + 2));
}

xparam::XParam* BuildTree(int children) {
    xparam::XParam* root = xparam::CreateXParam();
    root->SetName(u"root", -1);
    for (int k = 0; k < children; ++k) {
        auto child = xparam::XRef<xparam::XParam>::Adopt(root->CreateNode());
        child->SetName(u"a name longer than eight units", -1);
        child->SetValue(u"a text value of some length", -1);
        root->AppendChild(child.Get());
    }
    return root;
}

// Trees built on short-lived threads are released elsewhere (and partly kept
// alive by a child reference that outlives the tree); the blocks they free
// are then reused by new trees on yet other threads.
TEST(SmallBlockPool, NodesReleasedOnOtherThreadsAfterTheirThreadEnded) {
    std::vector<xparam::XParam*> roots(8);
    std::vector<xparam::XParam*> kept(8);
    std::vector<std::thread> builders;
    for (std::size_t t = 0; t < roots.size(); ++t) {
        builders.emplace_back([&, t] {
            roots[t] = BuildTree(500);
            kept[t] = roots[t]->GetLastChild();
        });
    }
    for (std::thread& t : builders) t.join();  // every builder has ended
    std::vector<std::thread> releasers;
    for (std::size_t t = 0; t < roots.size(); ++t) {
        releasers.emplace_back([&, t] {
            roots[t]->Release();
            xparam::XRef<xparam::XParam> fresh =
                xparam::XRef<xparam::XParam>::Adopt(BuildTree(300));
            EXPECT_EQ(fresh->GetChildCount(), 300u);
        });
    }
    for (std::thread& t : releasers) t.join();
    for (xparam::XParam* child : kept) {
        EXPECT_EQ(child->GetParent(), nullptr);
        const char16_t* text = nullptr;
        int length = 0;
        xparam::XInResSlot slot;
        ASSERT_TRUE(child->GetValue(text, length, slot));
        EXPECT_EQ(std::u16string_view(text, static_cast<std::size_t>(length)),
                  u"a text value of some length");
        child->Release();
    }
}

}  // namespace
