# Sourced by the install tests: a throw-away folder in $work, the running
# stand-in's process id in $standin (stop_standin ends it), and fail. Each
# test's EXIT trap calls stop_standin and removes $work.

work=$(mktemp -d)
standin=

stop_standin() {
  if [ -n "$standin" ]; then kill "$standin" 2>/dev/null || true; wait "$standin" 2>/dev/null || true; fi
  standin=
}

fail() { echo "FAIL: $*" >&2; exit 1; }
