// Reads the version resource of a file.
#pragma once

#include <windows.h>

class CGetFileVersion {
public:
    CGetFileVersion() { Reset(); }
    virtual ~CGetFileVersion() { Reset(); }
    CGetFileVersion(const CGetFileVersion&) = delete;
    CGetFileVersion& operator=(const CGetFileVersion&) = delete;

    // True when a valid fixed-file-info record and a translation table were read.
    bool Open(const wchar_t* path);

    const VS_FIXEDFILEINFO& FixedInfo() const { return m_fixed; }
    DWORD FileVersionMS() const { return m_fixed.dwFileVersionMS; }
    DWORD FileVersionLS() const { return m_fixed.dwFileVersionLS; }
    const DWORD* Translations() const { return m_pTranslation; }
    UINT TranslationCount() const { return m_nTranslations; }
    bool IsValid() const { return m_bValid; }

private:
    void Reset();

    VS_FIXEDFILEINFO m_fixed;
    BYTE* m_pBuffer = nullptr;
    DWORD* m_pTranslation = nullptr;
    UINT m_nTranslations = 0;
    bool m_bValid = false;
};
