#include "main/Locations.h"

#include "main/DataDirectory.h"
#include "platform/InstallPaths.h"
#include "platform/qt/QSettingsStore.h"
#include "settings/RegistrySettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace tavor1 {

namespace {

std::string executableFolder(const char* argv0)
{
    // The executable's own path, not argv[0]: a program started through
    // PATH has a bare name there.
    QString exe = QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    if (exe.isEmpty())
        exe = QString::fromLocal8Bit(argv0);
    return QDir::cleanPath(QFileInfo(exe).absolutePath()).toStdString();
}

} // namespace

Locations settleLocations(const DriverArgs& args, const char* argv0)
{
    Locations where;
    const std::string folder = executableFolder(argv0);
    const bool installed = folder == kInstalledBinDir;
    if (args.configDir)
        where.programDir = *args.configDir;
    else
        where.programDir = installed ? std::string(kInstalledConfigDir) : folder;
    // The registry's overrides; --data-dir wins over CustomPathDataDir.
    const QSettingsStore registry;
    const std::string custom = args.dataDir ? std::string() : readCustomDataDir(registry);
    const std::string fallback = installed ? std::string(kInstalledDataDir) : where.programDir;
    where.dataDir = settleDataDir(fallback, custom, args.dataDir);
    where.registryIPAddress = readIpAddress(registry);
    return where;
}

} // namespace tavor1
