# Real container runtimes for the end-to-end tests, started by hand as root and torn down by PID:
# dockerd (with its port proxy or without) in the cgroup a systemd host gives it, Podman as root,
# and Podman rootless as a user made for the test. Containers run busybox httpd from an image
# imported offline from busybox-static and publish on 127.0.0.1 only; nothing here ever connects
# to a container or its addresses. Whatever a runtime changes on the host goes back as it was.

import contextlib, os, pwd, shutil, signal, socket, subprocess, tempfile, time  # noqa: E401

IMAGE = "qm-busybox"
HTTPD = ["/bin/busybox", "httpd", "-f", "-p", "80"]
DOCKER = "/usr/bin/docker"  # Debian's client; /usr/local/bin/docker (v28) also talks to 20.10
CGROUP2 = next(line.split()[1] for line in open("/proc/mounts") if line.split()[2] == "cgroup2")
_CONF = """[engine]
cgroup_manager = "cgroupfs"
events_logger = "file"
[containers]
default_ulimits = ["nofile=1024:1024", "nproc=1024:1024"]
"""


def run(*command, env=None, check=True, **kwargs):
    done = subprocess.run(command, capture_output=True, text=True, stdin=kwargs.pop(
        "stdin", subprocess.DEVNULL), env={**os.environ, **(env or {})}, timeout=120, **kwargs)
    if check and done.returncode != 0:
        raise AssertionError(f"{command}: {done.returncode} {done.stdout}{done.stderr}")
    return done


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def listener(port):
    # PID of the process listening on 127.0.0.1:port, as lsof sees it (None when none).
    out = run("lsof", "-nP", "-t", f"-iTCP@127.0.0.1:{port}", "-sTCP:LISTEN", check=False).stdout
    return int(out.split()[0]) if out.split() else None


def wait_for(predicate, message, timeout=60.0):
    deadline = time.monotonic() + timeout
    while not (value := predicate()):
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {message}")
        time.sleep(0.1)
    return value


def stop_pid(pid, timeout=30.0):
    # TERM, then KILL, one PID this harness started or found under its own work folder.
    with contextlib.suppress(ProcessLookupError):
        os.kill(pid, signal.SIGTERM)
        deadline = time.monotonic() + timeout
        while os.path.exists(f"/proc/{pid}") and _state(pid) != "Z":
            if time.monotonic() > deadline:
                os.kill(pid, signal.SIGKILL)
            time.sleep(0.05)


def _state(pid):
    with contextlib.suppress(OSError):
        return open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()[0]


def _pids(match):
    # Processes for which match(pid) holds, never this machine's PID 1 nor this process.
    found = []
    for name in os.listdir("/proc"):
        if name.isdigit() and int(name) not in (1, os.getpid()):
            with contextlib.suppress(OSError):
                if match(int(name)):
                    found.append(int(name))
    return found


class _HostState:
    # The host's iptables tables, IPv4 forwarding, links, cgroup folders and runtime state files,
    # put back on exit as they were on entry.
    PATHS = ("/var/lib/cni", "/etc/cni/net.d/cni.lock", "/run/libpod", "/run/containers")

    def __enter__(self):
        self.tables = {tool: run(tool + "-save").stdout for tool in ("iptables", "ip6tables")}
        self.forward = open("/proc/sys/net/ipv4/ip_forward").read()
        self.links = set(os.listdir("/sys/class/net"))
        self.cgroups = {root: set(os.listdir(root)) for root in self._cgroup_roots()}
        self.paths = {p for p in self.PATHS if os.path.lexists(p)}
        return self

    @staticmethod
    def _cgroup_roots():
        return [os.path.join("/sys/fs/cgroup", d) for d in os.listdir("/sys/fs/cgroup")
                if os.path.exists(os.path.join("/sys/fs/cgroup", d, "cgroup.procs"))]

    def __exit__(self, *exc):
        for link in set(os.listdir("/sys/class/net")) - self.links:
            run("ip", "link", "delete", link, check=False)
        for tool, saved in self.tables.items():
            blank = {"filter": ("INPUT", "FORWARD", "OUTPUT"),
                     "nat": ("PREROUTING", "INPUT", "OUTPUT", "POSTROUTING")}
            text = saved + "".join(f"*{t}\n" + "".join(f":{c} ACCEPT [0:0]\n" for c in chains)
                                   + "COMMIT\n" for t, chains in blank.items()
                                   if f"*{t}\n" not in saved)
            run(tool + "-restore", input=text, stdin=None)
        with open("/proc/sys/net/ipv4/ip_forward", "w") as forward:
            forward.write(self.forward)
        for root, names in self.cgroups.items():
            for name in set(os.listdir(root)) - names:
                if os.path.isdir(os.path.join(root, name)):
                    for folder, _, _ in sorted(os.walk(os.path.join(root, name)), reverse=True):
                        os.rmdir(folder)
        for path in set(p for p in self.PATHS if os.path.lexists(p)) - self.paths:
            shutil.rmtree(path) if os.path.isdir(path) else os.remove(path)


class Runtime(contextlib.ExitStack):
    # One real setup. env: what the window and the runtime's own tool need to find it; user:
    # the account to run the window as (None: root).
    name = user = None

    def __enter__(self):
        super().__enter__()
        self.work = tempfile.mkdtemp(prefix=f"quaymeter-{self.name}-")
        os.chmod(self.work, 0o755)
        self.callback(shutil.rmtree, self.work, ignore_errors=True)
        self.callback(self._unmount)
        self.enter_context(_HostState())
        self.env = {}
        try:
            self.start()
            self.callback(self.teardown)
            rootfs = os.path.join(self.work, "rootfs")
            os.makedirs(os.path.join(rootfs, "bin"))
            shutil.copy("/bin/busybox", os.path.join(rootfs, "bin"))
            tar = subprocess.Popen(["tar", "-C", rootfs, "-c", "."], stdout=subprocess.PIPE)
            self.cli("import", "-", IMAGE, stdin=tar.stdout)
            assert tar.wait() == 0
        except BaseException:
            self.close()
            raise
        return self

    def _unmount(self):
        mounts = [line.split()[1] for line in open("/proc/self/mounts")]
        for point in reversed([m for m in mounts if m.startswith(self.work)]):
            run("umount", "-l", point, check=False)

    def cli(self, *args, check=True, **kwargs):
        return run(*self.command, *args, env=self.env, check=check, **kwargs)

    @property
    def command(self):
        raise NotImplementedError

    def start_web(self, name, port=None, network=None):
        # A detached httpd container; its full ID.
        publish = ["-p", f"127.0.0.1:{port}:80"] if port else []
        net = [f"--network={network}"] if network else []
        # httpd is the container's PID 1, which ignores TERM: stop kills it after a second, not ten.
        return self.cli("run", "-d", "--stop-timeout=1", "--name", name, *publish, *net, IMAGE,
                        *HTTPD).stdout.strip()

    def running(self, ident):
        done = self.cli("inspect", "--format", "{{.State.Running}}", ident, check=False)
        return done.stdout.strip() == "true"

    def teardown(self):
        ids = self.cli("ps", "-aq", check=False).stdout.split()
        if ids:
            self.cli("rm", "-f", *ids, check=False)


class Docker(Runtime):
    # dockerd by hand with its own roots, socket and pid file, placed first in
    # system.slice/docker.service so it and its proxies sit where systemd puts them.

    def __init__(self, proxy=True):
        super().__init__()
        self.proxy = proxy
        self.name = "docker" if proxy else "docker-noproxy"

    @property
    def command(self):
        return [DOCKER]

    def start(self):
        self.socket = os.path.join(self.work, "docker.sock")
        self.env = {"DOCKER_HOST": f"unix://{self.socket}"}
        self.cgroup = os.path.join(CGROUP2, "system.slice", "docker.service")
        if not os.path.isdir(os.path.dirname(self.cgroup)):
            os.mkdir(os.path.dirname(self.cgroup))
            self.callback(os.rmdir, os.path.dirname(self.cgroup))
        os.mkdir(self.cgroup)  # fails if it is there: someone else's daemon
        self.callback(os.rmdir, self.cgroup)
        procs = os.path.join(self.cgroup, "cgroup.procs")
        self.log = open(os.path.join(self.work, "dockerd.log"), "w")
        self.callback(self.log.close)
        self.daemon = subprocess.Popen(
            ["dockerd", "--data-root", f"{self.work}/data", "--exec-root", f"{self.work}/exec",
             "-H", f"unix://{self.socket}", "--pidfile", f"{self.work}/docker.pid",
             f"--userland-proxy={str(self.proxy).lower()}"], stdin=subprocess.DEVNULL,
            stdout=self.log, stderr=subprocess.STDOUT,
            preexec_fn=lambda: open(procs, "w").write(str(os.getpid())))
        self.callback(self._stop_daemon)
        wait_for(lambda: self.daemon.poll() is not None or
                 self.cli("version", check=False).returncode == 0, "dockerd")
        assert self.daemon.poll() is None, open(self.log.name).read()

    def _stop_daemon(self):
        # containerd and its shims were started by dockerd; any it leaves behind go by PID.
        stop_pid(self.daemon.pid)
        self.daemon.wait()
        for pid in _pids(lambda pid: self.work in open(f"/proc/{pid}/cmdline").read()):
            stop_pid(pid)


class Podman(Runtime):
    # Podman as root, or rootless as a fresh user with subordinate IDs and /dev/net/tun.

    def __init__(self, rootless=False):
        super().__init__()
        self.rootless = rootless
        self.name = "podman-rootless" if rootless else "podman"

    @property
    def command(self):
        if not self.rootless:
            return ["podman"]
        return ["setpriv", f"--reuid={self.user}", f"--regid={self.user}", "--init-groups",
                "env", "-i", *(f"{k}={v}" for k, v in self.env.items()), "podman"]

    def start(self):
        conf = os.path.join(self.work, "containers.conf")
        with open(conf, "w") as f:
            f.write(_CONF)
        self.env = {"CONTAINERS_CONF": conf}
        if not self.rootless:
            storage = os.path.join(self.work, "storage.conf")
            with open(storage, "w") as f:
                f.write(f'[storage]\ndriver = "overlay"\ngraphroot = "{self.work}/root"\n'
                        f'runroot = "{self.work}/run"\n')
            self.env["CONTAINERS_STORAGE_CONF"] = storage
            self.callback(self._stop_ours)
            return
        self.user, home, runtime = "qm-rootless", f"{self.work}/home", f"{self.work}/run"
        run("useradd", "--create-home", "--home-dir", home, "--shell", "/usr/sbin/nologin",
            self.user)
        self.callback(run, "userdel", "--remove", self.user, check=False)
        account = pwd.getpwnam(self.user)
        if f"\n{self.user}:" not in "\n" + open("/etc/subuid").read():
            run("usermod", "--add-subuids", "400000-465535", "--add-subgids", "400000-465535",
                self.user)
        os.mkdir(runtime, 0o700)
        os.chown(runtime, account.pw_uid, account.pw_gid)
        mode = os.stat("/dev/net/tun").st_mode & 0o777
        os.chmod("/dev/net/tun", 0o666)
        self.callback(os.chmod, "/dev/net/tun", mode)
        self.env.update(HOME=home, XDG_RUNTIME_DIR=runtime, PATH="/usr/sbin:/usr/bin:/sbin:/bin")
        self.callback(self._stop_ours, account.pw_uid)

    def _stop_ours(self, uid=None):
        # Every process of the test's user (pause, slirp4netns, rootlessport, conmon), or root's
        # conmon started for containers under the work folder.
        def ours(pid):
            if uid is not None:
                return os.stat(f"/proc/{pid}").st_uid == uid
            return self.work in open(f"/proc/{pid}/cmdline").read()
        for pid in _pids(ours):
            stop_pid(pid)


SETUPS = {"docker": lambda: Docker(), "docker-noproxy": lambda: Docker(proxy=False),
          "podman": lambda: Podman(), "podman-rootless": lambda: Podman(rootless=True)}
