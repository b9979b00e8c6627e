#include "GetFileVersion.h"

#include <cstring>
#include <new>

void CGetFileVersion::Reset() {
    std::memset(&m_fixed, 0, sizeof(m_fixed));
    m_pTranslation = nullptr;
    m_nTranslations = 0;
    m_bValid = false;
    delete[] m_pBuffer;
    m_pBuffer = nullptr;
}

bool CGetFileVersion::Open(const wchar_t* path) {
    Reset();
    if (!path) return false;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &handle);
    if (size == 0) return false;
    m_pBuffer = new (std::nothrow) BYTE[size];
    if (!m_pBuffer || !GetFileVersionInfoW(path, 0, size, m_pBuffer)) {
        Reset();
        return false;
    }
    void* block = nullptr;
    UINT len = 0;
    if (VerQueryValueW(m_pBuffer, L"\\", &block, &len) && block && len >= sizeof(VS_FIXEDFILEINFO)) {
        std::memcpy(&m_fixed, block, sizeof(VS_FIXEDFILEINFO));
        m_bValid = m_fixed.dwSignature == 0xFEEF04BD;
    }
    if (m_bValid && VerQueryValueW(m_pBuffer, L"\\VarFileInfo\\Translation", &block, &len) && block) {
        m_pTranslation = static_cast<DWORD*>(block);
        m_nTranslations = len / 4;
    }
    if (!m_bValid || !m_pTranslation) {
        Reset();
        return false;
    }
    return true;
}
