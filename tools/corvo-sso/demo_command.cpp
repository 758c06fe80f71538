#include "tools/corvo-sso/demo_command.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tools/corvo-sso/cli_common.h"
#include "tools/corvo-sso/json_text.h"
#include "tools/corvo-sso/login_commands.h"
#include "tools/corvo-sso/registration_commands.h"

extern char** environ;

namespace corvo::cli {
namespace {

namespace fs = std::filesystem;

// Sample accounts of both families and one sub-account.
const std::vector<std::string> kSampleAccounts = {"cnmarketdemo_alice", "cnbizchndemo_bob",
                                                  "cnmarketdemo_alice:support"};

// A temporary directory, removed with everything in it.
class TempDirectory {
  public:
    bool Create() {
        std::string pattern = (fs::temp_directory_path() / "corvo-demo-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) return false;
        path_ = pattern;
        return true;
    }
    ~TempDirectory() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

// An environment variable set for the demo's lifetime, restored afterwards.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

// The reference client as a child process, stopped (SIGTERM) and reaped when
// the holder goes away.
class ClientProcess {
  public:
    bool Start(const fs::path& program, const std::vector<std::string>& args) {
        std::vector<char*> argv;
        std::string name = program.string();
        argv.push_back(name.data());
        std::vector<std::string> copies(args);
        for (auto& a : copies) argv.push_back(a.data());
        argv.push_back(nullptr);
        return ::posix_spawn(&pid_, name.c_str(), nullptr, nullptr, argv.data(), environ) == 0;
    }
    // Waits up to `timeout` for `file` to appear; false when the client exits first.
    bool WaitForFile(const fs::path& file, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            std::error_code ignored;
            if (fs::exists(file, ignored)) return true;
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    // True when the client stopped cleanly on SIGTERM.
    bool Stop() {
        if (pid_ <= 0) return false;
        ::kill(pid_, SIGTERM);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    ~ClientProcess() {
        if (pid_ > 0) Stop();
    }

  private:
    pid_t pid_ = -1;
};

fs::path ProgramDirectory() {
    std::error_code error;
    fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path(".") : self.parent_path();
}

void Step(int n, const std::string& text) {
    std::cout << "\n[" << n << "] " << text << "\n";
}

int Failed(const std::string& text) {
    std::cout << "\nThe demo FAILED: " << text << "\n";
    return kExitFailed;
}

}  // namespace

int RunDemo() {
    std::cout
        << "Corvo SSO demo: a web page logs in with an account that is already logged in\n"
           "to the desktop IM client. A reference IM client stands in for the real one;\n"
           "everything happens in a private temporary directory that is removed at the end.\n";
    TempDirectory temp;
    if (!temp.Create()) return Failed("cannot create a temporary directory");
    const fs::path imDir = temp.path() / "im";
    const fs::path readyFile = temp.path() / "client.ready";
    // The endpoint directory and the registry of this run only.
    ScopedEnv imEnv("CORVO_IM_DIR", imDir.string());
    ScopedEnv registryEnv("CORVO_REGISTRY", (temp.path() / "registry.reg").string());

    Step(1, "Registering the login control's module in a private registry (" +
                (temp.path() / "registry.reg").string() + "),\n    as an installer would:");
    if (RunRegister("") != kExitOk) return Failed("the module could not be registered");
    struct Unregister {
        ~Unregister() {
            std::cout << "\n[6] Unregistering the module:\n";
            RunUnregister("");
        }
    } unregister;

    const fs::path client = ProgramDirectory() / "corvo-imclient";
    Step(2, "Starting the reference IM client (" + client.string() +
                ")\n    with three logged-in accounts; it publishes one window and one user block "
                "per account:");
    std::vector<std::string> args;
    for (const auto& account : kSampleAccounts) {
        std::cout << "      " << account << "\n";
        args.push_back("--account");
        args.push_back(account);
    }
    args.push_back("--ready-file");
    args.push_back(readyFile.string());
    ClientProcess process;
    if (!process.Start(client, args)) return Failed("cannot start " + client.string());
    if (!process.WaitForFile(readyFile, std::chrono::seconds(10)))
        return Failed("the IM client did not come up");

    LoginSession session;
    std::string message;
    HRESULT hr = session.Open("", -1, &message);
    if (FAILED(hr)) return ReportFailure("creating the login control", hr, message);

    Step(3,
         "The page asks the control which accounts are logged in (GetUserList, all\n"
         "    families, sub-accounts included). The control finds the client's windows\n"
         "    and reads each account's user block:");
    std::vector<UserEntry> users;
    hr = ListUsers(session.control(), 0, 1, &users);
    if (FAILED(hr)) return ReportFailure("GetUserList", hr);
    PrintUserTable(std::cout, users);
    if (users.size() != kSampleAccounts.size()) return Failed("not every account was listed");

    std::u16string version;
    hr = QueryClientVersion(session.control(), &version);
    if (FAILED(hr)) return ReportFailure("GetQXClientVersion", hr);
    Step(4,
         "The installed client's version, from configurations/staticconfig.xml beside the\n"
         "    module (GetQXClientVersion): " +
             (version.empty() ? std::string("(unknown)") : Utf16ToUtf8Lenient(version)));

    const std::u16string& first = users.front()[0];
    Step(5, "Quick login with the first account, " + Utf16ToUtf8Lenient(first) +
                " (BeginSSOLogin): the control writes a\n"
                "    request into a new shared-memory block, sends its name to the account's "
                "window\n    and waits for the client's answer:");
    LoginAnswer answer;
    hr = QuickLogin(session.control(), first, 0, &answer);
    if (FAILED(hr)) return ReportFailure("BeginSSOLogin", hr);
    std::cout << "    result (strKey_GOResult):     " << Utf16ToUtf8Lenient(answer.goResult) << "\n"
              << "    continue at (strKey_ResultURL): " << Utf16ToUtf8Lenient(answer.resultUrl)
              << "\n    The browser would now go on to that address, logged in.\n";
    if (answer.goResult != u"1") return Failed("the client did not report success");

    std::cout << "\nStopping the IM client; it removes its windows and blocks.\n";
    if (!process.Stop()) return Failed("the IM client did not stop cleanly");
    return kExitOk;
}

namespace {

// Runs `args` (found on PATH) to its end; its exit code, -1 when it could not
// be started or did not exit normally.
int RunToEnd(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::vector<std::string> copies(args);
    for (auto& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool OnPath(const char* program) {
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "/usr/bin:/bin";
    while (!rest.empty()) {
        const size_t colon = rest.find(':');
        const fs::path dir(std::string(rest.substr(0, colon)));
        if (::access((dir / program).c_str(), X_OK) == 0) return true;
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return false;
}

constexpr const char* kBrowserPackages = "apt-get install -y chromium chromium-driver python3";

}  // namespace

int RunBrowserDemo() {
    std::cout << "Corvo SSO browser demo: a real page in headless Chromium lists the IM accounts\n"
                 "and logs in with the first one through the extension and corvo-sso-host.\n";
    const fs::path build = ProgramDirectory().parent_path();
    const fs::path script = build / "browser" / "driver" / "demo_browser.py";
    const fs::path extension = build / "browser" / "extension";
    std::error_code error;
    if (!fs::exists(script, error) || !fs::exists(extension / "manifest.json", error))
        return Failed("the extension is not built beside this program (" + extension.string() +
                      ")");
    if (!OnPath("python3") || !OnPath("chromium") || !OnPath("chromedriver")) {
        std::cout << "\nHeadless Chromium, its driver and python3 are needed; install them with\n  "
                  << kBrowserPackages << "\n";
        return kExitFailed;
    }
    const fs::path screenshot = fs::absolute("demo-browser.png");
    std::cout.flush();  // before the driver writes to the same terminal
    const int code =
        RunToEnd({"python3", script.string(), "--tools", ProgramDirectory().string(), "--extension",
                  extension.string(), "--screenshot", screenshot.string()});
    if (code == 3) {
        std::cout << "Install them with\n  " << kBrowserPackages << "\n";
        return kExitFailed;
    }
    if (code != 0) return Failed("the page's quick login did not complete");
    return kExitOk;
}

void AddDemoCommand(CLI::App& app, int& exitCode) {
    auto* demo = app.add_subcommand(
        "demo", "A quick login end to end against the bundled reference IM client");
    auto browser = std::make_shared<bool>(false);
    demo->add_flag("--browser", *browser,
                   "Log in from a real page in headless Chromium through the extension; writes "
                   "demo-browser.png");
    demo->callback([&exitCode, browser] {
        const int code = *browser ? RunBrowserDemo() : RunDemo();
        if (code == kExitOk)
            std::cout << "\nThe demo succeeded; everything it made has been removed.\n";
        exitCode = code;
    });
}

}  // namespace corvo::cli
