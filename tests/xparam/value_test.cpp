// Typed getters and setters across value kinds, and the holder slot rules.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "test_support.h"
#include "xparam/array_in_res.h"
#include "xparam/x_str_in_res.h"

namespace xparam::test {
namespace {

// Every numeric getter on one node, as text for comparison ("-" = false).
struct NumericReadings {
    std::string c, uc, s, us, i, ui, i64, u64, l, ul, d, f, b;
};

template <class T>
std::string Read(XParam* n) {
    T v{};
    if (!n->GetValue(v)) return "-";
    if constexpr (std::is_same_v<T, bool>)
        return v ? "true" : "false";
    else if constexpr (std::is_floating_point_v<T>)
        return std::to_string(static_cast<double>(v));
    else
        return std::to_string(v);
}

NumericReadings ReadAll(XParam* n) {
    return {Read<char>(n), Read<unsigned char>(n), Read<short>(n),     Read<unsigned short>(n),
            Read<int>(n),  Read<unsigned int>(n),  Read<long long>(n), Read<unsigned long long>(n),
            Read<long>(n), Read<unsigned long>(n), Read<double>(n),    Read<float>(n),
            Read<bool>(n)};
}

void ExpectReadings(XParam* n, const NumericReadings& want) {
    NumericReadings got = ReadAll(n);
    EXPECT_EQ(got.c, want.c);
    EXPECT_EQ(got.uc, want.uc);
    EXPECT_EQ(got.s, want.s);
    EXPECT_EQ(got.us, want.us);
    EXPECT_EQ(got.i, want.i);
    EXPECT_EQ(got.ui, want.ui);
    EXPECT_EQ(got.i64, want.i64);
    EXPECT_EQ(got.u64, want.u64);
    // `long` is as wide as int on Windows (32 bits) and as int64_t elsewhere:
    // the long getters behave exactly like the getters of that width.
    if constexpr (sizeof(long) == sizeof(int32_t)) {
        EXPECT_EQ(got.l, want.i);
        EXPECT_EQ(got.ul, want.ui);
    } else {
        EXPECT_EQ(got.l, want.l);
        EXPECT_EQ(got.ul, want.ul);
    }
    EXPECT_EQ(got.d, want.d);
    EXPECT_EQ(got.f, want.f);
    EXPECT_EQ(got.b, want.b);
}

const std::string kULongMax = std::to_string(ULONG_MAX);
const std::string kLongMinus1 = "-1";

TEST(Values, NumericGettersAcrossKinds) {
    struct Case {
        const char* what;
        void (*set)(XParam*);
        NumericReadings want;
    };
    const Case cases[] = {
        {"String -1",
         [](XParam* n) { n->SetValue(u"-1", -1); },
         {"-1", "255", "-1", "65535", "-1", "4294967295", "-1", "18446744073709551615", "-1",
          kULongMax, "-1.000000", "-1.000000", "true"}},
        {"Double -1.5",
         [](XParam* n) { n->SetValue(-1.5); },
         {"-1", "255", "-1", "65535", "-1", "4294967295", "-1", "18446744073709551615", "-1",
          kULongMax, "-1.500000", "-1.500000", "true"}},
        {"Int 5",
         [](XParam* n) { n->SetValue(5); },
         {"5", "5", "5", "5", "5", "5", "5", "5", "5", "5", "5.000000", "5.000000", "true"}},
        {"Char -128",
         [](XParam* n) { n->SetValue(static_cast<char>(-128)); },
         {"-128", "128", "-128", "65408", "-128", "4294967168", "-128", "18446744073709551488",
          "-128", std::to_string(static_cast<unsigned long>(-128L)), "-128.000000", "-128.000000",
          "true"}},
        {"Bool true",
         [](XParam* n) { n->SetValue(true); },
         {"1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1.000000", "1.000000", "true"}},
        {"Double 0.0",
         [](XParam* n) { n->SetValue(0.0); },
         {"0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0.000000", "0.000000", "false"}},
        // A non-zero 64-bit number is true even when its low 32 bits are zero.
        {"Int64 2^32",
         [](XParam* n) { n->SetValue(4294967296LL); },
         {"0", "0", "0", "0", "0", "0", "4294967296", "4294967296", "4294967296", "4294967296",
          "4294967296.000000", "4294967296.000000", "true"}},
        {"String 42",
         [](XParam* n) { n->SetValue(u"42", -1); },
         {"42", "42", "42", "42", "42", "42", "42", "42", "42", "42", "42.000000", "42.000000",
          "true"}},
        {"String abc",
         [](XParam* n) { n->SetValue(u"abc", -1); },
         {"-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-"}},
        {"String empty",
         [](XParam* n) { n->SetValue(u"", 0); },
         {"-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-"}},
        {"Empty",
         [](XParam*) {},
         {"-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-"}},
        {"Pointer",
         [](XParam* n) { n->SetValue(static_cast<void*>(n)); },
         {"-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-"}},
        {"Binary",
         [](XParam* n) { n->SetValue(reinterpret_cast<const unsigned char*>("1"), 1); },
         {"-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        XParamRef n = NewNode();
        c.set(n.Get());
        ExpectReadings(n.Get(), c.want);
    }
}

TEST(Values, BoolFromText) {
    struct {
        const char16_t* text;
        const char* want;  // "-" = the getter fails
    } cases[] = {{u"yes", "true"}, {u"Y", "true"},      {u"true", "true"}, {u"1", "true"},
                 {u"no", "false"}, {u"false", "false"}, {u"0", "false"},   {u"maybe", "-"},
                 {u"", "-"},       {u"0x10", "true"}};
    for (auto& c : cases) {
        XParamRef n = NewNode();
        n->SetValue(c.text, -1);
        EXPECT_EQ(Read<bool>(n.Get()), c.want);
    }
}

TEST(Values, KindsAndPredicates) {
    XParamRef n = NewNode();
    EXPECT_TRUE(n->IsEmpty());
    EXPECT_EQ(n->GetKind(), ValueKind::Empty);
    n->SetValue(1.5L);
    EXPECT_EQ(n->GetKind(), ValueKind::LongDouble);
    EXPECT_TRUE(n->IsNumber() && n->IsData() && !n->IsObject());
    long double ld = 0;
    EXPECT_TRUE(n->GetValue(ld));
    EXPECT_EQ(ld, 1.5L);
    n->SetValue(static_cast<void*>(nullptr));
    EXPECT_TRUE(n->IsObject() && !n->IsData());
    n->SetValue(7L);
    EXPECT_EQ(n->GetKind(), ValueKind::Long);
    n->SetValue(7);
    EXPECT_EQ(n->GetKind(), ValueKind::Int);
    n->SetValue(reinterpret_cast<const unsigned char*>("x"), 1);
    EXPECT_TRUE(n->IsBinary() && n->IsData());
    n->SetValue();
    EXPECT_TRUE(n->IsEmpty());
    n->SetNodeKind(static_cast<NodeKind>(7));  // stored unchecked
    EXPECT_EQ(n->GetNodeKind(), static_cast<NodeKind>(7));
}

TEST(Values, TextFormsThroughTheHolder) {
    struct {
        void (*set)(XParam*);
        const char* text;  // nullptr = no text form
    } cases[] = {
        {[](XParam* n) { n->SetValue(100.0); }, "100"},
        {[](XParam* n) { n->SetValue(-0.25); }, "-0.25"},
        {[](XParam* n) { n->SetValue(static_cast<char>(-128)); }, "-128"},
        {[](XParam* n) { n->SetValue(18446744073709551615ULL); }, "18446744073709551615"},
        {[](XParam* n) { n->SetValue(true); }, "1"},
        {[](XParam* n) { n->SetValue(reinterpret_cast<const unsigned char*>("AB"), 2); }, "QUI="},
        {[](XParam* n) { n->SetValue(SharedHandle()); }, nullptr},
        {[](XParam*) {}, nullptr},
    };
    for (auto& c : cases) {
        XParamRef n = NewNode();
        c.set(n.Get());
        XInResSlot wideSlot, narrowSlot;
        const char16_t* w = nullptr;
        const char* a = nullptr;
        int wl = -1, al = -1;
        bool wok = n->GetValue(w, wl, wideSlot);
        bool aok = n->GetValue(a, al, 936, narrowSlot);
        if (!c.text) {
            EXPECT_FALSE(wok);
            EXPECT_FALSE(aok);
            EXPECT_FALSE(wideSlot);
            continue;
        }
        ASSERT_TRUE(wok && aok) << c.text;
        EXPECT_EQ(std::string(a, al), c.text);
        EXPECT_EQ(std::u16string(w, wl), std::u16string(c.text, c.text + std::strlen(c.text)));
        EXPECT_EQ(a[al], '\0');
        EXPECT_EQ(w[wl], u'\0');
        EXPECT_EQ(RefCountOf(n.Get()), 1);
    }
}

TEST(Values, BinaryAndBase64) {
    XParamRef n = NewNode();
    const unsigned char bytes[] = {0x41, 0x00, 0xFF};
    n->SetValue(bytes, 3);
    XInResSlot slot;
    const unsigned char* p = nullptr;
    int len = 0;
    ASSERT_TRUE(n->GetValue(p, len, slot));
    EXPECT_EQ(len, 3);
    EXPECT_EQ(std::memcmp(p, bytes, 3), 0);
    EXPECT_FALSE(slot);  // the node's own bytes
    // Binary -> base64 text -> String -> bytes again.
    const char16_t* text = nullptr;
    ASSERT_TRUE(n->GetValue(text, len, slot));
    XParamRef s = NewNode();
    s->SetValue(text, len);
    XInResSlot bytesSlot;
    ASSERT_TRUE(s->GetValue(p, len, bytesSlot));
    EXPECT_TRUE(bytesSlot);
    ASSERT_EQ(len, 3);
    EXPECT_EQ(std::memcmp(p, bytes, 3), 0);
    // Malformed or empty text gives no bytes and leaves the slot alone.
    XInResSlot untouched;
    s->SetValue(u"QU=I", -1);
    EXPECT_FALSE(s->GetValue(p, len, untouched));
    s->SetValue(u"", -1);
    EXPECT_FALSE(s->GetValue(p, len, untouched));
    EXPECT_FALSE(untouched);
    // Null or empty input makes an empty byte sequence; reuse keeps the kind.
    n->SetValue(static_cast<const unsigned char*>(nullptr), 5);
    ASSERT_TRUE(n->GetValue(p, len, slot));
    EXPECT_EQ(len, 0);
    ASSERT_TRUE(n->GetValue(text, len, slot));
    EXPECT_EQ(len, 0);
}

TEST(Values, StringsKeepEmbeddedNulsAndEmptyText) {
    XParamRef n = NewNode();
    n->SetValue(u"abc", -1);
    n->SetValue(u"", -1);
    XInResSlot slot;
    const char16_t* p = nullptr;
    int len = -1;
    ASSERT_TRUE(n->GetValue(p, len, slot));
    EXPECT_EQ(len, 0);
    EXPECT_EQ(n->GetKind(), ValueKind::String);
    n->SetValue(u"a\0b", 3);
    ASSERT_TRUE(n->GetValue(p, len, slot));
    EXPECT_EQ(std::u16string(p, len), std::u16string(u"a\0b", 3));
    EXPECT_FALSE(slot);
    // Assigning the node's own text to itself is safe.
    n->SetValue(p + 1, 2);
    ASSERT_TRUE(n->GetValue(p, len, slot));
    EXPECT_EQ(std::u16string(p, len), std::u16string(u"\0b", 2));
}

TEST(Values, MultiByteNamesAndValues) {
    XParamRef n = NewNode();
    // "中文" in GBK (code page 936) and UTF-8.
    const char gbk[] = "\xD6\xD0\xCE\xC4";
    ASSERT_TRUE(n->SetName(gbk, -1, 936));
    EXPECT_EQ(NameOf(n.Get()), u"\u4E2D\u6587");
    XInResSlot slot;
    const char* p = nullptr;
    int len = 0;
    ASSERT_TRUE(n->GetName(p, len, 65001, slot));
    EXPECT_EQ(std::string(p, len), "\xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_TRUE(slot);
    ASSERT_TRUE(n->SetValue("\xE4\xB8\xAD", 3, 65001));
    ASSERT_TRUE(n->GetValue(p, len, 936, slot));
    EXPECT_EQ(std::string(p, len), "\xD6\xD0");
    // An empty name converts to the empty byte string without a holder.
    XParamRef unnamed = NewNode();
    XInResSlot empty;
    ASSERT_TRUE(unnamed->GetName(p, len, 936, empty));
    EXPECT_EQ(len, 0);
    EXPECT_FALSE(empty);
    // A multi-byte name lookup converts first.
    XParamRef parent = NewNode(u"p");
    parent->AppendChild(n.Get());
    XParamRef found = XParamRef::Adopt(parent->GetFirstChild(gbk, 4, 936, 0));
    EXPECT_EQ(found, n);
    found = XParamRef::Adopt(parent->GetLastChild("\xE4\xB8\xAD\xE6\x96\x87", -1, 65001, 0));
    EXPECT_EQ(found, n);
}

TEST(Values, SharedHandleSharesTheObject) {
    auto object = boost::shared_ptr<int>(new int(5));
    {
        XParamRef n = NewNode();
        n->SetValue(SharedHandle(object));
        EXPECT_EQ(object.use_count(), 2);
        n->SetValue(SharedHandle(object));  // assigned in place
        EXPECT_EQ(object.use_count(), 2);
        XParamRef copy = XParamRef::Adopt(n->Clone());
        EXPECT_EQ(object.use_count(), 3);
        SharedHandle out;
        ASSERT_TRUE(copy->GetValue(out));
        EXPECT_EQ(out.get(), object.get());
        EXPECT_EQ(object.use_count(), 4);
    }
    EXPECT_EQ(object.use_count(), 1);
}

// A counted COM object that answers IUnknown and IDispatch.
struct FakeDispatch : IDispatch {
    ULONG refs = 1;
    bool dispatch = true;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || (dispatch && IsEqualIID(iid, IID_IDispatch))) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }
};

TEST(Values, ComReferencesAreCounted) {
    FakeDispatch object;
    {
        XParamRef n = NewNode();
        n->SetValue(static_cast<IUnknown*>(&object));
        EXPECT_EQ(object.refs, 2u);
        IDispatch* disp = nullptr;
        ASSERT_TRUE(n->GetValue(disp));  // QueryInterface from ComUnknown
        EXPECT_EQ(object.refs, 3u);
        disp->Release();
        n->SetValue(static_cast<IDispatch*>(&object));  // AddRef new before releasing old
        EXPECT_EQ(object.refs, 2u);
        IUnknown* unk = &object;
        object.AddRef();  // unk holds a reference, which the getter releases
        ASSERT_TRUE(n->GetValue(unk));
        EXPECT_EQ(object.refs, 3u);
        unk->Release();
        XParamRef copy = XParamRef::Adopt(n->Clone());
        EXPECT_EQ(object.refs, 3u);
        object.dispatch = false;
        copy->SetValue(static_cast<IUnknown*>(&object));
        IDispatch* none = nullptr;
        EXPECT_FALSE(copy->GetValue(none));  // QueryInterface refused: out untouched
        EXPECT_EQ(none, nullptr);
    }
    EXPECT_EQ(object.refs, 1u);
}

// A buffer holder that counts its destructions.
struct CountingArray : ArrayInRes<char> {
    static inline int destroyed = 0;
    using ArrayInRes<char>::ArrayInRes;
    ~CountingArray() override { ++destroyed; }
};

TEST(Holders, SlotKeepsOneReferenceAndReuseFreesOnce) {
    CountingArray::destroyed = 0;
    XInResSlot slot;
    auto* first = new CountingArray(new char[4]());
    PutInSlot(slot, first);
    EXPECT_EQ(static_cast<CountingArray*>(slot.Get())->RefCount(), 1);
    PutInSlot(slot, new CountingArray(new char[4]()));
    EXPECT_EQ(CountingArray::destroyed, 1);
    slot.Reset();
    EXPECT_EQ(CountingArray::destroyed, 2);
    // A getter reusing the slot frees the earlier buffer once (ASan checks the rest).
    XParamRef n = NewNode();
    n->SetValue(12);
    const char* a = nullptr;
    int len = 0;
    ASSERT_TRUE(n->GetValue(a, len, 0, slot));
    const char* b = nullptr;
    ASSERT_TRUE(n->GetValue(b, len, 0, slot));
    EXPECT_EQ(std::string(b, len), "12");
}

TEST(Holders, StringHolderTakesTheStringOver) {
    WideString text(u"hello", 5);
    XInResSlot slot;
    const WideString& held = XStrInRes<char16_t>::Fill(slot, text);
    EXPECT_TRUE(text.Empty());
    EXPECT_EQ(text.Data()[0], u'\0');
    EXPECT_EQ(held.View(), u"hello");
}

}  // namespace
}  // namespace xparam::test
