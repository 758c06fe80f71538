// corvo-sso-host run as the browser runs it: the caller's identity as its
// argument, requests on standard input.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

#include "tests/common/subprocess.h"
#include "tools/corvo-sso-host/host_request.h"
#include "tools/corvo-sso-host/native_message_stream.h"

namespace corvo::host {
namespace {

const char kOrigin[] = "chrome-extension://khhcmcgdcmgndbggmomhiignciaookhl/";

std::string Framed(const std::string& body) {
    std::ostringstream out;
    WriteNativeMessage(out, body);
    return out.str();
}

test::ProgramResult RunHost(const std::vector<std::string>& args, const std::string& input) {
    test::ProgramOptions options;
    options.input = input;
    // An empty registry: the control is not registered.
    options.environment = {{"CORVO_REGISTRY", ::testing::TempDir() + "host-test-empty.reg"}};
    return test::RunProgram(CORVO_SSO_HOST_PATH, args, options);
}

std::vector<Json> Answers(const std::string& output) {
    std::istringstream in(output);
    std::vector<Json> answers;
    for (Frame f = ReadNativeMessage(in); f.status == FrameStatus::kMessage;
         f = ReadNativeMessage(in))
        answers.push_back(Json::parse(f.body));
    return answers;
}

TEST(HostProgram, RefusesAnyOtherCaller) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"chrome-extension://bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb/"}}) {
        const auto result = RunHost(args, Framed(R"({"method":"InitSSOLoginCtrl"})"));
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(result.out.empty());  // not a word to the browser
        EXPECT_NE(result.err.find("corvo-sso browser install"), std::string::npos);
    }
}

TEST(HostProgram, AnswersErrorsAndExitsWhenInputCloses) {
    const std::string page =
        R"("frame":{"url":"http://login.market.example/","origin":"http://login.market.example"},"top":{"url":"http://login.market.example/"})";
    const std::string input =
        Framed(std::string(70000, 'x')) + Framed("{\"method\":\"\xff\"}") +
        Framed(R"({"id":2,"method":"Nope",)" + page + "}") +
        Framed(R"({"id":3,"method":"GetUserList","args":[0,1],)" + page + "}");
    const auto result = RunHost({kOrigin}, input);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    // The workers answer in any order: the answers are matched by their IDs.
    std::map<int, Json> answers;
    int unreadable = 0;
    for (const Json& answer : Answers(result.out)) {
        if (answer.contains("id"))
            answers[answer["id"].get<int>()] = answer;
        else
            unreadable += answer["error"] == "E_INVALIDARG";
    }
    EXPECT_EQ(unreadable, 2) << result.out;
    ASSERT_EQ(answers.size(), 2u) << result.err;
    EXPECT_EQ(answers[2]["error"], "DISP_E_UNKNOWNNAME");
    EXPECT_EQ(answers[3]["error"], "REGDB_E_CLASSNOTREG");
    EXPECT_NE(answers[3]["message"].get<std::string>().find("corvo-sso register"),
              std::string::npos);
}

TEST(HostProgram, AnswersEachRequestOnceByItsId) {
    // Served several at once while the next requests are read: each answer
    // is written once, whole, with its request's ID.
    const std::string page =
        R"("frame":{"url":"http://login.market.example/","origin":"http://login.market.example"},"top":{"url":"http://login.market.example/"})";
    std::string input;
    for (int id = 0; id < 300; ++id)
        input += Framed(R"({"id":)" + std::to_string(id) +
                        R"(,"method":"GetUserList","args":[0,1],)" + page + "}");
    const auto result = RunHost({kOrigin}, input);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::set<int> ids;
    for (const Json& answer : Answers(result.out)) {
        EXPECT_EQ(answer["error"], "REGDB_E_CLASSNOTREG");
        EXPECT_TRUE(ids.insert(answer["id"].get<int>()).second) << answer;
    }
    EXPECT_EQ(ids.size(), 300u);
}

TEST(HostProgram, InputClosedMidMessage) {
    const std::vector<std::string> cut = {std::string("\x10\x00", 2),
                                          Framed(R"({"method":"X"})").substr(0, 9)};
    for (const std::string& input : cut) {
        const auto result = RunHost({kOrigin}, input);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.out.empty());
    }
    EXPECT_EQ(RunHost({kOrigin}, "").exitCode, 0);
}

}  // namespace
}  // namespace corvo::host
