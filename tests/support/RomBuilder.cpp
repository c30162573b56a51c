#include "RomBuilder.h"

#include "rom/TmHmList.h"

#include "rom/GameFamily.h"
#include "base/HexText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

namespace quillbox::test {

namespace {

constexpr std::int64_t kRecordSize = 44;
constexpr std::int64_t kDescriptionPointer = 20;
constexpr std::int64_t kIndexField = 14;

std::string HexValue(std::int64_t value) { return "&H" + NumberToHex(static_cast<std::uint64_t>(value)); }

}  // namespace

RomBuilder::RomBuilder(std::string_view headerCode, std::int64_t size, Byte fill, FixtureTables tables)
    : headerCode_(headerCode), tables_(tables), bytes_(static_cast<std::size_t>(size), fill)
{
    if (size < kFreeArea + 0x100) {
        throw std::invalid_argument("a fixture needs room for its default description and free area");
    }
    std::copy(headerCode.begin(), headerCode.end(), bytes_.begin() + 0xAC);
    Put(kDefaultDescription, {0xBB, 0xFF});
    const GameFamily* family = FindGameFamily(GameCodeOf(headerCode));
    const int items = family != nullptr ? family->itemCount : 0;
    for (int position = 0; position < items; ++position) {
        PutPointer(Entry(position) + kDescriptionPointer, kDefaultDescription);
    }
    // Tables that pass the check made when a ROM is opened: each record's Index is its position,
    // every move name "A", the TMs and HMs teaching the moves they teach in every release, every
    // icon entry naming one compressed stream.
    if (items > 0 && Entry(items) <= size) {
        for (int position = 0; position < items; ++position) {
            PutLe16(Entry(position) + kIndexField, static_cast<std::uint16_t>(position));
        }
    }
    if (tables_.attackNames + 13 * 354 <= size) {
        for (int move = 0; move < 354; ++move) Put(tables_.attackNames + 13 * move, {0xBB, 0xFF});
    }
    if (tables_.tmData + 116 <= size) {
        for (int i = 0; i < 58; ++i) PutLe16(tables_.tmData + 2 * i, kReleasedTmHmMoves[static_cast<std::size_t>(i)]);
    }
    if (family != nullptr && family->hasImages && ImageEntry(items) <= size) {
        Put(kDefaultImage, {0x10, 0x00, 0x00, 0x00});
        for (int position = 0; position < items; ++position) {
            PutPointer(ImageEntry(position), kDefaultImage);
            PutPointer(ImageEntry(position) + 4, kDefaultImage);
        }
    }
}

std::int64_t RomBuilder::Entry(int position) const { return tables_.itemData + kRecordSize * position; }
std::int64_t RomBuilder::TmEntry(int position) const { return tables_.tmData + 2 * std::int64_t{position - 289}; }
std::int64_t RomBuilder::ImageEntry(int position) const { return tables_.imgData + 8 * std::int64_t{position}; }

RomBuilder& RomBuilder::Put(std::int64_t offset, std::span<const Byte> bytes)
{
    if (offset < 0 || offset + static_cast<std::int64_t>(bytes.size()) > Size()) {
        throw std::out_of_range("fixture bytes at " + std::to_string(offset) + " past the end");
    }
    std::copy(bytes.begin(), bytes.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
    return *this;
}

RomBuilder& RomBuilder::Put(std::int64_t offset, std::initializer_list<Byte> bytes)
{
    return Put(offset, std::span<const Byte>(bytes.begin(), bytes.size()));
}

RomBuilder& RomBuilder::Fill(std::int64_t offset, std::int64_t count, Byte value)
{
    return Put(offset, Bytes(static_cast<std::size_t>(count), value));
}

RomBuilder& RomBuilder::PutLe16(std::int64_t offset, std::uint16_t value)
{
    return Put(offset, {static_cast<Byte>(value & 0xFF), static_cast<Byte>(value >> 8)});
}

RomBuilder& RomBuilder::PutLe32(std::int64_t offset, std::uint32_t value)
{
    return Put(offset, {static_cast<Byte>(value), static_cast<Byte>(value >> 8), static_cast<Byte>(value >> 16),
                        static_cast<Byte>(value >> 24)});
}

RomBuilder& RomBuilder::PutPointer(std::int64_t offset, std::int64_t target)
{
    return PutLe32(offset, static_cast<std::uint32_t>(target + 0x08000000));
}

RomBuilder& RomBuilder::ProfileLines(std::string lines)
{
    extraProfileLines_ += lines;
    return *this;
}

RomBuilder& RomBuilder::ProfileText(std::string text)
{
    profileText_ = std::move(text);
    profileReplaced_ = true;
    return *this;
}

RomBuilder& RomBuilder::OmitImageTableFromProfile()
{
    writeImageTable_ = false;
    return *this;
}

std::filesystem::path RomBuilder::Write(const TempDir& dir, std::string_view name) const
{
    std::string profile = profileText_;
    if (!profileReplaced_) {
        profile = "; fixture profile\n[" + headerCode_ + "]\n";
        profile += "ItemData=" + HexValue(tables_.itemData) + "\n";
        profile += "AttackNames=" + HexValue(tables_.attackNames) + "\n";
        profile += "TMData=" + HexValue(tables_.tmData) + "\n";
        if (writeImageTable_) {
            profile += "IMGData=" + HexValue(tables_.imgData) + "\n";
        }
        profile += extraProfileLines_;
    }
    WriteTextFile(ProfilePath(dir), profile);
    return WriteFile(dir / name, bytes_);
}

Bytes PlainGameBytes(std::string_view ascii)
{
    Bytes bytes;
    for (const char c : ascii) {
        if (c >= 'A' && c <= 'Z') {
            bytes.push_back(static_cast<Byte>(0xBB + (c - 'A')));
        } else if (c >= 'a' && c <= 'z') {
            bytes.push_back(static_cast<Byte>(0xD5 + (c - 'a')));
        } else if (c >= '0' && c <= '9') {
            bytes.push_back(static_cast<Byte>(0xA1 + (c - '0')));
        } else if (c == ' ') {
            bytes.push_back(0x00);
        } else if (c == '.') {
            bytes.push_back(0xAD);
        } else {
            ADD_FAILURE() << "no plain game byte for '" << c << "'";
        }
    }
    return bytes;
}

}  // namespace quillbox::test
