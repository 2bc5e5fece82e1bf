"""End-to-end harness: drives a real Qt window through AT-SPI and xdotool.

Each test script calls harness.main(). That gives the script a private X display
(Xvfb -displayfd, so parallel tests never race for a display number) and a private
session bus, because xdotool types into whatever window has focus and AT-SPI lists
every application on the bus: tests sharing either would disturb each other.
"""

import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import warnings

DEFAULT_TIMEOUT = 30.0  # CI has two cores and builds in parallel: be patient, never assert on time
_ISOLATED = "QUAYMETER_E2E_ISOLATED"
_LSOF = shutil.which("lsof") or "/usr/bin/lsof"


class WaitTimeout(AssertionError):
    """A wait ran out; subclassing AssertionError makes unittest report a failure, not an error."""


class ProgramExited(AssertionError):
    """The program under test is gone: waiting for it any longer is pointless."""


def wait_until(predicate, timeout=DEFAULT_TIMEOUT, interval=0.1, message=None):
    """Poll predicate until it returns a truthy value and return that value.

    Exceptions raised by predicate count as "not yet" (the window may be rebuilding
    the very object being looked at); the last one is shown on timeout.
    """
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = predicate()
            if value:
                return value
        except ProgramExited:
            raise
        except Exception as error:  # noqa: BLE001 - retried, then reported
            last_error = error
        if time.monotonic() >= deadline:
            text = message or getattr(predicate, "__name__", "condition")
            if last_error is not None:
                text += f" (last error: {last_error!r})"
            raise WaitTimeout(f"timed out after {timeout:.0f}s waiting for {text}")
        time.sleep(interval)


# --------------------------------------------------------------------------- listeners

def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


_LISTENER_CODE = r"""
import ctypes, signal, socket, sys
ctypes.CDLL(None).prctl(1, signal.SIGKILL)  # die with the test, never linger on the port
if sys.argv[2] == "1":
    signal.signal(signal.SIGTERM, signal.SIG_IGN)
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", int(sys.argv[1])))
s.listen()
print("ready", flush=True)
while True:
    signal.pause()
"""


class Listener:
    """A real process listening on 127.0.0.1:port, as the app will find it with lsof."""

    PYTHON = "/usr/bin/python3"  # exec'd by this name so the kernel (and lsof) call it "python3"

    def __init__(self, port=None, ignore_term=False):
        self.port = port or free_port()
        self.ignore_term = ignore_term
        self._proc = subprocess.Popen(
            [self.PYTHON, "-c", _LISTENER_CODE, str(self.port), "1" if ignore_term else "0"],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, start_new_session=True, text=True)
        if self._proc.stdout.readline().strip() != "ready":
            self.close()
            raise RuntimeError(f"listener could not listen on port {self.port}")
        self._proc.stdout.close()
        # The app will ask lsof; be sure lsof already sees us, and learn the name it shows.
        self.command_name = wait_until(self._lsof_command_name,
                                       message=f"lsof to list PID {self.pid} on {self.port}")

    @property
    def pid(self):
        return self._proc.pid

    def _lsof_command_name(self):
        out = subprocess.run([_LSOF, "-nP", f"-iTCP:{self.port}", "-sTCP:LISTEN"],
                             capture_output=True, text=True).stdout
        for line in out.splitlines()[1:]:
            fields = line.split()
            if len(fields) > 1 and fields[1] == str(self.pid):
                return fields[0]
        return None

    def alive(self):
        return self._proc.poll() is None  # poll() reaps, so a killed listener is not a zombie

    def wait_gone(self, timeout=DEFAULT_TIMEOUT):
        wait_until(lambda: not self.alive(), timeout, message=f"PID {self.pid} to exit")
        return self._proc.returncode

    def close(self):
        if self._proc.poll() is None:
            self._proc.kill()
        self._proc.wait()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


# --------------------------------------------------------------------------- AT-SPI

def _atspi():
    # pyatspi calls deprecated libatspi wrappers; unittest would print a warning per call.
    warnings.filterwarnings("ignore", category=DeprecationWarning, module=r"pyatspi")
    warnings.filterwarnings("ignore", category=ImportWarning)
    import pyatspi  # Debian's python3-pyatspi: only /usr/bin/python3 has it, not a pyenv python
    return pyatspi


def ensure_accessibility_bus():
    """Start the accessibility bus and registry before the app starts.

    Qt only connects to AT-SPI if the bus exists when the window is created; a
    session bus started by dbus-run-session activates it on first use, so touching
    the desktop here is enough.
    """
    _atspi().Registry.getDesktop(0).childCount


def _role_matches(accessible, role):
    if role is None:
        return True
    if isinstance(role, str):
        return accessible.getRoleName() == role
    return accessible.getRole() == role


def _walk(root):
    stack = [root]
    while stack:
        node = stack.pop()
        yield node
        try:
            children = [node.getChildAtIndex(i) for i in range(node.childCount)]
        except Exception:  # noqa: BLE001 - a node vanished while walking; skip it
            continue
        stack.extend(reversed([c for c in children if c is not None]))


def find_all(root, role=None, name=None, showing=True):
    """All descendants of root with this role (name like "push button" or a pyatspi
    ROLE_ constant) and name (a string for equality, or a compiled regex)."""
    found = []
    showing_state = _atspi().STATE_SHOWING
    for node in _walk(root):
        try:
            if not _role_matches(node, role):
                continue
            if name is not None:
                text = node.name or ""
                if isinstance(name, re.Pattern):
                    if not name.search(text):
                        continue
                elif text != name:
                    continue
            if showing and node is not root and not node.getState().contains(showing_state):
                continue
        except Exception:  # noqa: BLE001
            continue
        found.append(node)
    return found


def find(root, role=None, name=None, timeout=DEFAULT_TIMEOUT, showing=True):
    """Wait for the first descendant matching role and name."""
    def first():
        matches = find_all(root, role, name, showing)
        return matches[0] if matches else None
    return wait_until(first, timeout, message=f"{role!r} named {name!r}")


def find_gone(root, role=None, name=None, timeout=DEFAULT_TIMEOUT):
    wait_until(lambda: not find_all(root, role, name), timeout,
               message=f"{role!r} named {name!r} to disappear")


def text_of(accessible):
    """The text of a field (Text interface) or of a label.

    Qt 6.4 gives a StaticText label a Text interface that reads empty; its text is
    only in the name, so an empty Text falls back to the name.
    """
    try:
        text = accessible.queryText()
        content = text.getText(0, text.characterCount)
    except NotImplementedError:
        content = ""
    return content or accessible.name or ""


def actions(accessible):
    action = accessible.queryAction()
    return [action.getName(i) for i in range(action.nActions)]


def do_action(accessible, names=("Press", "press", "click", "activate")):
    """Run the first action named in names. Qt 6.4 lists "Press" twice on a Button with
    Accessible.onPressAction; the last one is the handler, the first may do nothing."""
    action = accessible.queryAction()
    available = [action.getName(i) for i in range(action.nActions)]
    for wanted in names:
        indices = [i for i, n in enumerate(available) if n == wanted]
        if indices:
            if not action.doAction(indices[-1]):
                raise AssertionError(f"action {wanted!r} refused by {accessible.name!r}")
            return wanted
    raise AssertionError(f"{accessible.name!r} has none of {names}; it has {available}")


def press(accessible):
    return do_action(accessible)


def focus(accessible):
    """Give keyboard focus: Qt exposes a "SetFocus" action; grabFocus is the generic way."""
    try:
        return do_action(accessible, ("SetFocus",))
    except AssertionError:
        return accessible.queryComponent().grabFocus()


def is_enabled(accessible):
    return accessible.getState().contains(_atspi().STATE_ENABLED)


def is_focused(accessible):
    return accessible.getState().contains(_atspi().STATE_FOCUSED)


def set_text(accessible, text, app=None):
    """Replace the text of an editable field.

    Uses the EditableText interface when the field has it. Qt 6.4 Quick fields do
    not (they offer Text and Action only), so then the field is focused through
    AT-SPI and the text typed with xdotool, which needs app to find the window.
    """
    try:
        editable = accessible.queryEditableText()
    except NotImplementedError:
        editable = None
    if editable is not None:
        editable.setTextContents(text)
    else:
        if app is None:
            raise AssertionError("field has no EditableText; pass app= to type instead")
        focus(accessible)
        wait_until(lambda: is_focused(accessible), message="field to take focus")
        app.key("ctrl+a", "BackSpace")
        if text:
            app.type(text)
    wait_until(lambda: text_of(accessible) == text,
               message=f"field text to become {text!r} (is {text_of(accessible)!r})")


# --------------------------------------------------------------------------- the program

class App:
    """The program under test in its own process, with accessibility forced on."""

    def __init__(self, binary, args=(), env=None, timeout=DEFAULT_TIMEOUT):
        ensure_accessibility_bus()
        self._runtime_dir = tempfile.mkdtemp(prefix="e2e-runtime-")  # 0700, as Qt insists
        self._output = tempfile.TemporaryFile(mode="w+")
        full_env = dict(os.environ)
        full_env.update({
            "QT_QPA_PLATFORM": "xcb",  # AT-SPI needs a real platform; run-tests exports offscreen
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",  # no desktop here switches a11y on for us
            "XDG_RUNTIME_DIR": self._runtime_dir,  # else Qt warns on stderr about it
            # Tag every Qt message so qt_messages() finds them among the program's own output.
            "QT_MESSAGE_PATTERN": "[qt-%{type}] %{if-category}%{category}: %{endif}%{message}",
        })
        full_env.update(env or {})
        self.proc = subprocess.Popen([binary, *args], env=full_env, stdin=subprocess.DEVNULL,
                                     stdout=self._output, stderr=subprocess.STDOUT)
        self.pid = self.proc.pid
        try:
            self.root = wait_until(self._find_application, timeout,
                                   message=f"PID {self.pid} on the accessibility bus")
            self.window = wait_until(lambda: find_all(self.root, "frame"), timeout,
                                     message="the application's window")[0]
            self.window_id = wait_until(self._x_window, timeout, message="the X window")
        except BaseException:
            self.close()  # setUp failed, so no cleanup would end the program
            raise

    def _find_application(self):
        if self.proc.poll() is not None:
            raise ProgramExited(f"program exited with {self.proc.returncode}:\n{self.output()}")
        for app in _atspi().Registry.getDesktop(0):
            if app is not None and app.get_process_id() == self.pid:
                return app
        return None

    def _x_window(self):
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.pid)],
                             capture_output=True, text=True).stdout.split()
        return out[-1] if out else None

    # Finding things inside the window ---------------------------------------
    def find(self, role=None, name=None, timeout=DEFAULT_TIMEOUT, showing=True):
        return find(self.root, role, name, timeout, showing)

    def find_all(self, role=None, name=None, showing=True):
        return find_all(self.root, role, name, showing)

    def find_gone(self, role=None, name=None, timeout=DEFAULT_TIMEOUT):
        find_gone(self.root, role, name, timeout)

    def wait_text(self, pattern, role="label", timeout=DEFAULT_TIMEOUT):
        """Wait for a visible text (by default a StaticText label) equal to or matching pattern."""
        return self.find(role, pattern, timeout)

    def set_text(self, accessible, text):
        set_text(accessible, text, app=self)

    # Keyboard, through the X server like a user ------------------------------
    def _xdotool(self, *args):
        # No window manager: X focus would follow the pointer, so set both to our window.
        # Events go through XTEST (no --window), as Qt may ignore synthetic XSendEvent keys.
        subprocess.run(["xdotool", "mousemove", "--window", self.window_id, "5", "5"], check=True)
        subprocess.run(["xdotool", "windowfocus", "--sync", self.window_id], check=True)
        subprocess.run(["xdotool", *args], check=True)

    def type(self, text):
        self._xdotool("type", "--delay", "30", text)

    def key(self, *keys):
        """Press keys in order, e.g. key("Return"), key("ctrl+a", "BackSpace"), key("Escape")."""
        self._xdotool("key", "--delay", "30", *keys)

    # Lifetime ------------------------------------------------------------------
    def output(self):
        if self._output.closed:
            return self._final_output
        self._output.flush()
        self._output.seek(0)
        return self._output.read()

    def qt_messages(self, kinds=("warning", "critical", "fatal")):
        """Qt's and QML's diagnostics of these kinds printed so far ("debug", "info" too)."""
        tags = tuple(f"[qt-{kind}] " for kind in kinds)
        return [line for line in self.output().splitlines() if line.startswith(tags)]

    def close_window(self, timeout=DEFAULT_TIMEOUT):
        """Close the window as a window manager would (WM_DELETE_WINDOW), wait for the
        program to exit and return its exit code: exercises the real shutdown path."""
        _send_wm_delete(int(self.window_id))
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise WaitTimeout(f"program still running {timeout:.0f}s after its window was closed")

    def running(self):
        return self.proc.poll() is None

    def close(self):
        if self._output.closed:
            return
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        shutil.rmtree(self._runtime_dir, ignore_errors=True)
        self._final_output = self.output()
        self._output.close()


def _send_wm_delete(window):
    """xdotool 3.2016 has no windowquit and there is no window manager: speak Xlib directly."""
    import ctypes
    xlib = ctypes.CDLL("libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XInternAtom.restype = ctypes.c_ulong
    xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                ctypes.c_void_p]
    xlib.XFlush.argtypes = [ctypes.c_void_p]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                    ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                    ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5),
                    ("pad", ctypes.c_long * 12)]  # XEvent is 24 longs

    display = xlib.XOpenDisplay(None)
    if not display:
        raise RuntimeError("cannot open the X display")
    try:
        event = ClientMessage(type=33, window=window, format=32,  # 33: ClientMessage
                              message_type=xlib.XInternAtom(display, b"WM_PROTOCOLS", 0))
        event.data[0] = xlib.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
        event.data[1] = 0  # CurrentTime
        xlib.XSendEvent(display, window, 0, 0, ctypes.byref(event))
        xlib.XFlush(display)
    finally:
        xlib.XCloseDisplay(display)


# --------------------------------------------------------------------------- entry point

def _start_xvfb():
    read_fd, write_fd = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x1024x24",
                             "-nolisten", "tcp"], pass_fds=(write_fd,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_fd)
    with os.fdopen(read_fd) as pipe:
        number = pipe.readline().strip()
    if not number:
        xvfb.kill()
        raise RuntimeError("Xvfb did not start")
    return xvfb, ":" + number


def main(argv=None):
    """Run the calling script's unittest tests on a private display and session bus.

    Usage: test_x.py PATH_TO_BINARY [unittest args]; the binary is in sys.argv[1]
    afterwards as harness.binary().
    """
    argv = list(sys.argv if argv is None else argv)
    if os.environ.get(_ISOLATED) != "1":
        xvfb, display = _start_xvfb()
        env = dict(os.environ, DISPLAY=display, **{_ISOLATED: "1"})
        env.pop("XAUTHORITY", None)  # our Xvfb has no auth; an outer xvfb-run's cookie would not match
        try:
            code = subprocess.call(["dbus-run-session", "--", sys.executable, *argv], env=env)
        finally:
            xvfb.terminate()
            xvfb.wait()
        sys.exit(code)
    global _binary
    _binary = argv[1] if len(argv) > 1 else None
    program = unittest.main(argv=[argv[0], *argv[2:]], verbosity=2, exit=False)
    result = program.result
    if not result.wasSuccessful():
        sys.exit(1)
    # 77 is CTest's SKIP_RETURN_CODE here: a file whose every case skipped shows as skipped.
    sys.exit(77 if result.testsRun and len(result.skipped) == result.testsRun else 0)


_binary = None


def binary():
    if not _binary or not os.access(_binary, os.X_OK):
        raise AssertionError(f"program under test not given or not executable: {_binary!r}")
    return _binary
