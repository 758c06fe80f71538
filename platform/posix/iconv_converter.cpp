#include "platform/posix/iconv_converter.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/code_page_result.h"

namespace corvo::platform {
namespace {

const char* const kUtf16Host = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

// Drives iconv over the whole input, writing `replacement` for every input
// sequence it refuses and skipping `skip(position, remaining)` bytes of it.
// Without an output buffer it converts into a scratch buffer and counts.
template <class OutUnit, class Skip>
size_t Run(iconv_t cd, const void* input, size_t inBytes, OutUnit* out, size_t capacity,
           OutUnit replacement, Skip skip) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // initial shift state
    OutUnit scratch[2048];
    const bool counting = out == nullptr;
    OutUnit* const base = counting ? scratch : out;
    const size_t cap = counting ? std::size(scratch) : capacity;
    size_t flushed = 0;
    char* src = static_cast<char*>(const_cast<void*>(input));
    size_t srcLeft = inBytes;
    char* dst = reinterpret_cast<char*>(base);
    size_t dstLeft = cap * sizeof(OutUnit);
    auto used = [&] {
        return static_cast<size_t>(dst - reinterpret_cast<char*>(base)) / sizeof(OutUnit);
    };
    auto makeRoom = [&] {
        if (!counting) return false;
        flushed += used();
        dst = reinterpret_cast<char*>(scratch);
        dstLeft = sizeof(scratch);
        return true;
    };
    bool finishing = false;
    for (;;) {
        const size_t r = finishing ? iconv(cd, nullptr, nullptr, &dst, &dstLeft)
                                   : iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        const int error = errno;
        if (r != static_cast<size_t>(-1)) {
            if (finishing) break;
            finishing = true;  // then write any closing shift sequence
            continue;
        }
        if (error == E2BIG) {
            if (!makeRoom()) return kConversionNoRoom;
            continue;
        }
        if (finishing || (error != EILSEQ && error != EINVAL)) return kConversionFailed;
        if (dstLeft < sizeof(OutUnit) && !makeRoom()) return kConversionNoRoom;
        std::memcpy(dst, &replacement, sizeof(OutUnit));
        dst += sizeof(OutUnit);
        dstLeft -= sizeof(OutUnit);
        // EINVAL: the input ends inside a sequence; the rest is one bad sequence.
        const size_t n = error == EINVAL ? srcLeft : skip(src, srcLeft);
        src += n;
        srcLeft -= n;
    }
    return flushed + used();
}

struct CacheEntry {
    std::string codeset;
    IconvConverter::Direction direction;
    std::unique_ptr<IconvConverter> converter;  // holds an invalid one when iconv lacks it
};

}  // namespace

IconvConverter::IconvConverter(const char* codeset, Direction direction)
    : cd_(direction == Direction::kToUtf16 ? iconv_open(kUtf16Host, codeset)
                                           : iconv_open(codeset, kUtf16Host)) {}

IconvConverter::~IconvConverter() {
    if (Valid()) iconv_close(cd_);
}

size_t IconvConverter::ToUtf16(const uint8_t* in, size_t count, char16_t* out, size_t capacity) {
    if (!Valid()) return kConversionFailed;
    return Run<char16_t>(cd_, in, count, out, capacity, char16_t{0xFFFD},
                         [](const char*, size_t) { return size_t{1}; });
}

size_t IconvConverter::FromUtf16(const char16_t* in, size_t count, uint8_t* out, size_t capacity) {
    if (!Valid()) return kConversionFailed;
    return Run<uint8_t>(cd_, in, count * 2, out, capacity, uint8_t{'?'},
                        // One "?" per UTF-16 unit, as Windows' converters give for a character
                        // outside the code page: a refused surrogate pair makes "??".
                        [](const char*, size_t) -> size_t { return 2; });
}

IconvConverter* IconvConverter::ForThread(const char* codeset, Direction direction) {
    thread_local std::vector<CacheEntry> cache;
    for (CacheEntry& entry : cache) {
        if (entry.direction == direction && entry.codeset == codeset) {
            return entry.converter->Valid() ? entry.converter.get() : nullptr;
        }
    }
    cache.push_back({codeset, direction, std::make_unique<IconvConverter>(codeset, direction)});
    IconvConverter* converter = cache.back().converter.get();
    return converter->Valid() ? converter : nullptr;
}

}  // namespace corvo::platform
