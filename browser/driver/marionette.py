"""Headless Firefox driven over Marionette, with Python's standard library
only (no geckodriver). Used by the browser tests, `corvo-sso demo --browser
firefox` and the browser benchmark.

    firefox = start_firefox(profile_dir, home_dir, env)   # a FirefoxProcess
    client = firefox.client                               # a Marionette session
    client.install_addon("/abs/extension")                # temporary add-on
    client.navigate(url); client.execute_async(script, [args])
    firefox.close()                                       # always; also on errors

Firefox runs with MOZ_DISABLE_NONLOCAL_CONNECTIONS=1 (otherwise it contacts
hosts off the machine), a scratch HOME (it writes there even with -profile)
and every host name resolved to 127.0.0.1.
"""

import base64
import json
import os
import shutil
import signal
import socket
import subprocess
import time

FIREFOX_CANDIDATES = ["/usr/bin/firefox-esr", "/usr/bin/firefox"]

# Written to the profile's user.js: a free Marionette port (Firefox writes it
# to MarionetteActivePort), every name to loopback, nothing started that
# would look for the network.
BASE_PREFS = {
    "marionette.port": 0,
    "network.dns.forceResolve": "127.0.0.1",
    "network.proxy.type": 0,
    "browser.shell.checkDefaultBrowser": False,
    "browser.startup.homepage_override.mstone": "ignore",
    "browser.aboutwelcome.enabled": False,
    "datareporting.policy.dataSubmissionEnabled": False,
    "datareporting.healthreport.uploadEnabled": False,
    "toolkit.telemetry.reportingpolicy.firstRun": False,
    "app.update.disabledForTesting": True,
    "extensions.update.enabled": False,
    "extensions.getAddons.cache.enabled": False,
    "browser.safebrowsing.malware.enabled": False,
    "browser.safebrowsing.phishing.enabled": False,
}


class MarionetteError(RuntimeError):
    pass


def find_firefox():
    """The Firefox program, or None."""
    given = os.environ.get("CORVO_FIREFOX")
    for path in ([given] if given else []) + FIREFOX_CANDIDATES:
        if path and os.access(path, os.X_OK):
            return path
    return shutil.which("firefox-esr") or shutil.which("firefox")


class Marionette:
    """One Marionette connection: packets are `LENGTH:JSON`; a command is
    [0, id, name, params], its answer [1, id, error, result]. The methods
    below mirror the WebDriver client of corvo_browser.py."""

    def __init__(self, port, timeout=30):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=timeout)
        self.buffer = b""
        self.next_id = 0
        greeting = self._receive(timeout)
        if greeting.get("applicationType") != "gecko":
            raise MarionetteError("not a Marionette server: %r" % greeting)

    def _receive(self, timeout):
        self.sock.settimeout(timeout)
        while True:
            colon = self.buffer.find(b":")
            if colon > 0:
                length = int(self.buffer[:colon])
                if len(self.buffer) >= colon + 1 + length:
                    body = self.buffer[colon + 1:colon + 1 + length]
                    self.buffer = self.buffer[colon + 1 + length:]
                    return json.loads(body)
            chunk = self.sock.recv(65536)
            if not chunk:
                raise MarionetteError("Firefox closed the Marionette connection")
            self.buffer += chunk

    def command(self, name, params=None, timeout=60):
        self.next_id += 1
        data = json.dumps([0, self.next_id, name, params or {}]).encode()
        self.sock.sendall(b"%d:%s" % (len(data), data))
        while True:
            answer = self._receive(timeout)
            if answer[0] == 1 and answer[1] == self.next_id:
                break
        error, result = answer[2], answer[3]
        if error:
            raise MarionetteError("%s: %s: %s" % (name, error.get("error"),
                                                  str(error.get("message", ""))[:500]))
        return result

    def _value(self, name, params=None, timeout=60):
        result = self.command(name, params, timeout)
        return result.get("value") if isinstance(result, dict) else result

    def start(self, capabilities=None, timeout=60):
        self.command("WebDriver:NewSession", {"capabilities": capabilities or {}}, timeout)

    def install_addon(self, path, temporary=True):
        """Installs an unpacked add-on folder (or .xpi) by its absolute path."""
        return self._value("Addon:Install", {"path": os.path.abspath(path),
                                             "temporary": temporary})

    def addon_warnings(self, addon_id):
        """The warnings Firefox gave when it loaded the add-on's manifest
        (such as "Reading manifest: Warning processing key: An unexpected
        property was found..."); needs Firefox started with system access."""
        self.command("Marionette:SetContext", {"value": "chrome"})
        try:
            return self.execute("const p = WebExtensionPolicy.getByID(arguments[0]);"
                                "return p ? p.extension.warnings : null;", [addon_id])
        finally:
            self.command("Marionette:SetContext", {"value": "content"})

    def set_script_timeout(self, ms):
        self.command("WebDriver:SetTimeouts", {"script": ms})

    def navigate(self, url):
        self.command("WebDriver:Navigate", {"url": url})

    def execute(self, script, args=()):
        return self._value("WebDriver:ExecuteScript", {"script": script, "args": list(args)})

    def execute_async(self, script, args=(), timeout=60):
        return self._value("WebDriver:ExecuteAsyncScript",
                           {"script": script, "args": list(args)}, timeout)

    def frame(self, index):
        """Into frame `index` of the current browsing context (None: the top)."""
        if index is None:
            self.command("WebDriver:SwitchToFrame", {})
        else:
            self.command("WebDriver:SwitchToFrame", {"id": index})

    def screenshot(self):
        return base64.b64decode(self._value("WebDriver:TakeScreenshot", {"full": False}))

    def quit(self):
        try:
            self.command("Marionette:Quit", {"flags": ["eForceQuit"]}, timeout=20)
        except (OSError, MarionetteError):
            pass
        self.sock.close()


class FirefoxProcess:
    """A headless Firefox in its own process group and its Marionette client."""

    def __init__(self, process, client):
        self.process = process
        self.client = client

    def close(self):
        if self.client:
            self.client.quit()
            self.client = None
        if self.process:
            stop_group(self.process)
            self.process = None


def stop_group(process, grace=10):
    """SIGTERM to the process group, then SIGKILL for what is left."""
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.killpg(process.pid, sig)
        except ProcessLookupError:
            pass
        try:
            process.wait(timeout=grace)
            if sig == signal.SIGTERM:
                os.killpg(process.pid, signal.SIGKILL)  # children the browser left behind
        except (subprocess.TimeoutExpired, ProcessLookupError):
            pass


def start_firefox(profile, home, env=None, prefs=None, firefox=None, timeout=40, log=None,
                  system_access=True):
    """Starts headless Firefox on the profile folder `profile` (created if
    missing) with HOME=`home` and the environment `env` (default: this
    process's), `prefs` added to BASE_PREFS; its output goes to the file
    `log` (default: nowhere). `system_access` lets the client run scripts in
    the browser's own context (Marionette.addon_warnings). Returns a FirefoxProcess whose client has a
    session. Raises MarionetteError (after stopping Firefox) when it does not
    come up within `timeout` seconds."""
    firefox = firefox or find_firefox()
    if not firefox:
        raise MarionetteError("Firefox is not installed: apt-get install -y firefox-esr")
    os.makedirs(profile, exist_ok=True)
    os.makedirs(home, exist_ok=True)
    all_prefs = dict(BASE_PREFS, **(prefs or {}))
    with open(os.path.join(profile, "user.js"), "w") as f:
        for name, value in all_prefs.items():
            f.write("user_pref(%s, %s);\n" % (json.dumps(name), json.dumps(value)))
    port_file = os.path.join(profile, "MarionetteActivePort")
    if os.path.exists(port_file):
        os.remove(port_file)
    run_env = dict(os.environ if env is None else env)
    run_env.update({"HOME": home, "MOZ_HEADLESS": "1", "MOZ_DISABLE_NONLOCAL_CONNECTIONS": "1",
                    "MOZ_CRASHREPORTER_DISABLE": "1"})
    output = open(log, "ab") if log else subprocess.DEVNULL
    try:
        process = subprocess.Popen(
            [firefox, "--headless", "--marionette", "--no-remote", "-profile", profile]
            + (["-remote-allow-system-access"] if system_access else []),
            env=run_env, stdin=subprocess.DEVNULL, stdout=output, stderr=output,
            start_new_session=True)
    finally:
        if log:
            output.close()
    firefox_process = FirefoxProcess(process, None)
    try:
        deadline = time.monotonic() + timeout
        while True:
            port = None
            try:
                with open(port_file) as f:
                    port = int(f.read().strip() or 0)
            except (OSError, ValueError):
                pass
            if port:
                try:
                    firefox_process.client = Marionette(port, timeout=timeout)
                    break
                except OSError:
                    pass
            if process.poll() is not None:
                raise MarionetteError("Firefox exited (%d) before Marionette was up"
                                      % process.returncode)
            if time.monotonic() > deadline:
                raise MarionetteError("Firefox's Marionette did not come up in %d s" % timeout)
            time.sleep(0.1)
        firefox_process.client.start(timeout=timeout)
    except BaseException:
        firefox_process.close()
        raise
    return firefox_process
