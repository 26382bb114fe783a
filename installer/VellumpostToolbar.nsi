; The product's setup program: installs the toolbar library, the context menu
; proxy server and the 64-bit Explorer extension into one program folder,
; registers them, and writes an uninstaller that undoes all of it while the
; user's settings and upload history stay in the registry (and the uploads
; waiting to be sent in their folder; an interactive uninstall asks first when
; there are any).
;
;   makensis -DARCH=x86|x64 -DVERSION=a.b.c.d -DTOOLBAR=<dll> -DPROXY=<exe>
;            -DEXTENSION=<dll> -DOUTFILE=<setup.exe> VellumpostToolbar.nsi
;
; The x86 setup carries the 32-bit library and proxy server (with the 64-bit
; extension for 64-bit Windows); the x64 setup carries all three for x86_64.
; Silent mode is /S, the program folder /D=<folder> (last on the command line).

Unicode true
!ifndef ARCH | VERSION | TOOLBAR | PROXY | EXTENSION | OUTFILE
  !error "Give ARCH, VERSION, TOOLBAR, PROXY, EXTENSION and OUTFILE with -D"
!endif
; A missing deliverable stops the build here, naming the file (give full paths:
; makensis works in the script's folder).
!macro RequireFile PATH
  !if ! /FileExists "${PATH}"
    !error "Missing deliverable: ${PATH}"
  !endif
!macroend
!insertmacro RequireFile "${TOOLBAR}"
!insertmacro RequireFile "${PROXY}"
!insertmacro RequireFile "${EXTENSION}"

!if "${ARCH}" == "x64"
  Target amd64-unicode
  !define PROGRAMS_FOLDER "$PROGRAMFILES64"
!else if "${ARCH}" == "x86"
  Target x86-unicode
  !define PROGRAMS_FOLDER "$PROGRAMFILES"
!else
  !error "ARCH must be x86 or x64"
!endif

!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include x64.nsh
!include MUI2.nsh

!define PRODUCT "Vellumpost Toolbar"
!define PUBLISHER "Vellumpost"
!define LIBRARY "VellumpostToolbar.dll"
!define PROXY_PROGRAM "VellumpostContextMenuProxyX64.exe"
!define EXTENSION_LIBRARY "VellumpostContextMenuExtensionX64.dll"
; Named after the product: a shared folder may hold other programs' uninstallers.
!define UNINSTALLER "VellumpostToolbarUninstall.exe"
; What earlier versions called their uninstaller; an update removes it.
!define OLD_UNINSTALLER "uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VellumpostToolbar"

; Exit codes besides 0: a failure that was undone, a newer copy already
; installed, the user said no, and done but a restart completes it.
!define EXIT_FAILED 2
!define EXIT_NEWER_INSTALLED 1638
!define EXIT_USER_CANCELED 1602
!define EXIT_RESTART_NEEDED 3010

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "${PROGRAMS_FOLDER}\${PRODUCT}"
; A new setup goes where the installed copy is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "This setup installs ${PRODUCT} ${VERSION}: upload pictures and videos to ${PUBLISHER} from the browser's toolbar and from the right-click menus of the browser and of Explorer.$\r$\n$\r$\nBrowser windows that are open may stay open: new windows use the new version.$\r$\n$\r$\nClick Next to continue."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
; The details stay until the user moves on.
!define MUI_FINISHPAGE_NOAUTOCLOSE
!insertmacro MUI_PAGE_INSTFILES
; When files of an earlier version were in use, this page offers the restart,
; later by default: browser windows with unsaved text may still be open.
!define MUI_FINISHPAGE_TEXT_REBOOT "Files of the earlier version of ${PRODUCT} are still in use, by an open browser window or Explorer. New windows already use the new version; a restart of Windows finishes the update by removing the old files."
!define MUI_FINISHPAGE_REBOOTLATER_DEFAULT
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var InstalledVersion    ; the installed copy's version, empty without one
Var OldUninstallString  ; the installed copy's uninstall entry, restored on failure
Var OldQuietUninstallString
Var Updating            ; 1 when $INSTDIR held an installed copy
Var Placed              ; 1 once this run has written program files
Var ProxyRegistered     ; 1 once this run ran the proxy's registration
Var AsideLibrary        ; where this run put the earlier copy of each file
Var AsideProxy
Var AsideExtension
Var AsideUninstaller
Var FailText

; Calls one of the library's installer exports (no arguments, returns an int
; in $0) in this process and unloads the library again, so that it can be
; replaced or deleted afterwards.
!macro CallExport NAME
  DetailPrint "${NAME}"
  System::Call '"$INSTDIR\${LIBRARY}"::${NAME}() i .r0 ?u'
!macroend

; Runs the proxy server with its options; $0 is its exit code.
!macro RunProxy OPTIONS
  DetailPrint "${PROXY_PROGRAM} ${OPTIONS}"
  ClearErrors
  ExecWait '"$INSTDIR\${PROXY_PROGRAM}" ${OPTIONS}' $0
  ${If} ${Errors}
    StrCpy $0 "not started"
  ${EndIf}
!macroend

; Ends a setup or uninstall that cannot finish: the message is shown (only
; logged when silent) and the program exits with CODE.
!macro Stop TEXT CODE
  DetailPrint "${TEXT}"
  MessageBox MB_ICONSTOP|MB_OK "${TEXT}" /SD IDOK
  SetErrorLevel ${CODE}
  Abort "${TEXT}"
!macroend

; Functions both programs use (the uninstaller's carry the "un." prefix).
!macro SharedFunctions UN
; Renames a file of the program folder to a free name beside it ("<name>.old1",
; "<name>.old2"...), which works while a program has the file loaded, so the
; name is free for a new file at once. Pushes the new path, or "" when there
; was no file or it could not be renamed (then the file is still there).
Function ${UN}PutAside
  Exch $0
  Push $1
  Push $2
  StrCpy $2 ""
  ${If} ${FileExists} "$0"
    StrCpy $1 1
    ${Do}
      ${IfNot} ${FileExists} "$0.old$1"
        ClearErrors
        Rename "$0" "$0.old$1"
        ${IfNot} ${Errors}
          StrCpy $2 "$0.old$1"
        ${EndIf}
        ${Break}
      ${EndIf}
      IntOp $1 $1 + 1
    ${LoopUntil} $1 > 99
  ${EndIf}
  StrCpy $0 $2
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; Removes a file of the program folder: at once, or, when a running program
; holds it, put aside and removed at the next restart (which sets the restart
; flag). The name itself is never marked for removal, so a copy installed
; before the restart survives it. Leaves the error flag set when the file is
; still there under its name.
Function ${UN}RemoveFile
  Exch $0
  Push $1
  ClearErrors
  Delete "$0"
  ${If} ${FileExists} "$0"
    Push "$0"
    Call ${UN}PutAside
    Pop $1
    ClearErrors
    ${If} $1 != ""
      Delete /REBOOTOK "$1"
    ${Else}
      SetErrors
    ${EndIf}
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

; Removes what earlier runs put aside beside NAME (on the stack) and could not
; remove then; REBOOTOK (on the stack below it) 1 leaves files still in use for
; the next restart, 0 leaves them alone.
Function ${UN}RemoveAsides
  Exch $0
  Exch
  Exch $3
  Push $1
  Push $2
  FindFirst $1 $2 "$INSTDIR\$0.old*"
  ${DoWhile} $2 != ""
    ${If} $3 == 1
      Delete /REBOOTOK "$INSTDIR\$2"
    ${Else}
      Delete "$INSTDIR\$2"
    ${EndIf}
    FindNext $1 $2
  ${Loop}
  FindClose $1
  Pop $2
  Pop $1
  Pop $3
  Pop $0
FunctionEnd
!macroend
!insertmacro SharedFunctions ""
!insertmacro SharedFunctions "un."

!macro RemoveFile PATH
  Push "${PATH}"
  Call RemoveFile
!macroend
!macro un.RemoveFile PATH
  Push "${PATH}"
  Call un.RemoveFile
!macroend

Function .onInit
  !if "${ARCH}" == "x64"
    ${IfNot} ${RunningX64}
      MessageBox MB_ICONSTOP|MB_OK "This setup is for 64-bit Windows." /SD IDOK
      SetErrorLevel ${EXIT_FAILED}
      Quit
    ${EndIf}
    SetRegView 64
  !endif
  ; Never over a newer copy: its files, registrations and settings would be
  ; replaced by older ones that may not understand them.
  ReadRegStr $InstalledVersion HKLM "${UNINSTALL_KEY}" "DisplayVersion"
  ${If} $InstalledVersion != ""
    ${VersionCompare} "$InstalledVersion" "${VERSION}" $0
    ${If} $0 == 1
      MessageBox MB_ICONSTOP|MB_OK "${PRODUCT} $InstalledVersion is installed, which is newer than this setup (${VERSION}). Nothing was changed. To go back to this version, uninstall ${PRODUCT} first." /SD IDOK
      SetErrorLevel ${EXIT_NEWER_INSTALLED}
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

; $0 plus the record files of waiting uploads in the outbox folder FOLDER.
!macro un.CountWaitingUploads FOLDER
  FindFirst $1 $2 "${FOLDER}\*.vpo"
  ${DoWhile} $2 != ""
    IntOp $0 $0 + 1
    FindNext $1 $2
  ${Loop}
  FindClose $1
!macroend

Function un.onInit
  !if "${ARCH}" == "x64"
    SetRegView 64
  !endif
  ; Uploads of the user running the uninstaller that still wait to be sent
  ; stay in the outbox like the history, but the user decides whether to go
  ; on without them being sent. The toolbar keeps them under the
  ; low-integrity data folder ("Low" after the local one), or the local one
  ; where there is none. A silent uninstall asks nothing.
  ${IfNot} ${Silent}
    StrCpy $0 0
    StrCpy $3 "$LOCALAPPDATA"
    !insertmacro un.CountWaitingUploads "$3Low\VellumpostToolbar\outbox"
    !insertmacro un.CountWaitingUploads "$3\VellumpostToolbar\outbox"
    ${If} $0 > 0
      ${If} $0 == 1
        StrCpy $4 "One upload is waiting to be sent."
      ${Else}
        StrCpy $4 "$0 uploads are waiting to be sent."
      ${EndIf}
      ${If} ${Cmd} `MessageBox MB_ICONQUESTION|MB_YESNO|MB_DEFBUTTON2 "$4 They stay on this computer and are sent once ${PRODUCT} is installed again; after the uninstall they are not sent.$\r$\n$\r$\nUninstall ${PRODUCT} anyway?" IDNO`
        SetErrorLevel ${EXIT_USER_CANCELED}
        Quit
      ${EndIf}
    ${EndIf}
  ${EndIf}
FunctionEnd

Function WriteUninstallEntry
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${LIBRARY},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
FunctionEnd

; Puts the file NAME aside, into the variable VAR; a file that is there and
; cannot be moved ends the setup before anything was replaced.
!macro SetAside NAME VAR
  Push "$INSTDIR\${NAME}"
  Call PutAside
  Pop ${VAR}
  ${If} ${FileExists} "$INSTDIR\${NAME}"
    StrCpy $FailText "$INSTDIR\${NAME} is in use and cannot be replaced."
    Call Rollback
  ${EndIf}
!macroend

; Puts back the earlier copy of NAME that this run set aside in VAR.
!macro PutBack NAME VAR
  ${If} ${VAR} != ""
    !insertmacro RemoveFile "$INSTDIR\${NAME}"
    Rename "${VAR}" "$INSTDIR\${NAME}"
    StrCpy ${VAR} ""
  ${EndIf}
!macroend

; Undoes what this run did, after the step named in $FailText failed: its
; registrations and files go, the earlier copy's files, registrations and
; uninstall entry come back; then the setup ends with the message.
Function Rollback
  DetailPrint "$FailText"
  DetailPrint "Undoing the changes of this setup."
  ${If} $ProxyRegistered == 1
    !insertmacro RunProxy "/UnregServer"
  ${EndIf}
  ${If} $Placed == 1
    ${AndIf} ${FileExists} "$INSTDIR\${LIBRARY}"
    ; Also after a failed registration: it may have written part of its entries.
    ClearErrors
    UnRegDLL "$INSTDIR\${LIBRARY}"
  ${EndIf}
  ${If} $Placed == 1
    !insertmacro RemoveFile "$INSTDIR\${LIBRARY}"
    !insertmacro RemoveFile "$INSTDIR\${PROXY_PROGRAM}"
    !insertmacro RemoveFile "$INSTDIR\${EXTENSION_LIBRARY}"
  ${EndIf}
  !insertmacro PutBack "${LIBRARY}" $AsideLibrary
  !insertmacro PutBack "${PROXY_PROGRAM}" $AsideProxy
  !insertmacro PutBack "${EXTENSION_LIBRARY}" $AsideExtension

  ${If} $Updating == 1
    ${If} $AsideUninstaller != ""
      !insertmacro PutBack "${UNINSTALLER}" $AsideUninstaller
    ${ElseIf} $OldUninstallString != ""
      !insertmacro RemoveFile "$INSTDIR\${UNINSTALLER}"
    ${EndIf}
    ${If} $OldUninstallString != ""
      WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "$InstalledVersion"
      WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" "$OldUninstallString"
      WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" "$OldQuietUninstallString"
    ${EndIf}
    ; The earlier copy registers itself again, as its own setup did.
    DetailPrint "Registering the earlier version again."
    StrCpy $0 0
    ClearErrors
    RegDLL "$INSTDIR\${LIBRARY}"
    ${If} ${Errors}
      StrCpy $0 "failed"
    ${EndIf}
    ${If} $0 == 0
      ${AndIf} ${FileExists} "$INSTDIR\${PROXY_PROGRAM}"
      !insertmacro RunProxy "/RegServer"
    ${EndIf}
    ${If} $0 != 0
      !insertmacro Stop "$FailText The earlier version's files are back, but registering them again failed: run its setup again." ${EXIT_FAILED}
    ${EndIf}
  ${Else}
    !insertmacro RemoveFile "$INSTDIR\${UNINSTALLER}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    SetOutPath "$TEMP"  ; a folder that is the current one cannot be removed
    RMDir "$INSTDIR"
  ${EndIf}
  !insertmacro Stop "$FailText Nothing was changed." ${EXIT_FAILED}
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  ReadRegStr $OldUninstallString HKLM "${UNINSTALL_KEY}" "UninstallString"
  ReadRegStr $OldQuietUninstallString HKLM "${UNINSTALL_KEY}" "QuietUninstallString"
  ${If} ${FileExists} "$INSTDIR\${LIBRARY}"
    StrCpy $Updating 1
  ${EndIf}

  ; A running proxy server of the installed copy has the old library loaded:
  ; it is asked to end once its work is done, and waited for.
  ${If} ${FileExists} "$INSTDIR\${PROXY_PROGRAM}"
    !insertmacro RunProxy "/ShutDown"
  ${EndIf}

  ; The installed copy's files are set aside, not deleted: renaming works
  ; while a browser or Explorer has them loaded, and they are what a failed
  ; setup restores.
  !insertmacro SetAside "${LIBRARY}" $AsideLibrary
  !insertmacro SetAside "${PROXY_PROGRAM}" $AsideProxy
  !insertmacro SetAside "${EXTENSION_LIBRARY}" $AsideExtension
  !insertmacro SetAside "${UNINSTALLER}" $AsideUninstaller

  ; The uninstaller and its entry come before any registration, so whatever
  ; state this setup leaves can be removed from the Control Panel.
  ClearErrors
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  ${If} ${Errors}
    StrCpy $FailText "The uninstaller could not be written to $INSTDIR."
    Call Rollback
  ${EndIf}
  Call WriteUninstallEntry

  StrCpy $Placed 1
  ClearErrors
  File "/oname=${LIBRARY}" "${TOOLBAR}"
  File "/oname=${PROXY_PROGRAM}" "${PROXY}"
  File "/oname=${EXTENSION_LIBRARY}" "${EXTENSION}"
  ${If} ${Errors}
    StrCpy $FailText "The program files could not be written to $INSTDIR."
    Call Rollback
  ${EndIf}

  ; The library registers its classes, the Explorer file types and the
  ; browser entries (and, on 64-bit Windows, the 64-bit helpers).
  ClearErrors
  RegDLL "$INSTDIR\${LIBRARY}"
  ${If} ${Errors}
    StrCpy $FailText "Registering the toolbar library ($INSTDIR\${LIBRARY}) failed."
    Call Rollback
  ${EndIf}
  !insertmacro RunProxy "/RegServer"
  ${If} $0 != 0
    StrCpy $ProxyRegistered 1
    StrCpy $FailText "Registering the context menu proxy server ($INSTDIR\${PROXY_PROGRAM} /RegServer) failed ($0)."
    Call Rollback
  ${EndIf}
  StrCpy $ProxyRegistered 1

  ; Done: the earlier copy goes, now or, where a program still holds it, at
  ; the next restart.
  ${If} $AsideLibrary != ""
    Delete /REBOOTOK "$AsideLibrary"
  ${EndIf}
  ${If} $AsideProxy != ""
    Delete /REBOOTOK "$AsideProxy"
  ${EndIf}
  ${If} $AsideExtension != ""
    Delete /REBOOTOK "$AsideExtension"
  ${EndIf}
  ${If} $AsideUninstaller != ""
    Delete /REBOOTOK "$AsideUninstaller"
  ${EndIf}
  ${If} $OldUninstallString == '"$INSTDIR\${OLD_UNINSTALLER}"'
    !insertmacro RemoveFile "$INSTDIR\${OLD_UNINSTALLER}"
  ${EndIf}
  ; What earlier updates left for a restart that has not come yet, where it
  ; is free by now.
  Push 0
  Push "${LIBRARY}"
  Call RemoveAsides
  Push 0
  Push "${PROXY_PROGRAM}"
  Call RemoveAsides
  Push 0
  Push "${EXTENSION_LIBRARY}"
  Call RemoveAsides

  ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
  IntFmt $1 "0x%08X" $1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1

  ${If} ${RebootFlag}
    DetailPrint "Files of the earlier version are in use: new windows use the new version, a restart finishes the update."
    SetErrorLevel ${EXIT_RESTART_NEEDED}
  ${EndIf}

  ; A silent setup starts no browser: an automation browser it left behind
  ; would run hidden until the user logs off.
  ${IfNot} ${Silent}
    !insertmacro CallExport MakeToolbarVisible
    !insertmacro CallExport StartIEWithToolbar
  ${EndIf}
SectionEnd

Section "Uninstall"
  ; Browsers are asked to close (interactive only) so that they let go of the
  ; library; a silent uninstall closes nothing and leaves held files for the
  ; next restart.
  ${If} ${FileExists} "$INSTDIR\${LIBRARY}"
    ${IfNot} ${Silent}
      !insertmacro CallExport ShutdownIE
      ${If} $0 == 1
        !insertmacro Stop "The uninstallation was canceled. Nothing was changed." ${EXIT_USER_CANCELED}
      ${EndIf}
    ${EndIf}
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\${PROXY_PROGRAM}"
    !insertmacro RunProxy "/ShutDown /Force"
  ${EndIf}

  ; No file goes while a registration still points at it.
  ${If} ${FileExists} "$INSTDIR\${LIBRARY}"
    ClearErrors
    UnRegDLL "$INSTDIR\${LIBRARY}"
    ${If} ${Errors}
      !insertmacro Stop "The toolbar library ($INSTDIR\${LIBRARY}) could not be unregistered. Nothing was removed." ${EXIT_FAILED}
    ${EndIf}
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\${PROXY_PROGRAM}"
    !insertmacro RunProxy "/UnregServer"
    ${If} $0 != 0
      !insertmacro Stop "The context menu proxy server ($INSTDIR\${PROXY_PROGRAM}) could not be unregistered ($0). Its files were kept." ${EXIT_FAILED}
    ${EndIf}
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\${LIBRARY}"
    !insertmacro CallExport RemoveUploadTempFiles
  ${EndIf}

  ; What earlier updates set aside goes first, so that each file is marked
  ; for the restart once.
  Push 1
  Push "${LIBRARY}"
  Call un.RemoveAsides
  Push 1
  Push "${PROXY_PROGRAM}"
  Call un.RemoveAsides
  Push 1
  Push "${EXTENSION_LIBRARY}"
  Call un.RemoveAsides
  !insertmacro un.RemoveFile "$INSTDIR\${LIBRARY}"
  !insertmacro un.RemoveFile "$INSTDIR\${PROXY_PROGRAM}"
  !insertmacro un.RemoveFile "$INSTDIR\${EXTENSION_LIBRARY}"
  ; An uninstaller run in place (_?=) cannot remove itself; whoever ran it does.
  ${If} "$EXEPATH" != "$INSTDIR\${UNINSTALLER}"
    !insertmacro un.RemoveFile "$INSTDIR\${UNINSTALLER}"
  ${EndIf}
  ; The folder goes only when nothing else is in it; only when files wait for
  ; the restart does it wait with them.
  SetOutPath "$TEMP"
  ${If} ${RebootFlag}
    RMDir /REBOOTOK "$INSTDIR"
  ${Else}
    RMDir "$INSTDIR"
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ${If} ${RebootFlag}
    DetailPrint "Files in use are removed when Windows restarts."
    SetErrorLevel ${EXIT_RESTART_NEEDED}
    MessageBox MB_ICONINFORMATION|MB_OK "Some files of ${PRODUCT} are in use. They will be removed when Windows restarts." /SD IDOK
  ${EndIf}
SectionEnd
