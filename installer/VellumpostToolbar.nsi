; The product's setup program: installs the toolbar library, the context menu
; proxy server and the 64-bit Explorer extension into one program folder,
; registers them, and writes an uninstaller that undoes all of it while the
; user's settings and upload history stay in the registry.
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
!include x64.nsh

!define PRODUCT "Vellumpost Toolbar"
!define PUBLISHER "Vellumpost"
!define LIBRARY "VellumpostToolbar.dll"
!define PROXY_PROGRAM "VellumpostContextMenuProxyX64.exe"
!define EXTENSION_LIBRARY "VellumpostContextMenuExtensionX64.dll"
!define UNINSTALLER "uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VellumpostToolbar"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "${PROGRAMS_FOLDER}\${PRODUCT}"
; A new setup goes where the installed copy is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Calls one of the library's installer exports (no arguments, returns 0) in
; this process and unloads the library again, so that it can be replaced or
; deleted afterwards.
!macro CallExport NAME
  DetailPrint "${NAME}"
  System::Call '"$INSTDIR\${LIBRARY}"::${NAME}() i .r0 ?u'
!macroend

; Runs the proxy server with a registration option; $0 is its exit code.
!macro RunProxy OPTION
  DetailPrint "${PROXY_PROGRAM} ${OPTION}"
  ClearErrors
  ExecWait '"$INSTDIR\${PROXY_PROGRAM}" ${OPTION}' $0
  ${If} ${Errors}
    StrCpy $0 "not started"
  ${EndIf}
!macroend

; Ends a setup that cannot finish: the message is shown (or only logged when
; silent) and the setup exits with a failure code.
!macro Fail TEXT
  DetailPrint "${TEXT}"
  MessageBox MB_ICONSTOP|MB_OK "${TEXT}" /SD IDOK
  SetErrorLevel 2
  Abort "${TEXT}"
!macroend

Function .onInit
  !if "${ARCH}" == "x64"
    ${IfNot} ${RunningX64}
      MessageBox MB_ICONSTOP|MB_OK "This setup is for 64-bit Windows." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
    SetRegView 64
  !endif
FunctionEnd

Function un.onInit
  !if "${ARCH}" == "x64"
    SetRegView 64
  !endif
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  ; An installed copy's proxy server may still run and hold the old library:
  ; stop it before the files are replaced.
  ${If} ${FileExists} "$INSTDIR\${PROXY_PROGRAM}"
    !insertmacro RunProxy "/shutdown"
  ${EndIf}

  ClearErrors
  File "/oname=${LIBRARY}" "${TOOLBAR}"
  File "/oname=${PROXY_PROGRAM}" "${PROXY}"
  File "/oname=${EXTENSION_LIBRARY}" "${EXTENSION}"
  ${If} ${Errors}
    !insertmacro Fail "The program files could not be written to $INSTDIR."
  ${EndIf}
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; The library registers its classes, the Explorer file types and the
  ; browser entries (and, on 64-bit Windows, the 64-bit helpers).
  ClearErrors
  RegDLL "$INSTDIR\${LIBRARY}"
  ${If} ${Errors}
    !insertmacro Fail "The toolbar library could not be registered."
  ${EndIf}
  !insertmacro RunProxy "/regserver"
  ${If} $0 != 0
    !insertmacro Fail "The context menu proxy server could not be registered ($0)."
  ${EndIf}

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${LIBRARY},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
  IntFmt $1 "0x%08X" $1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1

  ; A silent setup starts no browser: an automation browser it left behind
  ; would run hidden until the user logs off.
  ${IfNot} ${Silent}
    !insertmacro CallExport MakeToolbarVisible
    !insertmacro CallExport StartIEWithToolbar
  ${EndIf}
SectionEnd

; Deletes a file of the program folder, or, when a running program holds it,
; marks it for deletion at the next restart.
!macro RemoveFile NAME
  Delete /REBOOTOK "$INSTDIR\${NAME}"
!macroend

Section "Uninstall"
  ; The browsers are closed (after a warning) so that they let go of the
  ; library; the pictures left in the upload folder go too. A silent uninstall
  ; shows no warning and closes nothing: a library that a browser still holds
  ; is removed at the next restart.
  ${If} ${FileExists} "$INSTDIR\${LIBRARY}"
    ${IfNot} ${Silent}
      !insertmacro CallExport ShutdownIE
    ${EndIf}
    !insertmacro CallExport RemoveUploadTempFiles
    ClearErrors
    UnRegDLL "$INSTDIR\${LIBRARY}"
    ${If} ${Errors}
      DetailPrint "The toolbar library could not be unregistered."
    ${EndIf}
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\${PROXY_PROGRAM}"
    !insertmacro RunProxy "/unregserver"
  ${EndIf}

  !insertmacro RemoveFile "${LIBRARY}"
  !insertmacro RemoveFile "${PROXY_PROGRAM}"
  !insertmacro RemoveFile "${EXTENSION_LIBRARY}"
  !insertmacro RemoveFile "${UNINSTALLER}"
  RMDir /REBOOTOK "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ${If} ${RebootFlag}
    DetailPrint "Files in use are removed when Windows restarts."
    ; The conventional exit code of "done, a restart completes it".
    SetErrorLevel 3010
    MessageBox MB_ICONINFORMATION|MB_OK "Some files of ${PRODUCT} are in use. They will be removed when Windows restarts." /SD IDOK
  ${EndIf}
SectionEnd
