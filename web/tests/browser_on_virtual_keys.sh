#!/bin/sh
# Debian's Chromium as the command of virtual-hidraw, for playwright-core to
# launch as its browser: the virtual keys of the test (KEYADMIN_DEVICES,
# virtual-hidraw's device words) on fake hidraw nodes, the control FIFO and
# the cells file where the test says. Playwright's own arguments (and its
# pipes, descriptors 3 and 4) go to Chromium.
# shellcheck disable=SC2086  # the device words are split on purpose
exec "$KEYADMIN_VIRTUAL_HIDRAW" $KEYADMIN_DEVICES --control "$KEYADMIN_CONTROL" \
    --cells "$KEYADMIN_CELLS" -- "${KEYADMIN_CHROMIUM:-/usr/bin/chromium}" "$@"
