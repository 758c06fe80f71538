#include <gtest/gtest.h>

#include "data_test_support.h"
#include "platform/com/allocation_fault_injection.h"

namespace corvo::data::test {
namespace {

TEST(SSODataArray, NewArrayIsEmpty) {
    ComPtr<ISSODataArray> a = NewArray();
    ULONG size = 99;
    ASSERT_EQ(a->GetSize(&size), S_OK);
    EXPECT_EQ(size, 0u);
    ISSOData* out = reinterpret_cast<ISSOData*>(&size);
    EXPECT_EQ(a->GetItemData(0, &out), E_INVALIDARG);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(a->GetSize(nullptr), E_INVALIDARG);
    EXPECT_EQ(a->GetItemData(0, nullptr), E_INVALIDARG);
}

TEST(SSODataArray, SlotsHoldOneReferenceEach) {
    ProbeData probe;
    {
        ComPtr<ISSODataArray> a = NewArray();
        ASSERT_EQ(a->AddItem(&probe), S_OK);
        ASSERT_EQ(a->AddItem(nullptr), S_OK);
        ASSERT_EQ(a->AddItem(&probe), S_OK);
        EXPECT_EQ(probe.refs, 2u);
        ULONG size = 0;
        ASSERT_EQ(a->GetSize(&size), S_OK);
        EXPECT_EQ(size, 3u);

        struct Case {
            ULONG index;
            HRESULT hr;
            ISSOData* item;
        } cases[] = {{0, S_OK, &probe},
                     {1, E_FAIL, nullptr},
                     {2, S_OK, &probe},
                     {3, E_INVALIDARG, nullptr},
                     {0xFFFFFFFFu, E_INVALIDARG, nullptr}};
        for (const Case& c : cases) {
            ISSOData* out = reinterpret_cast<ISSOData*>(&size);
            EXPECT_EQ(a->GetItemData(c.index, &out), c.hr) << c.index;
            EXPECT_EQ(out, c.item) << c.index;
            if (out) {
                EXPECT_EQ(probe.refs, 3u) << "a handed-out item carries its own reference";
                out->Release();
            }
            EXPECT_EQ(probe.refs, 2u);
        }
        ASSERT_EQ(a->ClearAllItem(), S_OK);
        EXPECT_EQ(probe.refs, 0u);
        ASSERT_EQ(a->GetSize(&size), S_OK);
        EXPECT_EQ(size, 0u);
        ASSERT_EQ(a->AddItem(&probe), S_OK);
        EXPECT_EQ(probe.refs, 1u);
    }
    EXPECT_EQ(probe.refs, 0u) << "destroying the array gives its references back";
}

TEST(SSODataArray, SameObjectTwiceIsOneObject) {
    ComPtr<ISSODataArray> a = NewArray();
    ComPtr<ISSOData> d = NewData();
    ASSERT_EQ(a->AddItem(d.Get()), S_OK);
    ASSERT_EQ(a->AddItem(d.Get()), S_OK);
    ComPtr<ISSOData> first, second;
    ASSERT_EQ(a->GetItemData(0, first.Out()), S_OK);
    ASSERT_EQ(a->GetItemData(1, second.Out()), S_OK);
    ASSERT_EQ(Set(first.Get(), u"k", u"v"), S_OK);
    EXPECT_EQ(Get(second.Get(), u"k"), u"v");
    EXPECT_EQ(first.Get(), d.Get());
}

TEST(SSODataArray, ClearAllItemLeavesHeldObjectsUsable) {
    ComPtr<ISSODataArray> a = NewArray();
    ComPtr<ISSOData> page_held;
    {
        ComPtr<ISSOData> d = NewData();
        ASSERT_EQ(a->AddItem(d.Get()), S_OK);
        ASSERT_EQ(a->GetItemData(0, page_held.Out()), S_OK);
    }
    ASSERT_EQ(a->ClearAllItem(), S_OK);
    ASSERT_EQ(Set(page_held.Get(), u"still", u"alive"), S_OK);
    EXPECT_EQ(Get(page_held.Get(), u"still"), u"alive");
}

// A final Release that calls back into the array during ClearAllItem sees it
// already empty.
TEST(SSODataArray, ReleaseDuringClearSeesAnEmptyArray) {
    ComPtr<ISSODataArray> a = NewArray();
    ProbeData probe;
    probe.context = a.Get();
    probe.on_last_release = [](ProbeData* self) {
        ULONG size = 99;
        EXPECT_EQ(static_cast<ISSODataArray*>(self->context)->GetSize(&size), S_OK);
        EXPECT_EQ(size, 0u);
        self->context = nullptr;
    };
    ASSERT_EQ(a->AddItem(&probe), S_OK);
    ASSERT_EQ(a->ClearAllItem(), S_OK);
    EXPECT_EQ(probe.context, nullptr) << "the callback ran";
}

TEST(SSODataArray, GrowingFailureLeavesTheArrayUnchanged) {
    ComPtr<ISSODataArray> a = NewArray();
    ProbeData probe;
    ULONG added = 0;
    int refused = 0;
    for (int i = 0; i < 40; ++i) {
        corvo::testing::FailAllocationsAfter(0);
        const HRESULT hr = a->AddItem(&probe);
        corvo::testing::ClearAllocationFailure();
        ULONG size = 0;
        ASSERT_EQ(a->GetSize(&size), S_OK);
        if (hr == S_OK) {
            ++added;  // there was room without growing
        } else {
            ASSERT_EQ(hr, E_OUTOFMEMORY);
            ++refused;
            ASSERT_EQ(probe.refs, added) << "a refused item holds no reference";
            ASSERT_EQ(a->AddItem(&probe), S_OK);  // grows for real
            ++added;
        }
        ASSERT_EQ(probe.refs, added);
        ASSERT_EQ(a->GetSize(&size), S_OK);
        ASSERT_EQ(size, added);
    }
    EXPECT_GT(refused, 3);
    a.Reset();
    EXPECT_EQ(probe.refs, 0u);
}

}  // namespace
}  // namespace corvo::data::test
