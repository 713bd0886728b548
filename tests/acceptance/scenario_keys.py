"""Acceptance scenarios of the key dialog: a key remapped (2) and a macro recorded for the macro
key (3), each written to the keyboard by the main window's Apply and read back from its memory
and through orvane-cli. A mixin of test_acceptance.Scenarios, which runs it once per language."""

import json
import os
import time

import desktop as dt

# Key-block entries: three bytes (kind, b1, b2) per key position.
ENTRY_SIZE = 3
KEY_A = bytes([2, 2, 0x04])  # a keyboard key, usage A
KEY_B = bytes([2, 2, 0x05])
# The macro key's place in the key block of the simulated keyboard.
MACRO_KEY_POSITION = 5
# Pauses slept between the recorded key events, and the repeat count typed.
PAUSES_MS = (300, 200, 400)
REPEAT = 3
# The keyboard keeps pauses in units of 10 ms, cut down; the program measures them in ms between
# the key events it receives, which X and the event loop may each hold up a little.
TICK_MS = 10
LATENCY_MS = 40


class KeyScenarios:
    """Scenarios 2 and 3; they use the helpers of Scenarios through self."""

    # ---- helpers
    def composite_layout(self):
        if not hasattr(self, "_composite_layout"):
            self._composite_layout = dt.read_ini(os.path.join(self.bin_folder(), "Skins", "Composite.ini"))
        return self._composite_layout

    def bin_folder(self):
        return os.path.dirname(self.program.exe)

    def composite_control(self, key):
        return dt.rect(self.composite_layout()["BUTTONINFO"][key])

    def key_dialog(self, caption_key):
        """The key dialog, found by its caption from the language file."""
        caption = self.text(caption_key)
        return dt.wait_for("the key dialog '%s'" % caption, lambda: self.desktop.window_named(caption))[0]

    def click_dialog(self, dialog, key):
        self.desktop.click_in(dialog, self.composite_control(key))

    def dialog_shot(self, name, dialog):
        """A picture of the dialog with the pointer off its controls (no hover faces, no tips)."""
        x, y, w, _ = self.desktop.geometry(dialog)
        self.desktop.run(["xdotool", "mousemove", "--sync", str(x + w // 2 + 60), str(y + 4)])
        return self.shot(name, dialog)

    def entries(self, block):
        return [block[i:i + ENTRY_SIZE] for i in range(0, len(block) - ENTRY_SIZE + 1, ENTRY_SIZE)]

    def changed_entries(self, block, block_after):
        return [i for i, (old, new) in enumerate(zip(self.entries(block), self.entries(block_after))) if old != new]

    def assert_only_key_block_moved(self, before, after, profile):
        """Settings, the other key blocks, lighting records and colour pages are as they were."""
        at = dt.Keyboard.KEY_BLOCKS + profile * dt.Keyboard.KEY_BLOCK_SIZE
        expected = before[:at] + after[at:at + dt.Keyboard.KEY_BLOCK_SIZE] + before[at + dt.Keyboard.KEY_BLOCK_SIZE:]
        self.assertEqual(after[:dt.Keyboard.MACROS], expected[:dt.Keyboard.MACROS])

    def current_profile(self):
        info = self.keyboard.cli_run("--json", "info")
        self.assertEqual(info.returncode, 0, info.stderr)
        return json.loads(info.stdout)["current_profile"]

    def apply_and_wait(self, window, profile, changed):
        """The main window's Apply; returns the memory once the current profile's key block
        satisfies changed(block) and the keyboard has had no request for a while."""
        self.desktop.click_in(window, self.control("CONTROL2_APPLY"))
        dt.wait_for("the keyboard's key block to change",
                    lambda: changed(self.keyboard.key_block(self.keyboard.memory(), profile)), timeout=10)

        def requests():
            return self.keyboard.control("status").rsplit("requests=", 1)[-1]

        last = [requests(), time.monotonic()]

        def settled():
            now = requests()
            if now != last[0]:
                last[:] = [now, time.monotonic()]
            return time.monotonic() - last[1] > 0.3

        dt.wait_for("the keyboard's writes to end", settled, timeout=10)
        return self.keyboard.memory()

    def shown_configuration(self):
        """What the keyboard holds, as orvane-cli reads it and shows it in JSON."""
        path = os.path.join(self.home, "read-back.orv")
        read = self.keyboard.cli_run("--yes", "read", path)
        self.assertEqual(read.returncode, 0, read.stderr)
        show = self.keyboard.cli_run("--json", "show", path)
        self.assertEqual(show.returncode, 0, show.stderr)
        return json.loads(show.stdout)

    # ---- 2: a key remapped in the key dialog, written by the main window's Apply
    def test_2_remap(self):
        before = self.keyboard.memory()
        self.start_in_tray()
        window = self.open_by_icon()
        profile = self.current_profile()
        block = self.keyboard.key_block(before, profile)
        position = self.entries(block).index(KEY_A)

        self.desktop.click_in(window, self.control("KEY_01E"))
        dialog = self.key_dialog("KEY_SETTING_TISHI")
        self.desktop.activate(dialog)
        self.dialog_shot("composite-key", dialog)
        # Each of the other panels once; a look at them changes nothing by itself.
        self.click_dialog(dialog, "FUNC_KEY_RADIO_MOU")
        self.dialog_shot("composite-mouse", dialog)
        self.click_dialog(dialog, "FUNC_KEY_RADIO_KB")
        for panel, name in (("CONTROL_MEDIA", "media"), ("CONTROL_FUNCTION", "function"), ("CONTROL_MACRO", "macro")):
            self.click_dialog(dialog, panel)
            self.dialog_shot("composite-" + name, dialog)
        self.click_dialog(dialog, "CONTROL_KEY")
        self.desktop.key("b", window=dialog)
        self.dialog_shot("composite-key-b", dialog)
        self.click_dialog(dialog, "CONTROL_OK")
        dt.wait_for("the key dialog to close", lambda: dialog not in self.desktop.visible_windows(cls="orvane"))
        self.assertEqual(self.keyboard.memory(), before, "the key dialog wrote to the keyboard before Apply")

        after = self.apply_and_wait(window, profile, lambda b: b != block)
        block_after = self.keyboard.key_block(after, profile)
        self.assertEqual(self.changed_entries(block, block_after), [position], "key-block entries that changed")
        self.assertEqual(self.entries(block_after)[position], KEY_B)
        self.assert_only_key_block_moved(before, after, profile)
        shown = self.shown_configuration()
        keys = shown["layers"][profile]["keys"]
        self.assertEqual([(k["key"], k["type"], k["value"]) for k in keys], [("0x01E", "SingleKey", "0x030")])
        self.assertEqual(shown["macros"], [])

    # ---- 3: a macro recorded for the macro key, with its pauses and a repeat count
    def test_3_macro(self):
        before = self.keyboard.memory()
        self.start_in_tray()
        window = self.open_by_icon()
        profile = self.current_profile()
        block = self.keyboard.key_block(before, profile)

        self.desktop.click_in(window, self.control("FUNC_MACRO"))
        dialog = self.key_dialog("MACRO_EDIT_TISHI")
        self.desktop.activate(dialog)
        self.dialog_shot("macro-editor", dialog)
        self.click_dialog(dialog, "FUNC_MACRO_ADD")
        # Pauses as measured, not the fixed ones (the option is off in a new home).
        self.click_dialog(dialog, "FUNC_MACRO_RECORD_DELAY")
        self.click_dialog(dialog, "FUNC_MACRO_RECORD")
        # One xdotool run, so that its own start-up does not fall into the pauses.
        self.desktop.run(["xdotool", "keydown", "a", "sleep", "%.3f" % (PAUSES_MS[0] / 1000),
                          "keyup", "a", "sleep", "%.3f" % (PAUSES_MS[1] / 1000),
                          "keydown", "b", "sleep", "%.3f" % (PAUSES_MS[2] / 1000), "keyup", "b"])
        self.dialog_shot("macro-recording", dialog)
        self.click_dialog(dialog, "FUNC_MACRO_RECORD")
        self.click_dialog(dialog, "FUNC_MACRO_CYCLES")
        self.desktop.key("ctrl+a", str(REPEAT), window=dialog)
        self.dialog_shot("macro-recorded", dialog)
        self.click_dialog(dialog, "CONTROL_OK")
        dt.wait_for("the macro editor to close", lambda: dialog not in self.desktop.visible_windows(cls="orvane"))

        after = self.apply_and_wait(window, profile, lambda b: b != block)
        block_after = self.keyboard.key_block(after, profile)
        self.assertEqual(self.changed_entries(block, block_after), [MACRO_KEY_POSITION],
                         "key-block entries that changed")
        self.assert_only_key_block_moved(before, after, profile)
        # Plays the macro at position 0 of the macro area; the repeat count is the macro's own.
        self.assertEqual(self.entries(block_after)[MACRO_KEY_POSITION], bytes([5, 1, 0]))
        area = after[dt.Keyboard.MACROS:]
        self.assertEqual((dt.unpack_u16(area, 0), dt.unpack_u16(area, 4)), (0x55AA, 1))

        shown = self.shown_configuration()
        keys = shown["layers"][profile]["keys"]
        self.assertEqual([(k["name"], k["type"], k["value"]) for k in keys], [("G9", "PlayMacro", 1)])
        self.assertEqual(len(shown["macros"]), 1)
        macro = shown["macros"][0]
        # Its generated name, kept: the recorded keys were consumed, not typed into the name field.
        self.assertEqual((macro["id"], macro["name"], macro["cycles"]),
                         (1, self.text("MACRO_NEW_PREFIX") + "1", REPEAT))
        self.assertEqual([(a["key"], a["direction"]) for a in macro["actions"]],
                         [("0x01E", "press"), ("0x01E", "release"), ("0x030", "press"), ("0x030", "release")])
        delays = [a["delay"] for a in macro["actions"]]
        self.assertEqual(delays[-1], 0)
        for recorded, slept in zip(delays, PAUSES_MS):
            self.assertTrue(slept - TICK_MS - LATENCY_MS <= recorded <= slept + LATENCY_MS,
                            "recorded pauses %s for %s ms slept" % (delays, PAUSES_MS))

    # ---- 8: questions over the single-key panel are answered from the keyboard; the profile
    # manager's choice shows on the main window's profile buttons
    def test_8_questions_over_the_key_panel_and_the_managers_profile(self):
        before = self.keyboard.memory()
        self.start_in_tray()
        window = self.open_by_icon()
        self.desktop.activate(window)
        self.desktop.click_in(window, self.control("KEY_012"))
        dialog = self.key_dialog("KEY_SETTING_TISHI")
        self.desktop.activate(dialog)
        seen = set(self.desktop.visible_windows(cls="orvane"))
        # No on-screen keyboard here: a notice, closed with Return.
        self.click_dialog(dialog, "CONTROL_OSK")
        box = self.message_box(seen)
        self.shot("message-no-osk", box)
        self.desktop.key("Return", window=box)
        self.gone(box, "the notice to close")
        # Clear's question, answered No with Return: the key field stays empty (Return was not
        # taken as the key), and Cancel leaves the keyboard as it was.
        self.click_dialog(dialog, "CONTROL_CLEAR")
        box = self.message_box(seen)
        self.desktop.key("Return", window=box)
        self.gone(box, "the question to close")
        self.dialog_shot("composite-after-questions", dialog)
        field = dt.rect(self.composite_layout()["BUTTONINFO"]["FUNC_KEY_INPUT"])
        x, y, _, _ = self.desktop.geometry(dialog)
        lit = [p for p in self.desktop.pixels(x + field[0] + 4, y + field[1] + 4, field[2] - 8, field[3] - 8)
               if sum(p) > 450]
        self.assertEqual(lit, [], "the key field shows a key after the questions")
        self.click_dialog(dialog, "CONTROL_CANCEL")
        self.gone(dialog, "the key dialog to close")

        # The profile manager: the third row ticked, OK; the keyboard and the window follow.
        self.desktop.click_in(window, self.control("FUNC_PROFILES"))
        manager = self.new_window(seen, "the profile manager")
        self.desktop.activate(manager)
        layout = dt.read_ini(os.path.join(self.bin_folder(), "Skins", "Profile.ini"))["BUTTONINFO"]
        rows = dt.rect(layout["PROGRAM_LIST"])
        header = rows[3] // 8
        row_height = 20
        self.desktop.click_in(manager, (rows[0] + 2, rows[1] + header + 2 * row_height + 4, 18, 12))
        self.desktop.click_in(manager, dt.rect(layout["CONTROL_OK"]))
        self.gone(manager, "the profile manager to close")
        dt.wait_for("profile 2 to become current", lambda: self.current_profile() == 2)
        self.panel_shot("main-window-after-manager", window)

        def blue(key):
            bx, by, _, _ = self.desktop.geometry(window)
            r = self.control(key)
            pixels = self.desktop.pixels(bx + r[0] + 4, by + r[1] + 4, r[2] - 8, r[3] - 8)
            return sum(1 for cr, cg, cb in pixels if cb > 150 and cr < 80) > len(pixels) // 2
        dt.wait_for("the third profile button marked", lambda: blue("FUNC_PROFILE3"))
        self.assertFalse(blue("FUNC_PROFILE1"))
        after = self.keyboard.memory()
        self.assertEqual(after[dt.Keyboard.KEY_BLOCKS:], before[dt.Keyboard.KEY_BLOCKS:], "keys or lighting changed")
