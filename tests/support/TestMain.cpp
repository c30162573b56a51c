// Every core test program runs with a home and a config folder of its own, so a user's
// profile, kept tables or history never change an outcome and no test writes into them.
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

void SetEnvironment(const char* name, const std::filesystem::path& value)
{
#if defined(_WIN32)
    _putenv_s(name, value.string().c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

}  // namespace

int main(int argc, char** argv)
{
    const quillbox::test::TempDir home;
    std::filesystem::create_directories(home / ".config");
    std::filesystem::create_directories(home / "AppData");
    SetEnvironment("HOME", home.Path());
    SetEnvironment("XDG_CONFIG_HOME", home / ".config");
    SetEnvironment("APPDATA", home / "AppData");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
