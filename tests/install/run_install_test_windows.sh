#!/usr/bin/env bash
# The SDK out of tree, Windows build under Wine: installs build-windows into a
# throw-away prefix (with the peers), builds the example interface module
# with the cross compiler against that prefix alone, in a folder of its own
# (it finds orv.dll as the copy the host loaded), and has the installed host
# answer a LOAD through it.
#
#   run_install_test_windows.sh SOURCE_DIR WINDOWS_BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
export WINEPREFIX="$build_dir/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
work=$(mktemp -d)
product='HKLM\Software\Halvik\Password Manager'
windows() { local path=$1; echo "Z:${path//\//\\}"; }
standin=
cleanup() {
  if [ -n "$standin" ]; then kill "$standin" 2>/dev/null || true; wait "$standin" 2>/dev/null || true; fi
  wine "$work/prefix/bin/orvreg.exe" delete "$product" /f >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix="$work/prefix"
cmake --install "$build_dir" --prefix "$prefix" >/dev/null
cmake --install "$build_dir" --prefix "$prefix" --component peers >/dev/null
for file in bin/pwm_chrome_extension_host.exe bin/orv.dll bin/orvreg.exe bin/nmsend.exe lib/liborv.dll.a \
    include/orv/orvpwm_interface.h lib/cmake/orv/orvConfig.cmake bin/orvpwm_policy.dll bin/password_manager.exe; do
  [ -e "$prefix/$file" ] || fail "not installed: $file"
done

cmake -S "$source_dir/examples/interface-module" -B "$work/example" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-x86_64.cmake" -DCMAKE_PREFIX_PATH="$prefix" \
  >"$work/example.log" 2>&1 || { cat "$work/example.log"; fail "configure"; }
cmake --build "$work/example" >>"$work/example.log" 2>&1 || { cat "$work/example.log"; fail "build"; }
[ ! -e "$work/example/orv.dll" ] || fail "orv.dll beside the example: it must resolve to the host's copy"

bash "$source_dir/scripts/sign-module" "$prefix/bin/orvpwm_policy.dll" "$work/trust" >/dev/null
wine "$prefix/bin/orvreg.exe" add "$product" /v InstallPath /t REG_SZ /d "$(windows "$work/example/")" /f >/dev/null
wine "$prefix/bin/orvreg.exe" add "$product\\Modules" /v AppPolicy /t REG_SZ \
  /d "$(windows "$prefix/bin/orvpwm_policy.dll")" /f >/dev/null
wine "$prefix/bin/password_manager.exe" </dev/null >/dev/null 2>&1 &
standin=$!
sleep 1

reply=$(cd "$work" && echo '{"COMMAND":"LOAD_BROWSER_RECORD","SITE_URL":"https://login.example.com/","SITE_TITLE":"Sign in"}' |
  wine "$prefix/bin/nmsend.exe" --wait 10000 "$(windows "$prefix/bin/pwm_chrome_extension_host.exe")" | tr -d '\r')
expected='{"COMMAND":"LOAD_BROWSER_RECORD","PW_FIELD_ARRAY":["password"],"PW_VALUE_ARRAY":[""],"RETURN":257,'
expected+='"TEXT_FIELD_ARRAY":["username"],"TEXT_VALUE_ARRAY":[""],"URL":"https://login.example.com/"}'
[ "$reply" = "$expected" ] || fail "the installed host answered '$reply', expected '$expected'"
echo "installed Windows host answered through the example module"
