#include "support/FaultyFileOps.h"

#include <filesystem>

namespace tavor1::test {

namespace {

std::string nameOf(const std::string& path)
{
    return std::filesystem::path(path).filename().string();
}

// True when this call must fail; counts a limited failure down.
bool takeFailure(std::map<std::string, int>& failures, const std::string& name)
{
    const auto it = failures.find(name);
    if (it == failures.end() || it->second == 0)
        return false;
    if (it->second > 0)
        --it->second;
    return true;
}

int countOf(const std::map<std::string, int>& counts, const std::string& name)
{
    const auto it = counts.find(name);
    return it == counts.end() ? 0 : it->second;
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
    const std::string name = nameOf(path);
    ++m_removeAttempts[name];
    if (takeFailure(m_remove, name)) {
        error = std::make_error_code(std::errc::permission_denied);
        return false;
    }
    return FileOps::remove(path, error);
}

bool FaultyFileOps::replace(const std::string& path, std::string_view bytes, std::error_code& error) const
{
    const std::string name = nameOf(path);
    ++m_replaceAttempts[name];
    if (takeFailure(m_replace, name)) {
        error = std::make_error_code(std::errc::permission_denied);
        return false;
    }
    return FileOps::replace(path, bytes, error);
}

} // namespace tavor1::test
