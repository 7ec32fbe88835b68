; The Windows program's installer, per user and without administrator rights: the program
; writes into its own directory (downloads, its configuration copy, the self-update), so the
; directory is the user's. Built by packaging/windows/CMakeLists.txt with makensis:
;   /DPROGRAM_DIR=  the Windows program directory (bin/ of the build)
;   /DSTATE_TOOL=   volnor-install-state.exe, run once to record the release's date
;   /DICON=         the program's icon (program.ico of volnor-images)
;   /DRELEASE_DATE= the catalogue release the build carries, yyyy-mm-dd
;   /DVERSION=      the program's version
;   /DOUTFILE=      the installer to write
; A reinstall keeps the node folders, the configuration copy and a later recorded date; the
; uninstaller removes what the installer and the program made but the node folders.
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VOLNOR_Eplan_DB"
!define TITLE "ВОЛНОР: установщик для базы данных Eplan"
!define SHORTCUT "$SMPROGRAMS\ВОЛНОР Eplan DB.lnk"

Name "${TITLE}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\VOLNOR_Eplan_DB"
InstallDirRegKey HKCU "${KEY}" "InstallLocation"

!include "MUI2.nsh"
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

Section
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "${PROGRAM_DIR}\VOLNOR_Eplan_DB.exe"
  File "${PROGRAM_DIR}\LICENSE.txt"
  File "${PROGRAM_DIR}\NOTICES.txt"
  SetOutPath "$INSTDIR\7z"
  File "${PROGRAM_DIR}\7z\7z.exe"
  File "${PROGRAM_DIR}\7z\7z.dll"
  File "${PROGRAM_DIR}\7z\License.txt"

  ; DATEUPDATE in the user's short date format, by the program's own date rules; the tool runs
  ; in the program directory and names it ".".
  SetOutPath "$INSTDIR"
  InitPluginsDir
  File "/oname=$PLUGINSDIR\volnor-install-state.exe" "${STATE_TOOL}"
  nsExec::ExecToLog '"$PLUGINSDIR\volnor-install-state.exe" . ${RELEASE_DATE}'
  Pop $0
  StrCmp $0 "0" +3
    SetErrorLevel 2
    Abort "Не удалось записать дату обновления в eplan-config_local.ini (код $0)."

  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; The program needs its own directory as working directory: the current output path.
  CreateShortCut "${SHORTCUT}" "$INSTDIR\VOLNOR_Eplan_DB.exe" "" "$INSTDIR\VOLNOR_Eplan_DB.exe" 0
  WriteRegStr HKCU "${KEY}" "DisplayName" "${TITLE}"
  WriteRegStr HKCU "${KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${KEY}" "Publisher" "ВОЛНОР"
  WriteRegStr HKCU "${KEY}" "DisplayIcon" "$INSTDIR\VOLNOR_Eplan_DB.exe"
  WriteRegStr HKCU "${KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  Delete "${SHORTCUT}"
  DeleteRegKey HKCU "${KEY}"
  ; What the installer and the program put at the top of the directory; the node folders with
  ; their EDZ files stay, and with them the directory.
  Delete "$INSTDIR\VOLNOR_Eplan_DB.exe"
  Delete "$INSTDIR\VOLNOR_Eplan_DB.exe.old"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\NOTICES.txt"
  Delete "$INSTDIR\eplan-config.ini"
  Delete "$INSTDIR\eplan-config_local.ini"
  Delete "$INSTDIR\update.7z"
  Delete "$INSTDIR\*.cmd"
  RMDir /r "$INSTDIR\7z"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
