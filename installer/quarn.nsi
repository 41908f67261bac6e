; setup.exe: puts QUARN on a station, upgrades an installed release, and
; removes it again while keeping the station's configuration.
;
; Built by scripts/build-installer, which passes:
;   RELEASE, RELEASE_MAJOR, RELEASE_MINOR  the release (from release_number.h)
;   PROGRAMS   folder with quarn.exe, watch.exe, watchdog.exe, dummy.exe,
;              version.exe and quarnctl.exe
;   HELP_FILE  the compiled quarn.chm
;   OUTFILE    where setup.exe is written
;
; Command line of setup.exe: /S installs silently, /D=FOLDER (last) chooses
; the folder. Of uninstall.exe: /S removes silently, /PURGE also removes
; quarn.xml, quarn.ini and the settings key.

Unicode true
Target amd64-unicode
RequestExecutionLevel admin
ManifestSupportedOS all
; The package is named setup.exe, as stations and the update check expect.
; The manifest declares every Windows the installer supports, which keeps the
; compatibility shims that NSIS warns of for that name from applying.
!pragma warning disable 9000
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "x64.nsh"

!define PRODUCT "QUARN"
!define PUBLISHER "MORVIL"
!define WEB_SITE "https://www.morvil.example/"
!define SERVICE_NAME "Service_watch"
!define SETTINGS_KEY "Software\MORVIL\QUARN"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QUARN"

; Service control manager access rights and states.
!define SC_MANAGER_CONNECT 0x0001
!define SERVICE_QUERY_STATUS 0x0004
!define SERVICE_CHANGE_CONFIG 0x0002
!define SERVICE_START 0x0010
!define SERVICE_STOP 0x0020
!define SERVICE_CONTROL_STOP 1
!define SERVICE_STOPPED 1
!define SERVICE_RUNNING 4
!define SERVICE_NO_CHANGE 0xFFFFFFFF

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\QUARN"
; An upgrade goes where the installed release is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${RELEASE}"

VIProductVersion "${RELEASE_MAJOR}.${RELEASE_MINOR}.0.0"
VIFileVersion "${RELEASE_MAJOR}.${RELEASE_MINOR}.0.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=0 "FileVersion" "${RELEASE}"
VIAddVersionKey /LANG=0 "ProductVersion" "${RELEASE}"

!define MUI_ICON "${__FILEDIR__}\..\src\quarn\resources\quarn.ico"
!define MUI_UNICON "${__FILEDIR__}\..\src\quarn\resources\quarn.ico"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"

LangString NeedsX64 ${LANG_ENGLISH} "${PRODUCT} needs a 64-bit Windows."
LangString NeedsX64 ${LANG_GERMAN} "${PRODUCT} benötigt ein 64-Bit-Windows."
LangString ServiceNotStopped ${LANG_ENGLISH} "The service $\"watch$\" did not stop. Setup goes on; restart the computer when it has finished."
LangString ServiceNotStopped ${LANG_GERMAN} "Der Dienst $\"watch$\" hat nicht angehalten. Das Setup fährt fort; starten Sie den Computer danach neu."
LangString ServiceNotStarted ${LANG_ENGLISH} "The service $\"watch$\" could not be started. Start it in the Services console."
LangString ServiceNotStarted ${LANG_GERMAN} "Der Dienst $\"watch$\" konnte nicht gestartet werden. Starten Sie ihn in der Dienste-Konsole."
LangString StillLockedDown ${LANG_ENGLISH} "The station is still locked down: the locked account's shell is watchdog.exe, which is about to be removed.$\r$\n$\r$\nCancel, unlock the account in the configurator, then uninstall. Or choose OK to remove ${PRODUCT} anyway."
LangString StillLockedDown ${LANG_GERMAN} "Die Station ist noch gesperrt: Die Shell des gesperrten Kontos ist watchdog.exe, das jetzt entfernt würde.$\r$\n$\r$\nBrechen Sie ab, entsperren Sie das Konto im Konfigurator und deinstallieren Sie danach. Oder wählen Sie OK, um ${PRODUCT} trotzdem zu entfernen."
LangString RemoveConfiguration ${LANG_ENGLISH} "Also remove the station's configuration (quarn.xml, quarn.ini and the ${PRODUCT} settings in the registry)?$\r$\n$\r$\nChoose No to keep it for a later installation."
LangString RemoveConfiguration ${LANG_GERMAN} "Auch die Konfiguration der Station entfernen (quarn.xml, quarn.ini und die ${PRODUCT}-Einstellungen in der Registrierung)?$\r$\n$\r$\nWählen Sie Nein, um sie für eine spätere Installation zu behalten."
LangString HelpShortcut ${LANG_ENGLISH} "${PRODUCT} Help"
LangString HelpShortcut ${LANG_GERMAN} "${PRODUCT}-Hilfe"
LangString UninstallShortcut ${LANG_ENGLISH} "Uninstall ${PRODUCT}"
LangString UninstallShortcut ${LANG_GERMAN} "${PRODUCT} deinstallieren"

Var Upgrade

; --- The watch service, through the service control manager ----------------

; Pushes 1 when the service is registered, else 0.
Function WatchServiceExists
    Push $0
    Push $1
    Push $2
    StrCpy $2 0
    System::Call 'advapi32::OpenSCManagerW(p 0, p 0, i ${SC_MANAGER_CONNECT}) p.r0'
    ${If} $0 P<> 0
        System::Call 'advapi32::OpenServiceW(p r0, w "${SERVICE_NAME}", i ${SERVICE_QUERY_STATUS}) p.r1'
        ${If} $1 P<> 0
            StrCpy $2 1
            System::Call 'advapi32::CloseServiceHandle(p r1)'
        ${EndIf}
        System::Call 'advapi32::CloseServiceHandle(p r0)'
    ${EndIf}
    Exch $2
    Exch 2
    Pop $0
    Pop $1
FunctionEnd

; Both setup.exe and uninstall.exe wait for the service; NSIS wants an "un."
; copy of a function for the uninstaller.
!macro ServiceFunctions un
; Pushes the service's state after waiting at most 30 s for WANTED (a
; SERVICE_ state); 0 when the service is not there. Asks it to stop first
; when WANTED is SERVICE_STOPPED.
; Usage: Push WANTED ; Call WaitForWatchService ; Pop STATE
Function ${un}WaitForWatchService
    Exch $R0  ; wanted state
    Push $0
    Push $1
    Push $2
    Push $3
    Push $4
    StrCpy $4 0
    System::Call 'advapi32::OpenSCManagerW(p 0, p 0, i ${SC_MANAGER_CONNECT}) p.r0'
    ${If} $0 P<> 0
        System::Call 'advapi32::OpenServiceW(p r0, w "${SERVICE_NAME}", i ${SERVICE_QUERY_STATUS}|${SERVICE_STOP}) p.r1'
        ${If} $1 P<> 0
            System::Call '*(i, i, i, i, i, i, i) p.r2'
            ${If} $R0 = ${SERVICE_STOPPED}
                System::Call 'advapi32::ControlService(p r1, i ${SERVICE_CONTROL_STOP}, p r2)'
            ${EndIf}
            ${For} $3 1 60
                System::Call 'advapi32::QueryServiceStatus(p r1, p r2) i'
                System::Call '*$2(i, i .r4)'
                ${If} $4 = $R0
                    ${Break}
                ${EndIf}
                Sleep 500
            ${Next}
            System::Free $2
            System::Call 'advapi32::CloseServiceHandle(p r1)'
        ${EndIf}
        System::Call 'advapi32::CloseServiceHandle(p r0)'
    ${EndIf}
    StrCpy $R0 $4
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Pop $0
    Exch $R0
FunctionEnd
!macroend
!insertmacro ServiceFunctions ""
!insertmacro ServiceFunctions "un."

; Points the registered service at this folder's watch.exe (an upgrade into
; another folder) and starts it.
Function StartWatchService
    Push $0
    Push $1
    System::Call 'advapi32::OpenSCManagerW(p 0, p 0, i ${SC_MANAGER_CONNECT}) p.r0'
    ${If} $0 P<> 0
        System::Call 'advapi32::OpenServiceW(p r0, w "${SERVICE_NAME}", i ${SERVICE_START}|${SERVICE_CHANGE_CONFIG}) p.r1'
        ${If} $1 P<> 0
            System::Call 'advapi32::ChangeServiceConfigW(p r1, i ${SERVICE_NO_CHANGE}, i ${SERVICE_NO_CHANGE}, i ${SERVICE_NO_CHANGE}, w "$\"$INSTDIR\watch.exe$\"", p 0, p 0, p 0, p 0, p 0, p 0)'
            System::Call 'advapi32::StartServiceW(p r1, i 0, p 0)'
            System::Call 'advapi32::CloseServiceHandle(p r1)'
        ${EndIf}
        System::Call 'advapi32::CloseServiceHandle(p r0)'
    ${EndIf}
    Pop $1
    Pop $0
FunctionEnd

; Installs one program. A program that is running (watchdog.exe as the shell
; of a logged-on station account) cannot be overwritten: it is replaced at
; the next restart.
!macro InstallProgram name
    SetOverwrite try
    ClearErrors
    File "${PROGRAMS}\${name}"
    ${If} ${Errors}
        File "/oname=${name}.new" "${PROGRAMS}\${name}"
        Rename /REBOOTOK "$INSTDIR\${name}.new" "$INSTDIR\${name}"
        DetailPrint "${name} is in use; it is replaced when the computer restarts."
    ${EndIf}
    SetOverwrite on
!macroend

Function .onInit
    ${IfNot} ${RunningX64}
        MessageBox MB_ICONSTOP "$(NeedsX64)" /SD IDOK
        Abort
    ${EndIf}
    SetRegView 64
FunctionEnd

Section "QUARN" SectionMain
    SectionIn RO
    SetShellVarContext all

    ; An installed release: the service is registered or the programs list
    ; has our entry.
    Call WatchServiceExists
    Pop $Upgrade
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "DisplayVersion"
    ${If} $0 != ""
        StrCpy $Upgrade 1
    ${EndIf}

    ${If} $Upgrade = 1
        DetailPrint "Stopping the service $\"watch$\""
        Push ${SERVICE_STOPPED}
        Call WaitForWatchService
        Pop $0
        ${If} $0 <> ${SERVICE_STOPPED}
        ${AndIf} $0 <> 0
            MessageBox MB_ICONEXCLAMATION "$(ServiceNotStopped)" /SD IDOK
        ${EndIf}
        ; The new service records its release and runs version.exe once.
        SetRegView 32
        WriteRegStr HKLM "${SETTINGS_KEY}" "QUARN-Release" "update"
        ReadRegStr $0 HKLM "${SETTINGS_KEY}" "CompleteLockDown"
        SetRegView 64
        ; Without Lock Down the watchdog is the service's, which starts the new
        ; one; with Lock Down it is the account's shell and is replaced at the
        ; next restart.
        ${If} $0 != "true"
            nsExec::Exec '"$SYSDIR\taskkill.exe" /F /IM watchdog.exe'
            Pop $0
        ${EndIf}
    ${EndIf}

    SetOutPath "$INSTDIR"
    !insertmacro InstallProgram "quarn.exe"
    !insertmacro InstallProgram "watch.exe"
    !insertmacro InstallProgram "watchdog.exe"
    !insertmacro InstallProgram "dummy.exe"
    !insertmacro InstallProgram "version.exe"
    !insertmacro InstallProgram "quarnctl.exe"
    File "/oname=quarn.chm" "${HELP_FILE}"
    File "/oname=README.txt" "${__FILEDIR__}\README.txt"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; Both programs find the installation folder here (the settings key lives
    ; in the 32-bit view).
    SetRegView 32
    WriteRegStr HKLM "${SETTINGS_KEY}" "QUARN-DIR" "$INSTDIR"
    SetRegView 64

    Call WatchServiceExists
    Pop $0
    ${If} $0 = 0
        DetailPrint "Registering the service $\"watch$\""
        ExecWait '"$INSTDIR\watch.exe" /INSTALL /SILENT'
    ${EndIf}
    DetailPrint "Starting the service $\"watch$\""
    Call StartWatchService
    Push ${SERVICE_RUNNING}
    Call WaitForWatchService
    Pop $0
    ${If} $0 <> ${SERVICE_RUNNING}
        MessageBox MB_ICONEXCLAMATION "$(ServiceNotStarted)" /SD IDOK
    ${EndIf}

    ; The configurator's Help looks for quarn.chm in the current folder, so the
    ; shortcuts start in the installation folder.
    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    SetOutPath "$INSTDIR"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\quarn.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\$(HelpShortcut).lnk" "$INSTDIR\quarn.chm"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\$(UninstallShortcut).lnk" "$INSTDIR\uninstall.exe"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${RELEASE}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "${WEB_SITE}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$\"$INSTDIR\quarn.exe$\",0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" "$\"$INSTDIR\uninstall.exe$\""
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" "$\"$INSTDIR\uninstall.exe$\" /S"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; --- Removal -----------------------------------------------------------------

Function un.onInit
    SetRegView 64
FunctionEnd

Section "Uninstall"
    SetShellVarContext all

    ; Removing the watchdog under a locked-down account would leave it without
    ; a shell at its next logon.
    SetRegView 32
    ReadRegStr $0 HKLM "${SETTINGS_KEY}" "CompleteLockDown"
    SetRegView 64
    ${If} $0 == "true"
        MessageBox MB_OKCANCEL|MB_ICONEXCLAMATION|MB_DEFBUTTON2 "$(StillLockedDown)" /SD IDOK IDOK +2
        Abort
    ${EndIf}

    Push ${SERVICE_STOPPED}
    Call un.WaitForWatchService
    Pop $0
    ExecWait '"$INSTDIR\watch.exe" /UNINSTALL /SILENT'
    ; With the service gone nothing restarts them; a running program could not
    ; be deleted until the next restart.
    nsExec::Exec '"$SYSDIR\taskkill.exe" /F /IM watchdog.exe'
    Pop $0
    nsExec::Exec '"$SYSDIR\taskkill.exe" /F /IM dummy.exe'
    Pop $0

    Delete /REBOOTOK "$INSTDIR\quarn.exe"
    Delete /REBOOTOK "$INSTDIR\watch.exe"
    Delete /REBOOTOK "$INSTDIR\watchdog.exe"
    Delete /REBOOTOK "$INSTDIR\dummy.exe"
    Delete /REBOOTOK "$INSTDIR\version.exe"
    Delete /REBOOTOK "$INSTDIR\quarnctl.exe"
    ; Programs an upgrade could not replace while they ran wait for the next
    ; restart as .new files.
    Delete "$INSTDIR\*.exe.new"
    Delete "$INSTDIR\quarn.chm"
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\uninstall.exe"

    RMDir /r "$SMPROGRAMS\${PRODUCT}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"

    ; The configuration stays for a later installation unless asked for:
    ; /PURGE on the command line, or Yes to the question.
    ${GetParameters} $1
    ClearErrors
    ${GetOptions} $1 "/PURGE" $2
    ${If} ${Errors}
        MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "$(RemoveConfiguration)" /SD IDNO IDYES purge
        Goto kept
    ${EndIf}
  purge:
    Delete "$INSTDIR\quarn.xml"
    Delete "$INSTDIR\quarn.ini"
    SetRegView 32
    DeleteRegKey HKLM "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKLM "Software\MORVIL"
    SetRegView 64
  kept:
    RMDir "$INSTDIR"
SectionEnd
