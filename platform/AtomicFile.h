#pragma once
// Replacing a file's whole content so that no failure loses the old one: the
// text goes to a new file beside the target, every write, the flush to disk
// and the close are checked, and only then does a rename replace the target
// (keeping its permissions). Only a regular file is replaced: a FIFO, device,
// socket or folder of the name is refused and left as it is. A failed write
// (no room, no permission, a crash half-way) leaves the old file as it was
// and no temporary file behind.
#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// False when anything failed; `error` (when given) then says what, e.g.
// "Cannot write <file>: No space left on device".
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view content, std::string* error = nullptr);

}  // namespace platform
