; The Windows installer of the browser host: the host, orv.dll and the tools
; into one folder under Program Files, the host registered with the browsers
; machine-wide through orvnm, an uninstaller and the Add/Remove Programs entry.
;
; One script for every build: what differs between builds comes on makensis's
; command line (build-installer beside this file passes it), so that a test can
; make an installer from an existing build tree with an origin of its own
; without reconfiguring that tree.
;   ORV_VERSION      the product's version (major.minor.patch)
;   ORV_FILES_NSH    the generated list of the staged files (ORV_INSTALL_FILES,
;                    ORV_REMOVE_FILES)
;   ORV_OUTFILE      where the installer is written
;   ORV_ORIGIN_ARGS  "--origin chrome-extension://<id>/ ..." or empty: empty
;                    registers nothing (no manifest, no keys)

Unicode true
Target amd64-unicode  ; the host is a 64-bit program: so is its installer

!include LogicLib.nsh
!include FileFunc.nsh

!ifndef ORV_VERSION | ORV_FILES_NSH | ORV_OUTFILE
  !error "build with packaging/windows/build-installer"
!endif
!ifndef ORV_ORIGIN_ARGS
  !define ORV_ORIGIN_ARGS ""
!endif
!include "${ORV_FILES_NSH}"

!define ORV_PRODUCT "Halvik Password Manager Browser Host"
!define ORV_PUBLISHER "Halvik"
!define ORV_VENDOR_FOLDER "$PROGRAMFILES64\Halvik"
!define ORV_UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${ORV_PRODUCT}"
!define ORV_UNINSTALLER "uninstall.exe"
; Written by "orvnm install --system" beside the host; removed by its uninstall.
!define ORV_MANIFEST "com.halvik.pwm.json"

Name "${ORV_PRODUCT}"
OutFile "${ORV_OUTFILE}"
InstallDir "${ORV_VENDOR_FOLDER}\Password Manager Browser Host"
InstallDirRegKey HKLM "${ORV_UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show
ManifestDPIAware true

VIProductVersion "${ORV_VERSION}.0"
VIAddVersionKey "ProductName" "${ORV_PRODUCT}"
VIAddVersionKey "CompanyName" "${ORV_PUBLISHER}"
VIAddVersionKey "FileDescription" "${ORV_PRODUCT} Setup"
VIAddVersionKey "FileVersion" "${ORV_VERSION}"
VIAddVersionKey "ProductVersion" "${ORV_VERSION}"
VIAddVersionKey "LegalCopyright" "${ORV_PUBLISHER}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Machine-wide keys and Program Files: nothing works without an administrator,
; so refuse at once rather than fail half-way (the manifest asks for elevation;
; this catches a disabled UAC or a refused token).
!macro ORV_REQUIRE_ADMIN
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_ICONSTOP "${ORV_PRODUCT}: this needs an administrator." /SD IDOK
    SetErrorLevel 740  ; ERROR_ELEVATION_REQUIRED
    Quit
  ${EndIf}
  SetRegView 64
!macroend

; Runs orvnm with the arguments given; $0 is its exit code, or "error" when it
; could not start. Its output goes to the details list.
!macro ORV_RUN_ORVNM ARGUMENTS
  DetailPrint "orvnm ${ARGUMENTS}"
  nsExec::ExecToLog '"$INSTDIR\orvnm.exe" ${ARGUMENTS}'
  Pop $0
!macroend

; Removes what the installer wrote, and nothing else: the files by name, the
; folder and the vendor folder only when empty, the Add/Remove Programs key.
; A file in use (a host a browser is running) goes at the next restart, and
; the folder after it.
!macro ORV_REMOVE_INSTALLED_FILES
  Delete /REBOOTOK "$INSTDIR\${ORV_MANIFEST}"
  !insertmacro ORV_REMOVE_FILES
  Delete /REBOOTOK "$INSTDIR\${ORV_UNINSTALLER}"
  ${If} ${RebootFlag}
    RMDir /REBOOTOK "$INSTDIR"
  ${Else}
    RMDir "$INSTDIR"  ; left when it holds anything else
  ${EndIf}
  ${GetParent} "$INSTDIR" $1
  ${If} $1 == "${ORV_VENDOR_FOLDER}"
    RMDir "$1"
  ${EndIf}
  DeleteRegKey HKLM "${ORV_UNINSTALL_KEY}"
!macroend

Function .onInit
  !insertmacro ORV_REQUIRE_ADMIN
FunctionEnd

Function un.onInit
  !insertmacro ORV_REQUIRE_ADMIN
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  SetOverwrite on
  !insertmacro ORV_INSTALL_FILES
  WriteUninstaller "$INSTDIR\${ORV_UNINSTALLER}"

  ; A registration that fails leaves the machine as it was before, and says so:
  ; a dialog, or in silent mode the exit code 2 of an aborted installation.
  !if "${ORV_ORIGIN_ARGS}" != ""
    !insertmacro ORV_RUN_ORVNM "install --system ${ORV_ORIGIN_ARGS}"
    ${If} $0 != 0
      StrCpy $2 $0
      DetailPrint "orvnm install failed ($2); removing what was installed"
      !insertmacro ORV_RUN_ORVNM "uninstall --system"
      !insertmacro ORV_REMOVE_INSTALLED_FILES
      MessageBox MB_ICONSTOP \
        "The host could not be registered with the browsers (orvnm: $2). Nothing was installed." /SD IDOK
      Abort "registering the host with the browsers failed"
    ${EndIf}
  !else
    DetailPrint "This build names no extension origins: the host is registered with no browser."
  !endif

  WriteRegStr HKLM "${ORV_UNINSTALL_KEY}" "DisplayName" "${ORV_PRODUCT}"
  WriteRegStr HKLM "${ORV_UNINSTALL_KEY}" "DisplayVersion" "${ORV_VERSION}"
  WriteRegStr HKLM "${ORV_UNINSTALL_KEY}" "Publisher" "${ORV_PUBLISHER}"
  WriteRegStr HKLM "${ORV_UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${ORV_UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${ORV_UNINSTALLER}"
  WriteRegStr HKLM "${ORV_UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${ORV_UNINSTALLER}"'
  WriteRegStr HKLM "${ORV_UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${ORV_UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${ORV_UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${ORV_UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
  WriteRegDWORD HKLM "${ORV_UNINSTALL_KEY}" "EstimatedSize" $1
SectionEnd

Section "Uninstall"
  ; Keys that would name a host no longer there are removed first; when that
  ; fails, the files stay (unless the user says otherwise) so that running the
  ; uninstaller again can finish the job.
  !insertmacro ORV_RUN_ORVNM "uninstall --system"
  ${If} $0 != 0
    MessageBox MB_YESNO|MB_ICONEXCLAMATION \
      "The host's registration with the browsers could not be removed (orvnm: $0). Remove the files anyway?" \
      /SD IDNO IDYES remove_anyway
    SetErrorLevel 2
    Abort "removing the registration with the browsers failed"
  ${EndIf}
  remove_anyway:
  !insertmacro ORV_REMOVE_INSTALLED_FILES
  ${If} ${RebootFlag}
    SetErrorLevel 3010  ; ERROR_SUCCESS_REBOOT_REQUIRED: a file in use goes at the next restart
  ${EndIf}
SectionEnd
