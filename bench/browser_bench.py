#!/usr/bin/env python3
"""browser_bench: what a page's calls cost through the extension's kept
connection, in headless Chromium and Firefox, against the reference IM
client.

For each browser, with corvo-sso-host and with echo_host (the same host loop
answering without a control: the floor), in sessions taken in turn:
  - the first call after the page opened (the host started for it),
  - warm median and p99 of GetSSOLoginCtrlVersion and BeginSSOLogin,
  - 500 calls fired at once: all answered? peak host processes, threads, memory,
  - 1,000 sequential logins: the host's memory and open descriptors after the
    first and the last hundred (corvo-sso-host only).

    browser_bench [--browser chromium|firefox] [--warm N] [--rounds N] [--extension DIR]
                  [--host PATH] [--latency-only]

--latency-only skips the 500 calls and the 1,000 logins (for an extension
that starts a host per call, which they would flood the machine with).

Times are measured in the page (performance.now(); Firefox rounds it to 1 ms). Needs chromium +
chromium-driver and/or firefox-esr; a missing browser is reported and skipped.
"""

import argparse
import os
import statistics
import sys

BUILD = "@PROJECT_BINARY_DIR@"
sys.path.insert(0, os.path.join(BUILD, "browser", "driver"))
import corvo_browser  # noqa: E402

ACCOUNTS = ["cnmarketweb_alice", "cnbizchnweb_bob"]
HOST = "login.market.example"
PAGE = "<!doctype html><title>bench</title><p>bench</p>"
METHODS = {
    "GetSSOLoginCtrlVersion": "CorvoSSOLogin.GetSSOLoginCtrlVersion()",
    "BeginSSOLogin": "CorvoSSOLogin.BeginSSOLogin(0, {strKey_FullUserID: 'cnmarketweb_alice'})",
}

# Runs `count` calls one after another; their times in ms.
TIMED = """
const done = arguments[arguments.length - 1];
const expression = arguments[0], count = arguments[1];
(async () => {
  const times = [];
  for (let i = 0; i < count; ++i) {
    const started = performance.now();
    await (0, eval)(expression);
    times.push(performance.now() - started);
  }
  return times;
})().then(done, (e) => done({error: e.name + ": " + e.message}));
"""

FLOOD = """
const done = arguments[arguments.length - 1];
const calls = [];
for (let i = 0; i < arguments[0]; ++i)
  calls.push(CorvoSSOLogin.GetSSOLoginCtrlVersion().then(() => 1, () => 0));
Promise.all(calls).then((a) => done(a.reduce((x, y) => x + y, 0)));
"""


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(p / 100.0 * (len(ordered) - 1))))]


def timed(session, expression, count):
    times = session.driver.execute_async(TIMED, [expression, count], timeout=120)
    if not isinstance(times, list):
        raise RuntimeError("%s failed: %s" % (expression, times))
    return times


def measure(browser, extension, echo, warm, load, real_host=None):
    """One session: the first call, `warm` timed calls of each method, and
    with `load` the 500 calls at once and the 1,000 logins."""
    tools = os.path.join(BUILD, "tools")
    host = os.path.join(BUILD, "bench", "echo_host") if echo else real_host
    row = {}
    with corvo_browser.BrowserSession(tools, extension, ACCOUNTS, browser=browser,
                                      host=host) as session:
        session.server.pages["/page.html"] = PAGE
        session.driver.navigate(session.server.url(HOST, "/page.html"))
        # The first call starts the host (retried while the background script
        # is still coming up, which is not the host's cost).
        for _ in range(50):
            outcome = session.call(METHODS["GetSSOLoginCtrlVersion"])
            if outcome.get("ok") or "service worker" not in (outcome.get("message") or ""):
                break
        if not outcome.get("ok"):
            raise RuntimeError("the first call failed: %s" % outcome)
        row["first"] = outcome["ms"]
        for name, expression in METHODS.items():
            timed(session, expression, 20)  # warm-up
            row[name] = timed(session, expression, warm)
        if not load:
            return row
        with corvo_browser.UsageSampler(session) as sampler:
            answered = session.driver.execute_async(FLOOD, [500], timeout=120)
        row["flood"] = (answered, sampler.peak)
        if not echo:
            usage = []
            for hundred in range(10):
                timed(session, METHODS["BeginSSOLogin"], 100)
                pids = session.host_processes()
                usage.append(corvo_browser.process_usage(pids[0]) if len(pids) == 1 else None)
            row["logins"] = (usage[0], usage[-1])
    return row


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--browser", action="append", choices=corvo_browser.BROWSERS)
    parser.add_argument("--warm", type=int, default=100)
    parser.add_argument("--rounds", type=int, default=3,
                        help="sessions with each host, taken in turn (the machine's load "
                             "then weighs on both alike)")
    parser.add_argument("--extension", default=os.path.join(BUILD, "browser", "extension"))
    parser.add_argument("--latency-only", action="store_true")
    parser.add_argument("--host", help="another build of corvo-sso-host to measure")
    args = parser.parse_args()
    corvo_browser.bounded_run(900)
    print("browser_bench: calls from a page through the extension's kept connection "
          "(ms, measured in the page)")
    failed = False
    for browser in args.browser or corvo_browser.BROWSERS:
        try:
            corvo_browser.find_browser(browser)
        except corvo_browser.Unavailable as e:
            print("%s: skipped (%s)" % (browser, e))
            continue
        rounds = {False: [], True: []}
        for n in range(args.rounds):
            for echo in (False, True):
                rounds[echo].append(measure(browser, args.extension, echo, args.warm,
                                            n == 0 and not args.latency_only, args.host))
        # The median of the sessions' medians, the p99 of all their calls.
        rows = {}
        for echo, sessions in rounds.items():
            row = dict(sessions[0])
            row["first"] = statistics.median(r["first"] for r in sessions)
            for name in METHODS:
                row[name] = (statistics.median(statistics.median(r[name]) for r in sessions),
                             percentile([t for r in sessions for t in r[name]], 99))
            rows[echo] = row
        real, floor = rows[False], rows[True]
        print("\n%s" % browser)
        print("  %-24s %10s %10s %10s" % ("", "first", "median", "p99"))
        for label, row in (("corvo-sso-host", real), ("echo floor", floor)):
            print("  %-24s %10.1f" % (label + " first call", row["first"]))
            for name in METHODS:
                print("  %-24s %10s %10.2f %10.2f" % ("  " + name, "", *row[name]))
        version = real["GetSSOLoginCtrlVersion"][0] / floor["GetSSOLoginCtrlVersion"][0]
        login = real["BeginSSOLogin"][0] - floor["BeginSSOLogin"][0]
        print("  GetSSOLoginCtrlVersion median / floor: %.2fx (goal <= 2x)" % version)
        print("  BeginSSOLogin median - floor: %+.2f ms (goal <= +1 ms)" % login)
        if args.latency_only:
            continue
        for label, row in (("corvo-sso-host", real), ("echo floor", floor)):
            answered, peak = row["flood"]
            print("  500 calls at once (%s): %d answered; peak %d host processes, %d threads, "
                  "%d KiB" % (label, answered, peak["processes"], peak["threads"],
                              peak["rss_kib"]))
            failed |= answered != 500
        first, last = real["logins"]
        if first and last:
            print("  1,000 logins: after the first hundred %d KiB, %d descriptors, %d threads; "
                  "after the last %d KiB, %d descriptors, %d threads"
                  % (first[1], first[2], first[0], last[1], last[2], last[0]))
        else:
            print("  1,000 logins: the host was not one process throughout (%s)" % (real["logins"],))
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
