#pragma once

#include "base/Error.h"
#include "base/HexText.h"
#include "rom/RomFile.h"

#include <cstdint>
#include <filesystem>
#include <functional>

namespace quillbox {

// Where ReadHex and WriteHex report a failure on the spot; the window shows it as a box titled
// "Error: " and the number, tests record it. May be empty: the failure is then only returned.
using ErrorReporter = std::function<void(const Error&)>;

// `count` bytes at `offset` as hex text; empty text on any failure (reported), including a read
// that reaches past the end of the file. A count of 0 or less gives empty text.
HexString ReadHex(const std::filesystem::path& path, std::int64_t offset, std::int64_t count,
                  const ErrorReporter& report);

// Writes hex text (either case; an odd length gets a leading "0") at `offset`. Unlike a
// pair-by-pair write, the whole text is checked first: bad digits or a write past the end of the
// file are reported and nothing is written. Returns whether the bytes were written and flushed.
bool WriteHex(const std::filesystem::path& path, std::int64_t offset, std::string_view text,
              const ErrorReporter& report);

// The bytes a hex text stands for, or BadHexText; an odd length gets a leading "0".
Result<Bytes> HexToBytes(std::string_view text);

}  // namespace quillbox
