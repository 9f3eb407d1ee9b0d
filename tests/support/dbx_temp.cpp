#include "support/dbx_temp.h"

#include <stdlib.h>

#include <stdexcept>
#include <system_error>

namespace dbxw {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillbox-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a scratch folder from " + pattern);
    }
    m_Path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_Path, ignored);
}

}  // namespace dbxw
