; Pennaroc's installer for 64-bit Windows (Windows 7 and later).
;
; It installs Pennaroc.exe with the two icons that the command registration
; names beside it into Program Files\Pennaroc, where ACT! finds the command
; by its path, adds a Start-menu shortcut, and registers an uninstaller in
; the system's list of programs. /S installs silently; /D=FOLDER (last on
; the command line) installs into another folder.
;
; An install over an earlier one goes into the same folder: the earlier
; version's own uninstaller first removes what that version put there, so
; that no file of it is left behind when the list of files changes.
;
; The uninstaller removes exactly what the installer put there, and the
; folder when it is empty then. The user's own setting
; (HKCU\Software\VB and VBA Program Settings\Pennaroc) stays, as every
; user's own data does when a program is removed.
;
; The build (CMakeLists.txt beside this file) defines:
;   PRODUCT_NAME, PUBLISHER, VERSION  the version information's product name,
;                                     company and product version ("1.00")
;   COPYRIGHT                         the licence's copyright line
;   VERSION_QUAD                      the same version as four numbers
;   PROGRAM                           the Pennaroc.exe to install
;   ICON, SMALL_ICON                  Pennaroc.ico and Pennaroc32.ico
;   OUTFILE                           the installer to write

!ifndef PRODUCT_NAME | PUBLISHER | COPYRIGHT | VERSION | VERSION_QUAD | PROGRAM | ICON | SMALL_ICON | OUTFILE
  !error "the build names the product, its version and its files (see the top of this script)"
!endif

Unicode true
; A 64-bit installer for a 64-bit program: it sees the 64-bit Program Files
; folder and the 64-bit registry as they are.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT_NAME}"
!define UNINSTALLER "Uninstall.exe"
; The program's one-copy mutex (platform/win32/Win32PlatformServices.h):
; while it exists, Pennaroc is running and its files cannot be replaced.
!define ONE_COPY_MUTEX "Local\Pennaroc.OneCopy"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

Name "${PRODUCT_NAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT_NAME}"
; An earlier install's folder is offered again.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT_NAME} ${VERSION}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

; The installer's own version information: the program's, with the
; installer's own description and file name.
VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COPYRIGHT}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT_NAME} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "InternalName" "${PRODUCT_NAME}Setup"
VIAddVersionKey /LANG=1033 "OriginalFilename" "${PRODUCT_NAME}Setup-${VERSION}.exe"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_TITLE "${PRODUCT_NAME} ${VERSION} is installed"
!define MUI_FINISHPAGE_TEXT "To put ${PRODUCT_NAME}'s button on ACT!'s toolbars and Tools menus, start ${PRODUCT_NAME} from the Start menu while ACT! is open on a Sales/Opportunity record, and choose Options > Integrate with ACT!...$\r$\n$\r$\nACT! then starts ${PRODUCT_NAME} on the current record with that button."

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; WaitUntilClosed: asks while Pennaroc runs, and gives up (a silent run at
; once) when the user cancels.
!macro WaitUntilClosed UN
Function ${UN}WaitUntilClosed
  check:
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${ONE_COPY_MUTEX}") p .r0'
    StrCmp $0 0 closed
    System::Call 'kernel32::CloseHandle(p r0)'
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT_NAME} is running. Close it, then choose Retry." /SD IDCANCEL IDRETRY check
    Abort
  closed:
FunctionEnd
!macroend
!insertmacro WaitUntilClosed ""
!insertmacro WaitUntilClosed "un."

Function .onInit
  SetRegView 64
  SetShellVarContext all
  Call WaitUntilClosed
FunctionEnd

Section "${PRODUCT_NAME}"
  SectionIn RO

  ; An earlier install goes first, by its own uninstaller, run in place
  ; (_?=) so that this waits for it. It cannot remove itself while it runs.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\${UNINSTALLER}"
    DetailPrint "Removing the installed version from $0"
    ExecWait '"$0\${UNINSTALLER}" /S _?=$0' $1
    ${If} $1 != 0
      MessageBox MB_OK|MB_ICONSTOP "The installed version of ${PRODUCT_NAME} in $0 could not be removed." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
    Delete "$0\${UNINSTALLER}"
    RMDir "$0"
  ${EndIf}

  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "/oname=Pennaroc.exe" "${PROGRAM}"
  File "/oname=Pennaroc.ico" "${ICON}"
  File "/oname=Pennaroc32.ico" "${SMALL_ICON}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; One shortcut, straight in the Start menu's programs.
  CreateShortcut "$SMPROGRAMS\${PRODUCT_NAME}.lnk" "$INSTDIR\Pennaroc.exe" "" "$INSTDIR\Pennaroc.exe" 0 \
    SW_SHOWNORMAL "" "Attach files to ACT! Sales/Opportunity records"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Pennaroc.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; In KiB, as the list of programs shows it.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
  Call un.WaitUntilClosed
FunctionEnd

Section "Uninstall"
  Delete "$INSTDIR\Pennaroc.exe"
  Delete "$INSTDIR\Pennaroc.ico"
  Delete "$INSTDIR\Pennaroc32.ico"
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only when nothing else is left in it.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT_NAME}.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
