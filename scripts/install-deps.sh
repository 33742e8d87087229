#!/usr/bin/env bash
# Installs what building and testing the reader needs on Debian 12 (as root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends \
  cmake ninja-build g++ clang pkg-config \
  qt6-base-dev libgl-dev \
  googletest libgtest-dev libgmock-dev libbenchmark-dev libclang-rt-14-dev \
  fonts-liberation fonts-dejavu-core \
  >/dev/null
