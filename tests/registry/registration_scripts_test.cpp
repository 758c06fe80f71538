#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "module/registrar.h"
#include "module/registrar_store_registry.h"
#include "module/registry_scripts.h"
#include "platform/posix/reg_file.h"
#include "platform/posix/registry_store.h"
#include "registry_test_support.h"

namespace {

using corvo::module::kAppIdScriptId;
using corvo::module::kSSOLoginCtrlScriptId;
using corvo::module::Registrar;
using corvo::module::RegistrarError;
using corvo::module::RegistrarMode;
using corvo::module::RegistrarRegistry;
using corvo::module::UpdateStoreThroughRegistrar;
using corvo::platform::RegistryStore;
using corvo::platform::RegistryTree;
using corvo::registry_test::ReadFile;
using corvo::registry_test::TempDir;

const char kModule[] = "/opt/corvo/lib/libCorvoSSOLogin.so";

// Both scripts in one transaction, in the order registration runs them.
HRESULT RunBoth(const RegistryStore& store, RegistrarMode mode,
                const std::string& module = kModule) {
    Registrar registrar;
    registrar.AddReplacement("MODULE", module);
    registrar.AddReplacement("APPID", "{B88AEC8F-38BB-4c82-8172-9E0263A58920}");
    registrar.AddReplacement("TYPELIB_PLATFORM", "win32");
    return UpdateStoreThroughRegistrar(store, [&](RegistrarRegistry& registry) {
        RegistrarError error;
        const int order[2] = {
            mode == RegistrarMode::kRegister ? kAppIdScriptId : kSSOLoginCtrlScriptId,
            mode == RegistrarMode::kRegister ? kSSOLoginCtrlScriptId : kAppIdScriptId};
        for (int id : order) {
            const HRESULT hr = registrar.RunScript(id, mode, registry, &error);
            if (FAILED(hr)) {
                ADD_FAILURE() << "script " << id << ": " << error.ToString();
                return hr;
            }
        }
        return S_OK;
    });
}

#define HKCR "[HKEY_CURRENT_USER\\Software\\Classes"
#define CTRL_CLSID HKCR "\\CLSID\\{98EF2EC8-D064-491a-8111-3285E786E832}"
const char kRegistered[] =
    "REGEDIT4\n\n"
    "[HKEY_CURRENT_USER\\Software]\n\n" HKCR "]\n\n" HKCR "\\AppID]\n\n" HKCR
    "\\AppID\\CorvoSSOLogin.DLL]\n"
    "\"AppID\"=\"{B88AEC8F-38BB-4c82-8172-9E0263A58920}\"\n\n" HKCR
    "\\AppID\\{B88AEC8F-38BB-4c82-8172-9E0263A58920}]\n"
    "@=\"CorvoSSOLoginM\"\n\n" HKCR "\\CLSID]\n\n" CTRL_CLSID
    "]\n"
    "@=\"SSOLoginCtrl Class\"\n"
    "\"AppID\"=\"{B88AEC8F-38BB-4c82-8172-9E0263A58920}\"\n\n" CTRL_CLSID
    "\\InprocServer32]\n"
    "@=\"/opt/corvo/lib/libCorvoSSOLogin.so\"\n"
    "\"ThreadingModel\"=\"Apartment\"\n\n" CTRL_CLSID
    "\\ProgID]\n"
    "@=\"CorvoSSOLoginM.SSOLoginCtrl.1\"\n\n" CTRL_CLSID "\\Programmable]\n\n" CTRL_CLSID
    "\\TypeLib]\n"
    "@=\"{9AAF5B5F-9BAC-446c-9CFE-88893E8BE925}\"\n\n" CTRL_CLSID
    "\\VersionIndependentProgID]\n"
    "@=\"CorvoSSOLoginM.SSOLoginCtrl\"\n\n" HKCR
    "\\CorvoSSOLoginM.SSOLoginCtrl]\n"
    "@=\"SSOLoginCtrl Class\"\n\n" HKCR
    "\\CorvoSSOLoginM.SSOLoginCtrl\\CLSID]\n"
    "@=\"{98EF2EC8-D064-491a-8111-3285E786E832}\"\n\n" HKCR
    "\\CorvoSSOLoginM.SSOLoginCtrl\\CurVer]\n"
    "@=\"CorvoSSOLoginM.SSOLoginCtrl.1\"\n\n" HKCR
    "\\CorvoSSOLoginM.SSOLoginCtrl.1]\n"
    "@=\"SSOLoginCtrl Class\"\n\n" HKCR
    "\\CorvoSSOLoginM.SSOLoginCtrl.1\\CLSID]\n"
    "@=\"{98EF2EC8-D064-491a-8111-3285E786E832}\"\n\n" HKCR "\\TypeLib]\n\n" HKCR
    "\\TypeLib\\{9AAF5B5F-9BAC-446c-9CFE-88893E8BE925}]\n\n" HKCR
    "\\TypeLib\\{9AAF5B5F-9BAC-446c-9CFE-88893E8BE925}\\1.0]\n\n" HKCR
    "\\TypeLib\\{9AAF5B5F-9BAC-446c-9CFE-88893E8BE925}\\1.0\\0]\n\n" HKCR
    "\\TypeLib\\{9AAF5B5F-9BAC-446c-9CFE-88893E8BE925}\\1.0\\0\\win32]\n"
    "@=\"/opt/corvo/lib/libCorvoSSOLogin.so\"\n\n";
const char kUnregistered[] =
    "REGEDIT4\n\n"
    "[HKEY_CURRENT_USER\\Software]\n\n" HKCR "]\n\n" HKCR "\\AppID]\n\n" HKCR "\\CLSID]\n\n" HKCR
    "\\TypeLib]\n\n";

TEST(RegistrationScripts, TextsAreEmbedded) {
    ASSERT_NE(corvo::module::RegistryScript(101), nullptr);
    ASSERT_NE(corvo::module::RegistryScript(102), nullptr);
    EXPECT_EQ(corvo::module::RegistryScript(100), nullptr);
    EXPECT_EQ(corvo::module::RegistryScript(103), nullptr);
    EXPECT_NE(std::string(corvo::module::RegistryScript(102)).find("%MODULE%"), std::string::npos);
}

TEST(RegistrationScripts, RegisterTwiceThenUnregister) {
    TempDir dir;
    RegistryStore store(dir.File("registry.reg"));
    ASSERT_EQ(RunBoth(store, RegistrarMode::kRegister), S_OK);
    EXPECT_EQ(ReadFile(store.path()), std::string(kRegistered));
    ASSERT_EQ(RunBoth(store, RegistrarMode::kRegister), S_OK);
    EXPECT_EQ(ReadFile(store.path()), std::string(kRegistered));

    // The host's lookup: ProgID -> CLSID -> InprocServer32.
    std::string clsid, server;
    ASSERT_EQ(store.Read([&](const RegistryTree& tree) {
        HRESULT hr =
            tree.GetValue("Software\\Classes\\CorvoSSOLoginM.SSOLoginCtrl\\CLSID", "", &clsid);
        if (FAILED(hr)) return hr;
        return tree.GetValue("software\\classes\\clsid\\" + clsid + "\\InprocServer32", "",
                             &server);
    }),
              S_OK);
    EXPECT_EQ(server, kModule);

    ASSERT_EQ(RunBoth(store, RegistrarMode::kUnregister), S_OK);
    EXPECT_EQ(ReadFile(store.path()), std::string(kUnregistered));
    ASSERT_EQ(RunBoth(store, RegistrarMode::kUnregister), S_OK);
    EXPECT_EQ(ReadFile(store.path()), std::string(kUnregistered));
}

TEST(RegistrationScripts, OtherSoftwareKeepsItsKeysAndStaleEntriesAreReplaced) {
    TempDir dir;
    RegistryStore store(dir.File("registry.reg"));
    const std::string other = "Software\\Classes\\CLSID\\{00000000-1111-2222-3333-444444444444}";
    const std::string ctrl = "Software\\Classes\\CLSID\\{98EF2EC8-D064-491A-8111-3285E786E832}";
    ASSERT_EQ(store.Update([&](RegistryTree& tree) {
        tree.CreateKey(other + "\\InprocServer32");
        tree.SetValue(other, "", "Other Class");
        tree.CreateKey("Software\\Classes\\AppID\\Other.DLL");
        tree.CreateKey("Software\\Classes\\.txt");
        tree.SetValue("Software\\Classes\\.txt", "", "txtfile");
        // A stale registration of the control (the ForceRemove key is recreated).
        tree.CreateKey(ctrl + "\\InprocServer32\\Stale");
        return tree.SetValue(ctrl, "Stale", "x");
    }),
              S_OK);
    ASSERT_EQ(RunBoth(store, RegistrarMode::kRegister, "/new/path/lib.so"), S_OK);
    std::string text = *ReadFile(store.path());
    EXPECT_EQ(text.find("Stale"), std::string::npos);
    EXPECT_NE(text.find("\"Other Class\""), std::string::npos);
    ASSERT_EQ(RunBoth(store, RegistrarMode::kUnregister), S_OK);
    EXPECT_EQ(ReadFile(store.path()),
              "REGEDIT4\n\n"
              "[HKEY_CURRENT_USER\\Software]\n\n" HKCR "]\n\n" HKCR
              "\\.txt]\n@=\"txtfile\"\n\n" HKCR "\\AppID]\n\n" HKCR "\\AppID\\Other.DLL]\n\n" HKCR
              "\\CLSID]\n\n" HKCR
              "\\CLSID\\{00000000-1111-2222-3333-444444444444}]\n@=\"Other Class\"\n\n" HKCR
              "\\CLSID\\{00000000-1111-2222-3333-444444444444}\\InprocServer32]\n\n" HKCR
              "\\TypeLib]\n\n");
}

TEST(RegistrationScripts, ModulePathIsStoredLiterally) {
    TempDir dir;
    RegistryStore store(dir.File("registry.reg"));
    const std::string module = "/home/o'brien/{x} \"y\"\\lib%.so";
    ASSERT_EQ(RunBoth(store, RegistrarMode::kRegister, module), S_OK);
    std::string server;
    ASSERT_EQ(store.Read([&](const RegistryTree& tree) {
        return tree.GetValue(
            "Software\\Classes\\CLSID\\{98EF2EC8-D064-491a-8111-3285E786E832}\\InprocServer32", "",
            &server);
    }),
              S_OK);
    EXPECT_EQ(server, module);
}

TEST(RegistrationScripts, FailingRunSavesNothing) {
    TempDir dir;
    RegistryStore store(dir.File("registry.reg"));
    ASSERT_EQ(RunBoth(store, RegistrarMode::kRegister), S_OK);
    Registrar registrar;
    registrar.AddReplacement("MODULE", "/changed.so");
    const HRESULT hr = UpdateStoreThroughRegistrar(store, [&](RegistrarRegistry& registry) {
        HRESULT result = registrar.Run("HKCU { NoRemove Software { Changed } }",
                                       RegistrarMode::kRegister, registry);
        if (FAILED(result)) return result;
        return registrar.Run("HKLM { Software }", RegistrarMode::kRegister, registry);
    });
    EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ReadFile(store.path()), std::string(kRegistered));
}

// Four processes register and unregister at once; each also counts its
// rounds in the file, so a lost update would show in the total.
TEST(RegistrationScripts, ConcurrentProcessesLoseNothing) {
    TempDir dir;
    const std::string path = dir.File("shared/registry.reg");
    constexpr int kProcesses = 4;
    constexpr int kRounds = 15;
    pid_t children[kProcesses];
    for (int p = 0; p < kProcesses; ++p) {
        children[p] = ::fork();
        ASSERT_GE(children[p], 0);
        if (children[p] == 0) {
            RegistryStore store(path);
            int failures = 0;
            for (int round = 0; round < kRounds; ++round) {
                failures += FAILED(RunBoth(store, RegistrarMode::kUnregister));
                failures += FAILED(RunBoth(store, RegistrarMode::kRegister));
                failures += FAILED(store.Update([](RegistryTree& tree) {
                    const char* key = "Software\\Counter";
                    std::string count = "0";
                    tree.CreateKey(key);
                    (void)tree.GetValue(key, "", &count);
                    return tree.SetValue(key, "", std::to_string(std::stoi(count) + 1));
                }));
            }
            ::_exit(failures == 0 ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    // Every process ended with a registration: the file holds exactly one set
    // of keys, plus the counter.
    RegistryStore store(path);
    std::string count;
    ASSERT_EQ(store.Update([&](RegistryTree& tree) {
        HRESULT hr = tree.GetValue("Software\\Counter", "", &count);
        return FAILED(hr) ? hr : tree.DeleteTree("Software\\Counter");
    }),
              S_OK);
    EXPECT_EQ(count, std::to_string(kProcesses * kRounds));
    EXPECT_EQ(ReadFile(path), std::string(kRegistered));
}

#undef CTRL_CLSID
#undef HKCR

}  // namespace
