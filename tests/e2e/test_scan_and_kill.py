#!/usr/bin/env python3
"""The built program end to end, through the accessibility bus alone, like a screen reader user:
scan a port held by two real listeners, Kill one and Force Kill the other, see the port free.

Usage: test_scan_and_kill.py PATH_TO_QUAYMETER
"""

import signal
import unittest

import harness
from harness import Listener, find, press, wait_until


class ScanAndKill(unittest.TestCase):
    def test_kill_one_force_kill_the_other(self):
        with Listener() as first, Listener(first.port) as second:
            port = first.port
            app = harness.App(harness.binary)
            status = find(app.find("status bar", "Status"), "label")
            app.type(app.find("text", "TCP Port"), str(port))
            wait_until(lambda: app.find("text", "TCP Port").queryText().getText(0, -1)
                       == str(port), "the typed port")
            press(app.find("push button", "Scan"))
            wait_until(lambda: status.name == f"Found python3 PID {first.pid} listening on "
                       f"port {port}.", "the listeners")

            for listener, button, title, word, sent in (
                    (first, "Kill Process", "Kill process?", "kill", signal.SIGTERM),
                    (second, "Force Kill", "Force kill process?", "kill -9", signal.SIGKILL)):
                card = app.find("panel", f"python3 PID {listener.pid}")
                press(find(card, "push button", button))
                alert = app.find("dialog", title)
                find(alert, "label", f"Quaymeter will send {word} to python3 PID {listener.pid}"
                                     f" on port {port}.")
                press(find(alert, "push button", button))
                self.assertEqual(listener.wait_signal(), sent)
            wait_until(lambda: status.name == f"Port {port} is available.", "a free port")

            log = find(app.root, "list", "Activity")
            lines = [label.name for label in harness.find_all(log, "label")
                     if not label.name[:2].isdigit()]
            self.assertEqual(lines, [
                f"Port {port} is available", f"Scanned port {port}",
                f"Killed PID {second.pid}", f"Force kill requested for PID {second.pid}",
                f"Found python3 PID {second.pid}", f"Scanned port {port}",
                f"Killed PID {first.pid}", f"Kill requested for PID {first.pid}"])
            self.assertEqual(app.close(), 0)
            self.assertNotIn("qt.", app.output())
            self.assertEqual(app.output().strip(), "")


if __name__ == "__main__":
    harness.main()
