#include "TestFiles.h"

#include "rom/Profile.h"
#include "sample/SampleRom.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace quillbox::test {

TempDir::TempDir()
{
    static std::atomic<int> counter{0};
    std::random_device seed;
    path_ = std::filesystem::temp_directory_path() /
            ("quillbox-test-" + std::to_string(seed()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::filesystem::path WriteFile(const std::filesystem::path& path, const Bytes& bytes)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(out.good()) << path;
    return path;
}

std::filesystem::path WriteTextFile(const std::filesystem::path& path, std::string_view text)
{
    return WriteFile(path, Bytes(text.begin(), text.end()));
}

Bytes ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = in.tellg();
    if (size <= 0) return {};
    Bytes bytes(static_cast<std::size_t>(size));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

RomFile OpenOrThrow(const std::filesystem::path& path)
{
    auto file = RomFile::Open(path);
    if (!file) throw std::runtime_error("cannot open " + path.string() + ": " + file.error().message);
    return std::move(*file);
}

std::filesystem::path ShippedProfile() { return ProfilePathFor(ProgramFolder()); }

std::filesystem::path WriteSample(const TempDir& dir, std::string_view headerCode, std::string_view name)
{
    const auto path = dir / name;
    const Status written = WriteSampleRom(path, headerCode);
    EXPECT_TRUE(written) << (written ? "" : written.error().message);
    return path;
}

FailingWrites::FailingWrites(int allowedWrites) : allowed_(allowedWrites) { InstallWriteFaultInjector(this); }
FailingWrites::~FailingWrites() { InstallWriteFaultInjector(nullptr); }

bool FailingWrites::AllowWrite(const std::filesystem::path&, std::int64_t, std::size_t)
{
    ++attempts;
    return attempts <= allowed_;
}

FailingWriteOnce::FailingWriteOnce(int failingWrite) : failing_(failingWrite) { InstallWriteFaultInjector(this); }
FailingWriteOnce::~FailingWriteOnce() { InstallWriteFaultInjector(nullptr); }

bool FailingWriteOnce::AllowWrite(const std::filesystem::path&, std::int64_t, std::size_t)
{
    return attempts++ != failing_;
}

bool SymbolicLinksCanBeMade()
{
    TempDir dir;
    std::error_code ec;
    std::filesystem::create_symlink(dir / "target", dir / "link", ec);
    return !ec;
}

std::vector<std::size_t> DifferingOffsets(const Bytes& before, const Bytes& after)
{
    std::vector<std::size_t> offsets;
    EXPECT_EQ(before.size(), after.size());
    // Tests compare whole ROMs hundreds of times, and unoptimised, instrumented builds call a
    // function for every byte: equal stretches, nearly all of a ROM, are passed over by memcmp.
    constexpr std::size_t kStretch = 4096;
    const std::size_t common = std::min(before.size(), after.size());
    for (std::size_t start = 0; start < common; start += kStretch) {
        const std::size_t length = std::min(kStretch, common - start);
        if (std::memcmp(before.data() + start, after.data() + start, length) == 0) continue;
        for (std::size_t i = start; i < start + length; ++i) {
            if (before[i] != after[i]) offsets.push_back(i);
        }
    }
    return offsets;
}

}  // namespace quillbox::test
