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

Function ShowUsageWhenAsked
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/?" $R1
  ${IfNot} ${Errors}
    MessageBox MB_OK|MB_ICONINFORMATION "$(Usage)" /SD IDOK
    SetErrorLevel 0
    Quit
  ${EndIf}
FunctionEnd
