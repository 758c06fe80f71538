#include "tests/common/thread_locale.h"

#include <locale.h>
#include <stdlib.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "tests/common/scratch_directory.h"

// glibc keeps the LOCPATH search list that newlocale builds; not ours to free.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:__argz_add_sep\n";
}

namespace corvo::test {
namespace {

bool WithNamedLocale(const char* name, const std::function<void()>& body) {
    const locale_t loc = newlocale(LC_CTYPE_MASK, name, nullptr);
    if (loc == nullptr) return false;
    const locale_t previous = uselocale(loc);
    body();
    uselocale(previous);
    freelocale(loc);
    return true;
}

// zh_CN.GBK is rarely installed: it is built into a scratch directory that
// LOCPATH names while the body runs.
bool WithGbkLocale(const std::function<void()>& body) {
    const ScratchDirectory dir("corvo_locale_");
    if (dir.path().empty()) return false;
    const std::string target = dir.generic() + "/zh_CN.GBK";
    const std::string command = "localedef -i zh_CN -f GBK " + target + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return false;
    const char* old = std::getenv("LOCPATH");
    const std::unique_ptr<std::string> saved(old ? new std::string(old) : nullptr);
    ::setenv("LOCPATH", dir.generic().c_str(), 1);
    const bool ran = WithNamedLocale("zh_CN.GBK", body);
    if (saved) {
        ::setenv("LOCPATH", saved->c_str(), 1);
    } else {
        ::unsetenv("LOCPATH");
    }
    return ran;
}

}  // namespace

bool WithThreadLocale(ThreadLocale locale, const std::function<void()>& body) {
    switch (locale) {
        case ThreadLocale::kAscii:
            return WithNamedLocale("C", body);
        case ThreadLocale::kUtf8:
            return WithNamedLocale("C.UTF-8", body);
        case ThreadLocale::kChineseGbk:
            return WithGbkLocale(body);
    }
    return false;
}

}  // namespace corvo::test
