// Throughput of the text codec (ToWide, EncodeText) for UTF-8 and code page
// 936 on 1 MiB of mixed text, beside a raw iconv loop over the same input:
// the ratio shows what the code-page layer adds over the converter itself.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "xparam/text_codec.h"

namespace {

// About 1 MiB of UTF-8: words of ASCII, markup and runs of common hanzi
// (all in GB2312, so code page 936 represents every character).
const std::u16string& MixedText() {
    static const std::u16string text = [] {
        std::mt19937 rng(936);
        std::u16string t;
        size_t utf8Bytes = 0;
        while (utf8Bytes < (1u << 20)) {
            switch (rng() % 3) {
                case 0:
                    for (int k = 0, n = 3 + static_cast<int>(rng() % 8); k < n; ++k) {
                        t.push_back(static_cast<char16_t>(u'a' + rng() % 26));
                        ++utf8Bytes;
                    }
                    t.push_back(u' ');
                    ++utf8Bytes;
                    break;
                case 1:
                    t += u"<item id=\"42\"/>";
                    utf8Bytes += 15;
                    break;
                default:
                    for (int k = 0, n = 2 + static_cast<int>(rng() % 6); k < n; ++k) {
                        t.push_back(static_cast<char16_t>(0x4E00 + rng() % 0x600));
                        utf8Bytes += 3;
                    }
            }
        }
        return t;
    }();
    return text;
}

std::string BytesIn(uint32_t codePage) {
    const std::u16string& t = MixedText();
    const int n = corvo::platform::WideCharToMultiByte(codePage, t.data(),
                                                       static_cast<int>(t.size()), nullptr, 0);
    std::string out(static_cast<size_t>(n), '\0');
    corvo::platform::WideCharToMultiByte(codePage, t.data(), static_cast<int>(t.size()), out.data(),
                                         n);
    return out;
}

void ToWide(benchmark::State& state, uint32_t codePage) {
    const std::string bytes = BytesIn(codePage);
    xparam::WideString out;
    for (auto _ : state) {
        bool ok = xparam::ToWide(bytes.data(), static_cast<int32_t>(bytes.size()), codePage, out);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(out.Data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void EncodeText(benchmark::State& state, const char16_t* name, uint32_t codePage) {
    const std::u16string& text = MixedText();
    const size_t bytes = BytesIn(codePage).size();
    for (auto _ : state) {
        xparam::ConversionState cs;
        xparam::ByteOrderMark mark;
        const uint8_t* out = nullptr;
        size_t n = 0;
        bool ok = xparam::EncodeText(name, text.data(), static_cast<int32_t>(text.size()), mark,
                                     out, n, cs);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

// The same conversion as one iconv call into a buffer allocated per run, as
// the codec allocates its result.
void RawIconv(benchmark::State& state, const char* from, const char* to, uint32_t codePage,
              bool toWide) {
    const std::string bytes = BytesIn(codePage);
    const std::u16string& text = MixedText();
    const char* in = toWide ? bytes.data() : reinterpret_cast<const char*>(text.data());
    const size_t inSize = toWide ? bytes.size() : text.size() * 2;
    const size_t outCapacity = toWide ? bytes.size() * 2 : text.size() * 3;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        state.SkipWithError("iconv_open failed");
        return;
    }
    for (auto _ : state) {
        std::vector<char> out(outCapacity);
        char* src = const_cast<char*>(in);
        size_t srcLeft = inSize;
        char* dst = out.data();
        size_t dstLeft = out.size();
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        benchmark::DoNotOptimize(r);
        benchmark::DoNotOptimize(out.data());
    }
    iconv_close(cd);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

}  // namespace

BENCHMARK_CAPTURE(ToWide, utf8, 65001u)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RawIconv, utf8_to_utf16, "UTF-8", "UTF-16LE", 65001u, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ToWide, cp936, 936u)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RawIconv, cp936_to_utf16, "CP936", "UTF-16LE", 936u, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(EncodeText, utf8, u"utf-8", 65001u)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RawIconv, utf16_to_utf8, "UTF-16LE", "UTF-8", 65001u, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(EncodeText, cp936, u"gbk", 936u)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RawIconv, utf16_to_cp936, "UTF-16LE", "CP936", 936u, false)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
