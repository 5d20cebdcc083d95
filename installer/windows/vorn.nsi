; Installer of the Windows program, in French, for the current user: the updater writes into its
; own folder, so it goes where the operator may write (not Program Files). /S installs silently.
; Defined by scripts/package-windows: DIST (the folder to ship), OUTFILE, VERSION, INSTALL_LIST and
; UNINSTALL_LIST (the File and Delete lines of exactly what DIST holds, from the list the MSI is
; made from too), SIGN (when a certificate is given: the command that signs a file).
; A 64-bit installer for a 64-bit program (it runs on 64-bit Windows only).
Target amd64-unicode
!include "MUI2.nsh"
!include "LogicLib.nsh"

!define PRODUCT "VORN_UPDATE_VERSION"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
; The ODBC driver older versions registered for the embedded databases (see the uninstaller); this
; version opens them with Qt's own SQLite driver and registers nothing.
!define ODBC_DRIVER "SQLite3"
!define ODBC_KEY "SOFTWARE\ODBC\ODBCINST.INI"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\VORN"
InstallDirRegKey HKCU "Software\${PRODUCT}" "InstallDir"
SetCompressor /SOLID lzma
!ifdef SIGN
    ; The uninstaller is signed as it is made, before it goes into the installer.
    !uninstfinalize '"${SIGN}" "%1"' = 0
!endif

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_LICENSE "${DIST}/licences/Qt-LGPL-3.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "French"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_FRENCH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_FRENCH} "FileDescription" "Installation de ${PRODUCT}"
VIAddVersionKey /LANG=${LANG_FRENCH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_FRENCH} "LegalCopyright" "VORN"

Section "Programme" SecMain
    SetShellVarContext current
    !include "${INSTALL_LIST}"
    ; The shortcuts start in the installation folder.
    SetOutPath "$INSTDIR"

    CreateDirectory "$SMPROGRAMS\VORN"
    CreateShortcut "$SMPROGRAMS\VORN\Mise à jour de VORN.lnk" "$INSTDIR\${PRODUCT}.exe" "" "$INSTDIR\${PRODUCT}.exe" 0
    CreateShortcut "$SMPROGRAMS\VORN\Gestionnaire de fichiers FTP.lnk" "$INSTDIR\${PRODUCT}.exe" "--manager" "$INSTDIR\${PRODUCT}.exe" 0
    CreateShortcut "$SMPROGRAMS\VORN\Profils FTP.lnk" "$INSTDIR\${PRODUCT}.exe" "--profiles" "$INSTDIR\${PRODUCT}.exe" 0
    CreateShortcut "$SMPROGRAMS\VORN\Poste palettes et expéditions.lnk" "$INSTDIR\${PRODUCT}.exe" "--station" "$INSTDIR\${PRODUCT}.exe" 0
    CreateShortcut "$SMPROGRAMS\VORN\Désinstaller ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"

    WriteUninstaller "$INSTDIR\uninstall.exe"
    WriteRegStr HKCU "Software\${PRODUCT}" "InstallDir" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "VORN"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PRODUCT}.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Removes only what the installer put there: the operator's data (Profil.ini, the ini file, the
; log, the databases, the downloaded files and VORN.exe) stay, and so does the folder with them.
Section "Uninstall"
    SetShellVarContext current
    ; Versions before this one opened the embedded files through an ODBC driver they shipped and
    ; registered as administrator. That registration goes only if such an installation made it
    ; and it still points here (needs an administrator; otherwise it stays, harmless); the old
    ; driver file goes unless a registration still points at it.
    SetRegView 64
    ReadRegStr $0 HKCU "Software\${PRODUCT}" "OdbcDriver"
    ReadRegStr $1 HKLM "${ODBC_KEY}\${ODBC_DRIVER}" "Driver"
    ${If} $0 != ""
    ${AndIf} $0 == $1
        DeleteRegKey HKLM "${ODBC_KEY}\${ODBC_DRIVER}"
        DeleteRegValue HKLM "${ODBC_KEY}\ODBC Drivers" "${ODBC_DRIVER}"
        ReadRegStr $1 HKLM "${ODBC_KEY}\${ODBC_DRIVER}" "Driver"
    ${EndIf}
    ${If} $1 != "$INSTDIR\sqlite3odbc.dll"
        Delete "$INSTDIR\sqlite3odbc.dll"
    ${EndIf}
    SetRegView lastused
    !include "${UNINSTALL_LIST}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    RMDir /r "$SMPROGRAMS\VORN"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    DeleteRegKey HKCU "Software\${PRODUCT}"
SectionEnd
