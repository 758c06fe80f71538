// Helpers of the end-to-end tests: a private directory per test (endpoint
// directory and registry), the reference IM client as a child process, a
// control hosted on an allowed page, and the shared-memory namespace.
//
// The programs can be another build's: with CORVO_TOOL_EXE and
// CORVO_IMCLIENT_EXE set, corvo-sso and the client are those programs,
// started through CORVO_TOOL_EMULATOR when that is set too (corvo-sso.exe and
// corvo-imclient.exe under Wine; CORVO_OBJECT_PROBE_EXE then names the
// program that looks into the Windows session, tests/objectprobe).
// CORVO_IMCLIENT_EMULATOR, when set, starts the client instead: a client of
// the other bitness than the control's.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "control/sso_login_ctrl.h"
#include "platform/com/bstr_ptr.h"
#include "platform/com/com_ptr.h"
#include "tests/common/subprocess.h"
#include "tests/control/fake_site.h"

namespace corvo::e2e {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A fresh directory named by CORVO_IM_DIR (its "im" subdirectory) and
// CORVO_REGISTRY while the object lives; removed afterwards.
class PrivateEnvironment {
  public:
    PrivateEnvironment();
    ~PrivateEnvironment();
    const fs::path& root() const { return root_; }
    fs::path imDirectory() const { return root_ / "im"; }

  private:
    fs::path root_;
};

// The reference client, started with `args` (--ready-file and output file
// added); stopped with SIGTERM when the object goes away.
class ClientProcess {
  public:
    explicit ClientProcess(const PrivateEnvironment& env, std::vector<std::string> args,
                           std::string name = "client");
    ~ClientProcess();
    ClientProcess(const ClientProcess&) = delete;
    ClientProcess& operator=(const ClientProcess&) = delete;

    bool ready() const { return ready_; }
    pid_t pid() const { return pid_; }
    // Stops with SIGTERM; the exit status (-1 when it did not exit normally).
    int Stop();
    // Kills with SIGKILL and reaps.
    void Kill();
    // Standard output so far (the --print-requests records).
    std::string Output() const;
    // The lines of the output that start with `prefix` followed by a space,
    // without the prefix.
    std::vector<std::string> Records(const std::string& prefix) const;

  private:
    pid_t pid_ = -1;
    bool ready_ = false;
    fs::path output_;
};

// Programs run to their end: corvo::test::RunProgram.
using test::ProgramResult;
using test::RunProgram;

// True when the programs are another system's build run through an emulator.
bool UnderEmulator();

// Why the substituted corvo-sso cannot host the control, or "" when it can:
// under an emulator the module must have been built beside it
// (../module/CorvoSSOLogin.dll).
std::string SubstituteModuleMissing();

// Under an emulator (Wine, whose COM runtime reads the machine's classes
// only): the current user's class registrations copied to the machine's keys
// while the object lives, so that CoCreateInstance and LoadRegTypeLib find
// them as Windows finds per-user registrations. At its end the module is
// unregistered too: the Wine session's registry is shared by the tests, and a
// DLL of the other bitness left registered would keep the keys both share.
// Nothing to do natively (each test has its own registry file).
class MachineClassMirror {
  public:
    MachineClassMirror();
    ~MachineClassMirror();
    MachineClassMirror(const MachineClassMirror&) = delete;
    MachineClassMirror& operator=(const MachineClassMirror&) = delete;

  private:
    std::vector<std::string> copied_;
};

// corvo-sso (this build's, or CORVO_TOOL_EXE) with `args`, to its end; the
// time it took.
struct SsoRun {
    ProgramResult result;
    std::chrono::milliseconds elapsed{0};
};
SsoRun RunSso(const std::vector<std::string>& args);

// The block and event names of the requests the client recorded
// (--print-requests).
struct RequestNames {
    std::u16string block, event;
};
std::vector<RequestNames> RecordedNames(const ClientProcess& client);

// Which of the exchange objects named `names` (UTF-8) still exist, in the
// order given: a block, an event or any other object holding the name.
std::vector<std::string> LiveObjects(const std::vector<std::string>& names);

// The IM client windows that exist: "top-level TITLE" for each, then
// "message-only TITLE" for each, in the system's order.
std::vector<std::string> ImWindows();

// A control hosted on an allowed page.
ComPtr<ISSOLoginCtrl> NewHostedControl();

// A new data object holding "strKey_FullUserID" = `userId`.
ComPtr<ISSOData> NewLoginData(ISSOLoginCtrl* ctrl, std::u16string_view userId);

// The value of `name` in `data` (nothing when the key is missing).
std::optional<std::u16string> DataStr(ISSOData* data, std::u16string_view name);

struct LoginOutcome {
    HRESULT hr = E_UNEXPECTED;
    ComPtr<ISSOData> data;    // the object passed in
    ComPtr<ISSOData> result;  // the out value
    std::chrono::milliseconds elapsed{0};
};
// BeginSSOLogin(lReserved, new data for `userId`) on a new hosted control.
LoginOutcome QuickLogin(std::u16string_view userId, LONG reserved = 0);

// One user-list item: the five values in the order the control sets them.
using UserItem = std::vector<std::u16string>;
HRESULT UserList(LONG flag, LONG includeSubAccount, std::vector<UserItem>* items);

// True when the block or event of exchange name `name` exists (in the
// environment's object directory).
bool BlockExists(std::u16string_view name);
bool EventExists(std::u16string_view name);

// The file names in the object directory of `env`, sorted.
std::vector<std::string> ObjectFiles(const PrivateEnvironment& env);

std::string Utf8(std::u16string_view text);
std::u16string Utf16(std::string_view text);

}  // namespace corvo::e2e
