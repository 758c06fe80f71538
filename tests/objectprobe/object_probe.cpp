// corvo-object-probe: reports which named kernel objects and which windows of
// a class exist in this Windows session, one line each, for the end-to-end
// tests that run under Wine.
//
//   corvo-object-probe objects NAME...   "NAME mapping", "NAME event",
//                                        "NAME other" (some other object holds
//                                        the name) or "NAME none"
//   corvo-object-probe windows CLASS     "top-level TITLE" for each top-level
//                                        window, then "message-only TITLE" for
//                                        each message-only window, in the
//                                        order FindWindowExW walks them
//   corvo-object-probe mirror-user-classes
//                                        copies each class key of
//                                        HKCU\Software\Classes (CLSID, TypeLib,
//                                        Interface and AppID entries one level
//                                        down) that HKLM\Software\Classes lacks
//                                        there, printing each path copied: Wine's
//                                        COM runtime reads the machine's classes
//                                        only (docs/registration.md)
//   corvo-object-probe remove-machine-classes PATH...
//                                        deletes those copies again
//
// Names and titles are UTF-8 (on the command line and in the output).
// Exit codes: 0 done; 2 usage error.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/binary_stdio.h"
#include "platform/strict_utf8.h"

namespace {

std::string Utf8(const std::wstring& text) {
    std::string out;
    corvo::platform::StrictUtf16ToUtf8(std::u16string(text.begin(), text.end()), out);
    return out;
}

const char* ObjectKind(const wchar_t* name) {
    if (HANDLE mapping = ::OpenFileMappingW(FILE_MAP_READ, FALSE, name)) {
        ::CloseHandle(mapping);
        return "mapping";
    }
    if (HANDLE event = ::OpenEventW(SYNCHRONIZE, FALSE, name)) {
        ::CloseHandle(event);
        return "event";
    }
    // Wrong type for both opens: another kind of object has the name.
    return ::GetLastError() == ERROR_INVALID_HANDLE ? "other" : "none";
}

constexpr wchar_t kClasses[] = L"Software\\Classes";

std::vector<std::wstring> SubkeyNames(HKEY key) {
    std::vector<std::wstring> names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (::RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            return names;
        names.emplace_back(name, length);
    }
}

bool MachineHas(const std::wstring& path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(key);
    return true;
}

// Copies HKCU\PATH to HKLM\PATH unless the machine has it; prints it when copied.
void MirrorKey(const std::wstring& relative) {
    const std::wstring path = std::wstring(kClasses) + L"\\" + relative;
    if (MachineHas(path)) return;
    HKEY source = nullptr, target = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &source) == ERROR_SUCCESS &&
        ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &target, nullptr) == ERROR_SUCCESS &&
        ::RegCopyTreeW(source, nullptr, target) == ERROR_SUCCESS)
        std::printf("%s\n", Utf8(relative).c_str());
    if (source) ::RegCloseKey(source);
    if (target) ::RegCloseKey(target);
}

void MirrorUserClasses() {
    HKEY classes = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kClasses, 0, KEY_READ, &classes) != ERROR_SUCCESS)
        return;
    for (const auto& top : SubkeyNames(classes)) {
        if (top == L"CLSID" || top == L"TypeLib" || top == L"Interface" || top == L"AppID") {
            HKEY group = nullptr;
            if (::RegOpenKeyExW(classes, top.c_str(), 0, KEY_READ, &group) != ERROR_SUCCESS)
                continue;
            for (const auto& entry : SubkeyNames(group)) MirrorKey(top + L"\\" + entry);
            ::RegCloseKey(group);
        } else {
            MirrorKey(top);
        }
    }
    ::RegCloseKey(classes);
}

void PrintWindows(HWND parent, const wchar_t* className, const char* kind) {
    for (HWND w = nullptr; (w = ::FindWindowExW(parent, w, className, nullptr));) {
        wchar_t title[256] = {};
        const int n = ::GetWindowTextW(w, title, 256);
        std::printf("%s %s\n", kind, Utf8(std::wstring(title, n > 0 ? n : 0)).c_str());
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    corvo::platform::SetBinaryStandardStreams();
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"objects") {
        for (int i = 2; i < argc; ++i)
            std::printf("%s %s\n", Utf8(argv[i]).c_str(), ObjectKind(argv[i]));
        return 0;
    }
    if (command == L"windows" && argc == 3) {
        PrintWindows(nullptr, argv[2], "top-level");
        PrintWindows(HWND_MESSAGE, argv[2], "message-only");
        return 0;
    }
    if (command == L"mirror-user-classes" && argc == 2) {
        MirrorUserClasses();
        return 0;
    }
    if (command == L"remove-machine-classes") {
        for (int i = 2; i < argc; ++i)
            ::RegDeleteTreeW(HKEY_LOCAL_MACHINE,
                             (std::wstring(kClasses) + L"\\" + argv[i]).c_str());
        return 0;
    }
    std::fprintf(stderr,
                 "usage: corvo-object-probe objects NAME... | windows CLASS | mirror-user-classes "
                 "| remove-machine-classes PATH...\n");
    return 2;
}
