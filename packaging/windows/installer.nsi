; Quillon's Windows installer, built by scripts/build-windows with makensis:
;   makensis -DVERSION=... -DSTAGE=<folder of the zip> -DFILES_NSH=... -DUNINSTALL_NSH=...
;            -DINSTALLED_KB=... -DOUTFILE=<setup.exe> installer.nsi
; It installs per user, without administrator rights, into %LOCALAPPDATA%\Programs\Quillon: Quillon
; rewrites its catalogue files beside quillon.exe at start-up, so that folder must stay writable by
; the user, which Program Files is not.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "LogicLib.nsh"

!define PRODUCT "Quillon"
!define PUBLISHER "Quillon developers"
!define PROGID "Quillon.Project"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillon"
!define SHIPPED "shipped-catalogue"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Quillon"
InstallDirRegKey HKCU "Software\Quillon" "InstallLocation"
Icon "quillon.ico"
UninstallIcon "quillon.ico"
BrandingText "${PRODUCT} ${VERSION}"
LicenseData "${STAGE}/LICENSE.txt"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "LegalCopyright" "Copyright (c) 2026 ${PUBLISHER}, MIT licence"

Page license
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; SHCNE_ASSOCCHANGED: Explorer reads the .stm association again.
!macro NotifyAssociationChanged
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
!macroend

Section "Quillon"
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    SetOverwrite on
    !include "${FILES_NSH}"

    ; The catalogue as shipped, kept to tell at uninstall which catalogue files the user changed.
    SetOutPath "$INSTDIR\${SHIPPED}"
    File "${STAGE}/data.xlsx"
    File "${STAGE}/name.xlsx"
    File "${STAGE}/data.dat"
    File "${STAGE}/name.dat"

    ; A catalogue already in the folder is the user's own, often a company's most valuable file:
    ; an upgrade never replaces it.
    SetOutPath "$INSTDIR"
    SetOverwrite off
    File "${STAGE}/data.xlsx"
    File "${STAGE}/name.xlsx"
    File "${STAGE}/data.dat"
    File "${STAGE}/name.dat"
    SetOverwrite on

    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortCut "$SMPROGRAMS\Quillon.lnk" "$INSTDIR\quillon.exe" "" "$INSTDIR\quillon.exe" 0

    WriteRegStr HKCU "Software\Quillon" "InstallLocation" "$INSTDIR"

    ; Project files open in Quillon by double-click, for this user only.
    WriteRegStr HKCU "Software\Classes\.stm" "" "${PROGID}"
    WriteRegStr HKCU "Software\Classes\.stm\OpenWithProgids" "${PROGID}" ""
    WriteRegStr HKCU "Software\Classes\${PROGID}" "" "Quillon project"
    WriteRegStr HKCU "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\quillon.exe,0"
    WriteRegStr HKCU "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\quillon.exe" "%1"'

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quillon.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${INSTALLED_KB}
    !insertmacro NotifyAssociationChanged
SectionEnd

; Sets $R2 to 1 when the files $R0 and $R1 both exist and hold the same bytes, else to 0.
Function un.SameContent
    StrCpy $R2 0
    ClearErrors
    FileOpen $R3 $R0 r
    IfErrors done
    FileOpen $R4 $R1 r
    IfErrors closeFirst
    FileSeek $R3 0 END $R5
    FileSeek $R4 0 END $R6
    StrCmp $R5 $R6 0 closeBoth
    FileSeek $R3 0 SET
    FileSeek $R4 0 SET
    loop:
        ClearErrors
        FileReadByte $R3 $R5
        IfErrors same
        FileReadByte $R4 $R6
        StrCmp $R5 $R6 loop closeBoth
    same:
        StrCpy $R2 1
    closeBoth:
        FileClose $R4
    closeFirst:
        FileClose $R3
    done:
FunctionEnd

; Removes the catalogue file $R0 when it still holds what was shipped; otherwise keeps it and adds
; its name to $R9.
Function un.RemoveCatalogueFile
    StrCpy $R1 "$INSTDIR\${SHIPPED}\$R0"
    StrCpy $R0 "$INSTDIR\$R0"
    ${If} ${FileExists} $R0
        Call un.SameContent
        ${If} $R2 == 1
            Delete $R0
        ${Else}
            DetailPrint "Kept $R0: it differs from the catalogue that was installed."
            StrCpy $R9 "$R9$\r$\n$R0"
        ${EndIf}
    ${EndIf}
FunctionEnd

Section "Uninstall"
    SetShellVarContext current
    StrCpy $R9 ""
    !include "${UNINSTALL_NSH}"
    StrCpy $R0 "data.xlsx"
    Call un.RemoveCatalogueFile
    StrCpy $R0 "name.xlsx"
    Call un.RemoveCatalogueFile
    StrCpy $R0 "data.dat"
    Call un.RemoveCatalogueFile
    StrCpy $R0 "name.dat"
    Call un.RemoveCatalogueFile
    RMDir /r "$INSTDIR\${SHIPPED}"
    Delete "$INSTDIR\uninstall.exe"
    ; Only when empty: projects or a changed catalogue the user keeps here stay.
    RMDir "$INSTDIR"

    Delete "$SMPROGRAMS\Quillon.lnk"
    ; The extension is left alone when another program has taken it over since.
    ReadRegStr $0 HKCU "Software\Classes\.stm" ""
    ${If} $0 == "${PROGID}"
        DeleteRegValue HKCU "Software\Classes\.stm" ""
    ${EndIf}
    DeleteRegValue HKCU "Software\Classes\.stm\OpenWithProgids" "${PROGID}"
    DeleteRegKey /ifempty HKCU "Software\Classes\.stm\OpenWithProgids"
    DeleteRegKey /ifempty HKCU "Software\Classes\.stm"
    DeleteRegKey HKCU "Software\Classes\${PROGID}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    DeleteRegKey HKCU "Software\Quillon"
    !insertmacro NotifyAssociationChanged

    ${If} $R9 != ""
        MessageBox MB_OK|MB_ICONINFORMATION "These catalogue files differ from the ones Quillon installed and were kept:$R9" /SD IDOK
    ${EndIf}
SectionEnd
