; The Norza setup program: a per-user install that needs no administrator
; rights. Built by scripts/release.py from its staging folder:
;
;   makensis -INPUTCHARSET UTF8 -DVERSION=4.3 -DSTAGE=<folder> -DICON=<app.ico>
;            -DOUTFILE=<Norza-4.3-setup.exe> installer/Norza.nsi
;
; With -DSIGN=<command> makensis signs the uninstaller and the setup program
; by running <command> "<file>".
;
; Silent install:   setup.exe /S [/ENGINE=<vistrel.dll>] [/AUTOSTART=0|1] [/SETTINGS=<folder>]
; Silent removal:   uninstall.exe /S [/REMOVEDATA=1]
; Exit codes: 0 done, 1 cancelled, 2 failed (a bad option, the running copy would not close,
; or a file could not be written), 3 a settings file of /SETTINGS= could not be copied
; (also said in the program's log.log).
;
; An installed vistrel.dll is replaced only when it is one of our stand-ins or
; another file is named; the user's own engine is kept.

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include MUI2.nsh
!include nsDialogs.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include WinMessages.nsh

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Norza"
!define SOUND_KEY "AppEvents\Schemes\Apps\Norza"
!define LABELS_KEY "AppEvents\EventLabels"

!ifdef SIGN
!finalize `${SIGN} "%1"` = 0
!uninstfinalize `${SIGN} "%1"` = 0
!endif

Name "Norza ${VERSION}"
BrandingText "Norza ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Norza"
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=0 "ProductName" "Norza"
VIAddVersionKey /LANG=0 "FileDescription" "Norza ${VERSION} Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Norza"

Var EnginePath      ; the maker's vistrel.dll to install; empty: keep the user's or install the stand-in
Var SettingsDir     ; a folder with typeSet.ini and/or configDecodeTime.ini to install
Var WasRunning      ; 1 when setup closed a running copy, which it then starts again
Var UserEngine      ; 1 when the installed vistrel.dll is not one of our stand-ins
Var EngineField

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
; A file that cannot be written fails the setup, silent or not, rather than
; leaving an old file among new ones with exit code 0.
AllowSkipFiles off

Page custom EnginePage EnginePageLeave
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION StartNorza
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishShow
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

; Chinese first: the one shown where the user's language is neither.
!insertmacro MUI_LANGUAGE "SimpChinese"
!insertmacro MUI_LANGUAGE "English"

LangString EngineTitle ${LANG_SIMPCHINESE} "扫码引擎"
LangString EngineTitle ${LANG_ENGLISH} "Scanning engine"
LangString EngineSubtitle ${LANG_SIMPCHINESE} "选择扫码器厂家提供的 vistrel.dll。"
LangString EngineSubtitle ${LANG_ENGLISH} "Choose the vistrel.dll that came with your scanner."
LangString EngineText ${LANG_SIMPCHINESE} "Norza 通过扫码器厂家的 vistrel.dll 使用扫码器。请选择该文件："
LangString EngineText ${LANG_ENGLISH} "Norza drives the scanner through the scanner maker's vistrel.dll. Choose that file:"
LangString EngineStandIn ${LANG_SIMPCHINESE} "留空则安装模拟引擎（不是真正的扫码引擎，只用于在没有扫码器时试用 Norza，用 scanctl.exe 控制）。以后可以再次运行安装程序换成厂家的 vistrel.dll。"
LangString EngineStandIn ${LANG_ENGLISH} "Leave it empty to install the stand-in engine: a simulator, not a real scanning engine, for trying Norza without a scanner (driven with scanctl.exe). Run setup again later to install the maker's vistrel.dll."
LangString EngineKept ${LANG_SIMPCHINESE} "已安装的 vistrel.dll 不是模拟引擎：除非在此选择其他文件，它将原样保留。"
LangString EngineKept ${LANG_ENGLISH} "The vistrel.dll installed now is not the stand-in engine: it is kept as it is unless you choose another file here."
LangString KeepingEngine ${LANG_SIMPCHINESE} "保留已安装的扫码引擎 vistrel.dll"
LangString KeepingEngine ${LANG_ENGLISH} "Keeping the installed scanning engine vistrel.dll"
LangString EngineBrowse ${LANG_SIMPCHINESE} "浏览..."
LangString EngineBrowse ${LANG_ENGLISH} "Browse..."
LangString EngineMissing ${LANG_SIMPCHINESE} "找不到该文件："
LangString EngineMissing ${LANG_ENGLISH} "The file does not exist:"
LangString SettingsMissing ${LANG_SIMPCHINESE} "该文件夹中没有 typeSet.ini 或 configDecodeTime.ini："
LangString SettingsMissing ${LANG_ENGLISH} "The folder holds neither typeSet.ini nor configDecodeTime.ini:"
LangString StillRunning ${LANG_SIMPCHINESE} "Norza 正在运行且没有退出。请从托盘菜单选择“退出”，然后重试。"
LangString StillRunning ${LANG_ENGLISH} "Norza is running and did not exit. Choose Exit in its tray menu, then retry."
LangString InstallingStandIn ${LANG_SIMPCHINESE} "安装模拟引擎（不是真正的扫码引擎）"
LangString InstallingStandIn ${LANG_ENGLISH} "Installing the stand-in engine (a simulator, not a real scanning engine)"
LangString SecProgramName ${LANG_SIMPCHINESE} "Norza 程序与开始菜单快捷方式"
LangString SecProgramName ${LANG_ENGLISH} "Norza and its Start-menu shortcut"
LangString SecAutostartName ${LANG_SIMPCHINESE} "登录时启动 Norza"
LangString SecAutostartName ${LANG_ENGLISH} "Start Norza when I sign in"
LangString SecUnProgramName ${LANG_SIMPCHINESE} "Norza 程序与快捷方式"
LangString SecUnProgramName ${LANG_ENGLISH} "Norza and its shortcuts"
LangString SecUnDataName ${LANG_SIMPCHINESE} "设置文件与日志 (typeSet.ini, configDecodeTime.ini, log.log)"
LangString SecUnDataName ${LANG_ENGLISH} "Settings and log (typeSet.ini, configDecodeTime.ini, log.log)"
LangString SoundApp ${LANG_SIMPCHINESE} "Norza 扫码键盘"
LangString SoundApp ${LANG_ENGLISH} "Norza Scan Keyboard"
LangString SoundTyped ${LANG_SIMPCHINESE} "扫码内容已输入"
LangString SoundTyped ${LANG_ENGLISH} "Code typed"
LangString SoundNotTyped ${LANG_SIMPCHINESE} "扫码内容未输入"
LangString SoundNotTyped ${LANG_ENGLISH} "Code not typed"
LangString SoundDuplicate ${LANG_SIMPCHINESE} "扫码内容以前扫过"
LangString SoundDuplicate ${LANG_ENGLISH} "Code scanned before"

; Closes the copy of Norza that runs from $INSTDIR as its Exit command does:
; its tray window gets WM_CLOSE, releases the device and ends. Waits up to ten
; seconds for the process to end; sets $WasRunning.
;
; The tray window is the program's one dialog-class window with no owner and
; no title: the history and settings windows have titles (the history window
; has no owner either), the About box and message boxes have owners.
!macro CLOSE_NORZA un
Function ${un}CloseNorza
    StrCpy $WasRunning 0
  search:
    StrCpy $R1 0
    ${Do}
        FindWindow $R1 "#32770" "" 0 $R1
        ${If} $R1 = 0
            ${Break}
        ${EndIf}
        System::Call "user32::GetWindow(p R1, i 4) p .R2"
        ; Read without a message: a copy that hangs does not hang setup.
        System::Call "user32::InternalGetWindowText(p R1, w .R7, i ${NSIS_MAX_STRLEN}) i .R6"
        ${If} $R2 <> 0
        ${OrIf} $R6 <> 0
            ${Continue}
        ${EndIf}
        System::Call "user32::GetWindowThreadProcessId(p R1, *i .R3)"
        ; SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION
        System::Call "kernel32::OpenProcess(i 0x101000, i 0, i R3) p .R4"
        StrCpy $R5 ""
        ${If} $R4 <> 0
            System::Call "kernel32::QueryFullProcessImageNameW(p R4, i 0, w .R5, *i ${NSIS_MAX_STRLEN})"
        ${EndIf}
        ${If} $R5 == "$INSTDIR\Norza.exe"
            DetailPrint "Closing $R5"
            System::Call "user32::PostMessageW(p R1, i ${WM_CLOSE}, p 0, p 0)"
            System::Call "kernel32::WaitForSingleObject(p R4, i 10000) i .R6"
            System::Call "kernel32::CloseHandle(p R4)"
            ${If} $R6 <> 0
                MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(StillRunning)" /SD IDCANCEL IDRETRY search
                SetErrorLevel 2
                Quit
            ${EndIf}
            StrCpy $WasRunning 1
            StrCpy $R1 0    ; the window is gone: search again from the top
        ${ElseIf} $R4 <> 0
            System::Call "kernel32::CloseHandle(p R4)"
        ${EndIf}
    ${Loop}
FunctionEnd
!macroend
!insertmacro CLOSE_NORZA ""
!insertmacro CLOSE_NORZA "un."

; Sets $UserEngine: whether $INSTDIR\vistrel.dll is an engine of the user's
; own (the maker's, put there by setup or by hand) rather than a stand-in that
; some version of setup shipped. The file decides, not what setup remembers
; installing. Every stand-in carries the product name below in its version
; resource (simulator/vistrel.rc), which a maker's library cannot; unlike a
; byte comparison with the stand-in carried here, it also recognises those of
; earlier versions. A file without it, or whose version resource cannot be
; read, is the user's and is kept.
Function CheckInstalledEngine
    StrCpy $UserEngine 0
    ${IfNot} ${FileExists} "$INSTDIR\vistrel.dll"
        Return
    ${EndIf}
    StrCpy $UserEngine 1
    System::Call 'version::GetFileVersionInfoSizeW(w "$INSTDIR\vistrel.dll", *i .R2) i .R1'
    ${If} $R1 = 0
        Return
    ${EndIf}
    System::Alloc $R1
    Pop $R2
    System::Call 'version::GetFileVersionInfoW(w "$INSTDIR\vistrel.dll", i 0, i R1, p R2) i .R3'
    ${If} $R3 <> 0
        System::Call 'version::VerQueryValueW(p R2, w "\StringFileInfo\080404b0\ProductName", *p .R4, *i .R5) i .R3'
    ${EndIf}
    StrCpy $R5 ""
    ${If} $R3 <> 0
        System::Call 'kernel32::lstrcpynW(w .R5, p R4, i ${NSIS_MAX_STRLEN})'
    ${EndIf}
    System::Free $R2
    ${If} $R5 S== "Norza engine simulator"
        StrCpy $UserEngine 0
    ${EndIf}
FunctionEnd

Function EnginePage
    !insertmacro MUI_HEADER_TEXT "$(EngineTitle)" "$(EngineSubtitle)"
    nsDialogs::Create 1018
    Pop $0
    ${NSD_CreateLabel} 0 0 100% 24u "$(EngineText)"
    Pop $0
    Call CheckInstalledEngine
    ${If} $EnginePath == ""
    ${AndIf} $UserEngine = 1
        StrCpy $EnginePath "$INSTDIR\vistrel.dll"
    ${EndIf}
    ${NSD_CreateFileRequest} 0 28u 78% 12u "$EnginePath"
    Pop $EngineField
    ${NSD_CreateBrowseButton} 80% 27u 20% 14u "$(EngineBrowse)"
    Pop $0
    ${NSD_OnClick} $0 EngineBrowse
    ${If} $UserEngine = 1
        ${NSD_CreateLabel} 0 50u 100% 48u "$(EngineKept)"
    ${Else}
        ${NSD_CreateLabel} 0 50u 100% 48u "$(EngineStandIn)"
    ${EndIf}
    Pop $0
    nsDialogs::Show
FunctionEnd

Function EngineBrowse
    ${NSD_GetText} $EngineField $0
    nsDialogs::SelectFileDialog open "$0" "vistrel.dll|vistrel.dll|*.dll|*.dll"
    Pop $0
    ${If} $0 != ""
        ${NSD_SetText} $EngineField $0
    ${EndIf}
FunctionEnd

Function EnginePageLeave
    ${NSD_GetText} $EngineField $EnginePath
    ${If} $EnginePath != ""
    ${AndIfNot} ${FileExists} $EnginePath
        MessageBox MB_ICONEXCLAMATION "$(EngineMissing)$\r$\n$EnginePath"
        Abort
    ${EndIf}
FunctionEnd

; The program's sound events for the Sound control panel, as the program
; registers them at each start: its own sounds as their defaults (the typed
; one silent), in .Default always; in .Current and each installed scheme's
; key only where the user has chosen nothing yet, silent under "No sounds".
; $R0: the alias, $R1: the default sound, $R2: the label.
Function RegisterSoundEvent
    WriteRegStr HKCU "${LABELS_KEY}\$R0" "" "$R2"
    WriteRegStr HKCU "${SOUND_KEY}\$R0\.Default" "" "$R1"
    StrCpy $R3 0
    ${Do}
        EnumRegKey $R4 HKCU "AppEvents\Schemes\Names" $R3
        ${If} $R4 == ""
            ${Break}
        ${EndIf}
        IntOp $R3 $R3 + 1
        ClearErrors
        ReadRegStr $R5 HKCU "${SOUND_KEY}\$R0\$R4" ""
        ${If} ${Errors}
        ${AndIf} $R4 != ".Default"
            ${If} $R4 == ".None"
                WriteRegStr HKCU "${SOUND_KEY}\$R0\$R4" "" ""
            ${Else}
                WriteRegStr HKCU "${SOUND_KEY}\$R0\$R4" "" "$R1"
            ${EndIf}
        ${EndIf}
    ${Loop}
    ClearErrors
    ReadRegStr $R5 HKCU "${SOUND_KEY}\$R0\.Current" ""
    ${If} ${Errors}
        ReadRegStr $R5 HKCU "AppEvents\Schemes" ""
        ${If} $R5 == ".None"
            WriteRegStr HKCU "${SOUND_KEY}\$R0\.Current" "" ""
        ${Else}
            WriteRegStr HKCU "${SOUND_KEY}\$R0\.Current" "" "$R1"
        ${EndIf}
    ${EndIf}
FunctionEnd

Function RegisterSounds
    WriteRegStr HKCU "${SOUND_KEY}" "" "$(SoundApp)"
    StrCpy $R0 "NorzaTyped"
    StrCpy $R1 ""
    StrCpy $R2 "$(SoundTyped)"
    Call RegisterSoundEvent
    StrCpy $R0 "NorzaNotTyped"
    StrCpy $R1 "$INSTDIR\not_typed.wav"
    StrCpy $R2 "$(SoundNotTyped)"
    Call RegisterSoundEvent
    StrCpy $R0 "NorzaScannedBefore"
    StrCpy $R1 "$INSTDIR\duplicate.wav"
    StrCpy $R2 "$(SoundDuplicate)"
    Call RegisterSoundEvent
FunctionEnd

; Every start has the install folder as its working folder: the program reads
; configDecodeTime.ini from there.
Function StartNorza
    SetOutPath $INSTDIR
    Exec '"$INSTDIR\Norza.exe"'
FunctionEnd

; After an upgrade the program has been started again already.
Function FinishShow
    ${If} $WasRunning = 1
        SendMessage $mui.FinishPage.Run ${BM_SETCHECK} ${BST_UNCHECKED} 0
        ShowWindow $mui.FinishPage.Run ${SW_HIDE}
    ${EndIf}
FunctionEnd

; With the user's engine in place the control tool and the label, which serve
; only the stand-in engine, go; the uninstall entry tells support which it is.
Function ClearStandIn
    Delete "$INSTDIR\scanctl.exe"
    Delete "$INSTDIR\vistrel.dll-SIMULATOR.txt"
    WriteRegStr HKCU "${UNINST_KEY}" "Engine" "maker"
FunctionEnd

; Appends $R0 to the program's log.log as the program writes its lines: on a
; line of its own, stamped, tagged [Setup], in the ANSI code page.
Function LogLine
    System::Call "*(&i2, &i2, &i2, &i2, &i2, &i2, &i2, &i2) p .r9"
    System::Call "kernel32::GetLocalTime(p r9)"
    System::Call "*$9(&i2, &i2 .r1, &i2, &i2 .r2, &i2 .r3, &i2 .r4, &i2 .r5, &i2 .r6)"
    System::Free $9
    IntFmt $1 "%2d" $1
    IntFmt $2 "%2d" $2
    IntFmt $3 "%2d" $3
    IntFmt $4 "%2d" $4
    IntFmt $5 "%2d" $5
    IntFmt $6 "%3d" $6
    FileOpen $9 "$INSTDIR\log.log" a
    FileSeek $9 0 END
    FileWrite $9 "$\r$\n[$1-$2 $3:$4:$5_$6][Setup]$R0"
    FileClose $9
FunctionEnd

; A settings file named by /SETTINGS= that cannot be copied (the installed
; one is read-only, or the share went away) fails the setup with its own exit
; code: the program would otherwise go on with the settings it had.
!macro INSTALL_SETTING name
    ${If} ${FileExists} "$SettingsDir\${name}"
        System::Call 'kernel32::CopyFileW(w "$SettingsDir\${name}", w "$INSTDIR\${name}", i 0) i .r0 ?e'
        Pop $1
        ${If} $0 = 0
            StrCpy $R0 "Settings not installed: $SettingsDir\${name} could not be copied to $INSTDIR (error $1)"
            Call LogLine
            SetErrorLevel 3
            Abort $R0
        ${EndIf}
    ${EndIf}
!macroend

Section "$(SecProgramName)" SecProgram
    SectionIn RO
    Call CloseNorza

    SetOutPath $INSTDIR
    File "${STAGE}/Norza.exe"
    File "${STAGE}/NorzaClip.exe"
    File "${STAGE}/USER-GUIDE.txt"
    File "${STAGE}/USER-GUIDE-zh.txt"
    File "${STAGE}/USER-GUIDE.html"
    File "${STAGE}/USER-GUIDE-zh.html"
    File "${STAGE}/typed.wav"
    File "${STAGE}/not_typed.wav"
    File "${STAGE}/duplicate.wav"
    Call RegisterSounds
    ; The administrative templates, for the administrator's policy store.
    File /r "${STAGE}/policies"

    ; Naming the installed file names nothing new: its content decides.
    ${If} $EnginePath == "$INSTDIR\vistrel.dll"
        StrCpy $EnginePath ""
    ${EndIf}
    Call CheckInstalledEngine
    ${If} $EnginePath != ""
        System::Call 'kernel32::CopyFileW(w "$EnginePath", w "$INSTDIR\vistrel.dll", i 0) i .r0'
        ${If} $0 = 0
            SetErrorLevel 2
            Abort "$(EngineMissing) $EnginePath"
        ${EndIf}
        Call ClearStandIn
    ${ElseIf} $UserEngine = 1
        DetailPrint "$(KeepingEngine)"
        Call ClearStandIn
    ${Else}
        DetailPrint "$(InstallingStandIn)"
        File "${STAGE}/vistrel.dll"
        File "${STAGE}/scanctl.exe"
        File "${STAGE}/vistrel.dll-SIMULATOR.txt"
        WriteRegStr HKCU "${UNINST_KEY}" "Engine" "stand-in"
    ${EndIf}

    ; The samples only where the user has no settings of their own yet.
    SetOverwrite off
    File "${STAGE}/typeSet.ini"
    File "${STAGE}/configDecodeTime.ini"
    SetOverwrite on
    ${If} $SettingsDir != ""
        !insertmacro INSTALL_SETTING typeSet.ini
        !insertmacro INSTALL_SETTING configDecodeTime.ini
    ${EndIf}

    WriteUninstaller "$INSTDIR\uninstall.exe"
    WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "Norza"
    WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "Norza"
    WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\Norza.exe"
    WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" $0

    ; A shortcut takes the output folder as its working folder.
    SetOutPath $INSTDIR
    CreateShortcut "$SMPROGRAMS\Norza.lnk" "$INSTDIR\Norza.exe"
SectionEnd

; A Startup-folder shortcut rather than a Run key: a Run key gives the
; program no working folder.
Section "$(SecAutostartName)" SecAutostart
    SetOutPath $INSTDIR
    CreateShortcut "$SMSTARTUP\Norza.lnk" "$INSTDIR\Norza.exe"
SectionEnd

Section "-finish"
    ${IfNot} ${SectionIsSelected} ${SecAutostart}
        Delete "$SMSTARTUP\Norza.lnk"
    ${EndIf}
    ${If} $WasRunning = 1
        Call StartNorza
    ${EndIf}
SectionEnd

; A failed upgrade still leaves the user the program it closed, running.
Function .onInstFailed
    ${If} $WasRunning = 1
        Call StartNorza
    ${EndIf}
FunctionEnd

Function .onInit
    ; Quotes dropped, a path with spaces reads the same whether a deployment
    ; tool wrote /ENGINE="C:\a b\vistrel.dll" or "/ENGINE=C:\a b\vistrel.dll".
    ${GetParameters} $R0
    ${WordReplace} $R0 '"' '' '+' $R0
    ClearErrors
    ${GetOptions} $R0 "/ENGINE=" $EnginePath
    ${If} ${Errors}
        StrCpy $EnginePath ""
    ${ElseIfNot} ${FileExists} $EnginePath
    ${OrIf} ${FileExists} "$EnginePath\*.*"
        MessageBox MB_ICONSTOP "$(EngineMissing)$\r$\n$EnginePath" /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
    ; Relative to the folder setup was started in, as a deployment tool's
    ; package folder: the install moves the current folder.
    ${If} $EnginePath != ""
        GetFullPathName $EnginePath $EnginePath
    ${EndIf}

    ClearErrors
    ${GetOptions} $R0 "/SETTINGS=" $SettingsDir
    ${If} ${Errors}
        StrCpy $SettingsDir ""
    ${ElseIfNot} ${FileExists} "$SettingsDir\typeSet.ini"
    ${AndIfNot} ${FileExists} "$SettingsDir\configDecodeTime.ini"
        MessageBox MB_ICONSTOP "$(SettingsMissing)$\r$\n$SettingsDir" /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
    ${If} $SettingsDir != ""
        GetFullPathName $SettingsDir $SettingsDir
    ${EndIf}

    ; Without the option an upgrade keeps the user's choice.
    ClearErrors
    ${GetOptions} $R0 "/AUTOSTART=" $R1
    ${If} ${Errors}
        ${If} ${FileExists} "$INSTDIR\Norza.exe"
        ${AndIfNot} ${FileExists} "$SMSTARTUP\Norza.lnk"
            StrCpy $R1 "0"
        ${EndIf}
    ${EndIf}
    ${If} $R1 == "0"
        !insertmacro UnselectSection ${SecAutostart}
    ${EndIf}
FunctionEnd

Section "un.$(SecUnProgramName)" SecUnProgram
    SectionIn RO
    Call un.CloseNorza
    Delete "$SMPROGRAMS\Norza.lnk"
    Delete "$SMSTARTUP\Norza.lnk"
    DeleteRegKey HKCU "${UNINST_KEY}"
    DeleteRegKey HKCU "${SOUND_KEY}"
    DeleteRegKey HKCU "${LABELS_KEY}\NorzaTyped"
    DeleteRegKey HKCU "${LABELS_KEY}\NorzaNotTyped"
    DeleteRegKey HKCU "${LABELS_KEY}\NorzaScannedBefore"
    Delete "$INSTDIR\Norza.exe"
    Delete "$INSTDIR\NorzaClip.exe"
    Delete "$INSTDIR\typed.wav"
    Delete "$INSTDIR\not_typed.wav"
    Delete "$INSTDIR\duplicate.wav"
    Delete "$INSTDIR\vistrel.dll"
    Delete "$INSTDIR\vistrel.journal"
    Delete "$INSTDIR\scanctl.exe"
    Delete "$INSTDIR\vistrel.dll-SIMULATOR.txt"
    Delete "$INSTDIR\USER-GUIDE.txt"
    Delete "$INSTDIR\USER-GUIDE-zh.txt"
    Delete "$INSTDIR\USER-GUIDE.html"
    Delete "$INSTDIR\USER-GUIDE-zh.html"
    Delete "$INSTDIR\policies\Norza.admx"
    Delete "$INSTDIR\policies\en-US\Norza.adml"
    Delete "$INSTDIR\policies\zh-CN\Norza.adml"
    RMDir "$INSTDIR\policies\en-US"
    RMDir "$INSTDIR\policies\zh-CN"
    RMDir "$INSTDIR\policies"
SectionEnd

Section /o "un.$(SecUnDataName)" SecUnData
    Delete "$INSTDIR\typeSet.ini"
    Delete "$INSTDIR\configDecodeTime.ini"
    Delete "$INSTDIR\typeSet-shared.ini"
    Delete "$INSTDIR\log.log"
    Delete "$INSTDIR\vistrel.ini"
SectionEnd

; Last, so that its going tells a deployment script the removal is complete.
Section "-un.finish"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
SectionEnd

Function un.onInit
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/REMOVEDATA=" $R1
    ${IfNot} ${Errors}
    ${AndIf} $R1 == "1"
        !insertmacro SelectSection ${SecUnData}
    ${EndIf}
FunctionEnd
