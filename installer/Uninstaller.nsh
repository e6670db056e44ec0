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
  StrCpy $SetsDir $INSTDIR
  StrCpy $SetsDir32 $X86Dir
  Call un.RemoveSets
  Call un.RemoveRegistration
  Push $INSTDIR
  Call un.RemoveDocuments
  Call un.RemoveSelf
  Call un.RemoveInstallFolders
  Call un.RemoveRestoreSettings
  Call un.RemoveAppsEntry
  ${If} ${RebootFlag}
    SetErrorLevel 3010
  ${EndIf}
SectionEnd

; Whether or not the DLLs were still there to unregister themselves, nothing of their
; registration stays, in either view.
Function un.RemoveRegistration
  SetRegView 32
  !insertmacro RemoveRegistration
  ${If} ${RunningX64}
    SetRegView 64
    !insertmacro RemoveRegistration
  ${EndIf}
FunctionEnd

; Run where it is (_?=), the uninstaller cannot delete its own file while it runs: it moves it
; out of the folder where the platform lets it, else leaves it to the next restart, before the
; folder itself may be left to that restart (the restart deletes in order).
Function un.RemoveSelf
  ${If} "$EXEDIR" != "$INSTDIR"
    Delete "$INSTDIR\uninstall.exe"
    Return
  ${EndIf}
  GetTempFileName $1
  System::Call 'kernel32::MoveFileExW(w "$EXEPATH", w "$1", i 1) i .r2'
  ${If} $2 = 0
    Delete "$1"
    StrCpy $1 "$EXEPATH"
  ${EndIf}
  System::Call 'kernel32::MoveFileExW(w "$1", p 0, i 4) i .r2'
FunctionEnd

; The sets' folders, and the folders above them that the setup made, when nothing else is in
; them.
Function un.RemoveInstallFolders
  RMDir /REBOOTOK "$X86Dir"
  RMDir /REBOOTOK "$INSTDIR"
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  ReadRegStr $CreatedParents HKLM "${VENDOR_KEY}" "CreatedParents"
  Call un.RemoveCreatedParents
FunctionEnd
