// corvo-registry-rows: the registry rows of the Windows installer, made by
// running the module's own registration (registry scripts 101 and 102 and the
// type library's keys, module/module_registration.h) into an empty registry
// tree at build time, so that the package writes exactly what regsvr32 writes
// and no row is copied by hand.
//
//   corvo-registry-rows --platform win32|win64 --directory DIR --format reg|wxs
//                       [--keys all|view|platform]
//
// DIR is the module's installed folder as the package spells it, with its
// trailing separator (for the MSI "[INSTALLDIR]"); the module is
// DIR + "CorvoSSOLogin.dll". The type library's flags are those of a
// library loaded from the module file (LIBFLAG_FHASDISKIMAGE). `reg` prints
// the keys as the tests' dumps of `reg export` show them; `wxs` prints WiX
// RegistryValue elements below HKEY_CURRENT_USER (an empty key as the row
// that creates it and removes it again, Name "*"). `--keys` picks the rows:
// all of them (the default), or for an installation of both bitnesses
// (docs/install.md) the keys of the module's own registry view (its class
// and interface keys, which 64-bit Windows keeps apart for 32-bit programs)
// or its platform's key of the type library (in the key both views share).
#include <iostream>
#include <string>
#include <vector>

#include "module/module_registration.h"
#include "module/own_view_registry.h"
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

// wixl 0.101 (its libmsi) cannot store text beyond ASCII in a package: it
// crashes on committing the database or drops the string. Such a value is
// written as a stand-in, CORVO_TEXT_<its UTF-8 bytes in hex>, which
// packaging/msi/restore_texts.py replaces in the built package.
std::string StandIn(const std::string& text) {
    bool ascii = true;
    for (char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return text;
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "CORVO_TEXT_";
    for (char c : text) {
        out += kHex[static_cast<unsigned char>(c) >> 4];
        out += kHex[static_cast<unsigned char>(c) & 0xf];
    }
    return out;
}

// The keys printed: those at or below one of `only`, or all when it is empty.
bool Selected(const std::string& path, const std::vector<std::string>& only) {
    if (only.empty()) return true;
    for (const std::string& key : only)
        if (corvo::module::IsAtOrBelow(path, key)) return true;
    return false;
}

void Print(const RegistryTree& tree, const std::string& path, bool wxs,
           const std::vector<std::string>& only) {
    std::vector<std::string> subkeys;
    std::vector<std::pair<std::string, std::string>> values;
    (void)tree.EnumSubkeys(path, &subkeys);
    (void)tree.EnumValues(path, &values);
    if (!path.empty() && Selected(path, only)) {
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
                          << " Type=\"string\" Value=\"" << XmlAttribute(StandIn(data))
                          << "\" />\n";
            if (values.empty() && subkeys.empty())
                std::cout << "<RegistryValue" << key
                          << " Name=\"*\" Type=\"string\" Value=\"\" />\n";
        }
    }
    for (const std::string& name : subkeys)
        Print(tree, path.empty() ? name : path + "\\" + name, wxs, only);
}

int Usage() {
    std::cerr << "usage: corvo-registry-rows --platform win32|win64 --directory DIR "
                 "--format reg|wxs [--keys all|view|platform]\n";
    return 2;
}

// The registration runs with a module path in this folder, which is then
// replaced by the package's: an installer's folder ("[INSTALLDIR]") is no
// path the registrar could take the module's directory from.
constexpr char kStandInDirectory[] = "C:\\corvo-registry-rows\\";

void ReplaceStandIn(RegistryTree& tree, const std::string& path, const std::string& directory) {
    std::vector<std::string> subkeys;
    std::vector<std::pair<std::string, std::string>> values;
    (void)tree.EnumSubkeys(path, &subkeys);
    (void)tree.EnumValues(path, &values);
    for (auto& [name, data] : values) {
        for (size_t at; (at = data.find(kStandInDirectory)) != std::string::npos;)
            data.replace(at, sizeof kStandInDirectory - 1, directory);
        (void)tree.SetValue(path, name, data);
    }
    for (const std::string& name : subkeys)
        ReplaceStandIn(tree, path.empty() ? name : path + "\\" + name, directory);
}

}  // namespace

int main(int argc, char** argv) {
    std::string platform, directory, format, keys = "all";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--platform")
            platform = argv[i + 1];
        else if (option == "--directory")
            directory = argv[i + 1];
        else if (option == "--format")
            format = argv[i + 1];
        else if (option == "--keys")
            keys = argv[i + 1];
        else
            return Usage();
    }
    if ((platform != "win32" && platform != "win64") || directory.empty() ||
        (format != "reg" && format != "wxs") ||
        (keys != "all" && keys != "view" && keys != "platform") || argc % 2 == 0)
        return Usage();
    corvo::platform::TypeLibraryIdentity library;
    library.platform = platform;
    library.flags = kLibraryHasDiskImage;
    RegistryTree tree;
    corvo::module::RegistrarStoreRegistry registry(tree);
    corvo::module::RegistrarError error;
    const HRESULT hr = corvo::module::RegisterModule(
        std::string(kStandInDirectory) + "CorvoSSOLogin.dll", registry, &error, &library);
    if (FAILED(hr)) {
        std::cerr << "error: registration failed: " << error.ToString() << "\n";
        return 1;
    }
    ReplaceStandIn(tree, "", directory);
    std::vector<std::string> only;
    const corvo::module::ModuleViewKeys own = corvo::module::ViewKeysOfPlatform(platform);
    if (keys == "view") {
        only = own.interface_keys;
        only.push_back(own.class_key);
    } else if (keys == "platform") {
        only.push_back(own.library_platform_key);
    }
    Print(tree, "", format == "wxs", only);
    return 0;
}
