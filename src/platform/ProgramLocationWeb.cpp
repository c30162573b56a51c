#include "platform/ProgramLocation.h"

#include <string>

#include <emscripten.h>

namespace quillbox {

namespace {

// Under node the program is the script node was started with; a page in a browser has no
// program file, and the script tells so with 0.
EM_JS(int, ScriptPathUtf8, (char* buffer, int size), {
    if (typeof process !== 'object' || !process.argv || process.argv.length < 2) return 0;
    var path = require('path').resolve(process.argv[1]);
    stringToUTF8(path, buffer, size);
    return lengthBytesUTF8(path);
});

}  // namespace

std::filesystem::path RunningProgramFile()
{
    std::string buffer(4096, '\0');
    const int length = ScriptPathUtf8(buffer.data(), static_cast<int>(buffer.size()));
    if (length <= 0 || length >= static_cast<int>(buffer.size())) return {};
    buffer.resize(static_cast<std::size_t>(length));
    return std::filesystem::path(std::u8string(buffer.begin(), buffer.end()));
}

}  // namespace quillbox
