#pragma once

#include "items/record/ItemOperations.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace quillbox {

// Which items of one ROM use each field and battle routine. Derived from the item table itself,
// so it holds for every release and for hacks that add routines of their own.
class RoutineGroups {
public:
    static RoutineGroups Of(std::span<const ItemView> items);

    // The items whose routine pointer is `routine` (the whole pointer, as the fields read it), ascending.
    std::span<const int> FieldRoutineUsers(std::uint32_t routine) const;
    std::span<const int> BattleRoutineUsers(std::uint32_t routine) const;

    std::span<const Text> Names() const { return names_; }

private:
    // The users of each routine side by side, ordered by routine and then by position: one sort
    // of the table instead of a list of its own for every routine.
    struct Users {
        std::vector<std::uint32_t> routines;  // each routine once, ascending
        std::vector<std::size_t> starts;      // where each routine's users begin, and the end
        std::vector<int> positions;

        static Users Of(std::vector<std::pair<std::uint32_t, int>> byRoutine);
        std::span<const int> Find(std::uint32_t routine) const;
    };
    Users field_;
    Users battle_;
    std::vector<Text> names_;
};

// The groups of the open ROM, worked out again only when its item records have changed since they
// last were, so that showing an item does not decode the whole table.
Result<std::shared_ptr<const RoutineGroups>> RoutineGroupsOf(const RomState& state);
// The same from the ROM opened with OpenOpenedRom.
Result<std::shared_ptr<const RoutineGroups>> RoutineGroupsOf(const RomState& state, RomFile& file);

// What a routine pointer of an item names, in words: "used by 38 items: POTION, SUPER POTION, …"
// (the item itself among them), "no other item uses this routine", "no routine" for a null
// pointer, or "not a routine in this ROM" for any other that names no place inside the file that
// Thumb code can start at (0x08000000 among them). `routine` is the whole pointer.
std::string DescribeRoutineUsers(const RoutineGroups& groups, std::span<const int> users, int position,
                                 std::uint32_t routine, std::int64_t romSize);

// "Use like…": the edit that gives `position` the routine of the item at `model` — both routine
// pointers whole, the battle usage that says whether the battle routine runs, the fields they
// read (type and secondary id), and nothing else.
ItemEdit UseLike(const ItemView& model);

}  // namespace quillbox
