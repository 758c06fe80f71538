// corvo-registry-rows: the registry rows of the Windows installer, made by
// running the module's own registration (registry scripts 101 and 102 and the
// type library's keys, module/module_registration.h) into an empty registry
// tree at build time, so that the package writes exactly what regsvr32 writes
// and no row is copied by hand.
//
//   corvo-registry-rows --platform win32|win64 --directory DIR --format reg|wxs
//
// DIR is the module's installed folder as the package spells it, with its
// trailing separator (for the MSI "[INSTALLDIR]"); the module is
// DIR + "CorvoSSOLogin.dll". The type library's flags are those of a
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

// wixl 0.101 (its libmsi) cannot store text beyond ASCII in a package: it
// crashes on committing the database or drops the string. Such a value is
// written without its other characters (docs/install.md lists the one it
// meets: the type library's help string).
std::string AsciiOnly(const std::string& text) {
    std::string out;
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x80) out += c;
    while (!out.empty() && out.back() == ' ') out.pop_back();
    if (out != text) std::cerr << "note: \"" << text << "\" written as \"" << out << "\"\n";
    return out;
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
                          << " Type=\"string\" Value=\"" << XmlAttribute(AsciiOnly(data))
                          << "\" />\n";
            if (values.empty() && subkeys.empty())
                std::cout << "<RegistryValue" << key
                          << " Name=\"*\" Type=\"string\" Value=\"\" />\n";
        }
    }
    for (const std::string& name : subkeys)
        Print(tree, path.empty() ? name : path + "\\" + name, wxs);
}

int Usage() {
    std::cerr << "usage: corvo-registry-rows --platform win32|win64 --directory DIR "
                 "--format reg|wxs\n";
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
    std::string platform, directory, format;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--platform")
            platform = argv[i + 1];
        else if (option == "--directory")
            directory = argv[i + 1];
        else if (option == "--format")
            format = argv[i + 1];
        else
            return Usage();
    }
    if ((platform != "win32" && platform != "win64") || directory.empty() ||
        (format != "reg" && format != "wxs") || argc % 2 == 0)
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
    Print(tree, "", format == "wxs");
    return 0;
}
