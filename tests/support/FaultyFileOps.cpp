#include "support/FaultyFileOps.h"

#include <filesystem>

namespace tavor1::test {

namespace {

int countOf(const std::map<std::string, int>& counts, const std::string& name)
{
    const auto it = counts.find(name);
    return it == counts.end() ? 0 : it->second;
}

// Counts the attempt on the file; true, with "permission denied", when it
// must fail (a limited failure counts down).
bool refused(const std::string& path, std::map<std::string, int>& failures, std::map<std::string, int>& attempts,
             std::error_code& error)
{
    const std::string name = std::filesystem::path(path).filename().string();
    ++attempts[name];
    const auto it = failures.find(name);
    if (it == failures.end() || it->second == 0)
        return false;
    if (it->second > 0)
        --it->second;
    error = std::make_error_code(std::errc::permission_denied);
    return true;
}

} // namespace

void FaultyFileOps::allowAll()
{
    m_remove.clear();
    m_replace.clear();
}

int FaultyFileOps::removeAttempts(const std::string& name) const
{
    return countOf(m_removeAttempts, name);
}

int FaultyFileOps::replaceAttempts(const std::string& name) const
{
    return countOf(m_replaceAttempts, name);
}

bool FaultyFileOps::remove(const std::string& path, std::error_code& error) const
{
    return !refused(path, m_remove, m_removeAttempts, error) && FileOps::remove(path, error);
}

bool FaultyFileOps::replace(const std::string& path, std::string_view bytes, std::error_code& error) const
{
    return !refused(path, m_replace, m_replaceAttempts, error) && FileOps::replace(path, bytes, error);
}

} // namespace tavor1::test
