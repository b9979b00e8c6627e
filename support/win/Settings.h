// The settings files other components read: where they are looked for, the default
// document made when one is missing, and writing one value into every section.
#pragma once

#include <string>

namespace folium {

// The folders the settings files are looked for in; the connection knows them.
struct SettingsFolders {
    std::wstring pluginDir;  // the host's plug-in folder
    std::wstring configDir;  // the signature core's configuration folder
    std::wstring moduleDir;  // the component file's own folder
};

// Searches for a file of the component's own settings, and of the public settings.
// The first candidate that exists wins; the last is used without a check.
std::wstring FindComponentSettingsFile(const SettingsFolders& folders, const char* name);
std::wstring FindPublicSettingsFile(const SettingsFolders& folders, const char* name);

enum class SettingsSearch { Component, Public };

// Sets the first element named key (exact) in each section of the file to value and
// saves it; creates the default document first when the file cannot be loaded.
// 1 when an element was set, else 0. XML object failures are raised as HResultError.
long WriteSettingValue(const SettingsFolders& folders, SettingsSearch search, const char* fileName, const wchar_t* key, const wchar_t* value);

// The default document: UTF-8 byte-order mark, CR LF line ends, tab-indented children.
extern const char kDefaultSettingsDocument[];

}  // namespace folium
