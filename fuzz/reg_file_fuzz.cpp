// The per-user registry file on arbitrary text, as a user or another program
// may have left it. A file that parses is written back in the canonical form,
// which must parse to the same tree (nothing lost) and be a fixed point. A file
// that does not parse names a line of the text with a message, and an update
// through the store leaves it exactly as it was (never rewritten without the
// keys it could not read).
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/posix/reg_file.h"
#include "platform/posix/registry_store.h"

namespace {

using namespace corvo::platform;

// A private file on a memory file system, so the store's fsyncs cost nothing.
const std::string& StorePath() {
    static const std::string path = [] {
        static char dir[] = "/dev/shm/corvo-reg-fuzz-XXXXXX";
        if (!mkdtemp(dir)) __builtin_trap();
        std::atexit([] {
            const std::string base(dir);
            for (const char* name : {"/registry.reg", "/registry.reg.lock", "/registry.reg.tmp"})
                unlink((base + name).c_str());
            rmdir(dir);
        });
        return std::string(dir) + "/registry.reg";
    }();
    return path;
}

void WriteFile(const std::string& path, std::string_view text) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || write(fd, text.data(), text.size()) != ssize_t(text.size())) __builtin_trap();
    close(fd);
}

std::string ReadFile(const std::string& path) {
    std::string text;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) __builtin_trap();
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, size_t(n));
    close(fd);
    return text;
}

size_t LineCount(std::string_view text) {
    size_t lines = 1;
    for (char c : text) lines += c == '\n';
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    RegistryTree tree;
    RegFileError error;
    const bool parsed = ParseRegFile(text, &tree, &error);

    WriteFile(StorePath(), text);
    const RegistryStore store(StorePath());
    std::string message;
    const HRESULT updated = store.Update([](RegistryTree&) { return S_OK; }, &message);

    if (!parsed) {
        if (error.line < 1 || error.line > LineCount(text) || error.message.empty())
            __builtin_trap();
        if (updated != kRegistryFileCorrupt || message.empty()) __builtin_trap();
        if (ReadFile(StorePath()) != text) __builtin_trap();
        return 0;
    }

    const std::string canonical = FormatRegFile(tree);
    RegistryTree again;
    if (!ParseRegFile(canonical, &again, &error)) __builtin_trap();
    if (FormatRegFile(again) != canonical) __builtin_trap();
    // The store writes the same canonical text back.
    if (updated != S_OK || ReadFile(StorePath()) != canonical) __builtin_trap();
    return 0;
}
