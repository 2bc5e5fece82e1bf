#!/usr/bin/env python3
# A listener found without knowing its port, through the accessibility bus alone: the list opens
# by its key, a filter narrows it, picking the row scans that port and shows its card.
#
# Usage: test_browse.py PATH_TO_QUAYMETER

import getpass
import unittest

import harness
from harness import Listener, find, press, wait_until


class Browse(unittest.TestCase):
    def test_pick_a_listener_from_the_list(self):
        with Listener() as listener:
            app = harness.App(harness.binary)
            app.keys("ctrl+l")
            field = app.find("text", "Filter listeners")
            app.type(field, str(listener.port))
            rows = app.find("list", "Listeners")
            sentence = (f"Port {listener.port}, python3 PID {listener.pid}, "
                        f"user {getpass.getuser()}")
            row = wait_until(lambda: [r for r in harness.find_all(rows, "list item")
                                      if r.name == sentence], repr(sentence))[0]
            self.assertEqual(row.description, "Address 127.0.0.1")
            press(row)
            app.wait_status(f"Found python3 PID {listener.pid} listening on port {listener.port}.")
            card = app.find("panel", f"python3 PID {listener.pid}")
            find(card, "push button", "Kill Process")
            self.assertEqual(harness.find_all(app.root, "list", "Listeners"), [])
            self.assertEqual(app.close(), 0)


if __name__ == "__main__":
    harness.main()
