#!/usr/bin/env bash
# The Windows installer round trip under Wine, in a Wine prefix of its own (the
# other Windows tests' registry and Program Files stay as they are): an
# installer made from the built Windows tree with a test origin is run
# silently; the host is found as Chrome finds it (the key names the manifest,
# whose "path" names the host) and answers a LOAD; the uninstaller named by the
# Add/Remove Programs key runs silently, and Program Files and the machine's
# registry are as they were before. First, an installation whose registration
# fails must fail with an error level and leave nothing installed.
#
#   run_installer_test_windows.sh SOURCE_DIR WINDOWS_BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
for program in makensis wine wineboot wineserver winepath; do
  command -v "$program" >/dev/null || { echo "SKIP: $program is missing"; exit 77; }
done
source "$source_dir/tests/install/wine_load_support.sh"
export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cleanup() {
  stop_standin
  if [ -d "$WINEPREFIX" ]; then wineserver -k 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

origin=chrome-extension://ponmlkjihgfedcbaponmlkjihgfedcba/
version=1.2.3
build_installer="$source_dir/packaging/windows/build-installer"
# Nothing of an origin reaches the script unless it is one.
for bad in "${origin%/}" "${origin%a/}z/" "$origin\" /S \$INSTDIR"; do
  if bash "$build_installer" "$build_dir" $version "$work/bad.exe" "$bad" 2>/dev/null || [ -e "$work/bad.exe" ]; then
    fail "an installer was made for the origin '$bad'"
  fi
done
bash "$build_installer" "$build_dir" $version "$work/setup.exe" "$origin" >/dev/null

wineboot -i >/dev/null 2>&1
wineserver -w
program_files="$WINEPREFIX/drive_c/Program Files"
install_dir="$program_files/Halvik/Password Manager Browser Host"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Halvik Password Manager Browser Host'
hosts_keys=('Google\Chrome' 'Chromium' 'Microsoft\Edge' 'BraveSoftware\Brave-Browser' 'Vivaldi')
# The machine as files and the registry keys of browsers, of ours and of
# installed programs (the hive as the Wine server last saved it, without the
# keys' times; Wine changes keys of its own, certificate stores for one).
machine_state() {
  find "$WINEPREFIX/drive_c" -path "$WINEPREFIX/drive_c/users" -prune -o -print | sort
  sed -n 's/^\(\[.*\]\) [0-9]*$/\1/p' "$WINEPREFIX/system.reg" |
    grep -iE 'google|chromium|edge|brave|vivaldi|halvik|uninstall|nativemessaging' | sort
}
query() { wine reg query "$@" 2>/dev/null | tr -d '\r'; }
registered_nowhere() {
  local browser
  for browser in "${hosts_keys[@]}"; do
    ! query "HKLM\\Software\\$browser\\NativeMessagingHosts\\com.halvik.pwm" >/dev/null ||
      fail "$1: HKLM\\Software\\$browser\\NativeMessagingHosts\\com.halvik.pwm is there"
  done
  ! query "$uninstall_key" >/dev/null || fail "$1: the uninstall key is there"
}
machine_state >"$work/before.state"

# A folder where the manifest goes: orvnm cannot write it.
mkdir -p "$install_dir/com.halvik.pwm.json"
status=0
wine "$work/setup.exe" /S || status=$?
[ "$status" = 2 ] || fail "an installation whose registration failed exited $status, expected 2"
left=$(cd "$install_dir" && find . -mindepth 1)
[ "$left" = ./com.halvik.pwm.json ] || fail "a failed installation left: $left"
registered_nowhere "after a failed installation"
rm -rf "$program_files/Halvik"

wine "$work/setup.exe" /S || fail "the installation exited $?"
manifest=$(query 'HKLM\Software\Google\Chrome\NativeMessagingHosts\com.halvik.pwm' /ve |
  sed -n 's/^ *(Default) *REG_SZ *//p')
[ -n "$manifest" ] || fail "Chrome's key names no manifest"
manifest_file=$(winepath -u "$manifest" 2>/dev/null)
[ "$(dirname "$manifest_file")" -ef "$install_dir" ] || fail "the manifest $manifest is not in the install folder"
host=$(sed -n 's/^ *"path" *: *"\(.*\)",\{0,1\} *$/\1/p' "$manifest_file" | sed 's/\\\\/\\/g')
[ "$(winepath -u "$host" 2>/dev/null)" -ef "$install_dir/pwm_chrome_extension_host.exe" ] ||
  fail "the manifest names the host '$host'"
grep -q "\"$origin\"" "$manifest_file" || fail "the manifest does not allow $origin"
query "$uninstall_key" >"$work/uninstall.key"
for value in "DisplayName    REG_SZ    Halvik Password Manager Browser Host" "DisplayVersion    REG_SZ    $version" \
    "Publisher    REG_SZ    Halvik" "NoModify    REG_DWORD    0x1" "NoRepair    REG_DWORD    0x1" \
    'InstallLocation    REG_SZ    C:\Program Files\Halvik\Password Manager Browser Host'; do
  grep -qF "    $value" "$work/uninstall.key" || fail "the uninstall key lacks $value: $(cat "$work/uninstall.key")"
done

cp "$build_dir/bin/orvpwm_policy.dll" "$work/"
serve_loads "$install_dir/orvreg.exe" "$build_dir/bin/test_modules/counted_fields" "$work/orvpwm_policy.dll" \
  "$build_dir/bin/password_manager.exe" "$work"
reply=$(load_reply "$install_dir/nmsend.exe" "$host" "1 1 0 0")
expected='{"COMMAND":"LOAD_BROWSER_RECORD","PW_FIELD_ARRAY":["p0"],"PW_VALUE_ARRAY":["v0"],"RETURN":257,'
expected+='"TEXT_FIELD_ARRAY":["t0"],"TEXT_VALUE_ARRAY":["u0"],"URL":"https://login.example.com/"}'
[ "$reply" = "$expected" ] || fail "the installed host answered '$reply', expected '$expected'"
stop_standin
wine reg delete 'HKLM\Software\Halvik' /f >/dev/null

quiet=$(sed -n 's/^ *QuietUninstallString *REG_SZ *//p' "$work/uninstall.key")
[[ $quiet =~ ^\"(.*)\"\ /S$ ]] || fail "QuietUninstallString is '$quiet'"
wine "${BASH_REMATCH[1]}" /S || fail "the uninstaller exited $?"
# It runs from a copy in %TEMP% and returns at once: wait for every process.
wineserver -w
registered_nowhere "after the uninstallation"
machine_state >"$work/after.state"
diff "$work/before.state" "$work/after.state" >&2 || fail "the uninstallation left the files and keys above"
echo "installed, answered and uninstalled without a trace"
