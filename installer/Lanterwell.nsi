; The Lanterwell setup program: one installer for 32-bit and 64-bit Windows.
;
; On 64-bit Windows it installs the x64 set (Lanterwell.dll, its SUBST.DLL, lwsubst.exe) into the
; 64-bit Program Files and registers it in the 64-bit registry view, and the x86 set into
; Program Files (x86), registered in the 32-bit view; on 32-bit Windows only the x86 set.
; On Windows on ARM the ARM64 set takes the x64 set's place: Explorer there is an ARM64 process
; and loads ARM64 extensions only. x64 programs there share the 64-bit registry view with it,
; where the class has one server, so the x64 set is not installed (their dialogs go without
; the menu); 32-bit programs get the x86 set as everywhere.
; With /D=folder the native set goes into the folder and the x86 set into its "x86" subfolder.
;
; On Windows 11 (build 22000 on) it also registers the package that puts the Explorer command
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
;   /DSIGN_PYTHON=... /DSIGN_SCRIPT=... (tools/sign.py) when a certificate is given
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

!define PRODUCT "Lanterwell"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define VENDOR_KEY "Software\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; Windows runs each component listed here once for every user at that user's next sign-in, as
; the user, unelevated, and again when the component's Version grows.
!define ACTIVE_SETUP_KEY "Software\Microsoft\Active Setup\Installed Components\${PRODUCT}"
; Active Setup compares versions written with commas.
!searchreplace ACTIVE_SETUP_VERSION "${VERSION4}" "." ","
; The release's major and minor numbers, for Apps & features.
!searchparse "${VERSION}" "" VERSION_MAJOR "." VERSION_MINOR "."
; What the setup program did about the Windows 11 package, for the administrator: in the
; install folder, written anew by every setup run that registers the package.
!define SETUP_LOG "setup.log"
; Help is the README's section for Windows users, installed beside the handler with the
; licence and the notices of the toolchains' runtimes the binaries carry.
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
; The first language is the one used when the user's language is neither.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

LangString SignInSection ${LANG_ENGLISH} "Restore drives at sign-in"
LangString SignInSection ${LANG_JAPANESE} "サインイン時に復元"
LangString SignInDescription ${LANG_ENGLISH} "Every user's sign-in brings back the virtual drives that user saved, and the drives each user makes are saved, unless that user switches it off (lwsubst /persist off)."
LangString SignInDescription ${LANG_JAPANESE} "すべてのユーザーのサインイン時に、そのユーザーが保存した仮想ドライブを復元し、作成した仮想ドライブを保存します (各ユーザーは lwsubst /persist off でオフにできます)。"
LangString MainDescription ${LANG_ENGLISH} "The context-menu handler, its drive-mapping library and lwsubst."
LangString MainDescription ${LANG_JAPANESE} "コンテキスト メニューのハンドラ、ドライブ割り当てライブラリ、lwsubst。"
LangString RegisterFailed ${LANG_ENGLISH} "Lanterwell could not be registered ($0). Nothing was installed."
LangString RegisterFailed ${LANG_JAPANESE} "Lanterwell を登録できませんでした ($0)。何もインストールされていません。"
LangString CodePageFailed ${LANG_ENGLISH} "Lanterwell could not be registered: the folder name $INSTDIR has characters that the Windows code page for non-Unicode programs cannot hold. Choose a folder whose name has none (for example C:\Program Files\Lanterwell). Nothing was installed."
LangString CodePageFailed ${LANG_JAPANESE} "Lanterwell を登録できませんでした: フォルダ名 $INSTDIR に、Unicode 非対応プログラム用の Windows のコード ページで表せない文字が含まれています。そのような文字を含まないフォルダ (例: C:\Program Files\Lanterwell) を選んでください。何もインストールされていません。"
LangString AlreadyRunning ${LANG_ENGLISH} "Another Lanterwell setup is running."
LangString AlreadyRunning ${LANG_JAPANESE} "別の Lanterwell セットアップが実行中です。"
LangString Usage ${LANG_ENGLISH} "Lanterwell-${VERSION}-setup.exe [/S] [/NORESTORE] [/D=folder]$\r$\n$\r$\n/S  install without any question$\r$\n/NORESTORE  without restoring drives at sign-in$\r$\n/D=folder  install there (last, no quotes)$\r$\n$\r$\nExit codes: 0 installed, 3010 restart needed, 1 cancelled, 2 setup damaged, 4 could not be registered, 5 another setup is running."
LangString Usage ${LANG_JAPANESE} "Lanterwell-${VERSION}-setup.exe [/S] [/NORESTORE] [/D=フォルダ]$\r$\n$\r$\n/S  確認なしでインストール$\r$\n/NORESTORE  サインイン時の復元なし$\r$\n/D=フォルダ  そのフォルダにインストール (最後に、引用符なし)$\r$\n$\r$\n終了コード: 0 完了、3010 再起動が必要、1 取り消し、2 セットアップの破損、4 登録できない、5 別のセットアップが実行中。"
LangString FinishText ${LANG_ENGLISH} "Lanterwell is installed: right-click a folder and choose $\"Create virtual drive$\".$\r$\n$\r$\nOn Windows 11 the command comes to Explorer's first menu once Explorer starts again: after you sign out and sign in (every other user at their next sign-in). Until then it is under $\"Show more options$\"."
LangString FinishText ${LANG_JAPANESE} "Lanterwell をインストールしました。フォルダーを右クリックして「仮想ドライブの作成」を選んでください。$\r$\n$\r$\nWindows 11 では、エクスプローラーが次に起動したとき (サインアウトしてもう一度サインインしたとき。ほかのユーザーは次回のサインイン時) から、最初のメニューにもこのコマンドが表示されます。それまでは「その他のオプションを確認」の中にあります。"
LangString PackageFailed ${LANG_ENGLISH} "The Windows 11 command could not be registered; $INSTDIR\${SETUP_LOG} says why. The menu under $\"Show more options$\" works all the same."
LangString PackageFailed ${LANG_JAPANESE} "Windows 11 のコマンドを登録できませんでした。理由は $INSTDIR\${SETUP_LOG} にあります。「その他のオプションを確認」のメニューはこのまま使えます。"
LangString UninstallTitle ${LANG_ENGLISH} "Lanterwell Uninstall"
LangString UninstallTitle ${LANG_JAPANESE} "Lanterwell のアンインストール"

!define EXIT_NOT_REGISTERED 4
!define EXIT_ALREADY_RUNNING 5

Var X86Dir ; where the x86 set goes

; One setup program or uninstaller at a time: a second one would race for the same files and
; registrations. The mutex is held until the process ends.
!macro OneAtATime
  System::Call 'kernel32::CreateMutexW(p 0, i 1, w "Global\LanterwellSetup") p .r1 ?e'
  Pop $2
  ${If} $2 = 183
    MessageBox MB_OK|MB_ICONSTOP "$(AlreadyRunning)" /SD IDOK
    SetErrorLevel ${EXIT_ALREADY_RUNNING}
    Quit
  ${EndIf}
!macroend

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
; are, and prints what came of it: $0 its exit code ("error" when it could not start), $2 what
; it wrote.
!macro RunPowerShell
  ${DisableX64FSRedirection}
  nsExec::ExecToStack '"$SYSDIR\WindowsPowerShell\v1.0\powershell.exe" -NoProfile -NonInteractive -Command "$1"'
  Pop $0
  Pop $2
  ${EnableX64FSRedirection}
  DetailPrint "PowerShell ($0): $1"
  ${If} $2 != ""
    DetailPrint "$2"
  ${EndIf}
!macroend

; A package with external location registers for one user at a time and cannot be provisioned
; for the machine: each user registers it at their own next sign-in through Active Setup, and
; the account running this setup now, when it is the user signed in to this session. An
; administrator elevating for another user (over the shoulder) gets nothing of it.
Function RegisterPackage
  !insertmacro ReadWindowsBuild
  ${If} $0 < 22000
    Return
  ${EndIf}
  SetOutPath "$INSTDIR"
  ${If} ${OnArm64}
    File "${ARM64_DIR}\${ARM64_PACKAGE_FILE}"
    StrCpy $3 "${ARM64_PACKAGE_FILE}"
  ${Else}
    File "${X64_DIR}\${PACKAGE_FILE}"
    StrCpy $3 "${PACKAGE_FILE}"
  ${EndIf}
  ; Inside PowerShell's single quotes each of its five single-quote characters (' ‘ ’ ‚ ‛)
  ; stands for itself only when doubled: C:\Bob’s\LW is a folder like any other.
  ${WordReplace} "$INSTDIR" "'" "''" "+" $2
  ${WordReplace} "$2" "‘" "‘‘" "+" $2
  ${WordReplace} "$2" "’" "’’" "+" $2
  ${WordReplace} "$2" "‚" "‚‚" "+" $2
  ${WordReplace} "$2" "‛" "‛‛" "+" $2
  StrCpy $1 "Add-AppxPackage -Path '$2\$3' -ExternalLocation '$2'${ALLOW_UNSIGNED}"
  SetRegView 64
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "" "${PRODUCT}"
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "StubPath" '"$WINDIR\System32\WindowsPowerShell\v1.0\powershell.exe" -NoProfile -NonInteractive -WindowStyle Hidden -Command "$1"'
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "Version" "${ACTIVE_SETUP_VERSION}"
  WriteRegDWORD HKLM "${ACTIVE_SETUP_KEY}" "IsInstalled" 1
  SetRegView 32
  Call IsSessionUser
  Pop $6
  ${If} $6 == 1
    !insertmacro RunPowerShell
    Call LogPackageRegistration
    ${If} $0 != 0
      ; The install stands (the classic menu works), but nobody may miss it: the details
      ; stay open, the finish page says it, and the log says why.
      SetAutoClose false
      DetailPrint "$(PackageFailed)"
      StrCpy $PackageNote "$\r$\n$\r$\n$(PackageFailed)"
      Return
    ${EndIf}
    ; Done for this user: their next sign-in need not do it again.
    SetRegView 64
    WriteRegStr HKCU "${ACTIVE_SETUP_KEY}" "Version" "${ACTIVE_SETUP_VERSION}"
    SetRegView 32
  ${Else}
    DetailPrint "The Windows 11 command comes to each user at their next sign-in."
  ${EndIf}
FunctionEnd

; The log of the registration just run: $1 the command, $0 its exit code, $2 what it wrote.
Function LogPackageRegistration
  FileOpen $3 "$INSTDIR\${SETUP_LOG}" w
  FileWriteUTF16LE /BOM $3 "${PRODUCT} ${VERSION} setup: registering the Windows 11 package$\r$\n"
  FileWriteUTF16LE $3 "Command: $1$\r$\nExit code: $0$\r$\n$2$\r$\n"
  FileClose $3
FunctionEnd

; Pushes 1 when this setup runs as the user signed in to its session, 0 when another account
; elevated it (or the session's user cannot be told). Uses $6 to $9 only.
Function IsSessionUser
  System::Call 'wtsapi32::WTSQuerySessionInformationW(p 0, i -1, i 5, *p .r6, *i .r7) i .r9'
  ${If} $9 = 0
    Push 0
    Return
  ${EndIf}
  System::Call '*$6(&w256 .r8)'
  System::Call 'wtsapi32::WTSFreeMemory(p r6)'
  System::Call 'advapi32::GetUserNameW(w .r9, *i 256)'
  ${If} $8 == $9
    Push 1
  ${Else}
    Push 0
  ${EndIf}
FunctionEnd

; Removed for every user who has it; no sign-in registers it again.
!macro RemovePackageBody
  SetRegView 64
  DeleteRegKey HKLM "${ACTIVE_SETUP_KEY}"
  DeleteRegKey HKCU "${ACTIVE_SETUP_KEY}"
  SetRegView 32
  !insertmacro ReadWindowsBuild
  ${If} $0 >= 22000
    StrCpy $1 "Get-AppxPackage -AllUsers -Name ${PRODUCT} | Remove-AppxPackage -AllUsers"
    !insertmacro RunPowerShell
  ${EndIf}
!macroend

Function RemovePackageBeforeMove
  !insertmacro RemovePackageBody
FunctionEnd

Function un.RemovePackage
  !insertmacro RemovePackageBody
  Delete "$INSTDIR\${PACKAGE_FILE}"
  Delete "$INSTDIR\${ARM64_PACKAGE_FILE}"
  Delete "$INSTDIR\${SETUP_LOG}"
FunctionEnd

; ---------------------------------------------------------------------------------------
; Installing one set: the companion first, then the server, registered in the set's view.
; A file in use is replaced at the next restart (and registered then), never left old; the
; copy that waits for that restart, and the tool that registers it then, wait in the set's own
; folder, where an uninstall before the restart finds them.

!macro InstallSet SOURCE DEST
  SetOutPath "${DEST}"
  !define LIBRARY_IGNORE_VERSION
  !insertmacro InstallLib DLL NOTSHARED REBOOT_NOTPROTECTED "${SOURCE}\lwsubst.exe" "${DEST}\lwsubst.exe" "${DEST}"
  !insertmacro InstallLib DLL NOTSHARED REBOOT_NOTPROTECTED "${SOURCE}\${WINDOW_FILE}" "${DEST}\${WINDOW_FILE}" "${DEST}"
  !insertmacro InstallLib DLL NOTSHARED REBOOT_NOTPROTECTED "${SOURCE}\SUBST.DLL" "${DEST}\SUBST.DLL" "${DEST}"
  !define LIBRARY_SHELL_EXTENSION
  !define LIBRARY_COM
  !insertmacro InstallLib REGDLL NOTSHARED REBOOT_NOTPROTECTED "${SOURCE}\Lanterwell.dll" "${DEST}\Lanterwell.dll" "${DEST}"
  !undef LIBRARY_COM
  !undef LIBRARY_SHELL_EXTENSION
  !undef LIBRARY_IGNORE_VERSION
!macroend

; The native set, in $INSTDIR: the x64 set, or the ARM64 set on Windows on ARM. Functions of
; their own, as each use of InstallSet must be.
Function InstallX64Set
  !define LIBRARY_X64
  !insertmacro InstallSet "${X64_DIR}" "$INSTDIR"
  !undef LIBRARY_X64
FunctionEnd

Function InstallArm64Set
  ; Registered by the native regsvr32, as the x64 set is on x64 Windows.
  !define LIBRARY_X64
  !insertmacro InstallSet "${ARM64_DIR}" "$INSTDIR"
  !undef LIBRARY_X64
FunctionEnd

!macro UninstallSet DEST
  !insertmacro UnInstallLib REGDLL NOTSHARED REBOOT_NOTPROTECTED "${DEST}\Lanterwell.dll"
  !insertmacro UnInstallLib DLL NOTSHARED REBOOT_NOTPROTECTED "${DEST}\SUBST.DLL"
  Delete /REBOOTOK "${DEST}\lwsubst.exe"
  Delete /REBOOTOK "${DEST}\${WINDOW_FILE}"
  ; An upgrade that still waits for its restart: its copies go, and with them what the restart
  ; would have put back (its registrations: ForgetPendingRegistrations).
  Delete "${DEST}\ns*.tmp"
!macroend

; Library.nsh registers a DLL that was in use at the next restart: each setup run lists its
; files under a key of its own below a key every NSIS setup shares, and one tool named in
; RunOnce works through all the runs. Ours go: the runs whose every file lies in $R8 or $R9,
; the tool copied there (it stays behind once it has run) and the RunOnce entry naming it.
; Another product's run stays, for the next tool that runs.
!define REGTOOL_RUNS "Software\NSIS.Library.RegTool.v3"
!define RUN_ONCE_KEY "Software\Microsoft\Windows\CurrentVersion\RunOnce"
!macro ForgetPendingRegistrationsBody
  StrCpy $5 0
  ${Do}
    EnumRegKey $6 HKLM "${REGTOOL_RUNS}" $5
    ${If} $6 == ""
      ${Break}
    ${EndIf}
    ReadRegDWORD $7 HKLM "${REGTOOL_RUNS}\$6" "count"
    StrCpy $8 1
    ${For} $9 1 $7
      ReadRegStr $3 HKLM "${REGTOOL_RUNS}\$6" "$9.file"
      ${GetParent} "$3" $3
      ${If} $3 != $R8
      ${AndIf} $3 != $R9
        StrCpy $8 0
      ${EndIf}
    ${Next}
    ${If} $8 = 1
    ${AndIf} $7 > 0
      DeleteRegKey HKLM "${REGTOOL_RUNS}\$6"
    ${Else}
      IntOp $5 $5 + 1
    ${EndIf}
  ${Loop}
  DeleteRegKey /ifempty HKLM "${REGTOOL_RUNS}"
  ReadRegStr $3 HKLM "${RUN_ONCE_KEY}" "NSIS.Library.RegTool.v3"
  StrCpy $4 $3 -4 1
  ${GetParent} "$4" $5
  ${If} $5 != ""
    ${If} $5 == $R8
    ${OrIf} $5 == $R9
      DeleteRegValue HKLM "${RUN_ONCE_KEY}" "NSIS.Library.RegTool.v3"
    ${EndIf}
  ${EndIf}
  Delete "$R8\NSIS.Library.RegTool.v3.*.exe"
  Delete "$R9\NSIS.Library.RegTool.v3.*.exe"
!macroend
Function ForgetPendingRegistrations
  !insertmacro ForgetPendingRegistrationsBody
FunctionEnd
Function un.ForgetPendingRegistrations
  !insertmacro ForgetPendingRegistrationsBody
FunctionEnd

; What registration writes, removed directly in the current registry view: the uninstaller's
; fallback when a DLL is no longer there to unregister itself. Nothing here is shared with any
; other product.
!macro RemoveRegistration
  DeleteRegKey HKCR "CLSID\${CLASS_ID}"
  DeleteRegKey HKCR "AppID\${APP_ID}"
  DeleteRegKey HKCR "AppID\Lanterwell.DLL"
  DeleteRegKey HKCR "Lanterwell.ShellExtension"
  DeleteRegKey HKCR "Lanterwell.ShellExtension.1"
  DeleteRegKey HKCR "Folder\ShellEx\ContextMenuHandlers\Lanterwell"
  DeleteRegKey HKCR "Interface\${INTERFACE_ID}"
  DeleteRegKey HKCR "TypeLib\${LIBRARY_ID}"
  DeleteRegValue HKLM "Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved" "${CLASS_ID}"
!macroend

; Registration is checked where it lands: the class's server in the current registry view
; must be the installed file, or, where that file was in use, this run must have it listed
; for registration at the restart. regsvr32's exit code does not reach Library.nsh for the
; x64 set.
!macro CheckRegistered DEST
  ReadRegStr $0 HKCR "CLSID\${CLASS_ID}\InprocServer32" ""
  ${If} $0 != "${DEST}\Lanterwell.dll"
    StrCpy $0 "${DEST}\Lanterwell.dll"
    Call IsRegisteredAtRestart
    ${If} $0 != 1
      StrCpy $0 "${DEST}"
      Call RollBack
    ${EndIf}
  ${EndIf}
!macroend

; $0: a file; becomes 1 when this run listed it for registration at the restart, else 0.
; Leaves the registry view at 32 bits, Library.nsh's. The run's key is named by Library.nsh's
; session variable, declared here as Library.nsh declares it.
!ifndef __InstallLib_SessionGUID_Defined
  !define __InstallLib_SessionGUID_Defined
  Var /GLOBAL __INSTALLLLIB_SESSIONGUID
!endif
Function IsRegisteredAtRestart
  SetRegView 32
  ReadRegDWORD $7 HKLM "${REGTOOL_RUNS}\$__INSTALLLLIB_SESSIONGUID" "count"
  StrCpy $8 $0
  StrCpy $0 0
  ${For} $9 1 $7
    ReadRegStr $3 HKLM "${REGTOOL_RUNS}\$__INSTALLLLIB_SESSIONGUID" "$9.file"
    ${If} $3 == $8
      StrCpy $0 1
    ${EndIf}
  ${Next}
FunctionEnd

Function RollBack
  ; Whatever was registered or copied goes again; then the failure is reported.
  SetRegView 32
  ${If} ${RunningX64}
    !define LIBRARY_X64
    !insertmacro UninstallSet "$INSTDIR"
    !undef LIBRARY_X64
  ${EndIf}
  !insertmacro UninstallSet "$X86Dir"
  StrCpy $R8 $INSTDIR
  StrCpy $R9 $X86Dir
  Call ForgetPendingRegistrations
  ; Out of the folders first: the current directory cannot be removed.
  SetOutPath "$TEMP"
  RMDir "$X86Dir"
  RMDir "$INSTDIR"
  Call RemoveCreatedParents
  ; A folder name that the ANSI code page cannot hold is the usual cause: say so.
  System::Call 'kernel32::WideCharToMultiByte(i 0, i 0x400, w "$INSTDIR", i -1, p 0, i 0, p 0, *i 0 r1) i .r2'
  ${If} $1 <> 0
    DetailPrint "$(CodePageFailed)"
    MessageBox MB_OK|MB_ICONSTOP "$(CodePageFailed)" /SD IDOK
  ${Else}
    DetailPrint "$(RegisterFailed)"
    MessageBox MB_OK|MB_ICONSTOP "$(RegisterFailed)" /SD IDOK
  ${EndIf}
  SetErrorLevel ${EXIT_NOT_REGISTERED}
  Quit
FunctionEnd

; The folders above the install folder that a setup made (a /D= deep in a new tree), deepest
; first: gone again when they are empty. Noted after an earlier copy has gone, in front of
; that copy's own that are still there, so that no folder drops out of the record.
Var CreatedParents
Function NoteCreatedParents
  StrCpy $2 ""
  StrCpy $1 "$INSTDIR"
  ${Do}
    ${GetParent} "$1" $1
    ${If} $1 == ""
    ${OrIf} ${FileExists} "$1\*.*"
      ${Break}
    ${EndIf}
    StrCpy $2 "$2$1|"
  ${Loop}
  StrCpy $CreatedParents "$2$CreatedParents"
FunctionEnd

; Removes the folders of $CreatedParents that are empty, in order; those still there (or
; left to the restart) stay in $CreatedParents.
!macro RemoveCreatedParentsBody
  StrCpy $1 "$CreatedParents"
  StrCpy $CreatedParents ""
  ${Do}
    ${WordFind} "$1" "|" "+1{" $2
    ${If} $2 == $1
    ${OrIf} $1 == ""
      ${Break}
    ${EndIf}
    ; After the folder below, which may itself go only at the restart.
    ${If} ${RebootFlag}
      RMDir /REBOOTOK "$2"
    ${Else}
      RMDir "$2"
    ${EndIf}
    ${If} ${FileExists} "$2\*.*"
      StrCpy $CreatedParents "$CreatedParents$2|"
    ${EndIf}
    ${WordFind} "$1" "|" "+1}" $1
  ${Loop}
!macroend
Function RemoveCreatedParents
  !insertmacro RemoveCreatedParentsBody
FunctionEnd

Function un.RemoveCreatedParents
  !insertmacro RemoveCreatedParentsBody
FunctionEnd

Var PrevDir   ; where an earlier install lives, if any
Var PrevDir32

Function .onInit
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/?" $R1
  ${IfNot} ${Errors}
    MessageBox MB_OK|MB_ICONINFORMATION "$(Usage)" /SD IDOK
    SetErrorLevel 0
    Quit
  ${EndIf}
  !insertmacro OneAtATime
  Call ApplyRestoreSwitch
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  ReadRegStr $PrevDir HKLM "${VENDOR_KEY}" "InstallLocation"
  ReadRegStr $PrevDir32 HKLM "${VENDOR_KEY}" "InstallLocation32"
  SetRegView 32
  ; /D= replaces the default before this runs, and the default itself may be what it named:
  ; only the process's own command line still tells (NSIS cuts /D= off its copy). Without
  ; /D=, the product is offered where it lives now.
  System::Call 'kernel32::GetCommandLineW() w .r1'
  ClearErrors
  ${WordFindS} "$1" " /D=" "E#" $2
  ${If} ${Errors}
    ${If} $PrevDir != ""
      StrCpy $INSTDIR $PrevDir
    ${ElseIf} ${RunningX64}
      StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
    ${EndIf}
  ${EndIf}
FunctionEnd

; An install into another folder than the earlier one takes the earlier copy away first:
; unregistered and removed, as its uninstaller would, so that one copy and one entry remain.
Function RemovePreviousCopy
  ${If} $PrevDir == ""
  ${OrIf} $PrevDir == $INSTDIR
    Return
  ${EndIf}
  DetailPrint "Removing the earlier copy in $PrevDir"
  ${If} ${RunningX64}
    Call RemovePackageBeforeMove
    !define LIBRARY_X64
    !insertmacro UninstallSet "$PrevDir"
    !undef LIBRARY_X64
  ${EndIf}
  ${If} $PrevDir32 == ""
    StrCpy $PrevDir32 $PrevDir
  ${EndIf}
  !insertmacro UninstallSet "$PrevDir32"
  StrCpy $R8 $PrevDir
  StrCpy $R9 $PrevDir32
  Call ForgetPendingRegistrations
  Delete "$PrevDir\uninstall.exe"
  Delete "$PrevDir\${HELP_FILE}"
  Delete "$PrevDir\${LICENSE_FILE}"
  Delete "$PrevDir\${NOTICES_FILE}"
  Delete "$PrevDir\${PACKAGE_FILE}"
  Delete "$PrevDir\${ARM64_PACKAGE_FILE}"
  Delete "$PrevDir\${SETUP_LOG}"
  RMDir /REBOOTOK "$PrevDir32"
  RMDir /REBOOTOK "$PrevDir"
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  ReadRegStr $CreatedParents HKLM "${VENDOR_KEY}" "CreatedParents"
  DeleteRegValue HKLM "${VENDOR_KEY}" "CreatedParents"
  SetRegView 32
  Call RemoveCreatedParents
FunctionEnd

; Releases before 1.2.0 turned restoring on in the installing user's own hive. The rule now
; is the machine's default, and a user's own choice comes with that user's own sign-in entry;
; the old value, without such an entry, was the old setup program's: it goes, so that this
; setup's option decides for that user as for everyone.
Function ForgetOldRestoreSetting
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "DisplayVersion"
  SetRegView 32
  ${If} $1 == ""
    Return
  ${EndIf}
  ${VersionCompare} "$1" "1.2.0" $2
  ReadRegDWORD $3 HKCU "${VENDOR_KEY}" "RestoreAtSignIn"
  ReadRegStr $4 HKCU "${RUN_KEY}" "${PRODUCT}"
  ${If} $2 = 2
  ${AndIf} $3 = 1
  ${AndIf} $4 == ""
    DeleteRegValue HKCU "${VENDOR_KEY}" "RestoreAtSignIn"
  ${EndIf}
FunctionEnd

Section "Lanterwell" SectionMain
  SectionIn RO
  Call ForgetOldRestoreSetting
  ; The folder as the platform names it ("C:\Tools\..\Tools\LW" is "C:\Tools\LW"): what the
  ; DLL registers is compared with it.
  System::Call 'kernel32::GetFullPathNameW(w "$INSTDIR", i ${NSIS_MAX_STRLEN}, w .r1, p 0) i .r2'
  ${If} $2 > 0
    StrCpy $INSTDIR $1
  ${EndIf}
  StrCpy $CreatedParents ""
  Call RemovePreviousCopy
  Call NoteCreatedParents
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
    ${If} ${OnArm64}
      Call InstallArm64Set
    ${Else}
      Call InstallX64Set
    ${EndIf}
    SetRegView 64
    !insertmacro CheckRegistered "$INSTDIR"
    SetRegView 32
  ${EndIf}
  CreateDirectory "$X86Dir"
  !insertmacro InstallSet "${X86_DIR}" "$X86Dir"
  !insertmacro CheckRegistered "$X86Dir"
  ; Windows 11 is 64-bit only: its Explorer loads the native set.
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
  ${If} $CreatedParents != ""
    WriteRegStr HKLM "${VENDOR_KEY}" "CreatedParents" "$CreatedParents"
  ${EndIf}
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "VersionMajor" ${VERSION_MAJOR}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "VersionMinor" ${VERSION_MINOR}
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\uninstall.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  ; _?= runs the uninstaller where it is, so that whoever starts it waits for its exit code;
  ; it takes itself out of the folder at the end.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
  File "${DOCS_DIR}\${HELP_FILE}"
  File "${DOCS_DIR}\${LICENSE_FILE}"
  File "${DOCS_DIR}\${NOTICES_FILE}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "$INSTDIR\${HELP_FILE}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "HelpLink" "$INSTDIR\${HELP_FILE}"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${ESTIMATED_KB}
  SetShellVarContext all
  CreateShortCut "${START_MENU_ENTRY}" "$INSTDIR\${WINDOW_FILE}"
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

; Unticked (or /NORESTORE) on a reinstall: what the option wrote before goes.
Section "-RestoreOff"
  ${IfNot} ${SectionIsSelected} ${SectionSignIn}
    ${If} ${RunningX64}
      SetRegView 64
    ${EndIf}
    DeleteRegValue HKLM "${RUN_KEY}" "${PRODUCT}"
    DeleteRegValue HKLM "${VENDOR_KEY}" "RestoreAtSignIn"
    SetRegView 32
  ${EndIf}
SectionEnd

; /NORESTORE leaves the option unticked, as a user would.
Function ApplyRestoreSwitch
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/NORESTORE" $R1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SectionSignIn}
  ${EndIf}
FunctionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionMain} "$(MainDescription)"
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionSignIn} "$(SignInDescription)"
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInstSuccess
  ${If} ${RebootFlag}
    SetErrorLevel 3010
  ${EndIf}
FunctionEnd

; ---------------------------------------------------------------------------------------
; The uninstaller: both sets unregistered and removed (a file still loaded goes at the next
; restart; Explorer is never stopped), the entry and every key the installer wrote.

Function un.onInit
  !insertmacro OneAtATime
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
  StrCpy $R8 $INSTDIR
  StrCpy $R9 $X86Dir
  Call un.ForgetPendingRegistrations
  ; Whether or not the DLLs were still there to unregister themselves, nothing of their
  ; registration stays.
  !insertmacro RemoveRegistration
  ${If} ${RunningX64}
    SetRegView 64
    !insertmacro RemoveRegistration
  ${EndIf}
  SetShellVarContext all
  Delete "${START_MENU_ENTRY}"
  Delete "$INSTDIR\${HELP_FILE}"
  Delete "$INSTDIR\${LICENSE_FILE}"
  Delete "$INSTDIR\${NOTICES_FILE}"
  ; Run where it is (_?=), the uninstaller cannot delete its own file while it runs: it moves
  ; it out of the folder where the platform lets it, else leaves it to the next restart, before
  ; the folder itself may be left to that restart (the restart deletes in order).
  ${If} "$EXEDIR" == "$INSTDIR"
    GetTempFileName $1
    System::Call 'kernel32::MoveFileExW(w "$EXEPATH", w "$1", i 1) i .r2'
    ${If} $2 = 0
      Delete "$1"
      StrCpy $1 "$EXEPATH"
    ${EndIf}
    System::Call 'kernel32::MoveFileExW(w "$1", p 0, i 4) i .r2'
  ${Else}
    Delete "$INSTDIR\uninstall.exe"
  ${EndIf}
  RMDir /REBOOTOK "$X86Dir"
  RMDir /REBOOTOK "$INSTDIR"
  ; The folders above it that the setup made, when nothing else is in them.
  ReadRegStr $1 HKLM "${VENDOR_KEY}" "CreatedParents"
  StrCpy $CreatedParents $1
  Call un.RemoveCreatedParents
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegValue HKLM "${VENDOR_KEY}" "InstallLocation"
  DeleteRegValue HKLM "${VENDOR_KEY}" "InstallLocation32"
  DeleteRegValue HKLM "${VENDOR_KEY}" "CreatedParents"
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
