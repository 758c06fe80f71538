// The quick login and the user list against the reference IM client running
// as a child process, beside a raw floor built from the same primitives.
//
// Each benchmark runs a manual loop and reports the median and the 99th
// percentile of single calls as counters (microseconds), since a quick login
// is a round trip whose tail matters as much as its mean.
//
//   BM_QuickLogin      BeginSSOLogin (block, document, scrambling, find,
//                      send, the client's work, wait, read back)
//   BM_RawExchange     create block + event, find the window, send the line,
//                      the peer process opens the block and posts the
//                      event, wait, remove both: the transport alone, with a
//                      peer process that does nothing else
//   BM_GetUserList/N   GetUserList with N published accounts
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "control/exchange_block.h"
#include "control/exchange_name.h"
#include "control/quick_login.h"
#include "control/sso_login_ctrl.h"
#include "platform/com/bstr_ptr.h"
#include "platform/com/com_ptr.h"
#include "platform/im_window.h"
#include "platform/posix/im_endpoint_directory.h"
#include "platform/posix/named_event.h"
#include "platform/posix/published_window.h"
#include "tests/control/fake_site.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace corvo;

// A private endpoint directory and the reference client publishing `accounts`.
class ClientRun {
  public:
    explicit ClientRun(const std::vector<std::string>& accounts) {
        std::string pattern = (fs::temp_directory_path() / "corvo-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return;
        dir_ = pattern;
        setenv("CORVO_IM_DIR", (dir_ / "im").c_str(), 1);
        // Made as a client makes it, for the runs whose peer is not the client.
        platform::ImEndpointDirectory::Open(platform::ImEndpointDirectory::Mode::kCreateIfMissing);
        if (accounts.empty()) return;
        const fs::path ready = dir_ / "ready";
        std::string program = ClientPath();
        std::vector<std::string> args{program, "--ready-file", ready.string()};
        for (const auto& a : accounts) args.insert(args.end(), {"--account", a});
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
            return;
        }
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (!fs::exists(ready) && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ok_ = fs::exists(ready);
    }
    ~ClientRun() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status = 0;
            waitpid(pid_, &status, 0);
        }
        std::error_code ignored;
        if (!dir_.empty()) fs::remove_all(dir_, ignored);
        unsetenv("CORVO_IM_DIR");
    }
    bool ok() const { return ok_ || (pid_ < 0 && !dir_.empty()); }

  private:
    // $CORVO_IMCLIENT, else the client built beside this program's tree.
    static std::string ClientPath() {
        if (const char* path = std::getenv("CORVO_IMCLIENT")) return path;
        std::error_code error;
        fs::path self = fs::read_symlink("/proc/self/exe", error);
        return (self.parent_path().parent_path() / "tools" / "corvo-imclient").string();
    }
    fs::path dir_;
    pid_t pid_ = -1;
    bool ok_ = false;
};

ComPtr<ISSOLoginCtrl> HostedControl() {
    test::FakeSiteConfig config;
    config.address = test::AllowedPage();
    auto site = test::FakeSite::Create(std::move(config));
    ComPtr<ISSOLoginCtrl> ctrl;
    CSSOLoginCtrl::CreateInstance(nullptr, IID_ISSOLoginCtrl, ctrl.OutVoid());
    ComPtr<IObjectWithSite> withSite;
    ctrl->QueryInterface(IID_IObjectWithSite, withSite.OutVoid());
    withSite->SetSite(site->Unknown());
    return ctrl;
}

// Runs `call` `count` times (after a short warm-up) and reports median and
// p99 in microseconds; false when a call fails.
template <class Call>
void Measure(benchmark::State& state, int count, Call call) {
    for (int i = 0; i < 20; ++i) call();
    std::vector<double> us;
    us.reserve(size_t(count));
    for (auto _ : state) {
        for (int i = 0; i < count; ++i) {
            const auto start = Clock::now();
            if (!call()) {
                state.SkipWithError("a call failed");
                return;
            }
            us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
    }
    std::sort(us.begin(), us.end());
    state.counters["median_us"] = us[us.size() / 2];
    state.counters["p99_us"] = us[us.size() * 99 / 100];
    state.counters["calls"] = double(us.size());
}

void BM_QuickLogin(benchmark::State& state) {
    ClientRun client({"cnmarketbench"});
    if (!client.ok()) return state.SkipWithError("the reference client did not start");
    auto ctrl = HostedControl();
    ComPtr<ISSOData> data;
    ctrl->CreateSSOData(data.Out());
    BstrPtr key = BstrPtr::FromText(u"strKey_FullUserID"),
            value = BstrPtr::FromText(u"cnmarketbench");
    data->SetDataStr(key.Get(), value.Get());
    Measure(state, int(state.range(0)), [&] {
        ComPtr<ISSOData> result;
        return ctrl->BeginSSOLogin(0, data.Get(), result.Out()) == S_OK;
    });
}
BENCHMARK(BM_QuickLogin)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);

// The floor's peer: a forked child process, as the reference client is a
// process of its own, that publishes the window and, for each request line,
// opens the block and the event named in it and posts the event, nothing
// else. It stops when the parent closes `stopFd`'s other end.
[[noreturn]] void ServeFloorPeer(std::u16string_view title, int readyFd, int stopFd) {
    auto window = platform::PublishedWindow::Publish(platform::WindowKind::kTopLevel,
                                                     control::kImWindowClass, title);
    const char ready = window ? 1 : 0;
    if (write(readyFd, &ready, 1) != 1 || !window) _exit(1);
    close(readyFd);
    const platform::CopyDataHandler post = [](const platform::CopyDataMessage& m) -> int64_t {
        std::u16string line(m.data.size() / 2, u'\0');
        for (size_t i = 0; i < line.size(); ++i)
            line[i] = char16_t(m.data[2 * i] | (m.data[2 * i + 1] << 8));
        const size_t block = line.find(control::kBlockNameParameter);
        const size_t event = line.find(control::kEventNameParameter);
        const size_t end = line.find(control::kBlockSizeParameter);
        if (block == std::u16string::npos || event == std::u16string::npos ||
            end == std::u16string::npos)
            return 0;
        const size_t blockAt = block + control::kBlockNameParameter.size();
        const size_t eventAt = event + control::kEventNameParameter.size();
        const auto opened = control::ExchangeBlock::Open(
            line.substr(blockAt, event - blockAt), platform::SharedMemory::Access::kReadWrite);
        auto signal = platform::NamedEvent::Open(line.substr(eventAt, end - eventAt));
        if (!opened || !signal) return 0;
        signal->Set();
        return 1;
    };
    for (;;) {
        pollfd stop{stopFd, POLLIN, 0};
        if (poll(&stop, 1, 0) != 0) break;  // the parent closed its end (or it died)
        window->ServeOne(post, 50);
    }
    window->Unpublish();
    _exit(0);
}

// The floor: the same transport steps as a quick login (block and event
// created, window found, request line sent, the peer process opens the block
// and posts the event, wait, both removed) without the document, the
// scrambling and the client's own work. The peer is a separate process, like
// the reference client, so both pay the same cross-process costs.
void BM_RawExchange(benchmark::State& state) {
    ClientRun run({});
    const std::u16string_view title = u"cnmarketfloor";
    int ready[2], stop[2];
    if (pipe2(ready, O_CLOEXEC) != 0) return state.SkipWithError("pipe");
    if (pipe2(stop, O_CLOEXEC) != 0) return state.SkipWithError("pipe");
    const pid_t peer = fork();
    if (peer < 0) return state.SkipWithError("fork");
    if (peer == 0) {
        close(ready[0]);
        close(stop[1]);
        ServeFloorPeer(title, ready[1], stop[0]);
    }
    close(ready[1]);
    close(stop[0]);
    char started = 0;
    const bool published = read(ready[0], &started, 1) == 1 && started == 1;
    close(ready[0]);
    if (published) {
        Measure(state, int(state.range(0)), [&] {
            const std::u16string blockName = control::MakeExchangeName();
            const std::u16string eventName = control::MakeExchangeName();
            auto block = control::ExchangeBlock::Create(blockName);
            if (!block) return false;
            const std::vector<uint8_t> bytes = control::BuildLoginRequestPayload(
                control::BuildLoginRequestLine(blockName, eventName));
            const auto target =
                platform::FindImWindow(platform::ImWindowParent::kDesktop, platform::kNoWindow,
                                       control::kImWindowClass, &title);
            if (target == platform::kNoWindow) return false;
            auto event = platform::NamedEvent::Create(eventName);
            if (!event) return false;
            platform::SendCopyDataTimeout(target, control::kLoginRequestWParam,
                                          control::kLoginRequestDataKind, bytes,
                                          control::kLoginRequestSendBound);
            return event->Wait(control::kLoginAnswerWaitMs) ==
                   platform::NamedEvent::WaitResult::kSignaled;
        });
    } else {
        state.SkipWithError("cannot publish the peer window");
    }
    close(stop[1]);
    int status = 0;
    waitpid(peer, &status, 0);
}
BENCHMARK(BM_RawExchange)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_GetUserList(benchmark::State& state) {
    std::vector<std::string> accounts;
    for (int i = 0; i < state.range(0); ++i)
        accounts.push_back((i % 2 ? "cnbizchnuser" : "cnmarketuser") + std::to_string(i));
    ClientRun client(accounts);
    if (!client.ok()) return state.SkipWithError("the reference client did not start");
    auto ctrl = HostedControl();
    Measure(state, 200, [&] {
        ComPtr<ISSODataArray> array;
        ULONG size = 0;
        return ctrl->GetUserList(0, 1, array.Out()) == S_OK && array->GetSize(&size) == S_OK &&
               size == ULONG(accounts.size());
    });
}
BENCHMARK(BM_GetUserList)->Arg(1)->Arg(10)->Arg(100)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
