#include "platform/Arguments.h"

#include <windows.h>
#include <shellapi.h>

namespace quillbox {

namespace {

std::string Utf8Of(const wchar_t* text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    utf8.resize(static_cast<std::size_t>(size - 1));
    return utf8;
}

}  // namespace

// argv holds the arguments in the ANSI code page, which loses every character outside it; the
// wide command line has them all.
std::vector<std::string> ProgramArguments(int argc, char* argv[])
{
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(Utf8Of(wide[i]));
    LocalFree(wide);
    return arguments;
}

}  // namespace quillbox
