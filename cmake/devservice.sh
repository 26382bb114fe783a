#!/usr/bin/env bash
# Starts and stops the local development service for the integration tests
# (a CTest fixture). The state folder receives the port, the process id and
# the service's data.
#   devservice.sh start STATE_DIR SERVICE_BINARY
#   devservice.sh stop STATE_DIR
set -u
action=$1 state=$2
case "$action" in
start)
    service=$3
    [ -x "$service" ] || { echo "no development service at $service" >&2; exit 1; }
    if [ -f "$state/pid" ] && kill -0 "$(cat "$state/pid")" 2>/dev/null; then
        kill "$(cat "$state/pid")" 2>/dev/null
        sleep 0.2
    fi
    rm -rf "$state"
    mkdir -p "$state/data"
    setsid "$service" --port 0 --data "$state/data" --quiet </dev/null >"$state/out" 2>"$state/err" &
    echo $! >"$state/pid"
    for _ in $(seq 1 200); do
        port=$(head -n 1 "$state/out" 2>/dev/null)
        if [ -n "$port" ]; then
            echo "$port" >"$state/port"
            echo "development service on port $port"
            exit 0
        fi
        sleep 0.05
    done
    echo "the development service did not start" >&2
    cat "$state/err" >&2
    exit 1
    ;;
stop)
    [ -f "$state/pid" ] && kill "$(cat "$state/pid")" 2>/dev/null
    exit 0
    ;;
esac
exit 2
