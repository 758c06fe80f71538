#include "platform/hz_codec.h"

namespace corvo::platform {
namespace {

constexpr char kInvalid = static_cast<char>(0xFF);

bool IsGbByte(uint8_t b) {
    return b >= 0x21 && b <= 0x7E;
}

}  // namespace

std::string HzToEucCn(const uint8_t* in, size_t count) {
    std::string out;
    out.reserve(count);
    bool gb = false;
    size_t i = 0;
    while (i < count) {
        const uint8_t b = in[i];
        if (b == '~') {
            if (i + 1 >= count) {
                out.push_back(kInvalid);
                break;
            }
            const uint8_t next = in[i + 1];
            if (next == '}' && gb) {
                gb = false;
            } else if (next == '{' && !gb) {
                gb = true;
            } else if (next == '~' && !gb) {
                out.push_back('~');
            } else if (next == '\n' && !gb) {
                // line continuation: nothing
            } else {
                out.push_back(kInvalid);
                ++i;  // resynchronise on the byte after the "~"
                continue;
            }
            i += 2;
            continue;
        }
        if (!gb) {
            out.push_back(b < 0x80 ? static_cast<char>(b) : kInvalid);
            ++i;
            continue;
        }
        if (b == '\n' || b == '\r') {
            gb = false;
            out.push_back(static_cast<char>(b));
            ++i;
            continue;
        }
        if (i + 1 < count && IsGbByte(b) && IsGbByte(in[i + 1])) {
            out.push_back(static_cast<char>(b | 0x80));
            out.push_back(static_cast<char>(in[i + 1] | 0x80));
            i += 2;
            continue;
        }
        out.push_back(kInvalid);
        ++i;
    }
    return out;
}

std::string EucCnToHz(const uint8_t* in, size_t count) {
    std::string out;
    out.reserve(count + count / 2 + 4);
    bool gb = false;
    size_t i = 0;
    while (i < count) {
        const uint8_t b = in[i];
        if (b >= 0x80 && i + 1 < count && in[i + 1] >= 0x80) {
            if (!gb) out += "~{";
            gb = true;
            out.push_back(static_cast<char>(b & 0x7F));
            out.push_back(static_cast<char>(in[i + 1] & 0x7F));
            i += 2;
            continue;
        }
        if (gb) out += "~}";
        gb = false;
        if (b == '~') {
            out += "~~";
        } else {
            out.push_back(b < 0x80 ? static_cast<char>(b) : '?');
        }
        ++i;
    }
    if (gb) out += "~}";
    return out;
}

}  // namespace corvo::platform
