// Payload scrambling against OpenSSL's DES over the same 8192-byte region, and
// a document's trip through a real shared-memory block.
#include <benchmark/benchmark.h>
#include <openssl/des.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "control/exchange_block.h"
#include "control/exchange_name.h"
#include "control/payload_scrambler.h"
#include "platform/im_client_endpoint.h"

namespace {

using namespace corvo::control;

const std::u16string kUser = u"cnalichnuser01";

std::vector<uint8_t> Region() {
    std::vector<uint8_t> region(kBlockCapacity);
    for (size_t i = 0; i < region.size(); ++i) region[i] = uint8_t(i * 131 + 7);
    return region;
}

void BM_ScramblePayload(benchmark::State& state) {
    std::vector<uint8_t> region = Region();
    for (auto _ : state) {
        ScramblePayload(region.data(), region.size(), kUser);
        benchmark::DoNotOptimize(region.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kBlockCapacity);
}
BENCHMARK(BM_ScramblePayload)->Unit(benchmark::kMicrosecond);

void BM_UnscramblePayload(benchmark::State& state) {
    std::vector<uint8_t> region = Region();
    for (auto _ : state) {
        UnscramblePayload(region.data(), region.size(), kUser);
        benchmark::DoNotOptimize(region.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kBlockCapacity);
}
BENCHMARK(BM_UnscramblePayload)->Unit(benchmark::kMicrosecond);

// The reference: OpenSSL's DES (with its permutations) over the same bytes,
// with a key schedule per region as ScramblePayload makes one per call.
void BM_OpenSslDesEcb(benchmark::State& state) {
    std::vector<uint8_t> region = Region();
    DES_cblock key = {'c', 'n', 'a', 'l', 'i', 'c', 'h', 'n'};
    for (auto _ : state) {
        DES_key_schedule schedule;
        DES_set_key_unchecked(&key, &schedule);
        for (size_t i = 0; i < region.size(); i += 8) {
            auto* block = reinterpret_cast<DES_cblock*>(region.data() + i);
            DES_ecb_encrypt(block, block, &schedule, DES_ENCRYPT);
        }
        benchmark::DoNotOptimize(region.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kBlockCapacity);
}
BENCHMARK(BM_OpenSslDesEcb)->Unit(benchmark::kMicrosecond);

// Removes the run's endpoint directory when the benchmark ends.
struct BenchDirectory {
    std::filesystem::path path;
    ~BenchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

// A request-sized login document written into and read back from a block.
void BM_BlockWriteRead(benchmark::State& state) {
    const std::u16string text =
        u"<SSO_XML_NAME>\r\n\t<bBase64Encoded>1</bBase64Encoded>\r\n\t<result>0</result>\r\n"
        u"\t<fulluserid>Y25hbGljaG51c2VyMDE=</fulluserid>\r\n\t<version></version>\r\n"
        u"\t<srcUrl></srcUrl>\r\n\t<realSSOUrl></realSSOUrl>\r\n"
        u"\t<ctrlversion>MS4wLjAuMQ==</ctrlversion>\r\n</SSO_XML_NAME>\r\n";
    // Blocks live in an endpoint directory: a private one of this run, so the
    // user's own (and its sweep of stale objects) is never touched.
    const std::filesystem::path base =
        std::filesystem::temp_directory_path() /
        ("corvo-exchange-bench-" + std::to_string(corvo::platform::CurrentProcessId()));
    std::error_code ec;
    std::filesystem::remove_all(base, ec);
    std::filesystem::create_directories(base, ec);
    const BenchDirectory cleanup{base};
    std::string error;
    if (ec || !corvo::platform::PrepareImClientEndpoint((base / "im").string(), &error)) {
        state.SkipWithError(
            ("cannot prepare an endpoint directory: " + (ec ? ec.message() : error)).c_str());
        return;
    }
    const std::u16string name = MakeExchangeName();
    auto block = ExchangeBlock::Create(name);
    if (!block) {
        state.SkipWithError(
            ("cannot create a shared-memory block: " + std::string(std::strerror(errno))).c_str());
        return;
    }
    std::u16string back;
    for (auto _ : state) {
        if (WriteBlockDocument(*block, text, kUser) != BlockStatus::kOk ||
            ReadBlockDocument(name, kUser, &back) != BlockStatus::kOk) {
            state.SkipWithError("block write/read failed");
            break;
        }
        benchmark::DoNotOptimize(back.data());
    }
}
BENCHMARK(BM_BlockWriteRead)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
