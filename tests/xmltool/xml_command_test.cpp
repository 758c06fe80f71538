// `corvo-sso xml` run as a user runs it: the exact JSON of parse for every
// input mode, write/parse round trips over every value kind, saved files in
// several encodings, every getter type of get, and the usage errors.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/common/subprocess.h"

namespace {

using Outcome = corvo::test::ProgramResult;

std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "xmltool_" + std::to_string(getpid()) + "_" + name;
}

std::string ReadFile(const std::string& path) {
    return corvo::test::ReadFileBytes(path);
}

std::string WriteFile(const std::string& name, const std::string& content) {
    const std::string path = TempPath(name);
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

// Runs corvo-sso with `args`, `input` on standard input.
Outcome RunTool(const std::vector<std::string>& args, const std::string& input = {}) {
    corvo::test::ProgramOptions options;
    options.input = input;
    return corvo::test::RunTool(CORVO_SSO_PATH, args, options);
}

std::string Utf16Le(const std::u16string& text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xff);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

// The JSON of a parse with the document node's children `children`.
std::string Parsed(bool ok, int error, int line, int column, int position,
                   const std::string& children) {
    return std::string("{\"ok\": ") + (ok ? "true" : "false") +
           ", \"error\": " + std::to_string(error) + ", \"line\": " + std::to_string(line) +
           ", \"column\": " + std::to_string(column) +
           ", \"position\": " + std::to_string(position) +
           ", \"root\": {\"name\": \"\", \"node\": 0, \"value\": null, \"children\": [" + children +
           "]}}\n";
}

std::string Leaf(const std::string& name, int node, const std::string& text) {
    return "{\"name\": \"" + name + "\", \"node\": " + std::to_string(node) +
           ", \"value\": {\"kind\": 80, \"text\": \"" + text + "\"}, \"children\": []}";
}

std::string Bare(const std::string& name, const std::string& children = {}) {
    return "{\"name\": \"" + name + "\", \"node\": 0, \"value\": null, \"children\": [" + children +
           "]}";
}

TEST(XmlParse, EveryInputModeGivesTheExactJson) {
    const std::string file = WriteFile("plain.xml", "<a x=\"1\">h\xc3\xa9\"\\</a>");
    const std::string aWithX =
        "{\"name\": \"a\", \"node\": 0, \"value\": {\"kind\": 80, \"text\": "
        "\"h\\u00e9\\u0022\\u005c\"}, \"children\": [" +
        Leaf("x", 2, "1") + "]}";
    struct Case {
        std::vector<std::string> args;
        std::string stdinData;
        int exit_code;
        std::string out;
    };
    const Case cases[] = {
        {{"xml", "parse", file}, "", 0, Parsed(true, 0, 1, 17, 17, aWithX)},
        {{"xml", "parse", "--as", "bytes", "-"},
         ReadFile(file),
         0,
         Parsed(true, 0, 1, 17, 17, aWithX)},
        {{"xml", "parse", "--as", "file", file}, "", 0, Parsed(true, 0, 1, 17, 17, aWithX)},
        {{"xml", "parse", "--as", "codepage=65001", "-"},
         ReadFile(file),
         0,
         Parsed(true, 0, 1, 17, 17, aWithX)},
        // Code page 936: D6 D0 is U+4E2D.
        {{"xml", "parse", "--as", "codepage=936", "-"},
         "<z>\xd6\xd0</z>",
         0,
         Parsed(true, 0, 1, 8, 8, Leaf("z", 0, "\\u4e2d"))},
        // A UTF-16LE byte-order mark is sniffed by the byte input.
        {{"xml", "parse", "-"},
         "\xff\xfe" + Utf16Le(u"<q>\u00e9</q>"),
         0,
         Parsed(true, 0, 1, 8, 8, Leaf("q", 0, "\\u00e9"))},
        // Lone surrogates, control characters, both quotes and the backslash.
        {{"xml", "parse", "--as", "utf16", "-"},
         Utf16Le(u"<s a='\"\\'>\xd800x\xdc00&#1;&#x1f;\t'</s>"),
         0,
         Parsed(true, 0, 1, 29, 29,
                "{\"name\": \"s\", \"node\": 0, \"value\": {\"kind\": 80, \"text\": "
                "\"\\ud800x\\udc00\\u0001\\u001f\\u0009'\"}, \"children\": [" +
                    Leaf("a", 2, "\\u0022\\u005c") + "]}")},
        // CDATA and an empty-element tag.
        {{"xml", "parse", "-"},
         "<c><![CDATA[<&>]]><e/></c>",
         0,
         Parsed(true, 0, 1, 26, 26,
                "{\"name\": \"c\", \"node\": 1, \"value\": {\"kind\": 80, \"text\": \"<&>\"}, "
                "\"children\": [" +
                    Bare("e") + "]}")},
        // Failures keep the tree built so far and point at the offending character.
        {{"xml", "parse", "-"}, "<a></b>", 1, Parsed(false, 7, 1, 7, 7, Bare("a"))},
        {{"xml", "parse", "-"}, "<a>\n<b!", 1, Parsed(false, 6, 2, 3, 7, Bare("a", Bare("b")))},
        {{"xml", "parse", "-"}, "<a>&foo;</a>", 1, Parsed(false, 5, 1, 8, 8, Bare("a"))},
        {{"xml", "parse", "-"}, "<abc", 0, Parsed(true, 0, 1, 4, 4, Bare("abc"))},
        {{"xml", "parse", "-"}, "ab", 1, Parsed(false, 9, 1, 0, 0, "")},
        {{"xml", "parse", "--as", "utf16", "-"}, "", 1, Parsed(false, 0, 1, 0, 0, "")},
        {{"xml", "parse", "--as", "codepage=65001", "-"}, "", 1, Parsed(false, 0, 1, 0, 0, "")},
        {{"xml", "parse", "--as", "file", TempPath("missing.xml")},
         "",
         1,
         Parsed(false, 12, 1, 0, 0, "")},
    };
    for (const Case& c : cases) {
        const Outcome o = RunTool(c.args, c.stdinData);
        SCOPED_TRACE(c.args.back() + " with input " + c.stdinData);
        EXPECT_EQ(o.exitCode, c.exit_code) << o.err;
        EXPECT_EQ(o.out, c.out);
    }
}

TEST(XmlWrite, EveryValueKindRoundTripsThroughParse) {
    // Each value kind with the text the writer gives it; the reader brings
    // every value back as a String (kind 80).
    struct Kind {
        std::string json;  // VALUE
        std::string text;  // the STR of the parsed value, or "" for null
    };
    const std::vector<Kind> kinds = {
        {R"({"kind": 17, "text": "-128"})", "-128"},
        {R"({"kind": 18, "text": "255"})", "255"},
        {R"({"kind": 19, "text": "-32768"})", "-32768"},
        {R"({"kind": 20, "text": "65535"})", "65535"},
        {R"({"kind": 21, "text": "-2147483648"})", "-2147483648"},
        {R"({"kind": 22, "text": "4294967295"})", "4294967295"},
        {R"({"kind": 23, "text": "-9223372036854775808"})", "-9223372036854775808"},
        {R"({"kind": 24, "text": "18446744073709551615"})", "18446744073709551615"},
        {R"({"kind": 25, "text": "-7"})", "-7"},
        {R"({"kind": 26, "text": "7"})", "7"},
        {R"({"kind": 27, "text": "0.1"})", "0.100000001"},
        {R"({"kind": 28, "text": "2.5"})", "2.5"},
        {R"({"kind": 29, "text": "-0.25"})", "-0.25"},
        {R"({"kind": 30, "text": "true"})", "1"},
        {R"({"kind": 30, "text": "0"})", "0"},
        {R"({"kind": 80, "text": "<&>\"'\u0001\t\u00e9\ud83d\ude00"})",
         "<&>\\u0022'\\u0001\\u0009\\u00e9\\ud83d\\ude00"},
        {R"({"kind": 81, "hex": "4142"})", "QUI="},
        {R"({"kind": 81, "hex": ""})", ""},
        {R"({"kind": 80, "text": ""})", ""},
        {R"(null)", ""},
        {R"({"kind": 0})", ""},
    };
    std::string tree = R"({"name": "all", "children": [)";
    // The reader gives attributes first (they stand in the start tag), then
    // the element children, each group in list order.
    std::string attributes, elements;
    for (size_t i = 0; i < kinds.size(); ++i) {
        const std::string name = "k" + std::to_string(i);
        // Every other one is an attribute.
        const int node = i % 2 ? 2 : 0;
        tree += (i ? ", " : "") + std::string("{\"name\": \"") + name +
                "\", \"node\": " + std::to_string(node) + ", \"value\": " + kinds[i].json + "}";
        std::string& group = node == 2 ? attributes : elements;
        group += group.empty() ? "" : ", ";
        if (!kinds[i].text.empty())
            group += Leaf(name, node, kinds[i].text);
        else if (node == 2)  // an attribute always has a (maybe empty) text
            group += Leaf(name, node, "");
        else
            group += Bare(name);
    }
    tree += R"(, {"name": "cd", "node": 1, "value": {"kind": 80, "text": "a<b]]>c"}}]})";
    const std::string expected = attributes + ", " + elements + ", " + Leaf("cd", 1, "a<b]]>c");
    const std::string treeFile = WriteFile("all.json", tree);

    // Indented, UTF-8 on standard output.
    const Outcome written = RunTool({"xml", "write", treeFile});
    ASSERT_EQ(written.exitCode, 0) << written.err;
    EXPECT_EQ(written.out.substr(0, 4), "<all");
    EXPECT_NE(written.out.find("\r\n\t<k0>-128</k0>\r\n"), std::string::npos);
    EXPECT_NE(written.out.find(" k1=\"255\""), std::string::npos);
    EXPECT_EQ(written.out.substr(written.out.size() - 8), "</all>\r\n");
    const Outcome parsed = RunTool({"xml", "parse", "-"}, written.out);
    EXPECT_EQ(parsed.exitCode, 0);
    const std::string all =
        "{\"name\": \"all\", \"node\": 0, \"value\": null, \"children\": [" + expected + "]}";
    EXPECT_EQ(
        parsed.out.substr(parsed.out.find("\"root\"")),
        "\"root\": {\"name\": \"\", \"node\": 0, \"value\": null, \"children\": [" + all + "]}}\n");

    // The same tree on one line, as UTF-16LE, read back as UTF-16.
    const Outcome wide =
        RunTool({"xml", "write", "--indent", "", "--newline", "", "--utf16", treeFile});
    ASSERT_EQ(wide.exitCode, 0);
    EXPECT_EQ(wide.out.substr(0, 16), Utf16Le(u"<all k1="));
    const Outcome wideParsed = RunTool({"xml", "parse", "--as", "utf16", "-"}, wide.out);
    EXPECT_EQ(wideParsed.out.substr(wideParsed.out.find("\"root\"")),
              parsed.out.substr(parsed.out.find("\"root\"")));
}

TEST(XmlWrite, ParseOutputIsWriteInputAndTheSecondRoundIsAFixedPoint) {
    // The escaped STR form, lone surrogates included, survives write --utf16.
    // Literal line breaks in text are the one loss: the writer keeps CR and
    // LF as they are and the reader drops them, so only the second round is
    // exact for such a document.
    struct Document {
        std::u16string text;
        bool firstRoundExact;
    };
    const Document documents[] = {
        {u"<d a='1' b='&quot;q&quot;'><e>x&#13;&#10;y</e><f><![CDATA[<raw>]]></f><g/></d>", false},
        {u"<lone>\xd800 and \xdc01 \xffff</lone>", true},
        {u"<a>1</a><b><c>2</c></b>", true},
        {u"<\u00e9l\u00e8ve n\u00e9='\u4e2d'>\U0001f600</\u00e9l\u00e8ve>", true},
    };
    // The "root" member of a parse, and the NODE in it.
    auto root = [](const Outcome& o) { return o.out.substr(o.out.find("\"root\": ")); };
    auto round = [&](const std::string& utf16) {
        const Outcome parsed = RunTool({"xml", "parse", "--as", "utf16", "-"}, utf16);
        EXPECT_EQ(parsed.exitCode, 0);
        const std::string node = root(parsed).substr(8);
        const Outcome written =
            RunTool({"xml", "write", "--utf16", "-"}, node.substr(0, node.size() - 2));
        EXPECT_EQ(written.exitCode, 0) << written.err;
        return std::make_pair(root(parsed), written.out);
    };
    for (const Document& doc : documents) {
        const auto [first, firstXml] = round(Utf16Le(doc.text));
        const auto [second, secondXml] = round(firstXml);
        const auto [third, thirdXml] = round(secondXml);
        if (doc.firstRoundExact) {
            EXPECT_EQ(second, first);
        }
        EXPECT_EQ(third, second);
        EXPECT_EQ(thirdXml, secondXml);
    }
}

TEST(XmlWrite, SaveWritesDeclarationAndByteOrderMarkPerEncoding) {
    const std::string tree =
        WriteFile("save.json", R"({"name": "z", "value": {"kind": 80, "text": "\u4e2d"}})");
    struct Case {
        std::string encoding;  // empty: option not given
        std::string bytes;     // the whole file
    };
    const std::string utf8Body = "<z>\xe4\xb8\xad</z>\r\n";
    const Case cases[] = {
        {"", "\xef\xbb\xbf<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n" + utf8Body},
        {"UTF-8", "\xef\xbb\xbf<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n" + utf8Body},
        {"UTF-16",
         "\xff\xfe" + Utf16Le(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<z>\u4e2d</z>\r\n")},
        {"gb2312", "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<z>\xd6\xd0</z>\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.encoding);
        const std::string out = TempPath("saved.xml");
        std::vector<std::string> args = {"xml", "write", "--save", out, tree};
        if (!c.encoding.empty()) args.insert(args.end() - 1, {"--encoding", c.encoding});
        const Outcome o = RunTool(args);
        EXPECT_EQ(o.exitCode, 0) << o.err;
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(ReadFile(out), c.bytes);
        // The reader takes the saved file back.
        const Outcome back = RunTool({"xml", "parse", "--as", "file", out});
        EXPECT_EQ(back.exitCode, 0);
        EXPECT_NE(back.out.find(Leaf("z", 0, "\\u4e2d")), std::string::npos) << back.out;
        std::remove(out.c_str());
    }
    const Outcome unwritable =
        RunTool({"xml", "write", "--save", TempPath("no/such/dir/x.xml"), tree});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_NE(unwritable.err.find("could not write"), std::string::npos);
}

TEST(XmlGet, EveryTypeFailAndUnresolvedPath) {
    const std::string doc =
        WriteFile("get.xml",
                  "<d><i>-5</i><u>200</u><f>0.1</f><b>yes</b><t>h\xc3\xa9llo</t><x>QUI=</x>"
                  "<big>70000</big><n>abc</n><r a='1'/><r a='2'/><e/></d>");
    struct Case {
        std::vector<std::string> args;
        int exit_code;
        std::string out;  // exact standard output
    };
    const Case cases[] = {
        {{"d/i", "--as", "char"}, 0, "-5\n"},
        {{"d/u", "--as", "uchar"}, 0, "200\n"},
        {{"d/u", "--as", "char"}, 0, "-56\n"},  // the 8-bit parse wraps,
        {{"d/i", "--as", "short"}, 0, "-5\n"},
        {{"d/u", "--as", "ushort"}, 0, "200\n"},
        {{"d/big", "--as", "int"}, 0, "70000\n"},
        {{"d/big", "--as", "short"}, 0, "4464\n"},
        {{"d/u", "--as", "uint"}, 0, "200\n"},
        {{"d/i", "--as", "int64"}, 0, "-5\n"},
        {{"d/big", "--as", "uint64"}, 0, "70000\n"},
        {{"d/i", "--as", "long"}, 0, "-5\n"},
        {{"d/u", "--as", "ulong"}, 0, "200\n"},
        {{"d/f", "--as", "float"}, 0, "0.10000000149011612\n"},
        {{"d/f", "--as", "double"}, 0, "0.10000000000000001\n"},
        {{"d/f", "--as", "longdouble"}, 0, "0.10000000000000001\n"},
        {{"d/b", "--as", "bool"}, 0, "true\n"},
        {{"d/i", "--as", "bool"}, 0, "true\n"},
        {{"d/n", "--as", "bool"}, 1, "fail\n"},
        {{"d/n", "--as", "int"}, 1, "fail\n"},
        {{"d/t", "--as", "text"}, 0, "h\xc3\xa9llo\n"},
        {{"d/x", "--as", "bytes"}, 0, "4142\n"},
        {{"d/f", "--as", "bytes"}, 1, "fail\n"},
        {{"d/e", "--as", "bytes"}, 1, "fail\n"},
        {{"d/e", "--as", "text"}, 1, "fail\n"},
        {{"d/r/a", "--as", "int"}, 0, "1\n"},
        {{"d/r[1]/a", "--as", "int"}, 0, "2\n"},
        {{"d[0]/r[1]/a[0]", "--as", "text"}, 0, "2\n"},
        {{"d/r[2]/a", "--as", "int"}, 2, ""},
        {{"d/zz", "--as", "int"}, 2, ""},
        {{"d/r[x]", "--as", "int"}, 2, ""},
        {{"d//r", "--as", "int"}, 2, ""},
        {{"d/i", "--as", "number"}, 2, ""},
        {{"d/i"}, 2, ""},
        {{"d/i", "--as", "int", "--as-input", "file"}, 0, "-5\n"},
        {{"d/i", "--as", "int", "--as-input", "codepage=936"}, 0, "-5\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"xml", "get", doc};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome o = RunTool(args);
        SCOPED_TRACE(c.args[0] + (c.args.size() > 2 ? " " + c.args[2] : ""));
        EXPECT_EQ(o.exitCode, c.exit_code) << o.err;
        EXPECT_EQ(o.out, c.out);
        if (c.exit_code == 2) {
            EXPECT_NE(o.err, "");
        }
    }
    // The step that failed is named.
    EXPECT_NE(RunTool({"xml", "get", doc, "d/r/zz", "--as", "int"}).err.find("step 3 \"zz\""),
              std::string::npos);
    // Standard input and UTF-16 input.
    EXPECT_EQ(RunTool({"xml", "get", "-", "a/b", "--as", "int"}, "<a><b>12</b></a>").out, "12\n");
    EXPECT_EQ(RunTool({"xml", "get", "-", "a", "--as", "text", "--as-input", "utf16"},
                      Utf16Le(u"<a>\xd800</a>"))
                  .out,
              "\xef\xbf\xbd\n");
}

TEST(XmlUsage, BadArgumentsAndBadTreesExitTwoWithAMessage) {
    const std::string goodTree = WriteFile("good.json", R"({"name": "a"})");
    struct Case {
        std::vector<std::string> args;
        std::string stdinData;
        std::string err;  // a part of standard error
    };
    const Case cases[] = {
        {{"xml"}, "", ""},
        {{"xml", "parse"}, "", "FILE"},
        {{"xml", "parse", "--as", "latin1", "-"}, "", "bad input mode \"latin1\""},
        {{"xml", "parse", "--as", "codepage=", "-"}, "", "bad input mode"},
        {{"xml", "parse", "--as", "file", "-"}, "", "--as file needs a file name"},
        {{"xml", "parse", "--as", "utf16", "-"}, "abc", "odd number of bytes"},
        {{"xml", "parse", TempPath("missing.xml")}, "", "cannot open"},
        {{"xml", "write", "-"}, R"({"name": "a",)", "standard input is not valid JSON"},
        {{"xml", "write", "-"}, R"([1])", "a node is not a JSON object at /"},
        {{"xml", "write", "-"}, R"({"value": null})", "missing \"name\" at /"},
        {{"xml", "write", "-"}, R"({"name": "a", "nmae": 1})", "unknown node member \"nmae\""},
        {{"xml", "write", "-"}, R"({"name": "a", "node": 3})", "unknown node kind 3"},
        {{"xml", "write", "-"},
         R"({"name": "a", "children": [{"name": "b", "value": {"kind": 99, "text": "1"}}]})",
         "unknown value kind 99 at /children/0/value/kind"},
        {{"xml", "write", "-"},
         R"({"name": "a", "value": {"kind": 51, "text": "1"}})",
         "value kind 51 (ComUnknown) cannot be given in JSON"},
        {{"xml", "write", "-"},
         R"({"name": "a", "value": {"kind": 21, "text": "12x"}})",
         "bad Int number text \"12x\" at /value/text"},
        {{"xml", "write", "-"},
         R"({"name": "a", "value": {"kind": 17, "text": "128"}})",
         "bad Char number text \"128\" (out of range)"},
        {{"xml", "write", "-"},
         R"({"name": "a", "value": {"kind": 18, "text": "-1"}})",
         "bad UChar number text"},
        {{"xml", "write", "-"},
         R"({"name": "a", "value": {"kind": 28, "text": " 1"}})",
         "bad Double number text"},
        {{"xml", "write", "-"},
         R"({"name": "a", "value": {"kind": 27, "text": "1e99"}})",
         "bad Float number text"},
        {{"xml", "write", "-"},
         R"({"name": "a", "value": {"kind": 30, "text": "yes"}})",
         "bad Bool text \"yes\""},
        {{"xml", "write", "-"},
         R"({"name": "a", "value": {"kind": 81, "hex": "414"}})",
         "odd number of hexadecimal digits"},
        {{"xml", "write", "-"},
         R"({"name": "a", "value": {"kind": 81, "hex": "zz"}})",
         "bad hexadecimal digits"},
        {{"xml", "write", "-"}, R"({"name": "a", "value": {"kind": 80}})", "missing \"text\""},
        {{"xml", "write", "-"}, R"({"name": "a", "children": {}})", "\"children\" is not an array"},
        {{"xml", "write", "--indent", "\\x", goodTree}, "", "bad escape in --indent"},
        {{"xml", "write", "--newline", "\\", goodTree}, "", "bad escape in --newline"},
        {{"xml", "write", "--encoding", "utf-8", goodTree}, "", "--save"},
        {{"xml", "get", goodTree, "a"}, "", "--as"},
    };
    for (const Case& c : cases) {
        const Outcome o = RunTool(c.args, c.stdinData);
        SCOPED_TRACE(c.stdinData.empty() ? c.args.back() : c.stdinData);
        EXPECT_EQ(o.exitCode, 2);
        EXPECT_NE(o.err.find(c.err), std::string::npos) << o.err;
    }
}

TEST(XmlWrite, EscapesOfIndentAndNewline) {
    const std::string tree = R"({"name": "a", "children": [{"name": "b"}]})";
    EXPECT_EQ(RunTool({"xml", "write", "--indent", "\\\\ ", "--newline", "\\n", "-"}, tree).out,
              "<a>\n\\ <b/>\n</a>\n");
    EXPECT_EQ(RunTool({"xml", "write", "--indent", "\\t\\r", "--newline", "", "-"}, tree).out,
              "<a>\t\r<b/></a>");
}

#if defined(__SANITIZE_ADDRESS__)
constexpr int kDepth = 200000;
#else
constexpr int kDepth = 1000000;
#endif

// Neither direction recurses per level of the tree.
TEST(XmlParse, DeepTreesPrintAndBuildWithoutRecursion) {
    std::string xml;
    for (int i = 0; i < kDepth; ++i) xml += "<a>";
    const Outcome parsed = RunTool({"xml", "parse", "-"}, xml);
    ASSERT_EQ(parsed.exitCode, 0) << parsed.err;
    EXPECT_EQ(parsed.out.size(),
              Parsed(true, 0, 1, 3 * kDepth, 3 * kDepth, "").size() + kDepth * Bare("a").size());

    std::string json;
    for (int i = 0; i < kDepth; ++i) json += R"({"name": "a", "children": [)";
    json += R"({"name": "b"})";
    for (int i = 0; i < kDepth; ++i) json += "]}";
    const Outcome written = RunTool({"xml", "write", "--indent", "", "--newline", "", "-"}, json);
    ASSERT_EQ(written.exitCode, 0) << written.err;
    EXPECT_EQ(written.out.size(), static_cast<size_t>(kDepth) * 7 + 4);
    EXPECT_EQ(written.out.substr(kDepth * 3 - 3, 10), "<a><b/></a");
}

}  // namespace
