#include "support/TempDir.h"

#include "platform/NativePath.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace tavor1::test {

TempDir::TempDir(std::string_view prefix)
{
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = std::string(prefix) + std::to_string(rd()) + "-" + std::to_string(counter++);
        std::error_code ec;
        const fs::path candidate = base / nativePath(name);
        if (fs::create_directory(candidate, ec) && !ec) {
            m_path = utf8Path(candidate);
            return;
        }
    }
    throw std::runtime_error("TempDir: cannot create a directory under " + base.string());
}

TempDir::~TempDir()
{
    std::error_code ec;
    // A test may have made entries read-only or removed the folder itself.
    fs::permissions(nativePath(m_path), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(nativePath(m_path), ec);
}

std::string TempDir::file(std::string_view name) const
{
    // Tests name nested entries with '/': Windows gets its own separator.
    return utf8Path((nativePath(m_path) / nativePath(name)).make_preferred());
}

std::string TempDir::write(std::string_view name, std::string_view bytes) const
{
    const std::string p = file(name);
    std::error_code ec;
    fs::create_directories(nativePath(p).parent_path(), ec);
    std::ofstream out(nativePath(p), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("TempDir: cannot write " + p);
    return p;
}

std::string TempDir::read(std::string_view name) const
{
    std::ifstream in(nativePath(file(name)), std::ios::binary);
    if (!in)
        return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TempDir::exists(std::string_view name) const
{
    std::error_code ec;
    return fs::exists(nativePath(file(name)), ec);
}

} // namespace tavor1::test
