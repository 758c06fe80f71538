#include "tools/corvo-sso/login_commands.h"

#include <algorithm>
#include <iostream>
#include <optional>

#include "platform/com/hresult_name.h"
#include "platform/registry_store.h"
#include "tools/corvo-sso/cli_common.h"
#include "tools/corvo-sso/demo_command.h"
#include "tools/corvo-sso/json_text.h"

namespace corvo::cli {

void PrintUserTable(std::ostream& out, const std::vector<UserEntry>& users) {
    if (users.empty()) {
        out << "(no accounts)\n";
        return;
    }
    static constexpr std::array<const char*, 5> kHeadings = {"FULL USER ID", "SITE ID", "SHORT ID",
                                                             "SITE", "CLIENT VERSION"};
    std::array<size_t, 5> widths{};
    std::vector<std::array<std::string, 5>> rows;
    for (size_t k = 0; k < 5; ++k) widths[k] = std::string_view(kHeadings[k]).size();
    for (const auto& user : users) {
        auto& row = rows.emplace_back();
        for (size_t k = 0; k < 5; ++k) {
            row[k] = Utf16ToUtf8Lenient(user[k]);
            widths[k] = std::max(widths[k], row[k].size());
        }
    }
    auto printRow = [&](auto cell) {
        std::string line;
        for (size_t k = 0; k < 5; ++k) {
            std::string text = cell(k);
            if (k + 1 < 5) text.resize(widths[k] + 2, ' ');
            line += text;
        }
        out << line << "\n";
    };
    printRow([&](size_t k) { return std::string(kHeadings[k]); });
    for (const auto& row : rows) printRow([&](size_t k) { return row[k]; });
}

int ReportFailure(const char* what, HRESULT hr, const std::string& message) {
    std::cerr << "error: " << what << " failed: " << DescribeHResult(hr) << "\n";
    if (hr == REGDB_E_CLASSNOTREG)
        std::cerr << "The login control is not registered ("
                  << platform::RegistryStore::DefaultPath()
                  << "); register it first with `corvo-sso register`.\n";
    else if (!message.empty())
        std::cerr << message << "\n";
    return kExitFailed;
}

void AddLoginCommands(CLI::App& app, int& exitCode) {
    // Runs `work` on a control hosted by the page of the app's own --page and
    // --zone; the exit code is what `work` returns, or 1 when no control can
    // be made.
    auto withControl = [&app, &exitCode](const auto& work) {
        const std::string page = app.get_option("--page")->as<std::string>();
        auto* zoneOption = app.get_option("--zone");
        const int zone = zoneOption->count() ? zoneOption->as<int>() : -1;
        LoginSession session;
        std::string message;
        const HRESULT hr = session.Open(page, zone, &message);
        exitCode = FAILED(hr) ? ReportFailure("creating the login control", hr, message)
                              : work(session.control());
    };

    struct UsersArgs {
        LONG flag = 0;
        LONG includeSub = 1;
        bool json = false;
    };
    auto users_args = std::make_shared<UsersArgs>();
    auto* users =
        app.add_subcommand("users", "List the IM accounts logged in on this machine (GetUserList)");
    users->add_option("--flag", users_args->flag,
                      "Account families: 1 marketplace, 2 business-to-business, 0 all");
    users->add_option("--include-sub", users_args->includeSub,
                      "1: include sub-accounts (IDs with \":\"); any other value leaves them out");
    users->add_flag("--json", users_args->json, "Print a JSON array of objects");
    users->callback([users_args, withControl] {
        withControl([&](IDispatch* control) {
            std::vector<UserEntry> list;
            const HRESULT hr = ListUsers(control, users_args->flag, users_args->includeSub, &list);
            if (FAILED(hr)) return ReportFailure("GetUserList", hr);
            if (!users_args->json) {
                PrintUserTable(std::cout, list);
                return kExitOk;
            }
            std::string json = "[";
            for (size_t i = 0; i < list.size(); ++i) {
                json += i ? ",\n {" : "\n {";
                for (size_t k = 0; k < kUserKeys.size(); ++k) {
                    if (k) json += ", ";
                    AppendJsonString(json, kUserKeys[k]);
                    json += ": ";
                    AppendJsonString(json, list[i][k]);
                }
                json += "}";
            }
            std::cout << json << (list.empty() ? "]\n" : "\n]\n");
            return kExitOk;
        });
    });

    struct LoginArgs {
        std::string user;
        LONG reserved = 0;
        bool json = false;
    };
    auto login_args = std::make_shared<LoginArgs>();
    auto* login =
        app.add_subcommand("login", "Quick login with a logged-in IM account (BeginSSOLogin)");
    login->add_option("FULLUSERID", login_args->user, "The account's full user ID")->required();
    login->add_option("--reserved", login_args->reserved, "lReserved (the control expects 0)");
    login->add_flag("--json", login_args->json, "Print the result as a JSON object");
    login->callback([&exitCode, login_args, withControl] {
        std::u16string user;
        if (!Utf8ToUtf16Strict(login_args->user, user)) {
            exitCode = ReportError({kExitUsage, "FULLUSERID is not valid UTF-8"});
            return;
        }
        withControl([&](IDispatch* control) {
            LoginAnswer answer;
            const HRESULT hr = QuickLogin(control, user, login_args->reserved, &answer);
            if (FAILED(hr))
                return ReportFailure("BeginSSOLogin", hr,
                                     "(no client window for the account, no answer within "
                                     "3000 ms, or the client refused)");
            if (login_args->json) {
                std::cout << JsonObjectLine(
                    {{"strKey_GOResult", answer.goResult}, {"strKey_ResultURL", answer.resultUrl}});
            } else {
                std::cout << "strKey_GOResult\t" << Utf16ToUtf8Lenient(answer.goResult) << "\n"
                          << "strKey_ResultURL\t" << Utf16ToUtf8Lenient(answer.resultUrl) << "\n";
            }
            return kExitOk;
        });
    });

    auto* version = app.add_subcommand(
        "client-version",
        "Print the installed IM client's version (GetQXClientVersion; empty when unknown)");
    version->callback([withControl] {
        withControl([](IDispatch* control) {
            std::u16string text;
            const HRESULT hr = QueryClientVersion(control, &text);
            if (FAILED(hr)) return ReportFailure("GetQXClientVersion", hr);
            std::cout << Utf16ToUtf8Lenient(text) << "\n";
            return kExitOk;
        });
    });

    AddDemoCommand(app, exitCode);
}

}  // namespace corvo::cli
