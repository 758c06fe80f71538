// BeginSSOLogin against the reference IM client: answers of every kind, the
// failure rows that involve the client, the exact request, and what is left
// behind.
#include <gtest/gtest.h>

#include <future>
#include <regex>
#include <thread>

#include "control/exchange_name.h"
#include "data/xparam_sl_helper.h"
#include "platform/posix/exchange_object_directory.h"
#include "tests/e2e/e2e_support.h"

namespace corvo::e2e {
namespace {

using namespace std::chrono_literals;

constexpr char kAccount[] = "cnmarketquick";

void ExpectNothingLeft(const ClientProcess& client) {
    for (const auto& n : RecordedNames(client)) {
        EXPECT_FALSE(BlockExists(n.block)) << Utf8(n.block);
        EXPECT_FALSE(EventExists(n.event)) << Utf8(n.event);
    }
}

struct AnswerCase {
    const char* name;
    std::vector<std::string> clientArgs;
    HRESULT hr;
    const char* url;  // expected "strKey_ResultURL" on success
};

TEST(QuickLogin, AnswersOfEveryKind) {
    const std::string wide = "https://login.market.example/\xE8\xB5\xB0?a=1&b=<2>";
    const AnswerCase cases[] = {
        {"encoded answer", {"--answer-url", wide}, S_OK, wide.c_str()},
        {"plain answer", {"--plain-answer", "--answer-url", wide}, S_OK, wide.c_str()},
        {"long encoded address (base64 lines)",
         {"--answer-url", "https://login.market.example/" + std::string(120, 'x')},
         S_OK,
         nullptr},
        {"result 0", {"--result", "0"}, E_FAIL, nullptr},
        {"result 2", {"--result", "2"}, E_FAIL, nullptr},
        {"result -1", {"--result", "-1"}, E_FAIL, nullptr},
        {"corrupt answer block", {"--corrupt-answer"}, E_FAIL, nullptr},
        {"answer after 300 ms", {"--delay-ms", "300", "--answer-url", wide}, S_OK, wide.c_str()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PrivateEnvironment env;
        std::vector<std::string> args{"--account", kAccount, "--print-requests"};
        args.insert(args.end(), c.clientArgs.begin(), c.clientArgs.end());
        ClientProcess client(env, args);
        ASSERT_TRUE(client.ready());
        auto outcome = QuickLogin(Utf16(kAccount));
        EXPECT_EQ(outcome.hr, c.hr);
        if (c.hr == S_OK) {
            ASSERT_TRUE(outcome.result);
            EXPECT_EQ(outcome.result.Get(), outcome.data.Get());
            EXPECT_EQ(DataStr(outcome.data.Get(), u"strKey_GOResult"), u"1");
            const std::string expected =
                c.url ? c.url : "https://login.market.example/" + std::string(120, 'x');
            EXPECT_EQ(DataStr(outcome.data.Get(), u"strKey_ResultURL"), Utf16(expected));
        } else {
            EXPECT_FALSE(outcome.result);
            // A missing key reads as the empty string.
            EXPECT_EQ(DataStr(outcome.data.Get(), u"strKey_GOResult"), u"");
            EXPECT_EQ(DataStr(outcome.data.Get(), u"strKey_ResultURL"), u"");
        }
        EXPECT_LT(outcome.elapsed, 2000ms);
        client.Stop();
        EXPECT_EQ(client.Records("request-document").size(), 1u);
        ExpectNothingLeft(client);
    }
}

TEST(QuickLogin, ReturnsTheCallersObjectWithItsKeys) {
    PrivateEnvironment env;
    ClientProcess client(env,
                         {"--account", kAccount, "--answer-url", "https://login.market.example/x"});
    ASSERT_TRUE(client.ready());
    auto ctrl = NewHostedControl();
    auto data = NewLoginData(ctrl.Get(), Utf16(kAccount));
    BstrPtr key = BstrPtr::FromText(u"strKey_PageOwn"), value = BstrPtr::FromText(u"kept");
    ASSERT_EQ(data->SetDataStr(key.Get(), value.Get()), S_OK);
    ComPtr<ISSOData> result;
    ASSERT_EQ(ctrl->BeginSSOLogin(0, data.Get(), result.Out()), S_OK);
    EXPECT_EQ(result.Get(), data.Get());
    EXPECT_EQ(DataStr(result.Get(), u"strKey_PageOwn"), u"kept");
    EXPECT_EQ(DataStr(result.Get(), u"strKey_FullUserID"), Utf16(kAccount));
    EXPECT_EQ(DataStr(result.Get(), u"strKey_ResultURL"), u"https://login.market.example/x");
}

TEST(QuickLogin, NoWindowFailsWithoutWaiting) {
    PrivateEnvironment env;
    ClientProcess client(env, {"--account", kAccount, "--print-requests"});
    ASSERT_TRUE(client.ready());
    for (const char* other :
         {"cnmarketnobody", "CNMARKETQUICK", "cnmarketquic", "cnmarketquick "}) {
        auto outcome = QuickLogin(Utf16(other));
        EXPECT_EQ(outcome.hr, E_FAIL) << other;
        EXPECT_FALSE(outcome.result);
        // Well below the 3000 ms the event wait would have taken.
        EXPECT_LT(outcome.elapsed, 1000ms) << other;
    }
    EXPECT_TRUE(client.Records("request").empty());
}

TEST(QuickLogin, ReservedNotZeroStillAsksTheClient) {
    PrivateEnvironment env;
    ClientProcess client(env, {"--account", kAccount, "--print-requests"});
    ASSERT_TRUE(client.ready());
    for (LONG reserved : {1, -1, 2}) {
        auto outcome = QuickLogin(Utf16(kAccount), reserved);
        EXPECT_EQ(outcome.hr, E_FAIL);
        EXPECT_FALSE(outcome.result);
        EXPECT_EQ(DataStr(outcome.data.Get(), u"strKey_GOResult"), u"");
    }
    client.Stop();
    EXPECT_EQ(client.Records("request-document").size(), 3u);
    ExpectNothingLeft(client);
}

TEST(QuickLogin, TheRequestByteForByte) {
    // 70 characters: the base64 of the user ID spans two lines.
    const std::string account = "cnmarket" + std::string(62, 'q');
    PrivateEnvironment env;
    ClientProcess client(env, {"--account", account, "--print-requests"});
    ASSERT_TRUE(client.ready());
    ASSERT_EQ(QuickLogin(Utf16(account)).hr, S_OK);
    client.Stop();

    const auto lines = client.Records("request");
    const auto messages = client.Records("request-message");
    const auto documents = client.Records("request-document");
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(messages.size(), 1u);
    ASSERT_EQ(documents.size(), 1u);

    const std::string guid = R"(\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\})";
    const std::regex line(
        "Quorix\\{416219FA-7221-43cf-A056-359CA4BC9FEA\\}Corvo:reqssologin\\?"
        "&fname=(" +
        guid + ")&ename=(" + guid + ")&fsize=8208");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[0], m, line)) << lines[0];
    EXPECT_NE(m[1].str(), m[2].str());

    // The payload: the line in UTF-16LE with its terminating zero unit.
    std::string hex;
    for (char c : lines[0]) {
        char unit[5];
        snprintf(unit, sizeof unit, "%02X00", static_cast<unsigned char>(c));
        hex += unit;
    }
    hex += "0000";
    EXPECT_EQ(messages[0], "wParam=0 dwData=1 cbData=" + std::to_string((lines[0].size() + 1) * 2) +
                               " bytes=" + hex);

    // The document in the block, as the control's writer produces it.
    std::u16string expected;
    ASSERT_TRUE(srlz::XParamSLHelper().BuildLoginRequestText(Utf16(account), u"1.0.0.1", expected));
    std::string escaped;
    for (char c : Utf8(expected)) {
        if (c == '\r')
            escaped += "\\r";
        else if (c == '\n')
            escaped += "\\n";
        else if (c == '\t')
            escaped += "\\t";
        else if (c == '\\')
            escaped += "\\\\";
        else
            escaped.push_back(c);
    }
    EXPECT_EQ(documents[0], m[1].str() + " " + escaped);
    EXPECT_EQ(escaped.find("\\t<fulluserid>Y25tYXJrZXRx"), escaped.find("\\t<fulluserid>"));
}

// The cases that cost the full waits: kept few.
TEST(QuickLogin, ClientThatNeverSignalsFailsAfterTheWait) {
    PrivateEnvironment env;
    ClientProcess client(env, {"--account", kAccount, "--no-signal", "--print-requests"});
    ASSERT_TRUE(client.ready());
    auto outcome = QuickLogin(Utf16(kAccount));
    EXPECT_EQ(outcome.hr, E_FAIL);
    EXPECT_FALSE(outcome.result);
    EXPECT_GE(outcome.elapsed, 2900ms);
    EXPECT_LT(outcome.elapsed, 5500ms);
    client.Stop();
    EXPECT_EQ(RecordedNames(client).size(), 1u);
    ExpectNothingLeft(client);
}

TEST(QuickLogin, HungWindowFailsAfterBothBoundsAndBlocksNoOtherWindow) {
    PrivateEnvironment env;
    ClientProcess client(env, {"--account", "cnmarkethung", "--account", kAccount, "--hang-account",
                               "cnmarkethung"});
    ASSERT_TRUE(client.ready());
    auto hung = std::async(std::launch::async, [] { return QuickLogin(u"cnmarkethung"); });
    std::this_thread::sleep_for(100ms);
    auto other = QuickLogin(Utf16(kAccount));
    EXPECT_EQ(other.hr, S_OK);
    EXPECT_LT(other.elapsed, 1000ms);
    EXPECT_EQ(hung.wait_for(0ms), std::future_status::timeout);
    auto outcome = hung.get();
    EXPECT_EQ(outcome.hr, E_FAIL);
    // 2000 ms for the send, then 3000 ms for the event.
    EXPECT_GE(outcome.elapsed, 4900ms);
    EXPECT_LT(outcome.elapsed, 7000ms);
}

TEST(QuickLogin, ClientKilledInTheMiddleOfAnExchange) {
    PrivateEnvironment env;
    ClientProcess client(env, {"--account", kAccount, "--delay-ms", "5000", "--print-requests"});
    ASSERT_TRUE(client.ready());
    auto login = std::async(std::launch::async, [] { return QuickLogin(Utf16(kAccount)); });
    const auto deadline = Clock::now() + 2s;
    while (RecordedNames(client).empty() && Clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    const auto names = RecordedNames(client);
    ASSERT_EQ(names.size(), 1u);
    client.Kill();
    auto outcome = login.get();
    EXPECT_EQ(outcome.hr, E_FAIL);
    EXPECT_FALSE(outcome.result);
    EXPECT_FALSE(BlockExists(names[0].block));
    EXPECT_FALSE(EventExists(names[0].event));
    // Its windows count as gone at once: the next login fails without waiting.
    auto next = QuickLogin(Utf16(kAccount));
    EXPECT_EQ(next.hr, E_FAIL);
    EXPECT_LT(next.elapsed, 1000ms);
    // The next client starts clean: only its own user block is there, and
    // logins work again.
    ClientProcess restarted(env, {"--account", kAccount}, "restarted");
    ASSERT_TRUE(restarted.ready());
    EXPECT_EQ(ObjectFiles(env), std::vector<std::string>{*platform::ExchangeObjectFileName(
                                    control::MakeUserBlockName(Utf16(kAccount)))});
    EXPECT_EQ(QuickLogin(Utf16(kAccount)).hr, S_OK);
}

}  // namespace
}  // namespace corvo::e2e
