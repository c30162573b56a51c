#include "platform/StandardStreams.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <streambuf>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace quillbox {

namespace {

// How many bytes at the start make whole UTF-8 characters; a character cut off at the end waits
// for the rest of its bytes.
std::size_t WholeCharacters(std::string_view bytes)
{
    for (std::size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
        const auto byte = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((byte & 0xC0) == 0x80) continue;
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? bytes.size() - back : bytes.size();
    }
    return bytes.size();
}

// Writes UTF-8 text to a console as UTF-16, which every console shows whatever its code page.
// Setting the console's code page to UTF-8 instead would outlast the program in the user's
// window, and consoles garble a character whose bytes arrive in two writes.
class ConsoleBuffer : public std::streambuf {
public:
    explicit ConsoleBuffer(HANDLE console) : console_(console) { setp(buffer_, buffer_ + sizeof buffer_); }
    ConsoleBuffer(const ConsoleBuffer&) = delete;
    ConsoleBuffer& operator=(const ConsoleBuffer&) = delete;
    ~ConsoleBuffer() override = default;

protected:
    int_type overflow(int_type c) override
    {
        if (WriteOut() != 0) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    int sync() override { return WriteOut(); }

private:
    int WriteOut()
    {
        const std::string_view pending(pbase(), static_cast<std::size_t>(pptr() - pbase()));
        const std::size_t whole = WholeCharacters(pending);
        if (whole > 0) {
            const int length = MultiByteToWideChar(CP_UTF8, 0, pending.data(), static_cast<int>(whole), nullptr, 0);
            std::wstring wide(static_cast<std::size_t>(length), L'\0');
            MultiByteToWideChar(CP_UTF8, 0, pending.data(), static_cast<int>(whole), wide.data(), length);
            for (std::size_t done = 0; done < wide.size();) {
                DWORD written = 0;
                const auto chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 8192));
                if (!WriteConsoleW(console_, wide.data() + done, chunk, &written, nullptr) || written == 0) return -1;
                done += written;
            }
        }
        const std::size_t rest = pending.size() - whole;
        std::memmove(buffer_, pbase() + whole, rest);
        setp(buffer_, buffer_ + sizeof buffer_);
        pbump(static_cast<int>(rest));
        return 0;
    }

    HANDLE console_;
    char buffer_[4096];
};

bool IsConsole(HANDLE handle)
{
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

// A stream that writes to a console while it lives.
class ConsoleStream {
public:
    ConsoleStream(std::ostream& stream, HANDLE console) : stream_(stream), buffer_(console)
    {
        stream_.flush();
        previous_ = stream_.rdbuf(&buffer_);
    }
    ~ConsoleStream()
    {
        stream_.flush();
        stream_.rdbuf(previous_);
    }
    ConsoleStream(const ConsoleStream&) = delete;
    ConsoleStream& operator=(const ConsoleStream&) = delete;

private:
    std::ostream& stream_;
    ConsoleBuffer buffer_;
    std::streambuf* previous_ = nullptr;
};

}  // namespace

struct StandardStreams::Consoles {
    std::optional<ConsoleStream> out;
    std::optional<ConsoleStream> err;
};

StandardStreams::StandardStreams() : consoles_(std::make_unique<Consoles>())
{
    // The C runtime's text mode would write every line feed as a carriage return and a line
    // feed, read them back as one, and take a Ctrl+Z byte for the end of the input.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    if (const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE); IsConsole(out)) consoles_->out.emplace(std::cout, out);
    if (const HANDLE err = GetStdHandle(STD_ERROR_HANDLE); IsConsole(err)) consoles_->err.emplace(std::cerr, err);
}

StandardStreams::~StandardStreams() = default;

}  // namespace quillbox
