#include "rom/InstallPaths.h"

#include "rom/Profile.h"

namespace quillbox {

namespace {

std::filesystem::path FirstExisting(const std::filesystem::path& beside, const std::filesystem::path& programFolder,
                                    const char* installed)
{
    std::error_code ec;
    if (std::filesystem::is_regular_file(beside, ec)) return beside;
    std::filesystem::path folder = programFolder.lexically_normal();
    if (!folder.has_filename()) folder = folder.parent_path();
    const std::filesystem::path underPrefix = folder.parent_path() / installed;
    if (std::filesystem::is_regular_file(underPrefix, ec)) return underPrefix;
    return beside;
}

}  // namespace

std::filesystem::path ShippedProfilePath(const std::filesystem::path& programFolder)
{
    return FirstExisting(ProfilePathFor(programFolder), programFolder, kInstalledProfile);
}

std::filesystem::path ReadmePath(const std::filesystem::path& programFolder)
{
    return FirstExisting(programFolder / "Readme.txt", programFolder, kInstalledReadme);
}

}  // namespace quillbox
