#include "xparam/text_codec.h"

#include <bit>
#include <climits>
#include <cstring>

namespace xparam {
namespace {

using corvo::platform::kCodePageUtf16Be;
using corvo::platform::kCodePageUtf16Le;
using corvo::platform::kCodePageUtf8;

constexpr bool kLittleEndian = std::endian::native == std::endian::little;

void ClearOutputs(const char16_t*& text, size_t& length) {
    text = nullptr;
    length = 0;
}

// The lookup name of an encoding name given in UTF-16.
void LookupName(const char16_t* encodingName, char (&name)[kEncodingNameSize]) {
    int n = 0;
    if (encodingName != nullptr) {
        for (; n < kEncodingNameSize - 1 && encodingName[n] != 0; ++n) {
            const auto b = static_cast<char>(encodingName[n] & 0xFF);
            name[n] = b >= 'A' && b <= 'Z' ? static_cast<char>(b + ('a' - 'A')) : b;
        }
    }
    name[n] = 0;
}

// Bytes of UTF-16 text with each unit's two bytes exchanged.
std::unique_ptr<uint8_t[]> SwappedBytes(const char16_t* text, size_t units) {
    auto out = std::make_unique_for_overwrite<uint8_t[]>(units * 2);
    for (size_t k = 0; k < units; ++k) {
        out[2 * k] = static_cast<uint8_t>(text[k] >> 8);
        out[2 * k + 1] = static_cast<uint8_t>(text[k] & 0xFF);
    }
    return out;
}

}  // namespace

int32_t WideFromBytes(const char* bytes, size_t size, uint32_t codePage, char16_t* out,
                      int32_t capacity) {
    if (bytes == nullptr || size == 0 || size > static_cast<size_t>(INT_MAX)) return 0;
    return corvo::platform::MultiByteToWideChar(codePage, bytes, static_cast<int>(size), out,
                                                capacity);
}

int32_t BytesFromWide(const char16_t* text, size_t size, uint32_t codePage, char* out,
                      int32_t capacity) {
    if (text == nullptr || size == 0 || size > static_cast<size_t>(INT_MAX)) return 0;
    return corvo::platform::WideCharToMultiByte(codePage, text, static_cast<int>(size), out,
                                                capacity);
}

bool DecodeText(const uint8_t* bytes, size_t size, uint32_t codePage, const char16_t*& text,
                size_t& length, ConversionState& state) {
    state.Reset();
    state.codePage = codePage;
    ClearOutputs(text, length);
    const size_t units = size / 2;
    if (codePage == kCodePageUtf16Le || codePage == kCodePageUtf16Be) {
        const bool swap = (codePage == kCodePageUtf16Be) == kLittleEndian;
        const bool aligned = reinterpret_cast<uintptr_t>(bytes) % alignof(char16_t) == 0;
        if (units == 0) {
            text = u"";
            return true;
        }
        if (!swap && aligned) {
            // The text is the input itself.
            text = reinterpret_cast<const char16_t*>(bytes);
            length = units;
            return true;
        }
        state.wide = std::make_unique_for_overwrite<char16_t[]>(units);
        for (size_t k = 0; k < units; ++k) {
            char16_t u;
            std::memcpy(&u, bytes + 2 * k, 2);
            state.wide[k] = swap ? static_cast<char16_t>((u << 8) | (u >> 8)) : u;
        }
        text = state.wide.get();
        length = units;
        return true;
    }
    const char* chars = reinterpret_cast<const char*>(bytes);
    if (size == 0 || size > static_cast<size_t>(INT32_MAX)) return false;
    // One pass: no supported code page makes more UTF-16 units than it has
    // bytes, so the byte count is a sufficient capacity. Count first only if
    // a converter ever needs more.
    int32_t capacity = static_cast<int32_t>(size);
    state.wide = std::make_unique_for_overwrite<char16_t[]>(size);
    int32_t n = WideFromBytes(chars, size, codePage, state.wide.get(), capacity);
    if (n <= 0) {
        capacity = WideFromBytes(chars, size, codePage, nullptr, 0);
        if (capacity <= static_cast<int32_t>(size)) {
            state.wide.reset();
            return false;
        }
        state.wide = std::make_unique_for_overwrite<char16_t[]>(static_cast<size_t>(capacity));
        n = WideFromBytes(chars, size, codePage, state.wide.get(), capacity);
    }
    if (n <= 0) {
        state.wide.reset();
        return false;
    }
    text = state.wide.get();
    length = static_cast<size_t>(n);
    return true;
}

bool EncodeText(const char16_t* encodingName, const char16_t* text, int32_t length,
                ByteOrderMark& mark, const uint8_t*& out, size_t& outLength,
                ConversionState& state) {
    state.Reset();
    mark = {nullptr, 0};
    out = nullptr;
    outLength = 0;
    char name[kEncodingNameSize];
    LookupName(encodingName, name);
    const uint32_t codePage = LookupCodePage(name);
    state.codePage = codePage;
    const size_t units = CountedLength(text, length);
    if (codePage == kCodePageUtf16Le || codePage == kCodePageUtf16Be) {
        mark = ByteOrderMarkFor(codePage);
        if (units == 0) {
            out = reinterpret_cast<const uint8_t*>(u"");
        } else if ((codePage == kCodePageUtf16Le) == kLittleEndian) {
            out = reinterpret_cast<const uint8_t*>(text);
        } else {
            state.bytes = SwappedBytes(text, units);
            out = state.bytes.get();
        }
        outLength = units * 2;
        return true;
    }
    if (units == 0 || units > static_cast<size_t>(INT_MAX)) return false;
    // One pass in the common case: guess a capacity that fits UTF-8 (3 bytes a
    // unit at most) and double-byte code pages; count first only when it does not.
    const size_t guess = codePage == kCodePageUtf8 ? units * 3 : units * 2 + 16;
    int32_t n = 0;
    if (guess <= static_cast<size_t>(INT_MAX)) {
        state.bytes = std::make_unique_for_overwrite<uint8_t[]>(guess);
        n = BytesFromWide(text, units, codePage, reinterpret_cast<char*>(state.bytes.get()),
                          static_cast<int32_t>(guess));
    }
    if (n <= 0) {
        const int32_t needed = BytesFromWide(text, units, codePage, nullptr, 0);
        if (needed <= 0) {
            state.Reset();
            state.codePage = codePage;
            return false;
        }
        state.bytes = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(needed));
        n = BytesFromWide(text, units, codePage, reinterpret_cast<char*>(state.bytes.get()),
                          needed);
        if (n <= 0) {
            state.Reset();
            state.codePage = codePage;
            return false;
        }
    }
    mark = ByteOrderMarkFor(codePage);
    out = state.bytes.get();
    outLength = static_cast<size_t>(n);
    return true;
}

bool ToWide(const char* text, int32_t length, uint32_t codePage, WideString& out) {
    const size_t size = CountedLength(text, length);
    if (size == 0) {
        out.Clear();
        return true;
    }
    if (size > static_cast<size_t>(INT32_MAX)) {
        out.Clear();
        return false;
    }
    // One pass in the common case: no supported code page makes more UTF-16
    // units than it has bytes, so the byte count is a sufficient capacity.
    out.Resize(size);
    int32_t n = WideFromBytes(text, size, codePage, out.MutableData(), static_cast<int32_t>(size));
    if (n <= 0) {
        const int32_t needed = WideFromBytes(text, size, codePage, nullptr, 0);
        if (needed <= 0) {
            out.Clear();
            return false;
        }
        out.Resize(static_cast<size_t>(needed));
        n = WideFromBytes(text, size, codePage, out.MutableData(), needed);
        if (n != needed) {
            out.Clear();
            return false;
        }
    }
    out.Resize(static_cast<size_t>(n));
    return true;
}

}  // namespace xparam
