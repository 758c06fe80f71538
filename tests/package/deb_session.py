"""As a user with a fresh home, after the Debian package was installed: the
extension is in Chromium started through /usr/bin/chromium and in Firefox
ESR, each with a fresh profile and nothing loaded by hand; a page of an allowed site lists the
accounts and logs in against the reference IM client; `corvo-sso users`
works with no registration of the user's own.

    deb_session.py --tools BUILD/tools

Exit 0 passed, 1 failed.
"""

import argparse
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "browser", "driver"))
import corvo_browser  # noqa: E402

ACCOUNTS = ["cnmarketweb_alice", "cnbizchnweb_bob"]
ALLOWED = "login.market.example"
ANSWER_URL = "https://login.market.example/welcome?user={account}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tools", required=True, help="the build's tools (corvo-imclient)")
    args = parser.parse_args()
    corvo_browser.bounded_run(240)
    failures = []

    def check(condition, what, detail=None):
        print(("ok   " if condition else "FAIL ") + what + ("" if condition else ": %r" % (detail,)))
        if not condition:
            failures.append(what)

    for browser in corvo_browser.BROWSERS:
        with corvo_browser.BrowserSession(args.tools, None, ACCOUNTS, ["--answer-url", ANSWER_URL],
                                          browser=browser, installed=True) as session:
            if browser == corvo_browser.BROWSERS[0]:
                check(not os.path.exists(session.env["CORVO_REGISTRY"]),
                      "the user has no registration")
                users = subprocess.run(["/usr/bin/corvo-sso", "users"], env=session.env,
                                       capture_output=True, text=True, timeout=60)
                check(users.returncode == 0 and all(a in users.stdout for a in ACCOUNTS),
                      "corvo-sso users lists the accounts",
                      (users.returncode, users.stdout, users.stderr))

            session.server.pages["/page.html"] = "<!doctype html><title>page</title><p>page</p>"
            session.driver.navigate(session.server.url(ALLOWED, "/page.html"))
            version = session.wait_for_api(timeout=20)
            check(version.get("ok") and version.get("value") == "1.0.0.1",
                  browser + ": the installed extension answers on an allowed page", version)
            listed = session.call("CorvoSSOLogin.GetUserList(0, 1)")
            ids = [u.get("strKey_FullUserID") for u in listed.get("value") or []] \
                if listed.get("ok") else None
            check(ids == ACCOUNTS, browser + ": GetUserList lists the accounts", listed)
            login = session.call(
                "CorvoSSOLogin.BeginSSOLogin(0, {strKey_FullUserID: 'cnmarketweb_alice'})")
            value = login.get("value") if login.get("ok") else {}
            check(value.get("strKey_GOResult") == "1" and value.get("strKey_ResultURL") ==
                  ANSWER_URL.format(account="cnmarketweb_alice"),
                  browser + ": BeginSSOLogin logs in", login)
    return 1 if failures else 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except corvo_browser.Unavailable as e:
        print("FAIL " + str(e))
        sys.exit(1)
