#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that
# are missing, so that a second run costs nothing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache
  qt6-base-dev qt6-svg-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # The formatting check, and the libFuzzer targets (clang with its runtime).
  clang-format clang libclang-rt-14-dev lld
  # Tests of the window under a real window manager (tests/app/run-under-wm.sh).
  xvfb xauth openbox x11-utils
  # The V4L2 suite's VM (tests/vm/run-in-vm.sh); it fetches the kernel itself.
  qemu-system-x86 busybox-static cpio xz-utils
  # The install and package test (tests/install/): validators, the .deb and
  # its shared-library dependencies, the man page check.
  desktop-file-utils appstream dpkg-dev fakeroot groff-base
  # The media file writer (media/): FFmpeg's libraries, found through pkg-config.
  pkg-config libavformat-dev libavcodec-dev libavutil-dev libswscale-dev
  # Wine's AVI splitter, through which the DirectShow backend's tests play a
  # small video file into the sample grabber (a recommendation of Wine's only).
  gstreamer1.0-plugins-good
  # Sound capture on Linux (camera/platform/v4l2/AlsaSound.*).
  libasound2-dev
  # The start-up benchmark (bench/startup.sh): its window waiter, and qv4l2
  # as the program it compares with.
  libxcb1-dev qv4l2
  # The window reads the font configuration beside its start (app/FontConfigWarmup.*).
  libfontconfig-dev
  # The Windows side (windows/run-wine-suite.sh): mingw-w64 with the posix
  # thread model, Wine, and the Mesa drivers Xvfb's GLX needs for the video
  # renderer's Direct3D (a recommendation only, so named here).
  mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine64 libgl1-mesa-dri
)

# One query for all of them: a query per package took a second of every make.
declare -A installed=()
while read -r name state; do
  [[ "$state" == "install ok installed" ]] && installed[$name]=1
done < <(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null || true)
missing=()
for p in "${packages[@]}"; do
  [[ -n "${installed[$p]:-}" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
