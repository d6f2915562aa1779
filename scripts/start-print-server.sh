#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts the CUPS scheduler with one raw queue, "zirkelon-test", for the printing tests, unless it
# is already running with that queue. The queue's device is the backend in scripts/cups-backend,
# which writes each job's bytes and title into a folder (default /tmp/zirkelon-print-capture)
# instead of printing. Works as root in a bare container without systemd; elsewhere it uses sudo.
# The queue becomes the default destination when there is none yet, or always when CI=true; a
# machine's own default printer is otherwise left alone (the test then names the queue itself).
set -euo pipefail

queue=zirkelon-test
capture=${ZIRKELON_PRINT_CAPTURE:-/tmp/zirkelon-print-capture}
uri="zirkelon-capture:$capture"
source_backend="$(cd "$(dirname "$0")" && pwd)/cups-backend/zirkelon-capture"
backend_dir=/usr/lib/cups/backend
backend="$backend_dir/zirkelon-capture"

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
    sudo_cmd=(sudo)
fi

scheduler_running() { lpstat -r 2>/dev/null | grep -q "scheduler is running"; }
queue_ready() { lpstat -v "$queue" 2>/dev/null | grep -qF "$uri"; }
default_wanted() {
    local current
    current=$(lpstat -d 2>/dev/null || true)
    [[ ${CI:-} == true || $current != *": "* || $current == *": $queue" ]]
}
is_default() { lpstat -d 2>/dev/null | grep -q ": $queue\$"; }

if ! command -v cupsd >/dev/null || ! command -v lpadmin >/dev/null; then
    echo "cupsd oder lpadmin fehlt (scripts/setup-debian.sh installiert cups-daemon und cups-client)." >&2
    exit 1
fi

# Fast path: everything is in place already.
if scheduler_running && queue_ready && cmp -s "$source_backend" "$backend" &&
    { is_default || ! default_wanted; }; then
    exit 0
fi

if ! cmp -s "$source_backend" "$backend"; then
    "${sudo_cmd[@]}" install -m 0700 -o root -g root "$source_backend" "$backend"
fi

if ! scheduler_running; then
    "${sudo_cmd[@]}" mkdir -p /run/cups /var/spool/cups/tmp /var/log/cups
    "${sudo_cmd[@]}" cupsd
    for _ in $(seq 100); do
        scheduler_running && break
        sleep 0.1
    done
    if ! scheduler_running; then
        echo "Der Druckserver (cupsd) ließ sich nicht starten." >&2
        exit 1
    fi
fi

if ! queue_ready; then
    # No model: a raw queue, the job's bytes go to the backend unchanged.
    "${sudo_cmd[@]}" lpadmin -p "$queue" -E -v "$uri" -D "Zirkelon test capture"
fi
if default_wanted && ! is_default; then
    "${sudo_cmd[@]}" lpadmin -d "$queue"
fi

if ! queue_ready; then
    echo "Die Druckerwarteschlange $queue ließ sich nicht einrichten." >&2
    exit 1
fi
