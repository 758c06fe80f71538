#include "tools/corvo-sso-host/host_request.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

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
        {R"({"id":3,"method":"X"})", true},
        {R"({"id":"a7","method":"X","id2":[]})", true},
        {R"({"id":[1],"method":"X"})", false},
        {R"({"id":{},"method":"X"})", false},
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
    EXPECT_TRUE(request.id.is_null());

    // A refused request still has its ID for the answer.
    ASSERT_FALSE(ParseHostRequest(R"({"id":12,"method":7})", &request, &error));
    EXPECT_EQ(request.id, 12);
    EXPECT_EQ(WithRequestId(request.id, R"({"ok":true})"), R"({"id":12,"ok":true})");
    EXPECT_EQ(WithRequestId(Json("x"), "{}"), R"({"id":"x"})");
    EXPECT_EQ(WithRequestId(Json(), R"({"ok":true})"), R"({"ok":true})");
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

// An input that says when the reader has reached its end.
class EndSignallingBuffer : public std::stringbuf {
  public:
    using std::stringbuf::stringbuf;
    std::atomic<bool> ended{false};

  protected:
    int_type underflow() override {
        const int_type c = std::stringbuf::underflow();
        if (traits_type::eq_int_type(c, traits_type::eof())) ended = true;
        return c;
    }
};

std::string Request(int id, const char* method) {
    return Framed(R"({"id":)" + std::to_string(id) + R"(,"method":")" + method + "\"}");
}

TEST(HostLoop, ASlowRequestDelaysNoOtherAndAnswersCarryIds) {
    constexpr int kOthers = 19;
    std::string input = Request(1, "Slow");
    for (int id = 2; id <= kOthers + 1; ++id) input += Request(id, "Echo");
    input += Framed(R"({"id":99,"method":7})") + Framed("not json");
    std::istringstream in(input);
    std::ostringstream out, log;
    std::mutex mutex;
    std::condition_variable changed;
    int echoed = 0;
    const int code = ServeMessages(in, out, log, [&](const HostRequest& r) {
        std::unique_lock<std::mutex> lock(mutex);
        if (r.method == "Slow") {
            // Stands for a login waiting on a hung client: it ends only once
            // every other request has been served (or after 20 s).
            const bool sawAll =
                changed.wait_for(lock, std::chrono::seconds(20), [&] { return echoed == kOthers; });
            return ValueAnswer(sawAll);
        }
        ++echoed;
        changed.notify_all();
        return ValueAnswer(r.id);
    });
    EXPECT_EQ(code, kHostExitOk);
    const auto answers = Answers(out.str());
    ASSERT_EQ(answers.size(), size_t(kOthers + 3));
    std::set<int> ids;
    for (const Json& a : answers) {
        if (!a.contains("id")) {
            EXPECT_EQ(a["error"], "E_INVALIDARG");  // "not json": no ID to give back
        } else if (a["id"] == 1) {
            EXPECT_EQ(a["value"], true) << "the slow request held up the others";
        } else if (a["id"] == 99) {
            EXPECT_EQ(a["error"], "E_INVALIDARG");
        } else {
            EXPECT_EQ(a["value"], a["id"]);
        }
        if (a.contains("id")) {
            EXPECT_TRUE(ids.insert(a["id"].get<int>()).second) << a;
        }
    }
    EXPECT_EQ(ids.size(), size_t(kOthers + 2));
}

TEST(HostLoop, ReadingWaitsAtThePendingBoundAndEveryRequestIsServed) {
    const ServeLimits limits{2, 3};
    std::string input;
    for (int id = 1; id <= 10; ++id) input += Request(id, "Block");
    EndSignallingBuffer buffer(input);
    std::istream in(&buffer);
    std::ostringstream out, log;
    std::atomic<int> peak{0}, running{0}, calls{0}, arrived{0}, checked{0};
    std::atomic<bool> readPastTheBound{false};
    const int code = ServeMessages(
        in, out, log,
        [&](const HostRequest& r) {
            peak = std::max(peak.load(), ++running);
            if (++calls <= 2) {
                // While both workers hold a request, at most 3 of the 10 may
                // be read: the reader must not reach the end of the input.
                const auto meet = [](std::atomic<int>& count) {
                    ++count;
                    for (int i = 0; i < 10000 && count < 2; ++i)
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                };
                meet(arrived);
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                if (buffer.ended) readPastTheBound = true;
                meet(checked);
            }
            --running;
            return ValueAnswer(r.id);
        },
        limits);
    EXPECT_EQ(code, kHostExitOk);
    EXPECT_FALSE(readPastTheBound);
    EXPECT_LE(peak.load(), 2);
    std::set<int> served;
    for (const Json& a : Answers(out.str())) served.insert(a["value"].get<int>());
    EXPECT_EQ(served, (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

}  // namespace
}  // namespace corvo::host
