; Registration: checked where it lands, rolled back when it did not, its restart bookkeeping
; forgotten with the files, and removed directly where the DLL cannot unregister itself.

; Library.nsh registers a DLL that was in use at the next restart: each setup run lists its
; files under a key of its own below a key every NSIS setup shares, and one tool named in
; RunOnce works through all the runs.
!define REGTOOL_RUNS "Software\NSIS.Library.RegTool.v3"
!define REGTOOL_NAME "NSIS.Library.RegTool.v3"
!define RUN_ONCE_KEY "Software\Microsoft\Windows\CurrentVersion\RunOnce"

; Takes a set's folder from the stack. Registration is checked where it lands: the class's
; server in the current registry view must be the installed file, or, where that file was in
; use, this run must have it listed for registration at the restart; else all is rolled back.
; regsvr32's exit code does not reach Library.nsh for the x64 set.
Function CheckRegistered
  Pop $4
  ReadRegStr $0 HKCR "CLSID\${CLASS_ID}\InprocServer32" ""
  ${If} $0 == "$4\Lanterwell.dll"
    Return
  ${EndIf}
  Push "$4\Lanterwell.dll"
  Call IsRegisteredAtRestart
  Pop $0
  ${If} $0 != 1
    Push $4
    Call RollBack
  ${EndIf}
FunctionEnd

; Takes a file from the stack and pushes 1 when this run listed it for registration at the
; restart, else 0. Uses $3 and $7 to $9; leaves the registry view at 32 bits, Library.nsh's.
; The run's key is named by Library.nsh's session variable, declared here as Library.nsh
; declares it.
!ifndef __InstallLib_SessionGUID_Defined
  !define __InstallLib_SessionGUID_Defined
  Var /GLOBAL __INSTALLLLIB_SESSIONGUID
!endif
Function IsRegisteredAtRestart
  Pop $8
  SetRegView 32
  ReadRegDWORD $7 HKLM "${REGTOOL_RUNS}\$__INSTALLLLIB_SESSIONGUID" "count"
  ${For} $9 1 $7
    ReadRegStr $3 HKLM "${REGTOOL_RUNS}\$__INSTALLLLIB_SESSIONGUID" "$9.file"
    ${If} $3 == $8
      Push 1
      Return
    ${EndIf}
  ${Next}
  Push 0
FunctionEnd

; Takes the folder whose set was not registered from the stack. Whatever was registered or
; copied goes again; then the failure is reported, and the setup program ends.
Function RollBack
  Pop $0
  StrCpy $SetsDir $INSTDIR
  StrCpy $SetsDir32 $X86Dir
  Call RemoveSets
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

; The runs whose every file lies in $SetsDir or $SetsDir32 go, with the tool copied there (it
; stays behind once it has run) and the RunOnce entry naming it. Another product's run stays,
; for the next tool that runs. Uses $3 to $9.
!macro ForgetPendingRegistrations un
  Function ${un}ForgetPendingRegistrations
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
        ${If} $3 != $SetsDir
        ${AndIf} $3 != $SetsDir32
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
    ReadRegStr $3 HKLM "${RUN_ONCE_KEY}" "${REGTOOL_NAME}"
    StrCpy $4 $3 -4 1
    ${GetParent} "$4" $4
    ${If} $4 != ""
      ${If} $4 == $SetsDir
      ${OrIf} $4 == $SetsDir32
        DeleteRegValue HKLM "${RUN_ONCE_KEY}" "${REGTOOL_NAME}"
      ${EndIf}
    ${EndIf}
    Delete "$SetsDir\${REGTOOL_NAME}.*.exe"
    Delete "$SetsDir32\${REGTOOL_NAME}.*.exe"
  FunctionEnd
!macroend
!insertmacro ForgetPendingRegistrations ""
!insertmacro ForgetPendingRegistrations "un."

; What registration writes, removed directly in the current registry view: the uninstaller's
; fallback when a DLL is no longer there to unregister itself. Nothing here is shared with any
; other product. One test compares this list with what registration writes.
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
