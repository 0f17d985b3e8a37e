#!/usr/bin/env bash
# Runs inside an X server: starts a demo or an example, lets it run for DEMO_SECONDS (default 4), saves a
# screenshot of its window, then ends it with a real Escape key press (an XTEST key event).
#   headless-run.sh <binary> <screenshot.png>
set -uo pipefail
BINARY="$1"
SHOT="$2"
SECONDS_TO_RUN="${DEMO_SECONDS:-4}"
mkdir -p "$(dirname "$SHOT")"

"$BINARY" &
PID=$!

WINDOW=""
for _ in $(seq 1 100); do
    WINDOW="$(xdotool search --onlyvisible --pid "$PID" 2>/dev/null | head -n 1 || true)"
    [ -z "$WINDOW" ] && WINDOW="$(xdotool search --name "Quarl Engine" 2>/dev/null | head -n 1 || true)"
    [ -n "$WINDOW" ] && break
    kill -0 "$PID" 2>/dev/null || break
    sleep 0.1
done
if [ -z "$WINDOW" ]; then
    echo "The program did not open a window." >&2
    kill "$PID" 2>/dev/null
    wait "$PID"
    exit 1
fi

sleep "$SECONDS_TO_RUN"
import -window "$WINDOW" "$SHOT"
xdotool windowfocus --sync "$WINDOW" key Escape

for _ in $(seq 1 100); do
    kill -0 "$PID" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$PID" 2>/dev/null; then
    echo "The program did not end on Escape; stopping it." >&2
    kill "$PID"
fi
wait "$PID"
STATUS=$?
echo "== The program ended with status $STATUS after a real Escape key press."
echo "== Screenshot of its window: $SHOT"
exit "$STATUS"
