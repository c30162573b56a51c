#include "platform/StandardStreams.h"

namespace quillbox {

// Streams here carry bytes as they are, and terminals take UTF-8.
struct StandardStreams::Consoles {};

StandardStreams::StandardStreams() = default;
StandardStreams::~StandardStreams() = default;

}  // namespace quillbox
