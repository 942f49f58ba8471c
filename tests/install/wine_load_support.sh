# Sourced by the tests that run an installed Windows host under Wine and have it
# answer a LOAD, with what every install test has (install_test_support.sh).
# The caller exports WINEPREFIX (and WINEDEBUG) and calls stop_standin when
# it ends.

source "$(dirname "${BASH_SOURCE[0]}")/install_test_support.sh"

# The Windows name of a Linux path, through Wine's Z: drive.
windows_path() { local path=$1; echo "Z:${path//\//\\}"; }

# serve_loads ORVREG_EXE INTERFACE_FOLDER POLICY_DLL STANDIN_EXE WORK_DIR
# The password manager as the host looks for it: "InstallPath" naming the
# folder of an interface module, the policy module signed (in place: pass a
# copy) and named in "AppPolicy", and the desktop process running.
serve_loads() {
  local orvreg=$1 interface_folder=$2 policy=$3 standin_exe=$4 work_dir=$5
  local product='HKLM\Software\Halvik\Password Manager'
  bash "$(dirname "${BASH_SOURCE[0]}")/../../scripts/sign-module" "$policy" "$work_dir/trust" >/dev/null
  wine "$orvreg" add "$product" /v InstallPath /t REG_SZ /d "$(windows_path "$interface_folder/")" /f >/dev/null
  wine "$orvreg" add "$product\\Modules" /v AppPolicy /t REG_SZ /d "$(windows_path "$policy")" /f >/dev/null
  wine "$standin_exe" </dev/null >/dev/null 2>&1 &
  standin=$!
  sleep 1  # the host looks for the process once, at the LOAD
}

# load_reply NMSEND_EXE HOST_EXE TITLE: the host's reply to one LOAD of
# https://login.example.com/ with that page title, as one line of JSON
# (empty when it answers nothing). Paths may be Windows or Linux paths.
load_reply() {
  local nmsend=$1 host=$2 title=$3
  [[ $host == /* ]] && host=$(windows_path "$host")
  echo "{\"COMMAND\":\"LOAD_BROWSER_RECORD\",\"SITE_URL\":\"https://login.example.com/\",\"SITE_TITLE\":\"$title\"}" |
    (cd / && wine "$nmsend" --wait 10000 "$host") | tr -d '\r'
}
