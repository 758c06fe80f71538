// corvo-sso run as a user runs it: exit codes, output formats, the site check,
// registration of the module. Every test process registers the module into a
// private registry file first (CORVO_REGISTRY), as a user runs
// `corvo-sso register` once.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/common/subprocess.h"

namespace {

using Outcome = corvo::test::ProgramResult;

std::string ReadText(const std::string& path) {
    return corvo::test::ReadFileBytes(path);
}

std::string TempBase() {
    static int serial = 0;
    return ::testing::TempDir() + "corvo_sso_" + std::to_string(getpid()) + "_" +
           std::to_string(++serial);
}

// Runs corvo-sso with the registry file `registry` (the process's
// CORVO_REGISTRY when empty) and the machine's registry file `machine` (a
// file that does not exist when empty).
Outcome RunCliWith(const std::string& registry, const std::vector<std::string>& args,
                   const std::string& machine = "") {
    corvo::test::ProgramOptions options;
    if (!registry.empty()) options.environment = {{"CORVO_REGISTRY", registry}};
    options.environment.emplace_back("CORVO_MACHINE_REGISTRY",
                                     machine.empty() ? "/nonexistent/machine.reg" : machine);
    return corvo::test::RunProgram(CORVO_SSO_PATH, args, options);
}

Outcome RunCli(const std::vector<std::string>& args) {
    return RunCliWith("", args);
}

// A private registry with the module registered, for the whole test process.
class RegisteredModule : public ::testing::Environment {
  public:
    void SetUp() override {
        registry_ = TempBase() + ".reg";
        ::setenv("CORVO_REGISTRY", registry_.c_str(), 1);
        const Outcome o = RunCli({"register"});
        ASSERT_EQ(o.exitCode, 0) << o.err;
    }
    void TearDown() override {
        for (const char* suffix : {"", ".lock"}) std::remove((registry_ + suffix).c_str());
    }

  private:
    std::string registry_;
};
const auto* const kRegisteredModule =
    ::testing::AddGlobalTestEnvironment(new RegisteredModule);  // gtest owns it

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The first plain login host of the table, as `sitelock list` prints it.
std::string AllowedHost() {
    for (const std::string& line : Lines(RunCli({"sitelock", "list"}).out)) {
        const std::string domain = line.substr(line.rfind('\t') + 1);
        if (!domain.empty() && domain[0] != '*' && domain[0] != '(' && domain[0] != '=')
            return domain;
    }
    return "no-plain-host";
}

TEST(CorvoSsoCli, ExitCodesAndMessages) {
    const std::string allowed = "https://" + AllowedHost() + "/";
    struct Case {
        std::vector<std::string> args;
        int exit_code;
        std::string out;  // exact standard output, when not "*"
        std::string err;  // a part of standard error
    };
    const Case cases[] = {
        {{"version"}, 0, "1.0.0.1\n", ""},
        {{"version", "--page", allowed}, 0, "1.0.0.1\n", ""},
        {{"--page", allowed, "--zone", "3", "version"}, 0, "1.0.0.1\n", ""},
        {{"version", "--page", "https://www.example.org/"}, 1, "", "error: E_FAIL (0x80004005)"},
        {{"version", "--page", allowed, "--zone", "0"}, 0, "1.0.0.1\n", ""},
        {{"sitelock", "check", allowed}, 0, "allowed\n", ""},
        {{"sitelock", "check", "http://sub.sub." + AllowedHost() + "/x?y"}, 0, "allowed\n", ""},
        {{"sitelock", "check", "https://www.example.org/"}, 1, "refused\n", ""},
        {{"sitelock", "check", "file:///C:/page.html"}, 1, "refused\n", ""},
        {{"sitelock", "check", "https://user:pw@" + AllowedHost() + "/"}, 1, "refused\n", ""},
        {{"sitelock", "check", "HTTPS://" + AllowedHost() + "/"}, 0, "allowed\n", ""},
        {{"sitelock", "check", "not an address"}, 1, "refused\n", ""},
        {{"demo", "--help"}, 0, "*", ""},  // the demo itself runs in tests/e2e
        {{"--help"}, 0, "*", ""},
        {{"sitelock", "--help"}, 0, "*", ""},
        {{}, 2, "", "subcommand"},
        {{"frobnicate"}, 2, "", "error: unknown subcommand 'frobnicate'\nSubcommands: version, "},
        {{"--zone", "3", "bogus"}, 2, "", "error: unknown subcommand 'bogus'\n"},
        {{"sitelock", "bogus"},
         2,
         "",
         "unknown subcommand 'bogus'\nSubcommands of sitelock: list, check\n"},
        {{"xml", "bogus", "x"},
         2,
         "",
         "unknown subcommand 'bogus'\nSubcommands of xml: parse, write, get\n"},
        {{"sitelock"}, 2, "", "subcommand"},
        {{"sitelock", "check"}, 2, "", "URL"},
        {{"sitelock", "check", allowed, "--zone", "5"}, 2, "", "--zone"},
        {{"--zone", "three", "version"}, 2, "", "--zone"},
        {{"version", "--page", "https://\xff.example/"}, 2, "", "UTF-8"},
        {{"version", "--no-such-option"}, 2, "", ""},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& a : c.args) shown += a + " ";
        SCOPED_TRACE(shown);
        const Outcome o = RunCli(c.args);
        EXPECT_EQ(o.exitCode, c.exit_code) << o.err;
        if (c.out != "*") {
            EXPECT_EQ(o.out, c.out);
        }
        EXPECT_NE(o.err.find(c.err), std::string::npos) << o.err;
    }
}

TEST(CorvoSsoCli, SiteLockListFormat) {
    const Outcome o = RunCli({"sitelock", "list"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    const auto lines = Lines(o.out);
    ASSERT_EQ(lines.size(), 18u);
    const std::regex row(
        R"((\d+)\t(\d+)\t(https?)\t(\(null\)|\(intranet\)|\(mycomputer\)|\(trusted\)|[^\t]+))");
    for (size_t i = 0; i < lines.size(); ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(lines[i], m, row)) << lines[i];
        EXPECT_EQ(m[1], std::to_string(i));
        EXPECT_EQ(m[2], "0") << "every entry allows";
    }
    // Entries 7-13 repeat 0-6 over https; 15 and 17 repeat 14 and 16.
    auto domain = [&](size_t i) { return lines[i].substr(lines[i].rfind('\t') + 1); };
    for (size_t i = 0; i < 7; ++i) EXPECT_EQ(domain(i), domain(i + 7));
    EXPECT_EQ(domain(14), domain(15));
    EXPECT_EQ(domain(16), domain(17));
}

// register and unregister through the module's own exports, into a fresh
// registry file (and with --machine into the machine's), and what hosting the
// control says in each state: the machine's registration serves a user who
// has none, and the user's own overrides it.
TEST(CorvoSsoCli, RegisterAndUnregister) {
    const std::string registry = TempBase() + ".reg";
    const std::string machine_root = TempBase();
    const std::string machine = machine_root + "/etc/machine.reg";
    struct Step {
        std::vector<std::string> args;
        int exit_code;
        std::string out;  // a part of standard output
        std::string err;  // a part of standard error
    };
    const Step steps[] = {
        {{"version"}, 1, "", "corvo-sso register"},
        {{"sitelock", "list"}, 1, "", "not registered"},
        {{"unregister"}, 0, "unregistered ", ""},  // nothing to remove is fine
        {{"register"}, 0, "registered ", ""},
        {{"version"}, 0, "1.0.0.1", ""},
        {{"register"}, 0, "registered ", ""},
        {{"version"}, 0, "1.0.0.1", ""},
        {{"unregister"}, 0, "unregistered ", ""},
        {{"version"}, 1, "", "corvo-sso register"},
        {{"register", "--module", "/nonexistent/libCorvoSSOLogin.so"}, 1, "", "error: "},
        {{"register", "--module", "/dev/null"}, 1, "", "error: "},
        {{"unregister", "--module", "/nonexistent/libCorvoSSOLogin.so"}, 1, "", "error: "},
        {{"register", "--module"}, 2, "", "--module"},
        {{"register", "--machine"}, 0, "registered ", ""},
        {{"version"}, 0, "1.0.0.1", ""},
        {{"register", "--machine"}, 0, "registered ", ""},
        {{"register"}, 0, "registered ", ""},
        {{"unregister"}, 0, "unregistered ", ""},
        {{"version"}, 0, "1.0.0.1", ""},
        {{"unregister", "--machine"}, 0, "unregistered ", ""},
        {{"version"}, 1, "", "corvo-sso register"},
        {{"unregister", "--machine"}, 0, "unregistered ", ""},
    };
    std::string registered_text;
    std::string machine_text;
    for (const Step& step : steps) {
        std::string shown;
        for (const std::string& a : step.args) shown += a + " ";
        SCOPED_TRACE(shown);
        const Outcome o = RunCliWith(registry, step.args, machine);
        EXPECT_EQ(o.exitCode, step.exit_code) << o.err;
        EXPECT_NE(o.out.find(step.out), std::string::npos) << o.out;
        EXPECT_NE(o.err.find(step.err), std::string::npos) << o.err;
        if (step.args == std::vector<std::string>{"register"}) {
            // Registering again leaves the same file.
            const std::string text = ReadText(registry);
            if (!registered_text.empty()) {
                EXPECT_EQ(text, registered_text);
            }
            registered_text = text;
        }
        if (step.args == std::vector<std::string>{"register", "--machine"}) {
            // The same registration, in the machine's hive.
            std::string expected = registered_text;
            for (size_t at; (at = expected.find("HKEY_CURRENT_USER")) != std::string::npos;)
                expected.replace(at, 17, "HKEY_LOCAL_MACHINE");
            machine_text = ReadText(machine);
            EXPECT_EQ(machine_text, expected);
        }
    }
    EXPECT_NE(registered_text.find("InprocServer32"), std::string::npos);
    for (const std::string& file : {registry, machine}) {
        const std::string after = ReadText(file);
        EXPECT_EQ(after.find("CorvoSSOLoginM"), std::string::npos) << after;
        for (const char* suffix : {"", ".lock"}) std::remove((file + suffix).c_str());
    }
    // A user's registration that names another module wins over the machine's.
    ASSERT_EQ(RunCliWith(registry, {"register", "--machine"}, machine).exitCode, 0);
    ASSERT_EQ(RunCliWith(registry, {"register"}, machine).exitCode, 0);
    std::string user = ReadText(registry);
    const std::string module = std::filesystem::path(MODULE_PATH).lexically_normal().string();
    for (size_t at; (at = user.find(module)) != std::string::npos;)
        user.replace(at, module.size(), "/nonexistent/libCorvoSSOLogin.so");
    std::ofstream(registry, std::ios::binary | std::ios::trunc) << user;
    const Outcome shadowed = RunCliWith(registry, {"version"}, machine);
    EXPECT_EQ(shadowed.exitCode, 1);
    EXPECT_NE(shadowed.err.find("/nonexistent/libCorvoSSOLogin.so"), std::string::npos)
        << shadowed.err;
    for (const char* suffix : {"", ".lock"}) std::remove((registry + suffix).c_str());
    std::filesystem::remove_all(machine_root);
}

// The module path written is the module's full path, also when the module is
// named relative to the current directory.
TEST(CorvoSsoCli, RegistersTheFullModulePath) {
    const std::string registry = TempBase() + ".reg";
    const std::filesystem::path module = MODULE_PATH;
    corvo::test::ProgramOptions options;
    options.environment = {{"CORVO_REGISTRY", registry}};
    options.directory = module.parent_path().string();
    const Outcome o = corvo::test::RunProgram(
        CORVO_SSO_PATH, {"register", "--module", "./" + module.filename().string()}, options);
    ASSERT_EQ(o.exitCode, 0) << o.err;
    const std::string text = ReadText(registry);
    EXPECT_NE(text.find("@=\"" + module.lexically_normal().string() + "\"\n"), std::string::npos)
        << text;
    EXPECT_EQ(RunCliWith(registry, {"version"}).out, "1.0.0.1\n");
    for (const char* suffix : {"", ".lock"}) std::remove((registry + suffix).c_str());
}

}  // namespace
