#include "mime/transfer_codec.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "mime/field_codec.h"
#include "mime/mime_char.h"

namespace {

struct CTransferCodecEntry {
    std::string m_Name;
    TransferCodecCreator m_Creator;
};

std::vector<CTransferCodecEntry>& Registry() {
    static std::vector<CTransferCodecEntry> entries;
    return entries;
}

template <typename Codec>
std::unique_ptr<CMimeCodeBase> Create() {
    return std::make_unique<Codec>();
}

}  // namespace

void RegisterTransferCodec(std::string_view name, TransferCodecCreator creator) {
    auto& entries = Registry();
    std::erase_if(entries, [name](const CTransferCodecEntry& entry) {
        return EqualsNoCase(entry.m_Name, name);
    });
    if (creator != nullptr) {
        entries.insert(entries.begin(), CTransferCodecEntry{std::string(name), creator});
    }
}

void RegisterStandardCodecs() {
    RegisterTransferCodec("quoted-printable", &Create<CMimeCodeQP>);
    RegisterTransferCodec("base64", &Create<CMimeCodeBase64>);
    RegisterStandardFieldCodecs();
}

std::unique_ptr<CMimeCodeBase> CreateTransferCodec(std::string_view name) {
    if (name.empty()) {
        name = "7bit";
    }
    for (const auto& entry : Registry()) {
        if (EqualsNoCase(entry.m_Name, name)) {
            if (auto codec = entry.m_Creator()) {
                return codec;
            }
            break;
        }
    }
    return std::make_unique<CMimeCodeBase>();
}
