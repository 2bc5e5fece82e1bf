#!/usr/bin/env python3
# Listeners of root, met by ordinary users of the installed program with a real polkit: one user
# whom the rules grant administrator rights, one whom they refuse. As root this script installs the
# build into a temporary prefix (its polkit actions go where polkitd reads them whatever the
# prefix), puts a rules file in place, starts a system bus and polkitd unless they run, starts
# root's listeners, and runs itself again as each user, who drives the window through the
# accessibility bus. Everything it started or put in place goes again. Needs root; skipped
# otherwise.
# Usage: test_administrator.py BUILD_DIR   (CTest sets QUAYMETER_APP_ID)

import os, pwd, shutil, signal, subprocess, sys, tempfile, unittest  # noqa: E401

import harness
from harness import find, press

APP_ID = os.environ.get("QUAYMETER_APP_ID")
ACTIONS = f"/usr/share/polkit-1/actions/{APP_ID}.policy"
RULES = "/etc/polkit-1/rules.d/49-quaymeter-test.rules"
GRANTED, REFUSED = "qm-test-granted", "qm-test-refused"


def run(*command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


@unittest.skipUnless("QM_USER" in os.environ, "the user's side")
class AsUser(unittest.TestCase):
    def test_scan_as_administrator_then_kill(self):
        port, pid = os.environ["QM_LISTENER"].split(":")
        app = harness.App(harness.binary)
        # Not dumpable, so no other program of the user's attaches to it and reuses its grant.
        self.assertEqual(os.stat(f"/proc/{app.proc.pid}/mem").st_uid, 0)
        app.scan(port)
        app.wait_status(f"User root listens on 127.0.0.1:{port}. "
                        "Scan as Administrator to see the process.")
        press(app.find("push button", "Scan as Administrator"))
        if os.environ["QM_USER"] == REFUSED:
            app.wait_status("You are not authorized to do this as administrator, so nothing ran.")
            app.find("push button", "Scan as Administrator")  # the way forward stays
        else:
            app.wait_status(f"Found python3 PID {pid} listening on port {port}.")
            press(find(app.find("panel", f"python3 PID {pid}"), "push button", "Kill Process"))
            press(find(app.find("dialog", "Kill process?"), "push button", "Kill Process"))
            app.wait_status(f"Port {port} is available.")
        self.assertEqual(app.close(), 0)


@unittest.skipIf("QM_USER" in os.environ, "root's side")
class AdministratorThroughPolkit(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="quaymeter-admin-")
        self.addCleanup(shutil.rmtree, self.work)
        os.chmod(self.work, 0o755)
        self.prefix = os.path.join(self.work, "prefix")
        self.addCleanup(lambda: os.path.exists(ACTIONS) and os.remove(ACTIONS))
        self.assertEqual(run("cmake", "--install", sys.argv[1], "--prefix", self.prefix)
                         .returncode, 0)
        # The build tree may be private to root: each user runs a copy of the scripts.
        for script in harness.__file__, __file__:
            shutil.copy(script, self.work)
        for user in GRANTED, REFUSED:
            run("useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", user)
            self.addCleanup(run, "userdel", user)
        with open(RULES, "w") as rules:  # on our actions, YES for one user and NO for the other
            rules.write(f'polkit.addRule(function(action, subject) {{ if (action.id.indexOf('
                        f'"{APP_ID}.") == 0) return {{"{GRANTED}": polkit.Result.YES, '
                        f'"{REFUSED}": polkit.Result.NO}}[subject.user]; }});\n')
        self.addCleanup(os.remove, RULES)
        if run("dbus-send", "--system", "--dest=org.freedesktop.DBus", "/",
               "org.freedesktop.DBus.Peer.Ping").returncode != 0:
            os.makedirs("/run/dbus", exist_ok=True)
            # Left by a bus that is gone (it answered no ping), these would keep a new one out.
            self.addCleanup(run, "rm", "-f", "/run/dbus/pid", "/run/dbus/system_bus_socket")
            run("rm", "-f", "/run/dbus/pid", "/run/dbus/system_bus_socket")
            self.addCleanup(os.kill, int(run("dbus-daemon", "--system", "--fork", "--print-pid")
                                    .stdout), signal.SIGTERM)
        if run("pkaction", "--action-id", "org.freedesktop.policykit.exec").returncode != 0:
            polkitd = subprocess.Popen(["/usr/lib/polkit-1/polkitd", "--no-debug"],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.addCleanup(lambda: polkitd.terminate() or polkitd.wait())
        harness.wait_until(lambda: run("pkaction", "--action-id", f"{APP_ID}.list-listeners")
                           .returncode == 0, "polkitd to know our actions")

    def window_as(self, user, listener):
        account, home = pwd.getpwnam(user), tempfile.mkdtemp(dir=self.work)
        os.chown(home, account.pw_uid, account.pw_gid)
        done = run("setpriv", f"--reuid={user}", f"--regid={user}", "--init-groups",
                   sys.executable, os.path.join(self.work, os.path.basename(__file__)),
                   f"{self.prefix}/bin/quaymeter", cwd=home, env={
                       **harness.SANITIZED, "PATH": os.environ["PATH"], "HOME": home, "QM_USER": user,
                       "QM_LISTENER": f"{listener.port}:{listener.pid}"})
        self.assertEqual(done.returncode, 0, f"{user}'s window: {done.stdout}{done.stderr}")

    def test_refused_user_signals_nothing_granted_user_kills(self):
        with harness.Listener() as refused, harness.Listener() as killed:
            self.window_as(REFUSED, refused)
            self.window_as(GRANTED, killed)
            self.assertEqual(killed.wait(harness.TIMEOUT), -signal.SIGTERM)
            self.assertIsNone(refused.poll(), "a refused user's listener was signalled")


if __name__ == "__main__":
    if "QM_USER" in os.environ:
        harness.main()  # the user's side, run by the root side below
    if os.geteuid() != 0:
        sys.exit(print("SKIPPED: installing a polkit action and users needs root (CI runs as root)")
                 or 77)
    if os.path.exists(ACTIONS) or os.path.exists(RULES):
        sys.exit(print(f"SKIPPED: {ACTIONS} or {RULES} is in place, and this test removes it")
                 or 77)
    unittest.main(verbosity=2, argv=sys.argv[:1])
