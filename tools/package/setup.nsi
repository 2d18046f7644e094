; The setup program of marlet and tovrin (NSIS 3, Unicode, 32-bit: it runs
; on Windows XP SP3 and later). tools/installer.sh builds it:
;
;   makensis -INPUTCHARSET UTF8 -DSTAGE=DIR -DREPO=DIR -DOUTFILE=FILE setup.nsi
;
; STAGE holds what the top of the release zip holds: the two programs, the
; read-me files in Windows form and the sample settings and template files.
; What the setup program does:
;   - programs and read-me files into a folder under Program Files for all
;     users, or under the user's own %LOCALAPPDATA%\Programs for the current
;     user only (the directory page and /D= change it);
;   - C:\vorn3 with the sample tovrin.ini and marlet.txt, each only where no
;     such file exists: the user's own files are never written;
;   - a Start-menu folder with shortcuts (tovrin with the key Ctrl+Alt+Q),
;     in the Start menu of all users or of the current user;
;   - an entry in the uninstall list (HKLM for all users, HKCU for one).
; Who it installs for: run without administrator rights, it installs for
; the current user and asks for no elevation (the manifest asks for the
; highest rights the user has); run as an administrator, a page offers both,
; all users first. /AllUsers and /CurrentUser choose on the command line.
; Where an earlier install is found (its entry under HKLM, else HKCU), that
; one is the default, so that an upgrade replaces it in place.
; /S installs silently with the defaults. An install over an existing one
; replaces the programs in place and keeps the shortcuts as they are (a
; shortcut key the user changed stays). The uninstaller removes what the
; setup program put in the program folder, the shortcuts and the entry, and
; never touches C:\vorn3.

Unicode true
SetCompressor /SOLID lzma
ManifestSupportedOS all

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define VERSION "2.01"
!define NAME "marlet / tovrin"
!define FOLDER "marlet tovrin"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\marlet-tovrin"
!define SETTINGS_DIR "C:\vorn3"
!define TOVRIN_HOTKEY "ALT|CONTROL|Q"

; Shortcut names in the Start-menu folder, in both languages: an upgrade
; keeps whichever set is there, the uninstaller removes both.
!define LNK_README_JA "お読みください"
!define LNK_README_EN "Read me"
!define LNK_TEMPLATES_JA "テンプレートの編集 (marlet.txt)"
!define LNK_TEMPLATES_EN "Edit templates (marlet.txt)"
!define LNK_UNINSTALL_JA "アンインストール"
!define LNK_UNINSTALL_EN "Uninstall"

; Signing, when tools/installer.sh is given a certificate: SIGN is the
; command that signs a file in place. makensis signs the uninstaller as it
; puts it into the setup program (!uninstfinalize, NSIS 3.08 and later);
; with an older makensis, installer.sh builds the setup program once with
; WRITE_UNINSTALLER (it only writes the uninstaller there), signs that file
; and builds again with SIGNED_UNINSTALLER, which is then installed as is.
!ifdef SIGN & USE_UNINSTFINALIZE
  !uninstfinalize '${SIGN} "%1"' = 0
!endif
!ifdef SIGNED_UNINSTALLER
  !pragma warning disable 6020  ; the uninstaller's code is in that file
!endif

; All users or the current user (NSIS's MultiUser header): the program
; folder, SetShellVarContext (Start menu) and SHCTX (the uninstall entry's
; root key) follow the choice.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_INSTDIR "${FOLDER}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
!include MultiUser.nsh

Name "${NAME} ${VERSION}"
OutFile "${OUTFILE}"
BrandingText " "
ShowInstDetails show
ShowUninstDetails show

VIProductVersion 2.1.0.0
VIFileVersion 2.1.0.0

Var FinishText   ; the finish page's text: the usual one, and why no sample file was placed

; Pages -----------------------------------------------------------------------
!define MUI_ICON "${REPO}/common/res/vorn3.ico"
!define MUI_UNICON "${REPO}/common/res/vorn3.ico"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_WELCOME
!define MULTIUSER_PAGE_CUSTOMFUNCTION_LEAVE ModePageLeave
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT_LARGE
!define MUI_FINISHPAGE_TEXT "$FinishText"
!define MUI_FINISHPAGE_RUN "$INSTDIR\marlet.exe"
!define MUI_FINISHPAGE_RUN_TEXT "$(StartMarlet)"
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "$(KeepsSettings)"
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; English first: it is the language of every system that is not Japanese.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

LangString StartMarlet ${LANG_ENGLISH} "Start marlet"
LangString StartMarlet ${LANG_JAPANESE} "marlet を起動する"
LangString InUse ${LANG_ENGLISH} "marlet or tovrin is running and cannot be replaced.$\r$\n$\r$\nClose it, then press Retry."
LangString InUse ${LANG_JAPANESE} "marlet または tovrin が実行中のため、置き換えられません。$\r$\n$\r$\n終了してから [再試行] を押してください。"
LangString InUseDetail ${LANG_ENGLISH} "In use: "
LangString InUseDetail ${LANG_JAPANESE} "使用中: "
LangString UnInUse ${LANG_ENGLISH} "marlet or tovrin is running and cannot be removed.$\r$\n$\r$\nClose it, then press Retry."
LangString UnInUse ${LANG_JAPANESE} "marlet または tovrin が実行中のため、削除できません。$\r$\n$\r$\n終了してから [再試行] を押してください。"
LangString SettingsIsFile ${LANG_ENGLISH} "${SETTINGS_DIR} exists as a file, not as a folder, so the sample tovrin.ini and marlet.txt were not placed there. marlet and tovrin look for them in the folder ${SETTINGS_DIR}."
LangString SettingsIsFile ${LANG_JAPANESE} "${SETTINGS_DIR} がフォルダではなくファイルとして存在するため、見本の tovrin.ini と marlet.txt を置きませんでした。marlet と tovrin はフォルダ ${SETTINGS_DIR} の中のファイルを読みます。"
LangString SettingsNotMade ${LANG_ENGLISH} "The folder ${SETTINGS_DIR} could not be created, so the sample tovrin.ini and marlet.txt were not placed there."
LangString SettingsNotMade ${LANG_JAPANESE} "フォルダ ${SETTINGS_DIR} を作成できなかったため、見本の tovrin.ini と marlet.txt を置きませんでした。"
LangString Kept ${LANG_ENGLISH} "Kept as it is: "
LangString Kept ${LANG_JAPANESE} "既存のファイルをそのまま使います: "
LangString UnNeedsAdmin ${LANG_ENGLISH} "marlet and tovrin are installed for all users: removing them needs administrator rights."
LangString UnNeedsAdmin ${LANG_JAPANESE} "marlet と tovrin はすべてのユーザー用に導入されているため、削除には管理者の権限が必要です。"
LangString KeepsSettings ${LANG_ENGLISH} "marlet and tovrin will be removed from your computer. The folder ${SETTINGS_DIR} and everything in it (your tovrin.ini and marlet.txt) are kept."
LangString KeepsSettings ${LANG_JAPANESE} "marlet と tovrin をこのコンピュータから削除します。フォルダ ${SETTINGS_DIR} とその中のファイル (tovrin.ini、marlet.txt など) は削除せずに残します。"
LangString LnkReadme ${LANG_ENGLISH} "${LNK_README_EN}"
LangString LnkReadme ${LANG_JAPANESE} "${LNK_README_JA}"
LangString LnkTemplates ${LANG_ENGLISH} "${LNK_TEMPLATES_EN}"
LangString LnkTemplates ${LANG_JAPANESE} "${LNK_TEMPLATES_JA}"
LangString LnkUninstall ${LANG_ENGLISH} "${LNK_UNINSTALL_EN}"
LangString LnkUninstall ${LANG_JAPANESE} "${LNK_UNINSTALL_JA}"
LangString ReadmeFile ${LANG_ENGLISH} "README-en.txt"
LangString ReadmeFile ${LANG_JAPANESE} "README-ja.txt"
LangString TovrinDescription ${LANG_ENGLISH} "Sends the SQL text on the clipboard to SQL*Plus"
LangString TovrinDescription ${LANG_JAPANESE} "クリップボードの SQL を SQL*Plus に送ります"
LangString MarletDescription ${LANG_ENGLISH} "SQL templates for SQL*Plus"
LangString MarletDescription ${LANG_JAPANESE} "SQL*Plus へ送る SQL テンプレート"

!macro VersionRecord LANG
  VIAddVersionKey /LANG=${LANG} "ProductName" "${NAME}"
  VIAddVersionKey /LANG=${LANG} "FileDescription" "${NAME} ${VERSION} setup"
  VIAddVersionKey /LANG=${LANG} "FileVersion" "${VERSION}"
  VIAddVersionKey /LANG=${LANG} "ProductVersion" "${VERSION}"
  VIAddVersionKey /LANG=${LANG} "OriginalFilename" "marlet-tovrin-${VERSION}-setup.exe"
  VIAddVersionKey /LANG=${LANG} "LegalCopyright" " "
!macroend
!insertmacro VersionRecord ${LANG_JAPANESE}
!insertmacro VersionRecord ${LANG_ENGLISH}

; All users or the current user -------------------------------------------------
Var CmdLineDir   ; the folder given with /D=, which no default replaces

!define ERROR_ELEVATION_REQUIRED 740

Function .onInit
  !ifdef WRITE_UNINSTALLER
    WriteUninstaller "${WRITE_UNINSTALLER}"
    SetErrorLevel 0
    Quit
  !endif
  StrCpy $CmdLineDir $INSTDIR
  ; /AllUsers without administrator rights: the header would ask with a
  ; message box, which a silent install must not show.
  UserInfo::GetAccountType
  Pop $0
  ${GetParameters} $1
  ${GetOptions} $1 "/AllUsers" $2
  ${IfNot} ${Errors}
  ${AndIf} ${Silent}
  ${AndIf} $0 != "Admin"
  ${AndIf} $0 != "Power"
    SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
    Quit
  ${EndIf}
  !insertmacro MULTIUSER_INIT
  ${If} $CmdLineDir != ""
    StrCpy $INSTDIR $CmdLineDir
  ${EndIf}
FunctionEnd

Function ModePageLeave
  ${If} $CmdLineDir != ""
    StrCpy $INSTDIR $CmdLineDir
  ${EndIf}
FunctionEnd

; The uninstaller removes the install it belongs to: the entry whose
; InstallLocation is its own folder tells whether that is the one for all
; users or the current user's. One for all users needs administrator rights:
; without them, the uninstaller starts itself again asking for them.
Function un.onInit
  StrCpy $R9 $INSTDIR
  !insertmacro MULTIUSER_UNINIT
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $1 == $R9
    ${If} $MultiUser.Privileges != "Admin"
    ${AndIf} $MultiUser.Privileges != "Power"
      ; Once only: started again without the rights (another user chosen
      ; in XP's Run As), it says why and ends.
      ${un.GetParameters} $2
      ${un.GetOptions} $2 "/Elevated" $3
      ${IfNot} ${Errors}
        MessageBox MB_OK|MB_ICONSTOP "$(UnNeedsAdmin)" /SD IDOK
        SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
        Quit
      ${EndIf}
      ${If} ${Silent}
        ExecShell "runas" "$R9\uninstall.exe" "/Elevated /S"
      ${Else}
        ExecShell "runas" "$R9\uninstall.exe" "/Elevated"
      ${EndIf}
      Quit
    ${EndIf}
    Call un.MultiUser.InstallMode.AllUsers
  ${ElseIf} $0 == $R9
    Call un.MultiUser.InstallMode.CurrentUser
  ${EndIf}
  StrCpy $INSTDIR $R9
FunctionEnd

; Programs in use -------------------------------------------------------------
; A running program file cannot be written or deleted. Both are checked
; before anything is changed, so that a refusal leaves the installed files
; as they were: the user may close the program and retry; /S answers Cancel
; and the setup program ends with exit code 2.
!macro CheckNotRunning UN
Function ${UN}CheckNotRunning
  Push $0
  Push $1
  again:
  StrCpy $1 ""
  ${If} ${FileExists} "$INSTDIR\marlet.exe"
    ClearErrors
    FileOpen $0 "$INSTDIR\marlet.exe" a
    ${If} ${Errors}
      StrCpy $1 "marlet.exe"
    ${Else}
      FileClose $0
    ${EndIf}
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\tovrin.exe"
    ClearErrors
    FileOpen $0 "$INSTDIR\tovrin.exe" a
    ${If} ${Errors}
      StrCpy $1 "tovrin.exe"
    ${Else}
      FileClose $0
    ${EndIf}
  ${EndIf}
  ${If} $1 != ""
    DetailPrint "$(InUseDetail)$INSTDIR\$1"
    !if "${UN}" == ""
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(InUse)" /SD IDCANCEL IDRETRY again
    !else
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(UnInUse)" /SD IDCANCEL IDRETRY again
    !endif
    SetErrorLevel 2
    Abort
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro CheckNotRunning ""
!insertmacro CheckNotRunning "un."

; Install ---------------------------------------------------------------------
; Creates a shortcut in the Start-menu folder unless one of that name (in
; either language) is there already and the programs stay where they were.
!macro Shortcut KEEP NAME_JA NAME_EN NAME TARGET ARGS HOTKEY DESCRIPTION
  StrCpy $R0 0
  ${If} ${KEEP} == 1
    ${If} ${FileExists} "$SMPROGRAMS\${FOLDER}\${NAME_JA}.lnk"
    ${OrIf} ${FileExists} "$SMPROGRAMS\${FOLDER}\${NAME_EN}.lnk"
      StrCpy $R0 1
    ${EndIf}
  ${EndIf}
  ${If} $R0 == 1
    DetailPrint "$(Kept)$SMPROGRAMS\${FOLDER}\${NAME}.lnk"
  ${Else}
    CreateShortCut "$SMPROGRAMS\${FOLDER}\${NAME}.lnk" "${TARGET}" "${ARGS}" "" 0 SW_SHOWNORMAL "${HOTKEY}" "${DESCRIPTION}"
  ${EndIf}
!macroend

Section "marlet / tovrin"
  Call CheckNotRunning

  ; Where an earlier install put the programs: its shortcuts point there.
  ReadRegStr $2 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  StrCpy $3 0
  ${If} $2 != ""
  ${AndIf} $2 == $INSTDIR
    StrCpy $3 1
  ${EndIf}

  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "${STAGE}/marlet.exe"
  File "${STAGE}/tovrin.exe"
  File "${STAGE}/README-ja.txt"
  File "${STAGE}/README-en.txt"
  !ifdef SIGNED_UNINSTALLER
    File "/oname=uninstall.exe" "${SIGNED_UNINSTALLER}"
  !else
    WriteUninstaller "$INSTDIR\uninstall.exe"
  !endif

  ; The settings folder and its samples, never over anything already there
  ; (SetOverwrite off creates a file only where none exists).
  StrCpy $FinishText "$(MUI_TEXT_FINISH_INFO_TEXT)"
  ${IfNot} ${FileExists} "${SETTINGS_DIR}\*.*"
  ${AndIfNot} ${FileExists} "${SETTINGS_DIR}"
    CreateDirectory "${SETTINGS_DIR}"
  ${EndIf}
  ${If} ${FileExists} "${SETTINGS_DIR}\*.*"
    SetOutPath "${SETTINGS_DIR}"
    SetOverwrite off
    ${If} ${FileExists} "${SETTINGS_DIR}\tovrin.ini"
      DetailPrint "$(Kept)${SETTINGS_DIR}\tovrin.ini"
    ${Else}
      File "${STAGE}/tovrin.ini"
    ${EndIf}
    ${If} ${FileExists} "${SETTINGS_DIR}\marlet.txt"
      DetailPrint "$(Kept)${SETTINGS_DIR}\marlet.txt"
    ${Else}
      File "${STAGE}/marlet.txt"
    ${EndIf}
    SetOverwrite on
  ${ElseIf} ${FileExists} "${SETTINGS_DIR}"
    DetailPrint "$(SettingsIsFile)"
    StrCpy $FinishText "$FinishText$\r$\n$\r$\n$(SettingsIsFile)"
  ${Else}
    DetailPrint "$(SettingsNotMade)"
    StrCpy $FinishText "$FinishText$\r$\n$\r$\n$(SettingsNotMade)"
  ${EndIf}

  ; Shortcuts; the programs start in their own folder.
  SetOutPath "$INSTDIR"
  CreateDirectory "$SMPROGRAMS\${FOLDER}"
  !insertmacro Shortcut $3 "marlet" "marlet" "marlet" "$INSTDIR\marlet.exe" "" "" "$(MarletDescription)"
  !insertmacro Shortcut $3 "tovrin" "tovrin" "tovrin" "$INSTDIR\tovrin.exe" "" "${TOVRIN_HOTKEY}" "$(TovrinDescription)"
  !insertmacro Shortcut $3 "${LNK_README_JA}" "${LNK_README_EN}" "$(LnkReadme)" "$INSTDIR\$(ReadmeFile)" "" "" ""
  !insertmacro Shortcut $3 "${LNK_TEMPLATES_JA}" "${LNK_TEMPLATES_EN}" "$(LnkTemplates)" "$WINDIR\notepad.exe" "${SETTINGS_DIR}\marlet.txt" "" ""
  !insertmacro Shortcut $3 "${LNK_UNINSTALL_JA}" "${LNK_UNINSTALL_EN}" "$(LnkUninstall)" "$INSTDIR\uninstall.exe" "" "" ""

  ; The uninstall entry (no publisher).
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "VersionMajor" 2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "VersionMinor" 1
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\marlet.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ; The size of what the setup program put there, in KB (a folder the user
  ; chose may hold other files).
  SectionGetSize 0 $0
  ${GetSize} "$INSTDIR" "/M=uninstall.exe /S=0K /G=0" $1 $2 $4
  IntOp $0 $0 + $1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Uninstall -------------------------------------------------------------------
; Only the files the setup program put there are deleted, and folders only
; when empty: a program folder chosen by the user may hold other files.
Section "Uninstall"
  Call un.CheckNotRunning
  Delete "$INSTDIR\marlet.exe"
  Delete "$INSTDIR\tovrin.exe"
  Delete "$INSTDIR\README-ja.txt"
  Delete "$INSTDIR\README-en.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${FOLDER}\marlet.lnk"
  Delete "$SMPROGRAMS\${FOLDER}\tovrin.lnk"
  Delete "$SMPROGRAMS\${FOLDER}\${LNK_README_JA}.lnk"
  Delete "$SMPROGRAMS\${FOLDER}\${LNK_README_EN}.lnk"
  Delete "$SMPROGRAMS\${FOLDER}\${LNK_TEMPLATES_JA}.lnk"
  Delete "$SMPROGRAMS\${FOLDER}\${LNK_TEMPLATES_EN}.lnk"
  Delete "$SMPROGRAMS\${FOLDER}\${LNK_UNINSTALL_JA}.lnk"
  Delete "$SMPROGRAMS\${FOLDER}\${LNK_UNINSTALL_EN}.lnk"
  RMDir "$SMPROGRAMS\${FOLDER}"

  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
