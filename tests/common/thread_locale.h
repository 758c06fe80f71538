// Runs a piece of a test with the calling thread's locale switched, so that
// code page 0 (the thread locale's default) means a known code page. Each
// system offers what it can: POSIX the C and C.UTF-8 locales and a zh_CN.GBK
// locale built for the run with localedef; Windows the Chinese (PRC) locale
// (code page 936). The implementation is selected in tests/common/CMakeLists.txt.
#pragma once

#include <functional>

namespace corvo::test {

enum class ThreadLocale {
    kAscii,       // code page 0 is US-ASCII (POSIX "C")
    kUtf8,        // code page 0 is UTF-8 (POSIX "C.UTF-8")
    kChineseGbk,  // code page 0 is 936 (zh_CN.GBK; Windows' Chinese (PRC))
};

// Runs `body` under `locale` and restores the thread's locale. False (and
// `body` not run) when this system cannot provide that locale.
bool WithThreadLocale(ThreadLocale locale, const std::function<void()>& body);

}  // namespace corvo::test
