#!/usr/bin/env bash
# The Debian packages: cpack on the built tree (nothing is rebuilt) into a
# throw-away folder; each package's files, owners, modes and dependencies;
# the host answering from the packages unpacked into a throw-away root; the
# maintainer scripts registering exactly the origins named at build time
# (none when none are), and refusing origins a shell could run; lintian.
#
#   run_package_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
command -v dpkg-deb >/dev/null || { echo "dpkg-deb is missing: skipped"; exit 77; }
source "$source_dir/tests/install/install_test_support.sh"
cleanup() {
  stop_standin
  rm -rf "$work"
}
trap cleanup EXIT

libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build_dir/CMakeCache.txt")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")
# make_packages FOLDER [cpack -D arguments]: the packages' paths, one a line.
make_packages() {
  local out=$1
  shift
  cpack --config "$build_dir/CPackConfig.cmake" -B "$out" "$@" >"$out.log" 2>&1 || { cat "$out.log"; return 1; }
  ls "$out"/*.deb
}

make_packages "$work/plain" >/dev/null || fail "cpack failed"
host_deb="$work/plain/orv-pwm-host_${version}_$(dpkg --print-architecture).deb"
sdk_deb=${host_deb/orv-pwm-host/liborv-dev}
peers_deb=${host_deb/orv-pwm-host/orv-pwm-peers}
[ "$(ls "$work"/plain/*.deb | sort)" = "$(printf '%s\n' "$host_deb" "$sdk_deb" "$peers_deb" | sort)" ] ||
  fail "cpack made $(ls "$work"/plain/*.deb), expected the host, SDK and peers packages"

# expect_entry DEB MODE_AND_OWNER PATH: dpkg-deb -c lists PATH so.
expect_entry() {
  local listing
  listing=$(dpkg-deb -c "$1" | awk -v path="./$3" '$6 == path || $6 == path "/" { print $1, $2 }')
  [ "$listing" = "$2" ] || fail "$(basename "$1"): ./$3 is '${listing:-missing}', expected '$2'"
}
folder='drwxr-xr-x root/root'
program='-rwxr-xr-x root/root'
data='-rw-r--r-- root/root'
for path in etc/orv/trust var/lib/orv/registry etc/orv var/lib/orv; do expect_entry "$host_deb" "$folder" "$path"; done
for path in usr/libexec/orv/pwm_chrome_extension_host usr/bin/orvreg usr/bin/nmsend usr/bin/orvnm; do
  expect_entry "$host_deb" "$program" "$path"
done
expect_entry "$host_deb" "$data" "usr/$libdir/liborv.so.$version"
expect_entry "$host_deb" 'lrwxrwxrwx root/root' "usr/$libdir/liborv.so.1"
for path in usr/include/orv/orvpwm_interface.h usr/include/orv/orv_platform/module_export.h \
    "usr/$libdir/cmake/orv/orvConfig.cmake" "usr/$libdir/cmake/orv/orvConfigVersion.cmake"; do
  expect_entry "$sdk_deb" "$data" "$path"
done
expect_entry "$sdk_deb" 'lrwxrwxrwx root/root' "usr/$libdir/liborv.so"
expect_entry "$peers_deb" "$data" "usr/$libdir/orv/peers/orvpwm_interface.dll"
expect_entry "$peers_deb" "$data" "usr/$libdir/orv/peers/orvpwm_policy.so"
expect_entry "$peers_deb" "$program" "usr/$libdir/orv/peers/password_manager.exe"
for deb in "$host_deb" "$sdk_deb" "$peers_deb"; do
  name=$(dpkg-deb -f "$deb" Package)
  expect_entry "$deb" "$data" "usr/share/doc/$name/copyright"
  expect_entry "$deb" "$data" "usr/share/doc/$name/changelog.gz"
  # Nothing that is not root's, nothing others may write (links aside).
  odd=$(dpkg-deb -c "$deb" | awk '$2 != "root/root" || ($1 !~ /^l/ && $1 ~ /^.....w|^........w/)')
  [ -z "$odd" ] || fail "$(basename "$deb") holds entries that are not root's or that others may write: $odd"
done
# The SDK and the peers hold none of the host package's programs or library.
for deb in "$sdk_deb" "$peers_deb"; do
  ! dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | grep -q -e /libexec/ -e /bin/ -e 'liborv\.so\.' ||
    fail "$(basename "$deb") holds files of the host's package"
done

# Dependencies: the libraries the binaries need, and the host's package.
depends=$(dpkg-deb -f "$host_deb" Depends)
for library in libssl3 libsqlite3-0 libjsoncpp25 libstdc++6 libc6; do
  grep -q "$library" <<<"$depends" || fail "orv-pwm-host does not depend on $library: $depends"
done
grep -q "orv-pwm-host (= $version)" <<<"$(dpkg-deb -f "$sdk_deb" Depends)" ||
  fail "liborv-dev does not depend on orv-pwm-host $version: $(dpkg-deb -f "$sdk_deb" Depends)"
grep -q "orv-pwm-host (>= $version)" <<<"$(dpkg-deb -f "$peers_deb" Depends)" ||
  fail "orv-pwm-peers does not depend on orv-pwm-host: $(dpkg-deb -f "$peers_deb" Depends)"

# Unpacked into a throw-away root: binaries stripped and without RPATH, and the host answers.
root="$work/root"
for deb in "$host_deb" "$sdk_deb" "$peers_deb"; do dpkg-deb -x "$deb" "$root"; done
peers="$root/usr/$libdir/orv/peers"
for binary in "$root/usr/libexec/orv/pwm_chrome_extension_host" "$root/usr/bin/orvnm" "$root/usr/$libdir/liborv.so.1" \
    "$peers/orvpwm_interface.dll"; do
  ! readelf -d "$binary" | grep -q -e RPATH -e RUNPATH || fail "${binary#"$root"} has an RPATH"
  ! readelf -S "$binary" | grep -q -e '\.symtab' -e '\.debug_' || fail "${binary#"$root"} is not stripped"
done
export LD_LIBRARY_PATH="$root/usr/$libdir"
export ORV_REGISTRY_DIR="$work/registry" ORVPWM_RECORDS_DIR="$work/records"
eval "$(ORVREG="$root/usr/bin/orvreg" "$source_dir/scripts/throwaway-install" "$peers" "$work")"
standin=$ORV_STANDIN_PID
host="$root/usr/libexec/orv/pwm_chrome_extension_host"
# A create has no reply: nmsend waits for none long.
"$root/usr/bin/nmsend" --wait 300 "$host" \
  '{"COMMAND":"CREATE_BROWSER_RECORD","SITE_URL":"https://login.example.com/signin","SITE_TITLE":"Sign in","PW_FIELDS":["password"],"PW_VALUES":["correct horse"],"TEXT_FIELDS":["email"],"TEXT_VALUES":["alice@example.com"]}' \
  >/dev/null 2>&1 || true
reply=$("$root/usr/bin/nmsend" --wait 5000 "$host" \
  '{"COMMAND":"LOAD_BROWSER_RECORD","SITE_URL":"https://login.example.com/","SITE_TITLE":"Sign in"}')
grep -q '"PW_VALUE_ARRAY":\["correct horse"\]' <<<"$reply" ||
  fail "the unpacked host did not give back the stored record: '$reply'"
echo "the host unpacked from the packages answered from the reference store"

# Maintainer scripts: none registers anything without origins.
control="$work/control"
mkdir -p "$control"
dpkg-deb -e "$host_deb" "$control/plain"
for script in preinst postinst prerm postrm; do
  [ ! -e "$control/plain/$script" ] || ! grep -q -e orvnm -e chrome-extension "$control/plain/$script" ||
    fail "without origins, $script registers the host: $(cat "$control/plain/$script")"
done

# With two origins (given with a duplicate), exactly those two, and the host's installed path.
first=chrome-extension://abcdefghijklmnopabcdefghijklmnop/
second=chrome-extension://ponmlkjihgfedcbaponmlkjihgfedcba/
make_packages "$work/origins" -D CPACK_COMPONENTS_ALL=runtime \
  -D "CPACK_ORV_EXTENSION_ORIGINS=$first;$second;$first" >/dev/null || fail "cpack failed with origins"
dpkg-deb -e "$work/origins/$(basename "$host_deb")" "$control/origins"
grep -q "^ *orvnm install --system --host /usr/libexec/orv/pwm_chrome_extension_host --origin $first --origin $second$" \
  "$control/origins/postinst" || fail "postinst does not register exactly the two origins: $(cat "$control/origins/postinst")"
[ "$(grep -o 'chrome-extension://[a-p]*/' "$control/origins/postinst" | sort -u | wc -l)" = 2 ] || fail "postinst names other origins"
grep -q '^ *orvnm uninstall --system' "$control/origins/prerm" || fail "prerm does not take the registration away"
for script in postinst prerm; do sh -n "$control/origins/$script" || fail "$script is no valid shell script"; done

# ... and they do it: postinst writes the machine-wide manifests (below
# ORV_REGISTRY_DIR, as orvnm does for tests), prerm removes them.
nm_root="$work/nm"
ORV_REGISTRY_DIR="$nm_root" PATH="$root/usr/bin:$PATH" sh "$control/origins/postinst" configure 2>/dev/null ||
  fail "postinst configure failed"
manifest=$(find "$nm_root" -name com.halvik.pwm.json | head -1)
[ -n "$manifest" ] || fail "postinst wrote no manifest"
grep -q "\"path\" : \"/usr/libexec/orv/pwm_chrome_extension_host\"" "$manifest" || fail "manifest: $(cat "$manifest")"
grep -q "$second" "$manifest" || fail "the manifest does not allow $second: $(cat "$manifest")"
ORV_REGISTRY_DIR="$nm_root" PATH="$root/usr/bin:$PATH" sh "$control/origins/prerm" remove || fail "prerm remove failed"
[ -z "$(find "$nm_root" -name com.halvik.pwm.json)" ] || fail "prerm left a manifest"

# lintian, when installed (scripts/setup installs it; a few seconds): no errors.
if command -v lintian >/dev/null; then
  for packages in "$host_deb $sdk_deb $peers_deb" "$work/origins/$(basename "$host_deb")"; do
    # shellcheck disable=SC2086 # the list of packages
    lintian --fail-on error $packages >"$work/lintian.log" 2>&1 || fail "lintian: $(cat "$work/lintian.log")"
  done
fi

# An origin that a shell would run, or that no browser sends, makes no package.
for bad in 'chrome-extension://abcdefghijklmnopabcdefghijklmnop/$(touch${IFS}pwned)' \
    "chrome-extension://abcdefghijklmnopabcdefghijklmnop/\`touch pwned\`" 'chrome-extension://*/' \
    'https://abcdefghijklmnopabcdefghijklmnop/'; do
  rm -rf "$work/bad"
  if make_packages "$work/bad" -D CPACK_COMPONENTS_ALL=runtime -D "CPACK_ORV_EXTENSION_ORIGINS=$bad" >/dev/null 2>&1 ||
      ls "$work"/bad/*.deb >/dev/null 2>&1; then
    fail "a package was made for the origin '$bad'"
  fi
  tr -s ' \n' ' ' <"$work/bad.log" | grep -q "is not chrome-extension://<32 letters a-p>/" ||
    fail "no reason given for '$bad': $(cat "$work/bad.log")"
done
echo "maintainer scripts register exactly the origins named, and none without"
