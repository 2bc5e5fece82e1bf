#!/usr/bin/env python3
# The Debian package, from the built tree to the installed program: build it, check it as a
# distribution would, install it, drive the INSTALLED program on X11 and under a Wayland
# compositor, and remove it again whatever happens. Needs root; skipped otherwise.
# Usage: test_package.py /usr/bin/quaymeter   (CTest sets QUAYMETER_BUILD_DIR, QUAYMETER_APP_ID)

import glob, os, re, subprocess, sys, tempfile, unittest  # noqa: E401

import harness
from harness import App, Listener, focus, pyatspi, wait_until

APP_ID = os.environ.get("QUAYMETER_APP_ID")
ENTRY = f"/usr/share/applications/{APP_ID}.desktop"
METAINFO = f"/usr/share/metainfo/{APP_ID}.metainfo.xml"


def run(*command):
    done = subprocess.run(command, capture_output=True, text=True)
    assert done.returncode == 0, f"{command} exited {done.returncode}: {done.stdout}{done.stderr}"
    return done.stdout


def setUpModule():
    packages = tempfile.TemporaryDirectory()
    unittest.addModuleCleanup(packages.cleanup)
    unittest.addModuleCleanup(run, "dpkg", "--purge", "quaymeter")  # also after a failed install
    run("cpack", "-G", "DEB", "-B", packages.name,
        "--config", os.path.join(os.environ["QUAYMETER_BUILD_DIR"], "CPackConfig.cmake"))
    deb, = glob.glob(os.path.join(packages.name, "quaymeter_*_*.deb"))
    run("lintian", "--fail-on", "error,warning", deb)
    run("dpkg", "--install", deb)


def wait_found(app, listener):
    app.wait_status(f"Found python3 PID {listener.pid} listening on port {listener.port}.")


class InstalledProgram(unittest.TestCase):
    def test_desktop_entry_and_metainfo_validate(self):
        self.assertEqual(run("desktop-file-validate", ENTRY), "")
        self.assertNotRegex(run("appstreamcli", "validate", "--no-net", METAINFO), r"(?m)^[EW]:")

    def test_polkit_actions_name_the_installed_helper(self):
        helper = "/usr/libexec/quaymeter/quaymeter-helper"
        policy = open(f"/usr/share/polkit-1/actions/{APP_ID}.policy").read()
        self.assertEqual(re.findall(r'exec\.path">(.*?)<', policy), [helper, helper])
        # Local active sessions only; a signal is asked for every time, never a kept answer.
        self.assertEqual(re.findall(r"<allow_\w+>(\w+)<", policy),
                         ["no", "no", "auth_admin_keep", "no", "no", "auth_admin"])
        listed = subprocess.run([helper, "list", "1"], capture_output=True, text=True)
        self.assertEqual((listed.returncode, listed.stdout, listed.stderr), (1, "", ""))  # port 1 free

    def test_x11_argument_typed_scan_window_class_and_icon(self):
        with Listener() as listener:
            app = App(harness.binary, ["70000"])
            field = app.find("text", "TCP Port")
            # A wrong argument is typed in as it is and judged like typed text.
            app.wait_status("Port must be between 1 and 65535.")
            self.assertEqual(field.queryText().getText(0, -1), "70000")
            focus(field)
            # One stream of keys, so Return comes after the digits: five BackSpaces, port, Return.
            for key in [0xFF08] * 5 + [ord(digit) for digit in str(listener.port)] + [0xFF0D]:
                pyatspi.Registry.generateKeyboardEvent(key, None, pyatspi.KEY_SYM)
            wait_found(app, listener)
            window = run("xdotool", "search", "--onlyvisible", "--pid", str(app.proc.pid)).split()
            wm_class = re.findall(r'"(.*?)"', run("xprop", "-id", window[-1], "WM_CLASS"))[-1]
            self.assertIn(f"\nStartupWMClass={wm_class}\n", open(ENTRY).read())
            self.assertIn("Icon (", run("xprop", "-id", window[-1], "_NET_WM_ICON"))
            self.assertEqual(app.close(), 0)
            self.assertEqual(app.output().strip(), "")

    def test_wayland_port_argument_scans_at_once(self):
        runtime = tempfile.TemporaryDirectory()
        weston = subprocess.Popen(["weston", "--backend=x11-backend.so", "--socket=quaymeter"],
                                  env={**os.environ, "XDG_RUNTIME_DIR": runtime.name},
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for cleanup in runtime.cleanup, weston.wait, weston.terminate:
            self.addCleanup(cleanup)
        socket = os.path.join(runtime.name, "quaymeter")
        wait_until(lambda: os.path.exists(socket), "weston's socket")
        with Listener() as listener:
            app = App(harness.binary, [str(listener.port)], {
                "QT_QPA_PLATFORM": "wayland", "WAYLAND_DISPLAY": socket, "WAYLAND_DEBUG": "client"})
            wait_found(app, listener)
            self.assertEqual(app.close(), 0)
        # The protocol trace names the app id; any other line would be a message from Qt.
        self.assertEqual(re.findall(r'set_app_id\("(.*)"\)', app.output()), [APP_ID])
        self.assertEqual([line for line in app.output().splitlines() if line[:1] != "["], [])


if __name__ == "__main__":
    if os.geteuid() != 0:
        sys.exit(print("SKIPPED: installing the package needs root (CI runs as root)") or 77)
    if subprocess.run(["dpkg", "--status", "quaymeter"], capture_output=True).returncode == 0:
        sys.exit(print("SKIPPED: a quaymeter package is installed, and this test removes it") or 77)
    harness.main()
