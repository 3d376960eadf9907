#!/bin/sh
# Developer entry point: installs what the build needs, then builds and runs.
#   scripts/dev.sh example   build, then chart the bundled example log
#   scripts/dev.sh test      build and pass every test, plain and sanitized
set -eu
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

install_deps() {
  pkgs=""
  command -v g++ >/dev/null 2>&1 || pkgs="$pkgs g++"
  command -v cmake >/dev/null 2>&1 || pkgs="$pkgs cmake"
  command -v make >/dev/null 2>&1 || pkgs="$pkgs make"
  command -v pkg-config >/dev/null 2>&1 || pkgs="$pkgs pkg-config"
  pkg-config --exists gdlib 2>/dev/null || pkgs="$pkgs libgd-dev"
  [ -f /usr/include/gtest/gtest.h ] || pkgs="$pkgs libgtest-dev"
  [ -z "$pkgs" ] && return 0
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing:$pkgs"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $pkgs >/dev/null
}

build() {  # build_dir cmake_args...
  dir=$1; shift
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

case "${1:-}" in
  example)
    install_deps
    build build/release -DCMAKE_BUILD_TYPE=Release -DTRENDLE_TESTS=OFF
    build/release/trendle examples/temperature.csv temperature.png 640 480
    echo "Wrote temperature.png"
    ;;
  test)
    install_deps
    build build/debug -DCMAKE_BUILD_TYPE=Debug -DTRENDLE_WERROR=ON
    (cd build/debug && ctest --output-on-failure -j "$jobs")
    build build/sanitize -DCMAKE_BUILD_TYPE=Debug -DTRENDLE_WERROR=ON -DTRENDLE_SANITIZE=ON
    (cd build/sanitize && ctest --output-on-failure -j "$jobs")
    ;;
  *)
    echo "usage: scripts/dev.sh example|test" >&2
    exit 2
    ;;
esac
