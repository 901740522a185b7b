#!/usr/bin/env bash
# Set-up for a Debian 12 machine.
#   bash setup.sh run    install what is missing, build, start the main program
#   bash setup.sh test   install what is missing, build, run every test
#   bash setup.sh test --sanitize
#                        the same, then the sanitized builds (clang) and their
#                        tests: address and undefined behaviour, then threads
#                        (always on CI, CI=true)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${PIBO_BUILD_DIR:-$here/build}"

packages=(
  build-essential cmake ninja-build ccache pkg-config
  clang libclang-rt-14-dev llvm
  qt6-base-dev qt6-multimedia-dev qt6-webengine-dev libqt6sql6-sqlite libgl-dev qt6-translations-l10n
  libpcre2-dev zlib1g-dev
  libgtest-dev libbenchmark-dev
  fonts-dejavu-core fonts-wqy-microhei fonts-liberation2 fonts-arphic-ukai
  xvfb xauth
  zip unzip sox libsox-fmt-all pulseaudio
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev
  libmp3lame-dev libmp3lame0 ffmpeg lame espeak-ng python3
  wamerican wbritish
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly gstreamer1.0-libav
)

install_missing() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build_all() {
  # Line tables and function names only (-g1): backtraces stay readable and
  # a cold build takes about a third less time than with full debug info.
  # On CI a compiler warning fails the build; on a user's machine it does not
  # (another compiler version may warn where ours does not).
  local werror=OFF
  if [ "${CI:-}" = "true" ]; then werror=ON; fi
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DPIBO_WERROR="$werror"
  cmake --build "$build" --parallel
}

# The sanitized builds, each in a folder of its own beside the build: only the
# libraries and test programs of their lists (cmake/Sanitize.cmake), with
# clang, optimised a little (-O1) to keep the build short.
sanitized_tests() {
  local kind dir
  for kind in address thread; do
    dir="$build-$kind"
    CC=clang CXX=clang++ cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
      -DPIBO_SANITIZE="$kind"
    cmake --build "$dir" --parallel --target pibo_sanitized_tests
    ctest --test-dir "$dir" --output-on-failure --parallel "$(nproc)" --timeout 300
  done
}

# The sound tests play through PulseAudio; without a sound card, a null sink
# and a null source stand in.
start_sound_server() {
  pactl info >/dev/null 2>&1 && return 0
  pulseaudio -D -n --exit-idle-time=-1 \
    -L "module-null-sink sink_name=nullsink" \
    -L "module-null-source source_name=nullsrc" \
    -L module-native-protocol-unix >/dev/null 2>&1 || true
  for _ in $(seq 1 50); do
    pactl info >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  # On CI the sound tests must run: without the server they would only skip.
  if [ "${CI:-}" = "true" ]; then
    echo "error: the PulseAudio sound server could not be started (CI=true): the sound tests cannot run" >&2
    return 1
  fi
  echo "warning: no sound server; the sound tests will be skipped" >&2
}

case "${1:-}" in
  run)
    install_missing
    build_all
    cd "$build/bin"
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
      exec xvfb-run -a -s "-screen 0 1280x800x24" ./pibozunexc
    fi
    exec ./pibozunexc
    ;;
  test)
    install_missing
    build_all
    start_sound_server
    export QT_QPA_PLATFORM=offscreen
    ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" --timeout 300
    if [ "${CI:-}" = "true" ] || [ "${2:-}" = "--sanitize" ]; then
      sanitized_tests
    fi
    ;;
  *)
    echo "usage: bash setup.sh run|test [--sanitize]" >&2
    exit 2
    ;;
esac
