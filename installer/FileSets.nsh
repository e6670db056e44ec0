; The file sets: the native set in $INSTDIR (the x64 set, or the ARM64 set on Windows on ARM)
; and the x86 set in $X86Dir, each the companion first, then the server, registered in the
; set's view. A file in use is replaced at the next restart (and registered then), never left
; old; the copy that waits for that restart, and the tool that registers it then, wait in the
; set's own folder, where an uninstall before the restart finds them.

Var X86Dir ; where the x86 set goes
; The two folders of the sets that RemoveSets takes away.
Var SetsDir
Var SetsDir32

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

!macro UninstallSet DEST
  !insertmacro UnInstallLib REGDLL NOTSHARED REBOOT_NOTPROTECTED "${DEST}\Lanterwell.dll"
  !insertmacro UnInstallLib DLL NOTSHARED REBOOT_NOTPROTECTED "${DEST}\SUBST.DLL"
  Delete /REBOOTOK "${DEST}\lwsubst.exe"
  Delete /REBOOTOK "${DEST}\${WINDOW_FILE}"
  ; An upgrade that still waits for its restart: its copies go, and with them what the restart
  ; would have put back (its registrations: ForgetPendingRegistrations).
  Delete "${DEST}\ns*.tmp"
!macroend

; The x86 set's folder: beside the native one in the 32-bit Program Files, below it anywhere
; else, and the install folder itself on 32-bit Windows.
Function ChooseX86Dir
  ${If} ${RunningX64}
    ${If} $INSTDIR == "$PROGRAMFILES64\${PRODUCT}"
      StrCpy $X86Dir "$PROGRAMFILES32\${PRODUCT}"
    ${Else}
      StrCpy $X86Dir "$INSTDIR\x86"
    ${EndIf}
  ${Else}
    StrCpy $X86Dir "$INSTDIR"
  ${EndIf}
FunctionEnd

; Library.nsh keeps its restart bookkeeping in the installer's own (32-bit) registry view,
; where its restart tool looks for it: only the checks look at the 64-bit view.
Function InstallNativeSet
  ${IfNot} ${RunningX64}
    Return
  ${EndIf}
  CreateDirectory "$INSTDIR"
  ${If} ${OnArm64}
    Call InstallArm64Set
  ${Else}
    Call InstallX64Set
  ${EndIf}
  SetRegView 64
  Push "$INSTDIR"
  Call CheckRegistered
  SetRegView 32
FunctionEnd

; Inserted in the section itself: the wizard's "Space required" counts the files that a
; section's own code writes, and has always counted this set's.
!macro InstallX86Set
  CreateDirectory "$X86Dir"
  !insertmacro InstallSet "${X86_DIR}" "$X86Dir"
  Push "$X86Dir"
  Call CheckRegistered
!macroend

; Library.nsh's labels allow one use of InstallSet in a function or section: each set has a
; function of its own (the x86 set, the section). The ARM64 set is registered by the native
; regsvr32, as the x64 set is on x64 Windows.
Function InstallX64Set
  !define LIBRARY_X64
  !insertmacro InstallSet "${X64_DIR}" "$INSTDIR"
  !undef LIBRARY_X64
FunctionEnd

Function InstallArm64Set
  !define LIBRARY_X64
  !insertmacro InstallSet "${ARM64_DIR}" "$INSTDIR"
  !undef LIBRARY_X64
FunctionEnd

; Both sets unregistered and removed, from $SetsDir and $SetsDir32, with what waits for the
; next restart to put them back.
!macro RemoveSets un
  Function ${un}RemoveSets
    SetRegView 32
    ${If} ${RunningX64}
      !define LIBRARY_X64
      !insertmacro UninstallSet "$SetsDir"
      !undef LIBRARY_X64
    ${EndIf}
    !insertmacro UninstallSet "$SetsDir32"
    Call ${un}ForgetPendingRegistrations
  FunctionEnd
!macroend
!insertmacro RemoveSets ""
!insertmacro RemoveSets "un."
