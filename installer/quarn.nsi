; setup.exe: puts QUARN on a station, upgrades an installed release, and
; removes it again while keeping the station's configuration.
;
; Built by scripts/build-installer, which passes:
;   RELEASE, RELEASE_MAJOR, RELEASE_MINOR  the release (from release_number.h)
;   PROGRAMS   folder with quarn.exe, watch.exe, watchdog.exe, dummy.exe,
;              version.exe, quarnctl.exe and uninstall.exe
;   HELP_FILE  the compiled quarn.chm
;   CATALOGUE_FILE  the recommended lock catalogue for Windows 10 and 11,
;              as quarnctl export windows10-11 writes it
;   OUTFILE    where setup.exe is written
;
; Command line of setup.exe: /S installs silently, /D=FOLDER (last) chooses
; the folder. Of uninstall.exe: /S removes silently, /PURGE also removes
; quarn.xml, quarn.ini and the settings key, /FORCE removes even while Lock
; Down is on (after setting the locked account's shell back to explorer.exe).
; uninstall.exe waits until the removal has ended, and ends with its exit
; code: 0 removed, 2 refused or failed (nothing removed).

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
; The event source of the service's entries; its message file is watch.exe.
!define EVENT_SOURCE_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\watch.exe"
; Written by the uninstaller beside the configuration it keeps.
!define REMOVAL_LOG "uninstall.log"

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
; No default here: .onInit chooses it (ChooseInstallFolder), so that an empty
; $INSTDIR there means that no /D= was given.
InstallDir ""
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
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\$(ReadmeFile)"
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
LangString ServiceNotRepointed ${LANG_ENGLISH} "The service $\"watch$\" could not be pointed at $INSTDIR\watch.exe; it still runs the earlier folder's watch.exe. Keep that folder, and run setup.exe again."
LangString ServiceNotRepointed ${LANG_GERMAN} "Der Dienst $\"watch$\" konnte nicht auf $INSTDIR\watch.exe umgestellt werden; er startet weiter watch.exe aus dem bisherigen Ordner. Behalten Sie diesen Ordner und starten Sie setup.exe erneut."
LangString StillLockedDown ${LANG_ENGLISH} "The station is still locked down: the locked account's shell is watchdog.exe, which is about to be removed.$\r$\n$\r$\nChoose OK to set the account's shell back to explorer.exe and switch Lock Down off first (the account's policies stay), then remove ${PRODUCT}. Or cancel, unlock the account in the configurator, and uninstall then."
LangString StillLockedDown ${LANG_GERMAN} "Die Station ist noch gesperrt: Die Shell des gesperrten Kontos ist watchdog.exe, das jetzt entfernt würde.$\r$\n$\r$\nWählen Sie OK, um zuerst die Shell des Kontos auf explorer.exe zurückzusetzen und Lock Down auszuschalten (die Richtlinien des Kontos bleiben), und danach ${PRODUCT} zu entfernen. Oder brechen Sie ab, entsperren Sie das Konto im Konfigurator und deinstallieren Sie danach."
LangString ShellNotPointed ${LANG_ENGLISH} "The locked account's shell could not be pointed at $INSTDIR\watchdog.exe; it still names the earlier folder's watchdog.exe. Keep that folder, and uncheck and check $\"Lock Down$\" in the configurator:$\r$\n$\r$\n$1"
LangString ShellNotPointed ${LANG_GERMAN} "Die Shell des gesperrten Kontos konnte nicht auf $INSTDIR\watchdog.exe umgestellt werden; sie nennt weiter watchdog.exe aus dem bisherigen Ordner. Behalten Sie diesen Ordner und schalten Sie $\"Lock Down$\" im Konfigurator aus und wieder ein:$\r$\n$\r$\n$1"
LangString ShellNotReleased ${LANG_ENGLISH} "The locked account's shell could not be set back to explorer.exe, so ${PRODUCT} stays installed:$\r$\n$\r$\n$1"
LangString ShellNotReleased ${LANG_GERMAN} "Die Shell des gesperrten Kontos konnte nicht auf explorer.exe zurückgesetzt werden; ${PRODUCT} bleibt installiert:$\r$\n$\r$\n$1"
LangString RemoveConfiguration ${LANG_ENGLISH} "Also remove the station's configuration (quarn.xml, quarn.ini and the ${PRODUCT} settings in the registry)?$\r$\n$\r$\nChoose No to keep it for a later installation."
LangString RemoveConfiguration ${LANG_GERMAN} "Auch die Konfiguration der Station entfernen (quarn.xml, quarn.ini und die ${PRODUCT}-Einstellungen in der Registrierung)?$\r$\n$\r$\nWählen Sie Nein, um sie für eine spätere Installation zu behalten."
LangString RestorePointKept ${LANG_ENGLISH} "quarn-restore.reg stays in $INSTDIR: reg import quarn-restore.reg gives the station back the settings it had before the first Lock Down."
LangString RestorePointKept ${LANG_GERMAN} "quarn-restore.reg bleibt in $INSTDIR: reg import quarn-restore.reg gibt der Station die Einstellungen zurück, die sie vor dem ersten Lock Down hatte."
LangString HelpShortcut ${LANG_ENGLISH} "${PRODUCT} Help"
LangString HelpShortcut ${LANG_GERMAN} "${PRODUCT}-Hilfe"
LangString UninstallShortcut ${LANG_ENGLISH} "Uninstall ${PRODUCT}"
LangString UninstallShortcut ${LANG_GERMAN} "${PRODUCT} deinstallieren"
LangString ReadmeFile ${LANG_ENGLISH} "README.txt"
LangString ReadmeFile ${LANG_GERMAN} "README-de.txt"

Var Upgrade
; The removal sets the locked account's shell back first (Lock Down is on).
Var ReleaseShell

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

; Points the registered service at this folder's watch.exe, in double quotes
; (an upgrade may come into another folder), and starts it.
Function StartWatchService
    Push $0
    Push $1
    Push $2
    Push $3
    ; The path goes to the call through a register: double quotes written
    ; into the call's text would end its string argument early.
    StrCpy $2 '"$INSTDIR\watch.exe"'
    System::Call 'advapi32::OpenSCManagerW(p 0, p 0, i ${SC_MANAGER_CONNECT}) p.r0'
    ${If} $0 P<> 0
        System::Call 'advapi32::OpenServiceW(p r0, w "${SERVICE_NAME}", i ${SERVICE_START}|${SERVICE_CHANGE_CONFIG}) p.r1'
        ${If} $1 P<> 0
            System::Call 'advapi32::ChangeServiceConfigW(p r1, i ${SERVICE_NO_CHANGE}, i ${SERVICE_NO_CHANGE}, i ${SERVICE_NO_CHANGE}, w r2, p 0, p 0, p 0, p 0, p 0, p 0) i.r3 ?e'
            Pop $2  ; the call's last error
            ${If} $3 = 0
                DetailPrint "ChangeServiceConfigW failed (error $2)"
                MessageBox MB_ICONEXCLAMATION "$(ServiceNotRepointed)" /SD IDOK
            ${EndIf}
            System::Call 'advapi32::StartServiceW(p r1, i 0, p 0)'
            System::Call 'advapi32::CloseServiceHandle(p r1)'
        ${EndIf}
        System::Call 'advapi32::CloseServiceHandle(p r0)'
    ${EndIf}
    Pop $3
    Pop $2
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

; Without /D= the folder is the installed release's (an upgrade goes where it
; is), else the folder whose configuration a removal kept ("QUARN-DIR", while
; it still holds quarn.xml: a reinstallation finds the station as it was),
; else Program Files\QUARN.
Function ChooseInstallFolder
    ${If} $INSTDIR != ""
        Return  ; /D= chose it
    ${EndIf}
    ReadRegStr $INSTDIR HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $INSTDIR == ""
        SetRegView 32
        ReadRegStr $0 HKLM "${SETTINGS_KEY}" "QUARN-DIR"
        SetRegView 64
        ${If} $0 != ""
        ${AndIf} ${FileExists} "$0\quarn.xml"
            StrCpy $INSTDIR $0
        ${Else}
            StrCpy $INSTDIR "$PROGRAMFILES64\QUARN"
        ${EndIf}
    ${EndIf}
FunctionEnd

Function .onInit
    ${IfNot} ${RunningX64}
        MessageBox MB_ICONSTOP "$(NeedsX64)" /SD IDOK
        Abort
    ${EndIf}
    SetRegView 64
    Call ChooseInstallFolder
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

    ; Where the programs were until now.
    SetRegView 32
    ReadRegStr $R1 HKLM "${SETTINGS_KEY}" "QUARN-DIR"
    SetRegView 64

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
    ; An upgrade into another folder takes the station's configuration along:
    ; the configurator finds quarn.xml and its restore point beside itself,
    ; the service quarn.ini.
    ${If} $Upgrade = 1
    ${AndIf} $R1 != ""
    ${AndIf} $R1 != $INSTDIR
        ${IfNot} ${FileExists} "$INSTDIR\quarn.xml"
        ${AndIf} ${FileExists} "$R1\quarn.xml"
            CopyFiles /SILENT "$R1\quarn.xml" "$INSTDIR"
        ${EndIf}
        ${IfNot} ${FileExists} "$INSTDIR\quarn.ini"
        ${AndIf} ${FileExists} "$R1\quarn.ini"
            CopyFiles /SILENT "$R1\quarn.ini" "$INSTDIR"
        ${EndIf}
        ${IfNot} ${FileExists} "$INSTDIR\quarn-restore.reg"
        ${AndIf} ${FileExists} "$R1\quarn-restore.reg"
            CopyFiles /SILENT "$R1\quarn-restore.reg" "$INSTDIR"
        ${EndIf}
    ${EndIf}
    !insertmacro InstallProgram "quarn.exe"
    !insertmacro InstallProgram "watch.exe"
    !insertmacro InstallProgram "watchdog.exe"
    !insertmacro InstallProgram "dummy.exe"
    !insertmacro InstallProgram "version.exe"
    !insertmacro InstallProgram "quarnctl.exe"
    !insertmacro InstallProgram "uninstall.exe"
    File "/oname=quarn.chm" "${HELP_FILE}"
    File "/oname=README.txt" "${__FILEDIR__}\README.txt"
    File "/oname=README-de.txt" "${__FILEDIR__}\README-de.txt"
    ; Ours, not the station's configuration: an upgrade writes it anew, the
    ; removal takes it away. The administrator imports it as quarn.xml.
    SetOutPath "$INSTDIR\catalogues"
    File "/oname=lock-windows10-11.xml" "${CATALOGUE_FILE}"
    SetOutPath "$INSTDIR"
    ; uninstall.exe runs it (see Removal).
    WriteUninstaller "$INSTDIR\uninstall.dat"

    ; Both programs find the installation folder here (the settings key lives
    ; in the 32-bit view).
    SetRegView 32
    WriteRegStr HKLM "${SETTINGS_KEY}" "QUARN-DIR" "$INSTDIR"
    ReadRegStr $0 HKLM "${SETTINGS_KEY}" "CompleteLockDown"
    SetRegView 64
    ; While Lock Down is on, the locked account's shell is the watchdog of
    ; this folder, which an upgrade may have changed.
    ${If} $Upgrade = 1
    ${AndIf} $0 == "true"
        nsExec::ExecToStack '"$INSTDIR\quarnctl.exe" point-shell'
        Pop $0
        Pop $1
        DetailPrint "quarnctl point-shell: $1"
        ${If} $0 != 0
            MessageBox MB_ICONEXCLAMATION "$(ShellNotPointed)" /SD IDOK
        ${EndIf}
    ${EndIf}

    Call WatchServiceExists
    Pop $0
    ${If} $0 = 0
        DetailPrint "Registering the service $\"watch$\""
        ExecWait '"$INSTDIR\watch.exe" /INSTALL /SILENT'
    ${EndIf}
    ; Event Viewer renders the service's entries with watch.exe's messages.
    WriteRegExpandStr HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile" "$INSTDIR\watch.exe"
    WriteRegDWORD HKLM "${EVENT_SOURCE_KEY}" "TypesSupported" 7

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
;
; The uninstaller is uninstall.dat. Started directly, an NSIS uninstaller
; copies itself into the temporary folder, starts the copy and ends at once,
; so a script waiting for it would go on while the removal has only begun.
; uninstall.exe (src/tools/uninstall) makes that copy itself, runs it on this
; folder (_?=), waits for it, ends with its exit code and then takes its own
; file out of the folder.

; Appends a line with the time to uninstall.log beside the configuration.
!macro RemovalLog text
    Push "${text}"
    Call un.RemovalLog
!macroend

Function un.RemovalLog
    Exch $R0
    Push $R1
    Push $0
    Push $1
    Push $2
    Push $3
    Push $4
    Push $5
    Push $6
    ${GetTime} "" "L" $0 $1 $2 $3 $4 $5 $6
    ClearErrors
    FileOpen $R1 "$INSTDIR\${REMOVAL_LOG}" a
    ${IfNot} ${Errors}
        FileSeek $R1 0 END
        FileWrite $R1 "$2-$1-$0 $4:$5:$6 $R0$\r$\n"
        FileClose $R1
    ${EndIf}
    Pop $6
    Pop $5
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Pop $0
    Pop $R1
    Pop $R0
FunctionEnd

Function un.onInit
    SetRegView 64
    StrCpy $ReleaseShell 0

    ; Removing the watchdog while it is the locked-down account's shell would
    ; leave the account with a black screen at its next logon. With /FORCE,
    ; or OK to the warning, the removal first sets the account's shell back to
    ; explorer.exe; silently and without /FORCE it is refused.
    SetRegView 32
    ReadRegStr $0 HKLM "${SETTINGS_KEY}" "CompleteLockDown"
    ReadRegStr $1 HKLM "${SETTINGS_KEY}" "QUARN-Username"
    SetRegView 64
    ${If} $0 == "true"
        ${GetParameters} $2
        ClearErrors
        ${GetOptions} $2 "/FORCE" $3
        ${If} ${Errors}
            ${If} ${Silent}
                !insertmacro RemovalLog "Silent removal refused: Lock Down is on, and the account $\"$1$\" has watchdog.exe as its shell. Unlock it in the configurator first, or give /FORCE to set its shell back to explorer.exe. Nothing was removed."
                SetErrorLevel 2
                Quit
            ${EndIf}
            MessageBox MB_OKCANCEL|MB_ICONEXCLAMATION|MB_DEFBUTTON2 "$(StillLockedDown)" IDOK +2
            Quit
        ${EndIf}
        StrCpy $ReleaseShell 1
    ${EndIf}
FunctionEnd

Section "Uninstall"
    SetShellVarContext all

    ${If} $ReleaseShell = 1
        DetailPrint "Setting the locked account's shell back to explorer.exe"
        nsExec::ExecToStack '"$INSTDIR\quarnctl.exe" release-shell'
        Pop $0  ; exit code, or "error" when it could not start
        Pop $1  ; what it printed
        !insertmacro RemovalLog "quarnctl release-shell: $1"
        ${If} $0 != 0
            !insertmacro RemovalLog "Removal refused: the locked account's shell could not be set back to explorer.exe. Nothing was removed."
            MessageBox MB_ICONSTOP "$(ShellNotReleased)" /SD IDOK
            SetErrorLevel 2
            Quit
        ${EndIf}
    ${EndIf}

    Push ${SERVICE_STOPPED}
    Call un.WaitForWatchService
    Pop $0
    ExecWait '"$INSTDIR\watch.exe" /UNINSTALL /SILENT'
    DeleteRegKey HKLM "${EVENT_SOURCE_KEY}"
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
    Delete "$INSTDIR\README-de.txt"
    Delete "$INSTDIR\catalogues\lock-windows10-11.xml"
    ; Kept when it holds files of the administrator's.
    RMDir "$INSTDIR\catalogues"
    Delete "$INSTDIR\uninstall.dat"
    ; Unless it runs (and takes itself away when this has ended).
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
    Delete "$INSTDIR\quarn.xml.bak"
    Delete "$INSTDIR\quarn.ini"
    Delete "$INSTDIR\quarn-restore-*.reg"
    Delete "$INSTDIR\${REMOVAL_LOG}"
    ; The restore point is the station's way back to what it was before the
    ; first Lock Down (the policies stay in the registry): it is kept, and
    ; "reg import quarn-restore.reg" brings the station back without QUARN.
    ${If} ${FileExists} "$INSTDIR\quarn-restore.reg"
        DetailPrint "$(RestorePointKept)"
    ${EndIf}
    SetRegView 32
    DeleteRegKey HKLM "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKLM "Software\MORVIL"
    SetRegView 64
  kept:
    ; The folder cannot go while it is the current one; while uninstall.exe
    ; runs, it removes the folder when it has taken itself away.
    SetOutPath "$TEMP"
    RMDir "$INSTDIR"
SectionEnd
