#!/usr/bin/env bash
# Installs the Debian packages a build needs, only those missing: `install-deps.sh build` or `install-deps.sh test`.
set -euo pipefail

build_packages=(cmake make g++ pkg-config libgtest-dev libbenchmark-dev libcairo2-dev libx11-dev libxtst-dev libxres-dev
                libfontconfig1-dev fonts-liberation libsmf-dev libsndfile1-dev
                lv2-dev liblilv-dev libjack-jackd2-dev)
test_packages=(xvfb xauth ardour qtractor xdotool
               lilv-utils sordi jalv jackd2)

wanted=("${build_packages[@]}")
if [ "${1:-build}" = "test" ]; then
    wanted+=("${test_packages[@]}")
fi

missing=()
for p in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then sudo="sudo"; else
        echo "missing packages (${missing[*]}) and no root: install them first" >&2; exit 1
    fi
fi
echo "installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
