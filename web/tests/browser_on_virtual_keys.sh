#!/bin/sh
# Debian's Chromium as the command of virtual-hidraw, for playwright-core to
# launch as its browser: the virtual keys of the test (KEYADMIN_DEVICES,
# virtual-hidraw's device words) on fake hidraw nodes, the control FIFO and
# the cells file where the test says, and virtual-hidraw's log of the nodes
# when KEYADMIN_LOG names a file. Playwright's own arguments (and its pipes,
# descriptors 3 and 4) go to Chromium. When KEYADMIN_TESTBED names a file,
# the testbed's folder is written there, for other programs to reach the
# same keys (under umockdev's preload, with that UMOCKDEV_DIR).
# shellcheck disable=SC2086  # the device and log words are split on purpose
log=
[ -n "${KEYADMIN_LOG:-}" ] && log="--log $KEYADMIN_LOG"
exec "$KEYADMIN_VIRTUAL_HIDRAW" $KEYADMIN_DEVICES --control "$KEYADMIN_CONTROL" \
    --cells "$KEYADMIN_CELLS" $log -- \
    sh -c '[ -z "$KEYADMIN_TESTBED" ] || echo "$UMOCKDEV_DIR" >"$KEYADMIN_TESTBED"; exec "$@"' \
    sh "${KEYADMIN_CHROMIUM:-/usr/bin/chromium}" "$@"
