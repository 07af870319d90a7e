#pragma once

#include <string>
#include <string_view>

namespace tavor1::test {

// A fresh directory under the system's temporary folder, removed with all its
// content when the object goes. The prefix may hold blanks and non-ASCII
// letters (UTF-8) to exercise paths the way a shop's data folder looks.
class TempDir {
public:
    explicit TempDir(std::string_view prefix = "tavor1-test-");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Full path, without a trailing separator.
    const std::string& path() const { return m_path; }
    // Full path of an entry inside the directory.
    std::string file(std::string_view name) const;

    // Writes bytes to an entry (creating parent folders); returns its path.
    std::string write(std::string_view name, std::string_view bytes) const;
    // The bytes of an entry, or "<missing>" when it cannot be read.
    std::string read(std::string_view name) const;
    bool exists(std::string_view name) const;

private:
    std::string m_path;
};

} // namespace tavor1::test
