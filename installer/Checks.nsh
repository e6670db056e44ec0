; Before anything is done: /? answered with the usage, and one setup program or uninstaller
; at a time.

; One at a time: a second one would race for the same files and registrations. The mutex is
; held until the process ends.
!macro OneAtATime
  System::Call 'kernel32::CreateMutexW(p 0, i 1, w "Global\LanterwellSetup") p .r1 ?e'
  Pop $2
  ${If} $2 = 183
    MessageBox MB_OK|MB_ICONSTOP "$(AlreadyRunning)" /SD IDOK
    SetErrorLevel ${EXIT_ALREADY_RUNNING}
    Quit
  ${EndIf}
!macroend

; Takes an option from the stack and pushes 1 when the command line holds it, else 0.
; The Windows Installer package marks its install: the two installers never install over each
; other, each with its own record of what it installed.
Function RefuseBesideWindowsInstaller
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  ReadRegStr $0 HKLM "${VENDOR_KEY}" "InstalledBy"
  SetRegView 32
  ${If} $0 == "${WINDOWS_INSTALLER_MARK}"
    MessageBox MB_OK|MB_ICONSTOP "$(InstalledByWindowsInstaller)" /SD IDOK
    SetErrorLevel ${EXIT_INSTALLED_BY_WINDOWS_INSTALLER}
    Quit
  ${EndIf}
FunctionEnd

Function HasOption
  Exch $R1
  Push $R0
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 $R1 $R0
  StrCpy $R1 1
  ${If} ${Errors}
    StrCpy $R1 0
  ${EndIf}
  Pop $R0
  Exch $R1
FunctionEnd

Function ShowUsageWhenAsked
  Push "/?"
  Call HasOption
  Pop $R0
  ${If} $R0 = 1
    MessageBox MB_OK|MB_ICONINFORMATION "$(Usage)" /SD IDOK
    SetErrorLevel 0
    Quit
  ${EndIf}
FunctionEnd
