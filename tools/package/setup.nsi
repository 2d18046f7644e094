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
;     such file exists: the user's own files are never written (the finish
;     page names the ones it kept);
;   - for all users, on request (a page for administrators, /ProtectVorn3):
;     C:\vorn3 that only administrators may change, for computers that
;     several people use; off, the folder keeps what C:\ gives it;
;   - a Start-menu folder with shortcuts (tovrin with the key Ctrl+Alt+Q,
;     Notepad on each of the two files), in the Start menu of all users or
;     of the current user;
;   - an entry in the uninstall list (HKLM for all users, HKCU for one).
; Who it installs for: run without administrator rights, it installs for
; the current user and asks for no elevation (the manifest asks for the
; highest rights the user has); run as an administrator, a page offers both,
; all users first. /AllUsers and /CurrentUser choose on the command line.
; Where an earlier install is found (its entry under HKLM, else HKCU), that
; one is the default, so that an upgrade replaces it in place.
; /S installs silently with the defaults. An install over an existing one
; replaces the programs in place and keeps the shortcuts as they are (a
; shortcut key the user changed stays). The finish page starts marlet with
; the user's own rights, never with the administrator rights the setup
; program may have. The uninstaller removes what the setup program put in
; the program folder, the shortcuts and the entry, and never touches
; C:\vorn3.

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
!define PUBLISHER "marlet / tovrin"  ; the MSI package's Manufacturer

; C:\vorn3 for a shared computer: owner Administrators; Administrators and
; SYSTEM full control, Users read and execute (0x1200a9: FILE_GENERIC_READ |
; FILE_GENERIC_EXECUTE), each for the folder and what it holds; protected,
; so that nothing comes from C:\ (whose entries let every user change what
; is in a folder made at its root). Each entry in the folder gets the owner
; too and loses any entry of its own, so that it takes the folder's.
!define VORN3_SDDL "O:BAD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)"
!define VORN3_ENTRY_SDDL "O:BAD:AI"

; Shortcut names in the Start-menu folder, in both languages: an upgrade
; keeps whichever set is there, the uninstaller removes both.
!define LNK_README_JA "お読みください"
!define LNK_README_EN "Read me"
!define LNK_TEMPLATES_JA "テンプレートの編集 (marlet.txt)"
!define LNK_TEMPLATES_EN "Edit templates (marlet.txt)"
!define LNK_SETTINGS_JA "設定の編集 (tovrin.ini)"
!define LNK_SETTINGS_EN "Edit settings (tovrin.ini)"
!define LNK_UNINSTALL_JA "アンインストール"
!define LNK_UNINSTALL_EN "Uninstall"

; Signing, when tools/installer.sh is given a certificate: SIGN is the
; command that signs a file in place. makensis signs the uninstaller as it
; puts it into the setup program (!uninstfinalize; installer.sh accepts no
; makensis older than 3.08).
!ifdef SIGN
  !uninstfinalize '${SIGN} "%1"' = 0
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

Var FinishText   ; the finish page's text: the usual one, the files kept, and what went wrong
Var KeptFiles    ; the user's files in C:\vorn3 that were kept, one per line
Var ProtectVorn3 ; 1: only administrators may change C:\vorn3 (/ProtectVorn3, or the page)
Var ProtectBox   ; the page's check box
Var ProtectError ; the Windows error code when C:\vorn3 could not be protected

; Pages -----------------------------------------------------------------------
!define MUI_ICON "${REPO}/common/res/vorn3.ico"
!define MUI_UNICON "${REPO}/common/res/vorn3.ico"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_WELCOME
!define MULTIUSER_PAGE_CUSTOMFUNCTION_LEAVE ModePageLeave
!insertmacro MULTIUSER_PAGE_INSTALLMODE
Page custom ProtectPageShow ProtectPageLeave " "  ; the caption as the other pages have it
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT_LARGE
!define MUI_FINISHPAGE_TEXT "$FinishText"
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION StartMarlet
!define MUI_FINISHPAGE_RUN_TEXT "$(StartMarlet)"
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishPageShow
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
LangString SettingsIsFile ${LANG_JAPANESE} "${SETTINGS_DIR} がフォルダーではなくファイルとして存在するため、見本の tovrin.ini と marlet.txt を置きませんでした。marlet と tovrin はフォルダー ${SETTINGS_DIR} の中のファイルを読みます。"
LangString SettingsNotMade ${LANG_ENGLISH} "The folder ${SETTINGS_DIR} could not be created, so the sample tovrin.ini and marlet.txt were not placed there."
LangString SettingsNotMade ${LANG_JAPANESE} "フォルダー ${SETTINGS_DIR} を作成できなかったため、見本の tovrin.ini と marlet.txt を置きませんでした。"
LangString Kept ${LANG_ENGLISH} "Kept as it is: "
LangString Kept ${LANG_JAPANESE} "既存のファイルをそのまま使います: "
LangString KeptFiles ${LANG_ENGLISH} "These files were in ${SETTINGS_DIR} already and are kept as they are (the samples were not copied over them):"
LangString KeptFiles ${LANG_JAPANESE} "${SETTINGS_DIR} にすでにあった次のファイルは、そのまま残しました (見本で上書きしていません):"
LangString UnNeedsAdmin ${LANG_ENGLISH} "marlet and tovrin are installed for all users: removing them needs administrator rights."
LangString UnNeedsAdmin ${LANG_JAPANESE} "marlet と tovrin はすべてのユーザー用にインストールされているため、削除には管理者の権限が必要です。"
LangString KeepsSettings ${LANG_ENGLISH} "marlet and tovrin will be removed from your computer. The folder ${SETTINGS_DIR} and everything in it (your tovrin.ini and marlet.txt) are kept."
LangString KeepsSettings ${LANG_JAPANESE} "marlet と tovrin をこのコンピューターから削除します。フォルダー ${SETTINGS_DIR} とその中のファイル (tovrin.ini、marlet.txt など) は削除せずに残します。"
LangString ProtectTitle ${LANG_ENGLISH} "Shared computer"
LangString ProtectTitle ${LANG_JAPANESE} "共有コンピューター"
LangString ProtectSubtitle ${LANG_ENGLISH} "Who may change the templates and the settings in ${SETTINGS_DIR}."
LangString ProtectSubtitle ${LANG_JAPANESE} "${SETTINGS_DIR} のテンプレートと設定を変更できる人を選びます。"
LangString ProtectText ${LANG_ENGLISH} "On a computer that several people use (a server reached by Remote Desktop, say), every user may change the files in ${SETTINGS_DIR}: the templates that marlet pastes into each user's SQL*Plus, and the setting that decides how tovrin sends.$\r$\n$\r$\nWith this option only administrators may change them; everyone may still read them. On a computer of one user, leave it off: you could no longer edit your own templates without administrator rights."
LangString ProtectText ${LANG_JAPANESE} "複数の人が使うコンピューター (リモート デスクトップで接続するサーバーなど) では、どのユーザーも ${SETTINGS_DIR} のファイルを変更できます。marlet が各ユーザーの SQL*Plus に貼り付けるテンプレートも、tovrin の送り方を決める設定も同じです。$\r$\n$\r$\nこのオプションを選ぶと、変更できるのは管理者だけになります (読み取りはだれでもできます)。一人で使うコンピューターでは選ばないでください。管理者の権限がないと、自分のテンプレートを編集できなくなります。"
LangString ProtectCheck ${LANG_ENGLISH} "Only administrators may change ${SETTINGS_DIR} (for shared computers)"
LangString ProtectCheck ${LANG_JAPANESE} "${SETTINGS_DIR} を変更できるのを管理者だけにする (共有コンピューター向け)"
LangString Protected ${LANG_ENGLISH} "Permissions set: ${SETTINGS_DIR} (Administrators and SYSTEM full control, Users read and execute)"
LangString Protected ${LANG_JAPANESE} "アクセス許可を設定しました: ${SETTINGS_DIR} (Administrators と SYSTEM はフル コントロール、Users は読み取りと実行)"
LangString NotProtected ${LANG_ENGLISH} "The permissions of ${SETTINGS_DIR} could not be set (Windows error $ProtectError): every user may still change the files in it."
LangString NotProtected ${LANG_JAPANESE} "${SETTINGS_DIR} のアクセス許可を設定できませんでした (Windows のエラー $ProtectError)。どのユーザーも、まだ中のファイルを変更できます。"
LangString ProtectNeedsAllUsers ${LANG_ENGLISH} "/ProtectVorn3 is an option of the install for all users: it needs administrator rights, and not /CurrentUser."
LangString ProtectNeedsAllUsers ${LANG_JAPANESE} "/ProtectVorn3 はすべてのユーザー用のインストールのオプションです。管理者の権限が必要で、/CurrentUser とは併用できません。"
LangString LnkReadme ${LANG_ENGLISH} "${LNK_README_EN}"
LangString LnkReadme ${LANG_JAPANESE} "${LNK_README_JA}"
LangString LnkTemplates ${LANG_ENGLISH} "${LNK_TEMPLATES_EN}"
LangString LnkTemplates ${LANG_JAPANESE} "${LNK_TEMPLATES_JA}"
LangString LnkSettings ${LANG_ENGLISH} "${LNK_SETTINGS_EN}"
LangString LnkSettings ${LANG_JAPANESE} "${LNK_SETTINGS_JA}"
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
!define ERROR_INVALID_PARAMETER 87
!define ERROR_DIRECTORY 267  ; C:\vorn3 is not a folder, so it could not be protected
!ifndef SEE_MASK_NOCLOSEPROCESS
  !define SEE_MASK_NOCLOSEPROCESS 0x40
!endif
!ifndef INFINITE
  !define INFINITE 0xFFFFFFFF
!endif

Function .onInit
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
  ; /ProtectVorn3 belongs to the install for all users; asked for where it
  ; cannot be had, the setup program says so and changes nothing.
  StrCpy $ProtectVorn3 0
  StrCpy $ProtectError 0
  ${GetOptions} $1 "/ProtectVorn3" $2
  ${IfNot} ${Errors}
    StrCpy $ProtectVorn3 1
    ${If} $MultiUser.InstallMode != "AllUsers"
      MessageBox MB_OK|MB_ICONSTOP "$(ProtectNeedsAllUsers)" /SD IDOK
      ${If} $MultiUser.Privileges == "Admin"
      ${OrIf} $MultiUser.Privileges == "Power"
        SetErrorLevel ${ERROR_INVALID_PARAMETER}
      ${Else}
        SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
      ${EndIf}
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Function ModePageLeave
  ${If} $CmdLineDir != ""
    StrCpy $INSTDIR $CmdLineDir
  ${EndIf}
FunctionEnd

; The page for a shared computer, for an install for all users only (the
; others cannot change C:\vorn3's permissions); unchecked unless
; /ProtectVorn3 was given.
Function ProtectPageShow
  ${If} $MultiUser.InstallMode != "AllUsers"
    StrCpy $ProtectVorn3 0
    Abort
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "$(ProtectTitle)" "$(ProtectSubtitle)"
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 96u "$(ProtectText)"
  Pop $0
  ${NSD_CreateCheckbox} 0 104u 100% 12u "$(ProtectCheck)"
  Pop $ProtectBox
  ${If} $ProtectVorn3 == 1
    ${NSD_Check} $ProtectBox
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function ProtectPageLeave
  ${NSD_GetState} $ProtectBox $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $ProtectVorn3 1
  ${Else}
    StrCpy $ProtectVorn3 0
  ${EndIf}
FunctionEnd

; The uninstaller removes the install it belongs to: the entry whose
; InstallLocation is its own folder tells whether that is the one for all
; users or the current user's. One for all users needs administrator rights:
; without them, the uninstaller starts itself again asking for them, waits
; for that instance and ends with its exit code.
Function un.onInit
  StrCpy $R9 $INSTDIR
  !insertmacro MULTIUSER_UNINIT
  !ifdef TEST_AS_STANDARD_USER
    ; Tests only (Wine runs everything as administrator): the instance not
    ; started for the rights takes itself for a standard user's.
    ${un.GetParameters} $2
    ${un.GetOptions} $2 "/Elevated" $3
    ${If} ${Errors}
      StrCpy $MultiUser.Privileges "User"
    ${EndIf}
  !endif
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
      StrCpy $3 "/Elevated"
      ${If} ${Silent}
        StrCpy $3 "$3 /S"
      ${EndIf}
      ; Run in the program folder itself ("_?=" given, so that its caller
      ; can wait for it), the instance with the rights runs there too and
      ; does the work, and the folder keeps uninstall.exe, as NSIS does for
      ; "_?=". Run as the usual copy in %TEMP%, whose caller was answered
      ; when the copy was made, the instance with the rights makes a copy
      ; of its own that can remove the whole program folder.
      GetFullPathName /SHORT $4 $EXEDIR
      GetFullPathName /SHORT $5 $R9
      ${If} $4 == $5
        StrCpy $3 "$3 _?=$R9"
      ${EndIf}
      Call un.RunWithAdminRights
      Quit
    ${EndIf}
    Call un.MultiUser.InstallMode.AllUsers
  ${ElseIf} $0 == $R9
    Call un.MultiUser.InstallMode.CurrentUser
  ${EndIf}
  StrCpy $INSTDIR $R9
FunctionEnd

; Starts $R9\uninstall.exe with the arguments $3, asking Windows for
; administrator rights (the "runas" verb), waits for it and takes its exit
; code as this uninstaller's; the Windows error code when it could not be
; started (1223 when the user declined). The uninstaller is a 32-bit
; program: SHELLEXECUTEINFOW is 60 bytes there, hProcess its last member.
Function un.RunWithAdminRights
  System::Call '*(i 60, i ${SEE_MASK_NOCLOSEPROCESS}, p 0, w "runas", w "$R9\uninstall.exe", w "$3", w "$SYSDIR", i ${SW_SHOWNORMAL}, p 0, p 0, p 0, p 0, i 0, p 0, p 0) p .r4'
  System::Call 'shell32::ShellExecuteExW(p r4) i .r0 ?e'
  Pop $5
  ${If} $0 == 0
    SetErrorLevel $5
  ${Else}
    System::Call '*$4(i, i, p, p, p, p, p, i, p, p, p, p, i, p, p .r6)'
    ${If} $6 != 0
      System::Call 'kernel32::WaitForSingleObject(p r6, i ${INFINITE})'
      System::Call 'kernel32::GetExitCodeProcess(p r6, *i .r7) i .r0'
      ${If} $0 == 0
        StrCpy $7 1
      ${EndIf}
      System::Call 'kernel32::CloseHandle(p r6)'
      SetErrorLevel $7
    ${EndIf}
  ${EndIf}
  System::Free $4
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

; C:\vorn3 for a shared computer -------------------------------------------------
; Gives the folder VORN3_SDDL (owner and permissions, nothing inherited) and
; each entry in it VORN3_ENTRY_SDDL (owner, and only what it inherits from
; the folder: SetNamedSecurityInfo passes the folder's inheritable entries
; on); the files themselves are not touched. Existing permissions of a
; subfolder's contents below the first level stay as they are. Sets
; $ProtectError to 0, or to the first Windows error code.
!macro PushRegisters
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  Push $5
  Push $6
  Push $7
  Push $8
  Push $9
!macroend
!macro PopRegisters
  Pop $9
  Pop $8
  Pop $7
  Pop $6
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
!macroend
!define SE_FILE_OBJECT 1
!define OWNER_AND_DACL 0x5                     ; OWNER_ | DACL_SECURITY_INFORMATION
!define PROTECTED_DACL 0x80000000              ; PROTECTED_DACL_SECURITY_INFORMATION
!define UNPROTECTED_DACL 0x20000000            ; UNPROTECTED_DACL_SECURITY_INFORMATION
Function ProtectSettingsFolder
  ; The section's registers stay as they were ($3 says whether to keep the shortcuts).
  !insertmacro PushRegisters
  Call SetSettingsFolderPermissions
  !insertmacro PopRegisters
FunctionEnd

Function SetSettingsFolderPermissions
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${VORN3_SDDL}", i 1, *p .r1, p 0) i .r0 ?e'
  Pop $ProtectError
  ${If} $0 == 0
    Return
  ${EndIf}
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${VORN3_ENTRY_SDDL}", i 1, *p .r2, p 0) i .r0 ?e'
  Pop $ProtectError
  ${If} $0 == 0
    System::Call 'kernel32::LocalFree(p r1)'
    Return
  ${EndIf}
  System::Call 'advapi32::GetSecurityDescriptorOwner(p r1, *p .r3, *i .r9)'
  System::Call 'advapi32::GetSecurityDescriptorDacl(p r1, *i .r9, *p .r4, *i .r9)'
  System::Call 'advapi32::GetSecurityDescriptorDacl(p r2, *i .r9, *p .r5, *i .r9)'
  System::Call 'advapi32::SetNamedSecurityInfoW(w "${SETTINGS_DIR}", i ${SE_FILE_OBJECT}, i ${OWNER_AND_DACL}|${PROTECTED_DACL}, p r3, p 0, p r4, p 0) i .r0'
  StrCpy $ProtectError $0
  ${If} $0 == 0
    FindFirst $6 $7 "${SETTINGS_DIR}\*"
    ${DoWhile} $7 != ""
      ${If} $7 != "."
      ${AndIf} $7 != ".."
        System::Call 'advapi32::SetNamedSecurityInfoW(w "${SETTINGS_DIR}\$7", i ${SE_FILE_OBJECT}, i ${OWNER_AND_DACL}|${UNPROTECTED_DACL}, p r3, p 0, p r5, p 0) i .r0'
        ${If} $0 != 0
        ${AndIf} $ProtectError == 0
          StrCpy $ProtectError $0
        ${EndIf}
      ${EndIf}
      FindNext $6 $7
    ${Loop}
    FindClose $6
  ${EndIf}
  System::Call 'kernel32::LocalFree(p r1)'
  System::Call 'kernel32::LocalFree(p r2)'
FunctionEnd

; Starting marlet from the finish page ---------------------------------------------
; An install for all users runs with administrator rights (UAC elevation);
; a marlet started by it would have them too, and pastes with them, and a
; named object it makes could not be opened by the user's other programs.
; So an elevated setup program asks the shell the user is logged on with to
; start marlet (the desktop's shell view and its IShellDispatch2::ShellExecute,
; as Microsoft's Raymond Chen describes in "How can I launch an unelevated
; process from my elevated process and vice versa?"): marlet then runs as
; that user, with that user's normal rights. Where no shell answers, the
; page offers no start. Without elevation (XP, or an install for the
; current user by a standard user), marlet is started as usual.

; $0: 1 when this process's token was elevated by UAC (TokenElevation,
; Vista and later), else 0.
Function IsElevated
  System::Call 'kernel32::GetCurrentProcess() p .r1'
  System::Call 'advapi32::OpenProcessToken(p r1, i 0x8, *p .r2) i .r0'  ; TOKEN_QUERY
  StrCpy $3 0
  ${If} $0 != 0
    System::Call 'advapi32::GetTokenInformation(p r2, i 20, *i .r3, i 4, *i .r4) i .r0'  ; TokenElevation
    ${If} $0 == 0
      StrCpy $3 0
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r2)'
  ${EndIf}
  ${If} $3 != 0
    StrCpy $0 1
  ${Else}
    StrCpy $0 0
  ${EndIf}
FunctionEnd

; $0: the IShellDispatch2 of the shell's desktop window (to be released), or
; 0 when there is none. COM calls by their places in the interfaces' tables
; (the setup program is 32-bit; a VARIANT is 16 bytes).
!define CLSID_ShellWindows "{9BA05972-F6A8-11CF-A442-00A0C90A8F39}"
!define IID_IShellWindows "{85CB6900-4D95-11CF-960C-0080C7F4EE85}"
!define IID_IServiceProvider "{6D5140C1-7436-11CE-8034-00AA006009FA}"
!define SID_STopLevelBrowser "{4C96BE40-915C-11CF-99D3-00AA004AE837}"
!define IID_IShellBrowser "{000214E2-0000-0000-C000-000000000046}"
!define IID_IDispatch "{00020400-0000-0000-C000-000000000046}"
!define IID_IShellFolderViewDual "{E7A1AF80-4D96-11CF-960C-0080C7F4EE85}"
!define IID_IShellDispatch2 "{A4C6892C-3BA9-11D2-9DEA-00C04FB16162}"
!define CLSCTX_LOCAL_SERVER 4
!define SWC_DESKTOP 8
!define SWFO_NEEDDISPATCH 1
!define SVGIO_BACKGROUND 0
!macro Release POINTER
  ${If} ${POINTER} != 0
    System::Call '${POINTER}->2()'
  ${EndIf}
!macroend
Function ShellDispatch
  StrCpy $0 0
  StrCpy $5 0
  StrCpy $6 0
  StrCpy $7 0
  StrCpy $8 0
  StrCpy $R0 0
  StrCpy $R1 0
  System::Call 'ole32::CoCreateInstance(g "${CLSID_ShellWindows}", p 0, i ${CLSCTX_LOCAL_SERVER}, g "${IID_IShellWindows}", *p .r1) i .r9'
  ${If} $9 != 0
    Return
  ${EndIf}
  ; IShellWindows::FindWindowSW(CSIDL_DESKTOP as VT_I4, VT_EMPTY, ...): S_OK only when found.
  System::Call '*(i 3, i 0, i 0, i 0) p .r2'
  System::Call '*(i 0, i 0, i 0, i 0) p .r3'
  System::Call '$1->15(p r2, p r3, i ${SWC_DESKTOP}, *i .r4, i ${SWFO_NEEDDISPATCH}, *p .r5) i .r9'
  System::Free $2
  System::Free $3
  ${If} $9 == 0
    System::Call '$5->0(g "${IID_IServiceProvider}", *p .r6) i .r9'                            ; QueryInterface
  ${EndIf}
  ${If} $9 == 0
    System::Call '$6->3(g "${SID_STopLevelBrowser}", g "${IID_IShellBrowser}", *p .r7) i .r9'  ; QueryService
  ${EndIf}
  ${If} $9 == 0
    System::Call '$7->15(*p .r8) i .r9'                                                         ; QueryActiveShellView
  ${EndIf}
  ${If} $9 == 0
    System::Call '$8->15(i ${SVGIO_BACKGROUND}, g "${IID_IDispatch}", *p .R0) i .r9'           ; GetItemObject
  ${EndIf}
  ${If} $9 == 0
    System::Call '$R0->0(g "${IID_IShellFolderViewDual}", *p .R1) i .r9'                       ; QueryInterface
  ${EndIf}
  ${If} $9 == 0
    System::Call '$R1->7(*p .R2) i .r9'                                                         ; get_Application
    ${If} $9 == 0
      System::Call '$R2->0(g "${IID_IShellDispatch2}", *p .r0) i .r9'                          ; QueryInterface
      !insertmacro Release $R2
      ${If} $9 != 0
        StrCpy $0 0
      ${EndIf}
    ${EndIf}
  ${EndIf}
  !insertmacro Release $R1
  !insertmacro Release $R0
  !insertmacro Release $8
  !insertmacro Release $7
  !insertmacro Release $6
  !insertmacro Release $5
  !insertmacro Release $1
FunctionEnd

; The finish page: the text takes the room down to the check box, which
; goes to the foot of the page (the files kept and a failure can make the
; text longer than the room the page gives it); no start offered by an
; elevated setup program that finds no shell to ask.
!define SWP_NOSIZE 0x1
!define SWP_NOMOVE 0x2
!define SWP_NOZORDER 0x4
Function FinishPageShow
  System::Call '*(i, i, i, i) p .r1'
  System::Call 'user32::GetClientRect(p $mui.FinishPage, p r1)'
  System::Call '*$1(i, i, i, i .r5)'                                 ; the page's height
  System::Call 'user32::GetWindowRect(p $mui.FinishPage.Run, p r1)'
  System::Call 'user32::MapWindowPoints(p 0, p $mui.FinishPage, p r1, i 2)'
  System::Call '*$1(i .r2, i .r3, i, i .r4)'                         ; the check box: left, top, bottom
  IntOp $4 $4 - $3                                                   ; its height
  IntOp $6 $5 - $4
  IntOp $6 $6 - $4                                                   ; its new top, a height above the foot
  System::Call 'user32::GetWindowRect(p $mui.FinishPage.Text, p r1)'
  System::Call 'user32::MapWindowPoints(p 0, p $mui.FinishPage, p r1, i 2)'
  System::Call '*$1(i .r7, i .r8, i .r9, i)'                         ; the text: left, top, right
  System::Free $1
  ${If} $6 > $3
    System::Call 'user32::SetWindowPos(p $mui.FinishPage.Run, p 0, i r2, i r6, i 0, i 0, i ${SWP_NOSIZE}|${SWP_NOZORDER})'
    IntOp $7 $9 - $7
    IntOp $8 $6 - $8
    IntOp $8 $8 - $4
    System::Call 'user32::SetWindowPos(p $mui.FinishPage.Text, p 0, i 0, i 0, i r7, i r8, i ${SWP_NOMOVE}|${SWP_NOZORDER})'
  ${EndIf}
  Call IsElevated
  ${If} $0 == 1
    Call ShellDispatch
    ${If} $0 == 0
      SendMessage $mui.FinishPage.Run ${BM_SETCHECK} ${BST_UNCHECKED} 0
      ShowWindow $mui.FinishPage.Run ${SW_HIDE}
    ${Else}
      !insertmacro Release $0
    ${EndIf}
  ${EndIf}
FunctionEnd

Function StartMarlet
  Call IsElevated
  ${If} $0 == 1
    Call ShellDispatch
    ${If} $0 != 0
      ; IShellDispatch2::ShellExecute(file, VT_EMPTY arguments, VT_BSTR folder,
      ; VT_EMPTY verb (the default, open), VT_I4 SW_SHOWNORMAL)
      System::Call 'oleaut32::SysAllocString(w "$INSTDIR\marlet.exe") p .r1'
      System::Call 'oleaut32::SysAllocString(w "$INSTDIR") p .r2'
      System::Call '$0->31(p r1, i 0, i 0, i 0, i 0, i 8, i 0, p r2, i 0, i 0, i 0, i 0, i 0, i 3, i 0, i ${SW_SHOWNORMAL}, i 0) i .r9'
      System::Call 'oleaut32::SysFreeString(p r1)'
      System::Call 'oleaut32::SysFreeString(p r2)'
      !insertmacro Release $0
    ${EndIf}
  ${Else}
    SetOutPath "$INSTDIR"
    Exec '"$INSTDIR\marlet.exe"'
  ${EndIf}
FunctionEnd

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
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The settings folder and its samples, never over anything already there
  ; (SetOverwrite off creates a file only where none exists).
  StrCpy $FinishText "$(MUI_TEXT_FINISH_INFO_TEXT)"
  StrCpy $KeptFiles ""
  ${IfNot} ${FileExists} "${SETTINGS_DIR}\*.*"
  ${AndIfNot} ${FileExists} "${SETTINGS_DIR}"
    CreateDirectory "${SETTINGS_DIR}"
  ${EndIf}
  ${If} ${FileExists} "${SETTINGS_DIR}\*.*"
    ; Protected first when asked for, so that the samples take the
    ; folder's permissions as they are made.
    ${If} $ProtectVorn3 == 1
      Call ProtectSettingsFolder
    ${EndIf}
    SetOutPath "${SETTINGS_DIR}"
    SetOverwrite off
    ${If} ${FileExists} "${SETTINGS_DIR}\tovrin.ini"
      DetailPrint "$(Kept)${SETTINGS_DIR}\tovrin.ini"
      StrCpy $KeptFiles "$KeptFiles$\r$\n${SETTINGS_DIR}\tovrin.ini"
    ${Else}
      File "${STAGE}/tovrin.ini"
    ${EndIf}
    ${If} ${FileExists} "${SETTINGS_DIR}\marlet.txt"
      DetailPrint "$(Kept)${SETTINGS_DIR}\marlet.txt"
      StrCpy $KeptFiles "$KeptFiles$\r$\n${SETTINGS_DIR}\marlet.txt"
    ${Else}
      File "${STAGE}/marlet.txt"
    ${EndIf}
    SetOverwrite on
    ${If} $KeptFiles != ""
      StrCpy $FinishText "$FinishText$\r$\n$\r$\n$(KeptFiles)$KeptFiles"
    ${EndIf}
  ${ElseIf} ${FileExists} "${SETTINGS_DIR}"
    DetailPrint "$(SettingsIsFile)"
    StrCpy $FinishText "$FinishText$\r$\n$\r$\n$(SettingsIsFile)"
    StrCpy $ProtectError ${ERROR_DIRECTORY}
  ${Else}
    DetailPrint "$(SettingsNotMade)"
    StrCpy $FinishText "$FinishText$\r$\n$\r$\n$(SettingsNotMade)"
    StrCpy $ProtectError ${ERROR_DIRECTORY}
  ${EndIf}
  ${If} $ProtectVorn3 == 1
    ${If} $ProtectError == 0
      DetailPrint "$(Protected)"
    ${Else}
      ; The install itself is complete; the exit code tells a silent caller.
      DetailPrint "$(NotProtected)"
      StrCpy $FinishText "$FinishText$\r$\n$\r$\n$(NotProtected)"
      SetErrorLevel $ProtectError
    ${EndIf}
  ${EndIf}

  ; Shortcuts; the programs start in their own folder.
  SetOutPath "$INSTDIR"
  CreateDirectory "$SMPROGRAMS\${FOLDER}"
  !insertmacro Shortcut $3 "marlet" "marlet" "marlet" "$INSTDIR\marlet.exe" "" "" "$(MarletDescription)"
  !insertmacro Shortcut $3 "tovrin" "tovrin" "tovrin" "$INSTDIR\tovrin.exe" "" "${TOVRIN_HOTKEY}" "$(TovrinDescription)"
  !insertmacro Shortcut $3 "${LNK_README_JA}" "${LNK_README_EN}" "$(LnkReadme)" "$INSTDIR\$(ReadmeFile)" "" "" ""
  !insertmacro Shortcut $3 "${LNK_TEMPLATES_JA}" "${LNK_TEMPLATES_EN}" "$(LnkTemplates)" "$WINDIR\notepad.exe" "${SETTINGS_DIR}\marlet.txt" "" ""
  !insertmacro Shortcut $3 "${LNK_SETTINGS_JA}" "${LNK_SETTINGS_EN}" "$(LnkSettings)" "$WINDIR\notepad.exe" "${SETTINGS_DIR}\tovrin.ini" "" ""
  !insertmacro Shortcut $3 "${LNK_UNINSTALL_JA}" "${LNK_UNINSTALL_EN}" "$(LnkUninstall)" "$INSTDIR\uninstall.exe" "" "" ""

  ; The uninstall entry.
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
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
  Delete "$SMPROGRAMS\${FOLDER}\${LNK_SETTINGS_JA}.lnk"
  Delete "$SMPROGRAMS\${FOLDER}\${LNK_SETTINGS_EN}.lnk"
  Delete "$SMPROGRAMS\${FOLDER}\${LNK_UNINSTALL_JA}.lnk"
  Delete "$SMPROGRAMS\${FOLDER}\${LNK_UNINSTALL_EN}.lnk"
  RMDir "$SMPROGRAMS\${FOLDER}"

  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
