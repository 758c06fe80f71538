// corvo-imclient.exe through the Win32 calls a control makes: its
// message-only windows walked with FindWindowExW(HWND_MESSAGE, ...) and their
// titles read with GetWindowTextW, its top-level windows found by title, its
// user blocks opened by name, and quick-login requests sent with
// SendMessageTimeoutW(WM_COPYDATA) and answered through the named block and
// event, with every fault switch.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "control/exchange_block.h"
#include "control/exchange_name.h"
#include "data/xparam_sl_helper.h"
#include "tests/imclient/client_process.h"

namespace corvo::imclient_test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr wchar_t kClass[] = L"Quorix{416219FA-7221-43cf-A056-359CA4BC9FEA}";
constexpr wchar_t kUserBlockPrefix[] = L"{2ED4D0E1-006A-46f4-8089-8E846CF16DF2}";

std::u16string U16(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}
std::wstring W(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

std::wstring Title(HWND window) {
    wchar_t text[256] = {};
    const int length = ::GetWindowTextW(window, text, 256);
    return std::wstring(text, length > 0 ? length : 0);
}

// The walk GetUserList makes: every message-only window of the class, in order.
std::vector<std::wstring> MessageOnlyTitles() {
    std::vector<std::wstring> titles;
    for (HWND w = nullptr; (w = ::FindWindowExW(HWND_MESSAGE, w, kClass, nullptr));)
        if (::IsWindow(w)) titles.push_back(Title(w));
    return titles;
}

HWND TopLevelWindow(const std::wstring& title) {
    return ::FindWindowExW(nullptr, nullptr, kClass, title.c_str());
}

struct Exchange {
    BOOL sent = FALSE;
    LRESULT reply = 0;
    milliseconds sendTime{0};
    DWORD wait = WAIT_FAILED;
    milliseconds total{0};
    control::BlockStatus readStatus = control::BlockStatus::kSystemError;
    srlz::SSOLoginRecord answer;
    std::wstring line;
};

struct Request {
    ULONG_PTR dwData = 1;
    bool wellFormed = true;  // false: a line without the verb
};

// One quick-login request to the top-level window of `account`, as the
// control makes it: block written, event created, line sent, event awaited,
// answer read from the block.
Exchange Login(const std::wstring& account, Request request = {}) {
    Exchange exchange;
    const std::u16string blockName = control::MakeExchangeName();
    const std::u16string eventName = control::MakeExchangeName();
    auto block = control::ExchangeBlock::Create(blockName);
    EXPECT_TRUE(block);
    if (!block) return exchange;
    srlz::SSOLoginRecord record;
    record.fulluserid = U16(account);
    record.ctrlversion = u"1.0.0.1";
    record.result = 0;
    record.srcUrl = u"https://login.market.example/";
    const srlz::XParamSLHelper helper;
    helper.SetFieldEncoding(record, true);
    std::u16string text;
    EXPECT_TRUE(helper.WriteLoginDocument(record, text));
    EXPECT_EQ(control::WriteBlockDocument(*block, text, U16(account)), control::BlockStatus::kOk);

    HANDLE event = ::CreateEventW(nullptr, FALSE, FALSE, W(eventName).c_str());
    EXPECT_NE(event, nullptr);
    exchange.line = std::wstring(kClass) + (request.wellFormed ? L"Corvo:reqssologin?" : L"x?") +
                    L"&fname=" + W(blockName) + L"&ename=" + W(eventName) + L"&fsize=8208";
    COPYDATASTRUCT data{request.dwData,
                        static_cast<DWORD>((exchange.line.size() + 1) * sizeof(wchar_t)),
                        exchange.line.data()};
    const HWND window = TopLevelWindow(account);
    EXPECT_NE(window, nullptr);
    const auto start = Clock::now();
    DWORD_PTR reply = 0;
    exchange.sent = ::SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                                          SMTO_ABORTIFHUNG, 2000, &reply);
    exchange.reply = static_cast<LRESULT>(reply);
    exchange.sendTime = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
    exchange.wait = ::WaitForSingleObject(event, 3000);
    exchange.total = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
    ::CloseHandle(event);
    std::u16string answerText;
    exchange.readStatus = control::ReadBlockDocument(*block, U16(account), &answerText);
    exchange.answer = helper.ReadLoginAnswer(answerText);
    return exchange;
}

TEST(Win32ImClient, WindowsAndUserBlocksOfEveryAccountInOrder) {
    const std::vector<std::wstring> accounts = {L"cnmarketalice", L"cnbizchnbob:sub", L"CNMARKETup",
                                                L"cnmarketalice", L""};
    std::vector<std::wstring> args;
    for (const auto& a : accounts) args.insert(args.end(), {L"--account", a});
    args.insert(args.end(), {L"--no-user-block", L"CNMARKETup", L"--client-version", L"7.5"});
    ClientProcess client(args);
    ASSERT_TRUE(client.ready()) << client.Errors();

    EXPECT_EQ(MessageOnlyTitles(), accounts);
    for (const auto& account : accounts) {
        SCOPED_TRACE(std::string(account.begin(), account.end()));
        const HWND top = TopLevelWindow(account);
        ASSERT_NE(top, nullptr);
        EXPECT_EQ(Title(top), account);
        EXPECT_EQ(::GetParent(top), nullptr);
        EXPECT_FALSE(::IsWindowVisible(top));
        if (account.empty()) continue;
        // The user block: present unless switched off, with the account's document.
        std::u16string text;
        const auto status =
            control::ReadBlockDocument(U16(kUserBlockPrefix + account), U16(account), &text);
        if (account == L"CNMARKETup") {
            EXPECT_NE(status, control::BlockStatus::kOk);
            continue;
        }
        ASSERT_EQ(status, control::BlockStatus::kOk);
        const auto user = srlz::XParamSLHelper().ReadUserEntry(text);
        EXPECT_EQ(user.fullUserID, U16(account));
        EXPECT_EQ(user.siteID, U16(account.substr(0, 8)));
        EXPECT_EQ(user.shortUserID, U16(account.substr(8)));
        EXPECT_EQ(user.version, u"7.5");
    }
    // A top-level search never yields the message-only twin, nor the other way round.
    EXPECT_EQ(::FindWindowExW(HWND_MESSAGE, nullptr, kClass, L"cnmarketnobody"), nullptr);
    EXPECT_EQ(TopLevelWindow(L"cnmarketnobody"), nullptr);
}

TEST(Win32ImClient, WindowsAndBlocksGoWithTheClient) {
    {
        ClientProcess client({L"--account", L"cnmarketgone"});
        ASSERT_TRUE(client.ready());
        ASSERT_NE(TopLevelWindow(L"cnmarketgone"), nullptr);
    }
    EXPECT_EQ(TopLevelWindow(L"cnmarketgone"), nullptr);
    EXPECT_TRUE(MessageOnlyTitles().empty());
    std::u16string text;
    EXPECT_NE(control::ReadBlockDocument(U16(std::wstring(kUserBlockPrefix) + L"cnmarketgone"),
                                         u"cnmarketgone", &text),
              control::BlockStatus::kOk);
}

TEST(Win32ImClient, ASecondClientForTheSameAccountIsRefused) {
    ClientProcess first({L"--account", L"cnmarketonce"});
    ASSERT_TRUE(first.ready());
    ClientProcess second({L"--account", L"cnmarketonce"});
    EXPECT_FALSE(second.ready());
    EXPECT_EQ(second.WaitForExit(), 1);
    EXPECT_NE(second.Errors().find("a live block of that name exists"), std::string::npos)
        << second.Errors();
    EXPECT_EQ(MessageOnlyTitles(), std::vector<std::wstring>{L"cnmarketonce"});
}

struct AnswerCase {
    const char* name;
    std::vector<std::wstring> args;
    BOOL sent;            // SendMessageTimeoutW succeeded
    DWORD wait;           // the completion event
    int32_t result;       // the answer's result, when the event came
    const char16_t* url;  // the answer's address, when the event came
};

TEST(Win32ImClient, AnswersOfEveryKindAndFault) {
    const AnswerCase cases[] = {
        {"success", {}, TRUE, WAIT_OBJECT_0, 1, u"https://login.market.example/?u=cnmarketq"},
        {"result 0", {L"--result", L"0"}, TRUE, WAIT_OBJECT_0, 0, nullptr},
        {"plain answer",
         {L"--plain-answer"},
         TRUE,
         WAIT_OBJECT_0,
         1,
         u"https://login.market.example/?u=cnmarketq"},
        {"no signal", {L"--no-signal"}, TRUE, WAIT_TIMEOUT, 0, nullptr},
        {"hung", {L"--hang"}, FALSE, WAIT_TIMEOUT, 0, nullptr},
        {"other account hung",
         {L"--hang-account", L"cnmarketother"},
         TRUE,
         WAIT_OBJECT_0,
         1,
         u"https://login.market.example/?u=cnmarketq"},
        {"delayed 300 ms",
         {L"--delay-ms", L"300"},
         TRUE,
         WAIT_OBJECT_0,
         1,
         u"https://login.market.example/?u=cnmarketq"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::wstring> args = {
            L"--account",     L"cnmarketq",    L"--account",
            L"cnmarketother", L"--answer-url", L"https://login.market.example/?u={account}"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ClientProcess client(args);
        ASSERT_TRUE(client.ready()) << client.Errors();
        const Exchange exchange = Login(L"cnmarketq");
        EXPECT_EQ(exchange.sent, c.sent);
        if (c.sent) {
            EXPECT_EQ(exchange.reply, 1);
            // The sender is answered before the client works on the request.
            EXPECT_LT(exchange.sendTime, milliseconds(250));
        }
        EXPECT_EQ(exchange.wait, c.wait);
        if (c.wait != WAIT_OBJECT_0) continue;
        ASSERT_EQ(exchange.readStatus, control::BlockStatus::kOk);
        EXPECT_EQ(exchange.answer.result, c.result);
        EXPECT_EQ(exchange.answer.fulluserid, u"cnmarketq");
        EXPECT_EQ(exchange.answer.ctrlversion, u"1.0.0.1");
        if (c.url) {
            EXPECT_EQ(exchange.answer.realSSOUrl, c.url);
        }
        if (std::string(c.name) == "delayed 300 ms") {
            EXPECT_GE(exchange.total, milliseconds(300));
        }
    }
}

TEST(Win32ImClient, CorruptAnswerHasAHeaderNoReaderAccepts) {
    ClientProcess client({L"--account", L"cnmarketq", L"--corrupt-answer"});
    ASSERT_TRUE(client.ready());
    const Exchange exchange = Login(L"cnmarketq");
    EXPECT_EQ(exchange.wait, WAIT_OBJECT_0);
    EXPECT_NE(exchange.readStatus, control::BlockStatus::kOk);
}

TEST(Win32ImClient, RequestsAreRecordedAndOthersIgnored) {
    ClientProcess client({L"--account", L"cnmarketrec", L"--print-requests"});
    ASSERT_TRUE(client.ready());
    const Exchange good = Login(L"cnmarketrec");
    EXPECT_EQ(good.wait, WAIT_OBJECT_0);
    const Exchange wrongKind = Login(L"cnmarketrec", {.dwData = 2});
    const Exchange noVerb = Login(L"cnmarketrec", {.wellFormed = false});
    for (const Exchange* ignored : {&wrongKind, &noVerb}) {
        EXPECT_TRUE(ignored->sent) << "answered, then not acted on";
        EXPECT_EQ(ignored->wait, WAIT_TIMEOUT);
    }
    const std::string output = client.Output();
    const auto lines = Records(output, "request");
    ASSERT_EQ(lines.size(), 3u) << output;
    EXPECT_EQ(lines[0], std::string(good.line.begin(), good.line.end()));
    const auto messages = Records(output, "request-message");
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_TRUE(messages[0].starts_with(
        "wParam=0 dwData=1 cbData=" + std::to_string((good.line.size() + 1) * 2) + " bytes=5100"))
        << messages[0];
    EXPECT_TRUE(messages[1].starts_with("wParam=0 dwData=2 ")) << messages[1];
    const auto documents = Records(output, "request-document");
    ASSERT_EQ(documents.size(), 1u);
    EXPECT_NE(documents[0].find("<ctrlversion>"), std::string::npos) << documents[0];
    const std::string errors = client.Errors();
    EXPECT_NE(errors.find("ignored a message that is not a request line"), std::string::npos)
        << errors;
    EXPECT_NE(errors.find("ignored a malformed request line"), std::string::npos) << errors;
}

TEST(Win32ImClient, UsageAndEndpointErrors) {
    struct Case {
        std::vector<std::wstring> args;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {{}, 2, "--account is required"},
        {{L"--account", L"cnmarketa", L"--bogus"}, 2, "bogus"},
        {{L"--account", L"cnmarketa", L"--dir", L"C:\\x"}, 1, "Windows has none"},
    };
    for (const auto& c : cases) {
        ClientProcess client(c.args);
        EXPECT_FALSE(client.ready());
        EXPECT_EQ(client.WaitForExit(), c.status);
        EXPECT_NE(client.Errors().find(c.message), std::string::npos) << client.Errors();
    }
}

}  // namespace
}  // namespace corvo::imclient_test
