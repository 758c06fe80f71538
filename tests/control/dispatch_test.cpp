// The control reached the way a page's script reaches it: IDispatch, by name.
#include <string>

#include "platform/com/bstr_ptr.h"
#include "tests/control/control_fixture.h"
#include "tools/corvo-sso/dispatch_caller.h"

namespace corvo::test {
namespace {

using cli::DispatchCaller;
using cli::ScopedVariant;

struct ScriptCall {
    const char16_t* name;
    DISPID dispid;
    HRESULT allowed;      // result on an allowed page
    VARTYPE result_type;  // of the return value when it succeeds
};

const ScriptCall kCalls[] = {
    {u"InitSSOLoginCtrl", 1, S_OK, VT_EMPTY},      {u"GetQXClientVersion", 2, S_OK, VT_BSTR},
    {u"CreateSSOData", 3, S_OK, VT_DISPATCH},      {u"CreateSSODataArray", 4, S_OK, VT_DISPATCH},
    {u"GetUserList", 5, S_OK, VT_DISPATCH},        {u"BeginSSOLogin", 6, E_INVALIDARG, VT_EMPTY},
    {u"GetSSOLoginCtrlVersion", 7, S_OK, VT_BSTR},
};

// Calls a method with plausible script arguments for its parameters.
HRESULT CallByName(IDispatch* d, const ScriptCall& c, VARIANT* result) {
    ScopedVariant zero = ScopedVariant::Long(0);
    ScopedVariant none = ScopedVariant::Dispatch(nullptr);
    const std::u16string name = c.name;
    DispatchCaller caller(d);
    if (name == u"InitSSOLoginCtrl") return caller.Call(name, {none.Get(), zero.Get()}, result);
    if (name == u"GetUserList") return caller.Call(name, {zero.Get(), zero.Get()}, result);
    if (name == u"BeginSSOLogin") return caller.Call(name, {zero.Get(), none.Get()}, result);
    return caller.Call(name, {}, result);
}

using Dispatch = ControlTest;

TEST_F(Dispatch, NamesMapToTheirDispids) {
    auto d = Query<IDispatch>(NewControl().Get(), IID_IDispatch);
    for (const ScriptCall& c : kCalls) {
        std::u16string name = c.name;
        LPOLESTR names[] = {name.data()};
        DISPID id = 0;
        EXPECT_EQ(d->GetIDsOfNames(GUID_NULL, names, 1, 0, &id), S_OK);
        EXPECT_EQ(id, c.dispid);
    }
    std::u16string unknown = u"DoesNotExist";
    LPOLESTR names[] = {unknown.data()};
    DISPID id = 0;
    EXPECT_EQ(d->GetIDsOfNames(GUID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
}

TEST_F(Dispatch, EveryMethodByNameOnAllowedPage) {
    HostedControl h(AllowedPage());
    auto d = Query<IDispatch>(h.ctrl.Get(), IID_IDispatch);
    for (const ScriptCall& c : kCalls) {
        SCOPED_TRACE(std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name)));
        ScopedVariant result;
        EXPECT_EQ(CallByName(d.Get(), c, result.Get()), c.allowed);
        EXPECT_EQ((*result).vt, c.result_type);
        if (c.result_type == VT_DISPATCH) {
            EXPECT_NE((*result).pdispVal, nullptr);
        }
        if (c.result_type == VT_BSTR && c.dispid == 7) {
            EXPECT_EQ(std::u16string((*result).bstrVal), u"1.0.0.1");
        }
    }
}

TEST_F(Dispatch, EveryMethodByNamePassesTheGate) {
    HostedControl h(kRefusedPage);
    auto d = Query<IDispatch>(h.ctrl.Get(), IID_IDispatch);
    for (const ScriptCall& c : kCalls) {
        ScopedVariant result;
        EXPECT_EQ(CallByName(d.Get(), c, result.Get()), E_FAIL);
        EXPECT_EQ((*result).vt, VT_EMPTY);
    }
}

TEST_F(Dispatch, DataObjectFromScriptIsUsable) {
    HostedControl h(AllowedPage());
    auto d = Query<IDispatch>(h.ctrl.Get(), IID_IDispatch);
    ScopedVariant data;
    ASSERT_EQ(DispatchCaller(d.Get()).Call(u"createssodata", {}, data.Get()), S_OK)
        << "names are matched without regard to case";
    ASSERT_EQ((*data).vt, VT_DISPATCH);
    ScopedVariant reserved = ScopedVariant::Long(0);
    ScopedVariant result;
    EXPECT_EQ(DispatchCaller(d.Get()).Call(u"InitSSOLoginCtrl", {data.Get(), reserved.Get()},
                                           result.Get()),
              S_OK);
}

}  // namespace
}  // namespace corvo::test
