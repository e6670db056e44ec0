; The Lanterwell setup program: one installer for 32-bit and 64-bit Windows.
;
; On 64-bit Windows it installs the x64 set (Lanterwell.dll, its SUBST.DLL, lwsubst.exe) into the
; 64-bit Program Files and registers it in the 64-bit registry view, and the x86 set into
; Program Files (x86), registered in the 32-bit view; on 32-bit Windows only the x86 set.
; With /D=folder the x64 set goes into the folder and the x86 set into its "x86" subfolder.
;
; On Windows 11 (build 22000 on) it also registers the package that puts the Explorer command
; into the compact context menu, with the x64 install folder as its external location.
;
; Built by CMake (target "installer") with:
;   /DVERSION=a.b.c.d /DPUBLISHER=... /DX64_DIR=... /DX86_DIR=... /DOUTFILE=...
;   /DPACKAGE_FILE=... /DALLOW_UNSIGNED=" -AllowUnsigned" (or empty for a signed package)
; Silent mode: /S [/D=folder]; exit code 0, 3010 when a restart finishes the job, 1 or 2 on
; failure.

Unicode true
ManifestSupportedOS all
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh
!include Library.nsh
!include WordFunc.nsh

!define PRODUCT "Lanterwell"
!define CLASS_ID "{5B1D7E20-3C44-4A8F-9E61-2F0A7C9D4B13}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define VENDOR_KEY "Software\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PUBLISHER}"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The first language is the one used when the user's language is neither.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

LangString SignInSection ${LANG_ENGLISH} "Restore my virtual drives when I sign in"
LangString SignInSection ${LANG_JAPANESE} "サインイン時に仮想ドライブを復元する"
LangString RegisterFailed ${LANG_ENGLISH} "Lanterwell could not be registered ($0). Nothing was installed."
LangString RegisterFailed ${LANG_JAPANESE} "Lanterwell を登録できませんでした ($0)。何もインストールされていません。"

Var X86Dir ; where the x86 set goes

; ---------------------------------------------------------------------------------------
; The package for Windows 11's compact context menu, registered and removed through
; PowerShell's package cmdlets. A failure there is reported in the details and never fails
; the setup: the classic menu works without it.

; $0: the Windows build number; 0 when unknown.
!macro ReadWindowsBuild
  SetRegView 64
  ReadRegStr $0 HKLM "SOFTWARE\Microsoft\Windows NT\CurrentVersion" "CurrentBuildNumber"
  SetRegView 32
  IntOp $0 $0 + 0
!macroend

; Runs one PowerShell command ($1) from the 64-bit system folder, where the package cmdlets
; are, and prints what came of it.
!macro RunPowerShell
  ${DisableX64FSRedirection}
  ClearErrors
  ExecWait '"$SYSDIR\WindowsPowerShell\v1.0\powershell.exe" -NoProfile -NonInteractive -Command "$1"' $0
  ${If} ${Errors}
    DetailPrint "PowerShell could not be started: $1"
  ${Else}
    DetailPrint "PowerShell ($0): $1"
  ${EndIf}
  ${EnableX64FSRedirection}
!macroend

Function RegisterPackage
  !insertmacro ReadWindowsBuild
  ${If} $0 < 22000
    Return
  ${EndIf}
  SetOutPath "$INSTDIR"
  File "${X64_DIR}\${PACKAGE_FILE}"
  ; PowerShell's single quotes take a doubled quote for one.
  ${WordReplace} "$INSTDIR" "'" "''" "+" $2
  StrCpy $1 "Add-AppxPackage -Path '$2\${PACKAGE_FILE}' -ExternalLocation '$2'${ALLOW_UNSIGNED}"
  !insertmacro RunPowerShell
FunctionEnd

Function un.RemovePackage
  !insertmacro ReadWindowsBuild
  ${If} $0 >= 22000
    StrCpy $1 "Get-AppxPackage -AllUsers -Name ${PRODUCT} | Remove-AppxPackage -AllUsers"
    !insertmacro RunPowerShell
  ${EndIf}
  Delete "$INSTDIR\${PACKAGE_FILE}"
FunctionEnd

; ---------------------------------------------------------------------------------------
; Installing one set: the companion first, then the server, registered in the set's view.
; A file in use is replaced at the next restart (and registered then), never left old.

!macro InstallSet SOURCE DEST
  SetOutPath "${DEST}"
  File "${SOURCE}\lwsubst.exe"
  !define LIBRARY_IGNORE_VERSION
  !insertmacro InstallLib DLL NOTSHARED REBOOT_NOTPROTECTED "${SOURCE}\SUBST.DLL" "${DEST}\SUBST.DLL" "$TEMP"
  !define LIBRARY_SHELL_EXTENSION
  !define LIBRARY_COM
  !insertmacro InstallLib REGDLL NOTSHARED REBOOT_NOTPROTECTED "${SOURCE}\Lanterwell.dll" "${DEST}\Lanterwell.dll" "$TEMP"
  !undef LIBRARY_COM
  !undef LIBRARY_SHELL_EXTENSION
  !undef LIBRARY_IGNORE_VERSION
!macroend

!macro UninstallSet DEST
  !insertmacro UnInstallLib REGDLL NOTSHARED REBOOT_NOTPROTECTED "${DEST}\Lanterwell.dll"
  !insertmacro UnInstallLib DLL NOTSHARED REBOOT_NOTPROTECTED "${DEST}\SUBST.DLL"
  Delete /REBOOTOK "${DEST}\lwsubst.exe"
!macroend

; Registration is checked where it lands: the class's server in the current registry view
; must be the installed file. regsvr32's exit code does not reach Library.nsh for the x64 set.
!macro CheckRegistered DEST
  ReadRegStr $0 HKCR "CLSID\${CLASS_ID}\InprocServer32" ""
  ${IfNot} ${RebootFlag}
  ${AndIf} $0 != "${DEST}\Lanterwell.dll"
    StrCpy $0 "${DEST}"
    Call RollBack
  ${EndIf}
!macroend

Function RollBack
  ; Whatever was registered or copied goes again; then the failure is reported.
  SetRegView 32
  ${If} ${RunningX64}
    !define LIBRARY_X64
    !insertmacro UninstallSet "$INSTDIR"
    !undef LIBRARY_X64
  ${EndIf}
  !insertmacro UninstallSet "$X86Dir"
  ; Out of the folders first: the current directory cannot be removed.
  SetOutPath "$TEMP"
  RMDir "$X86Dir"
  RMDir "$INSTDIR"
  MessageBox MB_OK|MB_ICONSTOP "$(RegisterFailed)" /SD IDOK
  SetErrorLevel 2
  Quit
FunctionEnd

Function .onInit
  ${If} ${RunningX64}
    ; The default folder of the x64 set; /D= replaces it before this runs only when given.
    ${If} $INSTDIR == "$PROGRAMFILES\${PRODUCT}"
      StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Lanterwell" SectionMain
  SectionIn RO
  ${If} ${RunningX64}
    ${If} $INSTDIR == "$PROGRAMFILES64\${PRODUCT}"
      StrCpy $X86Dir "$PROGRAMFILES32\${PRODUCT}"
    ${Else}
      StrCpy $X86Dir "$INSTDIR\x86"
    ${EndIf}
  ${Else}
    StrCpy $X86Dir "$INSTDIR"
  ${EndIf}

  ; Library.nsh keeps its restart bookkeeping in the installer's own (32-bit) registry view,
  ; where its restart tool looks for it: only the checks look at the 64-bit view.
  ${If} ${RunningX64}
    CreateDirectory "$INSTDIR"
    !define LIBRARY_X64
    !insertmacro InstallSet "${X64_DIR}" "$INSTDIR"
    !undef LIBRARY_X64
    SetRegView 64
    !insertmacro CheckRegistered "$INSTDIR"
    SetRegView 32
  ${EndIf}
  CreateDirectory "$X86Dir"
  !insertmacro InstallSet "${X86_DIR}" "$X86Dir"
  !insertmacro CheckRegistered "$X86Dir"
  ; Windows 11 is 64-bit only: its Explorer loads the x64 set.
  ${If} ${RunningX64}
    Call RegisterPackage
  ${EndIf}

  ; The uninstaller and the "Apps & features" entry, in the native view.
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${VENDOR_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${VENDOR_KEY}" "InstallLocation32" "$X86Dir"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\uninstall.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${ESTIMATED_KB}
SectionEnd

; Each user's sign-in restores that user's saved drives; restoring is on for every user who
; has no setting of their own (lwsubst /persist on|off sets one). The default lives with the
; machine, not in the hive of whoever elevated the setup program.
Section "$(SignInSection)" SectionSignIn
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  WriteRegStr HKLM "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\lwsubst.exe" /restore'
  WriteRegDWORD HKLM "${VENDOR_KEY}" "RestoreAtSignIn" 1
  SetRegView 32
SectionEnd

Function .onInstSuccess
  ${If} ${RebootFlag}
    SetErrorLevel 3010
  ${EndIf}
FunctionEnd

; ---------------------------------------------------------------------------------------
; The uninstaller: both sets unregistered and removed (a file still loaded goes at the next
; restart; Explorer is never stopped), the entry and every key the installer wrote.

Function un.onInit
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  ReadRegStr $X86Dir HKLM "${VENDOR_KEY}" "InstallLocation32"
  ${If} $X86Dir == ""
    StrCpy $X86Dir "$INSTDIR"
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ; The package goes first, while the DLL it names is still there.
  ${If} ${RunningX64}
    Call un.RemovePackage
  ${EndIf}
  SetRegView 32
  ${If} ${RunningX64}
    !define LIBRARY_X64
    !insertmacro UninstallSet "$INSTDIR"
    !undef LIBRARY_X64
  ${EndIf}
  !insertmacro UninstallSet "$X86Dir"
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  Delete "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$X86Dir"
  RMDir /REBOOTOK "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegValue HKLM "${VENDOR_KEY}" "InstallLocation"
  DeleteRegValue HKLM "${VENDOR_KEY}" "InstallLocation32"
  DeleteRegValue HKLM "${VENDOR_KEY}" "RestoreAtSignIn"
  DeleteRegKey /ifempty HKLM "${VENDOR_KEY}"
  DeleteRegValue HKLM "${RUN_KEY}" "${PRODUCT}"
  ; A sign-in entry of the uninstalling user's own (lwsubst /persist on) that names the
  ; lwsubst.exe going now would point at a missing file.
  ReadRegStr $0 HKCU "${RUN_KEY}" "${PRODUCT}"
  ${If} $0 == '"$INSTDIR\lwsubst.exe" /restore'
  ${OrIf} $0 == '"$X86Dir\lwsubst.exe" /restore'
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  ${EndIf}
  ; The uninstalling user's setting goes; saved drives stay while there are any.
  DeleteRegValue HKCU "${VENDOR_KEY}" "RestoreAtSignIn"
  DeleteRegKey /ifempty HKCU "${VENDOR_KEY}\Drives"
  DeleteRegKey /ifempty HKCU "${VENDOR_KEY}"
  ${If} ${RebootFlag}
    SetErrorLevel 3010
  ${EndIf}
SectionEnd
