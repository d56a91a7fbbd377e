; Windows installer for Orvalda: the program, the two companion tools, the
; README and the licence, a Start-menu entry, and an uninstaller that leaves
; nothing behind.
; makensis -DVERSION=1.0.0 -DSTAGE=<folder with the files> -DICON=<orvalda.ico> -DOUTFILE=<setup.exe> orvalda.nsi

; orvalda.exe is a 64-bit program: so is its installer, which then needs no
; 32-bit subsystem (WoW64) and sees the 64-bit registry and Program Files.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

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

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvalda"

Name "Orvalda ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Orvalda"
InstallDirRegKey HKLM "Software\Orvalda" "InstallDir"
BrandingText "Orvalda ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
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
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\Orvalda"
  CreateShortcut "$SMPROGRAMS\Orvalda\Orvalda.lnk" "$INSTDIR\orvalda.exe"
  CreateShortcut "$SMPROGRAMS\Orvalda\Uninstall Orvalda.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "Software\Orvalda" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "Orvalda"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "The Orvalda developers"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\orvalda.exe"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Delete "$INSTDIR\orvalda.exe"
  Delete "$INSTDIR\orvalda-feed.exe"
  Delete "$INSTDIR\zentavor-probe.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  SetShellVarContext all
  Delete "$SMPROGRAMS\Orvalda\Orvalda.lnk"
  Delete "$SMPROGRAMS\Orvalda\Uninstall Orvalda.lnk"
  RMDir "$SMPROGRAMS\Orvalda"

  DeleteRegKey HKLM "${UNINST_KEY}"
  DeleteRegKey HKLM "Software\Orvalda"
SectionEnd
