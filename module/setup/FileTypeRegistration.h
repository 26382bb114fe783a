// The Explorer right-click handler of the toolbar for picture and video file
// types: which types, which handler class, and how it is added to and taken
// out of the classes root without disturbing other programs' handlers.
#pragma once

#include <windows.h>

#include <string>

class LogWriter;

// The handler class Explorer loads: the 64-bit extension on 64-bit Windows,
// the toolbar's own context menu class otherwise.
const CLSID& ContextMenuHandlerClass(bool windows64);

// For every file type: gives an extension without a file class (no default
// value, or an empty one) the type's usual class name, then adds the handler
// key "shellex\ContextMenuHandlers\<handler>" below that class. A class name
// that is no plain key name is left alone and its type skipped. A failing
// type is logged and the next one is processed.
void RegisterFileTypes(HKEY classesRoot, const CLSID& handler, const LogWriter& log);

// Takes out the handler key of every file type, then "ContextMenuHandlers"
// and "shellex" only when nothing else is left in them. Extension and class
// keys stay, with their default values.
void UnregisterFileTypes(HKEY classesRoot, const CLSID& handler, const LogWriter& log);
