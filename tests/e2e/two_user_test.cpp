// Another local user tries to reach one user's exchange: squatting the
// endpoint directory (as a directory anyone may write, or as a link to its
// own), planting or reading objects in it, running a client for the same
// account, and asking the other user's client through a control of its own.
// Every attempt is refused or simply finds nothing, and the first user's
// client and control keep working with their own objects only.
//
// Creating users needs root; as any other user the test says it was skipped.
// Both users are created for the test with useradd and removed afterwards,
// whatever happened; the programs run from a copy that both can execute.
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "control/exchange_name.h"
#include "platform/posix/exchange_object_directory.h"
#include "tests/e2e/e2e_support.h"

namespace corvo::e2e {
namespace {

using namespace std::chrono_literals;

constexpr char kAccount[] = "cnmarketvictim";

// A user that exists while the object lives.
class TemporaryUser {
  public:
    explicit TemporaryUser(std::string name) : name_(std::move(name)) {
        auto run = RunProgram("/usr/sbin/useradd",
                              {"--no-create-home", "--shell", "/usr/sbin/nologin", name_});
        if (run.exitCode != 0) {
            ADD_FAILURE() << "useradd " << name_ << ": " << run.err;
            return;
        }
        created_ = true;
        if (const passwd* pw = getpwnam(name_.c_str())) {
            uid_ = pw->pw_uid;
            gid_ = pw->pw_gid;
        }
    }
    ~TemporaryUser() {
        if (!created_) return;
        RunProgram("/usr/sbin/userdel", {name_});
        RunProgram("/usr/sbin/groupdel", {name_});
    }
    TemporaryUser(const TemporaryUser&) = delete;
    TemporaryUser& operator=(const TemporaryUser&) = delete;

    bool ok() const { return created_ && uid_ != 0; }
    uid_t uid() const { return uid_; }
    gid_t gid() const { return gid_; }
    // The user's endpoint directory when nothing in the environment names one.
    std::string DefaultEndpoint() const { return "/tmp/corvo-im-" + std::to_string(uid_); }

  private:
    std::string name_;
    bool created_ = false;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
};

class TwoUsers : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "creating a second user needs root; skipped";
        const std::string tag = std::to_string(getpid());
        victim_ = std::make_unique<TemporaryUser>("corvo-v" + tag);
        attacker_ = std::make_unique<TemporaryUser>("corvo-a" + tag);
        ASSERT_TRUE(victim_->ok() && attacker_->ok());
        std::string pattern = "/tmp/corvo-two-users-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        ASSERT_EQ(chmod(root_.c_str(), 0755), 0);
        // The programs, where both users can run them.
        for (const char* dir : {"tools", "module"}) fs::create_directory(root_ / dir);
        for (const auto& [from, to] : {std::pair{CORVO_IMCLIENT_PATH, "tools/corvo-imclient"},
                                       std::pair{CORVO_SSO_PATH, "tools/corvo-sso"},
                                       std::pair{CORVO_MODULE_PATH, "module/libCorvoSSOLogin.so"}})
            fs::copy_file(from, root_ / to);
        fs::permissions(root_ / "tools", fs::perms(0755));
        fs::permissions(root_ / "module", fs::perms(0755));
        for (const TemporaryUser* user : {victim_.get(), attacker_.get()}) {
            const fs::path home = Home(*user);
            fs::create_directory(home);
            ASSERT_EQ(chown(home.c_str(), user->uid(), user->gid()), 0);
            ASSERT_EQ(chmod(home.c_str(), 0700), 0);
            fs::remove_all(user->DefaultEndpoint());
            auto reg =
                As(*user, "tools/corvo-sso",
                   {"register", "--module", (root_ / "module/libCorvoSSOLogin.so").string()});
            ASSERT_EQ(reg.exitCode, 0) << reg.err;
        }
    }
    void TearDown() override {
        StopVictimClient();
        if (attackerClient_ > 0) {
            kill(attackerClient_, SIGKILL);
            test::WaitForExit(attackerClient_);
        }
        if (!planted_.empty()) fs::remove(planted_);
        if (victim_) fs::remove_all(victim_->DefaultEndpoint());
        if (attacker_) fs::remove_all(attacker_->DefaultEndpoint());
        if (!root_.empty()) fs::remove_all(root_);
        attacker_.reset();
        victim_.reset();
    }

    fs::path Home(const TemporaryUser& user) const {
        return root_ / ("home-" + std::to_string(user.uid()));
    }
    std::vector<std::pair<std::string, std::string>> Environment(const TemporaryUser& user,
                                                                 std::string imDir = "") const {
        return {{"HOME", Home(user).string()},
                {"CORVO_REGISTRY", (Home(user) / "registry.reg").string()},
                {"CORVO_IM_DIR", imDir},  // empty: the default directory
                {"XDG_RUNTIME_DIR", ""},
                {"XDG_CONFIG_HOME", ""}};
    }
    std::vector<std::string> Argv(const TemporaryUser& user, const std::string& program,
                                  const std::vector<std::string>& args) const {
        std::vector<std::string> argv = {"--reuid=" + std::to_string(user.uid()),
                                         "--regid=" + std::to_string(user.gid()), "--clear-groups",
                                         "--"};
        argv.push_back(program.starts_with("/") ? program : (root_ / program).string());
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    }
    // Runs a program as `user` to its end.
    test::ProgramOptions Options(const TemporaryUser& user, std::string imDir = "") const {
        test::ProgramOptions options;
        options.environment = Environment(user, std::move(imDir));
        return options;
    }
    ProgramResult As(const TemporaryUser& user, const std::string& program,
                     const std::vector<std::string>& args, std::string imDir = "") const {
        return RunProgram("/usr/bin/setpriv", Argv(user, program, args),
                          Options(user, std::move(imDir)));
    }
    // A shell command as `user` ("$1".. are `args`); its exit code.
    int Shell(const TemporaryUser& user, const std::string& script,
              const std::vector<std::string>& args) const {
        std::vector<std::string> all = {"-c", script, "sh"};
        all.insert(all.end(), args.begin(), args.end());
        return As(user, "/bin/sh", all).exitCode;
    }

    // Starts the victim's client; true once it has published everything.
    bool StartVictimClient(const std::vector<std::string>& extra, std::string* err) {
        const fs::path ready = Home(*victim_) / "client.ready";
        const fs::path errFile = root_ / "client.err";
        std::vector<std::string> args = {"--account", kAccount,       "--client-version",
                                         "victim-1",  "--ready-file", ready.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        client_ = test::SpawnProgram(
            "/usr/bin/setpriv", Argv(*victim_, "tools/corvo-imclient", args),
            {.out = (root_ / "client.out").string(), .err = errFile.string()}, Options(*victim_));
        for (auto deadline = Clock::now() + 10s; client_ > 0 && Clock::now() < deadline;) {
            if (fs::exists(ready)) return true;
            int status = 0;
            if (waitpid(client_, &status, WNOHANG) == client_) {
                client_ = -1;  // it gave up (and said why)
                break;
            }
            std::this_thread::sleep_for(5ms);
        }
        StopVictimClient();
        *err = test::ReadFileBytes(errFile.string());
        return false;
    }
    int StopVictimClient() {
        if (client_ <= 0) return -1;
        kill(client_, SIGTERM);
        const int status = test::WaitForExit(client_);
        client_ = -1;
        return status;
    }

    std::unique_ptr<TemporaryUser> victim_, attacker_;
    fs::path root_;
    pid_t client_ = -1;
    pid_t attackerClient_ = -1;
    std::string planted_;  // a file the other user made outside the test's directory
};

TEST_F(TwoUsers, AnotherUserCannotSquatReadOrReachTheExchange) {
    const std::string endpoint = victim_->DefaultEndpoint();
    const std::string blockFile =
        endpoint + "/objects/" +
        *platform::ExchangeObjectFileName(control::MakeUserBlockName(Utf16(kAccount)));
    std::string err;

    // 1. The endpoint directory made in advance by the other user, open to
    //    everyone: the client says so and publishes nothing; the control
    //    finds nobody.
    ASSERT_EQ(Shell(*attacker_, "mkdir -m 0777 \"$1\" && mkdir -m 0777 \"$1/objects\"", {endpoint}),
              0);
    EXPECT_FALSE(StartVictimClient({}, &err));
    EXPECT_NE(err.find("not a private directory"), std::string::npos) << err;
    EXPECT_NE(err.find(endpoint), std::string::npos) << err;
    auto users = As(*victim_, "tools/corvo-sso", {"users", "--json"});
    EXPECT_EQ(users.out, "[]\n") << users.err;
    EXPECT_EQ(As(*victim_, "tools/corvo-sso", {"login", kAccount}).exitCode, 1);
    fs::remove_all(endpoint);

    // 2. The same as a link to a directory of the other user.
    const std::string decoy = endpoint + "-decoy";
    ASSERT_EQ(Shell(*attacker_, "mkdir -m 0700 \"$1\" && ln -s \"$1\" \"$2\"", {decoy, endpoint}),
              0);
    EXPECT_FALSE(StartVictimClient({}, &err));
    EXPECT_NE(err.find("not a private directory"), std::string::npos) << err;
    fs::remove_all(endpoint);
    fs::remove_all(decoy);

    // 3. Objects of the old machine-wide names, planted before the client
    //    starts, open to everyone: never looked at.
    const std::string shmName = "/dev/shm/" + *platform::ExchangeObjectFileName(
                                                  control::MakeUserBlockName(Utf16(kAccount)));
    planted_ = shmName;
    ASSERT_EQ(Shell(*attacker_, "head -c 8208 /dev/zero > \"$1\" && chmod 0666 \"$1\"", {shmName}),
              0);

    // 4. The other user's own client for the same account, with its own
    //    version, in its own directory.
    const fs::path attackerReady = Home(*attacker_) / "client.ready";
    attackerClient_ = test::SpawnProgram(
        "/usr/bin/setpriv",
        Argv(*attacker_, "tools/corvo-imclient",
             {"--account", kAccount, "--client-version", "squatter", "--answer-url",
              "https://login.market.example/squatter", "--ready-file", attackerReady.string()}),
        {.out = "/dev/null", .err = "/dev/null"}, Options(*attacker_));
    ASSERT_GT(attackerClient_, 0);
    for (auto deadline = Clock::now() + 10s; !fs::exists(attackerReady) && Clock::now() < deadline;)
        std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(fs::exists(attackerReady));

    // The first user's client now starts and publishes as usual.
    ASSERT_TRUE(StartVictimClient({}, &err)) << err;
    struct stat st;
    ASSERT_EQ(stat(blockFile.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, victim_->uid());
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ASSERT_EQ(stat(endpoint.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);

    // 5. Everything the other user tries against the live client fails.
    struct Attempt {
        const char* what;
        std::string script;
    };
    const Attempt attempts[] = {
        {"list the endpoint directory", "ls \"$1\""},
        {"read the user block", "cat \"$1/objects/$2\""},
        {"plant a block", "echo x > \"$1/objects/{00000000-0000-0000-0000-000000000000}\""},
        {"replace the user block",
         "echo x > \"$1/objects/$2.new\" && mv \"$1/objects/$2.new\" \"$1/objects/$2\""},
        {"plant an event", "mkfifo \"$1/objects/{11111111-1111-1111-1111-111111111111}\""},
        {"plant a window", "echo x > \"$1/00000000000000000099.window\""},
    };
    const std::string file = fs::path(blockFile).filename().string();
    for (const Attempt& a : attempts)
        EXPECT_NE(Shell(*attacker_, a.script, {endpoint, file}), 0) << a.what;
    auto intruder = As(*attacker_, "tools/corvo-imclient", {"--account", kAccount}, endpoint);
    EXPECT_EQ(intruder.exitCode, 1);
    EXPECT_NE(intruder.err.find("cannot use the endpoint directory"), std::string::npos)
        << intruder.err;
    auto reach = As(*attacker_, "tools/corvo-sso", {"login", kAccount}, endpoint);
    EXPECT_EQ(reach.exitCode, 1) << reach.out;
    auto peek = As(*attacker_, "tools/corvo-sso", {"users", "--json"}, endpoint);
    EXPECT_EQ(peek.out, "[]\n");

    // 6. The first user's control sees its own client only, and logs in.
    users = As(*victim_, "tools/corvo-sso", {"users", "--json"});
    EXPECT_EQ(users.exitCode, 0) << users.err;
    EXPECT_NE(users.out.find("\"strKey_QXClientVersion\": \"victim-1\""), std::string::npos)
        << users.out;
    EXPECT_EQ(users.out.find("squatter"), std::string::npos) << users.out;
    auto login = As(*victim_, "tools/corvo-sso", {"login", kAccount, "--json"});
    EXPECT_EQ(login.exitCode, 0) << login.err;
    EXPECT_NE(login.out.find("\"strKey_GOResult\": \"1\""), std::string::npos) << login.out;
    EXPECT_EQ(login.out.find("squatter"), std::string::npos) << login.out;

    // The other user's control likewise sees only its own client.
    peek = As(*attacker_, "tools/corvo-sso", {"users", "--json"});
    EXPECT_NE(peek.out.find("squatter"), std::string::npos) << peek.out;
    EXPECT_EQ(peek.out.find("victim-1"), std::string::npos) << peek.out;

    EXPECT_EQ(StopVictimClient(), 0);
    kill(attackerClient_, SIGTERM);
    EXPECT_EQ(test::WaitForExit(attackerClient_), 0);
    attackerClient_ = -1;
    // Nothing of the exchange is left in the first user's directory.
    EXPECT_TRUE(fs::is_empty(endpoint + "/objects"));
}

}  // namespace
}  // namespace corvo::e2e
