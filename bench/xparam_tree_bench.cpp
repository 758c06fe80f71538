// Value tree costs: lookup of the n-th child by name with and without the name
// index, building the index, and building/destroying a tree of 1,000,000 nodes
// with its memory per node: malloc's blocks plus the small-block pool's blocks
// (heap_bytes_per_node), the pooled part alone (pool_bytes_per_node) and all
// slabs the pool has carved in the process, per node of one tree
// (slab_bytes_per_node).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <string>
#include <vector>

#include "xparam/small_block_pool.h"
#include "xparam/xparam.h"
#include "xparam/xparam_impl.h"

namespace {

using xparam::XParamRef;

constexpr int kChildren = 10000;

// A parent with kChildren children named "item0" .. "item99", cycling, so
// each name occurs 100 times.
XParamRef MakeWideParent() {
    XParamRef parent = XParamRef::Adopt(xparam::CreateXParam());
    for (int i = 0; i < kChildren; ++i) {
        XParamRef child = XParamRef::Adopt(xparam::CreateXParam());
        std::u16string name = u"item";
        for (char c : std::to_string(i % 100)) name += static_cast<char16_t>(c);
        child->SetName(name.data(), static_cast<int>(name.size()));
        parent->AppendChild(child.Get());
    }
    return parent;
}

void LookupByName(benchmark::State& state, bool indexed) {
    XParamRef parent = MakeWideParent();
    if (indexed) parent->BuildNameIndex();
    int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        // Name "item99" is the last name of each cycle: a walk passes 99 others.
        XParamRef found = XParamRef::Adopt(parent->GetFirstChild(u"item99", 6, n));
        benchmark::DoNotOptimize(found.Get());
    }
}

void BM_LookupWithoutIndex(benchmark::State& state) {
    LookupByName(state, false);
}
void BM_LookupWithIndex(benchmark::State& state) {
    LookupByName(state, true);
}
BENCHMARK(BM_LookupWithoutIndex)->Arg(0)->Arg(50)->Arg(99);
BENCHMARK(BM_LookupWithIndex)->Arg(0)->Arg(50)->Arg(99);

void BM_BuildNameIndex(benchmark::State& state) {
    XParamRef parent = MakeWideParent();
    for (auto _ : state) {
        parent->BuildNameIndex();
        state.PauseTiming();
        parent->DropNameIndex();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kChildren);
}
BENCHMARK(BM_BuildNameIndex);

constexpr int kTreeNodes = 1000000;

// A tree of kTreeNodes nodes: 1000 elements of 999 children each, every node
// named, the leaves holding a short text.
XParamRef BuildTree() {
    XParamRef root = XParamRef::Adopt(xparam::CreateXParam());
    root->SetName(u"root", 4);
    int made = 1;
    while (made < kTreeNodes) {
        XParamRef element = XParamRef::Adopt(root->CreateNode());
        element->SetName(u"record", 6);
        root->AppendChild(element.Get());
        ++made;
        for (int i = 0; i < 999 && made < kTreeNodes; ++i, ++made) {
            XParamRef leaf = XParamRef::Adopt(root->CreateNode());
            leaf->SetName(u"field", 5);
            leaf->SetValue(u"value", 5);
            element->AppendChild(leaf.Get());
        }
    }
    return root;
}

// Memory in use by this thread: malloc's own blocks plus the pool's blocks
// (at their class size), which malloc statistics see only as whole slabs.
double BytesInUse() {
    return static_cast<double>(mallinfo2().uordblks) +
           static_cast<double>(xparam::SmallBlockPool::Stats().threadBlockBytes);
}

void BM_BuildTree(benchmark::State& state) {
    double perNode = 0;
    double poolPerNode = 0;
    double slabPerNode = 0;
    for (auto _ : state) {
        const double before = BytesInUse();
        const auto poolBefore = xparam::SmallBlockPool::Stats();
        XParamRef root = BuildTree();
        const double after = BytesInUse();
        const auto poolAfter = xparam::SmallBlockPool::Stats();
        state.PauseTiming();
        // The slabs a first build carves show up in mallinfo too; take them
        // out so that the pooled blocks are counted once.
        const double slabs = static_cast<double>(poolAfter.slabBytes - poolBefore.slabBytes);
        perNode = (after - before - slabs) / kTreeNodes;
        poolPerNode =
            static_cast<double>(poolAfter.threadBlockBytes - poolBefore.threadBlockBytes) /
            kTreeNodes;
        slabPerNode = static_cast<double>(poolAfter.slabBytes) / kTreeNodes;
        root.Reset();
        state.ResumeTiming();
    }
    state.counters["heap_bytes_per_node"] = perNode;
    state.counters["pool_bytes_per_node"] = poolPerNode;
    state.counters["slab_bytes_per_node"] = slabPerNode;
    state.counters["node_object_bytes"] = sizeof(xparam::XParamImpl);
    state.SetItemsProcessed(state.iterations() * kTreeNodes);
}
BENCHMARK(BM_BuildTree)->Unit(benchmark::kMillisecond);

void BM_DestroyTree(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        XParamRef root = BuildTree();
        state.ResumeTiming();
        root.Reset();
    }
    state.SetItemsProcessed(state.iterations() * kTreeNodes);
}
BENCHMARK(BM_DestroyTree)->Unit(benchmark::kMillisecond);

void BM_CloneTree(benchmark::State& state) {
    XParamRef root = BuildTree();
    for (auto _ : state) {
        XParamRef copy = XParamRef::Adopt(root->Clone());
        state.PauseTiming();
        copy.Reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kTreeNodes);
}
BENCHMARK(BM_CloneTree)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
