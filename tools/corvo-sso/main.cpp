// corvo-sso: hosts the login control the way a browser hosts it for a page,
// and calls it the way the page's script does (IDispatch, by name). The
// control comes from the module registered in the current user's registry
// (`corvo-sso register` puts it there).
//
// Exit codes: 0 success; 1 the operation failed ("error: NAME (0x........)");
// 2 usage error.
#include <CLI/CLI.hpp>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "control/object_safety_site_lock.h"
#include "control/site_lock.h"
#include "platform/com/bstr_ptr.h"
#include "platform/com/hresult_name.h"
#include "platform/posix/registry_store.h"
#include "platform/posix/strict_utf8.h"
#include "tools/corvo-sso/block_command.h"
#include "tools/corvo-sso/control_factory.h"
#include "tools/corvo-sso/dispatch_caller.h"
#include "tools/corvo-sso/host_site.h"
#include "tools/corvo-sso/inproc_module.h"
#include "tools/corvo-sso/login_commands.h"
#include "tools/corvo-sso/registration_commands.h"
#include "tools/corvo-sso/xml_command.h"

namespace corvo::cli {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Thrown for bad input that CLI11 cannot check by itself; reported as usage.
struct UsageError {
    std::string message;
};

int Fail(HRESULT hr) {
    std::cerr << "error: " << DescribeHResult(hr) << "\n";
    return kExitFailed;
}

// A failure to obtain the control, with what the host found out.
int FailCreation(HRESULT hr, const std::string& message) {
    if (hr == REGDB_E_CLASSNOTREG) {
        std::cerr << "error: the login control is not registered (" << message << " in "
                  << platform::RegistryStore::DefaultPath() << ").\n"
                  << "Register it first with `corvo-sso register`.\n";
        return kExitFailed;
    }
    Fail(hr);
    if (!message.empty()) std::cerr << message << "\n";
    return kExitFailed;
}

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    return platform::StrictUtf16ToUtf8(text, out) ? out : std::string("(unprintable)");
}

// The page the host shows unless told otherwise: the first plain login host of
// the control's allowed-site table, over https.
std::u16string DefaultPage(IUnknown* control) {
    ComPtr<IObjectSafetySiteLock> lock;
    const SiteLockEntry* table = nullptr;
    DWORD count = 0;
    if (FAILED(ComPtr<IUnknown>(control).As(IID_IObjectSafetySiteLock, &lock)) ||
        FAILED(lock->GetAllowedSiteList(&table, &count)))
        count = 0;
    for (DWORD i = 0; i < count; ++i) {
        const char16_t* domain = table[i].domain;
        if (!domain || domain == kSiteLockIntranet || domain == kSiteLockMyComputer ||
            domain == kSiteLockTrusted)
            continue;
        std::u16string_view host(domain);
        if (host.empty() || host[0] == u'*' || host[0] == u'=') continue;
        return u"https://" + std::u16string(host) + u"/";
    }
    return u"https://localhost/";
}

struct PageOptions {
    std::string page;
    std::optional<int> zone;

    std::u16string Address(IUnknown* control) const {
        if (page.empty()) return DefaultPage(control);
        std::u16string address;
        if (!platform::StrictUtf8ToUtf16(page, address))
            throw UsageError{"the page address is not valid UTF-8"};
        return address;
    }
};

// A control placed on the page: created, then given its site.
class HostedControl {
  public:
    // On failure `message` says why.
    HRESULT Create(const PageOptions& page, std::string* message) {
        HRESULT hr = CreateLoginControl(&module_, &control_, message);
        if (FAILED(hr)) return hr;
        std::u16string address = page.Address(control_.Get());
        int32_t zone = page.zone ? *page.zone : DefaultZoneFor(address);
        ComPtr<IObjectWithSite> with_site;
        hr = control_.As(IID_IObjectWithSite, &with_site);
        if (FAILED(hr)) return hr;
        // A refused page makes SetSite fail; the site is kept all the same,
        // and each method then answers for itself.
        with_site->SetSite(CreateHostSite(std::move(address), zone).Get());
        return S_OK;
    }
    IDispatch* Get() const { return control_.Get(); }

  private:
    InprocModule module_;  // declared first: unloaded after the control is released
    ComPtr<IDispatch> control_;
};

int RunVersion(const PageOptions& page) {
    HostedControl control;
    std::string message;
    HRESULT hr = control.Create(page, &message);
    if (FAILED(hr)) return FailCreation(hr, message);
    ScopedVariant version;
    hr = DispatchCaller(control.Get()).Call(u"GetSSOLoginCtrlVersion", {}, version.Get());
    if (FAILED(hr)) return Fail(hr);
    if ((*version).vt != VT_BSTR) return Fail(DISP_E_TYPEMISMATCH);
    std::cout << ToUtf8(std::u16string_view((*version).bstrVal, SysStringLen((*version).bstrVal)))
              << "\n";
    return kExitOk;
}

const char* DomainText(const char16_t* domain, std::string* storage) {
    if (!domain) return "(null)";
    if (domain == kSiteLockIntranet) return "(intranet)";
    if (domain == kSiteLockMyComputer) return "(mycomputer)";
    if (domain == kSiteLockTrusted) return "(trusted)";
    *storage = ToUtf8(domain);
    return storage->c_str();
}

int RunSiteLockList(const PageOptions& page) {
    HostedControl control;
    std::string message;
    HRESULT hr = control.Create(page, &message);
    if (FAILED(hr)) return FailCreation(hr, message);
    ComPtr<IObjectSafetySiteLock> lock;
    hr = ComPtr<IDispatch>(control.Get()).As(IID_IObjectSafetySiteLock, &lock);
    if (FAILED(hr)) return Fail(hr);
    const SiteLockEntry* entries = nullptr;
    DWORD count = 0;
    hr = lock->GetAllowedSiteList(&entries, &count);
    if (FAILED(hr)) return Fail(hr);
    for (DWORD i = 0; i < count; ++i) {
        std::string domain;
        std::cout << i << '\t' << entries[i].action << '\t' << ToUtf8(entries[i].scheme) << '\t'
                  << DomainText(entries[i].domain, &domain) << "\n";
    }
    return kExitOk;
}

int RunSiteLockCheck(const PageOptions& page) {
    HostedControl control;
    std::string message;
    HRESULT hr = control.Create(page, &message);
    if (FAILED(hr)) return FailCreation(hr, message);
    ScopedVariant no_data = ScopedVariant::Dispatch(nullptr);
    ScopedVariant reserved = ScopedVariant::Long(0);
    hr = DispatchCaller(control.Get())
             .Call(u"InitSSOLoginCtrl", {no_data.Get(), reserved.Get()}, nullptr);
    if (hr == S_OK) {
        std::cout << "allowed\n";
        return kExitOk;
    }
    // InitSSOLoginCtrl fails only through the site lock: any failure is a refusal.
    std::cout << "refused\n";
    return kExitFailed;
}

int Run(int argc, char** argv) {
    CLI::App app{"corvo-sso: host the CorvoSSOLogin control and call it like a page's script"};
    app.require_subcommand(1);
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
    auto* reg = app.add_subcommand(
        "register", "Register the CorvoSSOLogin module for the current user (DllRegisterServer)");
    reg->add_option("--module", module_path,
                    "Path of the module (default: the libCorvoSSOLogin.so built beside this "
                    "program, ../module/ from its directory)");
    reg->callback([&] { exit_code = RunRegister(module_path); });
    auto* unreg = app.add_subcommand(
        "unregister", "Remove the module's registration for the current user (DllUnregisterServer)");
    unreg->add_option("--module", module_path, "Path of the module (default: as for register)");
    unreg->callback([&] { exit_code = RunUnregister(module_path); });

    AddLoginCommands(app, exit_code);  // users, login, client-version, demo

    AddXmlCommand(app, exit_code);
    AddBlockCommands(app, exit_code);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        return code == 0 ? kExitOk : kExitUsage;
    } catch (const UsageError& e) {
        std::cerr << "error: " << e.message << "\n"
                  << "Run with --help for more information.\n";
        return kExitUsage;
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
        return 1;
    }
}
