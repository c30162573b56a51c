#include "rom/Profile.h"
#include "platform/UserFolders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

// Linux and the browser keep a user's settings where the XDG base directory rules say.
namespace quillbox {
namespace {

// Sets an environment variable for as long as it lives, then puts back what was there.
class ScopedVariable {
public:
    explicit ScopedVariable(const char* name) : name_(name)
    {
        if (const char* value = std::getenv(name)) saved_ = value;
    }
    ~ScopedVariable()
    {
        if (saved_) ::setenv(name_, saved_->c_str(), 1);
        else ::unsetenv(name_);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

    void Set(const char* value) const { ::setenv(name_, value, 1); }
    void Unset() const { ::unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> saved_;
};

TEST(UserFoldersXdg, UserProfileFollowsXdgConfigHomeOrTheHomeFolder)
{
    const ScopedVariable config("XDG_CONFIG_HOME");
    const ScopedVariable home("HOME");
    home.Set("/home/someone");
    config.Set("/tmp/somewhere");
    EXPECT_EQ(UserProfilePath(), std::filesystem::path("/tmp/somewhere/quillbox/roms.ini"));
    // A relative folder is no valid setting and falls back to the home folder's, as does none.
    for (const char* setting : {"relative", ""}) {
        config.Set(setting);
        EXPECT_EQ(UserProfilePath(), std::filesystem::path("/home/someone/.config/quillbox/roms.ini")) << setting;
    }
    config.Unset();
    EXPECT_EQ(UserConfigFolder(), std::filesystem::path("/home/someone/.config"));
    home.Unset();
    EXPECT_TRUE(UserProfilePath().empty());
}

}  // namespace
}  // namespace quillbox
