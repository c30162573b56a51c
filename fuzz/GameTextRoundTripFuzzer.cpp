// Input: arbitrary bytes of game text. Decoding them and encoding the result must give back the
// same bytes (0x2B aside), and the decoded text must survive the trip through UTF-8 unchanged.

#include "ExpectedRoundTrip.h"
#include "FuzzSupport.h"

#include "text/GameText.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    const quillbox::Text decoded = quillbox::DecodeGameText(bytes);
    const std::vector<std::uint8_t> encoded = quillbox::EncodeGameText(decoded);
    QUILLBOX_FUZZ_CHECK(encoded == quillbox::fuzz::ExpectedAfterRoundTrip(bytes));
    QUILLBOX_FUZZ_CHECK(quillbox::FromUtf8(quillbox::ToUtf8(decoded)) == decoded);
    return 0;
}
