#include "support/TempDir.h"

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
        if (fs::create_directory(base / name, ec) && !ec) {
            m_path = (base / name).string();
            return;
        }
    }
    throw std::runtime_error("TempDir: cannot create a directory under " + base.string());
}

TempDir::~TempDir()
{
    std::error_code ec;
    // A test may have made entries read-only or removed the folder itself.
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_path, ec);
}

std::string TempDir::file(std::string_view name) const
{
    return (fs::path(m_path) / fs::path(std::string(name))).string();
}

std::string TempDir::write(std::string_view name, std::string_view bytes) const
{
    const std::string p = file(name);
    std::error_code ec;
    fs::create_directories(fs::path(p).parent_path(), ec);
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("TempDir: cannot write " + p);
    return p;
}

std::string TempDir::read(std::string_view name) const
{
    std::ifstream in(file(name), std::ios::binary);
    if (!in)
        return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TempDir::exists(std::string_view name) const
{
    std::error_code ec;
    return fs::exists(file(name), ec);
}

} // namespace tavor1::test
