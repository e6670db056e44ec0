; What the setup program and the Windows Installer package both write and run, said once:
; makensis includes it, installer/msi/make-msi.py reads its definitions (one a line, quoted).

!define PRODUCT "Lanterwell"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define VENDOR_KEY "Software\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; What the Windows Installer package writes as InstalledBy in VENDOR_KEY: the two installers
; never install over each other, each with its own record of what it installed.
!define WINDOWS_INSTALLER_MARK "Windows Installer"

; Windows runs each component listed here once for every user at that user's next sign-in, as
; the user, unelevated, and again when the component's Version grows.
!define ACTIVE_SETUP_KEY "Software\Microsoft\Active Setup\Installed Components\${PRODUCT}"
; Explorer shows the Windows 11 package's command from Windows 11 on.
!define WINDOWS_11_BUILD "22000"
; PowerShell, in the 64-bit system folder, where the package cmdlets are, and how it is run.
!define POWERSHELL "WindowsPowerShell\v1.0\powershell.exe"
!define POWERSHELL_OPTIONS "-NoProfile -NonInteractive"
; Removes the package for every user who has it.
!define REMOVE_PACKAGE_COMMAND "Get-AppxPackage -AllUsers -Name ${PRODUCT} | Remove-AppxPackage -AllUsers"
