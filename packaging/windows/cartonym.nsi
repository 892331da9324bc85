; SPDX-License-Identifier: GPL-3.0-or-later
; The Windows installer of Cartonym, made by scripts/package-windows:
;   makensis -DVERSION=x.y.z -DSTAGE=folder -DOUTFILE=setup.exe [-DWINDOW] cartonym.nsi
; STAGE holds the files installed; WINDOW is defined when it holds the
; window program too. The uninstaller removes exactly the files installed,
; the Start-menu entry and the uninstall entry; the folder goes only when
; nothing else is left in it, and the user's settings, databases and
; journals (under %APPDATA% and %LOCALAPPDATA%) stay.
; A 64-bit installer for the 64-bit programs: it runs where they run (a
; 64-bit Windows, or wine64 alone), and it writes the 64-bit registry view.
Target amd64-unicode
Name "Cartonym"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Cartonym"
InstallDirRegKey HKLM "Software\Cartonym" "InstallDir"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
LicenseData "${STAGE}/LICENSE.txt"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Cartonym"

Page license
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Cartonym"
    SetShellVarContext all
    SetOutPath "$INSTDIR"
!ifdef WINDOW
    File "${STAGE}/cartonym.exe"
!endif
    File "${STAGE}/cartonym-cli.exe"
    File "${STAGE}/snes.dat"
    File "${STAGE}/LICENSE.txt"
    WriteUninstaller "$INSTDIR\uninstall.exe"
!ifdef WINDOW
    CreateShortCut "$SMPROGRAMS\Cartonym.lnk" "$INSTDIR\cartonym.exe" "" "$INSTDIR\cartonym.exe" 0
!endif
    WriteRegStr HKLM "Software\Cartonym" "InstallDir" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Cartonym"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Cartonym"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    Delete "$SMPROGRAMS\Cartonym.lnk"
    Delete "$INSTDIR\cartonym.exe"
    Delete "$INSTDIR\cartonym-cli.exe"
    Delete "$INSTDIR\snes.dat"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    DeleteRegKey HKLM "Software\Cartonym"
SectionEnd
