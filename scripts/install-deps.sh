#!/usr/bin/env bash
# Installs the Debian packages the build needs. As root it runs apt-get;
# otherwise it prints the exact command to run and fails.
#
#   scripts/install-deps.sh          what `make test` needs: the build, the
#                                    tests, the benchmarks, the browser tests
#   scripts/install-deps.sh --demo   what `make demo` needs: the control, the
#                                    command-line host and the reference client
set -euo pipefail

# The control, corvo-sso and corvo-imclient.
demo_packages=(
  build-essential cmake ninja-build ccache pkg-config
  libboost-dev libcli11-dev libidn2-dev libcurl4-openssl-dev nlohmann-json3-dev
)
# Tests, benchmarks, fuzzing, the browser tests (headless Chromium and Firefox
# ESR driven by Python scripts of the standard library), and the installers'
# tools (the Debian package's checks, the MSIs).
test_packages=(
  libgtest-dev libgmock-dev libbenchmark-dev
  libssl-dev
  clang libclang-rt-14-dev
  libpugixml-dev libtinyxml2-dev libexpat1-dev libxml2-dev
  chromium chromium-driver firefox-esr python3
  googletest
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64 mingw-w64-tools
  wine wine64 libwine-dev
  lintian wixl msitools
)

packages=("${demo_packages[@]}")
case "${1:-}" in
  --demo) ;;
  "") packages+=("${test_packages[@]}") ;;
  *) echo "usage: $0 [--demo]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

if [[ $(id -u) -eq 0 ]]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "Missing Debian packages. Install them with:" >&2
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
