// The generated interface tables against the automation surface as published:
// names, DISPIDs, parameter names, types and directions, GUIDs, help strings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "corvo_sso_login_dispatch.h"
#include "platform/com/guid_text.h"

namespace corvo::com {
namespace {

struct ExpectedParam {
    std::u16string name;
    // "in BSTR", "out retval BSTR*", "UI4*", "in ISSOData*", "out retval ISSOData**", ...
    std::string signature;
};
struct ExpectedMethod {
    std::u16string name;
    DISPID dispid;
    std::vector<ExpectedParam> params;
};

std::string Signature(const ParamDescription& p) {
    std::string s;
    if (p.flags & kParamIn) s += "in ";
    if (p.flags & kParamOut) s += "out ";
    if (p.flags & kParamRetval) s += "retval ";
    switch (p.type) {
        case ParamType::Bstr:
            s += "BSTR";
            break;
        case ParamType::I4:
            s += "I4";
            break;
        case ParamType::UI4:
            s += "UI4";
            break;
        case ParamType::Interface:
            s += std::string(
                     p.interface_name,
                     p.interface_name + std::char_traits<char16_t>::length(p.interface_name)) +
                 "*";
            EXPECT_TRUE(p.interface_is_dispatch);
            break;
    }
    if (p.by_ref) s += "*";
    return s;
}

std::string Narrow(const char16_t* s) {
    std::string out;
    for (; *s; ++s) out += static_cast<char>(*s);
    return out;
}

void ExpectInterface(const InterfaceDescription& itf, const std::vector<ExpectedMethod>& expected) {
    ASSERT_EQ(itf.method_count, expected.size()) << Narrow(itf.name);
    ASSERT_NE(itf.call, nullptr);
    EXPECT_EQ(itf.kind, InterfaceKind::Dual);
    for (size_t m = 0; m < expected.size(); ++m) {
        const MethodDescription& got = itf.methods[m];
        SCOPED_TRACE(Narrow(got.name));
        EXPECT_EQ(std::u16string(got.name), expected[m].name);
        EXPECT_EQ(got.dispid, expected[m].dispid);
        ASSERT_EQ(got.param_count, expected[m].params.size());
        for (size_t p = 0; p < expected[m].params.size(); ++p) {
            EXPECT_EQ(std::u16string(got.params[p].name), expected[m].params[p].name);
            EXPECT_EQ(Signature(got.params[p]), expected[m].params[p].signature);
        }
    }
}

TEST(GeneratedTables, ISSOLoginCtrlMembers) {
    ExpectInterface(
        corvo::idl::kISSOLoginCtrl,
        {
            {u"InitSSOLoginCtrl", 1, {{u"pSSOData", "in ISSOData*"}, {u"lReserved", "in I4"}}},
            {u"GetQXClientVersion", 2, {{u"pOutVersion", "out retval BSTR*"}}},
            {u"CreateSSOData", 3, {{u"ppOutSSOData", "out retval ISSOData**"}}},
            {u"CreateSSODataArray", 4, {{u"ppOutArray", "out retval ISSODataArray**"}}},
            {u"GetUserList",
             5,
             {{u"lFlag", "in I4"},
              {u"lIncludeSubAccount", "in I4"},
              {u"ppOutArray", "out retval ISSODataArray**"}}},
            {u"BeginSSOLogin",
             6,
             {{u"lReserved", "in I4"},
              {u"pSSOData", "in ISSOData*"},
              {u"ppOutResult", "out retval ISSOData**"}}},
            {u"GetSSOLoginCtrlVersion", 7, {{u"pOutVersion", "out retval BSTR*"}}},
        });
}

TEST(GeneratedTables, ISSODataMembers) {
    ExpectInterface(
        corvo::idl::kISSOData,
        {
            {u"GetDataStr", 1, {{u"bstrName", "in BSTR"}, {u"pOutData", "out retval BSTR*"}}},
            // No direction flags on these two, as declared.
            {u"GetDataDword", 2, {{u"bstrName", "in BSTR"}, {u"pOutData", "UI4*"}}},
            {u"GetDataLong", 3, {{u"bstrName", "in BSTR"}, {u"pOutData", "I4*"}}},
            {u"SetDataStr", 4, {{u"bstrName", "in BSTR"}, {u"bstrValue", "in BSTR"}}},
            {u"SetDataDword", 5, {{u"bstrName", "in BSTR"}, {u"lValue", "in UI4"}}},
            {u"SetDataLong", 6, {{u"bstrName", "in BSTR"}, {u"lValue", "in I4"}}},
        });
}

TEST(GeneratedTables, ISSODataArrayMembers) {
    ExpectInterface(
        corvo::idl::kISSODataArray,
        {
            {u"GetSize", 1, {{u"lSize", "out retval UI4*"}}},
            {u"AddItem", 2, {{u"pSSOData", "in ISSOData*"}}},
            {u"ClearAllItem", 3, {}},
            {u"GetItemData", 4, {{u"lIndex", "in UI4"}, {u"ppOutData", "out retval ISSOData**"}}},
        });
}

std::string Text(REFGUID g) {
    OLECHAR buf[40];
    EXPECT_EQ(StringFromGUID2(g, buf, 40), 39);
    return Narrow(buf);
}

TEST(GeneratedTables, LibraryGuidsAndHelpStrings) {
    const LibraryDescription& lib = corvo::idl::kCorvoSSOLoginLib;
    EXPECT_EQ(std::u16string(lib.name), u"CorvoSSOLoginLib");
    EXPECT_EQ(Text(*lib.libid), "{9AAF5B5F-9BAC-446C-9CFE-88893E8BE925}");
    EXPECT_EQ(lib.major_version, 1);
    EXPECT_EQ(lib.minor_version, 0);
    EXPECT_EQ(std::u16string(lib.help), u"CorvoSSOLogin 1.0 类型库");

    struct Row {
        const char16_t* name;
        const char* guid;
        const char16_t* help;
        InterfaceKind kind;
    };
    const Row interfaces[] = {
        {u"ISSOLoginCtrl", "{C50AB1A1-065A-449A-A22D-17D46BFF3B04}", u"ISSOLoginCtrl 接口",
         InterfaceKind::Dual},
        {u"ISSOData", "{6A4F7929-9E32-403A-BA8B-9C8988CF8555}", u"ISSOData 接口",
         InterfaceKind::Dual},
        {u"ISSODataArray", "{6172E04B-3944-4402-81C5-835624897083}", u"ISSODataArray 接口",
         InterfaceKind::Dual},
        {u"_ISSOLoginCtrlEvents", "{21DBD551-0E57-4FF4-BEC4-7330144C5B4F}",
         u"_ISSOLoginCtrlEvents 接口", InterfaceKind::DispInterface},
    };
    ASSERT_EQ(lib.interface_count, std::size(interfaces));
    for (size_t i = 0; i < std::size(interfaces); ++i) {
        EXPECT_EQ(std::u16string(lib.interfaces[i]->name), interfaces[i].name);
        EXPECT_EQ(Text(*lib.interfaces[i]->iid), interfaces[i].guid);
        EXPECT_EQ(std::u16string(lib.interfaces[i]->help), interfaces[i].help);
        EXPECT_EQ(lib.interfaces[i]->kind, interfaces[i].kind);
    }
    EXPECT_EQ(corvo::idl::k_ISSOLoginCtrlEvents.method_count, 0u);

    struct Coclass {
        const char16_t* name;
        const char* clsid;
        const char16_t* help;
        const IID* defaultInterface;
        const IID* defaultSource;  // nullptr: none
    };
    const Coclass coclasses[] = {
        {u"SSOLoginCtrl", "{98EF2EC8-D064-491A-8111-3285E786E832}", u"SSOLoginCtrl Class",
         &IID_ISSOLoginCtrl, &DIID__ISSOLoginCtrlEvents},
        {u"SSOData", "{E81FB43C-B144-4D30-8033-C9338AA0ECB8}", u"SSOData Class", &IID_ISSOData,
         nullptr},
        {u"SSODataArray", "{017CE1A6-416F-4684-AE6A-02064420B30A}", u"SSODataArray Class",
         &IID_ISSODataArray, nullptr},
    };
    ASSERT_EQ(lib.coclass_count, std::size(coclasses));
    for (size_t i = 0; i < std::size(coclasses); ++i) {
        const CoclassDescription& cc = lib.coclasses[i];
        const Coclass& expected = coclasses[i];
        EXPECT_EQ(std::u16string(cc.name), expected.name);
        EXPECT_EQ(Text(*cc.clsid), expected.clsid);
        EXPECT_EQ(std::u16string(cc.help), expected.help);
        EXPECT_TRUE(IsEqualIID(*cc.default_interface, *expected.defaultInterface));
        if (expected.defaultSource) {
            ASSERT_NE(cc.default_source, nullptr);
            EXPECT_TRUE(IsEqualIID(*cc.default_source, *expected.defaultSource));
        } else {
            EXPECT_EQ(cc.default_source, nullptr);
        }
    }
}

}  // namespace
}  // namespace corvo::com
