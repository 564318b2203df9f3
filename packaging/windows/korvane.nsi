; korvane's Windows installer, made by the build's "package" target:
;   makensis -DVERSION=1.0.0 -DSTAGE=<folder with korvane.exe, README.txt, LICENSE.txt>
;            -DFORMATS=<formats.nsh> -DICON=<korvane.ico> -DOUTFILE=<setup.exe> korvane.nsi
; A per-user install: nothing outside the user's own folders and HKCU is touched,
; so it needs no administrator, and the uninstaller takes away exactly what this put there.
Unicode true
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include "${FORMATS}"

!define CLASSES "Software\Classes"
!define APPLICATION "${CLASSES}\Applications\korvane.exe"
!define UNINSTALL "Software\Microsoft\Windows\CurrentVersion\Uninstall\korvane"
!define APP_PATHS "Software\Microsoft\Windows\CurrentVersion\App Paths\korvane.exe"
; --dialogs: Explorer gives the program a console of its own, and the user wants
; the boxes, not a console window that closes before it can be read.
!define OPEN_COMMAND '"$INSTDIR\korvane.exe" --dialogs "%1"'
!define SHCNE_ASSOCCHANGED 0x08000000

Name "korvane"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\korvane"
InstallDirRegKey HKCU "${UNINSTALL}" "InstallLocation"
Icon "${ICON}"
UninstallIcon "${ICON}"
BrandingText "korvane ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey ProductName "korvane"
VIAddVersionKey FileDescription "korvane installer"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey LegalCopyright "(c) 2026 the korvane developers, MIT licence"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_TITLE "korvane is installed"
!define MUI_FINISHPAGE_TEXT "Double-click an embroidery design (DHV or SHV), or right-click any other design and choose Open with, korvane. korvane is also in the Start menu."
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE English

; A format korvane reads is offered in "Open with"; DEFAULT 1 makes korvane the
; program that opens it. The user's earlier choice is kept, so that removing
; korvane gives it back.
!macro ASSOCIATE FORMAT EXTENSION DESCRIPTION DEFAULT
  WriteRegStr HKCU "${CLASSES}\korvane.${FORMAT}" "" "${DESCRIPTION}"
  WriteRegStr HKCU "${CLASSES}\korvane.${FORMAT}\DefaultIcon" "" "$INSTDIR\korvane.exe,0"
  WriteRegStr HKCU "${CLASSES}\korvane.${FORMAT}\shell\open\command" "" '${OPEN_COMMAND}'
  WriteRegNone HKCU "${CLASSES}\.${EXTENSION}\OpenWithProgids" "korvane.${FORMAT}"
  WriteRegNone HKCU "${APPLICATION}\SupportedTypes" ".${EXTENSION}"
  !if ${DEFAULT} == 1
    ReadRegStr $0 HKCU "${CLASSES}\.${EXTENSION}" ""
    ${If} $0 != ""
    ${AndIf} $0 != "korvane.${FORMAT}"
      WriteRegStr HKCU "${UNINSTALL}" "Earlier .${EXTENSION}" $0
    ${EndIf}
    WriteRegStr HKCU "${CLASSES}\.${EXTENSION}" "" "korvane.${FORMAT}"
  !endif
!macroend

; Keys another program also wrote into are left with what it wrote.
!macro UNASSOCIATE FORMAT EXTENSION DESCRIPTION DEFAULT
  DeleteRegKey HKCU "${CLASSES}\korvane.${FORMAT}"
  DeleteRegValue HKCU "${CLASSES}\.${EXTENSION}\OpenWithProgids" "korvane.${FORMAT}"
  DeleteRegKey /ifnosubkeys /ifnovalues HKCU "${CLASSES}\.${EXTENSION}\OpenWithProgids"
  ReadRegStr $0 HKCU "${CLASSES}\.${EXTENSION}" ""
  ${If} $0 == "korvane.${FORMAT}"
    ReadRegStr $1 HKCU "${UNINSTALL}" "Earlier .${EXTENSION}"
    ${If} $1 == ""
      DeleteRegValue HKCU "${CLASSES}\.${EXTENSION}" ""
    ${Else}
      WriteRegStr HKCU "${CLASSES}\.${EXTENSION}" "" $1
    ${EndIf}
  ${EndIf}
  DeleteRegKey /ifnosubkeys /ifnovalues HKCU "${CLASSES}\.${EXTENSION}"
!macroend

Section
  SetOutPath "$INSTDIR"
  File "${STAGE}\korvane.exe"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\korvane.lnk" "$INSTDIR\korvane.exe" "" "$INSTDIR\korvane.exe" 0

  WriteRegStr HKCU "${APPLICATION}" "FriendlyAppName" "korvane"
  WriteRegStr HKCU "${APPLICATION}\DefaultIcon" "" "$INSTDIR\korvane.exe,0"
  WriteRegStr HKCU "${APPLICATION}\shell\open\command" "" '${OPEN_COMMAND}'
  !insertmacro KORVANE_EACH_EXTENSION ASSOCIATE
  ; "korvane" typed in Run or the Start menu finds the program.
  WriteRegStr HKCU "${APP_PATHS}" "" "$INSTDIR\korvane.exe"

  WriteRegStr HKCU "${UNINSTALL}" "DisplayName" "korvane"
  WriteRegStr HKCU "${UNINSTALL}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL}" "Publisher" "the korvane developers"
  WriteRegStr HKCU "${UNINSTALL}" "DisplayIcon" "$INSTDIR\korvane.exe,0"
  WriteRegStr HKCU "${UNINSTALL}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL}" "NoRepair" 1

  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
SectionEnd

; Only the files this installed are deleted, never the folder's whole content:
; a user who chose an existing folder keeps what else is in it.
Section Uninstall
  !insertmacro KORVANE_EACH_EXTENSION UNASSOCIATE
  DeleteRegKey HKCU "${APPLICATION}"
  DeleteRegKey /ifnosubkeys /ifnovalues HKCU "${CLASSES}\Applications"
  DeleteRegKey HKCU "${APP_PATHS}"
  DeleteRegKey HKCU "${UNINSTALL}"
  Delete "$SMPROGRAMS\korvane.lnk"

  Delete "$INSTDIR\korvane.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  ; Made by this installer on a system where nothing else was installed per user.
  RMDir "$LOCALAPPDATA\Programs"

  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
SectionEnd
