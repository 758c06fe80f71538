"""Drives headless Chromium or Firefox with the Corvo SSO extension, for the
browser tests, `corvo-sso demo --browser` and the browser benchmark. Standard
library only: WebDriver over HTTP to chromedriver, Marionette to Firefox
(marionette.py), pages from a loopback HTTP server, the reference IM client as
the peer. Every process started here is stopped on every path.
"""

import base64
import hashlib
import http.server
import json
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import threading
import time
import urllib.error
import urllib.request

import marionette

BROWSERS = ("chromium", "firefox")

CHROMIUM_CANDIDATES = ["/usr/bin/chromium", "/usr/bin/chromium-browser"]
CHROMEDRIVER_CANDIDATES = ["/usr/bin/chromedriver"]


class Unavailable(Exception):
    """What to install before the browser can be driven."""


class OutOfTime(Exception):
    """The run's own time limit passed (see bounded_run)."""


def bounded_run(seconds):
    """Raises OutOfTime in the main thread after `seconds` (also on SIGTERM),
    so that a BrowserSession's `with` block stops everything it started
    before any outer time-out kills this process."""

    def stop(signum, frame):
        raise OutOfTime("stopped after %d s" % seconds if signum == signal.SIGALRM
                        else "stopped by signal %d" % signum)

    signal.signal(signal.SIGALRM, stop)
    signal.signal(signal.SIGTERM, stop)
    signal.alarm(seconds)


def find_program(env_name, candidates):
    given = os.environ.get(env_name)
    for path in ([given] if given else []) + candidates:
        if path and os.access(path, os.X_OK):
            return path
    found = shutil.which(os.path.basename(candidates[0]))
    return found


def find_browser(browser="chromium"):
    """(program, driver or None) or raises Unavailable."""
    if browser == "firefox":
        firefox = marionette.find_firefox()
        if not firefox:
            raise Unavailable("headless Firefox is not installed: apt-get install -y firefox-esr")
        return firefox, None
    chromium = find_program("CORVO_CHROMIUM", CHROMIUM_CANDIDATES)
    driver = find_program("CORVO_CHROMEDRIVER", CHROMEDRIVER_CANDIDATES)
    if not chromium or not driver:
        raise Unavailable("headless Chromium is not installed: apt-get install -y chromium chromium-driver")
    return chromium, driver


def extension_id_of_key(key_base64):
    """The ID Chromium gives an extension whose manifest holds `key`."""
    digest = hashlib.sha256(base64.b64decode(key_base64)).hexdigest()[:32]
    return "".join(chr(ord("a") + int(c, 16)) for c in digest)


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class PageServer:
    """Loopback HTTP server; `pages` maps a path to its HTML. Every host name
    reaches it (the browser maps all names to 127.0.0.1)."""

    def __init__(self):
        self.pages = {}
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                body = server.pages.get(self.path.split("?")[0])
                if body is None:
                    self.send_error(404)
                    return
                data = body.encode("utf-8")
                self.send_response(200)
                self.send_header("Content-Type", "text/html; charset=utf-8")
                self.send_header("Content-Length", str(len(data)))
                self.send_header("Cache-Control", "no-store")
                self.end_headers()
                self.wfile.write(data)

            def log_message(self, *args):
                pass

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.httpd.daemon_threads = True
        self.port = self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def url(self, host, path):
        return "http://%s:%d%s" % (host, self.port, path)

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


class WebDriver:
    """The few WebDriver commands the tests need."""

    def __init__(self, base):
        self.base = base
        self.session = None

    def _call(self, method, path, body=None, timeout=60):
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.base + path, data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=timeout) as response:
                answer = json.loads(response.read() or b"{}")
        except urllib.error.HTTPError as e:
            answer = json.loads(e.read() or b"{}")
            value = answer.get("value", {})
            raise RuntimeError("WebDriver %s %s: %s: %s" % (method, path, value.get("error"),
                                                           str(value.get("message", ""))[:500]))
        return answer.get("value")

    def start(self, capabilities, timeout=60):
        value = self._call("POST", "/session", {"capabilities": {"alwaysMatch": capabilities}},
                           timeout=timeout)
        self.session = value["sessionId"]

    def command(self, method, path, body=None, timeout=60):
        return self._call(method, "/session/%s%s" % (self.session, path), body, timeout)

    def set_script_timeout(self, ms):
        self.command("POST", "/timeouts", {"script": ms})

    def navigate(self, url):
        self.command("POST", "/url", {"url": url})

    def execute(self, script, args=()):
        return self.command("POST", "/execute/sync", {"script": script, "args": list(args)})

    def execute_async(self, script, args=(), timeout=60):
        return self.command("POST", "/execute/async", {"script": script, "args": list(args)},
                            timeout=timeout)

    def frame(self, index):
        """Switch into frame `index` of the current browsing context (None: the top)."""
        self.command("POST", "/frame", {"id": index})

    def screenshot(self):
        return base64.b64decode(self.command("GET", "/screenshot"))

    def quit(self):
        if self.session:
            try:
                self.command("DELETE", "", timeout=20)
            except Exception:
                pass
            self.session = None


# Runs an expression of the page API in the current frame; the outcome as a
# plain object: {"ok": true, "value": ...} or {"ok": false, "name", "message",
# "hresult"}; {"missing": true} when the frame has no window.CorvoSSOLogin.
CALL_SCRIPT = """
const done = arguments[arguments.length - 1];
if (typeof window.CorvoSSOLogin !== "object") { done({missing: true}); return; }
const started = Date.now();
Promise.resolve().then(() => (0, eval)(arguments[0])).then(
  (value) => done({ok: true, value: value === undefined ? "(undefined)" : value,
                   ms: Date.now() - started}),
  (e) => done({ok: false, name: e && e.name, message: e && e.message,
               hresult: e && e.hresult, isError: Object.prototype.toString.call(e) === "[object Error]", ms: Date.now() - started}));
"""


def extension_folder(build_extension_dir, browser):
    """The built extension for `browser`, given Chromium's folder
    (build/<preset>/browser/extension); Firefox's is extension-firefox beside it."""
    if browser == "chromium":
        return build_extension_dir
    return os.path.join(os.path.dirname(os.path.abspath(build_extension_dir)),
                        "extension-" + browser)


class BrowserSession:
    """Everything a browser test needs, started in order and stopped in
    reverse order on every path: a private registry with the module
    registered, the host manifest for a fresh profile (unless `install_host`
    is false), the reference IM client, the page server, and the browser
    (with chromedriver for Chromium). `extension_dir` is Chromium's folder;
    `browser` picks the one to run. `host` names another host program for
    the manifest (the benchmark's echo host)."""

    def __init__(self, tools_dir, extension_dir, accounts, client_args=(), install_host=True,
                 keep_dir=None, browser="chromium", host=None, installed=False):
        # `installed`: everything comes from the installed package instead: no
        # registration and no manifest of the user's own, no extension loaded
        # by hand, the browser started through its system launcher
        # (/usr/bin/chromium loads /usr/share/chromium/extensions/*).
        self.installed = installed
        self.browser = browser
        self.host = host
        self.firefox = None
        self.tools_dir = tools_dir
        self.extension_dir = (os.path.abspath(extension_folder(extension_dir, browser))
                              if extension_dir else None)
        self.accounts = list(accounts)
        self.client_args = list(client_args)
        self.install_host = install_host
        self.keep_dir = keep_dir
        self.work = None
        self.env = None
        self.client = None
        self.server = None
        self.driver_process = None
        self.driver = None

    def __enter__(self):
        try:
            self._start()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def tool(self, name):
        return os.path.join(self.tools_dir, name)

    def run_tool(self, *args):
        result = subprocess.run([self.tool("corvo-sso")] + list(args), env=self.env,
                                stdin=subprocess.DEVNULL, capture_output=True, text=True,
                                timeout=60)
        if result.returncode != 0:
            raise RuntimeError("corvo-sso %s failed (%d): %s%s" % (" ".join(args), result.returncode,
                                                                 result.stdout, result.stderr))
        return result.stdout

    def _start(self):
        chromium, chromedriver = find_browser(self.browser)
        self.work = tempfile.mkdtemp(prefix="corvo-browser-")
        profile = os.path.join(self.work, "profile")
        os.makedirs(profile)
        self.env = dict(os.environ)
        self.env["CORVO_REGISTRY"] = os.path.join(self.work, "registry.reg")
        self.env["CORVO_IM_DIR"] = os.path.join(self.work, "im")
        self.env["HOME"] = self.work  # nothing lands in the user's own profile
        self.env.pop("XDG_CONFIG_HOME", None)
        if not self.installed:
            self.run_tool("register")
        if self.install_host and not self.installed:
            where = (["--browser", "firefox"] if self.browser == "firefox"
                     else ["--browser", "chromium", "--user-data-dir", profile])
            self.run_tool("browser", "install", *where,
                          *(["--host", self.host] if self.host else []))

        ready = os.path.join(self.work, "client.ready")
        args = [self.tool("corvo-imclient"), "--ready-file", ready] + self.client_args
        for account in self.accounts:
            args += ["--account", account]
        self.client = subprocess.Popen(args, env=self.env, stdin=subprocess.DEVNULL,
                                       stdout=subprocess.DEVNULL)
        deadline = time.monotonic() + 15
        while not os.path.exists(ready):
            if self.client.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("the reference IM client did not come up")
            time.sleep(0.02)

        self.server = PageServer()

        if self.browser == "firefox":
            # Firefox reads the host manifest from $HOME/.mozilla (HOME is the
            # scratch folder) and gets every host name resolved to loopback.
            self.firefox = marionette.start_firefox(profile, self.work, self.env, firefox=chromium,
                                                    log=self.browser_log_path())
            self.driver = self.firefox.client
            if not self.installed:
                self.driver.install_addon(self.extension_dir)
            self.driver.set_script_timeout(30000)
            return

        port = free_port()
        self.driver_process = subprocess.Popen(
            [chromedriver, "--port=%d" % port, "--allowed-ips=127.0.0.1"], env=self.env,
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True)
        self.driver = WebDriver("http://127.0.0.1:%d" % port)
        deadline = time.monotonic() + 20
        while True:
            try:
                if self.driver._call("GET", "/status", timeout=2).get("ready"):
                    break
            except Exception:
                pass
            if self.driver_process.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("chromedriver did not start")
            time.sleep(0.05)

        browser_args = [
            "--headless=new", "--disable-gpu", "--disable-quic", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--disable-dev-shm-usage", "--window-size=900,700",
            "--user-data-dir=" + profile,
            "--host-resolver-rules=MAP * 127.0.0.1",
        ]
        if not self.installed:
            browser_args += ["--load-extension=" + self.extension_dir,
                             "--disable-extensions-except=" + self.extension_dir]
        if os.geteuid() == 0 or os.environ.get("CORVO_CHROMIUM_NO_SANDBOX"):
            browser_args.append("--no-sandbox")
        options = {"args": browser_args, "excludeSwitches": ["disable-extensions"]}
        if os.environ.get("CORVO_CHROMIUM") or self.installed:
            options["binary"] = chromium
        self.driver.start({"browserName": "chrome", "goog:chromeOptions": options})
        self.driver.set_script_timeout(30000)

    def browser_log_path(self):
        return os.path.join(self.work, "browser.log")

    def browser_log(self):
        """What the browser wrote to its standard output and error (Firefox)."""
        try:
            with open(self.browser_log_path(), errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    def wait_for_api(self, timeout=10):
        """Waits until the extension's service worker answers in this frame."""
        deadline = time.monotonic() + timeout
        while True:
            outcome = self.call("CorvoSSOLogin.GetSSOLoginCtrlVersion()")
            if not (outcome.get("ok") is False and outcome.get("name") == "HostUnavailable"
                    and "service worker" in (outcome.get("message") or "")):
                return outcome
            if time.monotonic() > deadline:
                return outcome
            time.sleep(0.2)

    def call(self, expression, timeout=30):
        """Runs a page API expression (a Promise) in the current frame."""
        return self.driver.execute_async(CALL_SCRIPT, [expression], timeout=timeout + 10)

    def close(self):
        if self.firefox:
            self.firefox.close()
            self.firefox = None
            self.driver = None
        if self.driver:
            self.driver.quit()
            self.driver = None
        if self.driver_process:
            self._stop_group(self.driver_process)
            self.driver_process = None
        if self.server:
            self.server.close()
            self.server = None
        if self.client:
            if self.client.poll() is None:
                self.client.send_signal(signal.SIGTERM)
                try:
                    self.client.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    self.client.kill()
                    self.client.wait()
            self.client = None
        if self.work:
            if self.keep_dir is None:
                shutil.rmtree(self.work, ignore_errors=True)
            self.work = None

    @staticmethod
    def _stop_group(process):
        """Stops chromedriver and whatever it started (its own process group)."""
        marionette.stop_group(process)

    def host_processes(self):
        """The PIDs of the hosts this session's browser started (by their
        program's name and the private registry in their environment)."""
        marker = ("CORVO_REGISTRY=" + self.env["CORVO_REGISTRY"]).encode()
        name = os.path.basename(self.host or "corvo-sso-host").encode()
        found = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open("/proc/%s/cmdline" % entry, "rb") as f:
                    if os.path.basename(f.read().split(b"\0")[0]) != name:
                        continue
                with open("/proc/%s/environ" % entry, "rb") as f:
                    if marker not in f.read().split(b"\0"):
                        continue
            except OSError:
                continue
            found.append(int(entry))
        return found


def process_usage(pid):
    """(threads, resident KiB, open descriptors) of a process, or None once it is gone."""
    try:
        with open("/proc/%d/status" % pid) as f:
            fields = dict(line.split(":", 1) for line in f if ":" in line)
        descriptors = len(os.listdir("/proc/%d/fd" % pid))
        return (int(fields["Threads"]), int(fields["VmRSS"].split()[0]), descriptors)
    except (OSError, KeyError, ValueError):
        return None


class UsageSampler:
    """Samples the session's host processes every 10 ms in a thread; keeps
    the peak count of processes, threads (all hosts) and resident memory."""

    def __init__(self, session):
        self.session = session
        self.peak = {"processes": 0, "threads": 0, "rss_kib": 0}
        self.stop = threading.Event()
        self.thread = threading.Thread(target=self._run, daemon=True)

    def _run(self):
        while not self.stop.is_set():
            pids = self.session.host_processes()
            usage = [u for u in map(process_usage, pids) if u]
            self.peak["processes"] = max(self.peak["processes"], len(pids))
            self.peak["threads"] = max(self.peak["threads"], sum(u[0] for u in usage))
            self.peak["rss_kib"] = max(self.peak["rss_kib"], sum(u[1] for u in usage))
            self.stop.wait(0.01)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.stop.set()
        self.thread.join()
