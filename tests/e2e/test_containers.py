#!/usr/bin/env python3
# A container's published port, met in the window against real runtimes (containers.py): Docker
# with its proxy in docker.service's cgroup, Docker without it, Podman as root and Podman rootless,
# whose window runs as the user it belongs to. The card names the container, killing the plumbing
# is warned of and leaves the window naming the container that still holds the port, and Stop
# Container frees the port for the runtime itself. Needs root; skipped otherwise.
# Usage: test_containers.py PATH_TO_QUAYMETER

import os, shutil, sys, unittest  # noqa: E401

import containers
import harness
from harness import find, press, wait_until

class Flow:
    # One setup's window, driven by a user whose client reaches the runtime; the container and
    # its port are up, the holder is the runtime's plumbing.

    def drive(self, client, port, ident, force=False):
        short, holder, runtime = ident[:12], containers.listener(port), client.label
        comm = open(f"/proc/{holder}/comm").read().strip()
        app = harness.App(harness.binary, env=client.env)
        app.scan(port)
        app.wait_status(f"Found {comm} PID {holder} listening on port {port}.")  # the whole name
        card = app.find("panel", f"{comm} PID {holder}")
        named = f"{runtime} container qm-web ({short}), image {client.image}"
        wait_until(lambda: f"\nContainer: {named}" in card.description, "the card's container")
        self.assertNotIn("docker.service", card.description)  # never the daemon's unit

        button, title = ("Force Kill", "Force kill process?") if force else \
            ("Kill Process", "Kill process?")
        press(find(card, "push button", button))
        alert = app.find("dialog", title)
        holds = f"holds port {port} for" if comm == "conmon" else f"forwards port {port} to"
        find(alert, "label", "dockerd is the Docker daemon: every running container stops."
             if comm == "dockerd" else f"It {holds} container qm-web: the container keeps "
             f"running and {runtime} keeps the port.")
        if comm == "dockerd":  # its warning is the point: Cancel, and stop only the container
            press(find(alert, "push button", "Cancel"))
        else:
            press(find(alert, "push button", button))
            wait_until(lambda: containers.gone(holder), "the holder gone")
            # lsof now finds nothing, but the container still holds the port.
            app.wait_status(f"Port {port} is held by {named}.")
            self.assertTrue(client.running(ident))

        press(app.find("push button", "Stop Container"))
        alert = app.find("dialog", "Stop container?")
        tool = f"docker -H {client.env['DOCKER_HOST']}" if runtime == "Docker" else "podman"
        find(alert, "label", f"Quaymeter will run {tool} stop {short} to stop container qm-web, "
                             f"which holds port {port}.")
        press(find(alert, "push button", "Stop Container"))
        wait_until(lambda: not client.running(ident), "the container stopped")
        app.wait_status(f"Port {port} is available.")
        client.start_web("qm-second", port)  # the runtime itself has the port free again
        self.assertEqual(app.close(), 0)


@unittest.skipUnless("QM_USER" in os.environ, "the user's side")
class AsUser(Flow, unittest.TestCase):
    def test_rootless_container(self):
        port, ident = os.environ["QM_CONTAINER"].split(":")
        client = containers.Client(["podman"], {"XDG_RUNTIME_DIR": os.environ["XDG_RUNTIME_DIR"]})
        self.drive(client, int(port), ident)


@unittest.skipIf("QM_USER" in os.environ, "root's side")
class RealRuntimes(Flow, unittest.TestCase):
    def up(self, setup):
        runtime = self.enterContext(setup)
        port = containers.free_port()
        ident = runtime.start_web("qm-web", port)
        offline = runtime.start_web("qm-offline", network="none")
        wait_until(lambda: containers.listener(port), "the published port")
        self.addCleanup(lambda: self.assertTrue(runtime.running(offline), "a bystander stopped"))
        return runtime, port, ident

    def test_docker_proxy_in_docker_service(self):
        self.drive(*self.up(containers.Docker()))

    def test_docker_without_proxy(self):
        self.drive(*self.up(containers.Docker(proxy=False)))

    def test_podman_as_root(self):
        # conmon outlives TERM: it is Force Kill that leaves the port to NAT alone.
        self.drive(*self.up(containers.Podman()), force=True)

    def test_podman_rootless(self):
        podman, port, ident = self.up(containers.Podman(rootless=True))
        # The user's own copy of the program and of these scripts: the build tree may be root's.
        copy = os.path.join(podman.work, "app")
        shutil.copytree(os.path.dirname(harness.binary), copy, ignore=lambda folder, names: [
            n for n in names if n not in ("quaymeter", "share") and folder ==
            os.path.dirname(harness.binary)])
        for script in harness.__file__, containers.__file__, __file__:
            shutil.copy(script, podman.work)
        done = containers.run(
            *podman.command[:-1], *(f"{k}={v}" for k, v in harness.SANITIZED.items()),
            f"QM_USER={podman.user}", f"QM_CONTAINER={port}:{ident}", sys.executable,
            os.path.join(podman.work, os.path.basename(__file__)), os.path.join(copy, "quaymeter"),
            check=False, cwd=podman.work)
        self.assertEqual(done.returncode, 0, f"the user's window: {done.stdout}{done.stderr}")
        self.assertIn("OK (skipped=4)", done.stderr)  # the user's own test ran


if __name__ == "__main__":
    if "QM_USER" in os.environ:
        harness.main()  # the user's side, run by the root side above
    if os.geteuid() != 0:
        sys.exit(print("SKIPPED: starting Docker and Podman needs root (CI runs as root)") or 77)
    harness.main()
