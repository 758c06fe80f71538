#!/usr/bin/env bash
# Installs the Debian packages the build needs. As root it runs apt-get;
# otherwise it prints the exact command to run and fails.
#
#   scripts/install-deps.sh          what `make test` needs: the build, the
#                                    tests, the benchmarks, the browser tests,
#                                    and Wine's 32-bit loader (wine32, from the
#                                    i386 architecture) for the win32 tests
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
# Wine's 32-bit loader (/usr/lib/wine/wine) runs the shipping i686 build; it
# comes from Debian's i386 architecture, which dpkg must know first.
test_i386_packages=(wine32:i386)

packages=("${demo_packages[@]}")
need_i386=0
case "${1:-}" in
  --demo) ;;
  "") packages+=("${test_packages[@]}" "${test_i386_packages[@]}"); need_i386=1 ;;
  *) echo "usage: $0 [--demo]" >&2; exit 2 ;;
esac
has_i386=0
if dpkg --print-foreign-architectures | grep -qx i386 || [[ $(dpkg --print-architecture) == i386 ]]; then
  has_i386=1
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi
add_i386=0
if [[ $need_i386 -eq 1 && $has_i386 -eq 0 ]]; then
  add_i386=1
fi

if [[ $(id -u) -eq 0 ]]; then
  if [[ $add_i386 -eq 1 ]]; then
    echo "Adding the i386 architecture for Wine's 32-bit loader (wine32)"
    dpkg --add-architecture i386
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "Missing Debian packages. Install them with:" >&2
  if [[ $add_i386 -eq 1 ]]; then
    echo "  sudo dpkg --add-architecture i386 && sudo apt-get update" >&2
    echo "  (the i386 architecture brings wine32, the loader of the 32-bit tests)" >&2
  fi
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
