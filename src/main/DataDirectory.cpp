#include "main/DataDirectory.h"

namespace tavor1 {

namespace {

std::string dropTrailingSeparator(std::string dir)
{
    if (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\'))
        dir.pop_back();
    return dir;
}

} // namespace

std::string settleDataDir(const std::string& programDir, const std::string& customPathDataDir,
                          const std::optional<std::string>& commandLineDataDir)
{
    if (commandLineDataDir && !commandLineDataDir->empty())
        return dropTrailingSeparator(*commandLineDataDir);
    if (!customPathDataDir.empty())
        return dropTrailingSeparator(customPathDataDir);
    return dropTrailingSeparator(programDir);
}

std::string missingDataDirText(const std::string& dataDir)
{
    return dataDir + " : DIR NON ESISTENTE";
}

std::string anotherDriverText(const std::string& dataDir, std::optional<long> holderPid)
{
    std::string text = "another tavor1 already serves " + dataDir;
    if (holderPid)
        text += " (process " + std::to_string(*holderPid) + ")";
    return text;
}

std::string unwritableDataDirText(const std::string& dataDir, const std::string& osError)
{
    return "cannot write in the data directory " + dataDir + ": " + osError +
           " (the driver must create, write and delete files there)";
}

} // namespace tavor1
