// Input: arbitrary bytes read as UTF-8 text. Encoding never fails and writes one byte per token:
// each byte stands for one to four characters, and decoding the bytes and encoding them again
// gives the same bytes (0x2B aside), so no token was split or merged.

#include "ExpectedRoundTrip.h"
#include "FuzzSupport.h"

#include "text/GameText.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view utf8(reinterpret_cast<const char*>(data), size);
    const quillbox::Text text = quillbox::FromUtf8(utf8);
    QUILLBOX_FUZZ_CHECK(text.size() <= utf8.size());
    QUILLBOX_FUZZ_CHECK(quillbox::FromUtf8(quillbox::ToUtf8(text)) == text);

    const std::vector<std::uint8_t> encoded = quillbox::EncodeGameText(text);
    // The longest token, "[Lv]" or a "\h" escape, is four characters.
    QUILLBOX_FUZZ_CHECK(encoded.size() <= text.size());
    QUILLBOX_FUZZ_CHECK(encoded.size() * 4 >= text.size());

    const quillbox::Text decoded = quillbox::DecodeGameText(encoded);
    QUILLBOX_FUZZ_CHECK(quillbox::EncodeGameText(decoded) == quillbox::fuzz::ExpectedAfterRoundTrip(encoded));
    return 0;
}
