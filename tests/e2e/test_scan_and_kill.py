#!/usr/bin/env python3
"""The built program end to end: scan a real listener, kill it, see the port free.

Usage: test_scan_and_kill.py PATH_TO_QUAYMETER [unittest args]

ScanAndKill uses the keyboard through the X server (xdotool) like a sighted user;
ScreenReader uses nothing but the accessibility bus, like a screen reader.
"""

import re
import unittest

import harness
from harness import App, Listener, wait_until

TIME_STAMP = re.compile(r"^\d\d:\d\d:\d\d$")


class QuaymeterTestCase(unittest.TestCase):
    def setUp(self):
        self.app = App(harness.binary())
        self.addCleanup(self.check_clean_exit)
        self.field = self.app.find("text", "TCP Port")

    def check_clean_exit(self):
        # Closing like a user runs the real teardown; a warning there is a fault too.
        code = self.app.close_window() if self.app.running() else self.app.proc.returncode
        self.app.close()
        self.assertEqual(code, 0, self.app.output())
        self.assertEqual(self.app.qt_messages(), [], self.app.output())

    def status(self):
        """The status line, read from the status bar as a screen reader reads it."""
        return harness.text_of(harness.find(self.app.find("status bar", "Status"), "label"))

    def wait_status(self, text):
        wait_until(lambda: self.status() == text, message=f"status {text!r}")

    def activity(self):
        """The activity lines without their time stamps, newest first."""
        lines = harness.find_all(self.app.find("list", "Activity"), "label")
        return [line.name for line in lines if not TIME_STAMP.match(line.name)]

    def card(self, listener):
        card = self.app.find("panel", f"{listener.command_name} PID {listener.pid}")
        harness.find(card, "label", listener.command_name)
        harness.find(card, "label", str(listener.pid))
        return card

    def found(self, listener):
        return (f"Found {listener.command_name} PID {listener.pid} "
                f"listening on port {listener.port}.")

    def alert(self, title, message):
        dialog = self.app.find("dialog", title)
        harness.find(dialog, "label", title)
        harness.find(dialog, "label", message)
        return dialog

    def kill_message(self, listener, word="kill"):
        return (f"Quaymeter will send {word} to {listener.command_name} "
                f"PID {listener.pid} on port {listener.port}.")


class ScanAndKill(QuaymeterTestCase):
    def scan(self, port):
        """Type the port and press Return, as a keyboard user does."""
        self.app.set_text(self.field, str(port))
        self.app.key("Return")

    def test_free_port_is_reported_available(self):
        port = harness.free_port()
        self.scan(port)
        self.wait_status(f"Port {port} is available.")
        self.app.wait_text("Port available")
        wait_until(lambda: self.activity()[:2] == [f"Port {port} is available",
                                                   f"Scanned port {port}"])
        self.assertEqual(self.app.find_all("push button", "Kill Process"), [])

    def test_kill_from_the_keyboard_frees_the_port(self):
        with Listener() as listener:
            self.scan(listener.port)
            self.wait_status(self.found(listener))
            card = self.card(listener)
            # Tab walks from the field to Scan and on to the card's buttons.
            scan = self.app.find("push button", "Scan")
            kill = harness.find(card, "push button", "Kill Process")
            force = harness.find(card, "push button", "Force Kill")
            for target in (scan, kill, force):
                self.app.key("Tab")
                wait_until(lambda: harness.is_focused(target), message=f"focus on {target.name}")
            self.app.key("shift+Tab", "space")
            dialog = self.alert("Kill process?", self.kill_message(listener))
            harness.press(harness.find(dialog, "push button", "Kill Process"))
            self.app.find_gone("dialog")
            listener.wait_gone()
            self.wait_status(f"Port {listener.port} is available.")
            wait_until(lambda: self.activity()[:6] == [
                f"Port {listener.port} is available",
                f"Scanned port {listener.port}",
                f"Killed PID {listener.pid}",
                f"Kill requested for PID {listener.pid}",
                f"Found {listener.command_name} PID {listener.pid}",
                f"Scanned port {listener.port}"], message=f"activity lines, are {self.activity()}")
            self.assertEqual(self.app.find_all("panel"), [])

    def test_cancel_and_escape_leave_the_process_running(self):
        with Listener() as listener:
            self.scan(listener.port)
            card = self.card(listener)
            before = self.activity()
            harness.press(harness.find(card, "push button", "Kill Process"))
            dialog = self.alert("Kill process?", self.kill_message(listener))
            harness.press(harness.find(dialog, "push button", "Cancel"))
            self.app.find_gone("dialog")
            # The alert comes back for the same card, and Escape dismisses it too.
            harness.press(harness.find(card, "push button", "Force Kill"))
            self.alert("Force kill process?", self.kill_message(listener, "kill -9"))
            self.app.key("Escape")
            self.app.find_gone("dialog")
            self.assertTrue(listener.alive())
            self.assertEqual(self.activity(), before)
            self.assertEqual(self.status(), self.found(listener))

    def test_force_kill_ends_a_process_that_ignores_term(self):
        with Listener(ignore_term=True) as listener:
            self.scan(listener.port)
            harness.press(harness.find(self.card(listener), "push button", "Kill Process"))
            dialog = self.alert("Kill process?", self.kill_message(listener))
            harness.press(harness.find(dialog, "push button", "Kill Process"))
            # kill succeeds but the process stays: the re-check lists it again.
            wait_until(lambda: f"Killed PID {listener.pid}" in self.activity())
            self.wait_status(self.found(listener))
            self.assertTrue(listener.alive())
            force = wait_until(lambda: [b for b in self.app.find_all("push button", "Force Kill")
                                        if harness.is_enabled(b)])
            harness.press(force[0])
            dialog = self.alert("Force kill process?", self.kill_message(listener, "kill -9"))
            harness.press(harness.find(dialog, "push button", "Force Kill"))
            listener.wait_gone()
            self.wait_status(f"Port {listener.port} is available.")
            self.assertIn(f"Force kill requested for PID {listener.pid}", self.activity())


class ScreenReader(QuaymeterTestCase):
    """Only the accessibility bus: names, actions, states and AT-SPI's own key synthesis.

    Qt 6.4 gives the field no EditableText interface, so the text is typed with AT-SPI's
    keyboard events into the field once its SetFocus action has focused it."""

    def test_scan_and_kill_through_accessibility_alone(self):
        pyatspi = harness._atspi()
        with Listener() as listener:
            self.assertTrue(self.field.getState().contains(pyatspi.STATE_EDITABLE))
            harness.focus(self.field)
            wait_until(lambda: harness.is_focused(self.field))
            pyatspi.Registry.generateKeyboardEvent(0, str(listener.port), pyatspi.KEY_STRING)
            wait_until(lambda: harness.text_of(self.field) == str(listener.port))
            harness.press(self.app.find("push button", "Scan"))
            self.wait_status(self.found(listener))
            harness.press(harness.find(self.card(listener), "push button", "Kill Process"))
            dialog = self.alert("Kill process?", self.kill_message(listener))
            harness.press(harness.find(dialog, "push button", "Kill Process"))
            listener.wait_gone()
            self.wait_status(f"Port {listener.port} is available.")


if __name__ == "__main__":
    harness.main()
