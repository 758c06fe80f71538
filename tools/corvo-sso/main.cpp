// corvo-sso: hosts the login control the way a browser hosts it for a page,
// and calls it the way the page's script does (IDispatch, by name). The
// control comes from the module registered in the current user's registry
// (`corvo-sso register` puts it there). The same program on every system:
// standard streams are binary, so the output is byte for byte the same (no
// CR added, no Ctrl-Z ending the input), and on Windows the thread is a
// single-threaded COM apartment, as a browser's page thread is.
//
// Exit codes (cli_common.h): 0 success; 1 the operation failed
// ("error: NAME (0x........)"); 2 usage error.
#include <CLI/CLI.hpp>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "control/object_safety_site_lock.h"
#include "control/site_lock.h"
#include "module/module_exports.h"
#include "platform/binary_stdio.h"
#include "platform/com/bstr_ptr.h"
#include "platform/com/ole_text.h"
#include "platform/com_apartment.h"
#include "platform/command_line.h"
#include "platform/registry_store.h"
#include "tools/corvo-sso/block_command.h"
#include "tools/corvo-sso/browser_command.h"
#include "tools/corvo-sso/cli_common.h"
#include "tools/corvo-sso/control_factory.h"
#include "tools/corvo-sso/dispatch_caller.h"
#include "tools/corvo-sso/host_site.h"
#include "tools/corvo-sso/inproc_module.h"
#include "tools/corvo-sso/json_text.h"
#include "tools/corvo-sso/login_commands.h"
#include "tools/corvo-sso/registration_commands.h"
#include "tools/corvo-sso/xml_command.h"

namespace corvo::cli {
namespace {

// A failure to obtain the control, with what the host found out.
int FailCreation(HRESULT hr, const std::string& message) {
    if (hr == REGDB_E_CLASSNOTREG) {
        std::cerr << "error: the login control is not registered (" << message << " in "
                  << platform::RegistryStore::DefaultPath() << ").\n"
                  << "Register it first with `corvo-sso register`.\n";
        return kExitFailed;
    }
    return ReportHResult(hr, message);
}

struct PageOptions {
    std::string page;
    std::optional<int> zone;
};

// A control placed on the page of the options.
HRESULT Host(const PageOptions& page, LoginSession* session, std::string* message) {
    return session->Open(page.page, page.zone ? *page.zone : -1, message);
}

int RunVersion(const PageOptions& page) {
    LoginSession control;
    std::string message;
    HRESULT hr = Host(page, &control, &message);
    if (FAILED(hr)) return FailCreation(hr, message);
    ScopedVariant version;
    hr = DispatchCaller(control.control()).Call(u"GetSSOLoginCtrlVersion", {}, version.Get());
    if (FAILED(hr)) return ReportHResult(hr);
    if ((*version).vt != VT_BSTR) return ReportHResult(DISP_E_TYPEMISMATCH);
    std::cout << Utf16ToUtf8Lenient(
                     AsUtf16View((*version).bstrVal, SysStringLen((*version).bstrVal)))
              << "\n";
    return kExitOk;
}

const char* DomainText(const char16_t* domain, std::string* storage) {
    if (!domain) return "(null)";
    if (domain == kSiteLockIntranet) return "(intranet)";
    if (domain == kSiteLockMyComputer) return "(mycomputer)";
    if (domain == kSiteLockTrusted) return "(trusted)";
    *storage = Utf16ToUtf8Lenient(domain);
    return storage->c_str();
}

int RunSiteLockList(const PageOptions& page) {
    LoginSession control;
    std::string message;
    HRESULT hr = Host(page, &control, &message);
    if (FAILED(hr)) return FailCreation(hr, message);
    ComPtr<IObjectSafetySiteLock> lock;
    hr = ComPtr<IDispatch>(control.control()).As(IID_IObjectSafetySiteLock, &lock);
    if (FAILED(hr)) return ReportHResult(hr);
    const SiteLockEntry* entries = nullptr;
    DWORD count = 0;
    hr = lock->GetAllowedSiteList(&entries, &count);
    if (FAILED(hr)) return ReportHResult(hr);
    for (DWORD i = 0; i < count; ++i) {
        std::string domain;
        std::cout << i << '\t' << entries[i].action << '\t' << Utf16ToUtf8Lenient(entries[i].scheme)
                  << '\t' << DomainText(entries[i].domain, &domain) << "\n";
    }
    return kExitOk;
}

int RunSiteLockCheck(const PageOptions& page) {
    LoginSession control;
    std::string message;
    HRESULT hr = Host(page, &control, &message);
    if (FAILED(hr)) return FailCreation(hr, message);
    if (InitControl(control.control()) == S_OK) {
        std::cout << "allowed\n";
        return kExitOk;
    }
    // InitSSOLoginCtrl fails only through the site lock: any failure is a refusal.
    std::cout << "refused\n";
    return kExitFailed;
}

// After a failed parse: when the deepest command given needs a subcommand and
// the first word left over names none, the message that says so, with the
// subcommands there are.
std::optional<std::string> UnknownSubcommand(CLI::App& app) {
    CLI::App* command = &app;
    while (!command->get_subcommands().empty()) command = command->get_subcommands().front();
    if (command->get_require_subcommand_min() == 0 || !command->get_subcommands().empty())
        return std::nullopt;
    const std::vector<std::string> left = app.remaining(true);
    if (left.empty() || left.front().empty() || left.front()[0] == '-') return std::nullopt;
    std::string message = "unknown subcommand '" + left.front() + "'\nSubcommands";
    if (command != &app) message += " of " + command->get_name();
    message += ":";
    const char* separator = " ";
    for (const CLI::App* sub : command->get_subcommands({})) {
        message += separator + sub->get_name();
        separator = ", ";
    }
    return message;
}

int Run(int argc, char** argv) {
    if (!platform::SetBinaryStandardStreams()) {
        std::cerr << "error: standard input and output cannot be switched to binary mode\n";
        return kExitFailed;
    }
    const platform::ComApartment apartment;
    if (FAILED(apartment.result()))
        return ReportHResult(apartment.result(), "CoInitializeEx failed");
    CLI::App app{"corvo-sso: host the CorvoSSOLogin control and call it like a page's script"};
    app.require_subcommand(1);
    // Arguments mean the same on every system: "/tmp/x" is a path, not a
    // "/option" (CLI11's default on Windows). Subcommands inherit this.
    app.allow_windows_style_options(false);
    PageOptions page;
    app.add_option("--page", page.page,
                   "Address of the page that hosts the control (default: https:// and the first "
                   "plain login host of the allowed-site table)");
    app.add_option("--zone", page.zone,
                   "Security zone of the page: 0 local machine, 1 intranet, 2 trusted, 3 internet, "
                   "4 restricted (default: 0 for file: addresses, else 3)")
        ->check(CLI::Range(0, 4));
    app.fallthrough();

    int exit_code = kExitOk;
    auto* version = app.add_subcommand("version", "Print the control's version");
    version->callback([&] { exit_code = RunVersion(page); });

    auto* sitelock = app.add_subcommand("sitelock", "The allowed-site table and the site check");
    sitelock->require_subcommand(1);
    auto* list = sitelock->add_subcommand(
        "list", "Print the allowed-site table: INDEX<TAB>ACTION<TAB>SCHEME<TAB>DOMAIN");
    list->callback([&] { exit_code = RunSiteLockList(page); });
    auto* check = sitelock->add_subcommand(
        "check", "Print \"allowed\" (exit 0) or \"refused\" (exit 1) for a page address");
    check->add_option("URL", page.page, "The page address")->required();
    check->callback([&] { exit_code = RunSiteLockCheck(page); });

    std::string module_path;
    bool machine = false;
    const char* machine_help =
        "For every user of the machine (the machine's registry, which each user's own "
        "registration overrides)";
    auto* reg = app.add_subcommand(
        "register", "Register the CorvoSSOLogin module for the current user (DllRegisterServer)");
    reg->add_option("--module", module_path,
                    std::string("Path of the module (default: the ") + module::kModuleFileName +
                        " built beside this program, ../module/ from its directory, or the "
                        "installed one, ../lib/corvo-sso/)");
    reg->add_flag("--machine", machine, machine_help);
    reg->callback([&] { exit_code = RunRegister(module_path, machine); });
    auto* unreg = app.add_subcommand(
        "unregister",
        "Remove the module's registration for the current user (DllUnregisterServer)");
    unreg->add_option("--module", module_path, "Path of the module (default: as for register)");
    unreg->add_flag("--machine", machine, machine_help);
    unreg->callback([&] { exit_code = RunUnregister(module_path, machine); });

    AddLoginCommands(app, exit_code);  // users, login, client-version, demo

    AddXmlCommand(app, exit_code);
    AddBlockCommands(app, exit_code);
    AddBrowserCommands(app, exit_code);

    // The arguments as UTF-8, as on Linux (not through the ANSI code page).
    std::vector<std::string> args = platform::Utf8Arguments(argc, argv);
    std::vector<char*> pointers;
    for (std::string& arg : args) pointers.push_back(arg.data());
    try {
        app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() != 0) {
            if (const auto unknown = UnknownSubcommand(app))
                return ReportError({kExitUsage, *unknown});
        }
        int code = app.exit(e);
        return code == 0 ? kExitOk : kExitUsage;
    } catch (const CommandError& e) {
        return ReportError(e);
    }
    return exit_code;
}

}  // namespace
}  // namespace corvo::cli

int main(int argc, char** argv) {
    try {
        return corvo::cli::Run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "error: " << e.what() << "\n";
        return corvo::cli::kExitFailed;
    }
}
