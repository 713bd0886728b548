"""Acceptance scenarios of the main window's lighting panel (4) and of its profiles (5): lighting
changes reach the keyboard at once, without Apply; a profile chosen by its button becomes the
keyboard's current one, the profile manager restores and backs up files, and Default gives the
current profile its factory key block back. A mixin of test_acceptance.Scenarios, which runs it
once per language."""

import json
import os

import desktop as dt

# Three keys painted in the per-key mode, with the lights the program's light table gives them
# (Q, E and R; none of them lit on a new keyboard).
PAINTED = {"KEY_010": 10, "KEY_012": 26, "KEY_013": 34}
# The lights of user mode 0 on a new keyboard: W, A, S and D.
DEFAULT_LIT = {11, 18, 19, 27}
MASK_LIGHTS = 21 * 8
# Modes: an effect with speed but no direction, one with a direction, one without speed.
MODE_EFFECT, MODE_DIRECTION, MODE_STATIC, MODE_PER_KEY = 6, 1, 5, 254
# Slider positions reached with the keyboard (Home, then Right presses; End, then Left presses).
SPEED_POSITION = 1
BRIGHTNESS_POSITION = 19


def lit_lights(page, user_mode=0):
    mask = page[user_mode * 21:(user_mode + 1) * 21]
    return {n for n in range(MASK_LIGHTS) if (mask[n // 8] >> (n % 8)) & 1}


class PanelScenarios:
    """Scenarios 4 and 5; they use the helpers of Scenarios through self."""

    # ---- helpers
    def keyboard_json(self, *args):
        done = self.keyboard.cli_run("--json", *args)
        self.assertEqual(done.returncode, 0, done.stderr)
        return json.loads(done.stdout)

    def record_of(self, profile):
        return self.keyboard.lighting_record(self.keyboard.memory(), profile)

    def wait_record(self, what, profile, check):
        return dt.wait_for(what, lambda: (lambda r: r if check(r) else None)(self.record_of(profile)), timeout=5)

    def choose_mode(self, window, modes, code):
        """Opens the mode list and picks the mode by its place in the keyboard's list."""
        self.desktop.click_in(window, self.control("CONTROL_XGcombox"))
        self.desktop.key("Home", *(["Down"] * modes.index(code)), "Return")

    def set_slider(self, window, control, start, presses):
        """Clicks the slider (which takes the focus), then moves it from one end by key presses."""
        self.desktop.click_in(window, self.control(control))
        self.desktop.key(start, *([("Right" if start == "Home" else "Left")] * presses))

    def panel_shot(self, name, window):
        x, y, w, _ = self.desktop.geometry(window)
        self.desktop.run(["xdotool", "mousemove", "--sync", str(x + w - 20), str(y + 4)])
        return self.shot(name, window)

    # ---- 4: lighting, written at once
    def test_4_lighting(self):
        profile = self.current_profile()
        modes = [m["mode"] for m in self.keyboard_json("info")["modes"]]
        before = self.keyboard.memory()
        page_before = self.keyboard.colour_page(before, profile)
        self.assertEqual(lit_lights(page_before), DEFAULT_LIT)
        self.start_in_tray()
        window = self.open_by_icon()
        self.desktop.activate(window)

        # Per-key editing on: the panel's controls appear.
        self.desktop.click_in(window, self.control("CONTROL_DengStaPic"))
        # An effect with a speed: the speed is written as soon as the slider moves.
        self.choose_mode(window, modes, MODE_EFFECT)
        self.wait_record("mode %d" % MODE_EFFECT, profile, lambda r: r[0] == MODE_EFFECT)
        self.set_slider(window, "CONTROL_SpeedSlider", "Home", SPEED_POSITION)
        self.wait_record("the speed", profile, lambda r: r[2] == 4 - SPEED_POSITION)
        self.panel_shot("lighting-effect", window)
        self.choose_mode(window, modes, MODE_DIRECTION)
        self.wait_record("mode %d" % MODE_DIRECTION, profile, lambda r: r[0] == MODE_DIRECTION)
        self.panel_shot("lighting-direction", window)
        self.choose_mode(window, modes, MODE_STATIC)
        self.wait_record("mode %d" % MODE_STATIC, profile, lambda r: r[0] == MODE_STATIC)
        self.panel_shot("lighting-static", window)

        # The per-key mode: three keys painted, then the brightness.
        self.choose_mode(window, modes, MODE_PER_KEY)
        self.wait_record("the per-key mode", profile, lambda r: r[0] == MODE_PER_KEY)
        for key in PAINTED:
            self.desktop.click_in(window, self.control(key))
        expected_lit = DEFAULT_LIT | set(PAINTED.values())
        dt.wait_for("the painted keys in the colour page",
                    lambda: lit_lights(self.keyboard.colour_page(self.keyboard.memory(), profile)) == expected_lit)
        self.set_slider(window, "CONTROL_LightSlider", "End", 24 - BRIGHTNESS_POSITION)
        self.wait_record("the brightness", profile, lambda r: r[1] == BRIGHTNESS_POSITION)
        self.panel_shot("lighting-perkey", window)
        self.assertEqual(self.desktop.window_named(self.text("KEY_SETTING_TISHI")), [],
                         "a painted key opened the key dialog")

        after = self.keyboard.memory()
        record = self.keyboard.lighting_record(after, profile)
        self.assertEqual((record[0], record[1], record[2]), (MODE_PER_KEY, BRIGHTNESS_POSITION, 4 - SPEED_POSITION))
        # The page is the old one with exactly the three bits added; nothing else moved.
        page = bytearray(page_before)
        for light in PAINTED.values():
            page[light // 8] |= 1 << (light % 8)
        self.assertEqual(self.keyboard.colour_page(after, profile), bytes(page))
        for other in range(3):
            if other != profile:
                self.assertEqual(self.keyboard.lighting_record(after, other), self.keyboard.lighting_record(before, other))
                self.assertEqual(self.keyboard.colour_page(after, other), self.keyboard.colour_page(before, other))
        self.assertEqual(after[:dt.Keyboard.LIGHTING], before[:dt.Keyboard.LIGHTING], "key blocks or settings moved")
        shown = self.keyboard_json("lighting")["profiles"][profile]
        self.assertEqual((shown["mode"], shown["brightness"], shown["speed"], shown["user_mode"]),
                         (MODE_PER_KEY, BRIGHTNESS_POSITION, 4 - SPEED_POSITION, 0))

    # ---- profiles
    def profile_file(self, name, layer, mapping):
        """A profile file whose layer maps key to value ({"0x01E": "0x030"}), made with orvane-cli
        from the keyboard's own configuration."""
        read = os.path.join(self.home, name + "-read.orv")
        done = self.keyboard.cli_run("--yes", "read", read)
        self.assertEqual(done.returncode, 0, done.stderr)
        as_json = os.path.join(self.home, name + ".json")
        done = self.keyboard.cli_run("export-json", read, as_json)
        self.assertEqual(done.returncode, 0, done.stderr)
        with open(as_json, encoding="utf-8") as f:
            data = json.load(f)
        entries = [e for e in data["layers"][layer] if e.get("key") not in mapping]
        data["layers"][layer] = entries + [{"key": k, "type": "SingleKey", "value": v} for k, v in mapping.items()]
        with open(as_json, "w", encoding="utf-8") as f:
            json.dump(data, f)
        path = os.path.join(self.home, name + ".orv")
        done = self.keyboard.cli_run("import-json", as_json, path)
        self.assertEqual(done.returncode, 0, done.stderr)
        return path

    def new_window(self, seen, what):
        return dt.wait_for(what, lambda: [w for w in self.desktop.visible_windows(cls="orvane")
                                          if w not in seen and not self._is_tray(w)])[0]

    def gone(self, window, what):
        dt.wait_for(what, lambda: window not in self.desktop.visible_windows(cls="orvane"))

    def choose_in_file_dialog(self, seen, path, name):
        """The program's file dialog: the path typed into its name field, then Return."""
        dialog = self.new_window(seen, "the file dialog")
        self.desktop.activate(dialog)
        self.desktop.key("ctrl+a", window=dialog)
        self.desktop.type_text(path)
        self.shot(name, dialog)
        self.desktop.key("Return")
        self.gone(dialog, "the file dialog to close")

    def backup_menu(self, window, item):
        """The window's backup menu: item 0 restores from a file, 1 backs up to one."""
        seen = set(self.desktop.visible_windows(cls="orvane"))
        self.desktop.click_in(window, self.control("CONTROL_MENU"))
        menu = self.new_window(seen, "the backup menu")
        self.shot("backup-menu", menu)
        self.desktop.key(*(["Down"] * (item + 1) + ["Return"]))
        self.gone(menu, "the backup menu to close")
        return seen

    def shown_layer(self, path, layer):
        done = self.keyboard.cli_run("--json", "show", path)
        self.assertEqual(done.returncode, 0, done.stderr)
        return [(k["key"], k["type"], k["value"]) for k in json.loads(done.stdout)["layers"][layer]["keys"]]

    # ---- 5: profiles: a profile button, the profile manager, restore, back up, defaults
    def test_5_profiles(self):
        given = self.profile_file("given", 2, {"0x01E": "0x030"})
        done = self.keyboard.cli_run("--yes", "apply", given, "--profile", "2")
        self.assertEqual(done.returncode, 0, done.stderr)
        before = self.keyboard.memory()
        default_block = before[dt.Keyboard.DEFAULT_BLOCK:dt.Keyboard.DEFAULT_BLOCK + dt.Keyboard.KEY_BLOCK_SIZE]
        self.assertNotEqual(self.keyboard.key_block(before, 2), default_block)
        restored = self.profile_file("restored", 2, {"0x01E": "0x02E"})
        self.start_in_tray()
        window = self.open_by_icon()
        self.desktop.activate(window)

        self.desktop.click_in(window, self.control("FUNC_PROFILE3"))
        dt.wait_for("profile 2 to become the keyboard's current one", lambda: self.current_profile() == 2)
        self.shot("main-window-profile-3", window)

        seen = set(self.desktop.visible_windows(cls="orvane"))
        self.desktop.click_in(window, self.control("FUNC_PROFILES"))
        manager = self.new_window(seen, "the profile manager")
        self.desktop.activate(manager)
        self.shot("profile-manager", manager)
        self.desktop.key("Escape", window=manager)
        self.gone(manager, "the profile manager to close")

        seen = self.backup_menu(window, 0)
        self.choose_in_file_dialog(seen, restored, "file-dialog-restore")
        # Restored: the file's layer 2 is written to the current profile, with no question.
        dt.wait_for("the restored file's key block on the keyboard", lambda: self.keyboard.key_block(
            self.keyboard.memory(), 2) != self.keyboard.key_block(before, 2))
        self.assertEqual(self.shown_layer(self.read_back(), 2), [("0x01E", "SingleKey", "0x02E")])
        self.shot("main-window-restored", window)

        backup = os.path.join(self.home, "backup.orv")
        seen = self.backup_menu(window, 1)
        self.choose_in_file_dialog(seen, backup, "file-dialog-backup")
        dt.wait_for("the backup file", lambda: os.path.exists(backup) and os.path.getsize(backup) > 0)
        kept = self.read_back()
        for layer in range(3):
            self.assertEqual(self.shown_layer(backup, layer), self.shown_layer(kept, layer), "layer %d" % layer)

        # Defaults: asked first, then profile 2 gets the keyboard's default block, the others stay.
        middle = self.keyboard.memory()
        seen = set(self.desktop.visible_windows(cls="orvane"))
        self.desktop.click_in(window, self.control("FUNC_DEFAULT"))
        box = self.message_box(seen)
        self.shot("message-defaults", box)
        self.assertEqual(self.keyboard.memory(), middle, "written before the answer")
        # No has the focus; Yes is the button before it.
        self.desktop.key("shift+Tab", "space", window=box)
        self.gone(box, "the question to close")
        dt.wait_for("the default key block in profile 2",
                    lambda: self.keyboard.key_block(self.keyboard.memory(), 2) == default_block)
        after = self.keyboard.memory()
        for profile in (0, 1):
            self.assertEqual(self.keyboard.key_block(after, profile), self.keyboard.key_block(before, profile))
        self.assertEqual(self.current_profile(), 2)
        self.assertEqual(self.shown_layer(self.read_back(), 2), [])

    def read_back(self):
        path = os.path.join(self.home, "read-back.orv")
        done = self.keyboard.cli_run("--yes", "read", path)
        self.assertEqual(done.returncode, 0, done.stderr)
        return path
