#!/usr/bin/env bash
# Cross-builds the core libraries, the Windows 1-Wire driver binding and the
# core tests for 32-bit Windows with mingw-w64 and runs them under Wine,
# together with the check of the binding against a stand-in driver DLL.
# Debian 12, as root: installs what is missing on first use.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

# The 32-bit Wine (wine32:i386) is what runs 32-bit Windows programs; the
# 64-bit one alone exits with 0 without running them.
packages=(cmake ninja-build googletest g++-mingw-w64-i686-posix wine wine32:i386)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
    missing+=("$package")
done
if ((${#missing[@]})); then
  echo "Installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get -o DPkg::Lock::Timeout=300 update -qq
  apt-get -o DPkg::Lock::Timeout=300 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# A private Wine prefix in the build tree, set up without questions: no
# display, no offer to download Mono or Gecko (mscoree, mshtml disabled).
export WINEPREFIX="$PWD/build/wine-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p build
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  echo "Creating the Wine prefix $WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wineserver -w  # let its server go, so that the one below can stay
fi
# One Wine server for all test programs instead of one per program; ended
# when this script ends. Its helper processes are started here, away from
# ctest: they would inherit a test's output pipe and ctest would wait for
# them until its timeout.
wineserver -p || true  # one may already be serving this prefix
trap 'wineserver -k 2>/dev/null || true' EXIT
wine cmd /c exit </dev/null >/dev/null 2>&1

cmake --preset mingw >/dev/null
cmake --build --preset mingw -j2
echo "Windows check: installed and built in $((SECONDS - started)) s"
ctest --preset mingw --timeout 300
