#pragma once

#include <memory>

namespace quillbox {

// The standard streams of a command-line program, set up while this lives and put back after.
// Bytes pass unchanged both ways: what std::cin reads and std::cout writes is never translated,
// so exported data, a PNG and text with line feeds arrive as written. Where standard output or
// standard error is a console that shows bytes through a code page, the UTF-8 text written to
// std::cout or std::cerr is shown as the characters it holds instead.
class StandardStreams {
public:
    StandardStreams();
    ~StandardStreams();
    StandardStreams(const StandardStreams&) = delete;
    StandardStreams& operator=(const StandardStreams&) = delete;

private:
    struct Consoles;
    std::unique_ptr<Consoles> consoles_;
};

}  // namespace quillbox
