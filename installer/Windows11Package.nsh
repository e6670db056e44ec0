; The package for Windows 11's compact context menu, registered and removed through
; PowerShell's package cmdlets. A failure there is reported in the details and never fails
; the setup: the classic menu works without it.

; Windows runs each component listed here once for every user at that user's next sign-in, as
; the user, unelevated, and again when the component's Version grows.
!define ACTIVE_SETUP_KEY "Software\Microsoft\Active Setup\Installed Components\${PRODUCT}"
; Active Setup compares versions written with commas.
!searchreplace ACTIVE_SETUP_VERSION "${VERSION4}" "." ","

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
  Call PlacePackage
  Call ListPackageForSignIn
  Call IsSessionUser
  Pop $6
  ${If} $6 != 1
    DetailPrint "The Windows 11 command comes to each user at their next sign-in."
    Return
  ${EndIf}
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
FunctionEnd

; The native set's package, into $INSTDIR; $1 becomes the command that registers it.
Function PlacePackage
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
FunctionEnd

; $1: the command that registers the package, for Active Setup to run at every user's sign-in.
Function ListPackageForSignIn
  SetRegView 64
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "" "${PRODUCT}"
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "StubPath" '"$WINDIR\System32\WindowsPowerShell\v1.0\powershell.exe" -NoProfile -NonInteractive -WindowStyle Hidden -Command "$1"'
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "Version" "${ACTIVE_SETUP_VERSION}"
  WriteRegDWORD HKLM "${ACTIVE_SETUP_KEY}" "IsInstalled" 1
  SetRegView 32
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
!macro RemovePackage un
  Function ${un}RemovePackage
    SetRegView 64
    DeleteRegKey HKLM "${ACTIVE_SETUP_KEY}"
    DeleteRegKey HKCU "${ACTIVE_SETUP_KEY}"
    SetRegView 32
    !insertmacro ReadWindowsBuild
    ${If} $0 >= 22000
      StrCpy $1 "Get-AppxPackage -AllUsers -Name ${PRODUCT} | Remove-AppxPackage -AllUsers"
      !insertmacro RunPowerShell
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro RemovePackage ""
!insertmacro RemovePackage "un."
