#!/usr/bin/env bash
# Installs the Debian 12 packages the monitor needs to build, run and test.
# Idempotent: only what is missing is installed; apt-get update runs at most once.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format clang libclang-rt-dev
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libqt6sql6-sqlite qt6-qpa-plugins
  libgl-dev
  libopencv-core-dev libopencv-imgproc-dev libopencv-imgcodecs-dev
  libopencv-calib3d-dev libopencv-features2d-dev libopencv-flann-dev
  libavformat-dev libavdevice-dev libavcodec-dev libavfilter-dev libavutil-dev libswscale-dev
  libgoogle-glog-dev libcjson-dev libxlsxwriter-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-wqy-microhei fonts-wqy-zenhei
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
