#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
# Sourced by the other scripts; runs as root on a fresh Debian 12 machine.

MCSTAT_PACKAGES=(build-essential cmake pkg-config libgtest-dev libgmock-dev libbenchmark-dev
                 libxerces-c-dev libxml2-utils libcli11-dev nlohmann-json3-dev python3
                 libblas-dev liblapack-dev libgfortran-12-dev libopenblas0-pthread
                 libfast-float-dev zlib1g-dev)

# The Python package: pybind11 and the Python headers to build it, numpy and pandas to use it,
# pytest, statsmodels and scipy (the oracles) to test it, venv for the install check.
MCSTAT_PACKAGES+=(pybind11-dev python3-pybind11 python3-dev python3-numpy python3-pandas
                  python3-pytest python3-statsmodels python3-scipy python3-venv)

mcstat_install_deps() {
  local missing=()
  local p
  for p in "${MCSTAT_PACKAGES[@]}" "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi
  echo "Installing: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
}
