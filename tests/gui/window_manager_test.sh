#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the window-manager test function under Xvfb with one window manager, on
# each screen and scale the window must fit: 1280x800 and 1600x1000 at scale
# 1, 1600x1000 and 1920x1080 at scale 2. Exits 77 (skipped) with the reason
# when Xvfb, the window manager or the X tools are not installed.
set -uo pipefail
test_binary=$1 window_manager=$2

for tool in Xvfb "$window_manager" xprop xwininfo; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is not installed (scripts/install-deps installs it)"
        exit 77
    fi
done

server= manager=
stop() {
    [ -n "$manager" ] && kill "$manager" 2>/dev/null && wait "$manager" 2>/dev/null
    [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
    manager= server=
}
trap stop EXIT

failed=0
for screen_and_scales in "1280x800 1" "1600x1000 1 2" "1920x1080 2"; do
    read -r screen scales <<<"$screen_and_scales"
    display_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp 3>"$display_file" 2>/dev/null &
    server=$!
    for _ in $(seq 50); do [ -s "$display_file" ] && break; sleep 0.1; done
    export DISPLAY=:$(head -n1 "$display_file")
    rm -f "$display_file"
    case $window_manager in
    xfwm4) dbus-run-session -- xfwm4 --compositor=off --sm-client-disable >/dev/null 2>&1 & ;;
    *) "$window_manager" >/dev/null 2>&1 & ;;
    esac
    manager=$!
    # The window manager is up once it names itself on the root window (it
    # can take many seconds on a machine busy with other tests).
    for _ in $(seq 300); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.1
    done
    for scale in $scales; do
        echo "== $window_manager, screen $screen, scale $scale"
        QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale timeout 90 "$test_binary" \
            main_window_lies_on_the_screen_and_about_has_only_close || failed=1
    done
    stop
done
exit $failed
