#include "mime/mime_email.h"

#include "mime/mime_scan.h"
#include "platform/text.h"

void CMimeEmail::Reset() {
    m_Contents.clear();
    m_ContentsBuilt = false;
    CMimeMessage::Reset();
}

void CMimeEmail::BuildContents() {
    if (m_ContentsBuilt) {
        return;
    }
    m_ContentsBuilt = true;
    m_Contents.clear();

    std::vector<const CMimeBody*> leaves;
    CollectLeaves(leaves);
    for (const CMimeBody* leaf : leaves) {
        // Only the type decides, not the name or disposition: a named text part is listed.
        if (!StartsWithNoCase(leaf->GetFieldValue("Content-Type").value_or("text"), "text")) {
            continue;
        }
        const std::string_view subType = leaf->GetSubType();
        CMimeEmailContent::Kind kind = CMimeEmailContent::ContentNone;
        if (StartsWithNoCase(subType, "plain")) {
            kind = CMimeEmailContent::ContentPlainText;
        } else if (StartsWithNoCase(subType, "html")) {
            kind = CMimeEmailContent::ContentHtml;
        } else {
            continue;
        }
        m_Contents.emplace_back(kind, leaf->GetContent(), leaf->GetCharsetParameter());
    }
}

std::span<CMimeEmailContent> CMimeEmail::GetContents() {
    BuildContents();
    return m_Contents;
}
