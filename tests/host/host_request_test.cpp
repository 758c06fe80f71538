#include "tools/corvo-sso-host/host_request.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tools/corvo-sso-host/caller_check.h"
#include "tools/corvo-sso-host/frame_origin.h"
#include "tools/corvo-sso-host/host_loop.h"
#include "tools/corvo-sso-host/native_message_stream.h"
#include "tools/corvo-sso-host/request_handler.h"

namespace corvo::host {
namespace {

TEST(FrameOrigin, OriginOfAddress) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"http://login.market.example/", "http://login.market.example"},
        {"http://login.market.example:8080/a?b#c", "http://login.market.example:8080"},
        {"HTTPS://Login.Market.Example:443/x", "https://login.market.example"},
        {"http://host:80", "http://host"},
        {"http://host:0080/", "http://host"},
        {"https://host:80/", "https://host:80"},
        {"http://user:pw@host:81/", "http://host:81"},
        {"http://host?q", "http://host"},
        {"http://[::1]:8080/", "http://[::1]:8080"},
        {"http://[::1]/", "http://[::1]"},
        // No comparable origin: another scheme, no host, a bad port.
        {"about:blank", nullptr},
        {"data:text/html,hi", nullptr},
        {"file:///etc/passwd", nullptr},
        {"blob:http://host/uuid", nullptr},
        {"http:/host/", nullptr},
        {"http:///path", nullptr},
        {"http://host:8x/", nullptr},
        {"", nullptr},
    };
    for (const auto& [url, origin] : cases) {
        SCOPED_TRACE(url);
        const auto got = OriginOfUrl(url);
        if (origin) {
            ASSERT_TRUE(got.has_value());
            EXPECT_EQ(*got, origin);
        } else {
            EXPECT_FALSE(got.has_value());
        }
    }
}

TEST(FrameOrigin, OpaqueOrForeignOriginsDoNotMatch) {
    EXPECT_TRUE(OriginMatchesUrl("http://a.example:81", "http://a.example:81/p"));
    EXPECT_FALSE(OriginMatchesUrl("null", "http://a.example/"));  // sandboxed frame
    EXPECT_FALSE(OriginMatchesUrl("", "http://a.example/"));
    EXPECT_FALSE(OriginMatchesUrl("http://a.example", "about:blank"));  // inherits its parent's
    EXPECT_FALSE(OriginMatchesUrl("http://b.example", "http://a.example/"));
    EXPECT_FALSE(OriginMatchesUrl("http://a.example:82", "http://a.example:81/"));
    EXPECT_FALSE(OriginMatchesUrl("https://a.example", "http://a.example/"));
}

TEST(CallerCheck, OnlyOurExtensionIsServed) {
    using Args = std::vector<std::string_view>;
    const std::string origin = "chrome-extension://khhcmcgdcmgndbggmomhiignciaookhl/";
    EXPECT_TRUE(IsOurCaller(Args{origin}));
    EXPECT_TRUE(IsOurCaller(Args{origin, "--parent-window=0"}));
    EXPECT_TRUE(IsOurCaller(
        Args{"/home/u/.mozilla/native-messaging-hosts/x.json", "sso-login@corvo.example"}));
    EXPECT_FALSE(IsOurCaller(Args{}));
    EXPECT_FALSE(IsOurCaller(Args{"chrome-extension://aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa/"}));
    EXPECT_FALSE(IsOurCaller(Args{"chrome-extension://khhcmcgdcmgndbggmomhiignciaookhl"}));
    EXPECT_FALSE(IsOurCaller(Args{"x", origin}));  // the origin must come first
    EXPECT_FALSE(IsOurCaller(Args{"/m.json", "other@corvo.example"}));
}

Json ParseAnswer(const std::string& text) {
    return Json::parse(text);
}

TEST(HostRequest, ParsesAndRefusesMalformedRequests) {
    struct Case {
        const char* body;
        bool ok;
    };
    const std::vector<Case> cases = {
        {R"({"method":"GetUserList","args":[0,1],"frame":{"url":"u","origin":"o"},"top":{"url":"t"}})",
         true},
        {R"({"method":"InitSSOLoginCtrl"})", true},
        {R"({"method":"X","args":null,"frame":null,"top":{"url":null}})", true},
        {"", false},
        {"{", false},
        {"[1]", false},
        {R"({"args":[]})", false},
        {R"({"method":7})", false},
        {R"({"method":"X","args":{}})", false},
        {R"({"method":"X","frame":"http://a/"})", false},
        {R"({"method":"X","frame":{"url":5}})", false},
        {R"({"method":"X","top":{"url":[]}})", false},
        {"{\"method\":\"\xff\"}", false},          // invalid UTF-8
        {"{\"method\":\"\xed\xa0\x80\"}", false},  // an encoded surrogate
        {"{\"method\":\"X\"} trailing", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        HostRequest request;
        HostError error;
        EXPECT_EQ(ParseHostRequest(c.body, &request, &error), c.ok);
        if (!c.ok) {
            EXPECT_EQ(error.hr, E_INVALIDARG);
        }
    }
    HostRequest request;
    HostError error;
    ASSERT_TRUE(ParseHostRequest(
        R"({"method":"M","args":[1],"frame":{"url":"U","origin":"O"},"top":{"url":"T"}})", &request,
        &error));
    EXPECT_EQ(request.method, "M");
    EXPECT_EQ(request.args, Json::parse("[1]"));
    EXPECT_EQ(request.frameUrl, "U");
    EXPECT_EQ(request.frameOrigin, "O");
    EXPECT_EQ(request.topUrl, "T");
}

TEST(HostRequest, ErrorAnswersCarryNameAndSignedHresult) {
    const Json fail = ParseAnswer(ErrorAnswer({E_FAIL, "no"}));
    EXPECT_EQ(fail["ok"], false);
    EXPECT_EQ(fail["error"], "E_FAIL");
    EXPECT_EQ(fail["hresult"], -2147467259);
    EXPECT_EQ(fail["message"], "no");
    EXPECT_EQ(ParseAnswer(ErrorAnswer({E_INVALIDARG, ""}))["hresult"], -2147024809);
    EXPECT_EQ(ParseAnswer(ErrorAnswer({HRESULT(0x80041234), ""}))["error"], "0x80041234");
    // A message that is not UTF-8 still makes a valid answer.
    EXPECT_NO_THROW(ParseAnswer(ErrorAnswer({E_FAIL, "\xff"})));
}

HostRequest Request(const char* method, Json args, const char* frameUrl, const char* origin,
                    const char* top) {
    HostRequest r;
    r.method = method;
    r.args = std::move(args);
    if (frameUrl) r.frameUrl = frameUrl;
    if (origin) r.frameOrigin = origin;
    if (top) r.topUrl = top;
    return r;
}

// Requests refused before any control exists (no registration is needed).
TEST(RequestHandler, RefusesBeforeCreatingTheControl) {
    const char* page = "http://login.market.example:8080/p";
    const char* origin = "http://login.market.example:8080";
    struct Case {
        const char* name;
        HostRequest request;
        const char* error;
    };
    const std::vector<Case> cases = {
        {"unknown method", Request("CreateSSOData", Json::array(), page, origin, page),
         "DISP_E_UNKNOWNNAME"},
        {"method names are exact", Request("getuserlist", Json::array({0, 1}), page, origin, page),
         "DISP_E_UNKNOWNNAME"},
        {"too few arguments", Request("GetUserList", Json::array({0}), page, origin, page),
         "DISP_E_BADPARAMCOUNT"},
        {"too many arguments",
         Request("GetSSOLoginCtrlVersion", Json::array({1}), page, origin, page),
         "DISP_E_BADPARAMCOUNT"},
        {"no frame address", Request("InitSSOLoginCtrl", Json::array(), nullptr, origin, page),
         "E_FAIL"},
        {"opaque origin (sandboxed frame)",
         Request("InitSSOLoginCtrl", Json::array(), page, "null", page), "E_FAIL"},
        {"no origin", Request("InitSSOLoginCtrl", Json::array(), page, nullptr, page), "E_FAIL"},
        {"origin of another host",
         Request("InitSSOLoginCtrl", Json::array(), page, "http://elsewhere.example", page),
         "E_FAIL"},
        {"about:blank frame",
         Request("InitSSOLoginCtrl", Json::array(), "about:blank", origin, page), "E_FAIL"},
        {"no top-level page (outside the extension's sites)",
         Request("GetUserList", Json::array({0, 1}), page, origin, nullptr), "E_FAIL"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Json answer = ParseAnswer(HandleRequest(c.request));
        EXPECT_EQ(answer["ok"], false);
        EXPECT_EQ(answer["error"], c.error);
        EXPECT_FALSE(answer["message"].get<std::string>().empty());
    }
}

std::string Framed(const std::string& body) {
    std::ostringstream out;
    WriteNativeMessage(out, body);
    return out.str();
}

std::vector<Json> Answers(const std::string& output) {
    std::istringstream in(output);
    std::vector<Json> answers;
    for (Frame f = ReadNativeMessage(in, UINT32_MAX); f.status == FrameStatus::kMessage;
         f = ReadNativeMessage(in, UINT32_MAX))
        answers.push_back(Json::parse(f.body));
    return answers;
}

TEST(HostLoop, AnswersEveryMessageAndGoesOnAfterErrors) {
    const std::string input = Framed(std::string(kMaxRequestBytes + 1, ' ')) + Framed("not json") +
                              Framed("{\"method\":\"\xc3\x28\"}") + Framed(R"({"method":"Echo"})");
    std::istringstream in(input);
    std::ostringstream out, log;
    int handled = 0;
    const int code = ServeMessages(in, out, log, [&](const HostRequest& r) {
        ++handled;
        return ValueAnswer(r.method);
    });
    EXPECT_EQ(code, kHostExitOk);
    EXPECT_EQ(handled, 1);
    const auto answers = Answers(out.str());
    ASSERT_EQ(answers.size(), 4u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(answers[i]["error"], "E_INVALIDARG") << i;
    EXPECT_EQ(answers[3]["value"], "Echo");
}

TEST(HostLoop, InputClosedInsideAMessageEndsTheHost) {
    std::string input = Framed(R"({"method":"Echo"})");
    const std::string second = Framed(R"({"method":"Echo"})");
    input += second.substr(0, second.size() - 3);
    std::istringstream in(input);
    std::ostringstream out, log;
    const int code =
        ServeMessages(in, out, log, [](const HostRequest&) { return ValueAnswer(nullptr); });
    EXPECT_EQ(code, kHostExitTruncated);
    EXPECT_EQ(Answers(out.str()).size(), 1u);
    EXPECT_NE(log.str().find("closed inside a message"), std::string::npos);
}

}  // namespace
}  // namespace corvo::host
