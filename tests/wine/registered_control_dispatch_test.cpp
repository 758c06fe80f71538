// The control created by CLSID from its registration (CoCreateInstance, no
// site) and driven through IDispatch as a script host drives it: names and
// DISPIDs from the registered type library, and a refused call reported as
// DISP_E_EXCEPTION with the method's HRESULT in EXCEPINFO. Run by
// script_client_test.sh while the module is registered.
#include <gtest/gtest.h>

#include <string>

#include "corvo_sso_login.h"
#include "platform/com/bstr_ptr.h"
#include "platform/com/com_ptr.h"
#include "platform/com/ole_text.h"

namespace corvo {
namespace {

class RegisteredControl : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        ASSERT_EQ(::CoCreateInstance(CLSID_SSOLoginCtrl, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IDispatch, control_.OutVoid()),
                  S_OK);
    }
    void TearDown() override {
        control_.Reset();
        ::CoUninitialize();
    }

    DISPID IdOf(std::u16string name, HRESULT expected = S_OK) {
        OLECHAR* names[] = {AsOleText(name.data())};
        DISPID id = 0;
        EXPECT_EQ(control_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), expected);
        return id;
    }

    ComPtr<IDispatch> control_;
};

TEST_F(RegisteredControl, TypeInformationComesFromTheRegisteredLibrary) {
    UINT count = 0;
    EXPECT_EQ(control_->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(control_->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Out()), S_OK);
    // The dispinterface part of the dual interface, as browsing tools expect.
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualIID(attributes->guid, IID_ISSOLoginCtrl));
    EXPECT_EQ(attributes->typekind, TKIND_DISPATCH);
    EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FDUAL);
    info->ReleaseTypeAttr(attributes);
    ComPtr<ITypeInfo2> second;
    EXPECT_EQ(info->QueryInterface(IID_ITypeInfo2, second.OutVoid()), S_OK);
    ComPtr<ITypeInfo> none;
    EXPECT_EQ(control_->GetTypeInfo(1, LOCALE_USER_DEFAULT, none.Out()), DISP_E_BADINDEX);
    EXPECT_EQ(control_->GetTypeInfo(0, LOCALE_USER_DEFAULT, nullptr), E_POINTER);
}

TEST_F(RegisteredControl, NamesAreTheLibrarysDispids) {
    EXPECT_EQ(IdOf(u"InitSSOLoginCtrl"), 1);
    EXPECT_EQ(IdOf(u"getuserlist"), 5);
    EXPECT_EQ(IdOf(u"GetSSOLoginCtrlVersion"), 7);
    IdOf(u"NoSuchMethod", DISP_E_UNKNOWNNAME);
    std::u16string name = u"GetUserList";
    OLECHAR* names[] = {AsOleText(name.data())};
    DISPID id = 0;
    EXPECT_EQ(control_->GetIDsOfNames(IID_IDispatch, names, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);
}

// Without a site every method is refused: Invoke answers DISP_E_EXCEPTION and
// EXCEPINFO carries E_FAIL, the method's own result.
TEST_F(RegisteredControl, ARefusedCallIsAnExceptionCarryingEFail) {
    struct Call {
        const char16_t* name;
        UINT argc;
    };
    for (const Call& call :
         {Call{u"GetSSOLoginCtrlVersion", 0}, Call{u"GetQXClientVersion", 0},
          Call{u"CreateSSOData", 0}, Call{u"CreateSSODataArray", 0}, Call{u"GetUserList", 2}}) {
        SCOPED_TRACE(
            std::string(call.name, call.name + std::char_traits<char16_t>::length(call.name)));
        const DISPID id = IdOf(call.name);
        VARIANT args[2];
        for (VARIANT& arg : args) {
            ::VariantInit(&arg);
            arg.vt = VT_I4;
            arg.lVal = 0;
        }
        DISPPARAMS params{args, nullptr, call.argc, 0};
        VARIANT result;
        ::VariantInit(&result);
        EXCEPINFO exception{};
        UINT argError = 0;
        EXPECT_EQ(control_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                   &result, &exception, &argError),
                  DISP_E_EXCEPTION);
        EXPECT_EQ(exception.scode, E_FAIL);
        ::VariantClear(&result);  // Wine leaves a typed empty result there
        ::SysFreeString(exception.bstrSource);
        ::SysFreeString(exception.bstrDescription);
        ::SysFreeString(exception.bstrHelpFile);
    }
    // Invoke for another interface than IDispatch's own.
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(
        control_->Invoke(7, IID_IDispatch, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
        DISP_E_UNKNOWNINTERFACE);
}

}  // namespace
}  // namespace corvo
