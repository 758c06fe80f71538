#include "tools/corvo-sso/demo_command.h"

#include <chrono>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "module/module_exports.h"
#include "platform/child_process.h"
#include "platform/path_text.h"
#include "platform/private_session.h"
#include "platform/program_file.h"
#include "platform/registry_store.h"
#include "tools/corvo-sso/cli_common.h"
#include "tools/corvo-sso/inproc_server_lookup.h"
#include "tools/corvo-sso/json_text.h"
#include "tools/corvo-sso/login_commands.h"
#include "tools/corvo-sso/registration_commands.h"
#include "tools/corvo-sso/temp_directory.h"

namespace corvo::cli {
namespace {

namespace fs = std::filesystem;

// Sample accounts of both families and one sub-account.
const std::vector<std::string> kSampleAccounts = {"cnmarketdemo_alice", "cnbizchndemo_bob",
                                                  "cnmarketdemo_alice:support"};

fs::path ProgramDirectory() {
    const auto self = platform::RunningProgramPath();
    return self ? self->parent_path() : fs::path(".");
}

// Waits up to `timeout` for `file` to appear; false when `child` ends first.
bool WaitForFile(platform::ChildProcess& child, const fs::path& file,
                 std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        std::error_code ignored;
        if (fs::exists(file, ignored)) return true;
        if (child.Poll()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void Step(int n, const std::string& text) {
    std::cout << "\n[" << n << "] " << text << "\n";
}

int Failed(const std::string& text) {
    std::cout << "\nThe demo FAILED: " << text << "\n";
    return kExitFailed;
}

// Registers the module unless the user has registered the control already;
// unregisters at the end only what it registered itself.
class DemoRegistration {
  public:
    // False when the module could not be registered.
    bool Establish(bool privateRegistry) {
        InprocServerLocation existing;
        if (SUCCEEDED(FindInprocServer(platform::RegistryStore(), nullptr,
                                       module::kSSOLoginCtrlProgId, &existing, nullptr))) {
            Step(1, std::string("The login control (") + module::kSSOLoginCtrlProgId +
                        ") is already registered for this user\n    (module " +
                        existing.module_path +
                        "):\n    the demo uses that registration and leaves it in place.");
            state_ = State::kExisting;
            return true;
        }
        if (privateRegistry)
            Step(1, "Registering the login control's module in a private registry (" +
                        platform::RegistryStore::DefaultPath() + "),\n    as an installer would:");
        else
            Step(1, "Registering the login control's module for the current user (" +
                        platform::RegistryStore::DefaultPath() +
                        "),\n    as an installer would; the demo unregisters it at the end:");
        if (RunRegister("") != kExitOk) return false;
        state_ = State::kRegistered;
        return true;
    }
    ~DemoRegistration() {
        if (state_ == State::kRegistered) {
            std::cout << "\n[6] Unregistering the module:\n";
            RunUnregister("");
        } else if (state_ == State::kExisting) {
            std::cout << "\n[6] The existing registration stays as it was.\n";
        }
    }

  private:
    enum class State { kNone, kExisting, kRegistered };
    State state_ = State::kNone;
};

}  // namespace

int RunDemo() {
    TempDirectory temp;
    if (!temp.Create("corvo-demo-")) return Failed("cannot create a temporary directory");
    // The registry and the endpoint directory of this run only, where the
    // system allows it.
    platform::PrivateSession privateSession(temp.path());
    std::cout << "Corvo SSO demo: a web page logs in with an account that is already logged in\n"
                 "to the desktop IM client. A reference IM client stands in for the real one;\n"
              << (privateSession.privateRegistry()
                      ? "everything happens in a private temporary directory that is removed at "
                        "the end.\n"
                      : "its windows and blocks are this desktop session's, and whatever the demo\n"
                        "registers or starts is removed at the end.\n");
    const fs::path readyFile = temp.path() / "client.ready";

    DemoRegistration registration;
    if (!registration.Establish(privateSession.privateRegistry()))
        return Failed("the module could not be registered");

    const fs::path client = ProgramDirectory() / platform::ProgramFileName("corvo-imclient");
    Step(2, "Starting the reference IM client (" + platform::PathToUtf8(client) +
                ")\n    with three logged-in accounts; it publishes one window and one user block "
                "per account:");
    std::vector<std::string> args;
    for (const auto& account : kSampleAccounts) {
        std::cout << "      " << account << "\n";
        args.push_back("--account");
        args.push_back(account);
    }
    args.push_back("--ready-file");
    args.push_back(platform::PathToUtf8(readyFile));
    platform::ChildProcess process;
    std::string why;
    if (!process.Start(client, args, &why))
        return Failed("cannot start " + platform::PathToUtf8(client) + ": " + why);
    if (!WaitForFile(process, readyFile, std::chrono::seconds(30)))
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
    switch (process.Stop()) {
        case platform::ChildProcess::StopOutcome::kExitedOnRequest:
            break;
        case platform::ChildProcess::StopOutcome::kEnded:
            std::cout << "    (Without a console it cannot be asked: it was ended, and its "
                         "windows and\n    blocks went with it.)\n";
            break;
        default:
            return Failed("the IM client did not stop cleanly");
    }
    return kExitOk;
}

namespace {

constexpr const char* kChromiumPackages = "apt-get install -y chromium chromium-driver python3";
constexpr const char* kFirefoxPackages = "apt-get install -y firefox-esr python3";

}  // namespace

int RunBrowserDemo(const std::string& browser) {
    const bool firefox = browser == "firefox";
    const char* shown = firefox ? "Firefox" : "Chromium";
    const char* packages = firefox ? kFirefoxPackages : kChromiumPackages;
    std::cout << "Corvo SSO browser demo: a real page in headless " << shown
              << " lists the IM accounts\n"
                 "and logs in with the first one through the extension and corvo-sso-host.\n";
    const fs::path build = ProgramDirectory().parent_path();
    const fs::path script = build / "browser" / "driver" / "demo_browser.py";
    const fs::path extension = build / "browser" / "extension";
    std::error_code error;
    if (!fs::exists(script, error) || !fs::exists(extension / "manifest.json", error))
        return Failed("the extension is not built beside this program (" +
                      platform::PathToUtf8(extension) + ")");
    const auto python = platform::FindProgramOnPath("python3");
    const bool haveBrowser = firefox ? (platform::FindProgramOnPath("firefox-esr") ||
                                        platform::FindProgramOnPath("firefox"))
                                     : (platform::FindProgramOnPath("chromium") &&
                                        platform::FindProgramOnPath("chromedriver"));
    if (!python || !haveBrowser) {
        std::cout << "\nHeadless " << shown << (firefox ? "" : ", its driver")
                  << " and python3 are needed; install them with\n  " << packages << "\n";
        return kExitFailed;
    }
    const fs::path screenshot = fs::absolute("demo-browser.png");
    std::cout.flush();  // before the driver writes to the same terminal
    platform::ChildProcess driver;
    const int code = driver.Start(*python, {platform::PathToUtf8(script), "--tools",
                                            platform::PathToUtf8(ProgramDirectory()), "--extension",
                                            platform::PathToUtf8(extension), "--screenshot",
                                            platform::PathToUtf8(screenshot), "--browser", browser})
                         ? driver.Wait()
                         : -1;
    if (code == 3) {
        std::cout << "Install them with\n  " << packages << "\n";
        return kExitFailed;
    }
    if (code != 0) return Failed("the page's quick login did not complete");
    return kExitOk;
}

void AddDemoCommand(CLI::App& app, int& exitCode) {
    auto* demo = app.add_subcommand(
        "demo", "A quick login end to end against the bundled reference IM client");
    auto browser = std::make_shared<std::string>();
    auto* option = demo->add_option("--browser", *browser,
                                    "Log in from a real page in headless Chromium (the default) "
                                    "or Firefox through the extension; writes demo-browser.png")
                       ->expected(0, 1)
                       ->check(CLI::IsMember({"", "chromium", "firefox"}));
    demo->callback([&exitCode, browser, option] {
        const int code =
            option->count() ? RunBrowserDemo(browser->empty() ? "chromium" : *browser) : RunDemo();
        if (code == kExitOk)
            std::cout << "\nThe demo succeeded; everything it made has been removed.\n";
        exitCode = code;
    });
}

}  // namespace corvo::cli
