#include "tests/e2e/e2e_support.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "platform/com/module_lock.h"
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

ClientProcess::ClientProcess(const PrivateEnvironment& env, std::vector<std::string> args,
                             std::string name) {
    const fs::path ready = env.root() / (name + ".ready");
    output_ = env.root() / (name + ".out");
    args.push_back("--ready-file");
    args.push_back(ready.string());
    pid_ = test::SpawnProgram(
        CORVO_IMCLIENT_PATH, args,
        {.out = output_.string(), .err = (env.root() / (name + ".err")).string()});
    if (pid_ < 0) return;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
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
