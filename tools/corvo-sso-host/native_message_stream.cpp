#include "tools/corvo-sso-host/native_message_stream.h"

#include <array>
#include <cstring>

namespace corvo::host {
namespace {

// Reads up to `size` bytes; the count read (less only at the end of input).
size_t ReadSome(std::istream& in, char* data, size_t size) {
    in.read(data, static_cast<std::streamsize>(size));
    return static_cast<size_t>(in.gcount());
}

}  // namespace

Frame ReadNativeMessage(std::istream& in, uint32_t cap) {
    Frame frame;
    char prefix[sizeof(uint32_t)];
    const size_t got = ReadSome(in, prefix, sizeof prefix);
    if (got == 0) return frame;  // kEnd
    if (got < sizeof prefix) {
        frame.status = FrameStatus::kTruncated;
        return frame;
    }
    std::memcpy(&frame.length, prefix, sizeof prefix);  // native byte order
    if (frame.length > cap) {
        // Drop the body in pieces so that the next message is found.
        std::array<char, 4096> sink;
        uint32_t left = frame.length;
        while (left > 0) {
            const size_t piece = left < sink.size() ? left : sink.size();
            const size_t read = ReadSome(in, sink.data(), piece);
            if (read < piece) {
                frame.status = FrameStatus::kTruncated;
                return frame;
            }
            left -= static_cast<uint32_t>(read);
        }
        frame.status = FrameStatus::kTooLarge;
        return frame;
    }
    frame.body.resize(frame.length);
    if (ReadSome(in, frame.body.data(), frame.length) < frame.length) {
        frame.body.clear();
        frame.status = FrameStatus::kTruncated;
        return frame;
    }
    frame.status = FrameStatus::kMessage;
    return frame;
}

bool WriteNativeMessage(std::ostream& out, std::string_view body) {
    if (body.size() > UINT32_MAX) return false;
    const uint32_t length = static_cast<uint32_t>(body.size());
    char prefix[sizeof length];
    std::memcpy(prefix, &length, sizeof length);
    out.write(prefix, sizeof prefix);
    out.write(body.data(), static_cast<std::streamsize>(body.size()));
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace corvo::host
