#!/usr/bin/env bash
# The build settings of the test and demo build: every server on loopback, on
# ports the end-to-end tests and the demo start their servers on.
echo "-DQUORVI_PACKAGE_HOST=127.0.0.1:47080 -DQUORVI_HOME_HOST=127.0.0.1:47080" \
  "-DQUORVI_REPORT_HOST=127.0.0.1 -DQUORVI_REPORT_PORT=47081"
