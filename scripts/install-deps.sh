#!/usr/bin/env bash
# Installs every Debian package Quaymeter needs to build, run, test and benchmark.
# Only what is missing is installed; runs through sudo when not root.
set -euo pipefail

packages=(
  # toolchain
  g++ cmake ninja-build make pkg-config clang-format
  # sanitizers and fuzzing (make test-sanitize, make fuzz); llvm-14 brings llvm-symbolizer,
  # which names the frames that leak suppressions match
  clang-14 libclang-rt-14-dev llvm-14
  # Qt 6 and QCoro
  qt6-base-dev qt6-declarative-dev qt6-declarative-dev-tools qcoro-qt6-dev qt6-svg-dev
  qt6-qpa-plugins qt6-image-formats-plugins libgl1-mesa-dri qt6-wayland
  # Qt Quick's accessible item, whose action list menu items reorder
  qt6-declarative-private-dev
  # PNG assets read without the image plugins
  libpng-dev
  # QML modules the app and its tests import
  qml6-module-qtqml qml6-module-qtqml-models qml6-module-qtqml-workerscript
  qml6-module-qtquick qml6-module-qtquick-window qml6-module-qtquick-templates
  qml6-module-qtquick-controls qml6-module-qtquick-layouts qml6-module-qtquick-shapes
  # fonts and symbols
  fonts-inter fonts-jetbrains-mono fonts-material-design-icons-iconfont fontconfig
  # the tools Quaymeter runs, and administrator rights through polkit (its daemon for the tests)
  lsof procps pkexec polkitd
  # headless window, accessibility and end-to-end tests
  xvfb xauth xdotool x11-utils xclip dbus dbus-bin at-spi2-core python3 python3-pyatspi python3-gi
  # ports held by a service manager: the real systemd-socket-activate, a stand-in systemd on a
  # private bus, and a PID namespace of the test's own
  systemd python3-dbus util-linux
  # the Debian package: building, checking, and running the installed program under Wayland
  dpkg-dev lintian desktop-file-utils appstream weston
  # real container runtimes for the end-to-end tests: Docker and Podman (root and rootless), an
  # image made offline from busybox, the user namespaces, networking and NAT they run on
  docker.io podman busybox-static uidmap slirp4netns iptables
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
