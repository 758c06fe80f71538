#include "platform/code_page.h"

#include <windows.h>

#include <climits>
#include <cstring>
#include <string>

#include "platform/code_page_result.h"
#include "platform/com/ole_text.h"
#include "platform/hz_codec.h"
#include "platform/utf_codec.h"

namespace corvo::platform {
namespace {

// The code page that 0 stands for: the default ANSI code page of the calling
// thread's locale.
uint32_t ResolveCodePage(uint32_t codePage) {
    if (codePage != kCodePageDefault) return codePage;
    DWORD ansi = 0;
    if (::GetLocaleInfoW(::GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                         reinterpret_cast<LPWSTR>(&ansi), sizeof(ansi) / sizeof(wchar_t)) == 0) {
        return CP_ACP;
    }
    return ansi;
}

// The code pages the system's converters lack: UTF-16 in bytes and HZ,
// the same hand-written codecs as on the other systems.
bool IsOwnCodec(uint32_t codePage) {
    return codePage == kCodePageUtf16Le || codePage == kCodePageUtf16Be || codePage == kCodePageHz;
}

int ToResult(size_t n) {
    return ConversionSucceeded(n) && n <= INT_MAX ? static_cast<int>(n) : 0;
}

int SystemToUtf16(uint32_t codePage, const char* bytes, int count, char16_t* wide, int capacity) {
    return ::MultiByteToWideChar(codePage, 0, bytes, count, corvo::AsOleText(wide), capacity);
}

int SystemFromUtf16(uint32_t codePage, const char16_t* wide, int count, char* bytes, int capacity) {
    return ::WideCharToMultiByte(codePage, 0, corvo::AsOleText(wide), count, bytes, capacity,
                                 nullptr, nullptr);
}

size_t OwnToUtf16(uint32_t codePage, const uint8_t* in, size_t count, char16_t* out,
                  size_t capacity) {
    if (codePage != kCodePageHz) {
        return Utf16BytesToUtf16(in, count, codePage == kCodePageUtf16Be, out, capacity);
    }
    const std::string euc = HzToEucCn(in, count);
    if (euc.empty()) return 0;
    if (euc.size() > INT_MAX) return kConversionFailed;
    const int n = SystemToUtf16(
        kCodePageGb2312, euc.data(), static_cast<int>(euc.size()), out == nullptr ? nullptr : out,
        out == nullptr ? 0 : static_cast<int>(std::min<size_t>(capacity, INT_MAX)));
    return n > 0 ? static_cast<size_t>(n) : kConversionNoRoom;
}

size_t OwnFromUtf16(uint32_t codePage, const char16_t* in, size_t count, uint8_t* out,
                    size_t capacity) {
    if (codePage != kCodePageHz) {
        return Utf16ToUtf16Bytes(in, count, codePage == kCodePageUtf16Be, out, capacity);
    }
    if (count > INT_MAX / 2) return kConversionFailed;
    std::string euc(count * 2, '\0');
    const int n = SystemFromUtf16(kCodePageGb2312, in, static_cast<int>(count), euc.data(),
                                  static_cast<int>(euc.size()));
    if (n <= 0) return kConversionFailed;
    const std::string hz =
        EucCnToHz(reinterpret_cast<const uint8_t*>(euc.data()), static_cast<size_t>(n));
    if (out == nullptr) return hz.size();
    if (capacity < hz.size()) return kConversionNoRoom;
    std::memcpy(out, hz.data(), hz.size());
    return hz.size();
}

}  // namespace

int MultiByteToWideChar(uint32_t codePage, const char* bytes, int count, char16_t* wide,
                        int capacity) {
    if (bytes == nullptr || count == 0 || count < -1 || capacity < 0) return 0;
    if (capacity > 0 && wide == nullptr) return 0;
    if (!IsOwnCodec(codePage))
        return SystemToUtf16(ResolveCodePage(codePage), bytes, count, wide, capacity);
    const size_t n = count == -1 ? std::strlen(bytes) + 1 : static_cast<size_t>(count);
    return ToResult(OwnToUtf16(codePage, reinterpret_cast<const uint8_t*>(bytes), n,
                               capacity == 0 ? nullptr : wide, static_cast<size_t>(capacity)));
}

int WideCharToMultiByte(uint32_t codePage, const char16_t* wide, int count, char* bytes,
                        int capacity) {
    if (wide == nullptr || count == 0 || count < -1 || capacity < 0) return 0;
    if (capacity > 0 && bytes == nullptr) return 0;
    if (!IsOwnCodec(codePage))
        return SystemFromUtf16(ResolveCodePage(codePage), wide, count, bytes, capacity);
    size_t n = static_cast<size_t>(count);
    if (count == -1) {
        n = 0;
        while (wide[n] != 0) ++n;
        ++n;  // the terminator is converted too
    }
    return ToResult(OwnFromUtf16(codePage, wide, n,
                                 capacity == 0 ? nullptr : reinterpret_cast<uint8_t*>(bytes),
                                 static_cast<size_t>(capacity)));
}

}  // namespace corvo::platform
