; Where the product goes: the folder offered, an earlier copy elsewhere taken away first, and
; the folders above the install folder that a setup made, gone again with it.

Var PrevDir   ; where an earlier install lives, if any
Var PrevDir32
; The folders above the install folder that a setup made (a /D= deep in a new tree), deepest
; first, each followed by "|".
Var CreatedParents

; /D= replaces the default before this runs, and the default itself may be what it named:
; only the process's own command line still tells (NSIS cuts /D= off its copy). Without /D=,
; the product is offered where it lives now.
Function ChooseInstallDir
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  ReadRegStr $PrevDir HKLM "${VENDOR_KEY}" "InstallLocation"
  ReadRegStr $PrevDir32 HKLM "${VENDOR_KEY}" "InstallLocation32"
  SetRegView 32
  System::Call 'kernel32::GetCommandLineW() w .r1'
  ClearErrors
  ${WordFindS} "$1" " /D=" "E#" $2
  ${IfNot} ${Errors}
    Return
  ${EndIf}
  ${If} $PrevDir != ""
    StrCpy $INSTDIR $PrevDir
  ${ElseIf} ${RunningX64}
    StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
  ${EndIf}
FunctionEnd

; The folder as the platform names it ("C:\Tools\..\Tools\LW" is "C:\Tools\LW"), what the DLL
; registers is compared with; an earlier copy elsewhere gone; the parents this setup makes
; noted.
Function SettleInstallDir
  System::Call 'kernel32::GetFullPathNameW(w "$INSTDIR", i ${NSIS_MAX_STRLEN}, w .r1, p 0) i .r2'
  ${If} $2 > 0
    StrCpy $INSTDIR $1
  ${EndIf}
  StrCpy $CreatedParents ""
  Call RemovePreviousCopy
  Call NoteCreatedParents
  Call ChooseX86Dir
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
    Call RemovePackage
  ${EndIf}
  ${If} $PrevDir32 == ""
    StrCpy $PrevDir32 $PrevDir
  ${EndIf}
  StrCpy $SetsDir $PrevDir
  StrCpy $SetsDir32 $PrevDir32
  Call RemoveSets
  Delete "$PrevDir\uninstall.exe"
  Push $PrevDir
  Call RemoveDocuments
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

; Noted after an earlier copy has gone, in front of that copy's own that are still there, so
; that no folder drops out of the record.
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
!macro RemoveCreatedParents un
  Function ${un}RemoveCreatedParents
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
  FunctionEnd
!macroend
!insertmacro RemoveCreatedParents ""
!insertmacro RemoveCreatedParents "un."
