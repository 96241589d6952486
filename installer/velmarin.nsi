; The Velmarin installer: per user, no administrator rights, into a folder the
; program can write (it keeps velmarin.dat and ad\ beside itself).
; scripts/package.sh builds it and defines:
;   BUILDINFO  version.nsh of the Windows build (VERSION, PUBLISHER, COPYRIGHT, ICON)
;   STAGE      the program folder as shipped
;   SKINFILES  the uninstaller's lines that remove the theme's files by name
;   DATFILE    datfile.exe, which sets the installed version of kept settings
;   OUTFILE    the installer to write
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestSupportedOS all

!include "${BUILDINFO}"
!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "Sections.nsh"
!include "LogicLib.nsh"

!define PRODUCT "Velmarin"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmarin"
!define START_FOLDER "$SMPROGRAMS\Velmarin"

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION} 安装"
UninstallCaption "${PRODUCT} 卸载"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Velmarin"
; An upgrade goes where the first installation went.
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=2052 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=2052 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=2052 "LegalCopyright" "${COPYRIGHT}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\Velmarin.exe"
!define MUI_FINISHPAGE_RUN_TEXT "运行 ${PRODUCT}"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

Section "${PRODUCT} 程序" SecProgram
    SectionIn RO
    SetOutPath "$INSTDIR"
    ; A running updater holds its own file; Windows lets it be moved aside, and
    ; the next updater or the uninstaller removes it.
    Delete "$INSTDIR\clientupdate.old"
    ${If} ${FileExists} "$INSTDIR\clientupdate.exe"
        Rename "$INSTDIR\clientupdate.exe" "$INSTDIR\clientupdate.old"
    ${EndIf}
    File "${STAGE}\Velmarin.exe"
    File "${STAGE}\Skin.dll"
    File "${STAGE}\res.dll"
    File "${STAGE}\config.dll"
    File "${STAGE}\clientupdate.exe"
    SetOutPath "$INSTDIR\skin"
    File /r "${STAGE}\skin\*.*"
    CreateDirectory "$INSTDIR\ad"
    SetOutPath "$INSTDIR"

    ; The user's settings survive an upgrade; only their installed version changes.
    ${If} ${FileExists} "$INSTDIR\velmarin.dat"
        InitPluginsDir
        File "/oname=$PLUGINSDIR\datfile.exe" "${DATFILE}"
        nsExec::ExecToLog '"$PLUGINSDIR\datfile.exe" set-version "$INSTDIR\velmarin.dat" ${VERSION}'
        Pop $0
        ${If} $0 != 0
            DetailPrint "保留了原有的设置文件 velmarin.dat，但未能更新其中的版本号（$0）"
        ${EndIf}
    ${Else}
        File "${STAGE}\velmarin.dat"
    ${EndIf}

    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateDirectory "${START_FOLDER}"
    CreateShortCut "${START_FOLDER}\${PRODUCT}.lnk" "$INSTDIR\Velmarin.exe"
    CreateShortCut "${START_FOLDER}\卸载 ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"

    WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\Velmarin.exe"
    WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" $0
    ; Remembered for upgrades, which should not bring back a removed shortcut.
    WriteRegDWORD HKCU "${UNINST_KEY}" "DesktopShortcut" 0
    ; The running updater's old file goes now if it can.
    Delete "$INSTDIR\clientupdate.old"
SectionEnd

Section "桌面快捷方式" SecDesktop
    CreateShortCut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\Velmarin.exe"
    WriteRegDWORD HKCU "${UNINST_KEY}" "DesktopShortcut" 1
SectionEnd

Function .onInit
    ClearErrors
    ReadRegDWORD $0 HKCU "${UNINST_KEY}" "DesktopShortcut"
    ${IfNot} ${Errors}
    ${AndIf} $0 == 0
        !insertmacro UnselectSection ${SecDesktop}
    ${EndIf}
FunctionEnd

; Removes what the installer put and what the program wrote beside itself
; (settings, advertisement), by name, and nothing else a user may have put
; there: a folder holding other files stays.
Section "Uninstall"
    Delete "$DESKTOP\${PRODUCT}.lnk"
    Delete "${START_FOLDER}\${PRODUCT}.lnk"
    Delete "${START_FOLDER}\卸载 ${PRODUCT}.lnk"
    RMDir "${START_FOLDER}"

    Delete "$INSTDIR\Velmarin.exe"
    Delete "$INSTDIR\Skin.dll"
    Delete "$INSTDIR\res.dll"
    Delete "$INSTDIR\config.dll"
    Delete "$INSTDIR\clientupdate.exe"
    Delete "$INSTDIR\clientupdate.old"
    Delete "$INSTDIR\velmarin.dat"
    Delete "$INSTDIR\velmarin.dat.*.tmp"
    !include "${SKINFILES}"
    Delete "$INSTDIR\ad\loginad.gif"
    Delete "$INSTDIR\ad\loginad_????????.gif"
    RMDir "$INSTDIR\ad"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"

    DeleteRegKey HKCU "${UNINST_KEY}"
SectionEnd
