// The table that picks a codec for a Content-Transfer-Encoding value.
//
// It maps encoding names to creator functions. RegisterStandardCodecs fills it at start-up,
// before any message is parsed; afterwards it is only read. Every name without an entry
// ("7bit", "8bit", "binary", a missing field) decodes as the identity.
#pragma once

#include <memory>
#include <string_view>

#include "mime/mime_code.h"

using TransferCodecCreator = std::unique_ptr<CMimeCodeBase> (*)();

// Registers "quoted-printable" and "base64", and the field codecs (field_codec.h). Calling
// it again leaves the same tables.
void RegisterStandardCodecs();

// Drops every entry named `name` (ASCII case-insensitively), then adds the creator, if not
// null, in front of the others.
void RegisterTransferCodec(std::string_view name, TransferCodecCreator creator);

// A new codec for the encoding name, compared whole and case-insensitively (no trimming: a
// value with a trailing blank finds nothing). An empty name counts as "7bit". Never null.
[[nodiscard]] std::unique_ptr<CMimeCodeBase> CreateTransferCodec(std::string_view name);
