#!/usr/bin/env python3
# Ports held by a service manager, through the window: the real systemd-socket-activate with and
# without --accept, and an activator of the test's own that keeps its socket and forks the service
# that holds it too, as systemd does: systemd_init.py, PID 1 of a PID namespace of the test's own
# (never this machine's PID 1), which names its socket unit on a bus of its own.
#
# Usage: test_socket_units.py PATH_TO_QUAYMETER

import socket
import subprocess
import unittest

import pyatspi

import harness
from harness import find, find_all, press, wait_until

def free_port():
    with socket.create_server(("127.0.0.1", 0)) as s:
        return s.getsockname()[1]


class InNamespace(harness.App):
    # The window is a grandchild of unshare, inside the namespace: it is found by its name.
    def _application(self):
        return next(a for a in pyatspi.Registry.getDesktop(0)
                    if a is not None and a.name == "Quaymeter")


class SocketUnits(unittest.TestCase):
    def kill(self, app, card):
        press(find(card, "push button", "Kill Process"))
        press(find(app.find("dialog"), "push button", "Kill Process"))

    def test_init_keeps_the_port_for_its_socket_unit(self):
        port = free_port()
        app = InNamespace("/usr/bin/unshare", [
            "--pid", "--fork", "--kill-child", "--mount-proc", "/usr/bin/python3",
            __file__.replace("test_socket_units", "systemd_init"), str(port), harness.binary])
        # Whatever fails, the namespace ends with the window, when the harness ends the display.
        app.scan(port)
        init = app.find("panel", "python3 PID 1")
        find(init, "label", "Socket unit quaymeter.socket (starts quaymeter.service)")
        # No Kill, no Force Kill: what frees the port instead.
        self.assertEqual([b.name for b in find_all(init, "push button")], ["Copy Stop Command"])
        press(find(init, "push button", "Copy Stop Command"))
        wait_until(lambda: subprocess.run(["xclip", "-o", "-selection", "clipboard"],
                                          capture_output=True, text=True).stdout ==
                   "systemctl stop quaymeter.socket quaymeter.service", "clipboard")
        self.kill(app, app.find("panel", "sleep PID 2"))
        app.wait_status(f"python3 keeps port {port} open for quaymeter.socket.")
        self.assertEqual(app.close(), 0)

    def test_socket_activate(self):
        # The first connection makes an activator without --accept its service; with --accept
        # the activator keeps the socket and starts a service for each connection, which here
        # ends at once (it is given an argument).
        for accept, command in ([], "python3"), (["--accept"], "systemd-socket-activate"):
            port = free_port()
            # setpriv execs the activator, which dies with the test if the window does not kill it.
            activator = subprocess.Popen(
                ["setpriv", "--pdeathsig=KILL", "systemd-socket-activate", *accept, "-l",
                 str(port), "python3", "-c", "import signal, sys; sys.argv[1:] or signal.pause()",
                 *accept], stderr=subprocess.DEVNULL)
            wait_until(lambda: socket.create_connection(("127.0.0.1", port)), "the socket")
            wait_until(lambda: open(f"/proc/{activator.pid}/comm").read() == command + "\n"
                       or accept, "the service")
            app = harness.App(harness.binary)
            app.scan(port)
            card = app.find("panel", f"{command} PID {activator.pid}")
            held = find_all(card, "label", "A service manager holds this port.")
            self.assertEqual(bool(held), bool(accept))
            self.kill(app, card)
            app.wait_status(f"Port {port} is available.")
            app.close()


if __name__ == "__main__":
    harness.main()
