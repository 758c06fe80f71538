// Reads arbitrary bytes as an XML document (encoding sniffing, decoding and
// the reader), then writes the tree built and reads that again.
#include <cstddef>
#include <cstdint>

#include "fuzz/xml_fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    xparam::XParamParserRef parser = xparam::XParamParserRef::Adopt(xparam::CreateXParamParser());
    parser->ParseBytes(data, static_cast<int32_t>(size));
    // The decoded length is unknown here; no decoding makes more units than bytes.
    CheckParsedTree(parser.Get(), size);
    return 0;
}
