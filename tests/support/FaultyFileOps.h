#pragma once

#include "platform/FileOps.h"

#include <map>
#include <string>

namespace tavor1::test {

// The file system, except that the deletes or writes of chosen files fail
// with "permission denied", as under an antivirus scanner that holds a file
// or in a moment when the data directory is read-only. Files are named by
// their name alone ("SR_START.001"), wherever they lie.
class FaultyFileOps final : public FileOps {
public:
    static constexpr int kAlways = -1;

    // The next `times` deletes (writes) of the file fail; kAlways: until allowed.
    void failRemove(const std::string& name, int times = kAlways) { m_remove[name] = times; }
    void failReplace(const std::string& name, int times = kAlways) { m_replace[name] = times; }
    void allowAll();

    // How many deletes (writes) of the file were tried, failed or not.
    int removeAttempts(const std::string& name) const;
    int replaceAttempts(const std::string& name) const;

    bool remove(const std::string& path, std::error_code& error) const override;
    bool replace(const std::string& path, std::string_view bytes, std::error_code& error) const override;

private:
    mutable std::map<std::string, int> m_remove;
    mutable std::map<std::string, int> m_replace;
    mutable std::map<std::string, int> m_removeAttempts;
    mutable std::map<std::string, int> m_replaceAttempts;
};

} // namespace tavor1::test
