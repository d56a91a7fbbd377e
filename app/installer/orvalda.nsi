; Windows installer for Orvalda: the program, the two companion tools and
; their README, orvalda-check, the README and the licence, Start-menu entries
; (Orvalda, and "Check a recording..." which asks for a recording and shows
; orvalda-check's report in the browser), and an uninstaller that leaves
; nothing behind. An optional part, off unless chosen, starts Orvalda with
; Windows, recording every symbol to the user's Documents\Orvalda; a silent
; install chooses it with /STARTUP=1 (setup.exe /S /STARTUP=1 /D=<folder>).
;
; A per-user install: it never asks for elevation, installs under the user's
; local application folder (AppData\Local\Programs\Orvalda), and puts the
; shortcuts and the uninstall entry under the user's own Start menu and
; HKCU. Orvalda, started from the finish page, runs as the user does: an
; elevated copy would not get a normal feeder's messages, and later starts
; would hand over to it.
; makensis -DVERSION=1.0.0 -DSTAGE=<folder with the files> -DICON=<orvalda.ico> -DOUTFILE=<setup.exe> orvalda.nsi

; orvalda.exe is a 64-bit program: so is its installer, which then needs no
; 32-bit subsystem (WoW64) and sees the 64-bit registry and Program Files.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!ifndef VERSION
  !error "VERSION not given"
!endif
!ifndef STAGE
  !error "STAGE not given"
!endif
!ifndef ICON
  !define ICON "${STAGE}\orvalda.ico"
!endif
!ifndef OUTFILE
  !define OUTFILE "orvalda-${VERSION}-win64-setup.exe"
!endif

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvalda"
; The Start-menu entry of orvalda-check, ending in an ellipsis (U+2026).
!define CHECK_ENTRY "Check a recording${U+2026}"
; The Start-menu entry of orvalda-export's dialog.
!define EXPORT_ENTRY "Export a recording${U+2026}"

Name "Orvalda ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Orvalda"
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
BrandingText "Orvalda ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\orvalda.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Orvalda"
VIAddVersionKey "FileDescription" "Orvalda installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "The Orvalda developers, MIT licence"

Section "Orvalda" SecMain
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${STAGE}\orvalda.exe"
  File "${STAGE}\orvalda-feed.exe"
  File "${STAGE}\zentavor-probe.exe"
  File "${STAGE}\orvalda-check.exe"
  File "${STAGE}\orvalda-export.exe"
  File "${STAGE}\orvalda-compare.exe"
  File "${STAGE}\tools-README.txt"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  SetShellVarContext current
  CreateDirectory "$SMPROGRAMS\Orvalda"
  CreateShortcut "$SMPROGRAMS\Orvalda\Orvalda.lnk" "$INSTDIR\orvalda.exe"
  CreateShortcut "$SMPROGRAMS\Orvalda\${CHECK_ENTRY}.lnk" "$INSTDIR\orvalda-check.exe"
  CreateShortcut "$SMPROGRAMS\Orvalda\${EXPORT_ENTRY}.lnk" "$INSTDIR\orvalda-export.exe"
  CreateShortcut "$SMPROGRAMS\Orvalda\Uninstall Orvalda.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "Orvalda"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "The Orvalda developers"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\orvalda.exe"
  WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
SectionEnd

; A shortcut in the user's Startup folder. Its paths are resolved now:
; Orvalda takes %VARIABLES% literally, not every way of starting a shortcut
; expands them in its arguments, and Documents may have been moved away from
; %USERPROFILE%\Documents. Orvalda makes the folder when it first records.
Section /o "Start with Windows" SecStartup
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  CreateShortcut "$SMSTARTUP\Orvalda.lnk" "$INSTDIR\orvalda.exe" \
    '--record "$DOCUMENTS\Orvalda\{symbol}-{date}.csv" --daily --live --minimized'
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecMain} "Orvalda, the feeder, the tester probe and orvalda-check, with Start-menu entries."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecStartup} \
    "Orvalda starts minimized when you log on, records every symbol a feeder announces to Documents\Orvalda\SYMBOL-DATE.csv (a new file each day) and forwards the ticks to the tester."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; /STARTUP=1 on the command line chooses the Startup shortcut (the only way a
; silent install can), and preselects it on the components page.
Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/STARTUP=" $1
  ${IfNot} ${Errors}
  ${AndIf} $1 == "1"
    !insertmacro SelectSection ${SecStartup}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Delete "$INSTDIR\orvalda.exe"
  Delete "$INSTDIR\orvalda-feed.exe"
  Delete "$INSTDIR\zentavor-probe.exe"
  Delete "$INSTDIR\orvalda-check.exe"
  Delete "$INSTDIR\orvalda-export.exe"
  Delete "$INSTDIR\orvalda-compare.exe"
  Delete "$INSTDIR\tools-README.txt"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  SetShellVarContext current
  Delete "$SMPROGRAMS\Orvalda\Orvalda.lnk"
  Delete "$SMPROGRAMS\Orvalda\${CHECK_ENTRY}.lnk"
  Delete "$SMPROGRAMS\Orvalda\${EXPORT_ENTRY}.lnk"
  Delete "$SMPROGRAMS\Orvalda\Uninstall Orvalda.lnk"
  RMDir "$SMPROGRAMS\Orvalda"
  ; The Startup shortcut, when it was chosen.
  Delete "$SMSTARTUP\Orvalda.lnk"

  DeleteRegKey HKCU "${UNINST_KEY}"
  ; Orvalda's own settings (the folder of the last recording).
  DeleteRegKey HKCU "Software\Orvalda"
SectionEnd
