// Reads arbitrary UTF-16 text (little-endian pairs of the input) with the
// reader, then writes the tree built and reads that again.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/xml_fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    std::vector<char16_t> text(size / 2);
    for (size_t k = 0; k < text.size(); ++k) {
        text[k] = static_cast<char16_t>(data[2 * k] | data[2 * k + 1] << 8);
    }
    xparam::XParamParserRef parser = xparam::XParamParserRef::Adopt(xparam::CreateXParamParser());
    parser->ParseText(text.data(), static_cast<int32_t>(text.size()));
    CheckParsedTree(parser.Get(), text.size());
    return 0;
}
