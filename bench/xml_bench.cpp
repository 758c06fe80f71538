// The XParam XML reader and writer side by side with pugixml, libxml2,
// tinyxml2 and expat, on three generated inputs:
//  - small: the login document (about 350 bytes, TAB indent, CR LF);
//  - config: 400 <item id="...">text</item> (about 20 KB);
//  - large: about 20 MB, nesting up to depth 8, 1-3 attributes per element,
//    short text with some entity references, UTF-8 with a declaration.
// Readers are timed from the UTF-8 bytes (XParam decodes them first); the
// small document is also read through ParseText from UTF-16, as the control
// does. Bytes processed are input bytes for readers, output bytes for writers.
//
// Beside the times, each reader and writer reports (from one extra, untimed
// iteration after the timed ones) the heap allocations it makes (`allocs`:
// malloc-level calls, counted by the hook in bench/allocation_counter.h), and
// the tree readers the bytes their tree holds per element (`tree_B_per_elem`:
// heap bytes plus the XParam pool's blocks, read by a new reader so that all
// the pages it fills count). After the
// runs a summary table gives the medians, the ratios to pugixml and expat and
// the instructions one parse of `config` takes under callgrind (the program
// runs itself under valgrind with --parse-once).
#include <benchmark/benchmark.h>
#include <expat.h>
#include <libxml/parser.h>
#include <tinyxml2.h>
#include <unistd.h>
#include <valgrind/callgrind.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "bench/allocation_counter.h"
#include "xparam/small_block_pool.h"
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

// Each input is generated on first use only (the one-parse mode under
// valgrind needs `config` alone).
const std::string& Input(int which) {
    if (which == 0) {
        static const std::string small = SmallDocument();
        return small;
    }
    if (which == 1) {
        static const std::string config = ConfigDocument();
        return config;
    }
    static const std::string large = LargeDocument();
    return large;
}

// Elements of input `which` (attributes and the document node not counted).
double ElementCount(int which) {
    static double counts[3] = {};
    if (counts[which] == 0) {
        const std::string& doc = Input(which);
        pugi::xml_document d;
        d.load_buffer(doc.data(), doc.size());
        counts[which] = static_cast<double>(d.select_nodes("//*").size());
    }
    return counts[which];
}

const char* InputName(int which) {
    return which == 0 ? "small" : which == 1 ? "config" : "large";
}

void Label(benchmark::State& state, int which, size_t bytesPerIteration) {
    state.SetLabel(InputName(which));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(bytesPerIteration));
}

// One untimed iteration whose heap allocations are counted (`allocs`).
template <class Body>
void CountAllocations(benchmark::State& state, Body body) {
    bench::AllocationCounter::Start();
    auto kept = body();
    const bench::AllocationCounter::Figures f = bench::AllocationCounter::Stop();
    state.counters["allocs"] = static_cast<double>(f.allocations);
    benchmark::DoNotOptimize(kept);
}

// The bytes that the tree `body` returns holds per element of input `which`
// (`tree_B_per_elem`): heap bytes plus the XParam pool's blocks, which are no
// malloc calls of their own. `body` reads with a new reader, so that the
// pages it fills are all counted, as pugixml's are.
template <class Body>
void CountTreeBytes(benchmark::State& state, int which, Body body) {
    const std::ptrdiff_t poolBefore = xparam::SmallBlockPool::Stats().threadBlockBytes;
    bench::AllocationCounter::Start();
    auto kept = body();
    const bench::AllocationCounter::Figures f = bench::AllocationCounter::Stop();
    const std::ptrdiff_t pooled = xparam::SmallBlockPool::Stats().threadBlockBytes - poolBefore;
    state.counters["tree_B_per_elem"] =
        static_cast<double>(f.heldBytes + static_cast<int64_t>(pooled)) / ElementCount(which);
    benchmark::DoNotOptimize(kept);
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
    CountAllocations(state, [&] {
        parser->ParseBytes(reinterpret_cast<const uint8_t*>(doc.data()),
                           static_cast<int32_t>(doc.size()));
        return XParamRef::Adopt(parser->DetachRoot());
    });
    CountTreeBytes(state, which, [&] {
        XParamParserRef fresh = XParamParserRef::Adopt(CreateXParamParser());
        fresh->ParseBytes(reinterpret_cast<const uint8_t*>(doc.data()),
                          static_cast<int32_t>(doc.size()));
        return XParamRef::Adopt(fresh->DetachRoot());
    });
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
    CountAllocations(state, [&] {
        parser->ParseText(wide.Data(), static_cast<int32_t>(wide.Length()));
        return XParamRef::Adopt(parser->DetachRoot());
    });
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
    auto read = [&] {
        auto d = std::make_unique<pugi::xml_document>();
        d->load_buffer(doc.data(), doc.size());
        return d;
    };
    CountAllocations(state, read);
    CountTreeBytes(state, which, read);
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
    CountAllocations(state, [&] {
        XML_Parser p = XML_ParserCreate(nullptr);
        XML_SetElementHandler(p, OnStart, OnEnd);
        XML_SetCharacterDataHandler(p, OnText);
        XML_Status status = XML_Parse(p, doc.data(), static_cast<int>(doc.size()), 1);
        XML_ParserFree(p);
        return status;
    });
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
    CountAllocations(state, [&] {
        auto slot = std::make_unique<XInResSlot>();
        int length = 0;
        t->ToXml(root.Get(), length, u"\t", u"\r\n", *slot);
        return slot;
    });
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
    CountAllocations(state, [&] {
        auto slot = std::make_unique<XInResSlot>();
        int length = 0;
        t->ToXml(root.Get(), length, "\t", "\r\n", 65001, *slot);
        return slot;
    });
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
    CountAllocations(state, [&] {
        auto w = std::make_unique<StringWriter>();
        d.save(*w, "\t", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_utf8);
        return w;
    });
}

// Every figure is the median of five repetitions. The large input takes tens
// of milliseconds an iteration, so one short run holds few iterations and a
// busy neighbour on a shared machine moves it freely: it runs for half a
// second after a warm-up in each repetition.
#define XML_BENCH(fn)                   \
    BENCHMARK(fn)                       \
        ->DenseRange(0, 1)              \
        ->Unit(benchmark::kMicrosecond) \
        ->Repetitions(5)                \
        ->ReportAggregatesOnly(true);   \
    BENCHMARK(fn)                       \
        ->Arg(2)                        \
        ->Unit(benchmark::kMicrosecond) \
        ->MinWarmUpTime(0.2)            \
        ->MinTime(0.5)                  \
        ->Repetitions(5)                \
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

// ---------------------------------------------------------------------------
// Instructions of one parse of `config`, under callgrind.

// The body of `--parse-once=xparam|pugixml[:N]`: one parse of input N (0
// small, 1 config, the default, 2 large) and the release of its tree, with
// callgrind collecting only around them (after warm-up parses, so the XParam
// pool is in its steady state).
int ParseOnce(const std::string& which, int input) {
    const std::string& doc = Input(input);
    const auto* bytes = reinterpret_cast<const uint8_t*>(doc.data());
    const auto size = static_cast<int32_t>(doc.size());
    if (which == "xparam") {
        XParamParserRef parser = XParamParserRef::Adopt(CreateXParamParser());
        for (int k = 0; k < 3; ++k) parser->ParseBytes(bytes, size);
        parser->DetachRoot()->Release();
        CALLGRIND_TOGGLE_COLLECT;
        bool ok = parser->ParseBytes(bytes, size);
        parser->DetachRoot()->Release();
        CALLGRIND_TOGGLE_COLLECT;
        return ok ? 0 : 1;
    }
    if (which == "pugixml") {
        for (int k = 0; k < 3; ++k) pugi::xml_document().load_buffer(doc.data(), doc.size());
        CALLGRIND_TOGGLE_COLLECT;
        bool ok;
        {
            pugi::xml_document d;
            ok = static_cast<bool>(d.load_buffer(doc.data(), doc.size()));
        }
        CALLGRIND_TOGGLE_COLLECT;
        return ok ? 0 : 1;
    }
    return 2;
}

// `--write-once=wide|utf8|pugixml:N`: one write of input N (0 small, 1 config,
// 2 large) with callgrind collecting only around it, for looking into the
// writers with callgrind_annotate.
int WriteOnce(const std::string& which, int input) {
    const std::string& doc = Input(input);
    if (which == "pugixml") {
        pugi::xml_document d;
        d.load_buffer(doc.data(), doc.size());
        StringWriter w;
        d.save(w, "\t", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_utf8);
        StringWriter again;
        CALLGRIND_TOGGLE_COLLECT;
        d.save(again, "\t", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_utf8);
        CALLGRIND_TOGGLE_COLLECT;
        return again.out == w.out ? 0 : 1;
    }
    const XParamRef root = ParsedInput(input);
    XParamTraversalRef t = XParamTraversalRef::Adopt(CreateXParamTraversal());
    int length = 0;
    for (int k = 0; k < 2; ++k) {
        XInResSlot slot;
        if (which == "wide") {
            t->ToXml(root.Get(), length, u"\t", u"\r\n", slot);
        } else {
            t->ToXml(root.Get(), length, "\t", "\r\n", 65001, slot);
        }
        if (k == 0) CALLGRIND_TOGGLE_COLLECT;
    }
    CALLGRIND_TOGGLE_COLLECT;
    return length > 0 ? 0 : 1;
}

// Runs this program under callgrind for one parse; the instruction count, or
// -1 when valgrind is missing or fails.
double InstructionsOfOneParse(const std::string& which) {
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return -1;
    self[n] = 0;
    const std::string out = "/tmp/xml_bench.callgrind." + std::to_string(getpid()) + "." + which;
    const std::string command =
        "valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file=" + out + " '" + self +
        "' --parse-once=" + which + " >/dev/null 2>&1";
    double total = -1;
    if (std::system(command.c_str()) == 0) {
        if (FILE* f = std::fopen(out.c_str(), "r")) {
            char line[512];
            while (std::fgets(line, sizeof line, f)) {
                if (std::strncmp(line, "totals:", 7) == 0 ||
                    std::strncmp(line, "summary:", 8) == 0) {
                    total = std::strtod(line + (line[0] == 't' ? 7 : 8), nullptr);
                }
            }
            std::fclose(f);
        }
    }
    std::remove(out.c_str());
    return total;
}

// ---------------------------------------------------------------------------
// The summary table.

// Keeps the medians (CPU time in microseconds and the counters) of every run
// while the console reporter prints them as usual.
class MedianCollector : public benchmark::ConsoleReporter {
  public:
    struct Figures {
        double cpuMicros = 0;
        std::map<std::string, double> counters;
    };

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.aggregate_name != "median") continue;
            Figures& f = medians_[run.run_name.function_name + "/" + run.run_name.args];
            f.cpuMicros = run.GetAdjustedCPUTime();
            for (const auto& [name, counter] : run.counters) f.counters[name] = counter.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    const Figures* Find(const std::string& name, int which) const {
        auto it = medians_.find(name + "/" + std::to_string(which));
        return it == medians_.end() ? nullptr : &it->second;
    }

  private:
    std::map<std::string, Figures> medians_;
};

std::string Cell(double v, const char* format) {
    if (v < 0) return "-";
    char text[64];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

void PrintSummary(const MedianCollector& c) {
    auto time = [&](const char* name, int which) {
        const MedianCollector::Figures* f = c.Find(name, which);
        return f ? f->cpuMicros : -1;
    };
    auto counter = [&](const char* name, int which, const char* key) {
        const MedianCollector::Figures* f = c.Find(name, which);
        if (!f) return -1.0;
        auto it = f->counters.find(key);
        return it == f->counters.end() ? -1.0 : it->second;
    };
    auto ratio = [](double a, double b) { return a < 0 || b <= 0 ? -1 : a / b; };
    double load[3] = {};
    getloadavg(load, 3);
    std::printf("\nXML summary: CPU time in us, medians of 5 repetitions (load average %.2f)\n",
                load[0]);
    std::printf("%-7s %10s %10s %10s %10s %8s %8s %8s %8s\n", "input", "XParam", "XParamTxt",
                "pugixml", "expat", "X/pugi", "Txt/pugi", "X/expat", "Txt/exp");
    for (int which = 0; which < 3; ++which) {
        const double x = time("BM_Read_XParam", which);
        const double t = time("BM_Read_XParamText", which);
        const double p = time("BM_Read_Pugixml", which);
        const double e = time("BM_Read_ExpatNoTree", which);
        std::printf("%-7s %10s %10s %10s %10s %8s %8s %8s %8s\n", InputName(which),
                    Cell(x, "%.2f").c_str(), Cell(t, "%.2f").c_str(), Cell(p, "%.2f").c_str(),
                    Cell(e, "%.2f").c_str(), Cell(ratio(x, p), "%.2fx").c_str(),
                    Cell(ratio(t, p), "%.2fx").c_str(), Cell(ratio(x, e), "%.2fx").c_str(),
                    Cell(ratio(t, e), "%.2fx").c_str());
    }
    std::printf("\n%-7s %10s %10s %10s %10s %8s %8s\n", "write", "XParamW", "XParamU8", "pugixml",
                "", "W/pugi", "U8/pugi");
    for (int which = 0; which < 3; ++which) {
        const double w = time("BM_Write_XParamWide", which);
        const double u = time("BM_Write_XParamUtf8", which);
        const double p = time("BM_Write_Pugixml", which);
        std::printf("%-7s %10s %10s %10s %10s %8s %8s\n", InputName(which), Cell(w, "%.2f").c_str(),
                    Cell(u, "%.2f").c_str(), Cell(p, "%.2f").c_str(), "",
                    Cell(ratio(w, p), "%.2fx").c_str(), Cell(ratio(u, p), "%.2fx").c_str());
    }
    std::printf("\n%-7s %10s %10s %10s %10s %10s %10s\n", "memory", "allocs X", "allocs Txt",
                "allocs pugi", "allocs exp", "B/elem X", "B/elem pugi");
    for (int which = 0; which < 3; ++which) {
        std::printf("%-7s %10s %10s %10s %10s %10s %10s\n", InputName(which),
                    Cell(counter("BM_Read_XParam", which, "allocs"), "%.0f").c_str(),
                    Cell(counter("BM_Read_XParamText", which, "allocs"), "%.0f").c_str(),
                    Cell(counter("BM_Read_Pugixml", which, "allocs"), "%.0f").c_str(),
                    Cell(counter("BM_Read_ExpatNoTree", which, "allocs"), "%.0f").c_str(),
                    Cell(counter("BM_Read_XParam", which, "tree_B_per_elem"), "%.1f").c_str(),
                    Cell(counter("BM_Read_Pugixml", which, "tree_B_per_elem"), "%.1f").c_str());
    }
    const double ix = InstructionsOfOneParse("xparam");
    const double ip = InstructionsOfOneParse("pugixml");
    std::printf(
        "\ncallgrind, one parse of config and release of its tree (ParseBytes / "
        "load_buffer): XParam %s, pugixml %s instructions, ratio %s\n",
        Cell(ix, "%.0f").c_str(), Cell(ip, "%.0f").c_str(), Cell(ratio(ix, ip), "%.2fx").c_str());
}

// `which[:N]` of the one-run modes; N is `fallback` when left out.
struct OnceArgument {
    std::string which;
    int input;
};

OnceArgument SplitOnceArgument(const std::string& arg, int fallback) {
    const size_t colon = arg.find(':');
    if (colon == std::string::npos) return {arg, fallback};
    return {arg.substr(0, colon), std::atoi(arg.c_str() + colon + 1)};
}

}  // namespace

int main(int argc, char** argv) {
    for (int k = 1; k < argc; ++k) {
        if (std::strncmp(argv[k], "--parse-once=", 13) == 0) {
            const OnceArgument once = SplitOnceArgument(argv[k] + 13, 1);
            return ParseOnce(once.which, once.input);
        }
        if (std::strncmp(argv[k], "--write-once=", 13) == 0) {
            const OnceArgument once = SplitOnceArgument(argv[k] + 13, -1);
            return once.input < 0 ? 2 : WriteOnce(once.which, once.input);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    MedianCollector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    PrintSummary(collector);
    benchmark::Shutdown();
    return 0;
}
