// What the viewer's text page shows of a raw message: the decoded content of its last
// text leaf (plain text or HTML source), up to the first zero byte. The desktop viewer
// and `quillbox-cli show` both take it from here, so they never differ.
#pragma once

#include <string>
#include <string_view>

[[nodiscard]] std::string GetTextPageContent(std::string_view rawText);
