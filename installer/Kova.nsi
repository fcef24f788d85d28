; Kova's installer. Built by CMake (installer/CMakeLists.txt), which passes:
;   VERSION    the product version, "1.0.0.1"
;   KOVA_EXE   the program to install (a signed copy when signing is on)
;   KOVA_HELP  the help document
;   HELP_NAME  its name beside Kova.exe, where Kova opens it
;   KOVA_CLASS the resident instance's window class, and the name of the mutex it holds until it ends
;   KOVACTL    kovactl.exe, the console tool support asks for
;   KOVA_CLOSE kovaclose.dll, whose StartKovaAsUser starts Kova as the interactive user
;   PUBLISHER  the maker, also the folder in Program Files that holds Kova's
;   VERSION_KEY the key under HKLM that holds "Version"
;   RUN_VALUE  the Run entry's value
;   POLICY_DIR the Group Policy templates: Kova.admx and <language>/Kova.adml
;   OUTFILE    where the installer goes
; The installer speaks English, German, French, Spanish, Italian, Brazilian Portuguese, Japanese,
; Simplified Chinese and Korean: it asks which once (not when silent), and the uninstaller
; follows the choice. The script is UTF-8 (makensis -INPUTCHARSET UTF8).
; Switches: /S silent; /START with /S starts Kova when done (silent mode does not start it
; otherwise); /D=folder another folder (Kova looks for its help in the default one).
Unicode true
SetCompressor /SOLID lzma
SetDateSave off
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT "Kova"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kova"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
; Kova opens its help from this fixed folder, so no directory page is offered.
InstallDir "$PROGRAMFILES\${PUBLISHER}\${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "$(StartKovaNow)"
!define MUI_FINISHPAGE_RUN_FUNCTION StartKova
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The choice is kept in the uninstall key, which the uninstaller removes with the rest.
!define MUI_LANGDLL_REGISTRY_ROOT HKLM
!define MUI_LANGDLL_REGISTRY_KEY "${UNINST_KEY}"
!define MUI_LANGDLL_REGISTRY_VALUENAME "Installer Language"
; English first: the language when the user's own is none of these.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"
!insertmacro MUI_LANGUAGE "French"
!insertmacro MUI_LANGUAGE "Spanish"
!insertmacro MUI_LANGUAGE "Italian"
!insertmacro MUI_LANGUAGE "PortugueseBR"
!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_LANGUAGE "SimpChinese"
!insertmacro MUI_LANGUAGE "Korean"
; The selection dialog's plug-in early in the solid archive, so it shows without delay.
!insertmacro MUI_RESERVEFILE_LANGDLL

LangString StartKovaNow ${LANG_ENGLISH} "Start ${PRODUCT} now"
LangString StartKovaNow ${LANG_GERMAN} "${PRODUCT} jetzt starten"
LangString StartKovaNow ${LANG_FRENCH} "Démarrer ${PRODUCT} maintenant"
LangString StartKovaNow ${LANG_SPANISH} "Iniciar ${PRODUCT} ahora"
LangString StartKovaNow ${LANG_ITALIAN} "Avvia ${PRODUCT} ora"
LangString StartKovaNow ${LANG_PORTUGUESEBR} "Iniciar o ${PRODUCT} agora"
LangString StartKovaNow ${LANG_JAPANESE} "今すぐ ${PRODUCT} を起動する"
LangString StartKovaNow ${LANG_SIMPCHINESE} "立即启动 ${PRODUCT}"
LangString StartKovaNow ${LANG_KOREAN} "지금 ${PRODUCT} 시작"

; MUI_LANGDLL_DISPLAY skips the dialog in silent mode and when a choice is remembered.
Function .onInit
  !insertmacro MUI_LANGDLL_DISPLAY
FunctionEnd

Function un.onInit
  !insertmacro MUI_UNGETLANGUAGE
FunctionEnd

; The policy templates go to policy\ in PolicyDefinitions' layout, ready to be copied there.
!macro POLICY_LANGUAGES DO
  !insertmacro ${DO} en-US
  !insertmacro ${DO} de-DE
  !insertmacro ${DO} fr-FR
  !insertmacro ${DO} es-ES
  !insertmacro ${DO} it-IT
  !insertmacro ${DO} pt-BR
  !insertmacro ${DO} ja-JP
  !insertmacro ${DO} zh-CN
  !insertmacro ${DO} ko-KR
!macroend
!macro INSTALL_ADML LANG
  SetOutPath "$INSTDIR\policy\${LANG}"
  File "/oname=Kova.adml" "${POLICY_DIR}/${LANG}/Kova.adml"
!macroend
!macro REMOVE_ADML LANG
  Delete "$INSTDIR\policy\${LANG}\Kova.adml"
  RMDir "$INSTDIR\policy\${LANG}"
!macroend

; Asks an installed, running Kova to quit ("Kova.exe Close") and waits, at most 15 s, until
; its window is gone, its single-instance mutex is free (it is held until the process
; ends) and the program file can be opened for writing. The file check is what Windows
; enforces for a running program; Wine does not always, hence the other two.
!macro CLOSE_RUNNING_KOVA UN
Function ${UN}CloseRunningKova
  Push $R0
  Push $R1
  IfFileExists "$INSTDIR\Kova.exe" 0 done
  ExecWait '"$INSTDIR\Kova.exe" Close'
  StrCpy $R0 0
  wait:
    FindWindow $R1 "${KOVA_CLASS}"
    StrCmp $R1 0 0 busy
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${KOVA_CLASS}") p .R1'
    ${If} $R1 P<> 0
      System::Call 'kernel32::CloseHandle(p R1)'
      Goto busy
    ${EndIf}
    ClearErrors
    FileOpen $R1 "$INSTDIR\Kova.exe" a
    IfErrors busy
    FileClose $R1
    Goto done
  busy:
    IntOp $R0 $R0 + 1
    IntCmp $R0 150 done
    Sleep 100
    Goto wait
  done:
  Pop $R1
  Pop $R0
FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING_KOVA ""
!insertmacro CLOSE_RUNNING_KOVA "un."

; The installer runs elevated (or as SYSTEM under a management tool): a Kova started with its
; token would miss the tray's callbacks and lock the user out of its named objects. The user's
; own explorer starts it; with no interactive user nothing is started.
Function StartKova
  InitPluginsDir
  SetOutPath "$PLUGINSDIR"
  File "/oname=$PLUGINSDIR\kovaclose.dll" "${KOVA_CLOSE}"
  System::Call '$PLUGINSDIR\kovaclose.dll::StartKovaAsUser(w "$INSTDIR", w .R0, i ${NSIS_MAX_STRLEN}) i .R1'
  DetailPrint "$R0"
  ; Out of the plug-ins folder, so that it can be removed at the end.
  SetOutPath "$INSTDIR"
FunctionEnd

Section "Kova" SecMain
  SectionIn RO
  SetOutPath "$INSTDIR"
  Call CloseRunningKova
  SetOverwrite on
  File "/oname=Kova.exe" "${KOVA_EXE}"
  File "/oname=${HELP_NAME}" "${KOVA_HELP}"
  File "/oname=kovactl.exe" "${KOVACTL}"
  SetOutPath "$INSTDIR\policy"
  File "/oname=Kova.admx" "${POLICY_DIR}/Kova.admx"
  !insertmacro POLICY_LANGUAGES INSTALL_ADML
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The About box reads this value (at most 19 characters).
  WriteRegStr HKLM "${VERSION_KEY}" "Version" "${VERSION}"
  ; Every user's logon starts Kova.
  WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\Kova.exe"'

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" '"$INSTDIR\Kova.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
SectionEnd

; The finish page's check box starts Kova in the interactive UI; silently only on /START.
Function .onInstSuccess
  ${If} ${Silent}
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/START" $R1
    ${IfNot} ${Errors}
      Call StartKova
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.CloseRunningKova
  Delete "$INSTDIR\Kova.exe"
  Delete "$INSTDIR\${HELP_NAME}"
  Delete "$INSTDIR\kovactl.exe"
  Delete "$INSTDIR\Uninstall.exe"
  !insertmacro POLICY_LANGUAGES REMOVE_ADML
  Delete "$INSTDIR\policy\Kova.admx"
  RMDir "$INSTDIR\policy"
  ; Only when empty: files someone else put there stay, and so do their folders.
  RMDir "$INSTDIR"
  RMDir "$PROGRAMFILES\${PUBLISHER}"

  DeleteRegValue HKLM "${VERSION_KEY}" "Version"
  DeleteRegKey /ifempty HKLM "${VERSION_KEY}"
  DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
