; The wizard's controls laid out for the pages' longest texts: NSIS's dialogs are sized for
; short English words, and Japanese "インストール(I)" or "アンインストール元:" does not fit them
; at any DPI. Each change is relative to the control's own size, so it scales with the DPI.

; $R0: a control. Sets $R1 to $R4 to its left, top, width and height in its parent's
; coordinates; uses $R5 and $R6.
!macro ControlBox
  System::Call '*(i, i, i, i) p .R5'
  System::Call 'user32::GetWindowRect(p $R0, p $R5)'
  System::Call 'user32::GetParent(p $R0) p .R6'
  System::Call 'user32::MapWindowPoints(p 0, p $R6, p $R5, i 2)'
  System::Call '*$R5(i .R1, i .R2, i .R3, i .R4)'
  System::Free $R5
  IntOp $R3 $R3 - $R1
  IntOp $R4 $R4 - $R2
!macroend

; Places $R0 at $R1, $R2 with size $R3 x $R4 (SWP_NOZORDER | SWP_NOACTIVATE).
!macro PlaceControl
  System::Call 'user32::SetWindowPos(p $R0, p 0, i $R1, i $R2, i $R3, i $R4, i 0x14)'
!macroend

; Next/Install (1) grows by half its width to the left; Back (3) moves along.
!macro WidenNextButtonBody
  GetDlgItem $R0 $HWNDPARENT 1
  !insertmacro ControlBox
  IntOp $R7 $R3 / 2
  IntOp $R1 $R1 - $R7
  IntOp $R3 $R3 + $R7
  !insertmacro PlaceControl
  GetDlgItem $R0 $HWNDPARENT 3
  !insertmacro ControlBox
  IntOp $R1 $R1 - $R7
  !insertmacro PlaceControl
!macroend
Function WidenNextButton
  !insertmacro WidenNextButtonBody
FunctionEnd
Function un.WidenNextButton
  !insertmacro WidenNextButtonBody
FunctionEnd

; The uninstaller's "Uninstalling from:" (1029) grows by half its width, taken from the
; folder field (1000) to its right.
Function un.WidenFolderLabel
  FindWindow $R8 "#32770" "" $HWNDPARENT
  GetDlgItem $R0 $R8 1029
  !insertmacro ControlBox
  IntOp $R7 $R3 / 2
  IntOp $R3 $R3 + $R7
  !insertmacro PlaceControl
  GetDlgItem $R0 $R8 1000
  !insertmacro ControlBox
  IntOp $R1 $R1 + $R7
  IntOp $R3 $R3 - $R7
  !insertmacro PlaceControl
FunctionEnd
