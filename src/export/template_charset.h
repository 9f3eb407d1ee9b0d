// The code page a template declares with "charset=", as step 4 of the wizard and the
// CLI find it when the user leaves the charset to the template.
#pragma once

#include <cstdint>
#include <string_view>

// 0 when the text declares none, or a charset the code page table does not know.
[[nodiscard]] std::uint32_t FindTemplateCharset(std::string_view text);
