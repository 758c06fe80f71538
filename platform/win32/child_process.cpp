#include "platform/child_process.h"

#include <windows.h>

#include <string>
#include <utility>

#include "platform/com/ole_text.h"
#include "platform/strict_utf8.h"
#include "platform/windows_command_line.h"

namespace corvo::platform {
namespace {

HANDLE AsHandle(std::intptr_t process) {
    return reinterpret_cast<HANDLE>(process);
}

std::string SystemMessage(DWORD error) {
    return "Win32 error " + std::to_string(error);
}

}  // namespace

bool ChildProcess::Start(const std::filesystem::path& program, const std::vector<std::string>& args,
                         std::string* error) {
    if (running_) {
        if (error) *error = "a child is already running";
        return false;
    }
    const std::u16string name = program.u16string();
    std::vector<std::u16string> wideArgs;
    for (const auto& arg : args) {
        std::u16string wide;
        if (!StrictUtf8ToUtf16(arg, wide)) {
            if (error) *error = "an argument is not valid UTF-8";
            return false;
        }
        wideArgs.push_back(std::move(wide));
    }
    std::u16string commandLine;
    if (!BuildWindowsCommandLine(name, wideArgs, &commandLine)) {
        if (error) *error = "the program's name holds a double quote";
        return false;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    // Its own process group, so that Ctrl+Break reaches the child alone.
    if (!::CreateProcessW(AsOleText(name.c_str()), AsOleText(commandLine.data()), nullptr, nullptr,
                          FALSE, CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT, nullptr,
                          nullptr, &startup, &info)) {
        if (error) *error = SystemMessage(::GetLastError());
        return false;
    }
    ::CloseHandle(info.hThread);
    running_ = true;
    process_ = reinterpret_cast<std::intptr_t>(info.hProcess);
    id_ = info.dwProcessId;
    return true;
}

std::optional<int> ChildProcess::Poll() {
    if (!running_) return std::nullopt;
    if (::WaitForSingleObject(AsHandle(process_), 0) == WAIT_TIMEOUT) return std::nullopt;
    DWORD code = 0;
    const bool known = ::GetExitCodeProcess(AsHandle(process_), &code);
    ::CloseHandle(AsHandle(process_));
    process_ = 0;
    running_ = false;
    return known ? static_cast<int>(code) : -1;
}

int ChildProcess::Wait() {
    if (!running_) return -1;
    ::WaitForSingleObject(AsHandle(process_), INFINITE);
    return Poll().value_or(-1);
}

ChildProcess::StopOutcome ChildProcess::Stop(std::chrono::milliseconds grace) {
    if (!running_) return StopOutcome::kNoChild;
    const bool asked = ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, id_) != FALSE;
    if (asked && ::WaitForSingleObject(AsHandle(process_), static_cast<DWORD>(grace.count())) ==
                     WAIT_OBJECT_0)
        return Poll().value_or(-1) == 0 ? StopOutcome::kExitedOnRequest : StopOutcome::kFailed;
    // Its windows, mappings and events go with the process.
    ::TerminateProcess(AsHandle(process_), 1);
    Wait();
    return asked ? StopOutcome::kFailed : StopOutcome::kEnded;
}

}  // namespace corvo::platform
