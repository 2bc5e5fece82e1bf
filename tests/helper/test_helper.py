#!/usr/bin/env python3
# The administrator helper as pkexec runs it, against real processes: it runs only its two
# operations, and signals only a true listener of this system, the one the window listed. As root
# (CI runs as root), a hostile requester's tries each end with the helper's refusal and nothing
# signalled; PID 1 is only ever that of a PID namespace of the test's own.
# Usage: test_helper.py HELPER PAUSED_HELPER

import json, os, re, signal, socket, subprocess, sys, unittest  # noqa: E401

PY = "/usr/bin/python3"
# Ignores TERM, listens on a port the kernel picks and prints it; or given a descriptor number,
# keeps the one descriptor it then receives on that unix socket.
LISTENER = """import signal, socket, sys
signal.signal(signal.SIGTERM, signal.SIG_IGN)
if sys.argv[1].isdigit():
    print(0, flush=True); socket.recv_fds(socket.socket(fileno=int(sys.argv[1])), 1, 1); print(1)
else:
    s = socket.create_server((sys.argv[1], 0)); print(s.getsockname()[1])
sys.stdout.flush(), sys.stdin.read()
"""


def start_time(pid):
    return open(f"/proc/{pid}/stat").read().rpartition(")")[2].split()[19]


def listener(*wrapper, argument="127.0.0.1", **kwargs):
    process = subprocess.Popen([*wrapper, PY, "-c", LISTENER, argument], text=True,
                               stdin=subprocess.PIPE, stdout=subprocess.PIPE, **kwargs)
    return process, process.stdout.readline().strip()


def helper(*argv, via=()):
    done = subprocess.run([*via, HELPER, *map(str, argv)], capture_output=True, text=True)
    return [done.returncode, done.stderr]


def kill(pid, port, start=None, via=()):
    return helper("signal", "KILL", pid, port, start or start_time(pid), via=via)


def race(paused):
    # PID 1 of a PID namespace of its own, where nothing else takes the PID it hands on.
    target, port = listener()
    stopped = subprocess.Popen([paused, "signal", "KILL", str(target.pid), port,
                                start_time(target.pid)], stderr=subprocess.PIPE, text=True)
    assert os.WIFSTOPPED(os.waitpid(stopped.pid, os.WUNTRACED)[1])  # checked, not yet signalled
    target.kill(), target.wait()
    with open("/proc/sys/kernel/ns_last_pid", "w") as last:
        last.write(str(target.pid - 1))
    victim = subprocess.Popen(["sleep", "1"])  # ends by itself with 0 unless signalled
    assert victim.pid == target.pid
    os.kill(stopped.pid, signal.SIGCONT)
    print(json.dumps([stopped.wait(), stopped.stderr.read(), victim.wait()]))


class Helper(unittest.TestCase):
    def start(self, *wrapper, **kwargs):
        process, port = listener(*wrapper, **kwargs)
        self.addCleanup(lambda: process.kill() or process.wait())
        return process, port, process.pid

    def assertRefused(self, outcome, line, alive=None):
        self.assertEqual(outcome, [125, f"quaymeter-helper: {line}\n"])
        self.assertIsNone(alive and alive.poll(), "the helper signalled it")

    # Then TERM goes and is ignored, KILL goes and ends the listener.
    def test_refuses_all_but_its_two_operations(self):
        process, port, pid = self.start()
        usage = "usage: quaymeter-helper list PORT | quaymeter-helper signal TERM|KILL PID PORT " \
                "START"
        rows = {usage: ["", "LIST {port}", "list {port} {port}", "signal KILL {pid} {port}"],
                "not a TCP port": ["list " + p for p in ("0", "65536", "080", "+80", "9" * 11)],
                "not a PID": [f"signal KILL {p} {{port}} {{start}}"
                              for p in ("0", "-1", "01", "2147483648")],
                "not a start time": ["signal KILL {pid} {port} " + s
                                     for s in ("0", "-1", "0{start}", "9" * 19)],
                "not a signal it sends": ["signal HUP {pid} {port} {start}"],
                "PID {pid} is not listening on TCP port {other}.": [
                    "signal KILL {pid} {other} {start}"],
                "PID 2147483647 is not running.": ["signal TERM 2147483647 {port} 1"],
                # Another start time: the PID named another process when the window listed it.
                "PID {pid} is not the process that was listed.": [
                    "signal KILL {pid} {port} 1{start}"]}
        fill = dict(pid=pid, port=port, other=int(port) % 65535 + 1, start=start_time(pid))
        for line, wrongs in rows.items():
            for arguments in wrongs:
                with self.subTest(arguments):
                    self.assertRefused(helper(*arguments.format(**fill).split()),
                                       line.format(**fill), process)
        for name in "TERM", "KILL":
            self.assertEqual(helper("signal", name, pid, port, fill["start"]), [0, ""])
        self.assertEqual(process.wait(), -signal.SIGKILL)

    @unittest.skipUnless(os.geteuid() == 0, "other users' processes and namespaces need root")
    def test_hostile_requester(self):
        ours, theirs = socket.socketpair()
        nobody, _, held = self.start("setpriv", "--reuid=nobody", "--regid=nogroup",
                                     "--clear-groups", argument=str(theirs.fileno()),
                                     pass_fds=[theirs.fileno()])
        with socket.create_server(("127.0.0.1", 0)) as handed:
            # This test listens, and asks through a shell that waits: the helper's grandparent.
            me, port = os.getpid(), handed.getsockname()[1]
            self.assertRefused(kill(me, port, via=("/bin/sh", "-c", '"$@"; exit $?', "sh")),
                               f"PID {me} is the program that asked, or one of its ancestors.")
            socket.send_fds(ours, [b"x"], [handed.fileno()])  # then held by nobody alone
            nobody.stdout.readline()
        self.assertRefused(kill(held, port), f"PID {held} holds a socket listening on TCP port "
                           f"{port} that another user opened.", nobody)
        process, port, pid = self.start("unshare", "--net", argument="")
        self.assertRefused(kill(pid, port), f"PID {pid} is in another network namespace.", process)
        unshare, port, _ = self.start("unshare", "--pid", "--fork", "--kill-child", "--mount-proc")
        pid = open(f"/proc/{unshare.pid}/task/{unshare.pid}/children").read().split()[0]
        self.assertRefused(kill(pid, port), f"PID {pid} is the init process of a PID namespace.",
                           unshare)
        # Run inside that namespace, where PID 1 is the test's listener, never this machine's init.
        self.assertNotEqual(os.readlink(f"/proc/{pid}/ns/pid"), os.readlink("/proc/self/ns/pid"))
        self.assertRefused(kill(1, port, start_time(pid), ("nsenter", "-t", pid, "-p", "-m")),
                           "PID 1 is the system's init process.", unshare)
        done = subprocess.run(["unshare", "--pid", "--fork", "--kill-child", "--mount-proc", PY,
                               __file__, "--race", PAUSED], capture_output=True, text=True)
        code, error, victim = json.loads(done.stdout)
        self.assertEqual(victim, 0, "the process that took the PID was signalled")
        self.assertRefused([code, re.sub(r"\d+", "N", error)], "PID N is not running.")


if __name__ == "__main__":
    if sys.argv[1] == "--race":
        sys.exit(race(sys.argv[2]))
    HELPER, PAUSED = sys.argv[1:3]
    unittest.main(verbosity=2, argv=sys.argv[:1])
