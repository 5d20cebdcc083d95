; Installer of the Windows program, in French, for the current user: the updater writes into its
; own folder, so it goes where the operator may write (not Program Files). /S installs silently.
; Defined by scripts/build-windows: DIST (the folder to ship), OUTFILE, VERSION, UNINSTALL_LIST
; (the Delete lines of exactly what DIST holds).
; A 64-bit installer for a 64-bit program (it runs on 64-bit Windows only).
Target amd64-unicode
!include "MUI2.nsh"

!define PRODUCT "VORN_UPDATE_VERSION"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\VORN"
InstallDirRegKey HKCU "Software\${PRODUCT}" "InstallDir"
SetCompressor /SOLID lzma

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
    SetOutPath "$INSTDIR"
    File /r "${DIST}/*.*"

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
    !include "${UNINSTALL_LIST}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    RMDir /r "$SMPROGRAMS\VORN"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    DeleteRegKey HKCU "Software\${PRODUCT}"
SectionEnd
