// The XParam XML reader and writer side by side with pugixml, libxml2,
// tinyxml2 and expat, on three generated inputs:
//  - small: the login document (about 350 bytes, TAB indent, CR LF);
//  - config: 400 <item id="...">text</item> (about 20 KB);
//  - large: about 20 MB, nesting up to depth 8, 1-3 attributes per element,
//    short text with some entity references, UTF-8 with a declaration.
// Readers are timed from the UTF-8 bytes (XParam decodes them first); the
// small document is also read through ParseText from UTF-16, as the control
// does. Bytes processed are input bytes for readers, output bytes for writers.
#include <benchmark/benchmark.h>
#include <expat.h>
#include <libxml/parser.h>
#include <tinyxml2.h>

#include <cstdint>
#include <pugixml.hpp>
#include <string>

#include "xparam/text_codec.h"
#include "xparam/xparam_parser.h"
#include "xparam/xparam_traversal.h"

namespace {

using namespace xparam;

// A small deterministic generator (64-bit LCG), so every run reads the same.
class Lcg {
  public:
    uint32_t Next(uint32_t bound) {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(state_ >> 33) % bound;
    }

  private:
    uint64_t state_ = 0x5eed;
};

std::string SmallDocument() {
    return "<SSO_XML_NAME>\r\n"
           "\t<fulluserid>Y25hbGljaG5mdXp6dXNlcjAxQGV4YW1wbGUuY29t</fulluserid>\r\n"
           "\t<siteid>Y25hbGljaG4=</siteid>\r\n"
           "\t<userid>ZnV6enVzZXIwMQ==</userid>\r\n"
           "\t<siteDescript>5Lit5paH56uZ54K5</siteDescript>\r\n"
           "\t<version>MS4wLjAuMjM=</version>\r\n"
           "\t<result>0</result>\r\n"
           "\t<realSSOUrl>aHR0cHM6Ly9sb2dpbi5leGFtcGxlLmNvbS9zc28/dD0x</realSSOUrl>\r\n"
           "</SSO_XML_NAME>\r\n";
}

std::string ConfigDocument() {
    std::string out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<config>\r\n";
    for (int k = 0; k < 400; ++k) {
        out += "\t<item id=\"" + std::to_string(1000 + k) + "\">value number " + std::to_string(k) +
               "</item>\r\n";
    }
    out += "</config>\r\n";
    return out;
}

const char* const kNames[] = {"record", "entry", "field", "group", "node",
                              "value",  "meta",  "link",  "item",  "data"};
const char* const kTexts[] = {
    "alpha",    "beta &amp; gamma",         "42",   "3.14159",
    "x &lt; y", "\xe4\xb8\xad\xe6\x96\x87", "true", "some longer text here"};

std::string LargeDocument() {
    Lcg random;
    std::string out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<root>\n";
    std::string indent = "\t";
    const std::string::size_type target = 20u << 20;
    // Emits one subtree of at most `depth` more levels.
    auto element = [&](auto& self, int depth) -> void {
        const char* name = kNames[random.Next(10)];
        out += indent;
        out += '<';
        out += name;
        const uint32_t attributes = 1 + random.Next(3);
        for (uint32_t a = 0; a < attributes; ++a) {
            out += " a" + std::to_string(a) + "=\"" + std::to_string(random.Next(100000)) + '"';
        }
        const uint32_t children = depth > 0 ? random.Next(4) : 0;
        if (children == 0) {
            out += '>';
            out += kTexts[random.Next(8)];
            out += "</";
            out += name;
            out += ">\n";
            return;
        }
        out += ">\n";
        indent += '\t';
        for (uint32_t c = 0; c < children; ++c) self(self, depth - 1);
        indent.pop_back();
        out += indent + "</" + name + ">\n";
    };
    while (out.size() < target) element(element, 7);
    out += "</root>\n";
    return out;
}

const std::string& Input(int which) {
    static const std::string small = SmallDocument();
    static const std::string config = ConfigDocument();
    static const std::string large = LargeDocument();
    return which == 0 ? small : which == 1 ? config : large;
}

const char* InputName(int which) {
    return which == 0 ? "small" : which == 1 ? "config" : "large";
}

void Label(benchmark::State& state, int which, size_t bytesPerIteration) {
    state.SetLabel(InputName(which));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(bytesPerIteration));
}

// ---------------------------------------------------------------------------
// Readers

void BM_Read_XParam(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const std::string& doc = Input(which);
    XParamParserRef parser = XParamParserRef::Adopt(CreateXParamParser());
    for (auto _ : state) {
        bool ok = parser->ParseBytes(reinterpret_cast<const uint8_t*>(doc.data()),
                                     static_cast<int32_t>(doc.size()));
        if (!ok) state.SkipWithError("parse failed");
        XParamRef root = XParamRef::Adopt(parser->DetachRoot());
        benchmark::DoNotOptimize(root.Get());
    }
    Label(state, which, doc.size());
}

void BM_Read_XParamText(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const std::string& doc = Input(which);
    WideString wide;
    ToWide(doc.data(), static_cast<int32_t>(doc.size()), 65001, wide);
    XParamParserRef parser = XParamParserRef::Adopt(CreateXParamParser());
    for (auto _ : state) {
        bool ok = parser->ParseText(wide.Data(), static_cast<int32_t>(wide.Length()));
        if (!ok) state.SkipWithError("parse failed");
        XParamRef root = XParamRef::Adopt(parser->DetachRoot());
        benchmark::DoNotOptimize(root.Get());
    }
    Label(state, which, doc.size());
}

void BM_Read_Pugixml(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const std::string& doc = Input(which);
    for (auto _ : state) {
        pugi::xml_document d;
        pugi::xml_parse_result r = d.load_buffer(doc.data(), doc.size());
        if (!r) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(d.first_child());
    }
    Label(state, which, doc.size());
}

void BM_Read_Libxml2(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const std::string& doc = Input(which);
    for (auto _ : state) {
        xmlDocPtr d = xmlReadMemory(doc.data(), static_cast<int>(doc.size()), "bench.xml", nullptr,
                                    XML_PARSE_NONET | XML_PARSE_HUGE);
        if (!d) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(d);
        xmlFreeDoc(d);
    }
    Label(state, which, doc.size());
}

void BM_Read_Tinyxml2(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const std::string& doc = Input(which);
    for (auto _ : state) {
        tinyxml2::XMLDocument d;
        if (d.Parse(doc.data(), doc.size()) != tinyxml2::XML_SUCCESS) {
            state.SkipWithError("parse failed");
        }
        benchmark::DoNotOptimize(d.FirstChild());
    }
    Label(state, which, doc.size());
}

void XMLCALL OnStart(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL OnEnd(void*, const XML_Char*) {}
void XMLCALL OnText(void*, const XML_Char*, int) {}

void BM_Read_ExpatNoTree(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const std::string& doc = Input(which);
    for (auto _ : state) {
        XML_Parser p = XML_ParserCreate(nullptr);
        XML_SetElementHandler(p, OnStart, OnEnd);
        XML_SetCharacterDataHandler(p, OnText);
        if (XML_Parse(p, doc.data(), static_cast<int>(doc.size()), 1) != XML_STATUS_OK) {
            state.SkipWithError("parse failed");
        }
        XML_ParserFree(p);
    }
    Label(state, which, doc.size());
}

// ---------------------------------------------------------------------------
// Writers: the same document, read once, written with one TAB and CR LF.

// The tree of input `which`, read once for a writer benchmark.
XParamRef ParsedInput(int which) {
    const std::string& doc = Input(which);
    XParamParserRef parser = XParamParserRef::Adopt(CreateXParamParser());
    parser->ParseBytes(reinterpret_cast<const uint8_t*>(doc.data()),
                       static_cast<int32_t>(doc.size()));
    return XParamRef::Adopt(parser->GetRoot());
}

void BM_Write_XParamWide(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const XParamRef root = ParsedInput(which);
    XParamTraversalRef t = XParamTraversalRef::Adopt(CreateXParamTraversal());
    size_t bytes = 0;
    for (auto _ : state) {
        XInResSlot slot;
        int length = 0;
        benchmark::DoNotOptimize(t->ToXml(root.Get(), length, u"\t", u"\r\n", slot));
        bytes = static_cast<size_t>(length) * 2;
    }
    Label(state, which, bytes);
}

void BM_Write_XParamUtf8(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const XParamRef root = ParsedInput(which);
    XParamTraversalRef t = XParamTraversalRef::Adopt(CreateXParamTraversal());
    size_t bytes = 0;
    for (auto _ : state) {
        XInResSlot slot;
        int length = 0;
        benchmark::DoNotOptimize(t->ToXml(root.Get(), length, "\t", "\r\n", 65001, slot));
        bytes = static_cast<size_t>(length);
    }
    Label(state, which, bytes);
}

struct StringWriter : pugi::xml_writer {
    std::string out;
    void write(const void* data, size_t size) override {
        out.append(static_cast<const char*>(data), size);
    }
};

void BM_Write_Pugixml(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const std::string& doc = Input(which);
    pugi::xml_document d;
    d.load_buffer(doc.data(), doc.size());
    size_t bytes = 0;
    for (auto _ : state) {
        StringWriter w;
        d.save(w, "\t", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_utf8);
        bytes = w.out.size();
        benchmark::DoNotOptimize(w.out.data());
    }
    Label(state, which, bytes);
}

// The large input takes tens of milliseconds an iteration, so one short run
// holds few iterations and a busy neighbour on a shared machine moves it
// freely: it runs five times for half a second after a warm-up, and the
// median of the five is the figure to read ("large_median").
#define XML_BENCH(fn)                                               \
    BENCHMARK(fn)->DenseRange(0, 1)->Unit(benchmark::kMicrosecond); \
    BENCHMARK(fn)                                                   \
        ->Arg(2)                                                    \
        ->Unit(benchmark::kMicrosecond)                             \
        ->MinWarmUpTime(0.2)                                        \
        ->MinTime(0.5)                                              \
        ->Repetitions(5)                                            \
        ->ReportAggregatesOnly(true)
XML_BENCH(BM_Read_XParam);
XML_BENCH(BM_Read_XParamText);
XML_BENCH(BM_Read_Pugixml);
XML_BENCH(BM_Read_Libxml2);
XML_BENCH(BM_Read_Tinyxml2);
XML_BENCH(BM_Read_ExpatNoTree);
XML_BENCH(BM_Write_XParamWide);
XML_BENCH(BM_Write_XParamUtf8);
XML_BENCH(BM_Write_Pugixml);

}  // namespace

BENCHMARK_MAIN();
