#include "platform/posix/registry_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "registry_test_support.h"

namespace {

using corvo::platform::kRegistryFileCorrupt;
using corvo::platform::RegistryStore;
using corvo::platform::RegistryTree;
using corvo::registry_test::ReadFile;
using corvo::registry_test::ScopedEnv;
using corvo::registry_test::TempDir;
using corvo::registry_test::WriteFile;

HRESULT SetGreeting(RegistryTree& tree, const char* text) {
    const HRESULT hr = tree.CreateKey("Software\\Classes\\Greeting");
    return FAILED(hr) ? hr : tree.SetValue("Software\\Classes\\Greeting", "", text);
}

const char kGreetingFile[] =
    "REGEDIT4\n\n"
    "[HKEY_CURRENT_USER\\Software]\n\n"
    "[HKEY_CURRENT_USER\\Software\\Classes]\n\n"
    "[HKEY_CURRENT_USER\\Software\\Classes\\Greeting]\n"
    "@=\"hello\"\n\n";

TEST(RegistryStore, DefaultPathFollowsTheEnvironment) {
    {
        ScopedEnv registry("CORVO_REGISTRY", "/tmp/x/my.reg");
        EXPECT_EQ(RegistryStore::DefaultPath(), "/tmp/x/my.reg");
    }
    ScopedEnv registry("CORVO_REGISTRY", std::nullopt);
    ScopedEnv home("HOME", "/home/someone");
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "/cfg");
        EXPECT_EQ(RegistryStore::DefaultPath(), "/cfg/corvo-sso/registry.reg");
    }
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "relative/cfg");  // ignored
        EXPECT_EQ(RegistryStore::DefaultPath(), "/home/someone/.config/corvo-sso/registry.reg");
    }
    ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(RegistryStore::DefaultPath(), "/home/someone/.config/corvo-sso/registry.reg");
    // The machine's file: the environment's, else the build's.
    {
        ScopedEnv machine("CORVO_MACHINE_REGISTRY", "/tmp/root/etc/m.reg");
        EXPECT_EQ(RegistryStore::MachinePath(), "/tmp/root/etc/m.reg");
        EXPECT_EQ(RegistryStore::Machine()->path(), "/tmp/root/etc/m.reg");
    }
    ScopedEnv machine("CORVO_MACHINE_REGISTRY", std::nullopt);
    EXPECT_EQ(RegistryStore::MachinePath(), CORVO_MACHINE_REGISTRY_FILE);
}

// The machine's file names its own hive, is readable by every user whatever
// the writer's umask, and refuses a user's sections.
TEST(RegistryStore, MachineStoreIsForEveryUser) {
    TempDir dir;
    const std::string path = dir.File("etc/corvo-sso/registry.reg");
    const RegistryStore store(path, corvo::platform::RegistryScope::kMachine);
    const mode_t old_mask = ::umask(077);
    const HRESULT hr = store.Update([](RegistryTree& tree) { return SetGreeting(tree, "hello"); });
    ::umask(old_mask);
    ASSERT_EQ(hr, S_OK);
    std::string expected = kGreetingFile;
    for (size_t at; (at = expected.find("HKEY_CURRENT_USER")) != std::string::npos;)
        expected.replace(at, 17, "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(ReadFile(path), expected);
    struct stat info;
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    ASSERT_EQ(::stat(dir.File("etc/corvo-sso").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0755u);

    WriteFile(path, kGreetingFile);
    EXPECT_EQ(store.Read([](const RegistryTree&) { return S_OK; }), kRegistryFileCorrupt);
}

// A per-user registration run against the machine's file: what the action
// writes through CORVO_REGISTRY lands in the machine's file, a failing action
// saves nothing, and the environment is restored either way.
TEST(RegistryStore, UpdateAsUserRegistryWritesTheMachineFile) {
    TempDir dir;
    const RegistryStore machine(dir.File("machine.reg"), corvo::platform::RegistryScope::kMachine);
    ScopedEnv registry("CORVO_REGISTRY", dir.File("user.reg"));
    const auto greet = [](const char* text) {
        return [text] {
            return RegistryStore().Update(
                [text](RegistryTree& tree) { return SetGreeting(tree, text); });
        };
    };
    ASSERT_EQ(machine.UpdateAsUserRegistry(greet("hello")), S_OK);
    EXPECT_EQ(RegistryStore::DefaultPath(), dir.File("user.reg"));
    EXPECT_FALSE(ReadFile(dir.File("user.reg")));
    const auto saved = ReadFile(dir.File("machine.reg"));
    ASSERT_TRUE(saved);
    EXPECT_NE(saved->find("[HKEY_LOCAL_MACHINE\\Software\\Classes\\Greeting]\n@=\"hello\""),
              std::string::npos)
        << *saved;
    EXPECT_EQ(machine.UpdateAsUserRegistry([&] {
        (void)greet("changed")();
        return E_ACCESSDENIED;
    }),
              E_ACCESSDENIED);
    EXPECT_EQ(ReadFile(dir.File("machine.reg")), saved);
    EXPECT_EQ(RegistryStore::DefaultPath(), dir.File("user.reg"));
}

TEST(RegistryStore, UpdateCreatesPrivateDirectoriesAndFile) {
    TempDir dir;
    const std::string path = dir.File("a/b/registry.reg");
    RegistryStore store(path);
    // Reading a missing registry sees an empty tree and creates nothing.
    EXPECT_EQ(
        store.Read([](const RegistryTree& tree) { return tree.root().empty() ? S_OK : E_FAIL; }),
        S_OK);
    EXPECT_FALSE(ReadFile(path));

    ASSERT_EQ(store.Update([](RegistryTree& tree) { return SetGreeting(tree, "hello"); }), S_OK);
    EXPECT_EQ(ReadFile(path), std::string(kGreetingFile));
    struct stat info;
    ASSERT_EQ(::stat(dir.File("a").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(dir.File("a/b").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u);
    EXPECT_FALSE(ReadFile(path + ".tmp"));

    std::string greeting;
    EXPECT_EQ(store.Read([&](const RegistryTree& tree) {
        return tree.GetValue("SOFTWARE\\classes\\greeting", "", &greeting);
    }),
              S_OK);
    EXPECT_EQ(greeting, "hello");
}

TEST(RegistryStore, FailedChangeSavesNothing) {
    TempDir dir;
    const std::string path = dir.File("registry.reg");
    RegistryStore store(path);
    ASSERT_EQ(store.Update([](RegistryTree& tree) { return SetGreeting(tree, "hello"); }), S_OK);
    EXPECT_EQ(store.Update([](RegistryTree& tree) {
        (void)SetGreeting(tree, "changed");
        return E_ACCESSDENIED;
    }),
              E_ACCESSDENIED);
    EXPECT_EQ(ReadFile(path), std::string(kGreetingFile));
    // A change that throws for lack of memory is reported, not saved.
    EXPECT_EQ(store.Update([](RegistryTree& tree) -> HRESULT {
        (void)SetGreeting(tree, "changed");
        throw std::bad_alloc();
    }),
              E_OUTOFMEMORY);
    EXPECT_EQ(ReadFile(path), std::string(kGreetingFile));
}

TEST(RegistryStore, UnparsableFileIsReportedAndNeverOverwritten) {
    TempDir dir;
    const std::string path = dir.File("registry.reg");
    const std::string broken = "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"v\"=dword:1\n";
    WriteFile(path, broken);
    RegistryStore store(path);
    bool called = false;
    std::string message;
    EXPECT_EQ(store.Update(
                  [&](RegistryTree& tree) {
                      called = true;
                      return SetGreeting(tree, "hello");
                  },
                  &message),
              kRegistryFileCorrupt);
    EXPECT_FALSE(called);
    EXPECT_NE(message.find(path + ":4:"), std::string::npos) << message;
    EXPECT_EQ(ReadFile(path), broken);
    EXPECT_EQ(store.Read([](const RegistryTree&) { return S_OK; }), kRegistryFileCorrupt);
}

TEST(RegistryStore, InterruptedSaveLeavesTheOldFile) {
    TempDir dir;
    const std::string path = dir.File("registry.reg");
    RegistryStore store(path);
    ASSERT_EQ(store.Update([](RegistryTree& tree) { return SetGreeting(tree, "hello"); }), S_OK);

    // A failure between writing the temporary file and replacing the file.
    RegistryStore failing(path);
    failing.SetBeforeReplaceHookForTesting([] { return HRESULT_FROM_WIN32(112); });
    EXPECT_EQ(failing.Update([](RegistryTree& tree) { return SetGreeting(tree, "changed"); }),
              HRESULT_FROM_WIN32(112));
    EXPECT_EQ(ReadFile(path), std::string(kGreetingFile));
    EXPECT_FALSE(ReadFile(path + ".tmp"));

    // A process that dies at the same point: the old file stays and the next
    // update proceeds over the stale temporary file.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        RegistryStore dying(path);
        dying.SetBeforeReplaceHookForTesting([]() -> HRESULT { ::_exit(0); });
        (void)dying.Update([](RegistryTree& tree) { return SetGreeting(tree, "changed"); });
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadFile(path), std::string(kGreetingFile));
    EXPECT_TRUE(ReadFile(path + ".tmp"));  // the half-done save
    ASSERT_EQ(store.Update([](RegistryTree& tree) { return SetGreeting(tree, "again"); }), S_OK);
    std::string greeting;
    EXPECT_EQ(store.Read([&](const RegistryTree& tree) {
        return tree.GetValue("Software\\Classes\\Greeting", "", &greeting);
    }),
              S_OK);
    EXPECT_EQ(greeting, "again");
    EXPECT_FALSE(ReadFile(path + ".tmp"));
}

TEST(RegistryStore, UnwritableLocationIsReported) {
    TempDir dir;
    WriteFile(dir.File("plain"), "x");
    RegistryStore store(dir.File("plain/registry.reg"));  // parent is a file
    std::string message;
    EXPECT_TRUE(FAILED(store.Update([](RegistryTree&) { return S_OK; }, &message)));
    EXPECT_NE(message.find("plain"), std::string::npos) << message;
    RegistryStore nowhere{std::string()};
    EXPECT_EQ(nowhere.Update([](RegistryTree&) { return S_OK; }), E_FAIL);
}

}  // namespace
