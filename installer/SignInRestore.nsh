; The option to restore every user's saved drives at sign-in: a section of its own, unticked by
; /NORESTORE, and its settings taken away again when it is unticked on a reinstall.

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
  Push "/NORESTORE"
  Call HasOption
  Pop $R0
  ${If} $R0 = 1
    !insertmacro UnselectSection ${SectionSignIn}
  ${EndIf}
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

; The uninstaller's part: the machine's option, and the uninstalling user's own setting and
; sign-in entry when it names the lwsubst.exe going now (it would point at a missing file).
; Saved drives stay while there are any.
Function un.RemoveRestoreSettings
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  DeleteRegValue HKLM "${VENDOR_KEY}" "RestoreAtSignIn"
  DeleteRegValue HKLM "${RUN_KEY}" "${PRODUCT}"
  ReadRegStr $0 HKCU "${RUN_KEY}" "${PRODUCT}"
  ${If} $0 == '"$INSTDIR\lwsubst.exe" /restore'
  ${OrIf} $0 == '"$X86Dir\lwsubst.exe" /restore'
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  ${EndIf}
  DeleteRegValue HKCU "${VENDOR_KEY}" "RestoreAtSignIn"
  DeleteRegKey /ifempty HKCU "${VENDOR_KEY}\Drives"
  DeleteRegKey /ifempty HKCU "${VENDOR_KEY}"
FunctionEnd
