// IconvConverter: one iconv conversion descriptor between a byte codeset and
// UTF-16 (host byte order), with lenient loops in the convention of
// code_page_result.h: undecodable bytes become U+FFFD, characters the codeset
// cannot represent (and lone surrogates) become "?".
// A descriptor keeps conversion state, so a converter must be used by one
// thread at a time; IconvConverter::ForThread hands out per-thread instances.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <cstdint>

namespace corvo::platform {

class IconvConverter {
  public:
    enum class Direction { kToUtf16, kFromUtf16 };

    // Opens a descriptor; check Valid() (false when iconv lacks the codeset).
    IconvConverter(const char* codeset, Direction direction);
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;
    ~IconvConverter();

    bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    size_t ToUtf16(const uint8_t* in, size_t count, char16_t* out, size_t capacity);
    size_t FromUtf16(const char16_t* in, size_t count, uint8_t* out, size_t capacity);

    // The calling thread's converter for `codeset` and `direction`, opened on
    // first use and kept until the thread ends; null when iconv lacks the
    // codeset. Never shared between threads.
    static IconvConverter* ForThread(const char* codeset, Direction direction);

  private:
    iconv_t cd_;
};

}  // namespace corvo::platform
