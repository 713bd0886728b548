"""The acceptance suite's world: a real X server (Xvfb) with a window manager (openbox) and an
XEmbed notification area (trayer), the simulated keyboard (orvane-simkbd over FUSE), and the
program itself, each a real process that the suite starts and ends by its own id.

Everything waits by polling (xdotool, xwininfo, the program's report lines), never by long
fixed sleeps; every wait has a deadline and fails with what it was waiting for.
"""

import os
import re
import shutil
import signal
import socket
import struct
import subprocess
import tempfile
import threading
import time

TOOLS = ["Xvfb", "openbox", "trayer", "xdotool", "xwininfo", "xprop", "import"]


class Missing(Exception):
    """Something the suite needs is not on this machine (a tool, FUSE)."""


def wait_for(what, check, timeout=10.0, interval=0.05):
    """Polls check() until it returns something true; returns that, or fails after timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = check()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(interval)


def stays(what, check, duration=0.8, interval=0.05):
    """Fails if check() becomes true within duration (something that must not happen)."""
    deadline = time.monotonic() + duration
    while time.monotonic() < deadline:
        if check():
            raise AssertionError("unexpectedly: " + what)
        time.sleep(interval)


def end_process(proc, timeout=5.0):
    """SIGTERM, then SIGKILL, to one process the suite started; returns its exit status."""
    if proc is None or proc.poll() is not None:
        return None if proc is None else proc.returncode
    proc.send_signal(signal.SIGTERM)
    try:
        return proc.wait(timeout)
    except subprocess.TimeoutExpired:
        proc.kill()
        return proc.wait(timeout)


def missing_tools():
    return [t for t in TOOLS if shutil.which(t) is None]


def fuse_problem():
    """None when orvane-simkbd can mount here, otherwise why not."""
    try:
        fd = os.open("/dev/fuse", os.O_RDWR)
        os.close(fd)
    except OSError as e:
        return "/dev/fuse cannot be opened: %s" % e.strerror
    if os.geteuid() != 0 and shutil.which("fusermount3") is None:
        return "not root and no fusermount3"
    return None


class Desktop:
    """Xvfb + openbox + trayer on a display of their own."""

    WIDTH, HEIGHT = 1600, 1000

    def __init__(self):
        self.procs = []
        self.display = None
        self.runtime = tempfile.mkdtemp(prefix="orvane-acc-x-")
        os.chmod(self.runtime, 0o700)

    def env(self):
        env = dict(os.environ)
        env.update(DISPLAY=self.display, XDG_RUNTIME_DIR=self.runtime)
        env.pop("WAYLAND_DISPLAY", None)
        return env

    def start(self):
        # Xvfb picks a free display itself and writes its number to the pipe.
        read_end, write_end = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                                 "%dx%dx24" % (self.WIDTH, self.HEIGHT), "-nolisten", "tcp", "-noreset"],
                                pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        self.procs.append(xvfb)
        number = b""
        deadline = time.monotonic() + 15
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        if not number.strip():
            raise AssertionError("Xvfb did not start")
        self.display = ":" + number.decode().strip()
        wait_for("the X server", lambda: self.run(["xwininfo", "-root"], check=False).returncode == 0)
        self.procs.append(subprocess.Popen(["openbox", "--sm-disable"], env=self.env(),
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        wait_for("the window manager", lambda: "window id #" in self.run(
            ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], check=False).stdout)
        # The notification area is there once trayer's panel window is mapped. trayer sometimes
        # dies when it starts while the window manager is still settling in: start it again.
        for attempt in range(3):
            self.log = tempfile.TemporaryFile(mode="w+")
            trayer = subprocess.Popen(
                ["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "pixel", "--width", "240",
                 "--height", "32", "--SetDockType", "true", "--transparent", "false"],
                env=self.env(), stdout=subprocess.DEVNULL, stderr=self.log)
            self.procs.append(trayer)
            try:
                wait_for("the notification area", lambda: trayer.poll() is not None
                         or self.visible_windows(name="^panel$"), timeout=15)
            except AssertionError:
                pass
            if trayer.poll() is None and self.visible_windows(name="^panel$"):
                break
            end_process(trayer)
            self.procs.remove(trayer)
            self.log.seek(0)
            why = self.log.read().strip()
            if attempt == 2:
                raise AssertionError("trayer did not start: " + why)
        return self

    def stop(self):
        for proc in reversed(self.procs):
            end_process(proc)
        self.procs = []
        shutil.rmtree(self.runtime, ignore_errors=True)

    def run(self, args, check=True, timeout=20, **kw):
        return subprocess.run(args, env=self.env(), capture_output=True, text=True, check=check,
                              timeout=timeout, **kw)

    # ---- windows
    def visible_windows(self, name=None, cls=None):
        args = ["xdotool", "search", "--onlyvisible"]
        if name is not None:
            args += ["--name", name]
        if cls is not None:
            args += ["--class", cls]
        out = self.run(args, check=False).stdout
        return [int(w) for w in out.split()]

    def window_name(self, window):
        return self.run(["xdotool", "getwindowname", str(window)], check=False).stdout.rstrip("\n")

    def window_named(self, caption, cls="orvane"):
        """Visible windows of the class whose caption is exactly caption (xdotool's own name
        search does not match every non-ASCII caption)."""
        return [w for w in self.visible_windows(cls=cls) if self.window_name(w) == caption]

    def geometry(self, window):
        out = self.run(["xdotool", "getwindowgeometry", "--shell", str(window)]).stdout
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def tree(self):
        """Every window of the screen: (id, name, class, width, height, absolute x, absolute y)."""
        out = self.run(["xwininfo", "-root", "-tree"]).stdout
        rows = []
        pattern = re.compile(r'^\s*(0x[0-9a-f]+) (?:"(.*)"|\(has no name\)): \((?:"([^"]*)" "([^"]*)")?\)'
                             r'\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+)')
        for line in out.splitlines():
            m = pattern.match(line)
            if m:
                rows.append((int(m.group(1), 16), m.group(2) or "", m.group(4) or "", int(m.group(5)),
                             int(m.group(6)), int(m.group(7)), int(m.group(8))))
        return rows

    def tray_icons(self, cls):
        """Icon windows of the class docked in the notification area (small, at the bottom)."""
        return [r for r in self.tree()
                if r[2].lower() == cls.lower() and r[3] <= 64 and r[4] <= 64 and r[6] >= self.HEIGHT - 40]

    # ---- input
    def click(self, x, y, button=1, repeat=1):
        args = ["xdotool", "mousemove", "--sync", str(x), str(y), "click"]
        if repeat > 1:
            args += ["--repeat", str(repeat), "--delay", "80"]
        self.run(args + [str(button)])

    def click_in(self, window, rect, button=1):
        """Clicks the middle of rect (x, y, w, h, relative to the window's origin)."""
        wx, wy, _, _ = self.geometry(window)
        self.click(wx + rect[0] + rect[2] // 2, wy + rect[1] + rect[3] // 2, button)

    def key(self, *keys, window=None, delay_ms=40):
        """Types keys into window (activated first) or into whatever has the focus."""
        if window is not None:
            self.activate(window)
        self.run(["xdotool", "key", "--delay", str(delay_ms)] + list(keys))

    def type_text(self, text):
        self.run(["xdotool", "type", "--delay", "30", text])

    def activate(self, window):
        self.run(["xdotool", "windowactivate", "--sync", str(window)], check=False)

    # ---- pictures
    def screenshot(self, path, window=None):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        target = "root" if window is None else str(window)
        self.run(["import", "-display", self.display, "-window", target, path])
        return path

    def pixels(self, x, y, w, h):
        """The screen's pixels in the rectangle as (r, g, b) tuples."""
        with tempfile.NamedTemporaryFile(suffix=".rgb") as f:
            self.run(["import", "-display", self.display, "-window", "root", "-crop",
                      "%dx%d+%d+%d" % (w, h, x, y), "-depth", "8", "rgb:" + f.name])
            with open(f.name, "rb") as raw:
                data = raw.read()
        return [tuple(data[i:i + 3]) for i in range(0, len(data) - 2, 3)]


class Keyboard:
    """orvane-simkbd serving the keyboard's hidraw nodes from a folder of its own."""

    # The memory file's layout (docs/simkbd.md).
    SETTINGS, DEFAULT_BLOCK, KEY_BLOCKS, LIGHTING, COLOUR_PAGES, BOOT, MACROS = 0, 48, 426, 1560, 1686, 2454, 2455
    KEY_BLOCK_SIZE, LIGHTING_SIZE, PAGE_SIZE = 378, 42, 256

    def __init__(self, simkbd, cli):
        self.simkbd, self.cli = simkbd, cli
        self.folder = tempfile.mkdtemp(prefix="orvane-acc-kbd-")
        self.proc = None

    def start(self, *extra):
        self.log = tempfile.TemporaryFile(mode="w+")
        self.proc = subprocess.Popen([self.simkbd, self.folder] + list(extra), stdout=subprocess.DEVNULL,
                                     stderr=self.log, text=True)
        wait_for("orvane-simkbd's control socket",
                 lambda: self.proc.poll() is not None or os.path.exists(self.control_path()), timeout=15)
        if self.proc.poll() is not None:
            self.log.seek(0)
            raise AssertionError("orvane-simkbd ended: " + self.log.read())
        wait_for("orvane-simkbd to answer", lambda: self.control("status").startswith("ok"))
        return self

    def control_path(self):
        return os.path.join(self.folder, "control")

    def control(self, line):
        try:
            with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
                s.settimeout(5)
                s.connect(self.control_path())
                s.sendall((line + "\n").encode())
                answer = b""
                while not answer.endswith(b"\n"):
                    chunk = s.recv(4096)
                    if not chunk:
                        break
                    answer += chunk
                return answer.decode().strip()
        except OSError:
            return ""

    def memory(self):
        """The keyboard's whole memory, as its memory file holds it."""
        path = os.path.join(self.folder, "dump.bin")
        answer = self.control("dump " + path)
        if not answer.startswith("ok"):
            raise AssertionError("dump failed: " + answer)
        with open(path, "rb") as f:
            data = f.read()
        os.remove(path)
        return data

    def key_block(self, memory, profile):
        at = self.KEY_BLOCKS + profile * self.KEY_BLOCK_SIZE
        return memory[at:at + self.KEY_BLOCK_SIZE]

    def lighting_record(self, memory, profile):
        at = self.LIGHTING + profile * self.LIGHTING_SIZE
        return memory[at:at + self.LIGHTING_SIZE]

    def colour_page(self, memory, profile):
        at = self.COLOUR_PAGES + profile * self.PAGE_SIZE
        return memory[at:at + self.PAGE_SIZE]

    def cli_run(self, *args):
        return subprocess.run([self.cli, "--hid-root", self.folder] + list(args), capture_output=True,
                              text=True, timeout=30)

    def stop(self):
        if self.proc is not None and self.proc.poll() is None:
            self.control("quit")
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                end_process(self.proc)
                subprocess.run(["fusermount3", "-u", "-z", self.folder], capture_output=True)
        self.proc = None
        self.log.close()
        shutil.rmtree(self.folder, ignore_errors=True)


class Program:
    """One run of orvane with a home of its own: its settings, runtime folder and language."""

    def __init__(self, desktop, exe, language, home, missing_log):
        self.desktop, self.exe, self.language = desktop, exe, language
        self.home = home
        self.missing_log = missing_log
        self.runtime = os.path.join(home, "runtime")
        os.makedirs(self.runtime, mode=0o700, exist_ok=True)
        self.proc = None
        self.lines = []
        self._lock = threading.Lock()
        self._reader = None

    def env(self):
        env = self.desktop.env()
        for name in ["LC_ALL", "LC_MESSAGES", "LANGUAGE", "ORVANE_PROMPT_AUTOANSWER_MS", "ORVANE_PROGRAM_DIR"]:
            env.pop(name, None)
        env.update(HOME=self.home, XDG_RUNTIME_DIR=self.runtime,
                   XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                   XDG_DATA_HOME=os.path.join(self.home, ".local", "share"),
                   LANG="ru_RU.UTF-8" if self.language == "ru" else "en_US.UTF-8",
                   QT_QPA_PLATFORM="xcb", ORVANE_REPORT_TRAY="1", ORVANE_MISSING_TEXT_LOG=self.missing_log)
        return env

    def start(self, *args):
        self.proc = subprocess.Popen([self.exe] + list(args), env=self.env(), stdout=subprocess.DEVNULL,
                                     stderr=subprocess.PIPE, text=True)
        self._reader = threading.Thread(target=self._read, args=(self.proc,), daemon=True)
        self._reader.start()
        return self

    def _read(self, proc):
        for line in proc.stderr:
            with self._lock:
                self.lines.append(line.rstrip("\n"))

    def report(self):
        with self._lock:
            return list(self.lines)

    def saw(self, text, start=0):
        return any(text == line or line.endswith(": " + text) for line in self.report()[start:])

    def wait_line(self, text, start=0, timeout=10):
        return wait_for("'%s' from the program (it said: %s)" % (text, self.report()[-5:]),
                        lambda: self.saw(text, start) or self._ended(), timeout) and self._alive_or_fail(text)

    def _ended(self):
        return self.proc.poll() is not None

    def _alive_or_fail(self, text):
        if self.proc.poll() is not None and not self.saw(text):
            raise AssertionError("the program ended (%s) before '%s': %s" % (self.proc.returncode, text,
                                                                           self.report()[-10:]))
        return True

    def tray_icon_shown(self):
        """The last icon resource the program reported for its tray icon."""
        shown = [line.rsplit(" ", 1)[1] for line in self.report() if "tray icon " in line]
        return int(shown[-1]) if shown else None

    def run_again(self, *args, timeout=15):
        """Another start of the program, as a user would type it; returns its exit status."""
        done = subprocess.run([self.exe] + list(args), env=self.env(), capture_output=True, text=True,
                              timeout=timeout)
        return done.returncode, done.stderr

    def wait_exit(self, timeout=10):
        return self.proc.wait(timeout)

    def stop(self):
        status = end_process(self.proc)
        if self._reader is not None:
            self._reader.join(2)
        if self.proc is not None and self.proc.stderr is not None:
            self.proc.stderr.close()
        return status


def read_ini(path):
    """A Windows-style INI file as {section: {key: value}}; keys keep their case."""
    sections, current = {}, None
    with open(path, encoding="utf-8-sig") as f:
        for raw in f:
            line = raw.strip()
            if not line or line.startswith(";"):
                continue
            if line.startswith("[") and line.endswith("]"):
                current = sections.setdefault(line[1:-1], {})
            elif "=" in line and current is not None:
                k, v = line.split("=", 1)
                current[k.strip()] = v.strip()
    return sections


def rect(text):
    x, y, w, h = (int(v) for v in text.split(","))
    return x, y, w, h


def unpack_u16(data, at):
    return struct.unpack_from("<H", data, at)[0]
