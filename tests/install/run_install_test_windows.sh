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
source "$source_dir/tests/install/wine_load_support.sh"
product='HKLM\Software\Halvik\Password Manager'
cleanup() {
  stop_standin
  wine "$work/prefix/bin/orvreg.exe" delete "$product" /f >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

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

serve_loads "$prefix/bin/orvreg.exe" "$work/example" "$prefix/bin/orvpwm_policy.dll" \
  "$prefix/bin/password_manager.exe" "$work"
reply=$(load_reply "$prefix/bin/nmsend.exe" "$prefix/bin/pwm_chrome_extension_host.exe" "Sign in")
expected='{"COMMAND":"LOAD_BROWSER_RECORD","PW_FIELD_ARRAY":["password"],"PW_VALUE_ARRAY":[""],"RETURN":257,'
expected+='"TEXT_FIELD_ARRAY":["username"],"TEXT_VALUE_ARRAY":[""],"URL":"https://login.example.com/"}'
[ "$reply" = "$expected" ] || fail "the installed host answered '$reply', expected '$expected'"
echo "installed Windows host answered through the example module"
