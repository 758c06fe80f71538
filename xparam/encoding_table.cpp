#include "xparam/encoding_table.h"

#include <cstring>

namespace xparam {

const EncodingTableRow EncodingTable[kEncodingTableSize] = {
    {"", 65001},        {"utf-8", 65001},     {"utf8", 65001},         {"utf-16le", 1200},
    {"utf16le", 1200},  {"utf-16", 1200},     {"utf16", 1200},         {"unicode", 1200},
    {"utf-16be", 1201}, {"utf16be", 1201},    {"unicodefffe", 1201},   {"gb2312", 936},
    {"gbk", 936},       {"x-cp20936", 20936}, {"hz-gb-2312", 52936},   {"gb18030", 54936},
    {"big5", 950},      {"shift_jis", 932},   {"ks_c_5601-1987", 949}, {"us-ascii", 20127},
};

uint32_t LookupCodePage(const char* name) {
    if (name == nullptr) return 0;
    for (const EncodingTableRow& row : EncodingTable) {
        if (std::strcmp(row.name, name) == 0) return row.codePage;
    }
    return 0;
}

ByteOrderMark ByteOrderMarkFor(uint32_t codePage) {
    static constexpr uint8_t kUtf8[] = {0xEF, 0xBB, 0xBF};
    static constexpr uint8_t kUtf16Le[] = {0xFF, 0xFE};
    static constexpr uint8_t kUtf16Be[] = {0xFE, 0xFF};
    switch (codePage) {
        case 65001:
            return {kUtf8, 3};
        case 1200:
            return {kUtf16Le, 2};
        case 1201:
            return {kUtf16Be, 2};
        default:
            return {nullptr, 0};
    }
}

}  // namespace xparam
