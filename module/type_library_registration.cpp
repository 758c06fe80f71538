#include "module/type_library_registration.h"

#include "control/module_directory.h"
#include "platform/com/guid_text.h"
#include "platform/strict_utf8.h"
#include "platform/type_library.h"

namespace corvo::module {
namespace {

// Names and GUIDs go into the script as quoted registrar strings.
std::string Quoted(std::string_view text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

std::string Ascii(const char16_t* text) {
    std::string out;
    if (!text || !platform::StrictUtf16ToUtf8(text, out)) return {};
    return out;
}

std::string VersionText(const com::LibraryDescription& library) {
    return std::to_string(library.major_version) + "." + std::to_string(library.minor_version);
}

}  // namespace

std::string TypeLibraryScript(const com::LibraryDescription& library) {
    const std::string libid = Quoted(GuidToAscii(*library.libid));
    const std::string version = Quoted(VersionText(library));
    std::string script =
        "HKCU\n{\n NoRemove Software\n {\n  NoRemove Classes\n  {\n"
        "   NoRemove TypeLib\n   {\n    " +
        libid + "\n    {\n     " + version +
        " = s '%TYPELIB_HELP%'\n     {\n"
        "      FLAGS = s '%TYPELIB_FLAGS%'\n"
        "      HELPDIR = s '%HELPDIR%'\n"
        "      '0'\n      {\n       '%TYPELIB_PLATFORM%' = s '%MODULE%'\n      }\n"
        "     }\n    }\n   }\n"
        "   NoRemove Interface\n   {\n";
    for (uint32_t i = 0; i < library.interface_count; ++i) {
        const com::InterfaceDescription& itf = *library.interfaces[i];
        // A dual interface is marshalled by the automation marshaler, a
        // dispinterface (the events) by the IDispatch proxy.
        const char* proxy =
            itf.kind == com::InterfaceKind::Dual ? kAutomationMarshalerClsid : kDispatchProxyClsid;
        script += "    ForceRemove " + Quoted(GuidToAscii(*itf.iid)) + " = s " +
                  Quoted(Ascii(itf.name)) +
                  "\n    {\n"
                  "     ProxyStubClsid = s '" +
                  proxy +
                  "'\n"
                  "     ProxyStubClsid32 = s '" +
                  proxy + "'\n     TypeLib = s " + libid + "\n     {\n      val Version = s " +
                  version + "\n     }\n    }\n";
    }
    script += "   }\n  }\n }\n}\n";
    return script;
}

HRESULT AddTypeLibraryReplacements(const com::LibraryDescription& library,
                                   std::string_view module_path, Registrar* registrar,
                                   const platform::TypeLibraryIdentity* loaded) {
    std::string help;
    if (!library.help || !platform::StrictUtf16ToUtf8(library.help, help)) return E_INVALIDARG;
    std::string system = "win32";
    uint16_t flags = 0;
    if (loaded) {
        system = loaded->platform;
        flags = loaded->flags;
    } else if (platform::SystemHasTypeLibraries()) {
        // The module's own library decides; it must be the one described.
        platform::TypeLibraryIdentity identity;
        const HRESULT loaded = platform::LoadModuleTypeLibrary(module_path, &identity);
        if (FAILED(loaded)) return loaded;
        if (!IsEqualGUID(identity.libid, *library.libid) ||
            identity.major_version != library.major_version ||
            identity.minor_version != library.minor_version)
            return TYPE_E_LIBNOTREGISTERED;
        system = identity.platform;
        flags = identity.flags;
    }
    HRESULT hr = registrar->AddReplacement("TYPELIB_HELP", help);
    if (SUCCEEDED(hr))
        hr = registrar->AddReplacement("HELPDIR", control::ModuleDirectory<char>(module_path));
    if (SUCCEEDED(hr)) hr = registrar->AddReplacement("TYPELIB_PLATFORM", system);
    if (SUCCEEDED(hr)) hr = registrar->AddReplacement("TYPELIB_FLAGS", std::to_string(flags));
    return hr;
}

HRESULT UpdateTypeLibraryRegistration(const com::LibraryDescription& library,
                                      const Registrar& registrar, RegistrarMode mode,
                                      RegistrarRegistry& registry, RegistrarError* error) {
    return registrar.Run(TypeLibraryScript(library), mode, registry, error);
}

}  // namespace corvo::module
