// Process-wide values set when the reader connects the add-in.
#pragma once

#include <windows.h>

#include "../support/Com.h"
#include "../support/win/Settings.h"

// Fills buffer (8-bit text in the thread's ANSI code page) with the signature core's
// configuration folder; *size holds the buffer size on entry.
using VD_GetConfigPathFn = long(WINAPI*)(char* buffer, long* size);
// Creates a COM object through the signature core.
using VD_CoCreateInstanceFromClsIDFn = HRESULT(WINAPI*)(REFCLSID clsid, REFIID iid, void** object);

extern folium::UniqueBstr g_strPluginDir;  // host folder + "\plugins"
extern folium::UniqueBstr g_strConfigDir;  // reported by the signature core
extern VD_GetConfigPathFn g_pfnGetConfigPath;
extern VD_CoCreateInstanceFromClsIDFn g_pfnCoCreateInstanceFromClsID;

// Creates a COM object, through the signature core when it is loaded.
HRESULT FoliumCreateInstance(REFCLSID clsid, REFIID iid, void** object);

// The folders the settings files are looked for in, as this connection found them.
folium::SettingsFolders ConnectionSettingsFolders();

// Shows a failed HRESULT the way the connection reports caught errors.
void ShowComErrorMessage(HRESULT hr);
