#include "host_conditions.h"

#include <cstdio>
#include <string>

#include "orv_platform/paths.h"
#include "orv_process_info.h"
#include "orv_product_pwmgr.h"
#include "orv_pwm_application_policy.h"
#include "orv_registry_dword.h"
#include "orv_registry_string.h"
#include "orv_wchar_string.h"
#include "orv_win32.h"
#include "orv_windows_signedfile.h"
#include "orvpwm_app_policy.h"
#include "orvpwm_interface.h"
#include "system_access.h"

namespace orvnm {

namespace {

const char kStep[] = "host";
const char kProductKey[] = "HKLM\\Software\\Halvik\\Password Manager";
const char kModulesKey[] = "Software\\Halvik\\Password Manager\\Modules";
const char kPolicyKey[] = "HKLM\\Software\\Halvik\\Password Manager\\Policy";
const char kLogsKey[] = "SOFTWARE\\Halvik\\Logs";

std::string hex(LONG value) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(static_cast<ULONG>(value)));
  return text;
}

std::string orvregAdd(const std::string& key, const std::string& name, const std::string& type,
                      const std::string& data) {
  return "orvreg add \"" + key + "\" /v " + name + " /t " + type + " /d \"" + data + "\" /f";
}

// The interface module as the host loads it: "InstallPath" taken as stored,
// the module's name glued on, loaded with the module's folder first.
void checkInterfaceModule(Report& report) {
  const std::string example = usesRegistry() ? "C:\\Program Files\\Halvik\\Password Manager\\" : "/opt/halvik/";
  const std::string fix = orvregAdd(kProductKey, "InstallPath", "REG_SZ", example);
  CORVWCharString directory;
  CORVProduct_PwMgr product;
  if (!product.getInstallDirectory(directory)) {
    report.fail(kStep, "\"InstallPath\" is missing (under Halvik and the former Ostrel Quillmarsh key)", fix);
    return;
  }
  const std::string folder = toUtf8(directory.getBuffer());
  if (!orv_platform::isRootedPath(directory.getBuffer())) {
    report.fail(kStep, "\"InstallPath\" " + folder + " is not a full path", fix);
    return;
  }
  if (folder.back() != separator()[0]) {
    report.fail(kStep,
                "\"InstallPath\" " + folder + " does not end with \"" + separator() +
                    "\": the module's name is glued to the folder's name",
                orvregAdd(kProductKey, "InstallPath", "REG_SZ", folder + separator()));
    return;
  }
  report.ok(kStep, "\"InstallPath\" is the full path " + folder);
  directory += ORV_W(ORVPWM_INTERFACE_MODULE_NAME);
  const std::string module = toUtf8(directory.getBuffer());
  HMODULE loaded = LoadLibraryExW(directory.getBuffer(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  const DWORD loadError = GetLastError();
  if (loaded == nullptr) {
    report.fail(kStep, "the interface module " + module + " does not load (error " + std::to_string(loadError) + ")",
                "install the password manager in that folder, or point \"InstallPath\" at its folder");
    return;
  }
  std::string missing;
  for (const char* name : {ORVPWM_LOAD_RECORD_EXPORT, ORVPWM_CREATE_RECORD_EXPORT})
    if (GetProcAddress(loaded, name) == nullptr)
      missing += std::string(missing.empty() ? "" : ", ") + "\"" + name + "\"";
  FreeLibrary(loaded);
  if (missing.empty()) {
    report.ok(kStep, "the interface module loads and has both exports");
  } else {
    report.fail(kStep, "the interface module " + module + " lacks " + missing,
                "install a password manager whose module carries both exports");
  }
}

// Why a signature was refused, in the trust service's own words.
std::string signatureProblem(const CORVWCharString& path) {
  WINTRUST_FILE_INFO file{};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = path.getBuffer();
  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwProvFlags = WTD_REVOCATION_CHECK_NONE;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const LONG result = WinVerifyTrust(nullptr, &action, &data);
  switch (result) {
    case TRUST_E_NOSIGNATURE:
      return usesRegistry() ? "it carries no signature"
                            : "it carries no signature (no " + toUtf8(path.getBuffer()) + ".p7s beside it)";
    case TRUST_E_BAD_DIGEST: return "it was changed after it was signed";
    case CRYPT_E_FILE_ERROR: return "the module or its signature cannot be read";
    default:
      return "its signature does not verify (" + hex(result) +
             "): the certificate is not trusted here, has expired or may not sign code";
  }
}

// True when the policy module is one the host would load.
bool checkPolicyModule(Report& report) {
  const std::string fix =
      orvregAdd("HKLM\\" + std::string(kModulesKey), "AppPolicy", "REG_SZ",
                usesRegistry() ? "C:\\Program Files\\Halvik\\orvpwm_policy.dll" : "/opt/halvik/orvpwm_policy.so");
  CORVRegistryString value(HKEY_LOCAL_MACHINE, CORVWCharString(ORV_W("Software\\Halvik\\Password Manager\\Modules")),
                           CORVWCharString(ORV_W("AppPolicy")), KEY_READ, false, 0);
  CORVWCharString path;
  if (!value.getValue(path, false)) {
    report.fail(kStep, "\"AppPolicy\" is missing: every policy switch reads as off", fix);
    return false;
  }
  const std::string shown = toUtf8(path.getBuffer());
  if (!orv_platform::isRootedPath(path.getBuffer())) {
    report.fail(kStep, "\"AppPolicy\" " + shown + " is not a full path", fix);
    return false;
  }
  if (!fileExists(shown)) {
    report.fail(kStep, "the policy module " + shown + " does not exist", fix);
    return false;
  }
  bool signerFound = false;
  bool verified = false;
  try {
    CORVSignedFile module(path);
    verified = module.verifySignature(CORVWCharString(ORV_W("HALVIK")), signerFound);
  } catch (...) {
    verified = false;
  }
  if (!verified) {
    report.fail(kStep, "the policy module " + shown + " is refused: " + signatureProblem(path),
                "install the module as the maker signed it, and the maker's root certificate as a trust anchor");
    return false;
  }
  if (!signerFound) {
    report.fail(kStep, "the policy module " + shown + " is validly signed, but by no certificate naming HALVIK",
                "install the maker's own policy module");
    return false;
  }
  report.ok(kStep, "the policy module " + shown + " is signed by HALVIK");
  return true;
}

// Linux: the anchors the signature check trusts, and who may change them.
void checkTrustFolder(Report& report) {
  if (usesRegistry()) return;
  const std::string moved = environment("ORV_REGISTRY_DIR");
  const std::string folder = moved.empty() ? "/etc/orv/trust" : moved + "/trust";
  if (!folderExists(folder)) {
    report.fail(kStep, "the trust folder " + folder + " does not exist: no signature is trusted",
                "sudo install -d -m 755 " + folder + " and put the maker's root certificate (.pem) in it");
    return;
  }
  if (writableByOthers(folder)) {
    report.fail(kStep, "others may write to the trust folder " + folder + ", so its anchors are ignored",
                "sudo chown root: " + folder + " && sudo chmod 755 " + folder);
    return;
  }
  int usable = 0;
  for (const std::string& anchor : filesIn(folder, ".pem")) {
    if (writableByOthers(anchor))
      report.note(kStep, "the anchor " + anchor + " is ignored: others may write to it", "sudo chmod 644 " + anchor);
    else
      ++usable;
  }
  if (usable == 0) {
    report.fail(kStep, "the trust folder " + folder + " holds no usable anchor (*.pem)",
                "put the maker's root certificate there as root, mode 644");
    return;
  }
  report.ok(kStep, "the trust folder " + folder + " holds " + std::to_string(usable) +
                       " anchor(s) that only their owner may change (keep the folder owned by root)");
}

void checkPolicySwitches(Report& report, bool moduleUsable) {
  if (!moduleUsable) {
    report.note(kStep, "the policy switches were not asked: the policy module is not loaded (see above)");
    return;
  }
  CORVPwmApplicationPolicy policy(false);
  if (policy.isPwmEnabled())
    report.ok(kStep, "the policy enables the password manager");
  else
    report.fail(
        kStep, "the policy does not enable the password manager",
        "ask the administrator; with the reference module: " + orvregAdd(kPolicyKey, "PwmEnabled", "REG_DWORD", "1"));
  if (policy.isChromePluginEnabled())
    report.ok(kStep, "the policy enables the Chrome plug-in");
  else
    report.fail(kStep, "the policy does not enable the Chrome plug-in",
                "ask the administrator; with the reference module: " +
                    orvregAdd(kPolicyKey, "ChromePluginEnabled", "REG_DWORD", "1"));
}

void checkDesktopProcess(Report& report) {
  CORVProcessInfo processes;
  DWORD processId = 0;
  if (processes.findProcessIdByName(CORVWCharString(ORV_W("password_manager.exe")), processId) && processId != 0)
    report.ok(kStep, "\"password_manager.exe\" is running");
  else
    report.fail(kStep, "\"password_manager.exe\" is not running: the host drops every record command",
                "start the password manager (the host never starts it)");
}

void checkMetro(Report& report) {
  CORVRegistryDword launchMode(HKEY_CURRENT_USER, CORVWCharString(ORV_W("Software\\Google\\Chrome\\Metro")),
                               CORVWCharString(ORV_W("launch_mode")), KEY_READ, false, 0);
  DWORD value = 0;
  launchMode.getValue(value, false);
  if (value == 1)
    report.fail(kStep,
                "Chrome's Metro launch mode is recorded (\"launch_mode\" = 1): the host drops every record command",
                "orvreg delete \"HKCU\\Software\\Google\\Chrome\\Metro\" /v launch_mode /f");
  else
    report.ok(kStep, "Chrome's Metro launch mode is not recorded");
}

void describeLogs(Report& report) {
  const HKEY machine = rootKey("HKLM");
  const std::string key = std::string("HKLM\\") + kLogsKey;
  DWORD logging = 0;
  DWORD tracing = 0;
  std::string textOutput;
  const bool on = readDword(machine, kLogsKey, "Logging", logging) && logging != 0;
  const bool traced = readDword(machine, kLogsKey, "DynamicLogging", tracing) && tracing == 1;
  const bool hasFile = readString(machine, kLogsKey, "TextOutput", textOutput) && !textOutput.empty();
  const std::string logFile = usesRegistry() ? "C:\\ProgramData\\Halvik\\host.log" : "/tmp/orv-host.log";
  const std::string switchOn = orvregAdd(key, "Logging", "REG_DWORD", "1") + "; " +
                               orvregAdd(key, "DynamicLogging", "REG_DWORD", "1") + "; " +
                               orvregAdd(key, "LogDetail", "REG_DWORD", "0x31B") +
                               (hasFile ? "" : "; " + orvregAdd(key, "TextOutput", "REG_SZ", logFile));
  if (!on) {
    report.note("logs", "logging is off (" + key + " \"Logging\"); to trace the host", switchOn);
  } else if (!hasFile) {
    report.note("logs", "logging is on but \"TextOutput\" names no file, so nothing is written",
                orvregAdd(key, "TextOutput", "REG_SZ", logFile));
  } else {
    report.note("logs",
                "logging is on, to " + textOutput + "; method tracing is " + (traced ? "on" : "off") +
                    (traced ? "" : " (it is read once per process)"),
                traced ? "" : orvregAdd(key, "DynamicLogging", "REG_DWORD", "1"));
  }
}

}  // namespace

void checkHostConditions(Report& report) {
  checkInterfaceModule(report);
  checkTrustFolder(report);
  checkPolicySwitches(report, checkPolicyModule(report));
  checkDesktopProcess(report);
  checkMetro(report);
  describeLogs(report);
}

}  // namespace orvnm
