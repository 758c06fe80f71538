#include "tests/e2e/e2e_support.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <thread>

#include "control/login_request_line.h"
#include "platform/com/module_lock.h"
#include "platform/im_window.h"
#include "platform/posix/exchange_object_directory.h"
#include "platform/strict_utf8.h"

namespace corvo::e2e {

std::string Utf8(std::u16string_view text) {
    std::string out;
    platform::StrictUtf16ToUtf8(text, out);
    return out;
}

std::u16string Utf16(std::string_view text) {
    std::u16string out;
    platform::StrictUtf8ToUtf16(text, out);
    return out;
}

PrivateEnvironment::PrivateEnvironment() {
    std::string pattern = (fs::temp_directory_path() / "corvo-e2e-XXXXXX").string();
    if (!mkdtemp(pattern.data())) ADD_FAILURE() << "mkdtemp failed";
    root_ = pattern;
    setenv("CORVO_IM_DIR", imDirectory().c_str(), 1);
    setenv("CORVO_REGISTRY", (root_ / "registry.reg").c_str(), 1);
    // Made as a client makes it, so that a test can publish blocks itself.
    if (!platform::ImEndpointDirectory::Open(platform::ImEndpointDirectory::Mode::kCreateIfMissing))
        ADD_FAILURE() << "cannot make the endpoint directory";
}

PrivateEnvironment::~PrivateEnvironment() {
    unsetenv("CORVO_IM_DIR");
    unsetenv("CORVO_REGISTRY");
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// `program` (a built path) or its substitute named by `exeVariable`, and the
// arguments to start it with (the emulator first, when there is one). A
// substitute's own emulator (CORVO_IMCLIENT_EMULATOR for CORVO_IMCLIENT_EXE:
// the client can be of the other bitness) comes before CORVO_TOOL_EMULATOR.
std::pair<std::string, std::vector<std::string>> Command(const std::string& program,
                                                         const char* exeVariable,
                                                         std::vector<std::string> args) {
    const std::string exe = Environment(exeVariable);
    if (exe.empty()) return {program, std::move(args)};
    std::string own = exeVariable;
    own.replace(own.rfind("_EXE"), 4, "_EMULATOR");
    std::string emulator = Environment(own.c_str());
    if (emulator.empty()) emulator = Environment("CORVO_TOOL_EMULATOR");
    if (emulator.empty()) return {exe, std::move(args)};
    args.insert(args.begin(), exe);
    return {emulator, std::move(args)};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

bool UnderEmulator() {
    return !Environment("CORVO_TOOL_EMULATOR").empty();
}

std::string SubstituteModuleMissing() {
    const std::string exe = Environment("CORVO_TOOL_EXE");
    if (exe.empty()) return {};
    const fs::path module =
        fs::path(exe).parent_path().parent_path() / "module" / "CorvoSSOLogin.dll";
    return fs::exists(module) ? std::string() : module.string() + " has not been built";
}

MachineClassMirror::MachineClassMirror() {
    if (!UnderEmulator()) return;
    const auto [program, command] = Command("", "CORVO_OBJECT_PROBE_EXE", {"mirror-user-classes"});
    const auto probe = RunProgram(program, command);
    EXPECT_EQ(probe.exitCode, 0) << probe.err;
    for (auto line : Lines(probe.out)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) copied_.push_back(line);
    }
}

MachineClassMirror::~MachineClassMirror() {
    if (UnderEmulator()) test::RunTool(CORVO_SSO_PATH, {"unregister"});
    if (copied_.empty()) return;
    std::vector<std::string> args{"remove-machine-classes"};
    args.insert(args.end(), copied_.begin(), copied_.end());
    const auto [program, command] = Command("", "CORVO_OBJECT_PROBE_EXE", args);
    RunProgram(program, command);
}

SsoRun RunSso(const std::vector<std::string>& args) {
    const auto start = Clock::now();
    SsoRun run{test::RunTool(CORVO_SSO_PATH, args)};
    run.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    return run;
}

std::vector<RequestNames> RecordedNames(const ClientProcess& client) {
    static const std::regex kLine(R"(.*&fname=([^&]*)&ename=([^&]*)&fsize=8208$)");
    std::vector<RequestNames> names;
    for (const auto& line : client.Records("request")) {
        std::smatch m;
        if (std::regex_match(line, m, kLine))
            names.push_back({Utf16(m[1].str()), Utf16(m[2].str())});
    }
    return names;
}

std::vector<std::string> LiveObjects(const std::vector<std::string>& names) {
    std::vector<std::string> live;
    if (!UnderEmulator()) {
        for (const auto& name : names)
            if (BlockExists(Utf16(name))) live.push_back(name);
        return live;
    }
    std::vector<std::string> args{"objects"};
    args.insert(args.end(), names.begin(), names.end());
    const auto [program, command] = Command("", "CORVO_OBJECT_PROBE_EXE", args);
    const auto probe = RunProgram(program, command);
    EXPECT_EQ(probe.exitCode, 0) << probe.err;
    for (const auto& line : Lines(probe.out))
        if (!line.ends_with(" none")) live.push_back(line.substr(0, line.rfind(' ')));
    return live;
}

std::vector<std::string> ImWindows() {
    const std::string className = Utf8(control::kImWindowClass);
    if (UnderEmulator()) {
        const auto [program, command] =
            Command("", "CORVO_OBJECT_PROBE_EXE", {"windows", className});
        const auto probe = RunProgram(program, command);
        EXPECT_EQ(probe.exitCode, 0) << probe.err;
        return Lines(probe.out);
    }
    std::vector<std::string> windows;
    for (auto [parent, kind] : {std::pair{platform::ImWindowParent::kDesktop, "top-level "},
                                std::pair{platform::ImWindowParent::kMessageOnly, "message-only "}})
        for (const auto& entry : platform::EnumerateImWindows(parent, control::kImWindowClass))
            windows.push_back(kind + Utf8(entry.title));
    return windows;
}

ClientProcess::ClientProcess(const PrivateEnvironment& env, std::vector<std::string> args,
                             std::string name) {
    const fs::path ready = env.root() / (name + ".ready");
    output_ = env.root() / (name + ".out");
    // A client of the same name before this one left its ready file.
    std::error_code ignored;
    fs::remove(ready, ignored);
    args.push_back("--ready-file");
    args.push_back(ready.string());
    const auto [program, command] =
        Command(CORVO_IMCLIENT_PATH, "CORVO_IMCLIENT_EXE", std::move(args));
    pid_ = test::SpawnProgram(
        program, command,
        {.out = output_.string(), .err = (env.root() / (name + ".err")).string()});
    if (pid_ < 0) return;
    const auto deadline = Clock::now() + std::chrono::seconds(UnderEmulator() ? 60 : 10);
    while (Clock::now() < deadline) {
        if (fs::exists(ready)) {
            ready_ = true;
            return;
        }
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

ClientProcess::~ClientProcess() {
    if (pid_ > 0) Stop();
}

int ClientProcess::Stop() {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    const int status = test::WaitForExit(pid_);
    pid_ = -1;
    return status;
}

void ClientProcess::Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    test::WaitForExit(pid_);
    pid_ = -1;
}

std::string ClientProcess::Output() const {
    return test::ReadFileBytes(output_.string());
}

std::vector<std::string> ClientProcess::Records(const std::string& prefix) const {
    std::vector<std::string> out;
    std::istringstream lines(Output());
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with(prefix + " ")) out.push_back(line.substr(prefix.size() + 1));
    return out;
}

ComPtr<ISSOLoginCtrl> NewHostedControl() {
    test::FakeSiteConfig config;
    config.address = test::AllowedPage();
    auto site = test::FakeSite::Create(std::move(config));
    ComPtr<ISSOLoginCtrl> ctrl;
    EXPECT_EQ(CSSOLoginCtrl::CreateInstance(nullptr, IID_ISSOLoginCtrl, ctrl.OutVoid()), S_OK);
    ComPtr<IObjectWithSite> withSite;
    EXPECT_EQ(ctrl->QueryInterface(IID_IObjectWithSite, withSite.OutVoid()), S_OK);
    EXPECT_EQ(withSite->SetSite(site->Unknown()), S_OK);
    return ctrl;
}

ComPtr<ISSOData> NewLoginData(ISSOLoginCtrl* ctrl, std::u16string_view userId) {
    ComPtr<ISSOData> data;
    EXPECT_EQ(ctrl->CreateSSOData(data.Out()), S_OK);
    BstrPtr key = BstrPtr::FromText(u"strKey_FullUserID"), value = BstrPtr::FromText(userId);
    EXPECT_EQ(data->SetDataStr(key.Get(), value.Get()), S_OK);
    return data;
}

std::optional<std::u16string> DataStr(ISSOData* data, std::u16string_view name) {
    BstrPtr key = BstrPtr::FromText(name), value;
    if (FAILED(data->GetDataStr(key.Get(), value.Out())) || !value) return std::nullopt;
    return std::u16string(value.View());
}

LoginOutcome QuickLogin(std::u16string_view userId, LONG reserved) {
    auto ctrl = NewHostedControl();
    LoginOutcome outcome;
    outcome.data = NewLoginData(ctrl.Get(), userId);
    const auto start = Clock::now();
    outcome.hr = ctrl->BeginSSOLogin(reserved, outcome.data.Get(), outcome.result.Out());
    outcome.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    return outcome;
}

HRESULT UserList(LONG flag, LONG includeSubAccount, std::vector<UserItem>* items) {
    static constexpr const char16_t* kKeys[] = {u"strKey_FullUserID", u"strKey_SiteID",
                                                u"strKey_ShortUserID", u"strKey_SiteID_Description",
                                                u"strKey_QXClientVersion"};
    auto ctrl = NewHostedControl();
    ComPtr<ISSODataArray> array;
    const HRESULT hr = ctrl->GetUserList(flag, includeSubAccount, array.Out());
    items->clear();
    if (FAILED(hr)) return hr;
    ULONG size = 0;
    EXPECT_EQ(array->GetSize(&size), S_OK);
    for (ULONG i = 0; i < size; ++i) {
        ComPtr<ISSOData> item;
        EXPECT_EQ(array->GetItemData(i, item.Out()), S_OK);
        UserItem values;
        for (const char16_t* key : kKeys)
            values.push_back(DataStr(item.Get(), key).value_or(u"(missing)"));
        items->push_back(std::move(values));
    }
    return hr;
}

bool BlockExists(std::u16string_view name) {
    auto file = platform::ExchangeObjectFileName(name);
    return file && fs::exists(platform::ExchangeObjectDirectoryPath() + "/" + *file);
}

std::vector<std::string> ObjectFiles(const PrivateEnvironment& env) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(env.imDirectory() / "objects", ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool EventExists(std::u16string_view name) {
    return BlockExists(name);  // one namespace
}

}  // namespace corvo::e2e
