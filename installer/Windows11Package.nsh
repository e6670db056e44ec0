; The package for Windows 11's compact context menu, registered and removed through
; PowerShell's package cmdlets. A failure there is reported in the details and never fails
; the setup: the classic menu works without it.

; Active Setup compares versions written with commas.
!searchreplace ACTIVE_SETUP_VERSION "${VERSION4}" "." ","

Var PackageCommand   ; the command that registers the native set's package
Var PowerShellExit   ; the last PowerShell command's exit code ("error" when it could not start)
Var PowerShellOutput ; and what it wrote

; Pushes 1 from Windows 11 on, else 0 (also where the build number cannot be read).
!macro IsWindows11 un
  Function ${un}IsWindows11
    Push $0
    SetRegView 64
    ReadRegStr $0 HKLM "SOFTWARE\Microsoft\Windows NT\CurrentVersion" "CurrentBuildNumber"
    SetRegView 32
    IntOp $0 $0 + 0
    ${If} $0 >= ${WINDOWS_11_BUILD}
      StrCpy $0 1
    ${Else}
      StrCpy $0 0
    ${EndIf}
    Exch $0
  FunctionEnd
!macroend
!insertmacro IsWindows11 ""
!insertmacro IsWindows11 "un."

; Runs one PowerShell command and prints what came of it ($PowerShellExit, $PowerShellOutput).
!macro RunPowerShell command
  ${DisableX64FSRedirection}
  nsExec::ExecToStack '"$SYSDIR\${POWERSHELL}" ${POWERSHELL_OPTIONS} -Command "${command}"'
  Pop $PowerShellExit
  Pop $PowerShellOutput
  ${EnableX64FSRedirection}
  DetailPrint "PowerShell ($PowerShellExit): ${command}"
  ${If} $PowerShellOutput != ""
    DetailPrint "$PowerShellOutput"
  ${EndIf}
!macroend

; A package with external location registers for one user at a time and cannot be provisioned
; for the machine: each user registers it at their own next sign-in through Active Setup, and
; the account running this setup now, when it is the user signed in to this session. An
; administrator elevating for another user (over the shoulder) gets nothing of it.
Function RegisterPackage
  Call IsWindows11
  Pop $6
  ${If} $6 != 1
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
  !insertmacro RunPowerShell "$PackageCommand"
  Call LogPackageRegistration
  ${If} $PowerShellExit != 0
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

; The native set's package, into $INSTDIR, and the command that registers it.
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
  StrCpy $PackageCommand "Add-AppxPackage -Path '$2\$3' -ExternalLocation '$2'${ALLOW_UNSIGNED}"
FunctionEnd

; The command that registers the package, for Active Setup to run at every user's sign-in.
Function ListPackageForSignIn
  SetRegView 64
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "" "${PRODUCT}"
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "StubPath" '"$WINDIR\System32\${POWERSHELL}" ${POWERSHELL_OPTIONS} -WindowStyle Hidden -Command "$PackageCommand"'
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "Version" "${ACTIVE_SETUP_VERSION}"
  WriteRegDWORD HKLM "${ACTIVE_SETUP_KEY}" "IsInstalled" 1
  SetRegView 32
FunctionEnd

; The log of the registration just run: the command, its exit code and what it wrote.
Function LogPackageRegistration
  FileOpen $3 "$INSTDIR\${SETUP_LOG}" w
  FileWriteUTF16LE /BOM $3 "${PRODUCT} ${VERSION} setup: registering the Windows 11 package$\r$\n"
  FileWriteUTF16LE $3 "Command: $PackageCommand$\r$\nExit code: $PowerShellExit$\r$\n$PowerShellOutput$\r$\n"
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
    Call ${un}IsWindows11
    Pop $6
    ${If} $6 == 1
      !insertmacro RunPowerShell "${REMOVE_PACKAGE_COMMAND}"
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro RemovePackage ""
!insertmacro RemovePackage "un."
