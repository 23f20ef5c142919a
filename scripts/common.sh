# Shared by scripts/run, scripts/test, scripts/fuzz and scripts/screenshot: sourced, never run.
set -euo pipefail
VS_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VS_JOBS=${VS_JOBS:-2}

# Installs the packages of scripts/packages.txt (and any extra names given) that are missing.
vs_ensure_packages() {
  local wanted missing=() p
  wanted=$(grep -v -E '^\s*(#|$)' "$VS_ROOT/scripts/packages.txt")
  for p in $wanted "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# vs_build DIR TYPE [cmake options...] [--target T...]: configures (once) and builds the tree in DIR, or
# only the targets named after --target.
vs_build() {
  local dir=$1 type=$2; shift 2
  local options=() targets=()
  while [ $# -gt 0 ]; do
    if [ "$1" = --target ]; then shift; targets+=(--target "$@"); break; fi
    options+=("$1"); shift
  done
  cmake -S "$VS_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE="$type" "${options[@]}" >/dev/null
  cmake --build "$dir" -j"$VS_JOBS" "${targets[@]}"
}

# Starts a private PulseAudio daemon with a null sink whose monitor is the default source,
# so PortAudio's default devices (ALSA 'default' -> pulse plugin) play into the sink and record what it plays.
# The null sink runs without rewinds: with rewinds the ALSA pulse plugin under PortAudio's mmap
# access stalls after a few periods. PULSE_SERVER names the socket, so root and XDG_RUNTIME_DIR
# settings of the caller do not matter.
vs_start_sound_server() {
  export PULSE_RUNTIME_PATH=${PULSE_RUNTIME_PATH:-/tmp/vowelscope-pulse}
  export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$PULSE_RUNTIME_PATH}
  export PULSE_SERVER="unix:$PULSE_RUNTIME_PATH/native"
  mkdir -p "$PULSE_RUNTIME_PATH"
  chmod 700 "$PULSE_RUNTIME_PATH" || true
  if ! pactl info >/dev/null 2>&1; then
    pulseaudio -D --system=false --exit-idle-time=-1 --disallow-exit -n --use-pid-file=yes \
      --load="module-null-sink sink_name=vsink norewinds=1" --load="module-native-protocol-unix" \
      >/dev/null 2>&1 || true
    local i
    for i in $(seq 1 50); do
      pactl info >/dev/null 2>&1 && break
      sleep 0.1
    done
    pactl info >/dev/null 2>&1 && VS_STARTED_SOUND_SERVER=1
  fi
  if pactl info >/dev/null 2>&1 && pactl list short sinks 2>/dev/null | grep -q vsink; then
    pactl set-default-sink vsink >/dev/null 2>&1 || true
    pactl set-default-source vsink.monitor >/dev/null 2>&1 || true
    export VOWELSCOPE_SOUND_SERVER=1
  else
    echo "warning: the test sound server did not start" >&2
  fi
}

# Stops the daemon only when vs_start_sound_server started it (another run may be using one it found).
vs_stop_sound_server() {
  if [ "${VS_STARTED_SOUND_SERVER:-0}" = 1 ]; then
    pulseaudio -k >/dev/null 2>&1 || true
    VS_STARTED_SOUND_SERVER=0
  fi
}
