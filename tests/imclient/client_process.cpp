#include "tests/imclient/client_process.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace corvo::imclient_test {
namespace {

std::wstring Quoted(const std::wstring& arg) {
    return L"\"" + arg + L"\"";
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

    std::wstring command = Quoted(L"" CORVO_IMCLIENT_PATH);
    for (const auto& arg : args) command += L" " + Quoted(arg);
    command += L" --ready-file " + Quoted(ready);
    HANDLE out = InheritableFile(directory_ + L"\\out");
    HANDLE err = InheritableFile(directory_ + L"\\err");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out;
    startup.hStdError = err;
    const BOOL started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0,
                                          nullptr, nullptr, &startup, &process_);
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
