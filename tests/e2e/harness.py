# End-to-end harness: the real program driven only through the accessibility bus (AT-SPI).
#
# harness.main() gives the calling script a private X display (Xvfb -displayfd, so parallel runs
# never race for a number) and a private session bus, then runs its unittest cases.

import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import warnings

TIMEOUT = 30.0  # CI has two cores and builds in parallel: be patient, never assert on time

warnings.filterwarnings("ignore", category=DeprecationWarning)  # pyatspi's own wrappers
import pyatspi  # noqa: E402  Debian's python3-pyatspi, so /usr/bin/python3 runs this


def wait_until(predicate, message, timeout=TIMEOUT):
    # Poll until predicate returns a truthy value; exceptions count as "not yet".
    deadline, last = time.monotonic() + timeout, None
    while time.monotonic() < deadline:
        try:
            if value := predicate():
                return value
        except Exception as error:  # noqa: BLE001 - the tree may be rebuilding
            last = error
        time.sleep(0.1)
    raise AssertionError(f"timed out waiting for {message} ({last!r})")


_LISTENER = r"""
import ctypes, signal, socket, sys
ctypes.CDLL(None).prctl(1, signal.SIGKILL)  # never outlive the test
s = socket.create_server(("127.0.0.1", int(sys.argv[1])), reuse_port=True)
print(s.getsockname()[1], flush=True)
signal.pause()
"""


class Listener(subprocess.Popen):
    # A real python3 process listening on 127.0.0.1:port (0: the kernel picks one), killed on exit.

    def __init__(self, port=0):
        super().__init__(["/usr/bin/python3", "-c", _LISTENER, str(port)], stdout=subprocess.PIPE,
                         text=True)
        self.port = int(self.stdout.readline())

    def __exit__(self, *exc):
        self.kill()
        super().__exit__(*exc)


def find_all(root, role, name=None):
    # Showing descendants of root with this role name ("push button"...) and name.
    found, stack = [], [root]
    while stack:
        node = stack.pop()
        try:
            stack.extend(node.getChildAtIndex(i) for i in reversed(range(node.childCount)))
            if (node.getRoleName() == role and name in (None, node.name)
                    and node.getState().contains(pyatspi.STATE_SHOWING)):
                found.append(node)
        except Exception:  # noqa: BLE001 - a node vanished while walking
            continue
    return found


def find(root, role, name=None):
    return wait_until(lambda: find_all(root, role, name)[0], f"{role} {name!r}")


def press(node, name="Press"):
    # Qt 6.4 lists "Press" twice on a Button with Accessible.onPressAction: the last is ours.
    action = node.queryAction()
    index = max(i for i in range(action.nActions) if action.getName(i) == name)
    assert action.doAction(index), f"{node.name!r} refused {name}"


def focus(node):
    press(node, "SetFocus")
    wait_until(lambda: node.getState().contains(pyatspi.STATE_FOCUSED), "focus")


class App:
    # The program in a process of its own, with accessibility forced on, started with SIGCHLD
    # ignored as a careless launcher leaves it: the program must put it back to read its tools.

    def __init__(self, binary, args=(), env=None):
        pyatspi.Registry.getDesktop(0).childCount  # start the accessibility bus before Qt looks
        self.runtime = tempfile.TemporaryDirectory()
        self.log = tempfile.TemporaryFile("w+")
        env = {**os.environ, "QT_QPA_PLATFORM": "xcb", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
               "XDG_RUNTIME_DIR": self.runtime.name, **(env or {})}
        self.proc = subprocess.Popen([binary, *args], env=env, stdin=subprocess.DEVNULL,
                                     stdout=self.log, stderr=subprocess.STDOUT,
                                     preexec_fn=lambda: signal.signal(signal.SIGCHLD,
                                                                      signal.SIG_IGN))
        self.root = wait_until(self._application, "the program on the accessibility bus")

    def _application(self):
        assert self.proc.poll() is None, f"program exited: {self.output()}"
        return next((a for a in pyatspi.Registry.getDesktop(0)
                     if a is not None and a.get_process_id() == self.proc.pid), None)

    def find(self, role, name=None):
        return find(self.root, role, name)

    def type(self, field, text):
        focus(field)  # Qt 6.4 fields have no EditableText: type with key events
        pyatspi.Registry.generateKeyboardEvent(0, text, pyatspi.KEY_STRING)

    def scan(self, port):
        field = self.find("text", "TCP Port")
        self.type(field, str(port))
        wait_until(lambda: field.queryText().getText(0, -1) == str(port), "the typed port")
        press(self.find("push button", "Scan"))

    def wait_status(self, text):
        status = find(self.find("status bar", "Status"), "label")
        wait_until(lambda: status.name == text, repr(text))

    def windows(self):
        # The program's X windows, oldest first.
        return wait_until(lambda: subprocess.run(
            ["xdotool", "search", "--onlyvisible", "--pid", str(self.proc.pid)],
            capture_output=True, text=True).stdout.split(), "the window")

    def keys(self, keys):
        # Pressed in the newest window, as the X server delivers them.
        subprocess.run(["xdotool", "windowfocus", "--sync", self.windows()[-1], "key",
                        "--clearmodifiers", keys], check=True)

    def output(self):
        self.log.seek(0)
        return self.log.read()

    def close(self):
        # Close the window as a user does and return the exit code (the real teardown).
        press(self.find("push button", "Close"))
        try:
            return self.proc.wait(TIMEOUT)
        finally:
            if self.proc.poll() is None:
                self.proc.kill()


# For a window run as another user: leaks are the other tests' business, and the sanitizer's
# suppressions file may be private to root.
SANITIZED = {"ASAN_OPTIONS": "detect_leaks=0", "QT_QUICK_BACKEND": "software"} \
    if "ASAN_OPTIONS" in os.environ else {}


def main():
    if "QUAYMETER_E2E_DISPLAY" not in os.environ:
        read, write = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24",
                                 "-nolisten", "tcp"], pass_fds=(write,),
                                stderr=subprocess.DEVNULL)
        os.close(write)
        display = ":" + os.fdopen(read).readline().strip()
        env = dict(os.environ, DISPLAY=display, QUAYMETER_E2E_DISPLAY=display)
        env.pop("XAUTHORITY", None)  # an outer xvfb-run's cookie does not open ours
        try:
            sys.exit(subprocess.call(["dbus-run-session", "--", sys.executable, *sys.argv],
                                     env=env))
        finally:
            xvfb.send_signal(signal.SIGTERM)
            xvfb.wait()
    global binary
    binary = sys.argv.pop(1)
    unittest.main(verbosity=2, warnings="ignore")  # pyatspi deprecations


binary = None
