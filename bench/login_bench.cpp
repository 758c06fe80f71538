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
//                      the peer posts the event, wait, remove both: the
//                      transport alone, with a peer that does nothing else
//   BM_GetUserList/N   GetUserList with N published accounts
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "control/exchange_block.h"
#include "control/exchange_name.h"
#include "control/sso_login_ctrl.h"
#include "platform/com/bstr_ptr.h"
#include "platform/com/com_ptr.h"
#include "platform/posix/im_window.h"
#include "platform/posix/named_event.h"
#include "platform/posix/published_window.h"
#include "tests/control/fake_site.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace corvo;

constexpr std::u16string_view kClass = u"Quorix{416219FA-7221-43cf-A056-359CA4BC9FEA}";

// A private endpoint directory and the reference client publishing `accounts`.
class ClientRun {
  public:
    explicit ClientRun(const std::vector<std::string>& accounts) {
        std::string pattern = (fs::temp_directory_path() / "corvo-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return;
        dir_ = pattern;
        setenv("CORVO_IM_DIR", (dir_ / "im").c_str(), 1);
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

// The floor: the same transport steps with a peer (a thread of this process)
// that only opens the event named in the line and posts it.
void BM_RawExchange(benchmark::State& state) {
    ClientRun run({});
    const std::u16string_view title = u"cnmarketfloor";
    auto window =
        platform::PublishedWindow::Publish(platform::WindowKind::kTopLevel, kClass, title);
    if (!window) return state.SkipWithError("cannot publish the peer window");
    std::atomic<bool> stop{false};
    std::thread peer([&] {
        const platform::CopyDataHandler post = [](const platform::CopyDataMessage& m) -> int64_t {
            std::u16string line(m.data.size() / 2, u'\0');
            for (size_t i = 0; i < line.size(); ++i)
                line[i] = char16_t(m.data[2 * i] | (m.data[2 * i + 1] << 8));
            const size_t at = line.find(u"&ename=");
            const size_t end = line.find(u"&fsize=");
            if (at == std::u16string::npos || end == std::u16string::npos) return 0;
            auto event = platform::NamedEvent::Open(line.substr(at + 7, end - at - 7));
            if (event) event->Set();
            return 1;
        };
        while (!stop) window->ServeOne(post, 50);
    });
    Measure(state, int(state.range(0)), [&] {
        const std::u16string blockName = control::MakeExchangeName();
        const std::u16string eventName = control::MakeExchangeName();
        auto block = control::ExchangeBlock::Create(blockName);
        if (!block) return false;
        const std::u16string line = std::u16string(kClass) + u"Corvo:reqssologin?&fname=" +
                                    blockName + u"&ename=" + eventName + u"&fsize=8208";
        std::vector<uint8_t> bytes;
        for (char16_t c : line) bytes.insert(bytes.end(), {uint8_t(c), uint8_t(c >> 8)});
        bytes.insert(bytes.end(), {0, 0});
        const auto target = platform::FindImWindow(platform::ImWindowParent::kDesktop,
                                                   platform::kNoWindow, kClass, &title);
        if (target == platform::kNoWindow) return false;
        auto event = platform::NamedEvent::Create(eventName);
        if (!event) return false;
        platform::SendCopyDataTimeout(target, 0, 1, bytes, std::chrono::milliseconds(2000));
        return event->Wait(3000) == platform::NamedEvent::WaitResult::kSignaled;
    });
    stop = true;
    peer.join();
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
