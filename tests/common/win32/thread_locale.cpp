#include "tests/common/thread_locale.h"

#include <windows.h>

namespace corvo::test {

bool WithThreadLocale(ThreadLocale locale, const std::function<void()>& body) {
    // No Windows locale has US-ASCII or UTF-8 as its ANSI code page.
    if (locale != ThreadLocale::kChineseGbk) return false;
    const LCID previous = ::GetThreadLocale();
    if (!::SetThreadLocale(
            MAKELCID(MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), SORT_DEFAULT)))
        return false;
    body();
    ::SetThreadLocale(previous);
    return true;
}

}  // namespace corvo::test
