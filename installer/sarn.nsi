; Per-user installer of ZORVAN Sarn[+], made by scripts/release:
;   makensis -DVERSION=1.28 -DSOURCE=<program folder> -DOUTFILE=<installer.exe> installer/sarn.nsi
; Installs into the user's own program folder without elevation, starts the monitor with the session (HKCU Run)
; and right after installing. Upgrades in place: a running monitor is asked to end through its own Exit, the
; programs are replaced, and whatever the programs wrote (config.ini, config\) is never touched.
; Silent: Sarn-Setup-<version>.exe /S [/D=folder]; uninstall: uninstall.exe /S [/REMOVESETTINGS].
; A 64-bit installer for 64-bit programs (it also runs where Wine has no 32-bit part).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "WinMessages.nsh"

!ifndef VERSION
  !error "VERSION is not set (scripts/release sets it)"
!endif
!define PRODUCT "ZORVAN Sarn[+]"
!define MONITOR "Sarn[+]Monitor.exe"
!define OPTION "Sarn[+]Option.exe"
!define MONITOR_TITLE "ZORVAN Sarn[+] Mouse Monitor"
!define CMD_EXIT 6002
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "Sarn[+]Monitor"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZorvanSarn"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Sarn[+]"
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
ShowInstDetails show
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "ZORVAN"
VIAddVersionKey /LANG=1033 "LegalCopyright" "ZORVAN"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Asks a running monitor to end through its Exit command (it switches host mode off and releases the mouse) and
; waits up to 15 s for its window to go. Never kills it: a killed monitor would leave the mouse in host mode.
!macro EndMonitor un
Function ${un}EndMonitor
  FindWindow $0 "" "${MONITOR_TITLE}"
  ${If} $0 = 0
    Return
  ${EndIf}
  DetailPrint "Asking the running monitor to end"
  SendMessage $0 ${WM_COMMAND} ${CMD_EXIT} 0 /TIMEOUT=5000
  StrCpy $1 0
  ${Do}
    Sleep 200
    FindWindow $0 "" "${MONITOR_TITLE}"
    ${If} $0 = 0
      ; The window is gone; give the process a moment to let go of its files.
      Sleep 500
      Return
    ${EndIf}
    IntOp $1 $1 + 1
  ${LoopUntil} $1 >= 75
  MessageBox MB_OK|MB_ICONSTOP "The ${PRODUCT} monitor did not end. Exit it from its tray icon and run setup again." /SD IDOK
  Abort
FunctionEnd
!macroend
!insertmacro EndMonitor ""
!insertmacro EndMonitor "un."

Section "Programs"
  SetShellVarContext current
  Call EndMonitor
  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "${SOURCE}\${MONITOR}"
  File "${SOURCE}\${OPTION}"
  File "${SOURCE}\hidport.dll"
  File "${SOURCE}\sarnctl.exe"
  File "${SOURCE}\README.txt"
  SetOutPath "$INSTDIR\help"
  File "${SOURCE}\help\*_help.dll"
  !ifdef WITH_WAVE
  SetOutPath "$INSTDIR\Wave"
  File /r "${SOURCE}\Wave\*.*"
  !endif
  SetOutPath "$INSTDIR"

  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\${PRODUCT} configuration.lnk" "$INSTDIR\${MONITOR}" "1" "$INSTDIR\${OPTION}" 0
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"
  WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\${MONITOR}"'

  WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "ZORVAN"
  WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\${MONITOR}"
  WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1

  ; Started at once, as the session will start it from now on; from its own folder, where its files live.
  ClearErrors
  ${GetOptions} $CMDLINE "/NOSTART" $0
  ${If} ${Errors}
    Exec '"$INSTDIR\${MONITOR}"'
  ${EndIf}
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  Call un.EndMonitor
  Delete "$INSTDIR\${MONITOR}"
  Delete "$INSTDIR\${OPTION}"
  Delete "$INSTDIR\hidport.dll"
  Delete "$INSTDIR\sarnctl.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\help\*_help.dll"
  RMDir "$INSTDIR\help"
  RMDir /r "$INSTDIR\Wave"
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT} configuration.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegKey HKCU "${UNINST_KEY}"
  Delete "$INSTDIR\uninstall.exe"

  ; The user's settings (config.ini, the slot files, macros and timers in config\, loaded profiles *.zmp) stay
  ; unless asked otherwise, so that a reinstall finds them.
  ClearErrors
  ${GetOptions} $CMDLINE "/REMOVESETTINGS" $0
  ${IfNot} ${Errors}
    Call un.RemoveSettings
  ${ElseIfNot} ${Silent}
    MessageBox MB_YESNO|MB_ICONQUESTION "Remove your settings, profiles and macros as well?" /SD IDNO IDNO keep
      Call un.RemoveSettings
    keep:
  ${EndIf}
  ; Kept settings keep the folder; that is no failure.
  RMDir "$INSTDIR"
SectionEnd

; The settings with what a save leaves beside a file: a save killed in mid-write leaves NAME.<n>.<n>.tmp, one
; that found the file held open keeps its content in NAME.pending. Without them the folder would stay behind.
Function un.RemoveSettings
  Delete "$INSTDIR\config.ini"
  Delete "$INSTDIR\config.ini.*.tmp"
  Delete "$INSTDIR\config.ini.pending"
  RMDir /r "$INSTDIR\config"
  Delete "$INSTDIR\*.zmp"
  Delete "$INSTDIR\*.zmp.*.tmp"
  Delete "$INSTDIR\*.zmp.pending"
FunctionEnd
