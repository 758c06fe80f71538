"""Browser tests: the page API in headless Chromium and Firefox, through the
extension and the native-messaging host, against the reference IM client.
One set of cases; --browser picks the browser.

    browser_test.py --tools DIR --extension DIR --extension-id ID --browser B --case NAME

Exit 0 passed, 1 failed, 77 skipped (the browser is not installed; never under CI).
"""

import argparse
import json
import os
import signal
import sys
import time
import traceback

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "browser", "driver"))
import corvo_browser  # noqa: E402

ACCOUNTS = ["cnmarketweb_alice", "cnbizchnweb_bob", "cnmarketweb_alice:desk"]
ALLOWED = "login.market.example"          # a plain login host of the table
REFUSED_IN_MATCHES = "b2b.corvo.example"  # the bare suffix of "*.b2b.corvo.example"
OUTSIDE = "elsewhere.example"             # no entry, no extension permission
ANSWER_URL = "https://login.market.example/welcome?user={account}"
USER_KEYS = ["strKey_FullUserID", "strKey_SiteID", "strKey_ShortUserID",
             "strKey_SiteID_Description", "strKey_QXClientVersion"]
E_FAIL = -2147467259
FIREFOX_ADDON_ID = "sso-login@corvo.example"

failures = []


def check(condition, what, detail=None):
    if condition:
        print("ok   " + what)
    else:
        print("FAIL " + what + ("" if detail is None else ": " + json.dumps(detail)))
        failures.append(what)


def rejected(outcome, name, what):
    check(outcome.get("ok") is False and outcome.get("name") == name and outcome.get("isError"),
          what + " rejects with " + name, outcome)
    if name == "E_FAIL":
        check(outcome.get("hresult") == E_FAIL, what + ": hresult is E_FAIL's", outcome)


def frame_page(src, sandbox=False):
    attribute = ' sandbox="allow-scripts"' if sandbox else ""
    return '<!doctype html><title>outer</title><iframe%s src="%s"></iframe>' % (attribute, src)


PLAIN = "<!doctype html><title>page</title><p id=status>page</p>"


def setup_pages(session):
    server = session.server
    server.pages["/page.html"] = PLAIN
    return server


def open_page(session, url):
    session.driver.frame(None)
    session.driver.navigate(url)
    return session.wait_for_api()


def enter_frame(session):
    """Into the first frame of the current page, once it has its API."""
    deadline = time.monotonic() + 10
    while True:
        session.driver.frame(None)
        ready = session.driver.execute(
            "const f = document.querySelector('iframe');"
            "return !!f && f.dataset.loaded === '1' || (f && f.contentDocument === null) ||"
            " (f && f.contentDocument && f.contentDocument.readyState === 'complete');")
        if ready or time.monotonic() > deadline:
            break
        time.sleep(0.1)
    time.sleep(0.3)
    session.driver.frame(0)


def case_allowed(args):
    with corvo_browser.BrowserSession(args.tools, args.extension, browser=args.browser, accounts=ACCOUNTS,
                                      client_args=["--answer-url", ANSWER_URL]) as session:
        server = setup_pages(session)
        first = open_page(session, server.url(ALLOWED, "/page.html"))
        check(first.get("ok") and first["value"] == "1.0.0.1", "GetSSOLoginCtrlVersion", first)
        if args.browser == "firefox":
            warnings = session.driver.addon_warnings(FIREFOX_ADDON_ID)
            check(warnings == [], "Firefox reads the manifest without warnings", warnings)
        init = session.call("CorvoSSOLogin.InitSSOLoginCtrl()")
        check(init.get("ok") and init["value"] == "(undefined)", "InitSSOLoginCtrl resolves undefined", init)
        version = session.call("CorvoSSOLogin.GetQXClientVersion()")
        check(version.get("ok") and version["value"] == "9.1.0.2025", "GetQXClientVersion", version)

        expected = {
            (0, 1): ACCOUNTS,
            (1, 1): ["cnmarketweb_alice", "cnmarketweb_alice:desk"],
            (2, 1): ["cnbizchnweb_bob"],
            (0, 0): ["cnmarketweb_alice", "cnbizchnweb_bob"],
            (1, 0): ["cnmarketweb_alice"],
        }
        for (flag, sub), ids in expected.items():
            listed = session.call("CorvoSSOLogin.GetUserList(%d, %d)" % (flag, sub))
            users = listed.get("value") if listed.get("ok") else None
            check(isinstance(users, list) and [u.get("strKey_FullUserID") for u in users] == ids,
                  "GetUserList(%d, %d) lists %s" % (flag, sub, ids), listed)
            keys = session.call("CorvoSSOLogin.GetUserList(%d, %d).then((l) => l.map(Object.keys))"
                                % (flag, sub))
            check(keys.get("ok") and keys["value"] == [USER_KEYS] * len(ids),
                  "GetUserList(%d, %d) items have the five keys in order" % (flag, sub), keys)

        login = session.call(
            "CorvoSSOLogin.BeginSSOLogin(0, {strKey_FullUserID: 'cnmarketweb_alice'})")
        value = login.get("value") if login.get("ok") else {}
        check(value.get("strKey_GOResult") == "1", "BeginSSOLogin succeeds", login)
        check(value.get("strKey_ResultURL") == ANSWER_URL.replace("{account}", "cnmarketweb_alice"),
              "the result address is the client's", login)
        check(value.get("strKey_FullUserID") == "cnmarketweb_alice",
              "the result is a copy of the page's object", login)
        keys = session.call("CorvoSSOLogin.BeginSSOLogin(0, {note: 'n', strKey_FullUserID:"
                            " 'cnbizchnweb_bob'}).then(Object.keys)")
        check(keys.get("value") == ["note", "strKey_FullUserID", "strKey_GOResult", "strKey_ResultURL"],
              "the result keeps the page's keys in order, the two results after them", keys)

        # What the page claims about itself is not its address: an allowed page
        # naming a refused one still logs in, and the page's own event,
        # carrying a claimed frame and top-level page, is judged by the real one.
        claimed = session.call(
            "CorvoSSOLogin.BeginSSOLogin(0, {strKey_FullUserID: 'cnbizchnweb_bob',"
            " url: 'http://%s/', zone: '4'})" % OUTSIDE)
        check(claimed.get("ok") and claimed["value"].get("strKey_GOResult") == "1",
              "an allowed page claiming another address is judged by its own", claimed)

        rejected(session.call("CorvoSSOLogin.GetUserList({}, 1)"), "DISP_E_TYPEMISMATCH",
                 "GetUserList with an object for lFlag")
        rejected(session.call("CorvoSSOLogin.BeginSSOLogin(0, {strKey_FullUserID: 7})"),
                 "DISP_E_TYPEMISMATCH", "BeginSSOLogin with a number as the user ID")
        rejected(session.call("CorvoSSOLogin.BeginSSOLogin(0, {strKey_FullUserID: 'nobody'})"),
                 "E_FAIL", "BeginSSOLogin for an account that is not logged in")
        rejected(session.call("CorvoSSOLogin.BeginSSOLogin(0, null)"), "E_INVALIDARG",
                 "BeginSSOLogin without an object")


RAW_REQUEST = """
new Promise((resolve, reject) => {
  document.addEventListener("corvo-sso-response", (e) => {
    const a = JSON.parse(e.detail);
    if (a.id !== 4242) return;
    if (a.ok) { resolve(a.value); return; }
    const error = new Error(a.message); error.name = a.error; error.hresult = a.hresult; reject(error);
  });
  document.dispatchEvent(new CustomEvent("corvo-sso-request", {detail: JSON.stringify({
    id: 4242, method: "InitSSOLoginCtrl", args: [],
    frame: {url: "http://%(allowed)s/", origin: "http://%(allowed)s"},
    top: {url: "http://%(allowed)s/"}, url: "http://%(allowed)s/"})}));
})
""" % {"allowed": ALLOWED}


def case_refused(args):
    with corvo_browser.BrowserSession(args.tools, args.extension, browser=args.browser, accounts=ACCOUNTS) as session:
        server = setup_pages(session)
        inner_allowed = server.url(ALLOWED, "/page.html")
        inner_refused = server.url(REFUSED_IN_MATCHES, "/page.html")
        server.pages["/outer-allowed.html"] = frame_page(inner_refused)
        server.pages["/outer-refused.html"] = frame_page(inner_allowed)
        server.pages["/sandboxed.html"] = frame_page(inner_allowed, sandbox=True)
        server.pages["/blank.html"] = '<!doctype html><iframe src="about:blank"></iframe>'
        server.pages["/srcdoc.html"] = '<!doctype html><iframe srcdoc="<p>inline</p>"></iframe>'

        outcome = open_page(session, server.url(REFUSED_IN_MATCHES, "/page.html"))
        rejected(outcome, "E_FAIL", "a refused host (%s)" % REFUSED_IN_MATCHES)
        rejected(session.call("CorvoSSOLogin.GetUserList(0, 1)"), "E_FAIL",
                 "GetUserList on a refused host")
        rejected(session.call(RAW_REQUEST), "E_FAIL",
                 "a refused page whose message claims an allowed address")

        session.driver.navigate(server.url(OUTSIDE, "/page.html"))
        outcome = session.call("CorvoSSOLogin.InitSSOLoginCtrl()")
        check(outcome.get("missing"), "a host outside the table has no page API", outcome)

        session.driver.navigate(server.url(ALLOWED, "/outer-allowed.html"))
        enter_frame(session)
        rejected(session.call("CorvoSSOLogin.InitSSOLoginCtrl()"), "E_FAIL",
                 "a refused frame inside an allowed page")

        session.driver.frame(None)
        session.driver.navigate(server.url(REFUSED_IN_MATCHES, "/outer-refused.html"))
        enter_frame(session)
        rejected(session.call("CorvoSSOLogin.GetUserList(0, 1)"), "E_FAIL",
                 "an allowed frame inside a refused page")

        session.driver.frame(None)
        session.driver.navigate(server.url(OUTSIDE, "/outer-refused.html"))
        enter_frame(session)
        rejected(session.call("CorvoSSOLogin.GetUserList(0, 1)"), "E_FAIL",
                 "an allowed frame inside a page outside the table")

        # The page API is there (match_origin_as_fallback); the host refuses the
        # frames by their origin.
        for page, what in [("/sandboxed.html", "a sandboxed frame of an allowed host"),
                           ("/blank.html", "an about:blank frame inside an allowed page"),
                           ("/srcdoc.html", "a srcdoc frame inside an allowed page")]:
            session.driver.frame(None)
            session.driver.navigate(server.url(ALLOWED, page))
            enter_frame(session)
            outcome = session.call("CorvoSSOLogin.GetUserList(0, 1)")
            rejected(outcome, "E_FAIL", what)
            check("origin" in (outcome.get("message") or ""), what + ": refused for its origin",
                  outcome)


def case_host_unavailable(args):
    with corvo_browser.BrowserSession(args.tools, args.extension, browser=args.browser, accounts=ACCOUNTS,
                                      install_host=False) as session:
        server = setup_pages(session)
        open_page(session, server.url(ALLOWED, "/page.html"))
        outcome = session.call("CorvoSSOLogin.GetUserList(0, 1)")
        message = outcome.get("message") or ""
        # Chromium: "Specified native messaging host not found."; Firefox: "No
        # such native application com.corvo.sso_login".
        check(outcome.get("ok") is False and outcome.get("name") == "HostUnavailable"
              and ("not found" in message or "No such native application" in message),
              "without the host manifest the page gets HostUnavailable, saying why", outcome)


HUNG_SCRIPT = """
(() => {
  let ticks = 0;
  const timer = setInterval(() => { ticks++; }, 50);
  const started = Date.now();
  const login = CorvoSSOLogin.BeginSSOLogin(0, {strKey_FullUserID: 'cnmarketweb_alice'});
  // Another call over the same connection while the login waits.
  const other = new Promise((r) => setTimeout(r, 300))
    .then(() => CorvoSSOLogin.GetSSOLoginCtrlVersion()).then(() => Date.now() - started);
  return login.then(
    (v) => ({settled: 'resolved'}),
    (e) => ({settled: 'rejected', name: e.name, hresult: e.hresult})).then(
    (result) => { clearInterval(timer);
                  return Object.assign(result, {ms: Date.now() - started, ticks}); })
    .then((result) => other.then((otherMs) => Object.assign(result, {otherMs})));
})()
"""


def case_hung_client(args):
    with corvo_browser.BrowserSession(args.tools, args.extension, browser=args.browser, accounts=ACCOUNTS,
                                      client_args=["--hang"]) as session:
        server = setup_pages(session)
        open_page(session, server.url(ALLOWED, "/page.html"))
        outcome = session.call(HUNG_SCRIPT)
        value = outcome.get("value") or {}
        print("     (settled after %s ms; the page's 50 ms timer ticked %s times meanwhile)"
              % (value.get("ms"), value.get("ticks")))
        check(value.get("settled") == "rejected" and value.get("name") == "E_FAIL"
              and value.get("hresult") == E_FAIL,
              "BeginSSOLogin with a hung client rejects with E_FAIL", outcome)
        # 2000 ms send time-out + 3000 ms wait, plus starting the host.
        check(0 < value.get("ms", 0) < 9000, "it rejects within the control's bounds", value)
        # The page's thread ran its timer all along (50 ms ticks).
        check(value.get("ticks", 0) >= value.get("ms", 0) / 50 * 0.5,
              "the page kept running script while the host waited", value)
        check(value.get("otherMs", 1e9) < min(3000, value.get("ms", 0)),
              "a call made during the login is answered before it", value)

        # The host dies with a login in flight: that call rejects with
        # HostUnavailable, and the next call starts a new host.
        hosts = session.host_processes()
        check(len(hosts) == 1, "one host serves the page's calls", hosts)
        session.driver.execute(
            "window.inFlight = CorvoSSOLogin.BeginSSOLogin(0, {strKey_FullUserID: 'cnmarketweb_alice'})"
            ".then(() => 'resolved', (e) => e.name);")
        time.sleep(0.5)
        for pid in hosts:
            os.kill(pid, signal.SIGKILL)
        outcome = session.call("window.inFlight")
        check(outcome.get("value") == "HostUnavailable",
              "a call in flight when the host dies rejects with HostUnavailable", outcome)
        outcome = session.call("CorvoSSOLogin.GetSSOLoginCtrlVersion()")
        restarted = session.host_processes()
        check(outcome.get("ok") and restarted and not set(restarted) & set(hosts),
              "the next call starts a new host", [outcome, hosts, restarted])


FLOOD_SCRIPT = """
(() => {
  const calls = [];
  for (let i = 0; i < %d; ++i)
    calls.push(CorvoSSOLogin.GetSSOLoginCtrlVersion().then((v) => v, (e) => e.name));
  return Promise.all(calls).then((answers) => {
    const counts = {};
    for (const a of answers) counts[a] = (counts[a] || 0) + 1;
    return counts;
  });
})()
"""
FLOOD_CALLS = 500
HOST_THREADS = 1 + 4  # the reader and the pool's workers


def case_flood(args):
    """A page fires 500 calls at once: every one is answered, by one host
    with its fixed number of threads."""
    with corvo_browser.BrowserSession(args.tools, args.extension, browser=args.browser,
                                      accounts=ACCOUNTS) as session:
        server = setup_pages(session)
        open_page(session, server.url(ALLOWED, "/page.html"))
        with corvo_browser.UsageSampler(session) as sampler:
            outcome = session.call(FLOOD_SCRIPT % FLOOD_CALLS, timeout=60)
        print("     (peak: %(processes)d host processes, %(threads)d threads, %(rss_kib)d KiB)"
              % sampler.peak)
        check(outcome.get("value") == {"1.0.0.1": FLOOD_CALLS},
              "all %d calls fired at once are answered" % FLOOD_CALLS, outcome)
        check(sampler.peak["processes"] == 1 and 0 < sampler.peak["threads"] <= HOST_THREADS,
              "one host process with at most %d threads served them" % HOST_THREADS, sampler.peak)


def case_manifests(args):
    """Each browser's manifest holds only the keys that browser reads."""
    with open(os.path.join(args.extension, "manifest.json")) as f:
        manifest = json.load(f)
    with open(os.path.join(corvo_browser.extension_folder(args.extension, "firefox"),
                           "manifest.json")) as f:
        firefox = json.load(f)
    check("browser_specific_settings" not in manifest and
          manifest["background"] == {"service_worker": "service_worker.js"},
          "Chromium's manifest has a service worker and no Firefox settings", manifest)
    check("key" not in firefox and firefox["background"] == {"scripts": ["service_worker.js"]}
          and firefox["browser_specific_settings"]["gecko"]["id"] == FIREFOX_ADDON_ID,
          "Firefox's manifest has the add-on ID, an event page and no key", firefox)
    check(firefox["content_scripts"] == manifest["content_scripts"] and
          firefox["host_permissions"] == manifest["host_permissions"],
          "both manifests put the page API on the same hosts")
    derived = corvo_browser.extension_id_of_key(manifest["key"])
    check(derived == args.extension_id, "the manifest's key gives the extension ID %s" % args.extension_id,
          derived)
    matches = manifest["content_scripts"][0]["matches"]
    check(matches == manifest["host_permissions"] and
          all(c["matches"] == matches for c in manifest["content_scripts"]),
          "content scripts and host permissions cover the same hosts", matches)
    check(manifest["content_scripts"][0].get("world") == "MAIN" and
          manifest["content_scripts"][0].get("run_at") == "document_start" and
          manifest["content_scripts"][0].get("all_frames"),
          "the page API runs in the page's world at document_start in every frame")


CASES = {
    "allowed": case_allowed,
    "refused": case_refused,
    "host_unavailable": case_host_unavailable,
    "hung_client": case_hung_client,
    "flood": case_flood,
}
# Cases that check the built files, not a browser.
FILE_CASES = {"extension_id": case_manifests}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tools", required=True)
    parser.add_argument("--extension", required=True)
    parser.add_argument("--extension-id", required=True)
    parser.add_argument("--browser", default="chromium", choices=corvo_browser.BROWSERS)
    parser.add_argument("--case", required=True, choices=sorted(list(CASES) + list(FILE_CASES)))
    args = parser.parse_args()
    if args.case in FILE_CASES:
        FILE_CASES[args.case](args)
        return 1 if failures else 0
    if args.case in CASES:
        try:
            corvo_browser.find_browser(args.browser)
        except corvo_browser.Unavailable as e:
            print(str(e))
            return 1 if os.environ.get("CI") else 77
    # Well inside ctest's 120 s, so that the case's own cleanup always runs.
    corvo_browser.bounded_run(90)
    try:
        CASES[args.case](args)
    except Exception:
        traceback.print_exc()
        failures.append("exception")
    if failures:
        print("%d failed: %s" % (len(failures), ", ".join(failures)))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
