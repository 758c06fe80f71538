// Shared pieces of the quick-login, user-list and client-version tests: a
// private endpoint directory per test, a fake IM client that answers one
// request on its own thread through the same block and event code as the
// control, and the client's published user blocks.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "control/exchange_block.h"
#include "control/exchange_name.h"
#include "control/quick_login.h"
#include "data/xparam_sl_helper.h"
#include "platform/com/bstr_ptr.h"
#include "platform/com/com_ptr.h"
#include "platform/posix/exchange_object_directory.h"
#include "platform/posix/named_event.h"
#include "platform/posix/published_window.h"
#include "platform/posix/shared_memory_name.h"
#include "tests/control/control_fixture.h"

namespace corvo::test {

// Every test gets its own endpoint directory, and checks that the objects it
// made are gone at its end (ControlTest).
class QuickLoginTest : public ControlTest {
  protected:
    void SetUp() override {
        ControlTest::SetUp();
        char templ[] = "/tmp/corvo-qlogin-XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        root_ = templ;
        setenv("CORVO_IM_DIR", (root_ + "/im").c_str(), 1);
        ASSERT_TRUE(platform::ImEndpointDirectory::Open(
            platform::ImEndpointDirectory::Mode::kCreateIfMissing));
    }
    void TearDown() override {
        unsetenv("CORVO_IM_DIR");
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
        ControlTest::TearDown();
    }
    std::string root_;
};

// Whether the exchange-object directory holds the block or the event of that
// name (both share one namespace).
inline bool ShmObjectExists(std::u16string_view name) {
    const auto file = platform::ExchangeObjectFileName(name);
    return file && std::filesystem::exists(platform::ExchangeObjectDirectoryPath() + "/" + *file);
}
inline bool EventObjectExists(std::u16string_view name) {
    return ShmObjectExists(name);
}

inline BstrPtr Text(std::u16string_view s) {
    return BstrPtr::FromText(s);
}

inline std::u16string GetStr(ISSOData* data, std::u16string_view name) {
    BstrPtr value;
    data->GetDataStr(Text(name).Get(), value.Out());
    return std::u16string(value.View());
}
inline void SetStr(ISSOData* data, std::u16string_view name, std::u16string_view value) {
    ASSERT_EQ(data->SetDataStr(Text(name).Get(), Text(value).Get()), S_OK);
}

// How the fake client answers a request.
enum class AnswerMode {
    kEncoded,    // a login document with encoded fields, as a client writes it
    kPlain,      // bBase64Encoded 0, fields as they are
    kWrongKey,   // scrambled with another account's key
    kBadHeader,  // a capacity that is not a multiple of 8
    kUntouched,  // the block is left as the control wrote it
};

struct ClientBehaviour {
    AnswerMode mode = AnswerMode::kEncoded;
    int32_t result = 1;
    std::u16string url = u"https://login.example/continue?t=1";
    bool signal = true;
};

// The request as the client saw it.
struct SeenRequest {
    uint64_t wParam = 0;
    uint64_t dwData = 0;
    std::vector<uint8_t> payload;
    std::u16string line;  // the payload without its terminating zero
    std::u16string blockName;
    std::u16string eventName;
    std::u16string size;
    std::u16string document;  // the request document read from the block
    // What the control made, as the client found it while the call waited.
    struct stat blockStat {};
    struct stat eventStat {};
};

// The IM client of one account: a top-level window titled with the account,
// published before the constructor returns, and a thread that serves at most
// one request until the client is finished.
class FakeImClient {
  public:
    FakeImClient(std::u16string userId, ClientBehaviour behaviour)
        : userId_(std::move(userId)), behaviour_(std::move(behaviour)) {
        window_ = platform::PublishedWindow::Publish(platform::WindowKind::kTopLevel,
                                                     control::kImWindowClass, userId_);
        EXPECT_TRUE(window_);
        if (window_) thread_ = std::thread([this] { Serve(); });
    }
    ~FakeImClient() { Finish(); }

    // Stops serving; afterwards the requests seen can be read.
    const std::vector<SeenRequest>& Finish() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        window_.reset();
        return seen_;
    }

  private:
    void Serve() {
        while (!stop_ && seen_.empty()) {
            window_->ServeOne(
                [this](const platform::CopyDataMessage& m) {
                    Answer(m);
                    return int64_t{1};
                },
                20);
        }
    }

    static std::u16string Between(std::u16string_view line, std::u16string_view from,
                                  std::u16string_view to) {
        const size_t start = line.find(from);
        if (start == std::u16string_view::npos) return {};
        const size_t begin = start + from.size();
        const size_t end = to.empty() ? line.size() : line.find(to, begin);
        return std::u16string(line.substr(begin, end - begin));
    }

    void Answer(const platform::CopyDataMessage& m) {
        SeenRequest seen;
        seen.wParam = m.wParam;
        seen.dwData = m.dwData;
        seen.payload = m.data;
        for (size_t i = 0; i + 1 < m.data.size(); i += 2)
            seen.line.push_back(char16_t(m.data[i] | (m.data[i + 1] << 8)));
        if (!seen.line.empty() && seen.line.back() == 0) seen.line.pop_back();
        seen.blockName = Between(seen.line, u"&fname=", u"&ename=");
        seen.eventName = Between(seen.line, u"&ename=", u"&fsize=");
        seen.size = Between(seen.line, u"&fsize=", u"");
        for (const auto& [name, st] : {std::pair{seen.blockName, &seen.blockStat},
                                       std::pair{seen.eventName, &seen.eventStat}})
            if (const auto file = platform::ExchangeObjectFileName(name))
                lstat((platform::ExchangeObjectDirectoryPath() + "/" + *file).c_str(), st);

        auto block = control::ExchangeBlock::Open(seen.blockName,
                                                  platform::SharedMemory::Access::kReadWrite);
        if (block) {
            control::ReadBlockDocument(*block, userId_, &seen.document);
            WriteAnswer(*block);
        }
        if (behaviour_.signal) {
            if (auto event = platform::NamedEvent::Open(seen.eventName)) event->Set();
        }
        seen_.push_back(std::move(seen));
    }

    void WriteAnswer(const control::ExchangeBlock& block) {
        if (behaviour_.mode == AnswerMode::kUntouched) return;
        srlz::SSOLoginRecord answer;
        answer.fulluserid = userId_;
        answer.result = behaviour_.result;
        answer.realSSOUrl = behaviour_.url;
        srlz::XParamSLHelper helper;
        if (behaviour_.mode != AnswerMode::kPlain) helper.SetFieldEncoding(answer, true);
        std::u16string text;
        helper.WriteLoginDocument(answer, text);
        const std::u16string key =
            behaviour_.mode == AnswerMode::kWrongKey ? userId_ + u"x" : userId_;
        EXPECT_EQ(control::WriteBlockDocument(block, text, key), control::BlockStatus::kOk);
        if (behaviour_.mode == AnswerMode::kBadHeader) {
            const control::BlockHeader bad{16, 8190, 10, 0};
            std::array<uint8_t, control::kBlockHeaderSize> bytes{};
            control::StoreBlockHeader(bad, bytes);
            EXPECT_TRUE(block.memory().WriteAt(0, bytes));
        }
    }

    std::u16string userId_;
    ClientBehaviour behaviour_;
    std::optional<platform::PublishedWindow> window_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::vector<SeenRequest> seen_;
};

// A user block as the client publishes it for `title`, with `record` encoded.
inline control::ExchangeBlock PublishUserBlock(std::u16string_view title,
                                               srlz::SSOUserRecord record) {
    srlz::XParamSLHelper helper;
    helper.SetFieldEncoding(record, true);
    std::u16string text;
    EXPECT_TRUE(helper.WriteUserDocument(record, text));
    auto block = control::ExchangeBlock::Create(control::MakeUserBlockName(title));
    EXPECT_TRUE(block);
    EXPECT_EQ(control::WriteBlockDocument(*block, text, title), control::BlockStatus::kOk);
    return std::move(*block);
}

}  // namespace corvo::test
