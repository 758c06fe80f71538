// conformance_vectors: prints the conformance vectors, one per line, so that
// the native build and the Windows build (under Wine) can be compared byte
// for byte (compare_vectors.py, docs/platforms.md).
//   conformance_vectors SCRATCH_DIR          every vector group
//   conformance_vectors --map936             the full code page 936 map
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/binary_stdio.h"
#include "tests/conformance/vector_sink.h"

int main(int argc, char** argv) {
    corvo::platform::SetBinaryStandardStreams();
    if (argc == 2 && std::strcmp(argv[1], "--map936") == 0) {
        corvo::conformance::EmitCodePage936Map();
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: conformance_vectors SCRATCH_DIR | --map936\n");
        return 2;
    }
    corvo::conformance::EmitCodePageVectors();
    corvo::conformance::EmitBlockVectors();
    corvo::conformance::EmitWriterVectors(argv[1]);
    corvo::conformance::EmitReaderVectors();
    return std::fflush(stdout) == 0 ? 0 : 1;
}
