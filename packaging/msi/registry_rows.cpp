// corvo-registry-rows: the registry rows of the Windows installer, made by
// running the module's own registration (registry scripts 101 and 102 and the
// type library's keys, module/module_registration.h) into an empty registry
// tree at build time, so that the package writes exactly what regsvr32 writes
// and no row is copied by hand.
//
//   corvo-registry-rows --platform win32|win64 --module PATH --format reg|wxs
//
// PATH is the module's installed path as the package spells it (for the MSI
// "[INSTALLDIR]CorvoSSOLogin.dll"). The type library's flags are those of a
// library loaded from the module file (LIBFLAG_FHASDISKIMAGE). `reg` prints
// the keys as the tests' dumps of `reg export` show them; `wxs` prints WiX
// RegistryValue elements below HKEY_CURRENT_USER (an empty key as the row
// that creates it and removes it again, Name "*").
#include <iostream>
#include <string>
#include <vector>

#include "module/module_registration.h"
#include "module/registrar_store_registry.h"
#include "platform/registry_store.h"
#include "platform/type_library.h"

namespace {

using corvo::platform::RegistryTree;

constexpr uint16_t kLibraryHasDiskImage = 0x8;  // LIBFLAG_FHASDISKIMAGE

std::string XmlAttribute(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string RegQuoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

void Print(const RegistryTree& tree, const std::string& path, bool wxs) {
    std::vector<std::string> subkeys;
    std::vector<std::pair<std::string, std::string>> values;
    (void)tree.EnumSubkeys(path, &subkeys);
    (void)tree.EnumValues(path, &values);
    if (!path.empty()) {
        if (!wxs) {
            std::cout << "[HKEY_CURRENT_USER\\" << path << "]\n";
            for (const auto& [name, data] : values)
                std::cout << (name.empty() ? "@" : RegQuoted(name)) << "=" << RegQuoted(data)
                          << "\n";
        } else {
            const std::string key = " Root=\"HKCU\" Key=\"" + XmlAttribute(path) + "\"";
            for (const auto& [name, data] : values)
                std::cout << "<RegistryValue" << key
                          << (name.empty() ? "" : " Name=\"" + XmlAttribute(name) + "\"")
                          << " Type=\"string\" Value=\"" << XmlAttribute(data) << "\" />\n";
            if (values.empty() && subkeys.empty())
                std::cout << "<RegistryValue" << key
                          << " Name=\"*\" Type=\"string\" Value=\"\" />\n";
        }
    }
    for (const std::string& name : subkeys)
        Print(tree, path.empty() ? name : path + "\\" + name, wxs);
}

int Usage() {
    std::cerr
        << "usage: corvo-registry-rows --platform win32|win64 --module PATH --format reg|wxs\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string platform, module, format;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--platform")
            platform = argv[i + 1];
        else if (option == "--module")
            module = argv[i + 1];
        else if (option == "--format")
            format = argv[i + 1];
        else
            return Usage();
    }
    if ((platform != "win32" && platform != "win64") || module.empty() ||
        (format != "reg" && format != "wxs") || argc % 2 == 0)
        return Usage();
    corvo::platform::TypeLibraryIdentity library;
    library.platform = platform;
    library.flags = kLibraryHasDiskImage;
    RegistryTree tree;
    corvo::module::RegistrarStoreRegistry registry(tree);
    corvo::module::RegistrarError error;
    const HRESULT hr = corvo::module::RegisterModule(module, registry, &error, &library);
    if (FAILED(hr)) {
        std::cerr << "error: registration failed: " << error.ToString() << "\n";
        return 1;
    }
    Print(tree, "", format == "wxs");
    return 0;
}
