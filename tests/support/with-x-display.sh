#!/bin/sh
# Runs a test program on a virtual X display of its own, with Qt on it (the
# web engine needs a display; offscreen it cannot draw). xvfb-run -a picks a
# free display and tries the next one when another run took it meanwhile.
# Listing the tests needs no display.
for arg in "$@"; do
  case "$arg" in
    --gtest_list_tests) exec "$@" ;;
  esac
done
exec xvfb-run -a -s "-screen 0 1280x800x24" env QT_QPA_PLATFORM=xcb "$@"
