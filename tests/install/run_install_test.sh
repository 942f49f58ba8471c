#!/usr/bin/env bash
# The SDK out of tree: installs the build into a throw-away prefix (with the
# reference peers), checks the installed layout, builds the example interface
# module against that prefix alone, and has the installed host answer a LOAD
# through it, with the installed policy module signed and the installed
# stand-in running.
#
#   run_install_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
source "$source_dir/tests/install/install_test_support.sh"
cleanup() {
  stop_standin
  rm -rf "$work"
}
trap cleanup EXIT

prefix="$work/prefix"
cmake --install "$build_dir" --prefix "$prefix" >/dev/null
[ ! -e "$prefix/lib/orv/peers" ] || fail "the peers were installed without being asked for"
cmake --install "$build_dir" --prefix "$prefix" --component peers >/dev/null

libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build_dir/CMakeCache.txt")
host="$prefix/libexec/orv/pwm_chrome_extension_host"
peers="$prefix/$libdir/orv/peers"
for file in "$host" "$prefix/bin/orvreg" "$prefix/bin/nmsend" "$prefix/$libdir/liborv.so" \
    "$prefix/include/orv/orvpwm_interface.h" "$prefix/include/orv/orv_api.h" "$prefix/include/orv/orv_win32.h" \
    "$prefix/include/orv/orv_platform/module_export.h" "$prefix/include/orv/orv_posix/base.h" \
    "$prefix/$libdir/cmake/orv/orvConfig.cmake" "$prefix/$libdir/cmake/orv/orvConfigVersion.cmake" \
    "$peers/orvpwm_interface.dll" "$peers/orvpwm_policy.so" "$peers/password_manager.exe"; do
  [ -e "$file" ] || fail "not installed: ${file#"$prefix"/}"
done
# Everything installed finds the installed library, not the build's.
for program in "$host" "$prefix/bin/orvreg" "$prefix/bin/nmsend" "$peers/password_manager.exe"; do
  resolved=$(ldd "$program" | sed -n 's/^\s*liborv\.so\.[0-9]* => \(\S*\).*/\1/p')
  [ "$(realpath "$resolved")" = "$(realpath "$prefix/$libdir/liborv.so")" ] ||
    fail "${program#"$prefix"/} loads '$resolved'"
done

# The library exports its interface and keeps its implementation to itself.
exports=$(nm -DC --defined-only "$prefix/$libdir/liborv.so")
grep -q "CORVWCharString::CORVWCharString" <<<"$exports" || fail "the library does not export CORVWCharString"
grep -q "RegOpenKeyExW" <<<"$exports" || fail "the library does not export the Win32 subset"
# (Only symbols of its own: a debug build may export a standard template
# instantiated with one of its types, which is no entry into the library.)
if grep -qE '^[0-9a-f]+ [A-Za-z] (orv_posix::RegistryHive|_CORVLogEntry)' <<<"$exports"; then
  fail "the library exports its internals"
fi

# The example, from the installed SDK alone (the source tree is not on any path).
cmake -S "$source_dir/examples/interface-module" -B "$work/example" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_PREFIX_PATH="$prefix" >"$work/example.log" 2>&1 || { cat "$work/example.log"; fail "configure"; }
cmake --build "$work/example" >>"$work/example.log" 2>&1 || { cat "$work/example.log"; fail "build"; }
[ -f "$work/example/orvpwm_interface.dll" ] || fail "the example built no orvpwm_interface.dll"
if grep -q -e "$source_dir/orv" -e "$source_dir/platform" -e "$build_dir" "$work/example/build.ninja"; then
  fail "the example was built from the source tree or the build, not the installed SDK"
fi

# The password manager installed where the example lies; its policy module signed.
export ORV_REGISTRY_DIR="$work/registry"
eval "$(ORVREG="$prefix/bin/orvreg" "$source_dir/scripts/throwaway-install" "$peers" "$work" "$work/example")"
standin=$ORV_STANDIN_PID

reply=$("$prefix/bin/nmsend" --wait 5000 "$host" \
  '{"COMMAND":"LOAD_BROWSER_RECORD","SITE_URL":"https://login.example.com/","SITE_TITLE":"Sign in"}')
expected='{"COMMAND":"LOAD_BROWSER_RECORD","PW_FIELD_ARRAY":["password"],"PW_VALUE_ARRAY":[""],"RETURN":257,'
expected+='"TEXT_FIELD_ARRAY":["username"],"TEXT_VALUE_ARRAY":[""],"URL":"https://login.example.com/"}'
[ "$reply" = "$expected" ] || fail "the installed host answered '$reply', expected '$expected'"
echo "installed host answered through the example module"
