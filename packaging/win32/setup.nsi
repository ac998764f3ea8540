; tolvane-setup.exe: installs tolv.exe for every user of the machine, with a Start-menu
; shortcut for everyone, a shortcut in the installing user's Startup folder (the program
; is meant to run for the whole session), and an entry under the installed programs.
; The uninstaller removes exactly these. Neither ever touches the settings file in the
; Windows directory: it belongs to the user's hotkeys, not to the installation.
; "/S" installs and uninstalls silently; both need an administrator.
;
; Built by packaging/win32/CMakeLists.txt, which passes TOLVANE_EXE, TOLVANE_ICON,
; OUTFILE and the version record's values (resources/win32/version.cmake).
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvane"
!define SHORTCUT "Tolvane.lnk"

Name "Tolvane"
OutFile "${OUTFILE}"
; A 32-bit program: "Program Files (x86)" on 64-bit Windows.
InstallDir "$PROGRAMFILES\Tolvane"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText " "

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1033 "FileVersion" "${FILE_VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Tolvane Setup"
VIAddVersionKey /LANG=1033 "InternalName" "tolvane-setup"
VIAddVersionKey /LANG=1033 "OriginalFilename" "tolvane-setup.exe"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright 2026 The Tolvane developers"

!define MUI_ICON "${TOLVANE_ICON}"
!define MUI_UNICON "${TOLVANE_ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\tolv.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Tolvane (it opens in the notification area)"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

!macro RequireAdministrator
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_OK|MB_ICONSTOP "Tolvane is installed for every user of this computer: please run this program as an administrator." /SD IDOK
    SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
    Quit
  ${EndIf}
!macroend

Function .onInit
  !insertmacro RequireAdministrator
FunctionEnd

Function un.onInit
  !insertmacro RequireAdministrator
FunctionEnd

Section "Tolvane"
  SetOutPath "$INSTDIR"
  File "/oname=tolv.exe" "${TOLVANE_EXE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  SetShellVarContext all
  CreateShortcut "$SMPROGRAMS\${SHORTCUT}" "$INSTDIR\tolv.exe" "" "$INSTDIR\tolv.exe" 0
  SetShellVarContext current
  CreateShortcut "$SMSTARTUP\${SHORTCUT}" "$INSTDIR\tolv.exe" "" "$INSTDIR\tolv.exe" 0

  ; The entry under the installed programs. DisplayName is the name the user meets on
  ; the window titles and the shortcuts; the version record's ProductName ("tolv2") is
  ; shown nowhere else, so it would be hard to find in the list.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tolvane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${PRODUCT_VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tolv.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; The Startup shortcut is the installing user's: remembered, so that the uninstaller
  ; removes that one whoever runs it.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "StartupShortcut" "$SMSTARTUP\${SHORTCUT}"
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "StartupShortcut"
  ; Only a shortcut of ours: the value comes from the registry.
  StrCpy $1 $0 "" -12
  ${If} $1 == "\${SHORTCUT}"
    Delete "$0"
  ${EndIf}
  SetShellVarContext current
  Delete "$SMSTARTUP\${SHORTCUT}"
  SetShellVarContext all
  Delete "$SMPROGRAMS\${SHORTCUT}"

  ; A running tolv.exe cannot be deleted at once; Windows removes it at the next start.
  Delete /REBOOTOK "$INSTDIR\tolv.exe"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: anything else the user put there stays.
  RMDir /REBOOTOK "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
