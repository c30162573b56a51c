#include "items/record/RoutineGroups.h"

#include "items/record/ItemFields.h"
#include "items/record/ItemTable.h"
#include "base/HexText.h"
#include "rom/PointerScan.h"

#include <algorithm>
#include <mutex>

namespace quillbox {

namespace {

constexpr std::size_t kNamesShown = 6;

}  // namespace

RoutineGroups::Users RoutineGroups::Users::Of(std::vector<std::pair<std::uint32_t, int>> byRoutine)
{
    std::sort(byRoutine.begin(), byRoutine.end());
    Users users;
    users.positions.reserve(byRoutine.size());
    for (const auto& [routine, position] : byRoutine) {
        if (users.routines.empty() || users.routines.back() != routine) {
            users.routines.push_back(routine);
            users.starts.push_back(users.positions.size());
        }
        users.positions.push_back(position);
    }
    users.starts.push_back(users.positions.size());
    return users;
}

std::span<const int> RoutineGroups::Users::Find(std::uint32_t routine) const
{
    const auto found = std::lower_bound(routines.begin(), routines.end(), routine);
    if (found == routines.end() || *found != routine) return {};
    const auto k = static_cast<std::size_t>(found - routines.begin());
    return std::span<const int>(positions).subspan(starts[k], starts[k + 1] - starts[k]);
}

RoutineGroups RoutineGroups::Of(std::span<const ItemView> items)
{
    const RecordField& fieldRoutine = *FindRecordField("fieldUsageCodePointer");
    const RecordField& battleRoutine = *FindRecordField("battleUsageCodePointer");
    std::vector<std::pair<std::uint32_t, int>> field;
    std::vector<std::pair<std::uint32_t, int>> battle;
    field.reserve(items.size());
    battle.reserve(items.size());
    RoutineGroups groups;
    groups.names_.reserve(items.size());
    for (const ItemView& item : items) {
        field.emplace_back(fieldRoutine.read(item), item.position);
        battle.emplace_back(battleRoutine.read(item), item.position);
        groups.names_.push_back(item.name);
    }
    groups.field_ = Users::Of(std::move(field));
    groups.battle_ = Users::Of(std::move(battle));
    return groups;
}

std::span<const int> RoutineGroups::FieldRoutineUsers(std::uint32_t routine) const { return field_.Find(routine); }

std::span<const int> RoutineGroups::BattleRoutineUsers(std::uint32_t routine) const { return battle_.Find(routine); }

Result<std::shared_ptr<const RoutineGroups>> RoutineGroupsOf(const RomState& state)
{
    auto file = OpenOpenedRom(state);
    if (!file) return file.error();
    return RoutineGroupsOf(state, *file);
}

Result<std::shared_ptr<const RoutineGroups>> RoutineGroupsOf(const RomState& state, RomFile& file)
{
    // Kept by the item records themselves: a file's time of writing may be kept in whole seconds
    // (the browser's), and another program may write it, so neither the time nor a count of our
    // own writes tells reliably that the groups are stale; reading 16 KiB does. The bytes are
    // compared whole, which is exact and several times quicker than a checksum of them.
    struct Cached {
        std::filesystem::path path;
        Bytes records;
        std::shared_ptr<const RoutineGroups> groups;
    };
    static std::mutex lock;
    static Cached cached;

    const int count = state.ItemCount();
    auto records = file.ReadAt(state.itemTableOffset, std::int64_t{kItemRecordSize} * count);
    if (!records) return records.error();
    const std::lock_guard guard(lock);
    if (cached.groups && cached.path == state.romPath && cached.records == *records) {
        return cached.groups;
    }
    std::vector<ItemView> items;
    items.reserve(static_cast<std::size_t>(count));
    const std::span<const Byte> bytes(*records);
    for (std::size_t position = 0; position < static_cast<std::size_t>(count); ++position) {
        items.push_back(DecodeItemRecord(static_cast<int>(position), bytes.subspan(position * kItemRecordSize, kItemRecordSize)));
    }
    auto groups = std::make_shared<const RoutineGroups>(RoutineGroups::Of(items));
    cached = {state.romPath, std::move(*records), groups};
    return groups;
}

std::string DescribeRoutineUsers(const RoutineGroups& groups, std::span<const int> users, int position,
                                 std::uint32_t routine, std::int64_t romSize)
{
    if (routine == 0) return "no routine";
    // Item routines are Thumb code: the pointer is odd and names a place inside the file. One
    // that is not 0 is called, whatever its six digits say: 0x08000000 runs the ROM's header.
    const std::int64_t offset = std::int64_t{routine} - kRomBase;
    if (routine % 2 == 0 || routine < kRomBase || routine >= kRomAddressEnd || offset >= romSize) {
        return "not a routine in this ROM";
    }
    const bool others = std::any_of(users.begin(), users.end(), [position](int user) { return user != position; });
    if (!others) return "no other item uses this routine";
    std::string text = "used by " + std::to_string(users.size()) + " items: ";
    const auto names = groups.Names();
    for (std::size_t i = 0; i < users.size() && i < kNamesShown; ++i) {
        const auto at = static_cast<std::size_t>(users[i]);
        text += (i == 0 ? "" : ", ") + ToUtf8(at < names.size() ? names[at] : Text());
    }
    if (users.size() > kNamesShown) text += ", …";
    return text;
}

ItemEdit UseLike(const ItemView& model)
{
    ItemEdit edit;
    for (std::string_view key : {"fieldUsageCodePointer", "battleUsage", "battleUsageCodePointer", "type", "secondaryId"}) {
        const RecordField& field = *FindRecordField(key);
        field.write(edit, field.read(model));
    }
    return edit;
}

}  // namespace quillbox
