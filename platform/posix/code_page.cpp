#include "platform/code_page.h"

#include <langinfo.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/code_page_result.h"
#include "platform/hz_codec.h"
#include "platform/posix/iconv_converter.h"
#include "platform/utf_codec.h"

namespace corvo::platform {
namespace {

enum class Codec { kUtf8, kUtf16Le, kUtf16Be, kAscii, kHz, kIconv };

// How one code page is converted: a hand-written codec or an iconv codeset.
struct Route {
    Codec codec = Codec::kIconv;
    const char* codeset = nullptr;
    char name[24] = {};
};

// The codeset HZ is carried over (see hz_codec.h).
constexpr const char* kEucCn = "EUC-CN";

Route RouteFor(uint32_t codePage) {
    Route route;
    switch (codePage) {
        case kCodePageUtf8:
            route.codec = Codec::kUtf8;
            break;
        case kCodePageUtf16Le:
            route.codec = Codec::kUtf16Le;
            break;
        case kCodePageUtf16Be:
            route.codec = Codec::kUtf16Be;
            break;
        case kCodePageUsAscii:
            route.codec = Codec::kAscii;
            break;
        case kCodePageHz:
            route.codec = Codec::kHz;
            break;
        case kCodePageGbk:
            route.codeset = "CP936";
            break;
        case kCodePageGb2312:
            route.codeset = kEucCn;
            break;
        case kCodePageGb18030:
            route.codeset = "GB18030";
            break;
        case kCodePageBig5:
            route.codeset = "CP950";
            break;
        case kCodePageShiftJis:
            route.codeset = "CP932";
            break;
        case kCodePageKorean:
            route.codeset = "CP949";
            break;
        case kCodePageDefault: {
            // The calling thread's locale (uselocale), else the global one.
            const char* codeset = nl_langinfo(CODESET);
            if (std::strcmp(codeset, "UTF-8") == 0) {
                route.codec = Codec::kUtf8;
            } else if (std::strcmp(codeset, "ANSI_X3.4-1968") == 0) {
                route.codec = Codec::kAscii;
            } else {
                std::snprintf(route.name, sizeof(route.name), "%s", codeset);
                route.codeset = route.name;
            }
            break;
        }
        default:
            std::snprintf(route.name, sizeof(route.name), "CP%u", codePage);
            route.codeset = route.name;
            break;
    }
    return route;
}

size_t IconvToUtf16(const char* codeset, const uint8_t* in, size_t count, char16_t* out,
                    size_t capacity) {
    IconvConverter* c = IconvConverter::ForThread(codeset, IconvConverter::Direction::kToUtf16);
    return c ? c->ToUtf16(in, count, out, capacity) : kConversionFailed;
}

size_t IconvFromUtf16(const char* codeset, const char16_t* in, size_t count, uint8_t* out,
                      size_t capacity) {
    IconvConverter* c = IconvConverter::ForThread(codeset, IconvConverter::Direction::kFromUtf16);
    return c ? c->FromUtf16(in, count, out, capacity) : kConversionFailed;
}

size_t CopyOut(const std::string& bytes, uint8_t* out, size_t capacity) {
    if (out == nullptr) return bytes.size();
    if (capacity < bytes.size()) return kConversionNoRoom;
    std::memcpy(out, bytes.data(), bytes.size());
    return bytes.size();
}

size_t Decode(const Route& route, const uint8_t* in, size_t count, char16_t* out, size_t capacity) {
    switch (route.codec) {
        case Codec::kUtf8:
            return Utf8ToUtf16(in, count, out, capacity);
        case Codec::kUtf16Le:
            return Utf16BytesToUtf16(in, count, false, out, capacity);
        case Codec::kUtf16Be:
            return Utf16BytesToUtf16(in, count, true, out, capacity);
        case Codec::kAscii:
            return AsciiToUtf16(in, count, out, capacity);
        case Codec::kHz: {
            const std::string euc = HzToEucCn(in, count);
            return IconvToUtf16(kEucCn, reinterpret_cast<const uint8_t*>(euc.data()), euc.size(),
                                out, capacity);
        }
        case Codec::kIconv:
            break;
    }
    return IconvToUtf16(route.codeset, in, count, out, capacity);
}

size_t Encode(const Route& route, const char16_t* in, size_t count, uint8_t* out, size_t capacity) {
    switch (route.codec) {
        case Codec::kUtf8:
            return Utf16ToUtf8(in, count, out, capacity);
        case Codec::kUtf16Le:
            return Utf16ToUtf16Bytes(in, count, false, out, capacity);
        case Codec::kUtf16Be:
            return Utf16ToUtf16Bytes(in, count, true, out, capacity);
        case Codec::kAscii:
            return Utf16ToAscii(in, count, out, capacity);
        case Codec::kHz: {
            // EUC-CN takes at most two bytes per UTF-16 unit.
            std::string euc(count * 2, '\0');
            const size_t n = IconvFromUtf16(kEucCn, in, count,
                                            reinterpret_cast<uint8_t*>(euc.data()), euc.size());
            if (!ConversionSucceeded(n)) return n;
            euc.resize(n);
            return CopyOut(EucCnToHz(reinterpret_cast<const uint8_t*>(euc.data()), n), out,
                           capacity);
        }
        case Codec::kIconv:
            break;
    }
    return IconvFromUtf16(route.codeset, in, count, out, capacity);
}

// The Win32 result: the count, or 0 for every failure (including no room).
int ToResult(size_t n) {
    return ConversionSucceeded(n) && n <= INT_MAX ? static_cast<int>(n) : 0;
}

}  // namespace

int MultiByteToWideChar(uint32_t codePage, const char* bytes, int count, char16_t* wide,
                        int capacity) {
    if (bytes == nullptr || count == 0 || count < -1 || capacity < 0) return 0;
    if (capacity > 0 && wide == nullptr) return 0;
    const size_t n = count == -1 ? std::strlen(bytes) + 1 : static_cast<size_t>(count);
    return ToResult(Decode(RouteFor(codePage), reinterpret_cast<const uint8_t*>(bytes), n,
                           capacity == 0 ? nullptr : wide, static_cast<size_t>(capacity)));
}

int WideCharToMultiByte(uint32_t codePage, const char16_t* wide, int count, char* bytes,
                        int capacity) {
    if (wide == nullptr || count == 0 || count < -1 || capacity < 0) return 0;
    if (capacity > 0 && bytes == nullptr) return 0;
    size_t n = static_cast<size_t>(count);
    if (count == -1) {
        n = 0;
        while (wide[n] != 0) ++n;
        ++n;  // the terminator is converted too
    }
    return ToResult(Encode(RouteFor(codePage), wide, n,
                           capacity == 0 ? nullptr : reinterpret_cast<uint8_t*>(bytes),
                           static_cast<size_t>(capacity)));
}

}  // namespace corvo::platform
