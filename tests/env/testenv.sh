# The test environment: a private X server and a private sound server, started for one test
# run and stopped again, whatever the tests did. Source this file, then:
#   testenv_start   starts Xvfb on a free display and PulseAudio with a null sink as default
#                   sink on its own socket; exports DISPLAY and PULSE_SERVER
#   testenv_stop    stops exactly the processes testenv_start started and removes its folder
# Nothing here touches a server that was running before.

testenv_start() {
  KL_ENV_DIR=$(mktemp -d "${TMPDIR:-/tmp}/keyloft-testenv.XXXXXX") || return 1
  export KL_ENV_DIR

  # Xvfb picks a free display itself and writes its number to the pipe given by -displayfd.
  exec {kl_fd}<> <(:)
  Xvfb -displayfd "$kl_fd" -screen 0 1920x1080x24 -nolisten tcp -noreset \
    >"$KL_ENV_DIR/xvfb.log" 2>&1 &
  KL_XVFB_PID=$!
  local display=""
  for _ in $(seq 1 100); do
    if read -r -t 0.1 -u "$kl_fd" display && [ -n "$display" ]; then break; fi
    kill -0 "$KL_XVFB_PID" 2>/dev/null || break
  done
  exec {kl_fd}<&-
  if [ -z "$display" ]; then
    echo "testenv: Xvfb did not start:" >&2
    cat "$KL_ENV_DIR/xvfb.log" >&2
    testenv_stop
    return 1
  fi
  export DISPLAY=":$display"

  # PulseAudio without the user's configuration, on a socket of its own, with a null sink
  # whose monitor the audio tests record.
  mkdir -p "$KL_ENV_DIR/pulse"
  export PULSE_SERVER="unix:$KL_ENV_DIR/pulse/native"
  PULSE_RUNTIME_PATH="$KL_ENV_DIR/pulse" PULSE_STATE_PATH="$KL_ENV_DIR/pulse" \
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit=yes --use-pid-file=no \
      --disable-shm=yes \
      --load="module-native-protocol-unix socket=$KL_ENV_DIR/pulse/native auth-anonymous=1" \
      --load="module-null-sink sink_name=keyloft_null" \
      >"$KL_ENV_DIR/pulse.log" 2>&1 &
  KL_PULSE_PID=$!
  local ok=""
  for _ in $(seq 1 100); do
    if pactl info >/dev/null 2>&1; then ok=1; break; fi
    kill -0 "$KL_PULSE_PID" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$ok" ] || ! pactl set-default-sink keyloft_null; then
    echo "testenv: PulseAudio did not start:" >&2
    cat "$KL_ENV_DIR/pulse.log" >&2
    testenv_stop
    return 1
  fi
  echo "testenv: DISPLAY=$DISPLAY PULSE_SERVER=$PULSE_SERVER"
}

testenv_stop() {
  local pid
  for pid in ${KL_PULSE_PID:-} ${KL_XVFB_PID:-}; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  KL_PULSE_PID=""
  KL_XVFB_PID=""
  [ -n "${KL_ENV_DIR:-}" ] && rm -rf "$KL_ENV_DIR"
  KL_ENV_DIR=""
  unset PULSE_SERVER
}
