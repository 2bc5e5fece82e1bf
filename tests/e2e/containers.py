# Real container runtimes for the end-to-end tests, started by hand as root and torn down by PID:
# dockerd (with its port proxy or without) in the cgroup a systemd host gives it, Podman as root,
# and Podman rootless as a user made for the test. Containers run busybox httpd from an image
# imported offline from busybox-static and publish on 127.0.0.1 only; nothing here ever connects
# to a container or its addresses. Whatever a runtime changes on the host goes back as it was.

import contextlib, os, pwd, shutil, signal, socket, subprocess, tempfile, time  # noqa: E401

from harness import wait_until

IMAGE = "qm-busybox"
DOCKER = "/usr/bin/docker"  # Debian's client; /usr/local/bin/docker (v28) also talks to 20.10
CGROUP2 = next(line.split()[1] for line in open("/proc/mounts") if line.split()[2] == "cgroup2")
# This machine's limits are too high for Podman's containers to start.
CONF = '[engine]\ncgroup_manager = "cgroupfs"\nevents_logger = "file"\n[containers]\n' \
       'default_ulimits = ["nofile=1024:1024", "nproc=1024:1024"]\n'


def run(*command, env=None, check=True, stdin=subprocess.DEVNULL, **kwargs):
    done = subprocess.run(command, capture_output=True, text=True, stdin=stdin, timeout=120,
                          env={**os.environ, **(env or {})}, **kwargs)
    assert done.returncode == 0 or not check, f"{command}: {done.stdout}{done.stderr}"
    return done


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def listener(port):
    # PID of the process listening on 127.0.0.1:port, as lsof sees it (None when none).
    out = run("lsof", "-nP", "-t", f"-iTCP@127.0.0.1:{port}", "-sTCP:LISTEN", check=False).stdout
    return int(out.split()[0]) if out.split() else None


def gone(pid):
    with contextlib.suppress(OSError):
        return open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()[0] == "Z"
    return True


def stop_pids(match):
    # TERM (KILL after 30 s) every process for which match(pid) holds, never PID 1, until none is
    # left: some start others as they go.
    def matching(pid):
        with contextlib.suppress(OSError):
            return pid not in (1, os.getpid()) and not gone(pid) and match(pid)
    deadline = time.monotonic() + 30
    while pids := [int(n) for n in os.listdir("/proc") if n.isdigit() and matching(int(n))]:
        for pid in pids:
            with contextlib.suppress(OSError):
                os.kill(pid, signal.SIGTERM if time.monotonic() < deadline else signal.SIGKILL)
        time.sleep(0.1)


def rmdir(folder):
    # A cgroup stays busy a moment after its last process has exited.
    wait_until(lambda: os.rmdir(folder) or True, f"{folder} removed", 10)


def cmdline_has(text):
    return lambda pid: text in open(f"/proc/{pid}/cmdline").read()


@contextlib.contextmanager
def host_state():
    # The host's iptables tables, IPv4 forwarding, and the bridges, cgroup folders and state the
    # runtimes make outside their work folders, put back as they were.
    tables = {tool: run(tool + "-save").stdout for tool in ("iptables", "ip6tables")}
    forward = open("/proc/sys/net/ipv4/ip_forward").read()
    links = set(os.listdir("/sys/class/net"))
    cgroups = {root: set(os.listdir(root)) for root in
               (os.path.join("/sys/fs/cgroup", d) for d in os.listdir("/sys/fs/cgroup"))
               if os.path.isfile(os.path.join(root, "cgroup.procs"))}
    paths = ["/var/lib/cni", "/var/lib/containers", "/etc/cni/net.d/cni.lock", "/run/libpod",
             "/run/containers"]
    paths = [p for p in paths if not os.path.lexists(p)]
    try:
        yield
    finally:
        for link in set(os.listdir("/sys/class/net")) - links:
            if link.startswith(("docker", "cni-", "veth", "br-")):
                    run("ip", "link", "delete", link, check=False)
        for tool, saved in tables.items():  # a table first made by a runtime goes back to empty
            blank = {"filter": "INPUT FORWARD OUTPUT", "nat": "PREROUTING INPUT OUTPUT POSTROUTING"}
            run(tool + "-restore", stdin=None, input=saved + "".join(
                f"*{t}\n" + "".join(f":{c} ACCEPT [0:0]\n" for c in chains.split()) + "COMMIT\n"
                for t, chains in blank.items() if f"*{t}\n" not in saved))
        open("/proc/sys/net/ipv4/ip_forward", "w").write(forward)
        for root, names in cgroups.items():
            for name in {"docker", "libpod_parent", "system.slice"} & set(os.listdir(root)) - names:
                for folder, _, _ in sorted(os.walk(os.path.join(root, name)), reverse=True):
                    rmdir(folder)
        for path in filter(os.path.lexists, paths):
            shutil.rmtree(path) if os.path.isdir(path) else os.remove(path)


class Client:
    # A runtime's command-line tool as one user runs it: command, and the environment it needs;
    # label and image: how the window names the runtime and the image imported.
    label, image = "Podman", f"localhost/{IMAGE}:latest"

    def __init__(self, command, env=None):
        self.command, self.env = command, env or {}

    def cli(self, *args, **kwargs):
        return run(*self.command, *args, env=self.env, **kwargs)

    def start_web(self, name, port=None, network="bridge"):
        # Its full ID. httpd is the container's PID 1, which ignores TERM: stop kills it after a
        # second, not ten.
        publish = ["-p", f"127.0.0.1:{port}:80"] if port else [f"--network={network}"]
        return self.cli("run", "-d", "--stop-timeout=1", "--name", name, *publish, IMAGE,
                        "/bin/busybox", "httpd", "-f", "-p", "80").stdout.strip()

    def running(self, ident):
        done = self.cli("inspect", "--format", "{{.State.Running}}", ident, check=False)
        return done.stdout.strip() == "true"


class Runtime(Client, contextlib.ExitStack):
    # One real setup, its image imported. env: what the window and the runtime's own tool need to
    # find it; user: the account to run the window as (None: root).
    user = None

    def __init__(self, name):
        Client.__init__(self, None)
        contextlib.ExitStack.__init__(self)
        self.name = name

    def __enter__(self):
        super().__enter__()
        self.work = tempfile.mkdtemp(prefix=f"quaymeter-{self.name}-")
        os.chmod(self.work, 0o755)
        self.callback(shutil.rmtree, self.work, ignore_errors=True)
        self.callback(lambda: [run("umount", "-l", m, check=False) for m in reversed(
            [line.split()[1] for line in open("/proc/self/mounts")]) if m.startswith(self.work)])
        self.enter_context(host_state())
        try:
            self.start()
            self.callback(lambda: self.cli(
                "rm", "-f", *self.cli("ps", "-aq", check=False).stdout.split(), check=False))
            os.makedirs(f"{self.work}/rootfs/bin")
            shutil.copy("/bin/busybox", f"{self.work}/rootfs/bin")
            tar = subprocess.Popen(["tar", "-C", f"{self.work}/rootfs", "-c", "."],
                                   stdout=subprocess.PIPE)
            self.cli("import", "-", IMAGE, stdin=tar.stdout)
        except BaseException:
            self.close()
            raise
        return self


class Docker(Runtime):
    # dockerd by hand with its own roots, socket and pid file, placed first in
    # system.slice/docker.service so it and its proxies sit where systemd puts them.
    label, image = "Docker", IMAGE

    def __init__(self, proxy=True):
        super().__init__("docker" if proxy else "docker-noproxy")
        self.proxy = proxy

    def start(self):
        self.command, sock = [DOCKER], f"{self.work}/docker.sock"
        self.env = {"DOCKER_HOST": f"unix://{sock}"}
        cgroup = f"{CGROUP2}/system.slice/docker.service"
        os.makedirs(os.path.dirname(cgroup), exist_ok=True)  # a new system.slice goes with the host
        os.mkdir(cgroup)  # already there: someone else's daemon
        self.callback(rmdir, cgroup)
        log = self.enter_context(open(f"{self.work}/dockerd.log", "w"))
        self.daemon = subprocess.Popen(
            ["dockerd", "--data-root", f"{self.work}/data", "--exec-root", f"{self.work}/exec",
             "-H", f"unix://{sock}", "--pidfile", f"{self.work}/docker.pid",
             f"--userland-proxy={str(self.proxy).lower()}"], stdin=subprocess.DEVNULL,
            stdout=log, stderr=subprocess.STDOUT,
            preexec_fn=lambda: open(f"{cgroup}/cgroup.procs", "w").write(str(os.getpid())))
        # containerd and its shims go with dockerd; any left behind, by PID.
        self.callback(stop_pids, cmdline_has(self.work))
        self.callback(self.daemon.wait)
        self.callback(stop_pids, lambda pid: pid == self.daemon.pid)
        wait_until(lambda: self.daemon.poll() is not None or
                   self.cli("version", check=False).returncode == 0, "dockerd", 60)
        assert self.daemon.poll() is None, open(log.name).read()


class Podman(Runtime):
    # Podman as root, or rootless as a fresh user with subordinate IDs and /dev/net/tun.

    def __init__(self, rootless=False):
        super().__init__("podman-rootless" if rootless else "podman")
        self.rootless = rootless

    def start(self):
        # As root, nothing in /run/libpod, where every other test's window would see Podman.
        open(f"{self.work}/containers.conf", "w").write(CONF if self.rootless else CONF.replace(
            "[engine]\n", f'[engine]\ntmp_dir = "{self.work}/libpod"\n'))
        self.env, self.command = {"CONTAINERS_CONF": f"{self.work}/containers.conf"}, ["podman"]
        if not self.rootless:
            open(f"{self.work}/storage.conf", "w").write(
                f'[storage]\ndriver = "overlay"\ngraphroot = "{self.work}/root"\n'
                f'runroot = "{self.work}/run"\n')
            self.env["CONTAINERS_STORAGE_CONF"] = f"{self.work}/storage.conf"
            return self.callback(stop_pids, cmdline_has(self.work))  # conmon
        self.user, home, runtime = "qm-rootless", f"{self.work}/home", f"{self.work}/run"
        run("useradd", "--create-home", "--home-dir", home, "--shell", "/usr/sbin/nologin",
            self.user)
        self.callback(run, "userdel", "--remove", self.user, check=False)
        account = pwd.getpwnam(self.user)
        if not os.path.exists("/etc/subuid") or f"\n{self.user}:" not in "\n" + open(
                "/etc/subuid").read():
            run("usermod", "--add-subuids", "400000-465535", "--add-subgids", "400000-465535",
                self.user)
        os.mkdir(runtime, 0o700)
        os.chown(runtime, account.pw_uid, account.pw_gid)
        self.callback(os.chmod, "/dev/net/tun", os.stat("/dev/net/tun").st_mode & 0o777)
        os.chmod("/dev/net/tun", 0o666)
        self.env.update(HOME=home, XDG_RUNTIME_DIR=runtime, PATH="/usr/sbin:/usr/bin:/sbin:/bin")
        self.command = ["setpriv", f"--reuid={self.user}", f"--regid={self.user}",
                        "--init-groups", "env", "-i", *(f"{k}={v}" for k, v in self.env.items()),
                        "podman"]
        # Its pause process, slirp4netns, rootlessport and conmon: every process of the user's.
        self.callback(stop_pids, lambda pid: f"\nUid:\t{account.pw_uid}\t" in open(
            f"/proc/{pid}/status").read())  # not /proc/PID's owner: root's when not dumpable
