// Runs registry scripts: the small text language of keys, default and named values,
// ForceRemove / NoRemove / Delete and %NAME% replacements.
#pragma once

#include <windows.h>
#include <map>
#include <string>

class CRegistrar {
public:
    // Names are matched ignoring case.
    void AddReplacement(const std::wstring& name, const std::wstring& value);
    // HKCR keys go to HKCU\Software\Classes instead.
    void SetPerUser(bool perUser) { m_perUser = perUser; }

    HRESULT Run(const std::wstring& script, bool doRegister);
    HRESULT RunResource(HMODULE module, UINT id, bool doRegister);

private:
    std::map<std::wstring, std::wstring> m_replacements;  // keys upper-cased
    bool m_perUser = false;
};
