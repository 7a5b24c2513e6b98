#pragma once
// The stream title a metadata block announces (StreamTitle='...';), apart
// from the framing so that any block, however odd, can be read on its own.
#include <optional>
#include <string>
#include <string_view>

namespace icy {

// The StreamTitle value of one metadata block; nullopt when the block has
// none, so that a block of other keys leaves the title as it was. The value
// may itself hold quotes and semicolons: it ends at the "';" that is followed
// by the block's end or by the next key.
std::optional<std::string> streamTitleOf(std::string_view block);

}  // namespace icy
