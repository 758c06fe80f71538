// XML writer output for a set of trees: the wide text, the text in a code
// page, and the bytes of saved files in each encoding the writer names.
#include <cstdio>
#include <string>

#include "tests/conformance/vector_sink.h"
#include "tests/xml/xml_test_support.h"

namespace corvo::conformance {
namespace {

using namespace xparam;
using xparam::test::AddChild;
using xparam::test::AddText;
using xparam::test::NewNode;

XParamRef EscapesTree() {
    XParamRef doc = NewNode(u"doc");
    AddText(doc.Get(), u"id", u"7\"'<&>", NodeKind::Attribute);
    AddText(doc.Get(), u"name", u"A&B <c> \"d\" 'e'");
    AddText(doc.Get(), u"raw", u"x]]>y<z>", NodeKind::CData);
    AddChild(doc.Get(), u"none");
    return doc;
}

XParamRef NumbersTree() {
    XParamRef doc = NewNode(u"n");
    AddChild(doc.Get(), u"int")->SetValue(-2147483647 - 1);
    AddChild(doc.Get(), u"i64")->SetValue(static_cast<long long>(-9007199254740993LL));
    AddChild(doc.Get(), u"u64")->SetValue(18446744073709551615ULL);
    AddChild(doc.Get(), u"long")->SetValue(static_cast<long>(-2147483647L - 1));
    AddChild(doc.Get(), u"ulong")->SetValue(static_cast<unsigned long>(4294967295UL));
    AddChild(doc.Get(), u"tenth")->SetValue(0.1);
    AddChild(doc.Get(), u"big")->SetValue(1e300);
    AddChild(doc.Get(), u"tiny")->SetValue(4.9406564584124654e-324);
    AddChild(doc.Get(), u"third")->SetValue(1.0f / 3.0f);
    AddChild(doc.Get(), u"negzero")->SetValue(-0.0);
    AddChild(doc.Get(), u"ld")->SetValue(static_cast<long double>(2.5));
    AddChild(doc.Get(), u"yes")->SetValue(true);
    const unsigned char bytes[] = {0x00, 0xff, 0x10, 0x80, 0x7f};
    AddChild(doc.Get(), u"bin")->SetValue(bytes, static_cast<int>(sizeof bytes));
    return doc;
}

XParamRef NationalTree() {
    XParamRef doc = NewNode(u"\u4e2d");
    AddText(doc.Get(), u"\u540d", u"\u503c", NodeKind::Attribute);
    AddText(doc.Get(), u"v", u"\u4e2d\u6587\u20ac\u00e9\u00c0\u0e01\U0001F600");
    AddText(doc.Get(), u"lone", u"a\xd83d");
    return doc;
}

struct TreeInput {
    const char* what;
    XParamRef (*make)();
};

const TreeInput kTrees[] = {
    {"escapes", EscapesTree},
    {"numbers", NumbersTree},
    {"national", NationalTree},
};

std::string ReadFile(const std::string& path) {
    std::string out;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[4096];
        size_t n = 0;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
        std::fclose(f);
    }
    return out;
}

std::u16string Widen(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

}  // namespace

void EmitWriterVectors(const std::string& scratchDir) {
    XParamTraversalRef traversal = xparam::test::NewTraversal();
    const std::string path = scratchDir + "/saved.xml";
    const std::u16string widePath = Widen(path);
    for (const TreeInput& in : kTrees) {
        XParamRef tree = in.make();
        const std::string id = std::string("writer/") + in.what;
        Emit(id + "/utf16", "", HexUnits(xparam::test::ToXml(tree.Get())));
        for (unsigned codePage : {0u, 936u, 65001u, 52936u, 54936u}) {
            XInResSlot slot;
            int length = -1;
            const char* text = traversal->ToXml(tree.Get(), length, "", "\n", codePage, slot);
            Emit(id + "/cp" + std::to_string(codePage), "",
                 Hex(std::string_view(text, static_cast<size_t>(length))));
        }
        for (const char16_t* encoding :
             {u"", u"utf-16", u"UTF-16BE", u"gbk", u"gb2312", u"hz-gb-2312", u"gb18030", u"big5",
              u"shift_jis", u"euc-kr", u"us-ascii", u"Windows-1252"}) {
            std::remove(path.c_str());
            const bool saved =
                traversal->SaveXml(tree.Get(), widePath.c_str(), u"", u"\n", encoding);
            std::string name;
            for (const char16_t* c = encoding; *c; ++c) name += static_cast<char>(*c);
            Emit(id + "/save/" + (name.empty() ? "default" : name), "",
                 saved ? Hex(ReadFile(path)) : "fail");
        }
    }
    std::remove(path.c_str());
}

}  // namespace corvo::conformance
