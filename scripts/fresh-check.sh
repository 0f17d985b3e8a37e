#!/usr/bin/env bash
# Tries the README's two commands as a new user would: on a brand-new, minimal Debian root file
# system (debootstrap --variant=minbase, nothing else installed), with a copy of this working tree.
# Prints each command's exit status and the size of the demo's screenshot.
#
#   bash scripts/fresh-check.sh 12|13
#
# Needs root and Debian's package mirror; takes about ten minutes per release, so it is not part of
# the test command. The root is made in FRESH_ROOT (default /var/tmp/quarl-fresh-<release>), made
# anew on every run and left behind (unmounted) for a look afterwards; the commands' output is in
# its root/fresh-check.log. Debian 13's root comes from the same mirror as this machine's Debian 12.
set -euo pipefail
REPO="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$REPO/scripts/deps.sh"

case "${1:-}" in
    12) SUITE=bookworm ;;
    13) SUITE=trixie ;;
    *) echo "usage: bash scripts/fresh-check.sh 12|13" >&2; exit 2 ;;
esac
RELEASE="$1"
if [ "$(id -u)" -ne 0 ]; then
    echo "fresh-check.sh makes a root file system and mounts into it: run it as root." >&2
    exit 1
fi
TARGET="${FRESH_ROOT:-/var/tmp/quarl-fresh-$RELEASE}"
MIRROR="${DEBIAN_MIRROR:-http://deb.debian.org/debian}"

ensure_packages debootstrap git >/dev/null

unmount_all() {
    local point
    for point in dev sys proc; do
        if mountpoint -q "$TARGET/$point"; then
            umount -R "$TARGET/$point" || umount -lR "$TARGET/$point"
        fi
    done
}
trap unmount_all EXIT

if [ -e "$TARGET" ]; then
    unmount_all
    # Never follow a mount that survived: --one-file-system keeps rm on the root's own disk.
    rm -rf --one-file-system "$TARGET"
fi
echo "== Making a minimal Debian $RELEASE ($SUITE) root in $TARGET from $MIRROR"
debootstrap --variant=minbase "$SUITE" "$TARGET" "$MIRROR" >"$TARGET.debootstrap.log" 2>&1 || {
    tail -n 20 "$TARGET.debootstrap.log" >&2
    echo "debootstrap failed; its log is $TARGET.debootstrap.log" >&2
    exit 1
}

for point in proc sys dev; do
    mount --rbind "/$point" "$TARGET/$point"
    # Unmounting inside must never reach the host's own mounts.
    mount --make-rslave "$TARGET/$point"
done
cp /etc/resolv.conf "$TARGET/etc/resolv.conf"

# The working tree as it stands (committed or not), without builds and outputs.
echo "== Copying the repository into /root/quarl"
mkdir -p "$TARGET/root/quarl"
(cd "$REPO" && git ls-files -z --cached --others --exclude-standard |
    tar --null -T - --ignore-failed-read -cf - 2>/dev/null) | tar -C "$TARGET/root/quarl" -xf -

LOG="$TARGET/root/fresh-check.log"
: >"$LOG"
run_inside() {
    # A login-like environment: nothing of this session's variables (no DISPLAY) leaks in.
    chroot "$TARGET" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        bash -c "cd /root/quarl && $1" >>"$LOG" 2>&1
}

echo "== Debian $RELEASE: bash scripts/run.sh (output in $LOG)"
RUN_STATUS=0
run_inside "bash scripts/run.sh" || RUN_STATUS=$?
echo "== Debian $RELEASE: bash scripts/test.sh (output in $LOG)"
TEST_STATUS=0
run_inside "bash scripts/test.sh" || TEST_STATUS=$?

SHOT="$TARGET/root/quarl/out/sprite_demo.png"
SHOT_SIZE="none"
if [ -s "$SHOT" ]; then
    # A PNG's width and height are the big-endian words at bytes 16 and 20 of its header.
    SHOT_SIZE="$(od -An -tu1 -j16 -N8 "$SHOT" | awk '{printf "%dx%d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')"
    SHOT_SIZE="$SHOT_SIZE, $(stat -c %s "$SHOT") bytes"
    # Blank means a single colour: count the distinct colours with the root's own ImageMagick.
    COLOURS="$(chroot "$TARGET" /usr/bin/env -i PATH=/usr/bin:/bin \
        identify -format '%k' /root/quarl/out/sprite_demo.png 2>/dev/null || echo '?')"
    SHOT_SIZE="$SHOT_SIZE, $COLOURS colours"
fi
grep -E '^(== All tests passed|== They run on|== The system.s SDL|== The program ended|[0-9]+% tests passed)' "$LOG" | tail -n 12 || true
echo "Debian $RELEASE ($SUITE): run.sh exit $RUN_STATUS; test.sh exit $TEST_STATUS; screenshot: $SHOT_SIZE"
[ "$RUN_STATUS" -eq 0 ] && [ "$TEST_STATUS" -eq 0 ] && [ "$SHOT_SIZE" != none ]
