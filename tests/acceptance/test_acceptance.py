"""Acceptance: the program as a user meets it, on a real X server with a window manager and a
notification area, against orvane-simkbd found through --hid-root exactly as a real keyboard is.
Every scenario runs in English and in Russian; every screen it passes through is saved under
ORVANE_ACCEPTANCE_OUT/<language>/, and every language key the program looks up and does not find
fails the scenario (the program lists them in ORVANE_MISSING_TEXT_LOG's file).

Environment: ORVANE_ACCEPTANCE_BIN (the build's bin folder), ORVANE_ACCEPTANCE_OUT (where the
pictures go), ORVANE_REQUIRE_FUSE=1 (a missing FUSE or X tool fails instead of skipping).
"""

import os
import shutil
import tempfile
import unittest

import desktop as dt
from scenario_keys import KeyScenarios
from scenario_panels import PanelScenarios

BIN = os.environ.get("ORVANE_ACCEPTANCE_BIN", "")
OUT = os.environ.get("ORVANE_ACCEPTANCE_OUT", os.path.join(tempfile.gettempdir(), "orvane-acceptance"))
REQUIRED = os.environ.get("ORVANE_REQUIRE_FUSE") == "1"

DESKTOP = None
SKIP_WHY = None


def setUpModule():
    global DESKTOP, SKIP_WHY
    problems = []
    tools = dt.missing_tools()
    if tools:
        problems.append("missing tools: " + ", ".join(tools))
    fuse = dt.fuse_problem()
    if fuse:
        problems.append(fuse)
    for exe in ("orvane", "orvane-cli", "orvane-simkbd"):
        if not os.access(os.path.join(BIN, exe), os.X_OK):
            problems.append("no %s in %r" % (exe, BIN))
    if problems:
        SKIP_WHY = "; ".join(problems)
        if REQUIRED:
            raise AssertionError("the acceptance suite needs: " + SKIP_WHY)
        return
    DESKTOP = dt.Desktop().start()


def tearDownModule():
    if DESKTOP is not None:
        DESKTOP.stop()


class Scenarios(KeyScenarios, PanelScenarios):
    """The scenarios, once per language (the subclasses below)."""

    language = "en"

    def setUp(self):
        if DESKTOP is None:
            self.skipTest(SKIP_WHY)
        self.desktop = DESKTOP
        self.texts = dt.read_ini(os.path.join(BIN, "Lang0419.ini" if self.language == "ru" else "Lang0409.ini"))
        self.main_layout = dt.read_ini(os.path.join(BIN, "Skins", "Main.ini"))
        self.home = tempfile.mkdtemp(prefix="orvane-acc-home-")
        self.missing_log = os.path.join(self.home, "missing-texts.txt")
        self.keyboard = dt.Keyboard(os.path.join(BIN, "orvane-simkbd"), os.path.join(BIN, "orvane-cli")).start()
        self.program = dt.Program(self.desktop, os.path.join(BIN, "orvane"), self.language, self.home,
                                  self.missing_log)

    def tearDown(self):
        program = getattr(self, "program", None)
        if program is None:
            return
        program.stop()
        self.keyboard.stop()
        missing = open(self.missing_log, encoding="utf-8").read() if os.path.exists(self.missing_log) else ""
        shutil.rmtree(self.home, ignore_errors=True)
        self.assertEqual(missing, "", "language keys the program looked up and did not find")

    # ---- helpers
    def text(self, key, section="TEXT"):
        return self.texts[section][key].strip('"')

    def control(self, key):
        return dt.rect(self.main_layout["BUTTONINFO"][key])

    def shot(self, name, window=None):
        return self.desktop.screenshot(os.path.join(OUT, self.language, name + ".png"), window)

    def main_windows(self):
        return self.desktop.window_named(self.text("MAIN_CAPTION"))

    def main_window(self, timeout=10):
        return dt.wait_for("the main window", lambda: self.main_windows(), timeout)[0]

    def wait_hidden(self, what="the main window to hide"):
        dt.wait_for(what, lambda: not self.main_windows())

    def tray_icon(self):
        return dt.wait_for("the program's icon in the notification area",
                           lambda: self.desktop.tray_icons("orvane"))[0]

    def icon_state(self):
        """What the tray icon shows, read from its pixels: 141 with the green dot of a present
        keyboard, 142 with the amber dot, 128 with neither."""
        icon = self.tray_icon()
        pixels = self.desktop.pixels(icon[5], icon[6], icon[3], icon[4])
        green = sum(1 for r, g, b in pixels if g > 150 and r < 120 and b < 160)
        amber = sum(1 for r, g, b in pixels if r > 200 and 120 < g < 200 and b < 90)
        return 141 if green >= 4 else 142 if amber >= 4 else 128

    def click_icon(self, button=1):
        icon = self.tray_icon()
        self.desktop.click(icon[5] + icon[3] // 2, icon[6] + icon[4] // 2, button)

    def tray_menu(self, item):
        """Chooses the item'th entry (0: Open, 1: About, 2: Exit) of the icon's menu."""
        self.click_icon(3)
        menus = dt.wait_for("the icon's menu", lambda: [w for w in self.desktop.visible_windows(cls="orvane")
                                                         if self._is_menu(w)])
        self.shot("tray-menu", menus[0])
        self.desktop.key(*(["Down"] * (item + 1) + ["Return"]))

    def _is_menu(self, window):
        _, y, w, h = self.desktop.geometry(window)
        return w < 400 and h < 300 and y < dt.Desktop.HEIGHT - 40 and window not in self.main_windows()

    def message_box(self, seen_before):
        """The message box the program opened since seen_before (a set of windows)."""
        return dt.wait_for("a message box", lambda: [w for w in self.desktop.visible_windows(cls="orvane")
                                                     if w not in seen_before and not self._is_tray(w)
                                                     and w not in self.main_windows()])[0]

    def _is_tray(self, window):
        return any(r[0] == window for r in self.desktop.tray_icons("orvane"))

    def start_in_tray(self):
        self.program.start("--hid-root", self.keyboard.folder, "/Start")
        self.program.wait_line("tray icon 141", timeout=20)
        self.tray_icon()

    def open_by_icon(self):
        shown = len([line for line in self.program.report() if "window shown" in line])
        self.click_icon()
        self.program.wait_line("window shown %d" % (shown + 1))
        return self.main_window()

    # ---- 1: /Start keeps the window in the tray; a click opens it; Cancel hides it
    def test_1_start_in_tray_click_opens_cancel_hides(self):
        before = self.keyboard.memory()
        self.start_in_tray()
        dt.stays("a window opened under /Start", self.main_windows, duration=1.0)
        self.assertEqual(self.icon_state(), 141)
        self.shot("tray-keyboard-present")
        window = self.open_by_icon()
        self.desktop.activate(window)
        self.shot("main-window", window)
        self.desktop.click_in(window, self.control("CONTROL_CANCEL"))
        self.wait_hidden()
        self.assertEqual(self.icon_state(), 141)
        # Nothing was written: the keyboard holds what it held, and says so through orvane-cli.
        self.assertEqual(self.keyboard.memory(), before)
        info = self.keyboard.cli_run("info")
        self.assertEqual(info.returncode, 0, info.stderr)

    # ---- 6: hotplug: the window hides, the icon follows, the window stays hidden on return
    def test_6_hotplug(self):
        self.start_in_tray()
        self.open_by_icon()
        mark = len(self.program.report())
        self.assertTrue(self.keyboard.control("unplug").startswith("ok"))
        self.program.wait_line("tray icon 128", start=mark)
        self.wait_hidden("the window to hide when the keyboard went")
        dt.wait_for("the program icon without the keyboard's dot", lambda: self.icon_state() == 128)
        self.shot("tray-keyboard-absent")
        # Asked to open without the keyboard, it says so and stays hidden.
        seen = set(self.desktop.visible_windows(cls="orvane"))
        self.click_icon()
        box = self.message_box(seen)
        self.shot("message-no-keyboard", box)
        self.desktop.key("Return", window=box)
        dt.wait_for("the message box to close", lambda: box not in self.desktop.visible_windows(cls="orvane"))
        self.assertFalse(self.main_windows())
        # Back: the icon shows the keyboard, the window stays hidden until the menu's Open.
        mark = len(self.program.report())
        self.assertTrue(self.keyboard.control("plug").startswith("ok"))
        self.program.wait_line("tray icon 141", start=mark, timeout=15)
        dt.wait_for("the keyboard's dot on the icon", lambda: self.icon_state() == 141)
        dt.stays("the window reopened by itself", self.main_windows, duration=1.5)
        self.tray_menu(0)
        window = self.main_window()
        self.shot("main-window-after-replug", window)

    # ---- About, from the icon's menu
    def test_about_from_the_tray_menu(self):
        self.start_in_tray()
        self.tray_menu(1)
        about = dt.wait_for("the About dialog", lambda: self.desktop.window_named(self.text("LANG_ABOUT_TITLE")))[0]
        self.shot("about", about)
        self.desktop.activate(about)
        self.desktop.key("Return", window=about)
        dt.wait_for("the About dialog to close", lambda: not self.desktop.window_named(self.text("LANG_ABOUT_TITLE")))

    # ---- the update dialog: a backup first, then the keyboard handed to the chosen update program
    def test_update_dialog_backs_up_and_hands_the_keyboard_over(self):
        marker = os.path.join(self.home, "updater-ran")
        updater = os.path.join(self.home, "updater.sh")
        with open(updater, "w") as f:
            f.write("#!/bin/sh\necho ran > '%s'\n" % marker)
        os.chmod(updater, 0o755)
        buttons = dt.read_ini(os.path.join(BIN, "Skins", "UpdateDlg.ini"))["BUTTONINFO"]
        self.start_in_tray()
        status, err = self.program.run_again("/Update")
        self.assertEqual(status, 0, err)
        dialog = dt.wait_for("the update dialog", lambda: self.desktop.window_named(self.text("MENU_4")))[0]
        self.desktop.activate(dialog)
        self.shot("update-dialog", dialog)
        before = self.keyboard.memory()

        # Update before a program is chosen: said, and the keyboard is left alone.
        seen = set(self.desktop.visible_windows(cls="orvane"))
        self.desktop.click_in(dialog, dt.rect(buttons["CONTROL_UPButton"]))
        box = self.message_box(seen)
        self.shot("message-update-no-file", box)
        self.desktop.key("Return", window=box)
        self.gone(box, "the message to close")
        self.assertIn("boot=0", self.keyboard.control("status"))

        backup = os.path.join(self.home, "before-update.orv")
        self.desktop.click_in(dialog, dt.rect(buttons["CONTROL_BACKUPButton"]))
        self.choose_in_file_dialog(seen, backup, "file-dialog-update-backup")
        box = self.message_box(seen)
        self.shot("message-update-backup-done", box)
        self.desktop.key("Return", window=box)
        self.gone(box, "the message to close")
        kept = self.read_back()
        for layer in range(3):
            self.assertEqual(self.shown_layer(backup, layer), self.shown_layer(kept, layer), "layer %d" % layer)

        self.desktop.click_in(dialog, dt.rect(buttons["CONTROL_OPENButton"]))
        self.choose_in_file_dialog(seen, updater, "file-dialog-update-program")
        self.shot("update-dialog-chosen", dialog)
        self.desktop.click_in(dialog, dt.rect(buttons["CONTROL_UPButton"]))
        dt.wait_for("the update program to run", lambda: os.path.exists(marker))
        self.gone(dialog, "the update dialog to close")
        self.assertIn("boot=1", self.keyboard.control("status"))
        after = self.keyboard.memory()
        self.assertEqual(after[:dt.Keyboard.BOOT], before[:dt.Keyboard.BOOT], "the configuration changed")
        self.assertEqual(after[dt.Keyboard.BOOT + 1:], before[dt.Keyboard.BOOT + 1:], "the macros changed")

    # ---- 7: a second start shows the running window; /Kill ends the instance
    def test_7_single_instance_and_kill(self):
        self.start_in_tray()
        status, err = self.program.run_again("--hid-root", self.keyboard.folder)
        self.assertEqual(status, 0, err)
        self.main_window()
        self.program.wait_line("window shown 1")
        status, err = self.program.run_again("/Kill")
        self.assertEqual(status, 0, err)
        self.assertEqual(self.program.wait_exit(10), 0)
        dt.wait_for("the icon to leave the notification area", lambda: not self.desktop.tray_icons("orvane"))
        self.assertFalse(self.main_windows())


class English(Scenarios, unittest.TestCase):
    language = "en"

    def test_a_missing_key_is_listed(self):
        """The diagnostic the other scenarios rely on: a program folder whose language file lacks
        the tray's tooltip key lists exactly that key."""
        folder = os.path.join(self.home, "program")
        os.makedirs(folder)
        for name in ("orvane", "Lang0409.ini", "Lang0419.ini"):
            shutil.copy2(os.path.join(BIN, name), folder)
        for name in ("Skins", "icons", "Help"):
            shutil.copytree(os.path.join(BIN, name), os.path.join(folder, name))
        lang = os.path.join(folder, "Lang0409.ini")
        with open(lang, encoding="utf-8") as f:
            kept = [line for line in f if not line.startswith("KEYBOARD_TRAY_DESC=")]
        with open(lang, "w", encoding="utf-8") as f:
            f.writelines(kept)
        self.program.exe = os.path.join(folder, "orvane")
        self.start_in_tray()
        self.program.stop()
        with open(self.missing_log, encoding="utf-8") as f:
            listed = set(f.read().splitlines())
        self.assertEqual(listed, {"Lang0409.ini [TEXT] KEYBOARD_TRAY_DESC"})
        os.remove(self.missing_log)


class Russian(Scenarios, unittest.TestCase):
    language = "ru"


if __name__ == "__main__":
    unittest.main()
