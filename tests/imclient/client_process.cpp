#include "tests/imclient/client_process.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/com/ole_text.h"
#include "platform/windows_command_line.h"

namespace corvo::imclient_test {
namespace {

std::u16string Utf16(const std::wstring& text) {
    return std::u16string(corvo::AsUtf16(text.c_str()), text.size());
}

std::string ReadAll(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

HANDLE InheritableFile(const std::wstring& path) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

ClientProcess::ClientProcess(const std::vector<std::wstring>& args) {
    wchar_t temp[MAX_PATH], name[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    ::GetTempFileNameW(temp, L"cic", 0, name);
    ::DeleteFileW(name);
    ::CreateDirectoryW(name, nullptr);
    directory_ = name;
    const std::wstring ready = directory_ + L"\\ready";

    std::vector<std::u16string> arguments;
    for (const auto& arg : args) arguments.push_back(Utf16(arg));
    arguments.push_back(u"--ready-file");
    arguments.push_back(Utf16(ready));
    std::u16string command;
    if (!corvo::platform::BuildWindowsCommandLine(Utf16(L"" CORVO_IMCLIENT_PATH), arguments,
                                                  &command))
        return;
    HANDLE out = InheritableFile(directory_ + L"\\out");
    HANDLE err = InheritableFile(directory_ + L"\\err");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out;
    startup.hStdError = err;
    const BOOL started = ::CreateProcessW(nullptr, corvo::AsOleText(command.data()), nullptr,
                                          nullptr, TRUE, 0, nullptr, nullptr, &startup, &process_);
    ::CloseHandle(out);
    ::CloseHandle(err);
    if (!started) return;
    for (int i = 0; i < 2000; ++i) {
        if (::GetFileAttributesW(ready.c_str()) != INVALID_FILE_ATTRIBUTES) {
            ready_ = true;
            return;
        }
        if (::WaitForSingleObject(process_.hProcess, 10) == WAIT_OBJECT_0) return;
    }
}

ClientProcess::~ClientProcess() {
    if (process_.hProcess) {
        // Its windows, blocks and events go with the process.
        ::TerminateProcess(process_.hProcess, 0);
        ::WaitForSingleObject(process_.hProcess, INFINITE);
        ::CloseHandle(process_.hProcess);
        ::CloseHandle(process_.hThread);
    }
    for (const wchar_t* file : {L"\\ready", L"\\out", L"\\err"})
        ::DeleteFileW((directory_ + file).c_str());
    ::RemoveDirectoryW(directory_.c_str());
}

int ClientProcess::WaitForExit() {
    if (!process_.hProcess || ::WaitForSingleObject(process_.hProcess, 20000) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<int>(code);
}

std::string ClientProcess::Output() const {
    return ReadAll(directory_ + L"\\out");
}

std::string ClientProcess::Errors() const {
    return ReadAll(directory_ + L"\\err");
}

std::vector<std::string> Records(const std::string& text, const std::string& prefix) {
    std::vector<std::string> out;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with(prefix + " ")) out.push_back(line.substr(prefix.size() + 1));
    return out;
}

}  // namespace corvo::imclient_test
