#!/usr/bin/env bash
# Runs inside an X server: starts a demo or an example, lets it run for DEMO_SECONDS (default 4),
# has the engine save a screenshot of its frame (Print Screen while QUARL_SCREENSHOT names the file),
# then ends it with a real Escape key press (XTEST key events).
#   headless-run.sh <binary> <screenshot.png>
set -uo pipefail
BINARY="$1"
SHOT="$2"
SECONDS_TO_RUN="${DEMO_SECONDS:-4}"
mkdir -p "$(dirname "$SHOT")"
rm -f "$SHOT"

QUARL_SCREENSHOT="$SHOT" "$BINARY" &
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
xdotool windowfocus --sync "$WINDOW" key Print
# The frame is written within a frame or two; Escape only after it, so the file is complete.
for _ in $(seq 1 50); do
    [ -e "$SHOT" ] && break
    sleep 0.1
done
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
if [ -s "$SHOT" ]; then
    echo "== Screenshot of its window: $SHOT"
else
    echo "The program saved no screenshot." >&2
    [ "$STATUS" -eq 0 ] && STATUS=1
fi
exit "$STATUS"
