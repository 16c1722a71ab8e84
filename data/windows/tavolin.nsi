; The Windows installer of Tavolin, built by scripts/windows-package.sh with makensis:
;   makensis -DSTAGE=<folder with the program files> -DFILES=<install list> -DREMOVE=<removal list>
;            -DOUTFILE=<TavolinSetup.exe> -DVERSION=<x.y.z> tavolin.nsi
; The program goes to Program Files; the user's files (config.ini, Termine.dat, Background.bmp,
; ErrorLog.dat) are made by the program in %APPDATA%\Tavolin when it cannot write beside itself,
; and the uninstaller removes only what the installer put there.

; A 64-bit installer for the 64-bit program (Wine without its 32-bit part runs it as well).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavolin"

Name "Tavolin"
Caption "Tavolin ${VERSION} Setup"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tavolin"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
    SetRegView 64
FunctionEnd

Function un.onInit
    SetRegView 64
FunctionEnd

Section "Tavolin"
    SetShellVarContext all
    !include "${FILES}"
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    CreateShortCut "$SMPROGRAMS\Tavolin.lnk" "$INSTDIR\tavolin.exe" "" "$INSTDIR\tavolin.exe" 0
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tavolin"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tavolin.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    Delete "$SMPROGRAMS\Tavolin.lnk"
    ; The autostart shortcut of the uninstalling user would start a program that is gone.
    SetShellVarContext current
    Delete "$SMSTARTUP\Tavolin.lnk"
    SetShellVarContext all
    ; Only the installed files: a user's data beside the program (where it was writable) stays,
    ; and so does the folder holding it.
    !include "${REMOVE}"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
