; Velmora 3D setup for Windows: installs Velmora3D.scr and randomstart.exe
; for the current user (no administrator rights) or, on request, for every
; user, enters Velmora 3D in the Kestrova 3D collection's registry layout and
; in Windows' list of installed programs, and makes it the current
; screensaver when asked. The uninstaller takes back only what the setup
; wrote.
;
; Built by the CMake target "setup" (dist/windows/CMakeLists.txt), which
; passes VERSION, SCR, RANDOMSTART, ICON and OUTFILE.
;
; Setup command line (/S: silent):
;   /AllUsers         install for every user (needs administrator rights)
;   /SetScreensaver   make Velmora 3D the current user's screensaver
;   /D=folder         the program folder; last on the line, unquoted
; Uninstaller: /S silent; /Purge also removes the user's Velmora 3D settings.

Unicode true
ManifestDPIAware true
; Per-user by default: no elevation prompt. A machine-wide install starts
; the setup again elevated.
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh
!include nsDialogs.nsh
!include Sections.nsh

!define PRODUCT_NAME "Velmora 3D"
!define PUBLISHER "Tarnwick"
; The collection's layout below HKEY_CURRENT_USER.
!define COLLECTION_KEY "Software\Tarnwick\Kestrova3D"
!define LIST_KEY "${COLLECTION_KEY}\List"
!define LIST_NAME "VELMORA3D"
!define LIST_TITLE "Velmora 3D Screensaver"
!define PROGRAM_KEY "${COLLECTION_KEY}\Velmora3D"
; randomstart's fallback member; Velmora 3D stands in while none works.
!define FALLBACK_KEY "${COLLECTION_KEY}\Corvane3D"
!define DESKTOP_KEY "Control Panel\Desktop"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora3D"
!define FOLDER_NAME "Velmora 3D"
; SystemParametersInfo: SPI_SETSCREENSAVEACTIVE, SPIF_UPDATEINIFILE | SPIF_SENDCHANGE.
!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_SAVE_AND_TELL 3

Name "${PRODUCT_NAME}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT_NAME} ${VERSION}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT_NAME} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) ${PUBLISHER}"

Var AllUsers        ; 1: for every user
Var ModeGiven       ; 1: /AllUsers on the command line, so no choice page
Var FolderGiven     ; 1: /D= on the command line
Var ScrPath         ; the installed screensaver, as "ExecutablePath" names it
Var DataPath        ; "InstallPath": the user's own folder, final backslash
Var RadioJustMe
Var RadioEveryone

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_NOAUTOCLOSE
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_NOTCHECKED
!define MUI_FINISHPAGE_RUN_TEXT "Open Windows' screen saver settings"
!define MUI_FINISHPAGE_RUN_FUNCTION OpenScreenSaverSettings

Page custom ModePage ModePageLeave
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; [SECTION] Install mode and folders

; Everything for every user needs administrator rights. Shown, the program
; asks Windows to start PROGRAM PARAMETERS again elevated and ends; silent,
; it fails with ERROR_ELEVATION_REQUIRED.
!macro RequireAdmin PROGRAM PARAMETERS
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    ${IfNot} ${Silent}
      ExecShell "runas" "${PROGRAM}" "${PARAMETERS}"
      Quit
    ${EndIf}
    SetErrorLevel 740
    Quit
  ${EndIf}
!macroend

; The program folder for the chosen mode, unless /D= named one: where this
; mode's copy is installed already, so that a new run or a newer version
; replaces it, else the usual place.
Function DefaultFolder
  ${If} $FolderGiven == 1
    Return
  ${EndIf}
  ${If} $AllUsers == 1
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${Else}
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${EndIf}
  ${If} $0 != ""
    StrCpy $INSTDIR $0
    Return
  ${EndIf}
  ${If} $AllUsers == 1
    StrCpy $INSTDIR "$PROGRAMFILES64\${FOLDER_NAME}"
  ${Else}
    ; FOLDERID_UserProgramFiles, below the local application data.
    GetKnownFolderPath $0 {5CD7AEE2-2219-4A67-B85D-6C9CE15660CB}
    ${If} $0 == ""
      StrCpy $0 "$LOCALAPPDATA\Programs"
    ${EndIf}
    StrCpy $INSTDIR "$0\${FOLDER_NAME}"
  ${EndIf}
FunctionEnd

Function ModePage
  ${If} $ModeGiven == 1
    Abort
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "Who uses ${PRODUCT_NAME}" "Install it for yourself or for everyone on this computer."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateRadioButton} 0 0 100% 12u "&Just for me (no administrator rights needed)"
  Pop $RadioJustMe
  ${NSD_CreateRadioButton} 0 18u 100% 12u "For &everyone on this computer (needs administrator rights)"
  Pop $RadioEveryone
  ${NSD_CreateLabel} 12u 34u 95% 36u "Velmora3D.scr then goes into the Windows system folder, where Windows' screen saver settings list it for every user."
  Pop $0
  ${If} $AllUsers == 1
    ${NSD_Check} $RadioEveryone
  ${Else}
    ${NSD_Check} $RadioJustMe
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function ModePageLeave
  ${NSD_GetState} $RadioEveryone $0
  ${If} $0 == ${BST_CHECKED}
    UserInfo::GetAccountType
    Pop $1
    ${If} $1 != "Admin"
      ; Start again elevated; this copy ends.
      ExecShell "runas" "$EXEPATH" "/AllUsers"
      Quit
    ${EndIf}
    StrCpy $AllUsers 1
  ${Else}
    StrCpy $AllUsers 0
  ${EndIf}
  Call DefaultFolder
FunctionEnd

; [SECTION] Install

Section "${PRODUCT_NAME}" SecMain
  SectionIn RO
  ; A 32-bit setup would otherwise write the system folder's files into
  ; SysWOW64, and would test other members' paths there.
  ${DisableX64FSRedirection}
  SetOutPath "$INSTDIR"
  File "/oname=randomstart.exe" "${RANDOMSTART}"
  ${If} $AllUsers == 1
    StrCpy $ScrPath "$SYSDIR\Velmora3D.scr"
    SetOutPath "$SYSDIR"
    File "/oname=Velmora3D.scr" "${SCR}"
    ; The web update keeps its files where the user may write.
    StrCpy $DataPath "$LOCALAPPDATA\${FOLDER_NAME}\"
    CreateDirectory "$DataPath"
  ${Else}
    StrCpy $ScrPath "$INSTDIR\Velmora3D.scr"
    File "/oname=Velmora3D.scr" "${SCR}"
    StrCpy $DataPath "$INSTDIR\"
  ${EndIf}
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The member's key before its list entry, so that no reader meets a
  ; listed member without its program.
  WriteRegStr HKCU "${PROGRAM_KEY}" "ExecutablePath" "$ScrPath"
  WriteRegStr HKCU "${PROGRAM_KEY}" "InstallPath" "$DataPath"
  WriteRegStr HKCU "${LIST_KEY}" "${LIST_NAME}" "${LIST_TITLE}"
  ; randomstart needs a fallback member: a missing one, or one whose
  ; program is gone, is replaced; a working one is another member's.
  ReadRegStr $0 HKCU "${FALLBACK_KEY}" "ExecutablePath"
  ${If} $0 == ""
  ${OrIfNot} ${FileExists} "$0"
  ${OrIf} ${FileExists} "$0\*.*"
    WriteRegStr HKCU "${FALLBACK_KEY}" "ExecutablePath" "$ScrPath"
  ${EndIf}

  ${GetSize} "$INSTDIR" "/S=0K /G=0" $1 $2 $3
  ${If} $AllUsers == 1
    ${GetSize} "$SYSDIR" "/M=Velmora3D.scr /S=0K /G=0" $4 $2 $3
    IntOp $1 $1 + $4
  ${EndIf}
  ${If} $AllUsers == 1
    SetShellVarContext all
  ${EndIf}
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_NAME}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$ScrPath,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  SetShellVarContext current
  ${EnableX64FSRedirection}
SectionEnd

Section /o "Make ${PRODUCT_NAME} my screensaver" SecScreensaver
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$ScrPath"
  ; Turns the screensaver on and tells the running session.
  System::Call 'user32::SystemParametersInfoW(i ${SPI_SETSCREENSAVEACTIVE}, i 1, p 0, i ${SPIF_SAVE_AND_TELL})'
SectionEnd

Function OpenScreenSaverSettings
  ExecShell "" "$SYSDIR\control.exe" "desk.cpl,,@screensaver"
FunctionEnd

; Section ids are known only after the sections.
Function .onInit
  ; The screensaver is a 64-bit program.
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT_NAME} needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  ${If} $INSTDIR != ""
    StrCpy $FolderGiven 1
  ${EndIf}
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/AllUsers" $R1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
    StrCpy $ModeGiven 1
    !insertmacro RequireAdmin "$EXEPATH" "$R0"
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/SetScreensaver" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecScreensaver}
  ${EndIf}
  Call DefaultFolder
FunctionEnd

; [SECTION] Uninstall

; Only a flag for un.SecMain, which runs after it and takes the settings
; before it tidies the keys.
Section /o "un.Remove my ${PRODUCT_NAME} settings" un.SecPurge
SectionEnd

Section "un.${PRODUCT_NAME}" un.SecMain
  SectionIn RO
  ${DisableX64FSRedirection}
  ; The registration is ours only while it names our program; another
  ; copy's stays as it is.
  StrCpy $DataPath ""
  ReadRegStr $0 HKCU "${PROGRAM_KEY}" "ExecutablePath"
  ${If} $0 == $ScrPath
    ReadRegStr $DataPath HKCU "${PROGRAM_KEY}" "InstallPath"
    DeleteRegValue HKCU "${LIST_KEY}" "${LIST_NAME}"
    DeleteRegValue HKCU "${PROGRAM_KEY}" "ExecutablePath"
    DeleteRegValue HKCU "${PROGRAM_KEY}" "InstallPath"
  ${EndIf}
  ReadRegStr $0 HKCU "${FALLBACK_KEY}" "ExecutablePath"
  ${If} $0 == $ScrPath
    DeleteRegValue HKCU "${FALLBACK_KEY}" "ExecutablePath"
  ${EndIf}
  ${If} ${SectionIsSelected} ${un.SecPurge}
    ; The user's settings of Velmora 3D; what is left of another copy's
    ; registration stays.
    StrCpy $2 0
    ${Do}
      ClearErrors
      EnumRegValue $0 HKCU "${PROGRAM_KEY}" $2
      ${If} ${Errors}
        ${Break}
      ${EndIf}
      ${If} $0 == ""
      ${OrIf} $0 == "ExecutablePath"
      ${OrIf} $0 == "InstallPath"
        IntOp $2 $2 + 1
      ${Else}
        DeleteRegValue HKCU "${PROGRAM_KEY}" $0
      ${EndIf}
    ${Loop}
  ${EndIf}
  ; The screensaver choice, while it still names this program (Windows
  ; may have stored the short form of the path).
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  GetFullPathName /SHORT $1 "$ScrPath"
  ${If} $0 == $ScrPath
  ${OrIf} $0 == $1
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${EndIf}

  ; Keys left empty hold nothing of anyone's.
  DeleteRegKey /ifempty HKCU "${FALLBACK_KEY}"
  DeleteRegKey /ifempty HKCU "${PROGRAM_KEY}"
  DeleteRegKey /ifempty HKCU "${LIST_KEY}"
  DeleteRegKey /ifempty HKCU "${COLLECTION_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Tarnwick"

  ; The files: the programs, the web update's downloads, the folders once
  ; empty. Nothing else that may sit in a folder the user chose.
  Delete "$ScrPath"
  Delete "$INSTDIR\randomstart.exe"
  Delete "$INSTDIR\Uninstall.exe"
  ${If} $DataPath == ""
    StrCpy $DataPath "$INSTDIR\"
    ${If} $AllUsers == 1
      StrCpy $DataPath "$LOCALAPPDATA\${FOLDER_NAME}\"
    ${EndIf}
  ${EndIf}
  StrCpy $3 "$DataPath"
  RMDir /r "$3web"
  RMDir "$3"
  RMDir "$INSTDIR"
  ${EnableX64FSRedirection}

  ; Last, so that the entry goes only when everything else is done.
  ${If} $AllUsers == 1
    SetShellVarContext all
  ${EndIf}
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  SetShellVarContext current
  Call un.RemoveOwnCopy
SectionEnd

; The uninstaller runs as a copy of itself in a folder "~nsu*.tmp" of the
; temporary folder, and a running program cannot delete its own file. A
; hidden command processor deletes that file and then the folder, if empty,
; once this process has ended (it tries for about two minutes, a second
; apart). Nothing else: a copy run in place is left alone.
Function un.RemoveOwnCopy
  ${GetFileName} "$EXEDIR" $0
  StrCpy $0 $0 4
  ${If} $0 != "~nsu"
    Return
  ${EndIf}
  ; Started in the temporary folder: a process working in that folder would
  ; keep it.
  SetOutPath "$TEMP"
  ExecShell "" "$SYSDIR\cmd.exe" '/d /q /c for /l %i in (1,1,120) do @(ping -n 2 127.0.0.1 >nul & del /f /q "$EXEPATH" 2>nul & rd "$EXEDIR" 2>nul & if not exist "$EXEDIR" exit)' SW_HIDE
FunctionEnd

Function un.onInit
  SetRegView 64
  ; The machine-wide copy is the one whose entry is in the machine's list.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} $0 == $INSTDIR
    StrCpy $AllUsers 1
    StrCpy $ScrPath "$SYSDIR\Velmora3D.scr"
    ; The installed uninstaller, not this temporary copy of it.
    !insertmacro RequireAdmin "$INSTDIR\Uninstall.exe" ""
  ${Else}
    StrCpy $AllUsers 0
    StrCpy $ScrPath "$INSTDIR\Velmora3D.scr"
  ${EndIf}
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/Purge" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${un.SecPurge}
  ${EndIf}
FunctionEnd
