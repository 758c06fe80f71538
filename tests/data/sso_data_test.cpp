#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "data_test_support.h"
#include "platform/com/allocation_fault_injection.h"
#include "platform/com/bstr_fault_injection.h"

namespace corvo::data::test {
namespace {

TEST(SSOData, NameSemantics) {
    ComPtr<ISSOData> d = NewData();
    // A name never set and a name set to "" read the same.
    EXPECT_EQ(Get(d.Get(), u"strKey_FullUserID"), u"");
    ASSERT_EQ(Set(d.Get(), u"empty", u""), S_OK);
    EXPECT_EQ(Get(d.Get(), u"empty"), u"");

    ASSERT_EQ(Set(d.Get(), u"strKey_FullUserID", u"first"), S_OK);
    ASSERT_EQ(Set(d.Get(), u"strKey_FullUserID", u"second"), S_OK);
    ASSERT_EQ(Set(d.Get(), u"strkey_fulluserid", u"lower"), S_OK);
    EXPECT_EQ(Get(d.Get(), u"strKey_FullUserID"), u"second");
    EXPECT_EQ(Get(d.Get(), u"strkey_fulluserid"), u"lower");

    // A null name and an empty name address the same entry.
    ASSERT_EQ(d->SetDataStr(nullptr, nullptr), S_OK);
    ASSERT_EQ(Set(d.Get(), u"", u"via empty"), S_OK);
    EXPECT_EQ(GetRaw(d.Get(), nullptr), u"via empty");

    // Names and values are cut at their first NUL.
    ASSERT_EQ(Set(d.Get(), std::u16string_view(u"ab\0c", 4), std::u16string_view(u"x\0y", 3)),
              S_OK);
    EXPECT_EQ(Get(d.Get(), u"ab"), u"x");
    EXPECT_EQ(Get(d.Get(), std::u16string_view(u"ab\0zzz", 6)), u"x");

    // Code units beyond the BMP and above 0x7FFF compare as code units.
    ASSERT_EQ(Set(d.Get(), u"名\U0001F600", u"值"), S_OK);
    EXPECT_EQ(Get(d.Get(), u"名\U0001F600"), u"值");
}

TEST(SSOData, NumericMembersAreNotImplementedAndTouchNothing) {
    ComPtr<ISSOData> d = NewData();
    ASSERT_EQ(Set(d.Get(), u"n", u"1"), S_OK);
    BstrPtr name = BstrPtr::FromText(u"n");
    ULONG u = 77;
    LONG l = 88;
    for (BSTR b : {name.Get(), static_cast<BSTR>(nullptr)}) {
        EXPECT_EQ(d->GetDataDword(b, &u), E_NOTIMPL);
        EXPECT_EQ(d->GetDataLong(b, &l), E_NOTIMPL);
        EXPECT_EQ(d->GetDataDword(b, nullptr), E_NOTIMPL);
        EXPECT_EQ(d->GetDataLong(b, nullptr), E_NOTIMPL);
        EXPECT_EQ(d->SetDataDword(b, 5), E_NOTIMPL);
        EXPECT_EQ(d->SetDataLong(b, -5), E_NOTIMPL);
    }
    EXPECT_EQ(u, 77u);
    EXPECT_EQ(l, 88);
    EXPECT_EQ(Get(d.Get(), u"n"), u"1");
}

TEST(SSOData, NullOutputIsRefused) {
    ComPtr<ISSOData> d = NewData();
    BstrPtr name = BstrPtr::FromText(u"x");
    EXPECT_EQ(d->GetDataStr(name.Get(), nullptr), E_INVALIDARG);
}

// Random sequences of sets and gets against a plain map of the NUL-cut strings.
TEST(SSOData, BehavesLikeAnOrdinalMap) {
    const std::u16string names[] = {u"",  u"a",      u"A",      std::u16string(u"a\0b", 3),
                                    u"b", u"strKey", u"STRKEY", u"\xFFFF"};
    std::mt19937 rng(12345);
    for (int round = 0; round < 20; ++round) {
        ComPtr<ISSOData> d = NewData();
        std::map<std::u16string, std::u16string> model;
        for (int step = 0; step < 60; ++step) {
            const std::u16string& name = names[rng() % std::size(names)];
            const std::u16string key(name.c_str());  // cut at the first NUL
            if (rng() % 2) {
                std::u16string value(rng() % 4, static_cast<char16_t>(u'a' + rng() % 3));
                ASSERT_EQ(Set(d.Get(), name, value), S_OK);
                model[key] = value;
            } else {
                const auto it = model.find(key);
                ASSERT_EQ(Get(d.Get(), name), it == model.end() ? u"" : it->second);
            }
        }
    }
}

TEST(SSOData, OutOfMemoryLeavesTheMapUnchanged) {
    ComPtr<ISSOData> d = NewData();
    ASSERT_EQ(Set(d.Get(), u"kept", u"old"), S_OK);
    BstrPtr name = BstrPtr::FromText(u"kept");

    // The result BSTR cannot be allocated.
    corvo::testing::FailBstrAllocationAfter(0);
    BSTR out = reinterpret_cast<BSTR>(&out);
    EXPECT_EQ(d->GetDataStr(name.Get(), &out), E_OUTOFMEMORY);
    corvo::testing::ClearBstrAllocationFailure();
    EXPECT_EQ(out, nullptr);

    // Every allocation of a set, in turn, fails: the map keeps its old state
    // until the set can complete.
    const std::u16string big(1000, u'v');
    for (const std::u16string target : {u"kept", u"new"}) {
        BstrPtr n = BstrPtr::FromText(target), v = BstrPtr::FromText(big);
        const std::u16string kept_before = Get(d.Get(), u"kept");
        const std::u16string new_before = Get(d.Get(), u"new");
        HRESULT hr = E_FAIL;
        for (int allowed = 0; allowed < 20; ++allowed) {
            corvo::testing::FailAllocationsAfter(allowed);
            hr = d->SetDataStr(n.Get(), v.Get());
            corvo::testing::ClearAllocationFailure();
            if (hr == S_OK) break;
            ASSERT_EQ(hr, E_OUTOFMEMORY);
            EXPECT_EQ(Get(d.Get(), u"kept"), kept_before);
            EXPECT_EQ(Get(d.Get(), u"new"), new_before);
        }
        ASSERT_EQ(hr, S_OK);
        EXPECT_EQ(Get(d.Get(), target), big);
    }
}

}  // namespace
}  // namespace corvo::data::test
