"""`corvo-sso demo --browser`: the demo's quick login from a real page in
headless Chromium or Firefox, through the extension and the native-messaging
host.

    demo_browser.py --tools DIR --extension DIR --screenshot FILE [--browser firefox]

Exit 0 when the page listed the accounts and logged in; 1 otherwise; 3 when
the browser is not installed (the message says what to install).
"""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import corvo_browser  # noqa: E402

ACCOUNTS = ["cnmarketdemo_alice", "cnbizchndemo_bob", "cnmarketdemo_alice:support"]
HOST = "login.market.example"

# The page a site would write: it lists the accounts and logs in with the
# first one, showing each step.
PAGE = """<!doctype html>
<html><head><meta charset="utf-8"><title>Quick login</title>
<style>
 body { font: 15px sans-serif; margin: 24px; color: #222; }
 h1 { font-size: 20px; } table { border-collapse: collapse; margin: 8px 0; }
 td, th { border: 1px solid #bbb; padding: 4px 8px; text-align: left; }
 .ok { color: #176317; font-weight: bold; } .err { color: #a11; font-weight: bold; }
 code { background: #f2f2f2; padding: 1px 4px; }
</style></head>
<body>
<h1>Log in with your IM account</h1>
<p>Page: <code id="page"></code></p>
<p id="versions">Checking the control...</p>
<table id="users"><tr><th>Account</th><th>Site</th><th>Short ID</th><th>Description</th></tr></table>
<p id="status">Listing the accounts...</p>
<script>
document.getElementById("page").textContent = location.href;
const show = (id, text, cls) => { const e = document.getElementById(id); e.textContent = text; if (cls) e.className = cls; };
window.demoDone = (async () => {
  try {
    await CorvoSSOLogin.InitSSOLoginCtrl();
    const control = await CorvoSSOLogin.GetSSOLoginCtrlVersion();
    const client = await CorvoSSOLogin.GetQXClientVersion();
    show("versions", "Control " + control + ", IM client " + (client || "(unknown)"));
    const users = await CorvoSSOLogin.GetUserList(0, 1);
    const table = document.getElementById("users");
    for (const u of users) {
      const row = table.insertRow();
      for (const k of ["strKey_FullUserID", "strKey_SiteID", "strKey_ShortUserID", "strKey_SiteID_Description"])
        row.insertCell().textContent = u[k];
    }
    if (!users.length) throw new Error("no account is logged in");
    show("status", "Logging in as " + users[0].strKey_FullUserID + "...");
    const result = await CorvoSSOLogin.BeginSSOLogin(0, {strKey_FullUserID: users[0].strKey_FullUserID});
    show("status", "Logged in as " + users[0].strKey_FullUserID + " (result " + result.strKey_GOResult +
         "); continue at " + result.strKey_ResultURL, "ok");
    return {ok: true, users: users.map(u => u.strKey_FullUserID), result};
  } catch (e) {
    show("status", "Failed: " + e.name + ": " + e.message, "err");
    return {ok: false, name: e.name, message: e.message};
  }
})();
</script>
</body></html>
"""

WAIT_SCRIPT = """
const done = arguments[arguments.length - 1];
const wait = () => window.demoDone ? window.demoDone.then(done) : setTimeout(wait, 50);
wait();
"""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tools", required=True)
    parser.add_argument("--extension", required=True)
    parser.add_argument("--screenshot", required=True)
    parser.add_argument("--browser", default="chromium", choices=corvo_browser.BROWSERS)
    args = parser.parse_args()
    shown = "Firefox" if args.browser == "firefox" else "Chromium"
    try:
        corvo_browser.find_browser(args.browser)
    except corvo_browser.Unavailable as e:
        print(str(e))
        return 3
    corvo_browser.bounded_run(90)
    print("[1] Registering the control in a private registry, writing the host manifest for a\n"
          "    fresh %s profile (corvo-sso browser install), starting the reference IM\n"
          "    client with %s." % (shown, ", ".join(ACCOUNTS)))
    with corvo_browser.BrowserSession(args.tools, args.extension, ACCOUNTS,
                                      browser=args.browser) as session:
        session.server.pages["/login.html"] = PAGE
        url = session.server.url(HOST, "/login.html")
        print("[2] Headless %s with the extension opens %s" % (shown, url))
        session.driver.navigate(url)
        outcome = session.driver.execute_async(WAIT_SCRIPT, [], timeout=40)
        with open(args.screenshot, "wb") as f:
            f.write(session.driver.screenshot())
    if not outcome or not outcome.get("ok"):
        print("The page's quick login FAILED: %s" % outcome)
        print("Screenshot: %s" % os.path.abspath(args.screenshot))
        return 1
    print("[3] The page listed the accounts: %s" % ", ".join(outcome["users"]))
    print("[4] and logged in with the first one: strKey_GOResult %s, continue at %s"
          % (outcome["result"]["strKey_GOResult"], outcome["result"]["strKey_ResultURL"]))
    print("Screenshot of the page after the login: %s" % os.path.abspath(args.screenshot))
    return 0


if __name__ == "__main__":
    sys.exit(main())
