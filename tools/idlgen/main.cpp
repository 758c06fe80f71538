// corvo_idlgen INPUT.idl OUTPUT_DIR BASENAME
//
// Reads the IDL file and writes OUTPUT_DIR/BASENAME.h (GUIDs and interface
// declarations) and OUTPUT_DIR/BASENAME_dispatch.h (static dispatch tables).
// Files whose contents would not change are left untouched.
#include <fstream>
#include <iostream>
#include <sstream>

#include "tools/idlgen/header_writer.h"
#include "tools/idlgen/idl_parser.h"

namespace {

bool WriteIfChanged(const std::string& path, const std::string& contents) {
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream old;
        old << in.rdbuf();
        if (in && old.str() == contents) return true;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
    out.close();
    if (!out) {
        std::cerr << path << ": error: cannot write the file\n";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: corvo_idlgen INPUT.idl OUTPUT_DIR BASENAME\n";
        return 2;
    }
    const std::string input = argv[1];
    const std::string dir = argv[2];
    const std::string base = argv[3];
    std::ifstream in(input, std::ios::binary);
    if (!in) {
        std::cerr << input << ": error: cannot read the file\n";
        return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    try {
        const corvo::idlgen::IdlFile idl = corvo::idlgen::ParseIdl(text.str(), input);
        std::string name = input.substr(input.find_last_of("/\\") + 1);
        const bool ok = WriteIfChanged(dir + "/" + base + ".h",
                                       corvo::idlgen::WriteInterfaceHeader(idl, name)) &&
                        WriteIfChanged(dir + "/" + base + "_dispatch.h",
                                       corvo::idlgen::WriteDispatchHeader(idl, name, base + ".h"));
        return ok ? 0 : 1;
    } catch (const corvo::idlgen::IdlError& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
}
