#include "platform/code_page_string.h"

#include <climits>

#include "platform/code_page.h"

namespace corvo::platform {
namespace {

// Runs `convert(input, count, output, capacity)` twice: for the size, then
// into `out`.
template <class Out, class In, class Convert>
CodePageStringStatus TwoPass(std::basic_string_view<In> in, Out& out, Convert convert) {
    if (in.empty()) {
        out.clear();
        return CodePageStringStatus::kOk;
    }
    if (in.size() > size_t(INT_MAX)) return CodePageStringStatus::kTooLong;
    const int count = int(in.size());
    const int needed = convert(in.data(), count, nullptr, 0);
    if (needed <= 0) return CodePageStringStatus::kFailed;
    Out converted(size_t(needed), typename Out::value_type{});
    const int written = convert(in.data(), count, converted.data(), needed);
    if (written <= 0) return CodePageStringStatus::kFailed;
    converted.resize(size_t(written));
    out = std::move(converted);
    return CodePageStringStatus::kOk;
}

}  // namespace

CodePageStringStatus ConvertToCodePage(uint32_t codePage, std::u16string_view text,
                                       std::string& out) {
    return TwoPass(text, out, [codePage](const char16_t* in, int count, char* bytes, int capacity) {
        return WideCharToMultiByte(codePage, in, count, bytes, capacity);
    });
}

CodePageStringStatus ConvertFromCodePage(uint32_t codePage, std::string_view bytes,
                                         std::u16string& out) {
    return TwoPass(bytes, out, [codePage](const char* in, int count, char16_t* wide, int capacity) {
        return MultiByteToWideChar(codePage, in, count, wide, capacity);
    });
}

}  // namespace corvo::platform
