#include "mime/viewer_text.h"

#include <cstdint>
#include <vector>

#include "mime/mime_body.h"
#include "platform/text.h"

std::string GetTextPageContent(std::string_view rawText) {
    rawText = CutAtZero(rawText);
    CMimeMessage message;
    // Whatever tree the parse produced is shown, even for a malformed message.
    message.Parse(rawText.data(), static_cast<std::int32_t>(rawText.size()));
    std::vector<const CMimeBody*> leaves;
    message.CollectLeaves(leaves);
    std::string text;
    for (const CMimeBody* leaf : leaves) {
        if (leaf->IsText()) {
            text.clear();
            leaf->GetContentString(text);
        }
    }
    // Cut in place: the content of a huge message is not copied once more.
    text.resize(CutAtZero(text).size());
    return text;
}
