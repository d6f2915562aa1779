#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts a PulseAudio server with one null sink ("zirkelon_null") for the sound tests, unless one
# is already reachable. Works as root in a bare container without systemd or D-Bus. The server's
# socket lies in $XDG_RUNTIME_DIR/pulse; the caller exports the same XDG_RUNTIME_DIR to the tests
# (default /tmp/zirkelon-runtime).
set -euo pipefail

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/zirkelon-runtime}
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
sink=zirkelon_null

if pactl list short sinks 2>/dev/null | grep -q "$sink"; then
    exit 0
fi
if ! command -v pulseaudio >/dev/null; then
    echo "pulseaudio fehlt (scripts/setup-debian.sh installiert es)." >&2
    exit 1
fi

options=(--daemonize=yes --exit-idle-time=-1 -n
    "--load=module-null-sink sink_name=$sink rate=44100 channels=2"
    --load=module-native-protocol-unix)
if [[ $(id -u) -eq 0 ]]; then
    options+=(--system=no)
fi
pulseaudio "${options[@]}" --log-target=stderr 2>/dev/null || true

for _ in $(seq 50); do
    if pactl list short sinks 2>/dev/null | grep -q "$sink"; then
        pactl set-default-sink "$sink"
        exit 0
    fi
    sleep 0.1
done
echo "Der Tonserver (PulseAudio) ließ sich nicht starten." >&2
exit 1
