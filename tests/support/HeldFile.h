#pragma once

#ifdef _WIN32

// An open handle on a file that lets others read and write it but not delete
// or rename it: what an antivirus scanner or a host that still has the file
// open does to the driver's deletes and renames on Windows. Sharing rules
// hold per handle, so a handle of the test program stands for another
// process's.

#include "platform/NativePath.h"

#include <windows.h>

#include <string>

namespace tavor1::test {

class HeldFile {
public:
    explicit HeldFile(const std::string& utf8Path)
        : m_handle(CreateFileW(nativePath(utf8Path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~HeldFile() { release(); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    bool isHeld() const { return m_handle != INVALID_HANDLE_VALUE; }
    void release()
    {
        if (isHeld())
            CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_handle;
};

} // namespace tavor1::test

#endif
