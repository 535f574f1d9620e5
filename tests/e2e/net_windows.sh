#!/usr/bin/env bash
# Two game windows on one virtual screen play a network game with two bots,
# all on loopback: the host window creates a Competitive game, the other
# window and the bots join, everybody says hello and ticks Ready, the host
# starts, each finishes its own copy, and both windows must show the same
# final scores listing all four players and each other's hello.
set -euo pipefail
player=$1 tool=$2 picture=$3 work=$4
tmp=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
shots="$work/net-windows"
rm -rf "$shots" && mkdir -p "$shots"
# Ports of this run's own, so parallel runs do not meet.
port=$((20000 + $$ % 20000))
discovery=$((port + 1))

cat > "$tmp/run.sh" <<INNER
set -u
export SDL_AUDIODRIVER=dummy
TAVORN_HOME="$tmp/host" XDG_CONFIG_HOME="$tmp/host/config" "$player" --role host --player Hana --peer Kai --port $port \
  --discovery $discovery --players 4 --shots "$shots" --picture "$picture" > "$tmp/host.out" 2> "$tmp/host.err" &
host=\$!
sleep 2
TAVORN_HOME="$tmp/join" XDG_CONFIG_HOME="$tmp/join/config" "$player" --role join --player Kai --peer Hana \
  --discovery $discovery --shots "$shots" > "$tmp/join.out" 2> "$tmp/join.err" &
join=\$!
bots=""
for i in 1 2; do
  "$tool" net bot --join 127.0.0.1:$port --name Bot\$i --seed \$((i + 3)) --actions 600 --rate 40 --seconds 60 \
    --stay --discovery-port $discovery > "$tmp/bot\$i.out" 2>&1 &
  bots="\$bots \$!"
done
wait \$host; echo "host \$?" > "$tmp/status"
wait \$join; echo "join \$?" >> "$tmp/status"
kill \$bots 2>/dev/null
wait
INNER
mkdir -p "$tmp/host/config" "$tmp/join/config"
timeout 100 xvfb-run -a -s "-screen 0 1920x1080x24" bash "$tmp/run.sh" &
pids+=($!)
wait "${pids[0]}" || true

show() { for f in "$tmp"/*.out "$tmp"/*.err; do echo "--- $(basename "$f")"; tail -n 20 "$f"; done; }
if ! grep -qx "host 0" "$tmp/status" 2>/dev/null || ! grep -qx "join 0" "$tmp/status" 2>/dev/null; then
  echo "a window did not finish its game"; show; exit 1
fi
grep '^score ' "$tmp/host.out" | sort > "$tmp/host.scores"
grep '^score ' "$tmp/join.out" | sort > "$tmp/join.scores"
if ! cmp -s "$tmp/host.scores" "$tmp/join.scores"; then
  echo "the two windows show different final scores"; show; exit 1
fi
for name in Hana Kai Bot1 Bot2; do
  grep -q "^score .*$name" "$tmp/host.scores" || { echo "$name is missing from the final scores"; show; exit 1; }
done
grep -q '^chat .*Kai: hello from Kai' "$tmp/host.out" || { echo "the host did not hear Kai"; show; exit 1; }
grep -q '^chat .*Hana: hello from Hana' "$tmp/join.out" || { echo "Kai did not hear the host"; show; exit 1; }
for shot in Hana-room Hana-scores Kai-scores; do
  test -s "$shots/$shot.png" || { echo "no screenshot $shot"; exit 1; }
done
cat "$tmp/host.scores"
