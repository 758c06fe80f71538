// corvo-sso-host as the browser runs it, with the control registered and the
// reference client logged in: natively, and as corvo-sso-host.exe under
// wine64 (CORVO_HOST_EXE), whose standard streams must carry the messages'
// bytes unchanged. The framing is written here again, independently of the
// host's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"

namespace corvo::e2e {
namespace {

using Json = nlohmann::json;

const char kOrigin[] = "chrome-extension://khhcmcgdcmgndbggmomhiignciaookhl/";

std::string Framed(const std::string& body) {
    const uint32_t length = static_cast<uint32_t>(body.size());
    char prefix[4];
    std::memcpy(prefix, &length, 4);  // the system's byte order, little-endian on both
    return std::string(prefix, 4) + body;
}

// The answers in `out`, in the order of their requests' IDs (the host answers
// each request when it is done, several being served at once); a failure when
// the bytes are not whole messages.
std::vector<Json> Answers(const std::string& out) {
    std::vector<Json> answers;
    size_t at = 0;
    while (at < out.size()) {
        uint32_t length = 0;
        if (out.size() - at < 4) {
            ADD_FAILURE() << "a cut length prefix at byte " << at;
            break;
        }
        std::memcpy(&length, out.data() + at, 4);
        at += 4;
        if (out.size() - at < length) {
            ADD_FAILURE() << "a message of " << length << " bytes has " << out.size() - at;
            break;
        }
        answers.push_back(Json::parse(out.substr(at, length), nullptr, false));
        at += length;
    }
    const auto id = [](const Json& answer) {
        return answer.is_object() ? answer.value("id", 0) : 0;
    };
    std::stable_sort(answers.begin(), answers.end(),
                     [&](const Json& a, const Json& b) { return id(a) < id(b); });
    return answers;
}

ProgramResult RunHost(const std::vector<std::string>& args, const std::string& input) {
    test::ProgramOptions options;
    options.input = input;
    const char* exe = std::getenv("CORVO_HOST_EXE");
    if (!exe || !*exe) return RunProgram(CORVO_SSO_HOST_PATH, args, options);
    std::vector<std::string> emulated{exe};
    emulated.insert(emulated.end(), args.begin(), args.end());
    return RunProgram(std::getenv("CORVO_TOOL_EMULATOR"), emulated, options);
}

// A request from a frame at `frame` on the top-level page `top`, with the next ID.
std::string Request(const std::string& method, const Json& args, const std::string& frame,
                    const std::string& top) {
    static int nextId = 0;
    const std::string origin = frame.substr(0, frame.find('/', frame.find("//") + 2));
    return Json{{"id", ++nextId},
                {"method", method},
                {"args", args},
                {"frame", {{"url", frame}, {"origin", origin}}},
                {"top", {{"url", top}}}}
        .dump();
}

class HostExchange : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const std::string missing = SubstituteModuleMissing(); !missing.empty())
            GTEST_SKIP() << missing;
        ASSERT_EQ(RunSso({"register"}).result.exitCode, 0);
        mirror_.emplace();
    }
    PrivateEnvironment env_;
    std::optional<MachineClassMirror> mirror_;
};

TEST_F(HostExchange, OnlyOurExtensionMayStartIt) {
    const std::string input = Framed(R"({"method":"InitSSOLoginCtrl"})");
    const std::vector<std::vector<std::string>> callers = {
        {}, {"chrome-extension://bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb/"}, {"other@addon.example"}};
    for (const auto& args : callers) {
        const auto run = RunHost(args, input);
        EXPECT_EQ(run.exitCode, 2) << ::testing::PrintToString(args);
        EXPECT_TRUE(run.out.empty());  // not a byte to the browser
        EXPECT_NE(run.err.find("corvo-sso browser install"), std::string::npos) << run.err;
    }
    // Firefox names the add-on, as the second argument after the manifest's path.
    const auto firefox = RunHost({"C:\\m.json", "sso-login@corvo.example"}, "");
    EXPECT_EQ(firefox.exitCode, 0) << firefox.err;
}

TEST_F(HostExchange, PagesTheSiteLockRefusesGetNothing) {
    ClientProcess client(env_, {"--account", "cnmarkethost"});
    ASSERT_TRUE(client.ready());
    const std::string allowed = "https://login.market.example/sso";
    struct Case {
        std::string frame, top, message;
    };
    const Case cases[] = {
        {"https://evil.example/", "https://evil.example/",
         "the top-level page is not one of the allowed sites"},
        {allowed, "https://evil.example/", "the top-level page is not one of the allowed sites"},
        {"https://evil.example/frame", allowed, "the frame's address is not one of the allowed"},
    };
    std::string input;
    for (const auto& c : cases) input += Framed(Request("GetUserList", {0, 1}, c.frame, c.top));
    const auto run = RunHost({kOrigin}, input);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const auto answers = Answers(run.out);
    ASSERT_EQ(answers.size(), std::size(cases)) << run.err;
    for (size_t i = 0; i < answers.size(); ++i) {
        ASSERT_TRUE(answers[i].is_object());
        EXPECT_EQ(answers[i].value("error", ""), "E_FAIL") << answers[i].dump();
        EXPECT_NE(answers[i].value("message", "").find(cases[i].message), std::string::npos)
            << answers[i].dump();
        EXPECT_FALSE(answers[i].contains("value"));
    }
}

TEST_F(HostExchange, UserListAndLoginOnAnAllowedPage) {
    ClientProcess client(env_, {"--account", "cnmarkethost", "--account", "cnbizchnhost:sub"});
    ASSERT_TRUE(client.ready());
    const std::string page = "https://login.market.example/sso";
    std::string input = Framed(Request("GetUserList", {0, 1}, page, page));
    input += Framed(Request("BeginSSOLogin",
                            {0, Json::array({Json::array({"strKey_FullUserID", "cnmarkethost"})})},
                            page, page));
    const auto run = RunHost({kOrigin}, input);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const auto answers = Answers(run.out);
    ASSERT_EQ(answers.size(), 2u) << run.err;
    ASSERT_TRUE(answers[0].is_object() && answers[1].is_object());
    std::vector<std::string> ids;
    for (const auto& user : answers[0].value("value", Json::array()))
        ids.push_back(user.at(0).at(1).get<std::string>());
    EXPECT_EQ(ids, (std::vector<std::string>{"cnmarkethost", "cnbizchnhost:sub"}))
        << answers[0].dump();
    bool succeeded = false;
    for (const auto& pair : answers[1].value("value", Json::array()))
        if (pair.at(0) == "strKey_GOResult") succeeded = pair.at(1) == "1";
    EXPECT_TRUE(succeeded) << answers[1].dump();
}

// Requests and answers of every length up to a few hundred bytes: their
// length prefixes hold each byte value, LF, CR and Ctrl-Z among them, which a
// stream in text mode would change or stop at.
TEST_F(HostExchange, LengthPrefixesOfEveryByteValuePassUnchanged) {
    std::string input;
    constexpr size_t kCount = 300;
    for (size_t n = 1; n <= kCount; ++n)
        input += Framed(
            Json{{"id", n}, {"method", std::string(n, 'm')}, {"args", Json::array()}}.dump());
    const auto run = RunHost({kOrigin}, input);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const auto answers = Answers(run.out);
    ASSERT_EQ(answers.size(), kCount) << run.err;
    for (size_t n = 1; n <= kCount; ++n) {
        const Json& answer = answers[n - 1];
        ASSERT_TRUE(answer.is_object()) << n;
        EXPECT_EQ(answer.value("error", ""), "DISP_E_UNKNOWNNAME") << n;
        EXPECT_NE(answer.value("message", "").find('"' + std::string(n, 'm') + '"'),
                  std::string::npos)
            << n;
    }
}

}  // namespace
}  // namespace corvo::e2e
