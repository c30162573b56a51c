#include "cli/CliSession.h"

#include "base/PathText.h"
#include "items/addition/ItemAddition.h"
#include "text/GameText.h"

#include <cctype>

namespace quillbox {

namespace {

bool SameLetters(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
}

// An item given by position or by the one name it alone bears (letters in any case).
std::optional<int> ItemByPositionOrName(const std::string& given, const OpenedRom& rom)
{
    if (const auto position = ParsePosition(given, rom)) return position;
    std::optional<int> found;
    for (std::size_t position = 0; position < rom.itemNames.size(); ++position) {
        std::string name = ToUtf8(rom.itemNames[position]);
        while (!name.empty() && name.back() == ' ') name.pop_back();
        if (!SameLetters(name, given)) continue;
        if (found) return std::nullopt;
        found = static_cast<int>(position);
    }
    return found;
}

std::optional<int> WholeNumber(const std::string& text)
{
    if (text.empty() || text.size() > 6) return std::nullopt;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

int AddItem(Session& session, const Arguments& args)
{
    const CliOptions& options = session.options;
    if (args.size() != 1 || options.like.empty()) {
        return session.Fail("add-item takes a ROM and --like ITEM (a position or a name)", kExitUsage);
    }
    const auto count = options.count.empty() ? std::optional<int>(1) : WholeNumber(options.count);
    if (!count || *count < 1) return session.Fail("--count takes a whole number of 1 or more, not \"" + options.count + "\"", kExitUsage);
    const auto id = options.id.empty() ? std::optional<int>() : WholeNumber(options.id);
    if (!options.id.empty() && !id) return session.Fail("--id takes an item id, not \"" + options.id + "\"", kExitUsage);
    if (id && options.append) return session.Fail("--id and --append exclude each other", kExitUsage);

    auto rom = session.Open(args[0]);
    if (!rom) return kExitFailure;
    const auto like = ItemByPositionOrName(options.like, *rom);
    if (!like) return session.Fail(NoItemAt(options.like));
    std::vector<std::pair<std::string, ColumnInput>> values;
    for (const auto& [key, value] : {std::pair{"name", &options.name}, std::pair{"price", &options.price},
                                     std::pair{"description", &options.description}, std::pair{"pocket", &options.pocket}}) {
        if (*value) values.emplace_back(key, ColumnInput::Typed(**value));
    }
    auto request = NewItemRequestFrom(*rom, *like, values);
    if (!request) return session.Fail(request.error());
    request->shareDescription = options.shareDescription && !options.description;
    if (!options.icon.empty()) request->icon = PathFromText(options.icon);
    request->count = *count;
    request->append = options.append;
    request->id = id;
    request->replaceUnknownCharacters = options.replaceUnknown;

    auto plan = options.dryRun ? PlanItemAddition(rom->state, *request) : AddItems(rom->state, *request);
    if (!plan) {
        if (plan.error().code == ErrorCode::UnknownCharacters) return session.Fail(plan.error(), kReplaceUnknownHint);
        return session.Fail(plan.error());
    }
    for (const int position : plan->positions) session.out << position << '\n';
    return kExitSuccess;
}

}  // namespace quillbox
