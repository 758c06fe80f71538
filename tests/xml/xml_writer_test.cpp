// The writer's layout, escaping and text forms, and Traverse.
#include "xparam/xml_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/xml/xml_test_support.h"

namespace xparam::test {
namespace {

// doc id="7" { name "A&B", none, list "x" { item 5 } }
XParamRef ExampleTree(std::u16string_view rootName = u"doc") {
    XParamRef doc = NewNode(rootName);
    AddText(doc.Get(), u"id", u"7", NodeKind::Attribute);
    AddText(doc.Get(), u"name", u"A&B");
    AddChild(doc.Get(), u"none");
    XParam* list = AddText(doc.Get(), u"list", u"x");
    AddChild(list, u"item")->SetValue(5);
    return doc;
}

const std::u16string kExampleXml =
    u"<doc id=\"7\">\r\n"
    u"\t<name>A&amp;B</name>\r\n"
    u"\t<none/>\r\n"
    u"\t<list>\r\n"
    u"\t\tx\r\n"
    u"\t\t<item>5</item>\r\n"
    u"\t</list>\r\n"
    u"</doc>\r\n";

TEST(XmlWriter, ExampleDocument) {
    XParamRef doc = ExampleTree();
    EXPECT_EQ(ToXml(doc.Get()), kExampleXml);
}

TEST(XmlWriter, UnnamedRootWritesOnlyItsElementChildren) {
    XParamRef root = NewNode();
    root->SetValue(u"ignored", -1);
    AddText(root.Get(), u"skipped", u"1", NodeKind::Attribute);
    XParamRef doc = ExampleTree();
    root->AppendChild(doc.Get());
    EXPECT_EQ(ToXml(root.Get()), kExampleXml);

    XParamRef two = NewNode();
    AddChild(two.Get(), u"a");
    AddText(two.Get(), u"b", u"t");
    EXPECT_EQ(ToXml(two.Get()), u"<a/>\r\n<b>t</b>\r\n");
    // Unnamed nodes further down lend their children their indentation.
    XParamRef nested = NewNode(u"r");
    XParam* group = AddChild(nested.Get(), u"");
    AddChild(group, u"a");
    AddChild(group, u"b");
    EXPECT_EQ(ToXml(nested.Get()), u"<r>\r\n\t<a/>\r\n\t<b/>\r\n</r>\r\n");
}

TEST(XmlWriter, EmptyLayoutPutsTheDocumentOnOneLine) {
    XParamRef doc = ExampleTree();
    EXPECT_EQ(ToXml(doc.Get(), u"", u""),
              u"<doc id=\"7\"><name>A&amp;B</name><none/><list>x<item>5</item></list></doc>");
    EXPECT_EQ(ToXml(doc.Get(), nullptr, nullptr), ToXml(doc.Get(), u"", u""));
}

struct SingleNodeCase {
    const char* what;
    XParamRef (*make)();
    std::u16string xml;
};

XParamRef Text(std::u16string_view text, NodeKind kind = NodeKind::Element) {
    XParamRef n = NewNode(u"t");
    n->SetNodeKind(kind);
    n->SetValue(text.data(), static_cast<int>(text.size()));
    return n;
}

const SingleNodeCase kSingleNodes[] = {
    {"cdata", [] { return Text(u"a<b", NodeKind::CData); }, u"<t><![CDATA[a<b]]></t>"},
    {"escaped", [] { return Text(u"a<b"); }, u"<t>a&lt;b</t>"},
    {"all five", [] { return Text(u"&<>\"'"); }, u"<t>&amp;&lt;&gt;&quot;&apos;</t>"},
    {"controls", [] { return Text(std::u16string_view(u"\x01\t\x0b\x1f\x00\r\n", 7)); },
     u"<t>&#x01;\t&#x0b;&#x1f;&#x00;\r\n</t>"},
    {"surrogates and DEL", [] { return Text(u"\xd83d\xde00\x7f\xd800"); },
     u"<t>\xd83d\xde00\x7f\xd800</t>"},
    {"cdata split", [] { return Text(u"a]]>b]]>", NodeKind::CData); },
     u"<t><![CDATA[a]]]]><![CDATA[>b]]]]><![CDATA[>]]></t>"},
    {"attribute quoting",
     [] {
         XParamRef a = NewNode(u"a");
         AddText(a.Get(), u"q", u"say \"hi\" & 'bye'", NodeKind::Attribute);
         return a;
     },
     u"<a q=\"say &quot;hi&quot; &amp; &apos;bye&apos;\"/>"},
    {"bool",
     [] {
         XParamRef a = NewNode(u"a");
         a->SetValue(true);
         return a;
     },
     u"<a>1</a>"},
    {"double",
     [] {
         XParamRef a = NewNode(u"a");
         a->SetValue(2.5);
         return a;
     },
     u"<a>2.5</a>"},
    {"binary",
     [] {
         XParamRef a = NewNode(u"a");
         const unsigned char ab[] = {0x41, 0x42};
         a->SetValue(ab, 2);
         return a;
     },
     u"<a>QUI=</a>"},
    {"empty string",
     [] {
         XParamRef a = NewNode(u"a");
         a->SetValue(u"", 0);
         return a;
     },
     u"<a></a>"},
    {"no value", [] { return NewNode(u"a"); }, u"<a/>"},
    {"no text form",
     [] {
         XParamRef a = NewNode(u"a");
         a->SetValue(static_cast<void*>(nullptr));
         a->SetValue(SharedHandle());
         return a;
     },
     u"<a></a>"},
    {"empty attribute",
     [] {
         XParamRef a = NewNode(u"a");
         AddChild(a.Get(), u"q", NodeKind::Attribute);
         return a;
     },
     u"<a q=\"\"/>"},
    {"attribute children are not written",
     [] {
         XParamRef a = NewNode(u"a");
         XParam* q = AddText(a.Get(), u"q", u"1", NodeKind::Attribute);
         AddText(q, u"inner", u"2");
         AddText(q, u"deep", u"3", NodeKind::Attribute);
         return a;
     },
     u"<a q=\"1\"/>"},
    {"attributes after elements stay in the start tag",
     [] {
         XParamRef a = NewNode(u"a");
         AddChild(a.Get(), u"e");
         AddText(a.Get(), u"q", u"1", NodeKind::Attribute);
         return a;
     },
     u"<a q=\"1\">\r\n\t<e/>\r\n</a>"},
    {"attribute root is an element", [] { return Text(u"v", NodeKind::Attribute); }, u"<t>v</t>"},
    {"cdata parent value on its own line",
     [] {
         XParamRef a = Text(u"]]>", NodeKind::CData);
         AddChild(a.Get(), u"e");
         return a;
     },
     u"<t>\r\n\t<![CDATA[]]]]><![CDATA[>]]>\r\n\t<e/>\r\n</t>"},
    {"parent value without text form",
     [] {
         XParamRef a = NewNode(u"a");
         a->SetValue(SharedHandle());
         AddChild(a.Get(), u"e");
         return a;
     },
     u"<a>\r\n\t<e/>\r\n</a>"},
};

TEST(XmlWriter, SingleNodes) {
    for (const SingleNodeCase& c : kSingleNodes) {
        SCOPED_TRACE(c.what);
        XParamRef node = c.make();
        std::u16string xml = ToXml(node.Get());
        std::u16string expected = c.xml + u"\r\n";
        EXPECT_EQ(Narrow(xml), Narrow(expected));
    }
}

TEST(XmlWriter, AbsentRootGivesNothingAndLeavesTheHolder) {
    XParamTraversalRef t = NewTraversal();
    XInResSlot slot;
    int length = 7;
    EXPECT_EQ(std::u16string(t->ToXml(nullptr, length, u"\t", u"\r\n", slot)), u"");
    EXPECT_EQ(length, 0);
    EXPECT_FALSE(slot);
    length = 7;
    EXPECT_EQ(std::string(t->ToXml(nullptr, length, "\t", "\r\n", 65001, slot)), "");
    EXPECT_EQ(length, 0);
    EXPECT_FALSE(slot);
    EXPECT_FALSE(t->Traverse(nullptr, nullptr, nullptr));
}

// Outputs of more than a gigabyte (run on their own: label bigmem): what fits a
// string (2^31 - 1 units) is written, what does not gives the empty text; the
// writer never throws. A chain of `depth` elements under eight-tab indentation
// makes about 8 * depth^2 units of layout from a small tree.
TEST(XmlWriterBigOutput, DISABLED_WrittenWhenItFitsEmptyWhenNot) {
    auto chain = [](int depth) {
        XParamRef root = NewNode(u"a");
        XParam* node = root.Get();
        for (int i = 1; i < depth; ++i) node = AddChild(node, u"a");
        return root;
    };
    // indent(i) "<a>" CRLF ... indent(i) "</a>" CRLF, and "<a/>" CRLF innermost.
    auto chainLength = [](uint64_t depth) {
        const uint64_t levels = depth - 1;
        return 8 * levels * (levels - 1) + 11 * levels + 8 * levels + 6;
    };
    XParamTraversalRef t = NewTraversal();
    XInResSlot slot;
    int length = -1;
    for (const int depth : {12000, 17000}) {
        const bool fits = chainLength(depth) <= INT32_MAX;
        XParamRef root = chain(depth);
        const char16_t* wide = t->ToXml(root.Get(), length, u"\t\t\t\t\t\t\t\t", u"\r\n", slot);
        EXPECT_EQ(uint64_t(length), fits ? chainLength(depth) : 0) << depth;
        if (fits) {
            EXPECT_EQ(std::u16string_view(wide + length - 6, 6), u"</a>\r\n");
        }
        slot.Reset();
        const char* utf8 = t->ToXml(root.Get(), length, "\t\t\t\t\t\t\t\t", "\r\n", 65001, slot);
        EXPECT_EQ(uint64_t(length), fits ? chainLength(depth) : 0) << depth;
        EXPECT_EQ(utf8[length], 0);
        slot.Reset();
    }
    // One plain-ASCII text of 800 million units: 800 MB of UTF-8.
    XParamRef doc = NewNode(u"t");
    {
        const std::string text(800'000'000, 'x');
        ASSERT_TRUE(doc->SetValue(text.data(), int(text.size()), 65001));
    }
    const char* utf8 = t->ToXml(doc.Get(), length, "", "", 65001, slot);
    ASSERT_EQ(length, 800'000'007);
    EXPECT_EQ(std::string_view(utf8 + length - 6, 6), "xx</t>");
}

TEST(XmlWriter, MultiByteTextInTheCodePage) {
    XParamTraversalRef t = NewTraversal();
    XParamRef doc = NewNode(u"\u4e2d");
    doc->SetValue(u"\u6587&", -1);
    XInResSlot slot;
    int length = 0;
    const char* utf8 = t->ToXml(doc.Get(), length, " ", "\n", 65001, slot);
    EXPECT_EQ(std::string(utf8, static_cast<size_t>(length)),
              "<\xe4\xb8\xad>\xe6\x96\x87&amp;</\xe4\xb8\xad>\n");
    EXPECT_EQ(utf8[length], 0);
    const char* gbk = t->ToXml(doc.Get(), length, "", "", 936, slot);
    EXPECT_EQ(std::string(gbk, static_cast<size_t>(length)), "<\xd6\xd0>\xce\xc4&amp;</\xd6\xd0>");
    // An unnamed root with nothing to write gives the empty text.
    XParamRef empty = NewNode();
    EXPECT_EQ(std::string(t->ToXml(empty.Get(), length, "", "", 65001, slot)), "");
    EXPECT_EQ(length, 0);
}

struct Visit {
    std::vector<std::string> names;
    std::string stopAt;
};

bool Record(XParam* node, void* user) {
    auto* v = static_cast<Visit*>(user);
    const char16_t* name = nullptr;
    int n = 0;
    node->GetName(name, n);
    v->names.push_back(Narrow(std::u16string_view(name, static_cast<size_t>(n))));
    return v->names.back() != v->stopAt;
}

TEST(XmlTraverse, VisitsInDocumentOrderAndStops) {
    XParamRef root = NewNode(u"root");
    XParam* a = AddChild(root.Get(), u"a");
    AddChild(a, u"a1");
    AddChild(a, u"a2", NodeKind::Attribute);
    AddChild(root.Get(), u"b");
    XParamTraversalRef t = NewTraversal();
    Visit all;
    EXPECT_TRUE(t->Traverse(root.Get(), Record, &all));
    EXPECT_EQ(all.names, (std::vector<std::string>{"root", "a", "a1", "a2", "b"}));
    Visit stop{{}, "a"};
    EXPECT_FALSE(t->Traverse(root.Get(), Record, &stop));
    EXPECT_EQ(stop.names, (std::vector<std::string>{"root", "a"}));
    EXPECT_TRUE(t->Traverse(root.Get(), nullptr, nullptr));
    // A walk that starts inside a tree stays in that subtree.
    Visit sub;
    EXPECT_TRUE(t->Traverse(a, Record, &sub));
    EXPECT_EQ(sub.names, (std::vector<std::string>{"a", "a1", "a2"}));
}

// Callbacks that change the tree: the walk never touches a freed node and goes
// on from the links as they stand (see docs/xparam.md). Nothing but the tree
// holds the nodes, so a node taken out dies unless the walk holds it.
struct TreeEdit {
    const char* at;
    void (*edit)(XParam* visited, XParam* root);
    std::vector<std::string> visits;
};

struct EditRun {
    const TreeEdit* edit;
    XParam* root;
    Visit visit;
};

bool EditAndRecord(XParam* node, void* user) {
    auto* run = static_cast<EditRun*>(user);
    Record(node, &run->visit);
    if (run->visit.names.back() == run->edit->at) run->edit->edit(node, run->root);
    return true;
}

void Unlink(XParam* node) {
    if (node) node->Detach(), node->Release();
}

TEST(XmlTraverse, CallbackChangesTheTree) {
    const std::vector<std::string> all{"root", "a", "a1", "a2", "b", "b1", "c"};
    const TreeEdit edits[] = {
        {"a", [](XParam* v, XParam*) { v->Detach(); }, {"root", "a", "b", "b1", "c"}},
        {"a", [](XParam* v, XParam* root) { root->RemoveChild(v); }, {"root", "a", "b", "b1", "c"}},
        {"a1", [](XParam* v, XParam*) { v->Detach(); }, all},
        {"a2", [](XParam* v, XParam*) { Unlink(v->GetParent()); }, all},
        {"a",
         [](XParam* v, XParam*) { Unlink(v->GetNextSibling()); },
         {"root", "a", "a1", "a2", "c"}},
        {"a", [](XParam*, XParam* root) { root->RemoveAllChildren(); }, {"root", "a"}},
        {"a1", [](XParam*, XParam* root) { root->RemoveAllChildren(); }, {"root", "a", "a1", "a2"}},
        {"b1",
         [](XParam* v, XParam* root) {
             XParam* b = v->GetParent();
             XParam* c = root->GetLastChild();
             b->AppendChild(c);
             c->Release();
             b->Release();
         },
         all},
    };
    XParamTraversalRef t = NewTraversal();
    for (const TreeEdit& edit : edits) {
        XParamRef root = NewNode(u"root");
        XParam* a = AddChild(root.Get(), u"a");
        AddChild(a, u"a1");
        AddChild(a, u"a2");
        AddChild(AddChild(root.Get(), u"b"), u"b1");
        AddChild(root.Get(), u"c");
        EditRun run{&edit, root.Get(), {}};
        EXPECT_TRUE(t->Traverse(root.Get(), EditAndRecord, &run)) << edit.at;
        EXPECT_EQ(run.visit.names, edit.visits) << edit.at;
    }
}

}  // namespace
}  // namespace xparam::test
