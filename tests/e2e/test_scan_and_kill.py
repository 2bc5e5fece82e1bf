#!/usr/bin/env python3
# The built program end to end, through the accessibility bus alone, like a screen reader user:
# scan a port held by two real listeners, copy one's command line from its card's menu, Kill one and
# Force Kill the other, and see the port free.
#
# Usage: test_scan_and_kill.py PATH_TO_QUAYMETER

import shlex
import signal
import subprocess
import unittest

import pyatspi

import harness
from harness import Listener, find, focus, press, wait_until


def x11(*command):
    return subprocess.run(command, capture_output=True, text=True).stdout


class ScanAndKill(unittest.TestCase):
    def test_kill_one_force_kill_the_other(self):
        with Listener() as first, Listener(first.port) as second:
            port = first.port
            app = harness.App(harness.binary)
            app.scan(port)
            app.wait_status(f"Found python3 PID {first.pid} listening on port {port}.")
            # Who each card is, and a command line copied from its menu.
            card = app.find("panel", f"python3 PID {first.pid}")
            self.assertIn("\nExecutable: /usr/bin/python3", card.description)
            kill = find(card, "push button", "Kill Process")
            focus(kill)
            pyatspi.Registry.generateKeyboardEvent(0xFF67, None, pyatspi.KEY_SYM)  # Menu
            # A tool told to press an item invokes its first action.
            self.assertTrue(app.find("menu item", "Copy Command Line").queryAction().doAction(0))
            wait_until(lambda: x11("xclip", "-o", "-selection", "clipboard")
                       == shlex.join(first.args), "the command line on the clipboard")

            for listener, button, title, word, sent in (
                    (first, "Kill Process", "Kill process?", "kill", signal.SIGTERM),
                    (second, "Force Kill", "Force kill process?", "kill -9", signal.SIGKILL)):
                card = app.find("panel", f"python3 PID {listener.pid}")
                press(find(card, "push button", button))
                alert = app.find("dialog", title)
                message = find(alert, "label", f"Quaymeter will send {word} to python3 PID "
                                               f"{listener.pid} on port {port}.")
                self.assertEqual(message.description,
                                 "Command line: " + shlex.join(listener.args))
                press(find(alert, "push button", button))
                self.assertEqual(listener.wait(harness.TIMEOUT), -sent)
            app.wait_status(f"Port {port} is available.")

            # Each line is read as its time and message.
            log = find(app.root, "list", "Activity")
            stamped = [item.name.split(" ", 1) for item in harness.find_all(log, "list item")]
            self.assertTrue(all(len(time) == 8 and time[2] == time[5] == ":"
                                for time, _ in stamped), stamped)
            # The lines themselves are the flow tests'; here, that both kills are read, newest first.
            lines = [message for _, message in stamped]
            self.assertEqual((lines[2], lines[6]),
                             (f"Killed PID {second.pid}", f"Killed PID {first.pid}"))
            # One fixed-size window; Ctrl+N opens another, Ctrl+W closes it, Ctrl+Q quits.
            hints = x11("xprop", "-id", app.windows()[0], "WM_NORMAL_HINTS")
            self.assertIn("maximum size: 850 by 540", hints)
            for keys, windows in ("ctrl+n", 2), ("ctrl+w", 1), ("ctrl+q", None):
                app.keys(keys)
                wait_until(lambda: windows is None or
                           len(harness.find_all(app.root, "frame")) == windows, keys)
                if windows == 2:  # the new window has a state of its own
                    fields = harness.find_all(app.root, "text", "TCP Port")
                    self.assertEqual(sorted(f.queryText().getText(0, -1) for f in fields),
                                     ["", str(port)])
            self.assertEqual(app.proc.wait(harness.TIMEOUT), 0)
            self.assertEqual(app.output().strip(), "")


if __name__ == "__main__":
    harness.main()
