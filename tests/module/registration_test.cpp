// DllRegisterServer and DllUnregisterServer over a private registry file.
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <vector>

#include "corvo_sso_login_dispatch.h"
#include "module/module_registration.h"
#include "module_test_support.h"
#include "platform/com/guid_text.h"
#include "platform/posix/registry_store.h"
#include "tests/control/fake_site.h"

namespace corvo::module::test {
namespace {

constexpr char kClasses[] = "Software\\Classes\\";

std::string ModulePath() {
    return std::filesystem::path(CORVO_MODULE_PATH).lexically_normal().string();
}

std::string Value(const std::string& registry, const std::string& key,
                  const std::string& name = "") {
    std::string data;
    const HRESULT hr = platform::RegistryStore(registry).Read(
        [&](const platform::RegistryTree& tree) { return tree.GetValue(key, name, &data); });
    return SUCCEEDED(hr) ? data : "(missing)";
}

TEST(Registration, WritesTheKeysOnceAndAgain) {
    PrivateRegistry registry;
    ASSERT_EQ(Module::Get().RegisterServer(), S_OK);
    const std::string once = registry.Text();
    ASSERT_EQ(Module::Get().RegisterServer(), S_OK);
    EXPECT_EQ(registry.Text(), once) << "registering twice leaves one set of keys";

    const std::string clsid = std::string(kClasses) + "CLSID\\" + GuidToAscii(CLSID_SSOLoginCtrl);
    const std::string libid = GuidToAscii(LIBID_CorvoSSOLoginLib);
    const std::string typelib = std::string(kClasses) + "TypeLib\\" + libid + "\\1.0";
    struct Expected {
        std::string key, name, data;
    };
    const Expected expected[] = {
        {std::string(kClasses) + "AppID\\" + kAppId, "", "CorvoSSOLoginM"},
        {std::string(kClasses) + "AppID\\CorvoSSOLogin.DLL", "AppID", kAppId},
        {std::string(kClasses) + "CorvoSSOLoginM.SSOLoginCtrl\\CurVer", "",
         "CorvoSSOLoginM.SSOLoginCtrl.1"},
        {clsid + "\\InprocServer32", "", ModulePath()},
        {clsid + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {clsid, "AppID", kAppId},
        {typelib, "", "CorvoSSOLogin 1.0 \xE7\xB1\xBB\xE5\x9E\x8B\xE5\xBA\x93"},
        {typelib + "\\0\\win32", "", ModulePath()},
        {typelib + "\\FLAGS", "", "0"},
        // The directory keeps its separator, as the client-version lookup's does.
        {typelib + "\\HELPDIR", "",
         std::filesystem::path(ModulePath()).parent_path().string() + "/"},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.key + " " + e.name);
        EXPECT_EQ(Value(registry.path(), e.key, e.name), e.data);
    }
    // One Interface key per interface of the library: the dual ones with the
    // automation marshaler, the event dispinterface with the IDispatch proxy.
    size_t duals = 0, dispinterfaces = 0;
    for (uint32_t i = 0; i < idl::kCorvoSSOLoginLib.interface_count; ++i) {
        const com::InterfaceDescription& itf = *idl::kCorvoSSOLoginLib.interfaces[i];
        const std::string key = std::string(kClasses) + "Interface\\" + GuidToAscii(*itf.iid);
        const bool dual = itf.kind == com::InterfaceKind::Dual;
        ++(dual ? duals : dispinterfaces);
        const std::string proxy = dual ? "{00020424-0000-0000-C000-000000000046}"
                                       : "{00020420-0000-0000-C000-000000000046}";
        std::string name;
        for (const char16_t* c = itf.name; *c; ++c) name += static_cast<char>(*c);
        EXPECT_EQ(Value(registry.path(), key), name);
        EXPECT_EQ(Value(registry.path(), key + "\\TypeLib"), libid);
        EXPECT_EQ(Value(registry.path(), key + "\\TypeLib", "Version"), "1.0");
        EXPECT_EQ(Value(registry.path(), key + "\\ProxyStubClsid"), proxy);
        EXPECT_EQ(Value(registry.path(), key + "\\ProxyStubClsid32"), proxy);
    }
    EXPECT_EQ(duals, 3u);
    EXPECT_EQ(dispinterfaces, 1u);
}

// Unregistering removes exactly what registration wrote: what other software
// keeps in the same keys stays, byte for byte.
TEST(Registration, UnregisterRemovesExactlyWhatWasWritten) {
    PrivateRegistry registry;
    const std::string foreign =
        "REGEDIT4\n\n"
        "[HKEY_CURRENT_USER\\Software]\n\n"
        "[HKEY_CURRENT_USER\\Software\\Classes]\n\n"
        "[HKEY_CURRENT_USER\\Software\\Classes\\AppID]\n\n"
        "[HKEY_CURRENT_USER\\Software\\Classes\\AppID\\Other.DLL]\n\"AppID\"=\"{X}\"\n\n"
        "[HKEY_CURRENT_USER\\Software\\Classes\\CLSID]\n\n"
        "[HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{0}]\n@=\"Other\"\n\n"
        "[HKEY_CURRENT_USER\\Software\\Classes\\Interface]\n\n"
        "[HKEY_CURRENT_USER\\Software\\Classes\\Interface\\{1}]\n@=\"IOther\"\n\n"
        "[HKEY_CURRENT_USER\\Software\\Classes\\TypeLib]\n\n"
        "[HKEY_CURRENT_USER\\Software\\Other]\n\"Keep\"=\"me\"\n\n";
    registry.Write(foreign);
    ASSERT_EQ(Module::Get().RegisterServer(), S_OK);
    EXPECT_NE(registry.Text(), foreign);
    ASSERT_EQ(Module::Get().UnregisterServer(), S_OK);
    EXPECT_EQ(registry.Text(), foreign);
    ASSERT_EQ(Module::Get().UnregisterServer(), S_OK) << "unregistering twice succeeds";
    EXPECT_EQ(registry.Text(), foreign);
}

TEST(Registration, UnregisterKeepsOnlyTheNoRemoveKeys) {
    PrivateRegistry registry;
    ASSERT_EQ(Module::Get().RegisterServer(), S_OK);
    ASSERT_EQ(Module::Get().UnregisterServer(), S_OK);
    EXPECT_EQ(registry.Text(),
              "REGEDIT4\n\n"
              "[HKEY_CURRENT_USER\\Software]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Classes]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Classes\\AppID]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Classes\\CLSID]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Classes\\Interface]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Classes\\TypeLib]\n\n");
}

// Both bitnesses' modules registered for one user share the ProgIDs, the
// AppID and the type library's version key; each has its own class key (in
// its registry view), interface keys and "0\<platform>" key. While the other
// one's "0\win64" stays, unregistering takes only this module's own keys;
// once it is gone, everything.
TEST(Registration, UnregisterLeavesTheOtherBitnessItsSharedKeys) {
    PrivateRegistry registry;
    const std::string version =
        std::string(kClasses) + "TypeLib\\" + GuidToAscii(LIBID_CorvoSSOLoginLib) + "\\1.0";
    const std::string progid = std::string(kClasses) + "CorvoSSOLoginM.SSOLoginCtrl\\CLSID";
    const std::string other = "C:\\x64\\CorvoSSOLogin.dll";
    const std::string kControlClsid =
        "{98EF2EC8-D064-491a-8111-3285E786E832}";  // as script 102 writes it
    auto otherModule = [&](bool registered) {
        return platform::RegistryStore(registry.path()).Update([&](platform::RegistryTree& tree) {
            if (!registered) return tree.DeleteTree(version + "\\0\\win64");
            const HRESULT hr = tree.CreateKey(version + "\\0\\win64");
            return FAILED(hr) ? hr : tree.SetValue(version + "\\0\\win64", "", other);
        });
    };
    ASSERT_EQ(Module::Get().RegisterServer(), S_OK);
    ASSERT_EQ(otherModule(true), S_OK);
    ASSERT_EQ(Module::Get().UnregisterServer(), S_OK);
    const std::string ownKeys[] = {
        std::string(kClasses) + "CLSID\\" + GuidToAscii(CLSID_SSOLoginCtrl), version + "\\0\\win32",
        std::string(kClasses) + "Interface\\" + GuidToAscii(IID_ISSOLoginCtrl)};
    for (const std::string& key : ownKeys)
        EXPECT_EQ(Value(registry.path(), key), "(missing)") << key;
    struct Kept {
        std::string key, name, data;
    };
    const Kept kept[] = {
        {version + "\\0\\win64", "", other},
        {version, "", "CorvoSSOLogin 1.0 \xE7\xB1\xBB\xE5\x9E\x8B\xE5\xBA\x93"},
        {version + "\\FLAGS", "", "0"},
        {progid, "", kControlClsid},
        {std::string(kClasses) + "CorvoSSOLoginM.SSOLoginCtrl.1\\CLSID", "", kControlClsid},
        {std::string(kClasses) + "AppID\\" + kAppId, "", "CorvoSSOLoginM"},
    };
    for (const Kept& k : kept) EXPECT_EQ(Value(registry.path(), k.key, k.name), k.data) << k.key;
    EXPECT_NE(Value(registry.path(), version + "\\HELPDIR"), "(missing)");

    // Where one class key serves both bitnesses (Wine, Windows before 7) it is
    // the module's registered last: the other's stays.
    const std::string server =
        std::string(kClasses) + "CLSID\\" + GuidToAscii(CLSID_SSOLoginCtrl) + "\\InprocServer32";
    ASSERT_EQ(Module::Get().RegisterServer(), S_OK);
    EXPECT_EQ(Value(registry.path(), version + "\\0\\win64"), other);
    ASSERT_EQ(platform::RegistryStore(registry.path()).Update([&](platform::RegistryTree& tree) {
        return tree.SetValue(server, "", other);
    }),
              S_OK);
    ASSERT_EQ(Module::Get().UnregisterServer(), S_OK);
    EXPECT_EQ(Value(registry.path(), server), other);
    EXPECT_EQ(Value(registry.path(), version + "\\0\\win32"), "(missing)");

    // Registered again, and the other one goes first: then everything goes.
    ASSERT_EQ(Module::Get().RegisterServer(), S_OK);
    ASSERT_EQ(otherModule(false), S_OK);
    ASSERT_EQ(Module::Get().UnregisterServer(), S_OK);
    for (const std::string& key :
         {version, progid, server, std::string(kClasses) + "AppID\\" + kAppId})
        EXPECT_EQ(Value(registry.path(), key), "(missing)") << key;
}

// A registry file that cannot be read is reported and left alone.
TEST(Registration, CorruptFileIsNotTouched) {
    PrivateRegistry registry;
    const std::string corrupt = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software]\n";
    for (auto call : {Module::Get().RegisterServer, Module::Get().UnregisterServer}) {
        registry.Write(corrupt);
        EXPECT_EQ(call(), platform::kRegistryFileCorrupt);
        EXPECT_EQ(registry.Text(), corrupt);
    }
}

// Four processes registering and unregistering at once through the module:
// every update is whole, and after each process's last registration the file
// holds exactly one registration.
TEST(Registration, ConcurrentProcesses) {
    PrivateRegistry registry;
    ASSERT_EQ(Module::Get().RegisterServer(), S_OK);
    const std::string registered = registry.Text();
    ASSERT_EQ(Module::Get().UnregisterServer(), S_OK);

    constexpr int kProcesses = 4;
    constexpr int kRounds = 15;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int failures = 0;
            for (int round = 0; round < kRounds; ++round) {
                failures += Module::Get().RegisterServer() != S_OK;
                failures += Module::Get().UnregisterServer() != S_OK;
            }
            failures += Module::Get().RegisterServer() != S_OK;
            _exit(failures == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(registry.Text(), registered);
}

// A host that loads the module by a relative name and then changes its
// current directory: the module still knows its own directory, for the
// registration it writes and for the client configuration it reads.
TEST(ModuleDirectory, IsTheOneTheModuleWasLoadedFrom) {
    namespace fs = std::filesystem;
    PrivateRegistry registry;
    const fs::path root = fs::path(registry.path()).parent_path();
    const fs::path beside = root / "client", elsewhere = root / "elsewhere";
    for (const auto& [dir, version] :
         {std::pair{beside, "beside the module"}, std::pair{elsewhere, "another directory"}}) {
        fs::create_directories(dir / "configurations");
        std::ofstream(dir / "configurations" / "staticconfig.xml")
            << "<c><item id=\"VersionString\">" << version << "</item></c>";
    }
    // A copy of its own, so that the loader does not hand back the module
    // this process has already loaded by its full path.
    fs::copy_file(CORVO_MODULE_PATH, beside / "libCorvoSSOLogin.so");

    const fs::path start = fs::current_path();
    fs::current_path(beside);
    void* handle = dlopen("./libCorvoSSOLogin.so", RTLD_NOW | RTLD_LOCAL);
    fs::current_path(elsewhere);
    ASSERT_NE(handle, nullptr) << dlerror();
    const auto get_class_object =
        reinterpret_cast<DllGetClassObjectFunction>(dlsym(handle, "DllGetClassObject"));
    const auto register_server =
        reinterpret_cast<DllRegisterServerFunction>(dlsym(handle, "DllRegisterServer"));
    ASSERT_TRUE(get_class_object && register_server);

    {
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(get_class_object(CLSID_SSOLoginCtrl, IID_IClassFactory, factory.OutVoid()), S_OK);
        ComPtr<ISSOLoginCtrl> control;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_ISSOLoginCtrl, control.OutVoid()), S_OK);
        ComPtr<IObjectWithSite> with_site;
        ASSERT_EQ(control.As(IID_IObjectWithSite, &with_site), S_OK);
        auto site = corvo::test::FakeSite::Create({.address = corvo::test::AllowedPage()});
        ASSERT_EQ(with_site->SetSite(site->Unknown()), S_OK);
        BstrPtr version;
        ASSERT_EQ(control->GetQXClientVersion(version.Out()), S_OK);
        EXPECT_EQ(version.View(), u"beside the module");
        with_site->SetSite(nullptr);
    }

    ASSERT_EQ(register_server(), S_OK);
    const std::string clsid = std::string(kClasses) + "CLSID\\" + GuidToAscii(CLSID_SSOLoginCtrl);
    const std::string typelib =
        std::string(kClasses) + "TypeLib\\" + GuidToAscii(LIBID_CorvoSSOLoginLib) + "\\1.0";
    EXPECT_EQ(Value(registry.path(), clsid + "\\InprocServer32"),
              (beside / "libCorvoSSOLogin.so").string());
    EXPECT_EQ(Value(registry.path(), typelib + "\\HELPDIR"), beside.string() + "/");

    fs::current_path(start);
    dlclose(handle);
}

}  // namespace
}  // namespace corvo::module::test
