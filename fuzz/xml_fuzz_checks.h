// Checks shared by the XML fuzz targets: after any parse the reported place
// lies inside the text, and a tree the reader built is written as XML that
// the reader accepts again.
#pragma once

#include <cstddef>
#include <cstdint>

#include "xparam/xparam_parser.h"
#include "xparam/xparam_traversal.h"

inline void CheckParsedTree(xparam::XParamParser* parser, size_t textLength) {
    using namespace xparam;
    if (parser->GetPosition() > textLength || parser->GetLine() < 1 || parser->GetColumn() < 0) {
        __builtin_trap();
    }
    XParamRef root = XParamRef::Adopt(parser->GetRoot());
    if (!root) return;
    XParamTraversalRef traversal = XParamTraversalRef::Adopt(CreateXParamTraversal());
    XInResSlot slot;
    int length = 0;
    const char16_t* xml = traversal->ToXml(root.Get(), length, u"\t", u"\r\n", slot);
    if (length == 0) return;
    XParamParserRef again = XParamParserRef::Adopt(CreateXParamParser());
    if (!again->ParseText(xml, length)) __builtin_trap();
}
