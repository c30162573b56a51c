// "Add Item…": a new item copied from another, in the first unused id that suits it, shown once
// it is written.
#include "editor/EditorSessionData.h"

#include "items/addition/ItemAddition.h"

namespace quillbox {

using namespace session_parts;

std::string EditorSession::AddItemQuestion() const { return std::string(kAddItemQuestion); }

SessionStep EditorSession::AddItem(int model, std::string_view name)
{
    Data& data = *data_;
    if (!data.rom) return WithMessage(UnsupportedRomMessage());
    std::vector<std::pair<std::string, ColumnInput>> values;
    // An empty name keeps the model's.
    if (!name.empty()) values.emplace_back("name", ColumnInput::Typed(std::string(name)));
    auto request = NewItemRequestFrom(*data.rom, model, values);
    if (!request) return WithError(request.error());
    auto added = AddItems(data.rom->state, *request);
    if (!added) return WithError(added.error());
    if (added->grown) return ReopenAndShow(added->positions.front());
    return ShowWritten(added->positions.front(), std::nullopt);
}

SessionStep EditorSession::ReopenAndShow(int position)
{
    Data& data = *data_;
    auto opened = OpenRom(data.rom->state.romPath, OpenOptions{data.profiles, std::nullopt});
    if (!opened) {
        SessionStep step = WithError(opened.error());
        step.written = true;
        return step;
    }
    data.ForgetShown();
    data.rom = std::move(*opened);
    data.rom->state.keepHistory = data.keepHistory;
    return ShowWritten(position, std::nullopt);
}

}  // namespace quillbox
