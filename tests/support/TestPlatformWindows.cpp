#include "TestPlatform.h"

#include "base/PathText.h"

#include <cstdlib>

#include <windows.h>

namespace quillbox::test {

namespace {

// One argument as the C runtime of the started program splits it back out of the command line:
// in quotes, with backslashes doubled where a quote follows them.
std::wstring Quoted(const std::wstring& argument)
{
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, L'\\');
    out.push_back(L'"');
    return out;
}

}  // namespace

int RunProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments)
{
    std::wstring commandLine = Quoted(program.wstring());
    for (const std::string& argument : arguments) commandLine += L" " + Quoted(PathFromText(argument).wstring());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return -1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    const bool known = GetExitCodeProcess(process.hProcess, &status) != 0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return known ? static_cast<int>(status) : -1;
}

bool ReadOnlyFoldersStopThisUser() { return false; }

ScopedEnvironment::ScopedEnvironment(const char* name, const char* value) : name_(name)
{
    if (const char* old = std::getenv(name)) saved_ = old;
    _putenv_s(name, value);
}

ScopedEnvironment::~ScopedEnvironment() { _putenv_s(name_.c_str(), saved_ ? saved_->c_str() : ""); }

std::string_view SpreadsheetRecordEnd() { return "\r\n"; }

// The wide environment, so that a user name outside the ANSI code page arrives whole.
ScopedUserSettingsFolder::ScopedUserSettingsFolder(const std::filesystem::path& folder)
{
    if (const wchar_t* value = _wgetenv(L"APPDATA")) saved_ = std::filesystem::path(value);
    _wputenv_s(L"APPDATA", folder.c_str());
}

ScopedUserSettingsFolder::~ScopedUserSettingsFolder() { _wputenv_s(L"APPDATA", saved_ ? saved_->c_str() : L""); }

}  // namespace quillbox::test
