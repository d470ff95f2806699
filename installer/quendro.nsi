; Quendro's installer for Japanese Windows 2000, built by installer/release.py
; with Debian's makensis:
;
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.00 -DVERSION_QUAD=1.0.0.0 \
;            -DPAYLOAD=DIR -DFILES=files.nsh -DOUTFILE=FILE installer/quendro.nsi
;
; PAYLOAD holds the files installed: quendro.exe, DAVIRAZ.OVA, DAVIRAZ.CNT,
; the readme and LICENSE.txt. FILES, written by release.py from the list the
; Windows Installer package is built from too, installs and deletes them and
; the Start Menu entries.
;
; The scheduled-run page can be preset on the command line (options before
; /D=, which NSIS wants last):
;   /AT=HH:MM  /EVERY=M,T,W,Th,F,S,Su  /ARGS="C: D: /e /s"  /INTERACTIVE=0|1
; (/ARGS="/A /E": every fixed drive of the machine)
; /AT= turns the scheduled run on. The installer itself reads /S and /D= before
; anything else, even inside quotes, so a command line with them inside
; /ARGS="..." is refused (exit code 2): quendro.exe's own switches are read
; without case, so /ARGS="C: /s" gives the scheduled run its /S. With /S the
; page is not shown and the values are used as given; invalid ones end the
; installer with exit code 2 before anything is installed.

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh
!include WinVer.nsh

!define EVENT_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\Quendro"
!define UNINST_KEY "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Quendro"
; WinHelp looks a bare help file name up here, whatever the current folder.
!define HELP_KEY "SOFTWARE\Microsoft\Windows\Help"
!define README "はじめにお読みください.txt"
!define SM_FOLDER "$SMPROGRAMS\Quendro"
!include "${FILES}"
; The wording of quendro.exe's own refusal (src/app/Entry.cpp); the release
; tests compare the two boxes.
!define WRONG_SYSTEM "Windows 2000 以外には対応しておりません。"
; A task that could not be added leaves the installed files in place.
!define EXIT_SCHEDULE_FAILED 3
; The folder's access list could not be set: the files stay, no task is added.
!define EXIT_NOT_SECURED 4

Name "Quendro ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Quendro"
ShowInstDetails show
ShowUninstDetails show
BrandingText "Quendro Project"

Var SchedOn
Var SchedTime
Var SchedDays
Var SchedArgs
Var SchedInteractive
Var SchedError
Var Page
Var hOn
Var hTime
Var hArgs
Var hInteractive
Var hDay1
Var hDay2
Var hDay3
Var hDay4
Var hDay5
Var hDay6
Var hDay7

!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "Quendro ${VERSION} をコンピュータにインストールします。$\r$\n$\r$\nQuendro は、選んだ固定ドライブを Windows 2000 のディスク デフラグ ツールで順にデフラグします。日本語版 Windows 2000 専用です。$\r$\n$\r$\nインストールには管理者の権限が必要です。$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${PAYLOAD}\LICENSE.txt"
!define MUI_DIRECTORYPAGE_TEXT_TOP "Quendro をインストールするフォルダを選んでください。$\r$\n$\r$\n定期実行の quendro.exe は SYSTEM アカウントで実行されるため、このフォルダには Administrators と SYSTEM だけが書き込めるようにアクセス許可を設定します。"
!insertmacro MUI_PAGE_DIRECTORY
Page custom SchedulePage SchedulePageLeave
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\${README}"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Japanese"

VIProductVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductName" "Quendro"
VIAddVersionKey /LANG=${LANG_JAPANESE} "CompanyName" "Quendro Project"
VIAddVersionKey /LANG=${LANG_JAPANESE} "LegalCopyright" "Copyright (C) 2026 Quendro Project"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileDescription" "Quendro ${VERSION} セットアップ"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductVersion" "${VERSION}"

; --- the system check --------------------------------------------------------

; quendro.exe runs on Windows 2000 only (NT platform, version 5.0).
Function RefuseWrongSystem
  GetWinVer $0 Major
  GetWinVer $1 Minor
  ${IfNot} ${IsNT}
  ${OrIf} $0 != 5
  ${OrIf} $1 != 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "${WRONG_SYSTEM}"
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

; --- the scheduled run ------------------------------------------------------------

; Splits $R0 at the first $R1: the part before in $R2, the rest in $R0.
; Changes $R3 and $R4.
Function SplitFirst
  StrCpy $R3 0
  ${Do}
    StrCpy $R4 $R0 1 $R3
    ${If} $R4 == ""
      StrCpy $R2 $R0
      StrCpy $R0 ""
      Return
    ${EndIf}
    ${If} $R4 == $R1
      StrCpy $R2 $R0 $R3
      IntOp $R3 $R3 + 1
      StrCpy $R0 $R0 "" $R3
      Return
    ${EndIf}
    IntOp $R3 $R3 + 1
  ${Loop}
FunctionEnd

; Is the one character $R5 in the set $R4? $R6 = 1 or 0; letters match
; without regard to case.
Function CharIn
  Push $R7
  Push $R8
  Push $R9
  StrCpy $R6 0
  StrLen $R7 $R5
  ${If} $R7 == 1
    StrCpy $R8 0
    ${Do}
      StrCpy $R9 $R4 1 $R8
      ${If} $R9 == ""
        ${ExitDo}
      ${EndIf}
      ${If} $R9 == $R5
        StrCpy $R6 1
        ${ExitDo}
      ${EndIf}
      IntOp $R8 $R8 + 1
    ${Loop}
  ${EndIf}
  Pop $R9
  Pop $R8
  Pop $R7
FunctionEnd

; The day names of at, in its order; the page's check boxes follow it.
!macro DayToken N OUT
  ${Select} ${N}
    ${Case} 1
      StrCpy ${OUT} "M"
    ${Case} 2
      StrCpy ${OUT} "T"
    ${Case} 3
      StrCpy ${OUT} "W"
    ${Case} 4
      StrCpy ${OUT} "Th"
    ${Case} 5
      StrCpy ${OUT} "F"
    ${Case} 6
      StrCpy ${OUT} "S"
    ${Case} 7
      StrCpy ${OUT} "Su"
  ${EndSelect}
!macroend

; Is day ${N}'s name in the list $SchedDays? ${OUT} = 1 or 0 (case does not matter).
!macro DayListed N OUT
  Push $R0
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  Push $R5
  StrCpy ${OUT} 0
  !insertmacro DayToken ${N} $R5
  StrCpy $R0 $SchedDays
  StrCpy $R1 ","
  ${DoWhile} $R0 != ""
    Call SplitFirst
    ${If} $R2 == $R5
      StrCpy ${OUT} 1
    ${EndIf}
  ${Loop}
  Pop $R5
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
!macroend

; Checks and normalises $SchedTime, $SchedDays and $SchedArgs. $SchedError is
; the message, or empty when they are fine.
Function ValidateSchedule
  StrCpy $SchedError ""
  ; Time: H:MM or HH:MM, 00:00 to 23:59; written as HH:MM. Digits are
  ; compared as text: NSIS reads a leading 0 as octal.
  StrCpy $R0 $SchedTime
  StrCpy $R1 ":"
  Call SplitFirst
  StrCpy $R4 "0123456789"
  StrLen $R3 $R2
  ${If} $R3 == 2
    StrCpy $R5 $R2 1
    ${If} $R5 == "0"
      StrCpy $R2 $R2 "" 1
    ${EndIf}
  ${EndIf}
  StrCpy $R5 $R2 1
  Call CharIn
  StrCpy $R3 $R6
  StrCpy $R5 $R2 1 1
  ${If} $R5 != ""
    Call CharIn
    IntOp $R3 $R3 & $R6
  ${EndIf}
  StrLen $R5 $R2
  ${If} $R5 > 2
    StrCpy $R3 0
  ${EndIf}
  ${If} $R3 == 1
  ${AndIf} $R2 > 23
    StrCpy $R3 0
  ${EndIf}
  ${If} $R3 == 1
    StrLen $R5 $R0
    ${If} $R5 != 2
      StrCpy $R3 0
    ${EndIf}
    StrCpy $R5 $R0 1
    StrCpy $R4 "012345"
    Call CharIn
    IntOp $R3 $R3 & $R6
    StrCpy $R5 $R0 1 1
    StrCpy $R4 "0123456789"
    Call CharIn
    IntOp $R3 $R3 & $R6
  ${EndIf}
  ${If} $R3 != 1
    StrCpy $SchedError "時刻 $SchedTime は使えません。00:00 から 23:59 の形で指定してください。"
    Return
  ${EndIf}
  IntFmt $R2 "%02d" $R2
  StrCpy $SchedTime "$R2:$R0"

  ; Days: names of at, separated by commas; written in at's order.
  StrCpy $R0 $SchedDays
  StrCpy $R1 ","
  ${If} $R0 == ""
    StrCpy $SchedError "実行する曜日を選んでください。"
    Return
  ${EndIf}
  ${DoWhile} $R0 != ""
    Call SplitFirst
    ${If} $R2 != "M"
    ${AndIf} $R2 != "T"
    ${AndIf} $R2 != "W"
    ${AndIf} $R2 != "Th"
    ${AndIf} $R2 != "F"
    ${AndIf} $R2 != "S"
    ${AndIf} $R2 != "Su"
      StrCpy $SchedError "曜日 $R2 は使えません (M,T,W,Th,F,S,Su)。"
      Return
    ${EndIf}
  ${Loop}
  StrCpy $R9 ""
  ${For} $R8 1 7
    !insertmacro DayListed $R8 $R7
    ${If} $R7 == 1
      !insertmacro DayToken $R8 $R6
      ${If} $R9 != ""
        StrCpy $R9 "$R9,"
      ${EndIf}
      StrCpy $R9 "$R9$R6"
    ${EndIf}
  ${Next}
  StrCpy $SchedDays $R9

  ; Drives and switches as on quendro.exe's command line: X: /A /E /S, at
  ; least one drive or /A (every fixed drive); blanks between them are made
  ; single.
  StrCpy $R0 $SchedArgs
  StrCpy $R1 " "
  StrCpy $R9 ""
  StrCpy $R8 0
  ${DoWhile} $R0 != ""
    Call SplitFirst
    ${If} $R2 == ""
      ${Continue}
    ${EndIf}
    StrLen $R3 $R2
    StrCpy $R5 $R2 1
    StrCpy $R4 "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
    Call CharIn
    StrCpy $R5 $R2 1 1
    ${If} $R3 == 2
    ${AndIf} $R5 == ":"
    ${AndIf} $R6 == 1
      IntOp $R8 $R8 + 1
    ${ElseIf} $R2 == "/A"
      IntOp $R8 $R8 + 1
    ${ElseIf} $R2 == "/E"
    ${OrIf} $R2 == "/S"
    ${Else}
      StrCpy $SchedError "$R2 はドライブ (C: など) でも /A、/E、/S でもありません。"
      Return
    ${EndIf}
    ${If} $R9 != ""
      StrCpy $R9 "$R9 "
    ${EndIf}
    StrCpy $R9 "$R9$R2"
  ${Loop}
  ${If} $R8 == 0
    StrCpy $SchedError "デフラグするドライブを指定してください (例: C: D: /E、すべての固定ドライブなら /A /E)。"
    Return
  ${EndIf}
  StrCpy $SchedArgs $R9
FunctionEnd

!macro DayBox N X LABEL
  ${NSD_CreateCheckbox} ${X} 40u 28u 10u "${LABEL}"
  Pop $hDay${N}
  !insertmacro DayListed ${N} $0
  ${If} $0 == 1
    ${NSD_Check} $hDay${N}
  ${EndIf}
!macroend

Function SchedulePage
  !insertmacro MUI_HEADER_TEXT "定期実行" "Windows 2000 の at コマンドで、デフラグを定期的に実行するよう登録できます。"
  nsDialogs::Create 1018
  Pop $Page
  ${If} $Page == error
    Abort
  ${EndIf}
  ${NSD_CreateCheckbox} 0 0 100% 10u "at コマンドで定期実行を登録する(&A)"
  Pop $hOn
  ${If} $SchedOn == 1
    ${NSD_Check} $hOn
  ${EndIf}
  ${NSD_CreateLabel} 12u 16u 100% 10u "実行する曜日(&W) と時刻 (24 時間制):"
  Pop $0
  !insertmacro DayBox 1 12u "月"
  !insertmacro DayBox 2 42u "火"
  !insertmacro DayBox 3 72u "水"
  !insertmacro DayBox 4 102u "木"
  !insertmacro DayBox 5 132u "金"
  !insertmacro DayBox 6 162u "土"
  !insertmacro DayBox 7 192u "日"
  ${NSD_CreateLabel} 12u 28u 40u 10u "時刻(&T):"
  Pop $0
  ${NSD_CreateText} 54u 26u 40u 12u $SchedTime
  Pop $hTime
  ${NSD_CreateLabel} 12u 58u 110u 10u "ドライブとスイッチ(&D):"
  Pop $0
  ${NSD_CreateText} 124u 56u 120u 12u $SchedArgs
  Pop $hArgs
  ${NSD_CreateCheckbox} 12u 74u 100% 10u "ログオン中のデスクトップに表示する(&I) (/interactive)"
  Pop $hInteractive
  ${If} $SchedInteractive == 1
    ${NSD_Check} $hInteractive
  ${EndIf}
  ${NSD_CreateLabel} 0 90u 100% 50u "quendro.exe のコマンド ラインと同じです (例: C: D: /E /S)。/A はすべての固定ドライブ、/E はエラーでも続行、/S は終了後に電源を切ります。$\r$\nat のタスクは SYSTEM アカウントで実行され、「コントロール パネル」の「タスク」で確認や削除ができます。タスク スケジューラ サービスが動いている必要があります。"
  Pop $0
  nsDialogs::Show
FunctionEnd

Function SchedulePageLeave
  ${NSD_GetState} $hOn $SchedOn
  ${If} $SchedOn == ${BST_CHECKED}
    StrCpy $SchedOn 1
  ${Else}
    StrCpy $SchedOn 0
  ${EndIf}
  ${NSD_GetText} $hTime $SchedTime
  ${NSD_GetText} $hArgs $SchedArgs
  ${NSD_GetState} $hInteractive $SchedInteractive
  ${If} $SchedInteractive == ${BST_CHECKED}
    StrCpy $SchedInteractive 1
  ${Else}
    StrCpy $SchedInteractive 0
  ${EndIf}
  StrCpy $SchedDays ""
  ${For} $R8 1 7
    ${Select} $R8
      ${Case} 1
        ${NSD_GetState} $hDay1 $R7
      ${Case} 2
        ${NSD_GetState} $hDay2 $R7
      ${Case} 3
        ${NSD_GetState} $hDay3 $R7
      ${Case} 4
        ${NSD_GetState} $hDay4 $R7
      ${Case} 5
        ${NSD_GetState} $hDay5 $R7
      ${Case} 6
        ${NSD_GetState} $hDay6 $R7
      ${Case} 7
        ${NSD_GetState} $hDay7 $R7
    ${EndSelect}
    ${If} $R7 == ${BST_CHECKED}
      !insertmacro DayToken $R8 $R6
      ${If} $SchedDays != ""
        StrCpy $SchedDays "$SchedDays,"
      ${EndIf}
      StrCpy $SchedDays "$SchedDays$R6"
    ${EndIf}
  ${Next}
  ${If} $SchedOn == 1
    Call ValidateSchedule
    ${If} $SchedError != ""
      MessageBox MB_OK|MB_ICONEXCLAMATION $SchedError
      Abort
    ${EndIf}
  ${EndIf}
FunctionEnd

; Adds the task with Windows 2000's at; its command line and output go to the
; details list.
Function AddScheduledRun
  StrCpy $0 '"$SYSDIR\at.exe" $SchedTime'
  ${If} $SchedInteractive == 1
    StrCpy $0 '$0 /interactive'
  ${EndIf}
  ; The task's command is one argument of at, its program path quoted
  ; inside as \" (the default folder has a blank in it).
  StrCpy $0 '$0 /every:$SchedDays "\"$INSTDIR\quendro.exe\" $SchedArgs"'
  DetailPrint "定期実行を登録します: $0"
  nsExec::ExecToLog $0
  Pop $1
  DetailPrint "at の終了コード: $1"
  ${If} $1 != 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "定期実行を登録できませんでした (at の終了コード $1)。$\r$\nタスク スケジューラ サービスが動いているか確かめて、あとで「コントロール パネル」の「タスク」から登録してください。" /SD IDOK
    SetErrorLevel ${EXIT_SCHEDULE_FAILED}
  ${EndIf}
FunctionEnd

; --- install -----------------------------------------------------------------

; Refuses a command line whose /ARGS="..." holds /S or /D=: the installer's
; own scan has already taken them (silent, or the folder, and the command
; line cut at /D=, which leaves a quote open).
Function RefuseOwnSwitchesInArgs
  ; $R5 = 1 to refuse: an odd number of quotes first.
  ${GetParameters} $R0
  StrCpy $R1 0
  StrCpy $R5 0
  ${Do}
    StrCpy $R3 $R0 1 $R1
    ${If} $R3 == ""
      ${ExitDo}
    ${EndIf}
    ${If} $R3 == '"'
      IntOp $R5 $R5 ^ 1
    ${EndIf}
    IntOp $R1 $R1 + 1
  ${Loop}
  ClearErrors
  ${GetOptions} $R0 "/ARGS=" $R0
  ${If} ${Errors}
    StrCpy $R0 ""
  ${EndIf}
  StrCpy $R1 " "
  ${DoWhile} $R0 != ""
    Call SplitFirst
    StrCpy $R3 $R2 3
    ${If} $R2 S== "/S"
    ${OrIf} $R3 S== "/D="
      StrCpy $R5 1
    ${EndIf}
  ${Loop}
  ${If} $R5 != 0
    MessageBox MB_OK|MB_ICONEXCLAMATION '/ARGS="..." の中に /S や /D= は書けません (インストーラ自身のオプションになります)。電源を切るスイッチは /ARGS="C: /s" のように小文字で指定してください。' /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

Function .onInit
  SetShellVarContext all
  Call RefuseOwnSwitchesInArgs
  ${IfNot} ${Silent}
    Call RefuseWrongSystem
  ${EndIf}
  StrCpy $SchedOn 0
  StrCpy $SchedTime "03:00"
  StrCpy $SchedDays "Su"
  StrCpy $SchedArgs "C: /E"
  StrCpy $SchedInteractive 1
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/AT=" $R1
  ${IfNot} ${Errors}
    StrCpy $SchedOn 1
    StrCpy $SchedTime $R1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/EVERY=" $R1
  ${IfNot} ${Errors}
    StrCpy $SchedDays $R1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/ARGS=" $R1
  ${IfNot} ${Errors}
    StrCpy $SchedArgs $R1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/INTERACTIVE=" $R1
  ${IfNot} ${Errors}
    StrCpy $SchedInteractive $R1
  ${EndIf}
  ${If} $SchedInteractive != 0
    StrCpy $SchedInteractive 1
  ${EndIf}
  ${If} ${Silent}
  ${AndIf} $SchedOn == 1
    Call ValidateSchedule
    ${If} $SchedError != ""
      MessageBox MB_OK|MB_ICONEXCLAMATION $SchedError /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Quendro"
  SetOutPath "$INSTDIR"
  !insertmacro InstallPayload
  WriteUninstaller "$INSTDIR\uninst.exe"

  WriteRegStr HKLM "${HELP_KEY}" "DAVIRAZ.OVA" "$INSTDIR"
  ; The source of quendro.exe's events in the Application log.
  WriteRegExpandStr HKLM "${EVENT_KEY}" "EventMessageFile" "$INSTDIR\quendro.exe"
  WriteRegDWORD HKLM "${EVENT_KEY}" "TypesSupported" 7

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "Quendro ${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "Quendro Project"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\quendro.exe,0"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninst.exe"'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1

  ; The help viewer and Notepad live in the Windows folder on Windows 2000.
  !insertmacro CreateShortcuts

  ; quendro.exe runs as SYSTEM from here: only administrators and SYSTEM
  ; may change what is in it (a new folder under a drive root would let
  ; everyone). A failure installs no task.
  InitPluginsDir
  File /oname=$PLUGINSDIR\setuphelp.dll "${HELPER}"
  System::Call '$PLUGINSDIR\setuphelp.dll::SecureFolder(m "$INSTDIR") i .r0 ? u'
  DetailPrint "アクセス許可を設定します: $INSTDIR: $0"
  ${If} $0 != 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "$INSTDIR のアクセス許可を設定できませんでした (エラー $0)。定期実行は登録しません。NTFS のドライブにインストールしてください。" /SD IDOK
    SetErrorLevel ${EXIT_NOT_SECURED}
  ${ElseIf} $SchedOn == 1
    Call AddScheduledRun
  ${EndIf}
SectionEnd

; --- uninstall -------------------------------------------------------------------

Function un.onInit
  SetShellVarContext all
FunctionEnd

Section "Uninstall"
  ; A window that stays after the work only hides the question's answer.
  SetAutoClose true
  ; This installation's tasks first (the package's code: the task's program
  ; is this quendro.exe), while the exe still names the folder.
  InitPluginsDir
  File /oname=$PLUGINSDIR\setuphelp.dll "${HELPER}"
  StrCpy $2 '"$SYSDIR\at.exe"'
  StrCpy $3 "$INSTDIR\quendro.exe"
  System::Call '$PLUGINSDIR\setuphelp.dll::RemoveJobs(m r2, m r3, m .r1, i ${NSIS_MAX_STRLEN}) i .r0 ? u'
  DetailPrint "$1"
  DetailPrint "削除した定期実行: $0"
  ClearErrors
  !insertmacro DeletePayload
  Delete "$INSTDIR\uninst.exe"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONEXCLAMATION "$INSTDIR のファイルの一部を削除できませんでした。Quendro が実行中でないか確かめて、残ったファイルを手で削除してください。" /SD IDOK
    SetErrorLevel 2
  ${EndIf}
  ; The log is the user's history: it goes only when the user says so.
  ${If} ${FileExists} "$INSTDIR\log.txt"
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "ログ ファイル $INSTDIR\log.txt も削除しますか?$\r$\n「いいえ」を選ぶと、ログ ファイルとフォルダは残ります。" /SD IDNO IDNO keep_log
    Delete "$INSTDIR\log.txt"
  keep_log:
  ${EndIf}
  RMDir "$INSTDIR"

  !insertmacro DeleteShortcuts

  ; Another installation's registration is left alone.
  ReadRegStr $0 HKLM "${HELP_KEY}" "DAVIRAZ.OVA"
  ${If} $0 == $INSTDIR
    DeleteRegValue HKLM "${HELP_KEY}" "DAVIRAZ.OVA"
  ${EndIf}
  ReadRegStr $0 HKLM "${EVENT_KEY}" "EventMessageFile"
  ${If} $0 == "$INSTDIR\quendro.exe"
    DeleteRegKey HKLM "${EVENT_KEY}"
  ${EndIf}
  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
