// The registered type library read back through the system's own type
// library reader: its name, version, help strings (stored in code page 936,
// so this runs in a process whose ANSI code page is 936) and the dual
// interfaces script hosts bind to. Run by script_client_test.sh while the
// module is registered.
#include <gtest/gtest.h>

#include <string>

#include "corvo_sso_login.h"
#include "platform/com/bstr_ptr.h"
#include "platform/com/com_ptr.h"
#include "platform/com/ole_text.h"

namespace corvo {
namespace {

class RegisteredTypeLibrary : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(::GetACP(), 936u) << "run with LC_ALL=zh_CN.UTF-8";
        ASSERT_EQ(::LoadRegTypeLib(LIBID_CorvoSSOLoginLib, 1, 0, 0, library_.Out()), S_OK);
    }

    std::u16string Help(INT index) {
        BstrPtr name, doc;
        EXPECT_EQ(library_->GetDocumentation(index, name.Out(), doc.Out(), nullptr, nullptr), S_OK);
        return std::u16string(doc.View());
    }
    std::u16string Name(INT index) {
        BstrPtr name;
        EXPECT_EQ(library_->GetDocumentation(index, name.Out(), nullptr, nullptr, nullptr), S_OK);
        return std::u16string(name.View());
    }

    ComPtr<ITypeLib> library_;
};

TEST_F(RegisteredTypeLibrary, LibraryNameVersionAndHelpString) {
    EXPECT_EQ(Name(-1), u"CorvoSSOLoginLib");
    EXPECT_EQ(Help(-1), u"CorvoSSOLogin 1.0 类型库");
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(library_->GetLibAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, LIBID_CorvoSSOLoginLib));
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    EXPECT_EQ(attributes->lcid, 0u);
    library_->ReleaseTLibAttr(attributes);
}

// Every type of the library by name: its help string ("<name> 接口" for the
// interfaces, "<name> Class" for the classes) and its kind.
TEST_F(RegisteredTypeLibrary, EveryTypeHasItsHelpString) {
    struct Row {
        const char16_t* name;
        const char16_t* help;
        TYPEKIND kind;
    };
    const Row rows[] = {
        {u"ISSOLoginCtrl", u"ISSOLoginCtrl 接口", TKIND_DISPATCH},
        {u"ISSOData", u"ISSOData 接口", TKIND_DISPATCH},
        {u"ISSODataArray", u"ISSODataArray 接口", TKIND_DISPATCH},
        {u"_ISSOLoginCtrlEvents", u"_ISSOLoginCtrlEvents 接口", TKIND_DISPATCH},
        {u"SSOLoginCtrl", u"SSOLoginCtrl Class", TKIND_COCLASS},
        {u"SSOData", u"SSOData Class", TKIND_COCLASS},
        {u"SSODataArray", u"SSODataArray Class", TKIND_COCLASS},
    };
    const UINT count = library_->GetTypeInfoCount();
    EXPECT_EQ(count, std::size(rows));
    for (const Row& row : rows) {
        SCOPED_TRACE(
            std::string(row.name, row.name + std::char_traits<char16_t>::length(row.name)));
        bool found = false;
        for (UINT i = 0; i < count; ++i) {
            if (Name(static_cast<INT>(i)) != row.name) continue;
            found = true;
            EXPECT_EQ(Help(static_cast<INT>(i)), row.help);
            TYPEKIND kind{};
            EXPECT_EQ(library_->GetTypeInfoType(i, &kind), S_OK);
            EXPECT_EQ(kind, row.kind);
        }
        EXPECT_TRUE(found);
    }
}

// What IDispatch answers from: the dual interfaces by IID, with the DISPIDs
// of the IDL file, names matched without regard to case.
TEST_F(RegisteredTypeLibrary, DualInterfacesNameTheirMethodsByDispid) {
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(library_->GetTypeInfoOfGuid(IID_ISSOLoginCtrl, info.Out()), S_OK);
    const char16_t* methods[] = {u"InitSSOLoginCtrl",      u"GetQXClientVersion", u"CreateSSOData",
                                 u"CreateSSODataArray",    u"GetUserList",        u"BeginSSOLogin",
                                 u"GetSSOLoginCtrlVersion"};
    for (size_t i = 0; i < std::size(methods); ++i) {
        std::u16string lower(methods[i]);
        for (char16_t& c : lower)
            if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        for (const std::u16string& name : {std::u16string(methods[i]), lower}) {
            std::u16string copy = name;
            OLECHAR* names[] = {AsOleText(copy.data())};
            MEMBERID id = 0;
            EXPECT_EQ(info->GetIDsOfNames(names, 1, &id), S_OK);
            EXPECT_EQ(id, static_cast<MEMBERID>(i + 1));
        }
    }
    std::u16string unknown = u"NoSuchMethod";
    OLECHAR* names[] = {AsOleText(unknown.data())};
    MEMBERID id = 0;
    EXPECT_EQ(info->GetIDsOfNames(names, 1, &id), DISP_E_UNKNOWNNAME);
}

}  // namespace
}  // namespace corvo
