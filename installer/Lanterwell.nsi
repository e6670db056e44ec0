; The Lanterwell setup program: one installer for 32-bit and 64-bit Windows.
;
; On 64-bit Windows it installs the x64 set (Lanterwell.dll, its SUBST.DLL, lwsubst.exe and the
; drives window Lanterwell.exe) into the 64-bit Program Files and registers it in the 64-bit
; registry view, and the x86 set into Program Files (x86), registered in the 32-bit view; on
; 32-bit Windows only the x86 set.
; On Windows on ARM the ARM64 set takes the x64 set's place: Explorer there is an ARM64 process
; and loads ARM64 extensions only. x64 programs there share the 64-bit registry view with it,
; where the class has one server, so the x64 set is not installed (their dialogs go without
; the menu); 32-bit programs get the x86 set as everywhere.
; With /D=folder the native set goes into the folder and the x86 set into its "x86" subfolder.
;
; On Windows 11 (Windows11Package.nsh) it also registers the package that puts the Explorer command
; into the compact context menu (the native set's package), with the native set's folder as
; its external location.
;
; Built by CMake (target "installer") with:
;   /DVERSION=a.b.c (the release) /DVERSION4=a.b.c.0 /DPUBLISHER=... /DCOPYRIGHT=...
;   /DDOCS_DIR=... (the README, LICENSE.txt, THIRD-PARTY-NOTICES.txt) /DX64_DIR=... /DX86_DIR=...
;   /DARM64_DIR=... /DOUTFILE=... /DPACKAGE_FILE=... /DARM64_PACKAGE_FILE=... (the packages in
;   X64_DIR and ARM64_DIR) /DALLOW_UNSIGNED=" -AllowUnsigned" (or empty for signed packages)
;   /DCLASS_ID=... /DAPP_ID=... /DINTERFACE_ID=... /DLIBRARY_ID=... (in braces, from
;   cmake/Identifiers.cmake)
;   /DSIGN_PYTHON=... /DSIGN_SCRIPT=... (tools/release/sign.py) when a certificate is given
;   /DTEST_NATIVE_ARM64 only for the tests: Windows on ARM taken for the native platform, which
;   Wine cannot be
; Silent mode: /S [/NORESTORE] [/D=folder]. Exit codes: 0 installed, 3010 when a restart
; finishes the job, 1 cancelled, 2 the setup program is damaged (NSIS's own check), 4 the
; handler could not be registered (nothing installed), 5 another setup is running.

Unicode true
ManifestSupportedOS all
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma
!ifdef SIGN_SCRIPT
  ; Signed as they are written: the uninstaller before it is packed, then the setup program.
  !uninstfinalize '"${SIGN_PYTHON}" "${SIGN_SCRIPT}" "%1"' = 0
  !finalize '"${SIGN_PYTHON}" "${SIGN_SCRIPT}" "%1"' = 0
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh
!include Library.nsh
!include WordFunc.nsh
!include FileFunc.nsh

; Whether the machine's native processor is ARM64 (IsWow64Process2), whatever this 32-bit
; program runs as.
!ifdef TEST_NATIVE_ARM64
  !define OnArm64 `1 = 1`
!else
  !define OnArm64 `${IsNativeARM64}`
!endif

!include "${SOURCE_DIR}\installer\Deployment.nsh"
; The release's major and minor numbers, for Apps & features.
!searchparse "${VERSION}" "" VERSION_MAJOR "." VERSION_MINOR "."
; What the setup program did about the Windows 11 package, for the administrator: in the
; install folder, written anew by every setup run that registers the package.
!define SETUP_LOG "setup.log"
; Help is the user's guide (docs/users.md, staged as README.md), installed beside the handler
; with the licence and the notices of the toolchains' runtimes the binaries carry.
!define HELP_FILE "README.md"
; The window for the drives, on every user's Start menu.
!define WINDOW_FILE "Lanterwell.exe"
!define START_MENU_ENTRY "$SMPROGRAMS\${PRODUCT}.lnk"
!define LICENSE_FILE "LICENSE.txt"
!define NOTICES_FILE "THIRD-PARTY-NOTICES.txt"

Name "${PRODUCT} ${VERSION}"
UninstallCaption "$(UninstallTitle)"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION4}"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION4}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=0 "LegalCopyright" "${COPYRIGHT}"

Var PackageNote ; what the finish page adds when the Windows 11 package was not registered

!define MUI_ABORTWARNING
!define MUI_ICON "${SOURCE_DIR}\resources\Lanterwell.ico"
!define MUI_UNICON "${SOURCE_DIR}\resources\Lanterwell.ico"
; The description beside the list, where the longest one fits at any DPI.
!include "${SOURCE_DIR}\installer\PageLayout.nsh"
!define MUI_CUSTOMFUNCTION_GUIINIT WidenNextButton
!define MUI_CUSTOMFUNCTION_UNGUIINIT un.WidenNextButton
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${DOCS_DIR}\${LICENSE_FILE}"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "$(FinishText)$PackageNote"
; Where a restart finishes the job, the user restarts when it suits them.
!define MUI_FINISHPAGE_REBOOTLATER_DEFAULT
!insertmacro MUI_PAGE_FINISH
!define MUI_PAGE_CUSTOMFUNCTION_SHOW un.WidenFolderLabel
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; Drives for every user are the administrator's configuration, which services may rely on: they
; stay, and the last page says so and how to remove them.
!define MUI_FINISHPAGE_TEXT "$(UninstallFinishText)"
!insertmacro MUI_UNPAGE_FINISH
; The first language is the one used when the user's language is neither.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

!include "${SOURCE_DIR}\installer\Texts.nsh"

!define EXIT_NOT_REGISTERED 4
!define EXIT_ALREADY_RUNNING 5
!define EXIT_INSTALLED_BY_WINDOWS_INSTALLER 6

!include "${SOURCE_DIR}\installer\Checks.nsh"
!include "${SOURCE_DIR}\installer\FileSets.nsh"
!include "${SOURCE_DIR}\installer\Registration.nsh"
!include "${SOURCE_DIR}\installer\Folders.nsh"
!include "${SOURCE_DIR}\installer\Windows11Package.nsh"
!include "${SOURCE_DIR}\installer\AppsEntry.nsh"

Function .onInit
  Call ShowUsageWhenAsked
  !insertmacro OneAtATime
  Call RefuseBesideWindowsInstaller
  Call ApplyRestoreSwitch
  Call ChooseInstallDir
FunctionEnd

Section "Lanterwell" SectionMain
  SectionIn RO
  Call ForgetOldRestoreSetting
  Call SettleInstallDir
  Call InstallNativeSet
  !insertmacro InstallX86Set
  ; Windows 11 is 64-bit only: its Explorer loads the native set.
  ${If} ${RunningX64}
    Call RegisterPackage
  ${EndIf}
  Call WriteAppsEntry
  !insertmacro PlaceDocuments
SectionEnd

!include "${SOURCE_DIR}\installer\SignInRestore.nsh"

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionMain} "$(MainDescription)"
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionSignIn} "$(SignInDescription)"
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInstSuccess
  ${If} ${RebootFlag}
    SetErrorLevel 3010
  ${EndIf}
FunctionEnd

!include "${SOURCE_DIR}\installer\Uninstaller.nsh"
