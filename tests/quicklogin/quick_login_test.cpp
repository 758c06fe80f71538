// BeginSSOLogin against an in-process fake IM client: the request line and
// payload, the answers the control accepts and rejects, the failure paths,
// and that nothing outlives a call.
#include "control/quick_login.h"

#include <chrono>

#include "tests/quicklogin/quicklogin_test_support.h"

namespace corvo::test {
namespace {

constexpr std::u16string_view kUser = u"cnmarketalice";

// The platform's transport with every call recorded; the wait for the
// completion signal does not block (the fake client signals before it
// answers the message, so a signalled event is already signalled).
class RecordingTransport final : public control::LoginTransport {
  public:
    platform::ImWindowHandle FindAccountWindow(std::u16string_view id) override {
        ++finds;
        return platform_.FindAccountWindow(id);
    }
    std::optional<platform::NamedEvent> CreateCompletionEvent(std::u16string_view name) override {
        ++events;
        return platform_.CreateCompletionEvent(name);
    }
    void SendRequest(platform::ImWindowHandle window, std::span<const uint8_t> payload,
                     std::chrono::milliseconds bound) override {
        ++sends;
        sendBound = bound;
        platform_.SendRequest(window, payload, bound);
    }
    bool WaitForCompletion(platform::NamedEvent& event, uint32_t timeoutMs) override {
        waitMs = timeoutMs;
        return platform_.WaitForCompletion(event, 0);
    }

    int finds = 0, events = 0, sends = 0;
    std::chrono::milliseconds sendBound{0};
    uint32_t waitMs = 0;

  private:
    control::PlatformLoginTransport platform_;
};

// Names made for one call, remembered so that the test can look for them.
struct RecordedNames {
    std::vector<std::u16string> made;
    control::ExchangeNameSource Source() {
        return [this] {
            made.push_back(control::MakeExchangeName());
            return made.back();
        };
    }
};

std::vector<uint8_t> Utf16LeWithZero(std::u16string_view s) {
    std::vector<uint8_t> bytes;
    for (char16_t c : s) {
        bytes.push_back(uint8_t(c & 0xFF));
        bytes.push_back(uint8_t(c >> 8));
    }
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

TEST(RequestLine, IsTheFixedPiecesWithNothingBetween) {
    EXPECT_EQ(control::BuildLoginRequestLine(u"{B}", u"{E}"),
              u"Quorix{416219FA-7221-43cf-A056-359CA4BC9FEA}Corvo:reqssologin?"
              u"&fname={B}&ename={E}&fsize=8208");
    const std::u16string line = control::BuildLoginRequestLine(
        u"{0F8E3A3C-1111-4000-8000-000000000001}", u"{0F8E3A3C-2222-4000-8000-000000000002}");
    EXPECT_EQ(line.size(), 44u + 18 + 7 + 38 + 7 + 38 + 7 + 4);
    const auto payload = control::BuildLoginRequestPayload(line);
    EXPECT_EQ(payload.size(), (line.size() + 1) * 2);  // cbData counts the terminating zero
    EXPECT_EQ(payload, Utf16LeWithZero(line));
    EXPECT_EQ(control::BuildLoginRequestPayload(u"\u00E9A"),
              (std::vector<uint8_t>{0xE9, 0x00, 0x41, 0x00, 0x00, 0x00}));
}

class QuickLogin : public QuickLoginTest {
  protected:
    // A page's data object naming the account.
    ComPtr<ISSOData> PageData(HostedControl& h, std::u16string_view user = kUser) {
        ComPtr<ISSOData> data;
        EXPECT_EQ(h.ctrl->CreateSSOData(data.Out()), S_OK);
        SetStr(data.Get(), u"strKey_FullUserID", user);
        SetStr(data.Get(), u"strKey_PageOwn", u"kept");
        return data;
    }
    srlz::XParamSLHelper helper_;
};

TEST_F(QuickLogin, SuccessWritesIntoTheCallersOwnObject) {
    HostedControl h(AllowedPage());
    ComPtr<ISSOData> data = PageData(h);
    FakeImClient client(std::u16string(kUser), {});

    const ULONG before = data->AddRef() - 1;
    data->Release();
    ISSOData* out = nullptr;
    ASSERT_EQ(h.ctrl->BeginSSOLogin(0, data.Get(), &out), S_OK);
    ComPtr<ISSOData> result = ComPtr<ISSOData>::Adopt(out);
    EXPECT_EQ(out, data.Get());
    EXPECT_EQ(data->AddRef() - 1, before + 1);  // one reference added for the caller
    data->Release();

    EXPECT_EQ(GetStr(data.Get(), u"strKey_GOResult"), u"1");
    EXPECT_EQ(GetStr(data.Get(), u"strKey_ResultURL"), u"https://login.example/continue?t=1");
    EXPECT_EQ(GetStr(data.Get(), u"strKey_PageOwn"), u"kept");
    EXPECT_EQ(GetStr(data.Get(), u"strKey_FullUserID"), kUser);

    const auto& seen = client.Finish();
    ASSERT_EQ(seen.size(), 1u);
    const SeenRequest& r = seen[0];
    EXPECT_EQ(r.wParam, 0u);
    EXPECT_EQ(r.dwData, 1u);
    EXPECT_EQ(r.size, u"8208");
    EXPECT_EQ(r.blockName.size(), 38u);
    EXPECT_EQ(r.eventName.size(), 38u);
    EXPECT_NE(r.blockName, r.eventName);
    EXPECT_EQ(r.line, u"Quorix{416219FA-7221-43cf-A056-359CA4BC9FEA}Corvo:reqssologin?&fname=" +
                          r.blockName + u"&ename=" + r.eventName + u"&fsize=8208");
    EXPECT_EQ(r.payload, Utf16LeWithZero(r.line));
    std::u16string request;
    ASSERT_TRUE(helper_.BuildLoginRequestText(kUser, u"1.0.0.1", request));
    EXPECT_EQ(r.document, request);

    // Block and event belonged to the user, private to it, and existed for
    // the call only.
    EXPECT_TRUE(S_ISREG(r.blockStat.st_mode));
    EXPECT_TRUE(S_ISFIFO(r.eventStat.st_mode));
    for (const struct stat& st : {r.blockStat, r.eventStat}) {
        EXPECT_EQ(st.st_uid, geteuid());
        EXPECT_EQ(st.st_mode & 07777, 0600u);
    }
    EXPECT_FALSE(ShmObjectExists(r.blockName));
    EXPECT_FALSE(EventObjectExists(r.eventName));
}

// Answers the control rejects: the call fails, the out value stays null and
// the page's object is not written, although the client was asked.
TEST_F(QuickLogin, RejectedAnswersWriteNothing) {
    struct Case {
        const char* name;
        ClientBehaviour client;
        LONG lReserved;
    };
    const Case cases[] = {
        {"result 0", {AnswerMode::kEncoded, 0}, 0},
        {"result 2", {AnswerMode::kEncoded, 2}, 0},
        {"result 1 but lReserved 1", {AnswerMode::kEncoded, 1}, 1},
        {"result 1 but lReserved -1", {AnswerMode::kEncoded, 1}, -1},
        {"answer scrambled with another key", {AnswerMode::kWrongKey, 1}, 0},
        {"answer header inconsistent", {AnswerMode::kBadHeader, 1}, 0},
        {"block left as the request", {AnswerMode::kUntouched, 1}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HostedControl h(AllowedPage());
        ComPtr<ISSOData> data = PageData(h);
        FakeImClient client(std::u16string(kUser), c.client);
        RecordingTransport transport;
        RecordedNames names;
        ISSOData* out = nullptr;
        EXPECT_EQ(control::BeginQuickLogin(helper_, c.lReserved, data.Get(), &out, transport,
                                           names.Source()),
                  E_FAIL);
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(client.Finish().size(), 1u);  // the client was asked all the same
        EXPECT_EQ(GetStr(data.Get(), u"strKey_GOResult"), u"");
        EXPECT_EQ(GetStr(data.Get(), u"strKey_ResultURL"), u"");
        for (const auto& name : names.made) {
            EXPECT_FALSE(ShmObjectExists(name));
            EXPECT_FALSE(EventObjectExists(name));
        }
    }
}

TEST_F(QuickLogin, PlainAnswerIsUsedUnchanged) {
    HostedControl h(AllowedPage());
    ComPtr<ISSOData> data = PageData(h);
    FakeImClient client(std::u16string(kUser), {AnswerMode::kPlain, 1, u"plain://not base64"});
    RecordingTransport transport;
    ComPtr<ISSOData> out;
    ASSERT_EQ(control::BeginQuickLogin(helper_, 0, data.Get(), out.Out(), transport,
                                       [] { return control::MakeExchangeName(); }),
              S_OK);
    EXPECT_EQ(GetStr(data.Get(), u"strKey_ResultURL"), u"plain://not base64");
    // The fixed bounds reach the transport.
    EXPECT_EQ(transport.sendBound, std::chrono::milliseconds(2000));
    EXPECT_EQ(transport.waitMs, 3000u);
}

TEST_F(QuickLogin, ClientThatNeverSignalsFails) {
    HostedControl h(AllowedPage());
    ComPtr<ISSOData> data = PageData(h);
    ClientBehaviour silent;
    silent.signal = false;
    FakeImClient client(std::u16string(kUser), silent);
    RecordingTransport transport;
    RecordedNames names;
    const auto result = control::RunLoginExchange(helper_, kUser, transport, names.Source());
    EXPECT_EQ(result.status, control::LoginExchangeStatus::kNotSignalled);
    EXPECT_EQ(transport.waitMs, 3000u);
    EXPECT_EQ(client.Finish().size(), 1u);
    ASSERT_EQ(names.made.size(), 2u);
    EXPECT_FALSE(ShmObjectExists(names.made[0]));
    EXPECT_FALSE(EventObjectExists(names.made[1]));
}

TEST_F(QuickLogin, NoWindowFailsBeforeAnyEventOrMessage) {
    HostedControl h(AllowedPage());
    ComPtr<ISSOData> data = PageData(h, u"cnmarketnobody");
    FakeImClient other(u"cnmarketsomeoneelse", {});
    RecordingTransport transport;
    RecordedNames names;
    ISSOData* out = nullptr;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(control::BeginQuickLogin(helper_, 0, data.Get(), &out, transport, names.Source()),
              E_FAIL);
    // Returned before the event wait could have run.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3000));
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(transport.finds, 1);
    EXPECT_EQ(transport.events, 0);
    EXPECT_EQ(transport.sends, 0);
    EXPECT_TRUE(other.Finish().empty());
    ASSERT_EQ(names.made.size(), 2u);  // both names are made before the window is looked up
    EXPECT_FALSE(ShmObjectExists(names.made[0]));
    EXPECT_FALSE(EventObjectExists(names.made[1]));

    // The same through the control and the platform's transport.
    const auto again = std::chrono::steady_clock::now();
    EXPECT_EQ(h.ctrl->BeginSSOLogin(0, data.Get(), &out), E_FAIL);
    EXPECT_LT(std::chrono::steady_clock::now() - again, std::chrono::milliseconds(3000));
    EXPECT_EQ(out, nullptr);
}

TEST_F(QuickLogin, EventNamedLikeTheBlockCannotBeCreated) {
    FakeImClient client(std::u16string(kUser), {});
    RecordingTransport transport;
    // As when no GUID can be made and both names come from the same millisecond.
    const std::u16string same = u"{926732A3-3744-4276-8586-E157C08E1F5D}12345";
    const auto result = control::RunLoginExchange(helper_, kUser, transport, [&] { return same; });
    EXPECT_EQ(result.status, control::LoginExchangeStatus::kEventFailed);
    EXPECT_EQ(transport.sends, 0);
    EXPECT_TRUE(client.Finish().empty());
    EXPECT_FALSE(ShmObjectExists(same));
}

TEST_F(QuickLogin, RequestTooLongForTheBlockFailsBeforeTheWindowIsSought) {
    const std::u16string longUser = u"cnmarket" + std::u16string(6200, u'x');
    RecordingTransport transport;
    RecordedNames names;
    const auto result = control::RunLoginExchange(helper_, longUser, transport, names.Source());
    EXPECT_EQ(result.status, control::LoginExchangeStatus::kWriteFailed);
    EXPECT_EQ(transport.finds, 0);
    ASSERT_EQ(names.made.size(), 1u);
    EXPECT_FALSE(ShmObjectExists(names.made[0]));
}

TEST_F(QuickLogin, BlockThatCannotBeCreatedFails) {
    RecordingTransport transport;
    const auto result =
        control::RunLoginExchange(helper_, kUser, transport, [] { return std::u16string(); });
    EXPECT_EQ(result.status, control::LoginExchangeStatus::kBlockFailed);
    EXPECT_EQ(transport.finds, 0);
}

TEST_F(QuickLogin, MissingOrEmptyAccountIsInvalidArgument) {
    HostedControl h(AllowedPage());
    struct Case {
        const char* name;
        std::optional<std::u16string> id;  // nothing: the key is not set
    };
    const Case cases[] = {
        {"missing", std::nullopt},
        {"empty", std::u16string()},
        {"NUL first", std::u16string(u"\0cnmarketalice", 14)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ComPtr<ISSOData> data;
        ASSERT_EQ(h.ctrl->CreateSSOData(data.Out()), S_OK);
        if (c.id) SetStr(data.Get(), u"strKey_FullUserID", *c.id);
        RecordingTransport transport;
        RecordedNames names;
        ISSOData* out = reinterpret_cast<ISSOData*>(0x5A5A);
        EXPECT_EQ(h.ctrl->BeginSSOLogin(0, data.Get(), &out), E_INVALIDARG);
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(control::BeginQuickLogin(helper_, 0, data.Get(), &out, transport, names.Source()),
                  E_INVALIDARG);
        EXPECT_TRUE(names.made.empty());
        EXPECT_EQ(transport.finds, 0);
    }
}

TEST_F(QuickLogin, NullArgumentsLeaveTheOutValueUntouched) {
    HostedControl h(AllowedPage());
    ComPtr<ISSOData> data = PageData(h);
    ISSOData* out = reinterpret_cast<ISSOData*>(0x5A5A);
    EXPECT_EQ(h.ctrl->BeginSSOLogin(0, nullptr, &out), E_INVALIDARG);
    EXPECT_EQ(out, reinterpret_cast<ISSOData*>(0x5A5A));
    EXPECT_EQ(h.ctrl->BeginSSOLogin(0, data.Get(), nullptr), E_INVALIDARG);
}

}  // namespace
}  // namespace corvo::test
