#!/usr/bin/env bash
# Measures the development service under a large upload: starts it, posts a
# 100 MB file with curl in the toolbar's request form (comma header), and
# prints curl's upload rate and the service's peak resident memory (VmHWM).
#   tools/devservice/measure.sh [MB] [runs] [folder for the data, default the build folder]
# (a folder on tmpfs such as /dev/shm leaves the machine's disk out of the figure)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="${VP_BUILD_DIR:-$root/build}/host"
mb=${1:-100}
runs=${2:-3}
parent=${3:-$build}

if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root/tools" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target vellumpost-devservice >/dev/null
bin="$build/devservice/vellumpost-devservice"

work=$(mktemp -d "$parent/devservice-measure.XXXXXX")
pid=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

boundary="B-O-U-N-D-A-R-Y$$"
{
    printf -- '--%s\r\nContent-Disposition: form-data; name="public"\r\n\r\nyes\r\n' "$boundary"
    printf -- '--%s\r\nContent-Disposition: form-data; name="fileupload"; filename="big.jpg"\r\n' "$boundary"
    printf 'Content-Type: image/jpeg\r\nContent-Transfer-Encoding: binary\r\n\r\n'
    head -c $((mb * 1024 * 1024)) /dev/urandom
    printf -- '\r\n--%s--\r\n' "$boundary"
} > "$work/body"

"$bin" --port 0 --data "$work/data" --max-file-size 2G --quiet > "$work/port" &
pid=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.05; done
port=$(head -1 "$work/port")
echo "service pid $pid on port $port, data in $work/data; idle VmHWM $(awk '/VmHWM/ {print $2, $3}' /proc/$pid/status)"

for run in $(seq "$runs"); do
    rm -rf "$work/data/items"/*
    out=$(curl -s -o "$work/answer" -w '%{speed_upload} %{time_total}' -X POST \
        -H "Content-type: multipart/form-data, boundary=$boundary" -T "$work/body" \
        "http://127.0.0.1:$port/upload_api.php")
    read -r speed total <<< "$out"
    grep -q '<image_link>' "$work/answer" || { echo "upload failed:"; cat "$work/answer"; exit 1; }
    awk -v s="$speed" -v t="$total" -v r="$run" -v mb="$mb" \
        'BEGIN { printf "run %d: %d MB in %.3f s, %.0f MB/s (curl upload rate, 1 MB = 10^6 bytes)\n", r, mb, t, s / 1e6 }'
done
echo "service peak memory (VmHWM) after the uploads: $(awk '/VmHWM/ {print $2, $3}' /proc/$pid/status)"
