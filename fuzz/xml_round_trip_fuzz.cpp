// Builds a tree from the input (tests/xml/xml_tree_generator.h: element names
// of name characters, printable element text without leading or trailing
// blanks and without line breaks, attribute values without line breaks, CDATA
// text of any kind), writes it with a layout chosen by the first byte, reads
// it back, and requires the tree read to equal the tree written after the
// normalisations of the XML form (every value becomes its text; an empty
// element text becomes no value; a CData node without a value becomes an
// element; an attribute without a value gets the empty text; attributes come
// before element children).
#include <cstddef>
#include <cstdint>

#include "tests/xml/xml_test_support.h"
#include "tests/xml/xml_tree_generator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace xparam;
    using namespace xparam::test;
    if (size == 0) return 0;
    const uint8_t layout = data[0];
    size_t at = 1;
    XmlTreeGenerator generator([&](uint32_t bound) -> uint32_t {
        uint32_t v = 0;
        for (uint32_t range = 1; range < bound && at < size; range <<= 8) v = v << 8 | data[at++];
        return v;
    });
    XParamRef tree = generator.Make();
    const char16_t* indents[] = {u"", u"\t", u"  "};
    const char16_t* breaks[] = {u"", u"\r\n", u"\n"};
    const std::u16string xml = ToXml(tree.Get(), indents[layout % 3], breaks[(layout / 3) % 3]);
    XParamParserRef parser = NewParser();
    if (!parser->ParseText(xml.data(), static_cast<int32_t>(xml.size()))) __builtin_trap();
    XParamRef back = XParamRef::Adopt(RootOf(parser.Get())->GetDocumentElement());
    XParamRef expected = NormalisedForXml(tree.Get());
    if (!back || Dump(back.Get()) != Dump(expected.Get())) __builtin_trap();
    return 0;
}
