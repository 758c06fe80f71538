#include "tools/corvo-sso-host/request_handler.h"

#include <array>
#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

#include "platform/com/bstr_ptr.h"
#include "platform/com/hresult_name.h"
#include "tools/corvo-sso-host/frame_origin.h"
#include "tools/corvo-sso-host/module_pin.h"
#include "tools/corvo-sso/cli_common.h"
#include "tools/corvo-sso/dispatch_caller.h"
#include "tools/corvo-sso/json_text.h"
#include "tools/corvo-sso/login_session.h"

namespace corvo::host {
namespace {

using cli::LoginSession;
using cli::ScopedVariant;

struct Method {
    std::string_view name;
    size_t arity;
};
// The page API's methods: the control's names and its parameters
// (InitSSOLoginCtrl's two are fixed by the host: a null object and 0).
constexpr std::array<Method, 5> kMethods = {{{"InitSSOLoginCtrl", 0},
                                             {"GetSSOLoginCtrlVersion", 0},
                                             {"GetQXClientVersion", 0},
                                             {"GetUserList", 2},
                                             {"BeginSSOLogin", 2}}};

std::string Fail(HRESULT hr, std::string message) {
    return ErrorAnswer({hr, std::move(message)});
}

std::string Failed(const char* method, HRESULT hr) {
    return Fail(hr, std::string(method) + " failed: " + DescribeHResult(hr));
}

std::u16string Utf16(const std::string& text) {
    std::u16string out;
    cli::Utf8ToUtf16Strict(text, out);  // JSON strings are valid UTF-8 once parsed
    return out;
}

std::string Utf8(std::u16string_view text) {
    return cli::Utf16ToUtf8Lenient(text);
}

// A JSON argument as a script engine passes it: integers that fit as VT_I4,
// other numbers as VT_R8, strings as VT_BSTR, booleans as VT_BOOL, null as
// VT_NULL; IDispatch converts them to the parameter's type. Arrays and
// objects have no such form.
HRESULT ToVariant(const Json& value, ScopedVariant* out) {
    VARIANT* v = out->Get();
    if (value.is_number_integer()) {
        const bool isUnsigned = value.is_number_unsigned();
        const uint64_t u = isUnsigned ? value.get<uint64_t>() : 0;
        const int64_t i = isUnsigned ? 0 : value.get<int64_t>();
        if (isUnsigned ? u <= uint64_t(std::numeric_limits<int32_t>::max())
                       : (i >= std::numeric_limits<int32_t>::min() &&
                          i <= std::numeric_limits<int32_t>::max())) {
            v->vt = VT_I4;
            v->lVal = isUnsigned ? static_cast<LONG>(u) : static_cast<LONG>(i);
        } else {
            v->vt = VT_R8;
            v->dblVal = isUnsigned ? static_cast<double>(u) : static_cast<double>(i);
        }
    } else if (value.is_number_float()) {
        v->vt = VT_R8;
        v->dblVal = value.get<double>();
    } else if (value.is_string()) {
        BstrPtr text = BstrPtr::FromText(Utf16(value.get<std::string>()));
        if (!text) return E_OUTOFMEMORY;
        v->vt = VT_BSTR;
        v->bstrVal = text.Detach();
    } else if (value.is_boolean()) {
        v->vt = VT_BOOL;
        v->boolVal = value.get<bool>() ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (value.is_null()) {
        v->vt = VT_NULL;
    } else {
        return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

// The page's object: [name, value] pairs (the page API sends them so, as the
// browser's messaging does not keep the order of an object's keys) or a JSON
// object; names and values must be strings.
bool ReadFields(const Json& data, cli::DataFields* fields) {
    if (data.is_object()) {
        for (const auto& [key, value] : data.items()) {
            if (!value.is_string()) return false;
            fields->emplace_back(Utf16(key), Utf16(value.get<std::string>()));
        }
        return true;
    }
    if (!data.is_array()) return false;
    for (const Json& pair : data) {
        if (!pair.is_array() || pair.size() != 2 || !pair[0].is_string() || !pair[1].is_string())
            return false;
        fields->emplace_back(Utf16(pair[0].get<std::string>()), Utf16(pair[1].get<std::string>()));
    }
    return true;
}

// Why the sender may not use the control, or empty when it may (the site
// lock then still judges the two addresses).
std::string SenderProblem(const HostRequest& request) {
    if (!request.frameUrl || request.frameUrl->empty())
        return "the browser did not report the frame's address";
    if (!request.frameOrigin || !OriginMatchesUrl(*request.frameOrigin, *request.frameUrl))
        return "the frame's origin is opaque or is not its address's origin (a sandboxed, "
               "about:blank or data: frame)";
    if (!request.topUrl || request.topUrl->empty())
        return "the top-level page is not one of the allowed sites";
    return {};
}

std::string CallMethod(const HostRequest& request, IDispatch* control) {
    const std::string& method = request.method;
    if (method == "InitSSOLoginCtrl") {
        const HRESULT hr = cli::InitControl(control);
        return FAILED(hr) ? Failed("InitSSOLoginCtrl", hr) : ValueAnswer(nullptr);
    }
    if (method == "GetSSOLoginCtrlVersion" || method == "GetQXClientVersion") {
        std::u16string version;
        const HRESULT hr = method == "GetQXClientVersion"
                               ? cli::QueryClientVersion(control, &version)
                               : cli::QueryControlVersion(control, &version);
        return FAILED(hr) ? Failed(method.c_str(), hr) : ValueAnswer(Utf8(version));
    }
    ScopedVariant first, second;
    HRESULT hr = ToVariant(request.args[0], &first);
    if (SUCCEEDED(hr) && method == "GetUserList") hr = ToVariant(request.args[1], &second);
    if (FAILED(hr)) return Fail(hr, method + ": an argument has the wrong type");
    if (method == "GetUserList") {
        std::vector<cli::UserEntry> users;
        hr = cli::ListUsers(control, *first, *second, &users);
        if (FAILED(hr)) return Failed("GetUserList", hr);
        Json list = Json::array();
        for (const auto& user : users) {
            Json item = Json::array();
            for (size_t k = 0; k < cli::kUserKeys.size(); ++k)
                item.push_back(Json::array({Utf8(cli::kUserKeys[k]), Utf8(user[k])}));
            list.push_back(std::move(item));
        }
        return ValueAnswer(list);
    }
    // BeginSSOLogin(lReserved, ssoData): the page's object as [name, value]
    // pairs of strings (or a JSON object), or null.
    const Json& data = request.args[1];
    cli::DataFields fields;
    if (!data.is_null() && !ReadFields(data, &fields))
        return Fail(DISP_E_TYPEMISMATCH,
                    "BeginSSOLogin: ssoData must be an object whose values are strings");
    cli::LoginAnswer answer;
    hr = cli::BeginLogin(control, *first, data.is_null() ? nullptr : &fields, &answer);
    if (FAILED(hr)) return Failed("BeginSSOLogin", hr);
    // A copy of the page's object with the two results added (or replaced).
    Json result = Json::array();
    for (const auto& [name, value] : fields)
        if (name != u"strKey_GOResult" && name != u"strKey_ResultURL")
            result.push_back(Json::array({Utf8(name), Utf8(value)}));
    result.push_back(Json::array({"strKey_GOResult", Utf8(answer.goResult)}));
    result.push_back(Json::array({"strKey_ResultURL", Utf8(answer.resultUrl)}));
    return ValueAnswer(result);
}

std::string NotHosted(HRESULT hr, const std::string& message) {
    if (hr == REGDB_E_CLASSNOTREG)
        return Fail(hr, "the login control is not registered (" + message +
                            "); register it with `corvo-sso register`");
    return Fail(hr, "the login control cannot be created: " +
                        (message.empty() ? DescribeHResult(hr) : message));
}

}  // namespace

std::string HandleRequest(const HostRequest& request) {
    const Method* method = nullptr;
    for (const Method& m : kMethods)
        if (m.name == request.method) method = &m;
    if (!method) return Fail(DISP_E_UNKNOWNNAME, "unknown method \"" + request.method + "\"");
    if (request.args.size() != method->arity)
        return Fail(DISP_E_BADPARAMCOUNT,
                    request.method + " takes " + std::to_string(method->arity) + " arguments");
    if (const std::string problem = SenderProblem(request); !problem.empty())
        return Fail(E_FAIL, "refused: " + problem);

    try {
        PinRegisteredModule();
        std::string message;
        // The top-level page must pass the site lock as well as the frame.
        {
            LoginSession top;
            const HRESULT hr = top.OpenOn(Utf16(*request.topUrl), -1, &message);
            if (FAILED(hr)) return NotHosted(hr, message);
            if (cli::InitControl(top.control()) != S_OK)
                return Fail(E_FAIL, "refused: the top-level page is not one of the allowed sites");
        }
        LoginSession frame;
        const HRESULT hr = frame.OpenOn(Utf16(*request.frameUrl), -1, &message);
        if (FAILED(hr)) return NotHosted(hr, message);
        if (cli::InitControl(frame.control()) != S_OK)
            return Fail(E_FAIL, "refused: the frame's address is not one of the allowed sites");
        return CallMethod(request, frame.control());
    } catch (const cli::CommandError& e) {
        return Fail(E_FAIL, e.message);
    } catch (const std::exception& e) {
        return Fail(E_FAIL, e.what());
    }
}

}  // namespace corvo::host
