# PID 1 of the test's own PID namespace, standing in for systemd (this machine runs no systemd):
# it binds a socket unit's port, forks the service that keeps the socket too, and answers on a
# bus of its own, which the window it starts takes for the system bus. The names, object paths,
# interfaces and signatures are those org.freedesktop.systemd1(5) documents: the Manager
# object's ListUnitsByPatterns, the unit objects below it, and their properties
# org.freedesktop.systemd1.Unit.Triggers and org.freedesktop.systemd1.Socket.Listen.
#
# Usage (as PID 1 only): systemd_init.py PORT PROGRAM [ARGUMENTS...]

import os
import socket
import subprocess
import sys

import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

port = sys.argv[1]
listener = socket.create_server(("127.0.0.1", int(port)))
service = subprocess.Popen(["sleep", "infinity"], pass_fds=[listener.fileno()])  # PID 2
# Unit object paths as sd_bus_path_encode() makes them (ssh.socket: .../unit/ssh_2esocket), and
# Listen as `systemctl show` prints it. The first unit's path and datagram hold no TCP listener.
UNITS = {"/unit/log_2esocket": ("log.socket", [("Stream", "/log"), ("Datagram", "[::]:" + port)]),
         "/unit/quaymeter_2esocket": ("quaymeter.socket", [("Stream", "127.0.0.1:" + port)])}


class Systemd(dbus.service.FallbackObject):  # the manager, and each unit below it
    @dbus.service.method("org.freedesktop.systemd1.Manager", "asas", "a(ssssssouso)")
    def ListUnitsByPatterns(self, states, patterns):
        return [(unit, "", "loaded", "active", "listening", "", self._object_path + path, 0,
                 "", "/") for path, (unit, _) in UNITS.items()]

    @dbus.service.method("org.freedesktop.DBus.Properties", "ss", "v", rel_path_keyword="path")
    def Get(self, interface, name, path):
        unit, listen = UNITS[path]
        return dbus.Array(listen, "(ss)") if name == "Listen" else \
            dbus.Array([unit.replace(".socket", ".service")], "s")


address = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                           stdout=subprocess.PIPE, text=True).stdout.readline().strip()
DBusGMainLoop(set_as_default=True)
name = dbus.service.BusName("org.freedesktop.systemd1", dbus.bus.BusConnection(address))
Systemd(name.get_bus(), "/org/freedesktop/systemd1")
window = subprocess.Popen(sys.argv[2:], env={**os.environ, "DBUS_SYSTEM_BUS_ADDRESS": address})
# The namespace, and all in it, ends with its init, when the window has gone.
GLib.child_watch_add(window.pid, lambda *_: os._exit(0))
GLib.MainLoop().run()
