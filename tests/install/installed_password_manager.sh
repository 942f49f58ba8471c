# Sourced by the install tests: the password manager as an installation has
# it, from installed reference peers. Signs the installed policy module into
# the trust folder of ORV_REGISTRY_DIR (which the caller exports), points
# "InstallPath" at MODULE_DIR and "AppPolicy" at the policy module, and starts
# the installed stand-in; its process id is left in $standin for the caller's
# cleanup to stop.
#
#   start_installed_password_manager SOURCE_DIR ORVREG PEERS_DIR MODULE_DIR
start_installed_password_manager() {
  local source_dir=$1 orvreg=$2 peers=$3 modules=$4
  local product='HKLM\Software\Halvik\Password Manager'
  "$source_dir/scripts/sign-module" "$peers/orvpwm_policy.so" "$ORV_REGISTRY_DIR/trust" >/dev/null
  "$orvreg" add "$product" /v InstallPath /t REG_SZ /d "$modules/" /f >/dev/null
  "$orvreg" add "$product\\Modules" /v AppPolicy /t REG_SZ /d "$peers/orvpwm_policy.so" /f >/dev/null
  "$peers/password_manager.exe" </dev/null >/dev/null 2>&1 &
  standin=$!
  sleep 0.2
}
