"""Drives headless Chromium with the Corvo SSO extension, for the browser
tests and `corvo-sso demo --browser`. Standard library only: WebDriver over
HTTP to chromedriver, pages from a loopback HTTP server, the reference IM
client as the peer. Every process started here is stopped on every path.
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


def find_browser():
    """(chromium, chromedriver) or raises Unavailable."""
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
               hresult: e && e.hresult, isError: e instanceof Error, ms: Date.now() - started}));
"""


class BrowserSession:
    """Everything a browser test needs, started in order and stopped in
    reverse order on every path: a private registry with the module
    registered, the host manifest in a fresh Chromium profile (unless
    `install_host` is false), the reference IM client, the page server,
    chromedriver and the browser."""

    def __init__(self, tools_dir, extension_dir, accounts, client_args=(), install_host=True,
                 keep_dir=None, installed=False):
        # `installed`: everything comes from the installed package instead: no
        # registration and no manifest of the user's own, no extension loaded
        # by hand, the browser started through its system launcher
        # (/usr/bin/chromium loads /usr/share/chromium/extensions/*).
        self.installed = installed
        self.tools_dir = tools_dir
        self.extension_dir = os.path.abspath(extension_dir) if extension_dir else None
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
        chromium, chromedriver = find_browser()
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
            self.run_tool("browser", "install", "--browser", "chromium", "--user-data-dir", profile)

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
        """Stops chromedriver and whatever it started (its own process group):
        SIGTERM first, then SIGKILL for what is left, waiting after each."""
        for sig in (signal.SIGTERM, signal.SIGKILL):
            try:
                os.killpg(process.pid, sig)
            except ProcessLookupError:
                pass
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
