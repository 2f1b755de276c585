#!/usr/bin/env bash
# Speed and memory figures of the dashboard server, each against a baseline
# measured in the same run. Run by hand: ./bench/run.sh
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/bootstrap.sh
for pkg in wrk nginx-light python3 gcc; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    sudo_cmd=""; [[ $(id -u) -ne 0 ]] && sudo_cmd=sudo
    $sudo_cmd apt-get update -qq >/dev/null
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends wrk nginx-light python3 gcc >/dev/null
    break
  fi
done
./scripts/build.sh build-bench -DCMAKE_BUILD_TYPE=Release -DTAVRIX_TESTS=OFF
bin="$PWD/build-bench/tavrix-usb"

work=$(mktemp -d)
chmod 755 "$work"  # nginx workers run as another user and must read the page
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  [[ -f "$work/nginx.pid" ]] && kill "$(cat "$work/nginx.pid")" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/bin"
gcc -O2 -o "$work/bin/lsusb" bench/fake_lsusb.c
gcc -O2 -o "$work/spawn_baseline" bench/spawn_baseline.c

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
wait_port() { for _ in $(seq 100); do curl -sf "http://127.0.0.1:$1/$2" >/dev/null && return 0; sleep 0.05; done; return 1; }
rss_kib() { awk '/VmRSS/ {print $2}' "/proc/$1/status"; }
wrk_rate() { wrk "$@" | awk '/Requests\/sec/ {printf "%.0f", $2}'; }
ratio() { python3 -c "print(f'{$1/$2:.2f}')"; }
median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }

echo "== /state on one keep-alive connection vs spawning the lsusb stand-in"
port=$(free_port)
PATH="$work/bin:$PATH" "$bin" app --no-tab --port "$port" >/dev/null &
pids+=($!)
wait_port "$port" state
# Interleaved rounds, medians: this machine's spawn rate drifts by 10 % or more.
baselines=() states=()
for _ in 1 2 3; do
  baselines+=("$("$work/spawn_baseline" "$work/bin/lsusb" 1500)")
  states+=("$(wrk_rate -t1 -c1 -d3s "http://127.0.0.1:$port/state")")
done
baseline=$(median "${baselines[@]}")
state_rate=$(median "${states[@]}")
echo "spawn+reap per second: $baseline   /state per second: $state_rate   ratio: $(ratio "$state_rate" "$baseline") (target >= 0.90)"

echo "== GET / with wrk -t2 -c50 vs nginx serving the same bytes"
mkdir -p "$work/www"
curl -s "http://127.0.0.1:$port/" > "$work/www/index.html"
nginx_port=$(free_port)
cat > "$work/nginx.conf" <<CONF
worker_processes 1;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
events { worker_connections 1024; }
http {
  access_log off;
  server {
    listen 127.0.0.1:$nginx_port;
    root $work/www;
    location / { add_header Cache-Control no-cache; }
  }
}
CONF
nginx -c "$work/nginx.conf" -p "$work"
wait_port "$nginx_port" ""
nginx_rates=() page_rates=()
for _ in 1 2 3; do
  nginx_rates+=("$(wrk_rate -t2 -c50 -d3s "http://127.0.0.1:$nginx_port/")")
  page_rates+=("$(wrk_rate -t2 -c50 -d3s "http://127.0.0.1:$port/")")
done
nginx_rate=$(median "${nginx_rates[@]}")
page_rate=$(median "${page_rates[@]}")
echo "nginx: $nginx_rate/s   tavrix-usb: $page_rate/s   ratio: $(ratio "$page_rate" "$nginx_rate") (target >= 0.80)"
curl -s -X POST "http://127.0.0.1:$port/shutdown" >/dev/null

echo "== Memory of app --demo"
port=$(free_port)
PATH="$work/bin:$PATH" "$bin" app --demo --no-tab --port "$port" >/dev/null &
pid=$!
pids+=($pid)
wait_port "$port" health
sleep 0.5
echo "idle RSS: $(rss_kib "$pid") KiB (target <= 8192 KiB)"
python3 bench/console_posts.py "$port" 3000 4096
after_3k=$(rss_kib "$pid")
python3 bench/console_posts.py "$port" 20000 4096
after_23k=$(rss_kib "$pid")
echo "RSS after 3,000 console posts: $after_3k KiB   after 23,000: $after_23k KiB   growth: $((after_23k - after_3k)) KiB (target: none)"
curl -s -X POST "http://127.0.0.1:$port/shutdown" >/dev/null
