// corvo-sso run as a user runs it: exit codes, output formats, the site check.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Outcome {
    int exit_code = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& arg) {
    std::string q = "'";
    for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    std::remove(path.c_str());
    return s.str();
}

Outcome RunCli(const std::vector<std::string>& args) {
    static int serial = 0;
    const std::string base = ::testing::TempDir() + "corvo_sso_" + std::to_string(getpid()) + "_" +
                             std::to_string(++serial);
    std::string command = Quote(CORVO_SSO_PATH);
    for (const std::string& a : args) command += " " + Quote(a);
    command += " </dev/null >" + Quote(base + ".out") + " 2>" + Quote(base + ".err");
    const int status = std::system(command.c_str());
    Outcome o;
    o.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    o.out = Slurp(base + ".out");
    o.err = Slurp(base + ".err");
    return o;
}

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
        {{"demo"}, 1, "", "not built yet"},
        {{"--help"}, 0, "*", ""},
        {{"sitelock", "--help"}, 0, "*", ""},
        {{}, 2, "", "subcommand"},
        {{"frobnicate"}, 2, "", ""},
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
        EXPECT_EQ(o.exit_code, c.exit_code) << o.err;
        if (c.out != "*") {
            EXPECT_EQ(o.out, c.out);
        }
        EXPECT_NE(o.err.find(c.err), std::string::npos) << o.err;
    }
}

TEST(CorvoSsoCli, SiteLockListFormat) {
    const Outcome o = RunCli({"sitelock", "list"});
    ASSERT_EQ(o.exit_code, 0) << o.err;
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

}  // namespace
