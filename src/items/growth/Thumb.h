#pragma once

// The few Thumb (ARMv4T) encodings the code-site recognisers read and the rewrites write, as the
// ARM7TDMI's instruction set defines them. File offsets throughout; the cartridge maps offset 0
// at 0x08000000.

#include "base/Bytes.h"
#include "base/LittleEndian.h"
#include "rom/RomFile.h"

#include <cstdint>
#include <optional>
#include <span>

namespace quillbox::thumb {


inline std::uint16_t Half(std::span<const Byte> rom, std::int64_t at)
{
    return ReadLe16(rom, static_cast<std::size_t>(at));
}

inline bool Inside(std::span<const Byte> rom, std::int64_t at, std::int64_t size)
{
    return at >= 0 && size >= 0 && at + size <= static_cast<std::int64_t>(rom.size());
}

// `ldr rD, [pc, #imm8*4]`: the word it loads lies at ((address + 4) & ~3) + imm8*4.
inline bool IsPcLoad(std::uint16_t h) { return (h & 0xF800) == 0x4800; }
inline int PcLoadRegister(std::uint16_t h) { return (h >> 8) & 7; }
inline std::int64_t PcLoadTarget(std::int64_t at, std::uint16_t h) { return ((at + 4) & ~std::int64_t{3}) + 4 * (h & 0xFF); }
// The encoding of a load of the word at `word` from an instruction at `at`, if it can reach it.
inline std::optional<std::uint16_t> PcLoad(int reg, std::int64_t at, std::int64_t word)
{
    const std::int64_t base = (at + 4) & ~std::int64_t{3};
    const std::int64_t distance = word - base;
    if (word % 4 != 0 || distance < 0 || distance > 1020) return std::nullopt;
    return static_cast<std::uint16_t>(0x4800 | reg << 8 | distance / 4);
}

// `bl`: two halfwords, the high part of a 22-bit halfword offset from address + 4, then the low.
inline bool IsBl(std::span<const Byte> rom, std::int64_t at)
{
    return Inside(rom, at, 4) && (Half(rom, at) & 0xF800) == 0xF000 && (Half(rom, at + 2) & 0xF800) == 0xF800;
}
inline std::int64_t BlTarget(std::span<const Byte> rom, std::int64_t at)
{
    std::int32_t high = Half(rom, at) & 0x7FF;
    if (high & 0x400) high -= 0x800;
    const std::int32_t low = Half(rom, at + 2) & 0x7FF;
    return at + 4 + (static_cast<std::int64_t>(high) << 12) + (static_cast<std::int64_t>(low) << 1);
}
// The bytes of a `bl` at `at` to `target`; nothing past the instruction's +/-4 MiB reach.
inline std::optional<Bytes> Bl(std::int64_t at, std::int64_t target)
{
    const std::int64_t offset = target - (at + 4);
    if (offset % 2 != 0 || offset < -(std::int64_t{1} << 22) || offset >= (std::int64_t{1} << 22)) return std::nullopt;
    const auto high = static_cast<std::uint16_t>(0xF000 | ((offset >> 12) & 0x7FF));
    const auto low = static_cast<std::uint16_t>(0xF800 | ((offset >> 1) & 0x7FF));
    return Bytes{static_cast<Byte>(high & 0xFF), static_cast<Byte>(high >> 8), static_cast<Byte>(low & 0xFF),
                 static_cast<Byte>(low >> 8)};
}

// `b<cond>`: a signed 8-bit halfword offset from address + 4, the condition in bits 8-11 (0xE and
// 0xF are not conditions); `b`: a signed 11-bit one.
inline constexpr int kCondEq = 0x0;
inline constexpr int kCondNe = 0x1;
inline constexpr int kCondHi = 0x8;
inline constexpr int kCondLs = 0x9;
inline bool IsCondBranch(std::uint16_t h) { return (h & 0xF000) == 0xD000 && (h & 0x0F00) < 0x0E00; }
inline int BranchCondition(std::uint16_t h) { return (h >> 8) & 0xF; }
inline std::int64_t CondBranchTarget(std::int64_t at, std::uint16_t h) { return at + 4 + 2 * static_cast<std::int8_t>(h & 0xFF); }
inline bool IsB(std::uint16_t h) { return (h & 0xF800) == 0xE000; }
inline std::int64_t BTarget(std::int64_t at, std::uint16_t h)
{
    std::int32_t offset = h & 0x7FF;
    if (offset & 0x400) offset -= 0x800;
    return at + 4 + 2 * std::int64_t{offset};
}

// A return: `bx rN` or `pop {..., pc}`.
inline bool IsReturn(std::uint16_t h) { return (h & 0xFF87) == 0x4700 || (h & 0xFF00) == 0xBD00; }
// `push {..., lr}`: where a function saves its return address.
inline bool IsPushLr(std::uint16_t h) { return (h & 0xFF00) == 0xB500; }

inline constexpr std::uint16_t kNop = 0x46C0;  // mov r8, r8

inline void PutHalf(Bytes& bytes, std::size_t at, std::uint16_t h) { PutLittleEndian(bytes, at, h, 2); }

}  // namespace quillbox::thumb
