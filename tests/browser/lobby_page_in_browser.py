#!/usr/bin/env python3
"""lobbyd's web page in a real browser: starts a lobbyd with --http and pilots signed in, opens
the page in headless Chromium (driven over the DevTools protocol through a pipe), checks what it
shows, takes screenshots, then signs one more pilot in and checks that the page shows him
without being reloaded.

Usage: lobby_page_in_browser.py LOBBYD SCREENSHOT_DIR"""
import base64
import fcntl
import hashlib
import json
import os
import socket
import subprocess
import sys
import tempfile
import time

DEADLINE = 15.0  # seconds for anything to appear


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(what, check, deadline=DEADLINE):
    end = time.monotonic() + deadline
    while time.monotonic() < end:
        value = check()
        if value:
            return value
        time.sleep(0.1)
    raise AssertionError(f"timed out waiting for {what}")


class Pilot:
    """A pilot's connection, speaking the lobby's line protocol."""

    def __init__(self, port, name, password):
        self.sock = wait_for("lobbyd to listen", lambda: self._connect(port))
        self.buffer = b""
        digest = hashlib.md5(password.encode("cp1252")).hexdigest().upper()
        self.send(f"AUTH:{name}:{digest}")
        reply = self.read_line()
        assert reply == "AUTH_ACK:OK", f"{name} could not sign in: {reply}"

    @staticmethod
    def _connect(port):
        try:
            return socket.create_connection(("127.0.0.1", port), timeout=DEADLINE)
        except OSError:
            return None

    def send(self, line):
        self.sock.sendall(line.encode("cp1252") + b"\r\n")

    def read_line(self):
        while b"\r\n" not in self.buffer:
            chunk = self.sock.recv(4096)
            if not chunk:
                return None
            self.buffer += chunk
        line, self.buffer = self.buffer.split(b"\r\n", 1)
        return line.decode("cp1252")


class Browser:
    """Headless Chromium driven over --remote-debugging-pipe (fd 3 in, fd 4 out)."""

    def __init__(self, profile):
        to_browser_r, self.to_browser = os.pipe()
        self.from_browser, from_browser_w = os.pipe()
        # The child sees its ends as descriptors 3 and 4 (inheritable; every other one of ours
        # is closed on exec).
        def child_fds():
            # Out of the way first: either end may itself be 3 or 4.
            high_r = fcntl.fcntl(to_browser_r, fcntl.F_DUPFD, 10)
            high_w = fcntl.fcntl(from_browser_w, fcntl.F_DUPFD, 10)
            os.dup2(high_r, 3)
            os.dup2(high_w, 4)
        self.process = subprocess.Popen(
            ["chromium", "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
             "--hide-scrollbars", "--window-size=900,640", f"--user-data-dir={profile}",
             "--remote-debugging-pipe", "about:blank"],
            preexec_fn=child_fds, close_fds=False,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self.pending = b""
        self.next_id = 0
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = self.call("Target.attachToTarget",
                                 {"targetId": target, "flatten": True})["sessionId"]

    def call(self, method, params=None, session=None):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        while True:
            while b"\0" not in self.pending:
                chunk = os.read(self.from_browser, 1 << 20)
                if not chunk:
                    raise AssertionError("the browser closed its pipe")
                self.pending += chunk
            raw, self.pending = self.pending.split(b"\0", 1)
            reply = json.loads(raw)
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise AssertionError(f"{method}: {reply['error']}")
                return reply["result"]

    def page(self, method, params=None):
        return self.call(method, params, self.session)

    def evaluate(self, expression):
        result = self.page("Runtime.evaluate", {"expression": expression, "returnByValue": True})
        return result["result"].get("value")

    def screenshot(self, path):
        data = self.page("Page.captureScreenshot", {"format": "png"})["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))

    def close(self):
        self.process.kill()
        self.process.wait()


def main():
    lobbyd, shots = sys.argv[1], sys.argv[2]
    os.makedirs(shots, exist_ok=True)
    checks, failures = [], []

    def check(name, condition, detail=""):
        checks.append(name)
        print(("PASS " if condition else "FAIL ") + name + ("" if condition else f": {detail}"))
        if not condition:
            failures.append(name)

    with tempfile.TemporaryDirectory() as work:
        port, http = free_port(), free_port()
        accounts = []
        for name in ("ann", "bob", "cid", "dee"):
            accounts += ["--add-account", f"{name}:pw"]
        server = subprocess.Popen(
            [lobbyd, "--listen", f"127.0.0.1:{port}", "--http", f"127.0.0.1:{http}",
             "--db", os.path.join(work, "lobby.db")] + accounts,
            stdout=subprocess.DEVNULL, stderr=open(os.path.join(work, "lobbyd.log"), "w"))
        browser = None
        try:
            ann = Pilot(port, "ann", "pw")
            ann.send("HOSTGAME:Friday Furball:203.0.113.9:1.06:Named:1:0:1:0:0:1:0:0:0:1:all in")
            bob = Pilot(port, "bob", "pw")
            bob.send("AWAY:<i>at dinner</i>")
            dee = Pilot(port, "dee", "pw")
            dee.send("INVISIBLE:")
            browser = Browser(os.path.join(work, "profile"))
            browser.page("Page.enable")
            browser.page("Page.navigate", {"url": f"http://127.0.0.1:{http}/"})
            # Loaded whole (style sheet and pictures too), with both pilots shown.
            text = wait_for("the page to load with ann and bob", lambda: browser.evaluate(
                "document.readyState === 'complete' && document.getElementById('lobby') && "
                "document.getElementById('lobby').innerText.includes('bob (') && "
                "document.getElementById('lobby').innerText"))
            check("ann is online", "ann" in text, text)
            check("bob's away text shows as text", "bob (<i>at dinner</i>)" in text, text)
            check("ann's game is listed, up",
                  "friday furball up hosted by ann" in text.lower(), text)
            check("the invisible pilot is not shown", "dee" not in text, text)
            check("the title counts the pilots shown",
                  browser.evaluate("document.title") == "Corvane lobby: 2 online",
                  browser.evaluate("document.title"))
            check("the roster pictures load", browser.evaluate(
                "getComputedStyle(document.querySelector('.p2')).backgroundImage")
                .endswith('/pictures/roster_icons.gif")'))
            browser.screenshot(os.path.join(shots, "lobby-page.png"))

            # A mark only this page load carries: a reload would lose it.
            browser.evaluate("window.loadMark = 'still here'")
            cid = Pilot(port, "cid", "pw")
            try:
                wait_for("cid to appear without a reload", lambda: "cid" in (browser.evaluate(
                    "document.getElementById('lobby').innerText") or ""))
                appeared = True
            except AssertionError:
                appeared = False
            check("a pilot signing in appears without a reload", appeared)
            check("the page was not reloaded",
                  browser.evaluate("window.loadMark") == "still here")
            check("the title follows", browser.evaluate("document.title") ==
                  "Corvane lobby: 3 online", browser.evaluate("document.title"))
            browser.screenshot(os.path.join(shots, "lobby-page-after.png"))
            for pilot in (ann, bob, cid, dee):
                pilot.sock.close()
        finally:
            if browser:
                browser.close()
            server.terminate()
            server.wait()
    print(f"Browser: {len(checks) - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
