// Commands that make files of their own: icon and sample-rom.
#include "cli/CliSession.h"
#include "image/Png.h"
#include "base/HexText.h"
#include "base/PathText.h"
#include "sample/SampleRom.h"

namespace quillbox {

int Icon(Session& session, const Arguments& args)
{
    if (args.size() != 2) return session.Fail("icon takes a ROM and a position", kExitUsage);
    const std::string& output = session.options.output;
    if (output.empty()) return session.Fail("icon needs -o FILE.png (- for standard output)", kExitUsage);
    int scale = 1;
    if (const std::string& text = session.options.scale; !text.empty()) {
        const bool digits = text.size() <= 2 && text.find_first_not_of("0123456789") == std::string::npos;
        scale = digits ? std::stoi(text) : 0;
    }
    if (scale < 1 || scale > 64) return session.Fail("--scale takes a whole number from 1 to 64", kExitUsage);
    auto rom = session.Open(args[0]);
    if (!rom) return kExitFailure;
    const auto position = ParsePosition(args[1], *rom);
    if (!position) return session.Fail(NoItemAt(args[1]));
    auto offsets = ReadImageOffsets(rom->state, *position);
    if (!offsets) return session.Fail(offsets.error());
    auto icon = ReadItemIcon(rom->state, static_cast<std::int64_t>(HexToNumber(offsets->imageOffsetText)),
                             static_cast<std::int64_t>(HexToNumber(offsets->paletteOffsetText)));
    if (!icon) return session.Fail(icon.error());
    // Each pixel becomes a square of scale by scale pixels, with no smoothing.
    const int size = kIconSize * scale;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size) * static_cast<std::size_t>(size));
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) pixels[static_cast<std::size_t>(y * size + x)] = icon->At(x / scale, y / scale);
    }
    if (output == "-") {
        auto png = EncodePng(size, size, pixels);
        if (!png) return session.Fail(png.error());
        session.out.write(reinterpret_cast<const char*>(png->data()), static_cast<std::streamsize>(png->size()));
        return kExitSuccess;
    }
    if (auto written = WritePng(PathFromText(output), size, size, pixels); !written) return session.Fail(written.error());
    return kExitSuccess;
}

int SampleRom(Session& session, const Arguments& args)
{
    if (args.size() != 1) return session.Fail("sample-rom takes one output file", kExitUsage);
    const std::string code = session.options.game.empty() ? std::string("BPRE") : session.options.game;
    SampleOptions sample;
    sample.hack = session.options.hack;
    if (const std::string& text = session.options.version; !text.empty()) {
        if (text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos || std::stoi(text) > 255) {
            return session.Fail("--version takes the version byte, a whole number from 0 to 255", kExitUsage);
        }
        sample.version = std::stoi(text);
    }
    if (auto written = WriteSampleRom(PathFromText(args[0]), code, sample); !written) {
        return session.Fail(written.error());
    }
    return kExitSuccess;
}

}  // namespace quillbox
