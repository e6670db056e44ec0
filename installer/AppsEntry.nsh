; The product's entry in "Apps & features", its uninstaller and documents, the Start menu
; entry of the drives window, and where the sets live (VENDOR_KEY), all in the native view.

; Inserted in the section itself, whose "Space required" counts them.
!macro PlaceDocuments
  SetOutPath "$INSTDIR"
  File "${DOCS_DIR}\${HELP_FILE}"
  File "${DOCS_DIR}\${LICENSE_FILE}"
  File "${DOCS_DIR}\${NOTICES_FILE}"
!macroend

Function WriteAppsEntry
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
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "$INSTDIR\${HELP_FILE}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "HelpLink" "$INSTDIR\${HELP_FILE}"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${ESTIMATED_KB}
  SetShellVarContext all
  CreateShortCut "${START_MENU_ENTRY}" "$INSTDIR\${WINDOW_FILE}"
FunctionEnd

; Takes a folder from the stack: the documents and what the Windows 11 package left there go.
!macro RemoveDocuments un
  Function ${un}RemoveDocuments
    Exch $1
    Delete "$1\${HELP_FILE}"
    Delete "$1\${LICENSE_FILE}"
    Delete "$1\${NOTICES_FILE}"
    Delete "$1\${PACKAGE_FILE}"
    Delete "$1\${ARM64_PACKAGE_FILE}"
    Delete "$1\${SETUP_LOG}"
    Pop $1
  FunctionEnd
!macroend
!insertmacro RemoveDocuments ""
!insertmacro RemoveDocuments "un."

Function un.RemoveAppsEntry
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegValue HKLM "${VENDOR_KEY}" "InstallLocation"
  DeleteRegValue HKLM "${VENDOR_KEY}" "InstallLocation32"
  DeleteRegValue HKLM "${VENDOR_KEY}" "CreatedParents"
  DeleteRegKey /ifempty HKLM "${VENDOR_KEY}"
  SetShellVarContext all
  Delete "${START_MENU_ENTRY}"
FunctionEnd
