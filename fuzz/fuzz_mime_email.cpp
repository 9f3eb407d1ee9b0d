// Whole messages: the body tree, the list of text and HTML bodies and their tag stripping,
// as the viewer and the exports use them one after another.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mime/mime_email.h"
#include "mime/tag_strip.h"
#include "mime/transfer_codec.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    RegisterStandardCodecs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1 << 18) {
        return 0;
    }
    // An exact-size copy, so that a read one byte past the text is caught.
    const std::vector<char> text(data, data + size);
    CMimeEmail email;
    const std::int32_t taken = email.Parse(text.data(), std::int32_t(size));
    if (taken > 0 && std::size_t(taken) > size) {
        __builtin_trap();
    }

    std::vector<const CMimeBody*> leaves;
    email.CollectLeaves(leaves);
    for (const CMimeBody* leaf : leaves) {
        (void)leaf->GetMediaKind();
        (void)leaf->GetNameParameter();
    }
    for (const CMimeEmailContent& content : email.GetContents()) {
        if (content.GetTextData()[content.GetLength()] != '\0') {
            __builtin_trap();
        }
    }
    email.StripDocumentTags();
    for (const CMimeEmailContent& content : email.GetContents()) {
        if (content.GetTextData()[content.GetLength()] != '\0') {
            __builtin_trap();
        }
    }
    (void)StripDocumentTags(std::string_view(text.data(), text.size()));

    const std::int32_t estimate = email.EstimateSize();
    if (estimate > 0 && estimate <= 1 << 24) {
        std::vector<char> out(static_cast<std::size_t>(estimate));
        const std::int32_t written = email.Serialize(out.data(), estimate);
        if (written > estimate) {
            __builtin_trap();
        }
    }
    return 0;
}
