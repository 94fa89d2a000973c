; Per-user installer of ZORVAN Sarn[+], made by scripts/release:
;   makensis -DVERSION=1.28 -DSOURCE=<program folder> -DOUTFILE=<installer.exe> -DFILE_LIST=<list.nsh> \
;            installer/sarn.nsi
; FILE_LIST defines the macro UninstallShippedFiles: a Delete for every file of the program folder and an RMDir
; for every folder in it, deepest first, so that uninstall removes what it shipped and nothing else.
; Installs into the user's own program folder without elevation, starts the monitor with the session (HKCU Run)
; and right after installing. Upgrades in place: every program running from the folder is ended first (the
; monitor through its own Exit), the programs are replaced, and whatever the programs wrote (config.ini,
; config\) is never touched.
; Silent: Sarn-Setup-<version>.exe /S [/D=folder]; uninstall: uninstall.exe /S [/REMOVESETTINGS].
; WITH_WAVE and WITH_OSD (defined by scripts/release when the folder has them) add the sound cues and the
; on-screen display program.
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
!ifndef FILE_LIST
  !error "FILE_LIST is not set (scripts/release writes it)"
!endif
!include "${FILE_LIST}"
!define PRODUCT "ZORVAN Sarn[+]"
!define MONITOR "Sarn[+]Monitor.exe"
!define OPTION "Sarn[+]Option.exe"
!define OSD "Sarn[+]OSD.exe"
!define MONITOR_TITLE "ZORVAN Sarn[+] Mouse Monitor"
!define OPTION_TITLE "ZORVAN Sarn[+] Mouse Option"
!define OSD_TITLE "ZORVAN Sarn[+] Mouse OSD"
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

; $R1 = how many processes other than setup itself run an image from $INSTDIR\ (any depth); with $R0 = 1 each
; of them is terminated and named in the log. Found by image path, not by window: a configuration window, a
; sarnctl or anything else started from the folder keeps its files open, and Windows refuses to replace them.
!macro FolderProcesses un
Function ${un}FolderProcesses
  Push $1
  Push $2
  Push $3
  Push $4
  Push $5
  Push $6
  Push $7
  Push $8
  StrCpy $R1 0
  ; The paths Windows reports are long names: so must the folder be (/D= may give a short one).
  StrCpy $8 "$INSTDIR"
  System::Call 'kernel32::GetLongPathNameW(w "$INSTDIR", w .r6, i ${NSIS_MAX_STRLEN}) i .r7'
  ${If} $7 > 0
    StrCpy $8 "$6"
  ${EndIf}
  StrCpy $8 "$8\"
  System::Call 'kernel32::GetCurrentProcessId() i .r7'
  System::Call 'kernel32::CreateToolhelp32Snapshot(i 2, i 0) p .r1'
  ; PROCESSENTRY32W: 568 bytes on 64-bit Windows, dwSize first, th32ProcessID at offset 8.
  System::Alloc 568
  Pop $2
  System::Call '*$2(i 568)'
  System::Call 'kernel32::Process32FirstW(p r1, p r2) i .r3'
  ${DoWhile} $3 <> 0
    System::Call '*$2(i, i, i .r4)'
    ${If} $4 <> $7
    ${AndIf} $4 <> 0
      ; Query access is granted across integrity levels, so an elevated program is counted too.
      System::Call 'kernel32::OpenProcess(i 0x1000, i 0, i r4) p .r5'
      ${If} $5 <> 0
        StrCpy $6 ""
        System::Call 'kernel32::QueryFullProcessImageNameW(p r5, i 0, w .r6, *i ${NSIS_MAX_STRLEN}) i .r3'
        System::Call 'kernel32::CloseHandle(p r5)'
        StrLen $3 "$8"
        StrCpy $3 "$6" $3
        ${If} $3 == "$8"
          IntOp $R1 $R1 + 1
          ${If} $R0 = 1
            System::Call 'kernel32::OpenProcess(i 1, i 0, i r4) p .r5'
            System::Call 'kernel32::TerminateProcess(p r5, i 1) i .r3'
            System::Call 'kernel32::CloseHandle(p r5)'
            ${If} $3 <> 0
              DetailPrint "Ended $6 (process $4): it did not end when asked"
            ${Else}
              DetailPrint "Could not end $6 (process $4): end it yourself and run setup again"
            ${EndIf}
          ${EndIf}
        ${EndIf}
      ${EndIf}
    ${EndIf}
    System::Call 'kernel32::Process32NextW(p r1, p r2) i .r3'
  ${Loop}
  System::Free $2
  System::Call 'kernel32::CloseHandle(p r1)'
  Pop $8
  Pop $7
  Pop $6
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
FunctionEnd
!macroend
!insertmacro FolderProcesses ""
!insertmacro FolderProcesses "un."

; Before files of the folder are replaced or removed, nothing may run from it: the configuration window is
; closed as its own close box would, the monitor ends through its Exit, and what still runs from the folder gets
; 10 s to end. Only then is the rest terminated (and named in the log): a replaced half of a program folder is
; worse than an ended sarnctl.
!macro FreeFolder un
Function ${un}FreeFolder
  FindWindow $0 "" "${OPTION_TITLE}"
  ${If} $0 <> 0
    DetailPrint "Closing the configuration window"
    System::Call 'user32::PostMessageW(p r0, i ${WM_CLOSE}, p 0, p 0)'
  ${EndIf}
  ; The monitor closes the display as it ends; one left without a monitor is asked the same way.
  FindWindow $0 "" "${OSD_TITLE}"
  ${If} $0 <> 0
    DetailPrint "Closing the on-screen display"
    System::Call 'user32::PostMessageW(p r0, i ${WM_CLOSE}, p 0, p 0)'
  ${EndIf}
  Call ${un}EndMonitor
  StrCpy $R0 0
  StrCpy $1 0
  ${Do}
    Call ${un}FolderProcesses
    ${If} $R1 = 0
      Return
    ${EndIf}
    ${If} $1 = 0
      DetailPrint "Waiting for $R1 program(s) running from $INSTDIR to end"
    ${EndIf}
    Sleep 200
    IntOp $1 $1 + 1
  ${LoopUntil} $1 >= 50
  StrCpy $R0 1
  Call ${un}FolderProcesses
  ; Give Windows a moment to let go of the files of what was just terminated.
  StrCpy $R0 0
  StrCpy $1 0
  ${Do}
    Sleep 200
    Call ${un}FolderProcesses
    ${If} $R1 = 0
      ${ExitDo}
    ${EndIf}
    IntOp $1 $1 + 1
  ${LoopUntil} $1 >= 25
FunctionEnd
!macroend
!insertmacro FreeFolder ""
!insertmacro FreeFolder "un."

; 1 in $0 when setup runs with the elevated half of a split token (Run as administrator, an elevated package
; manager): the desktop and the user's programs then run without it. 0 otherwise, also with UAC off, where
; everything runs with the same rights.
Function ElevatedBySplitToken
  Push $1
  Push $2
  Push $3
  StrCpy $0 0
  System::Call 'kernel32::GetCurrentProcess() p .r1'
  System::Call 'advapi32::OpenProcessToken(p r1, i 8, *p .r2) i .r3'
  ${If} $3 <> 0
    ; TokenElevationType (18): 2 = TokenElevationTypeFull.
    System::Call 'advapi32::GetTokenInformation(p r2, i 18, *i .r1, i 4, *i .r3) i .r3'
    ${If} $3 <> 0
    ${AndIf} $1 = 2
      StrCpy $0 1
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r2)'
  ${EndIf}
  Pop $3
  Pop $2
  Pop $1
FunctionEnd

Section "Programs"
  SetShellVarContext current
  Call FreeFolder
  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "${SOURCE}\${MONITOR}"
  File "${SOURCE}\${OPTION}"
  !ifdef WITH_OSD
  File "${SOURCE}\${OSD}"
  !endif
  File "${SOURCE}\hidport.dll"
  File "${SOURCE}\mice.ini"
  File "${SOURCE}\sarnctl.exe"
  File "${SOURCE}\README.txt"
  !ifdef WITH_LINKS
  File "${SOURCE}\links.ini"
  !endif
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
    ; A monitor started from an elevated setup would run elevated: the Start-menu entry, the configuration
    ; window and the user's other programs could not reach it, and Windows would drop what the window sends.
    ; It is not started then; the Start-menu entry (run by the desktop, without elevation) and the next logon
    ; start it with the user's own rights.
    Call ElevatedBySplitToken
    ${If} $0 = 1
      DetailPrint "Setup runs as administrator: the monitor is not started with those rights."
      MessageBox MB_OK|MB_ICONINFORMATION "Setup ran with administrator rights, so it did not start the monitor (it \
        would have run with those rights, out of reach of the configuration window).$\r$\n$\r$\nStart it from the \
        Start menu (ZORVAN Sarn[+] > ZORVAN Sarn[+] configuration); it also starts by itself when you next log on." \
        /SD IDOK
    ${Else}
      Exec '"$INSTDIR\${MONITOR}"'
    ${EndIf}
  ${EndIf}
SectionEnd

; Our own data files: the file itself, its ".pending" (an edit not yet merged) and the temporary files made
; while replacing either ("<name>.<process>.<n>.tmp").
!macro RemoveDataFile name
  Delete "$INSTDIR\${name}"
  Delete "$INSTDIR\${name}.pending"
  Delete "$INSTDIR\${name}.*.tmp"
!macroend

; Only the files the programs make, by name: a folder chosen for the install may hold the user's own files, also
; in config\ (profiles saved there under names of their own) or beside it (*.zmp the user keeps).
!macro RemoveSettings
  !insertmacro RemoveDataFile "config.ini"
  !insertmacro RemoveDataFile "config\Default0.zmp"
  !insertmacro RemoveDataFile "config\Default1.zmp"
  !insertmacro RemoveDataFile "config\Default2.zmp"
  !insertmacro RemoveDataFile "config\Default3.zmp"
  !insertmacro RemoveDataFile "config\Default4.zmp"
  !insertmacro RemoveDataFile "config\Sarn_sequence.dat"
  !insertmacro RemoveDataFile "config\Timer.ini"
  !insertmacro RemoveDataFile "mice.user.ini"
  RMDir "$INSTDIR\config"
!macroend

Section "Uninstall"
  SetShellVarContext current
  Call un.FreeFolder
  ; Exactly the files scripts/release laid out, and their folders when that leaves them empty.
  !insertmacro UninstallShippedFiles
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT} configuration.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegKey HKCU "${UNINST_KEY}"
  Delete "$INSTDIR\uninstall.exe"

  ; The user's settings (config.ini, the slot files, macros and timers in config\) stay unless asked otherwise,
  ; so that a reinstall finds them.
  ClearErrors
  ${GetOptions} $CMDLINE "/REMOVESETTINGS" $0
  ${IfNot} ${Errors}
    !insertmacro RemoveSettings
  ${ElseIfNot} ${Silent}
    MessageBox MB_YESNO|MB_ICONQUESTION "Remove your settings, profiles and macros as well?" /SD IDNO IDNO keep
      !insertmacro RemoveSettings
    keep:
  ${EndIf}
  ; Kept settings keep the folder; that is no failure.
  RMDir "$INSTDIR"
SectionEnd
