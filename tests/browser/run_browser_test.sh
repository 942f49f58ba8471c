#!/usr/bin/env bash
# The host in a real browser: headless Chromium loads a test extension that
# stores a login through the host, loads it back, and stores the reply it
# received under a second page. The record store then shows that every
# frame crossed the browser intact, both ways.
#
#   run_browser_test.sh SOURCE_DIR BIN_DIR
# Exits 77 (skipped) when Chromium is not installed.
set -euo pipefail
source_dir=$1
bin=$2
browser=${ORV_CHROMIUM:-/usr/bin/chromium}
[ -x "$browser" ] || { echo "browser test: no $browser, skipped"; exit 77; }

work=$(mktemp -d "${TMPDIR:-/tmp}/orv_browser.XXXXXX")
standin=
browser_pid=
cleanup() {
  for pid in $browser_pid $standin; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# The password manager: installed in BIN_DIR, its policy module signed and
# registered in a throw-away registry, its desktop program running.
eval "$("$source_dir/scripts/throwaway-install" "$bin" "$work")"
standin=$ORV_STANDIN_PID

# The extension, with a fixed key so that its ID is known in advance: the
# first 32 hex digits of the SHA-256 of the public key, 0-f spelled a-p.
extension="$work/extension"
mkdir -p "$extension"
openssl genrsa -out "$work/key.pem" 2048 2>/dev/null
openssl rsa -in "$work/key.pem" -pubout -outform DER -out "$work/key.der" 2>/dev/null
id=$(sha256sum "$work/key.der" | cut -c1-32 | tr '0-9a-f' 'a-p')
cat >"$extension/manifest.json" <<JSON
{
  "manifest_version": 3,
  "name": "Password manager host test",
  "version": "1.0",
  "key": "$(base64 -w0 "$work/key.der")",
  "permissions": ["nativeMessaging"],
  "background": {"service_worker": "background.js"}
}
JSON
cp "$source_dir/tests/browser/background.js" "$extension/"

# The host as the browser finds it, registered by orvnm in the profile's
# folder and started through a wrapper that carries the throw-away settings
# (the browser passes its own environment on).
profile="$work/profile"
host_name=com.halvik.pwm_browser_test
cat >"$work/host.sh" <<SH
#!/bin/sh
export ORV_REGISTRY_DIR="$ORV_REGISTRY_DIR" ORVPWM_RECORDS_DIR="$ORVPWM_RECORDS_DIR"
exec "$bin/pwm_chrome_extension_host" "\$@"
SH
chmod +x "$work/host.sh"
"$bin/orvnm" install --user-data-dir "$profile" --name "$host_name" --host "$work/host.sh" \
  --origin "chrome-extension://$id/" >/dev/null

# Before the browser starts, orvnm's check must find nothing wrong.
if ! "$bin/orvnm" check --user-data-dir "$profile" --name "$host_name" >"$work/check.log" 2>&1; then
  echo "browser test: orvnm check found a fault:" >&2
  grep FAIL "$work/check.log" >&2 || cat "$work/check.log" >&2
  exit 1
fi

"$browser" --headless=new --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$profile" --load-extension="$extension" about:blank >"$work/browser.log" 2>&1 &
browser_pid=$!

store="$ORVPWM_RECORDS_DIR/records.db"
stored_reply() {
  [ -f "$store" ] && [ "$(sqlite3 -readonly "$store" \
    "SELECT count(*) FROM records WHERE origin = 'https://reply.example'" 2>/dev/null)" = 1 ]
}
for _ in $(seq 1 300); do
  if stored_reply; then break; fi
  sleep 0.1
done
if ! stored_reply; then
  echo "browser test: the extension's reply never came back through the host" >&2
  [ -f "$store" ] && sqlite3 -readonly "$store" "SELECT origin FROM records" >&2
  tail -n 20 "$work/browser.log" >&2
  exit 1
fi

# What the extension received, read back through the host itself:
# RETURN 1048833 (1 password field | 1 text field << 8 | auto-submit << 20),
# the request's own URL, and the values byte for byte.
reply=$("$bin/nmsend" "$bin/pwm_chrome_extension_host" \
  '{"COMMAND":"LOAD_BROWSER_RECORD","SITE_URL":"https://reply.example/","SITE_TITLE":"reply"}' 2>"$work/nmsend.log")
expected='{"COMMAND":"LOAD_BROWSER_RECORD","PW_FIELD_ARRAY":["RETURN"],"PW_VALUE_ARRAY":["1048833"],"RETURN":1049345,"TEXT_FIELD_ARRAY":["URL","PW_VALUE","TEXT_VALUE"],"TEXT_VALUE_ARRAY":["https://login.example.com/","correct horse é中","alice@example.com"],"URL":"https://reply.example/"}'
if [ "$reply" != "$expected" ]; then
  printf 'browser test: the extension received\n  %s\nexpected\n  %s\n' "$reply" "$expected" >&2
  exit 1
fi
echo "browser test: passed"
