#include "mailbox/hyper_string.h"

#include <algorithm>
#include <cstring>

#include "platform/code_page.h"
#include "platform/text.h"

void CZHyperString::Empty() {
    if (m_pText) {
        m_pText[0] = 0;
    }
    if (m_pWide) {
        m_pWide[0] = 0;
    }
}

void CZHyperString::SetType(std::int32_t type) {
    if (type == m_nType) {
        return;
    }
    if (m_nType == TypeWide) {
        m_pWide.reset();
        m_nCapacity = 0;
    } else if (type == TypeWide) {
        m_pText.reset();
        m_nCapacity = 0;
    }
    m_nType = type;
}

void CZHyperString::Reserve(std::int32_t n, bool keep) {
    if (n <= 0 || n <= m_nCapacity) {
        return;
    }
    if (n - m_nCapacity < m_nGrowBy) {
        // Growth by at least the step; saturate rather than overflow.
        n = m_nCapacity > INT32_MAX - m_nGrowBy ? INT32_MAX : m_nCapacity + m_nGrowBy;
    }
    if (m_nType == TypeWide) {
        auto fresh = std::make_unique<char16_t[]>(std::size_t(n));
        if (keep && m_pWide && m_nCapacity > 0) {
            std::copy_n(m_pWide.get(), m_nCapacity, fresh.get());
        }
        m_pWide = std::move(fresh);
    } else {
        auto fresh = std::make_unique<char[]>(std::size_t(n));
        if (keep && m_pText && m_nCapacity > 0) {
            std::copy_n(m_pText.get(), m_nCapacity, fresh.get());
        }
        m_pText = std::move(fresh);
    }
    m_nCapacity = n;
}

void CZHyperString::SetText(const char* bytes, std::int32_t length) {
    SetType(TypeAnsi);
    Empty();
    if (length < 0 || (length > 0 && !bytes)) {
        return;
    }
    if (length == INT32_MAX) {
        return;  // no room for the terminator
    }
    Reserve(length + 1, false);
    if (length > 0) {
        std::memcpy(m_pText.get(), bytes, std::size_t(length));
    }
    m_pText[length] = 0;
}

void CZHyperString::SetWide(std::u16string_view text) {
    SetType(TypeWide);
    Empty();
    if (text.size() >= std::size_t(INT32_MAX)) {
        return;
    }
    const auto length = std::int32_t(text.size());
    Reserve(length + 1, false);
    std::copy(text.begin(), text.end(), m_pWide.get());
    m_pWide[length] = 0;
}

void CZHyperString::SetCodePageText(const char* text, std::uint32_t codePage) {
    SetType(codePage != 0 ? TypeCodePage : TypeAnsi);
    m_nCodePage = codePage;
    Empty();
    if (text == nullptr) {
        return;
    }
    const std::size_t length = std::strlen(text);
    if (length >= static_cast<std::size_t>(INT32_MAX)) {
        return;
    }
    if (!m_pText) {
        m_nCapacity = 0;  // a capacity without a buffer would make Reserve keep nothing
    }
    Reserve(static_cast<std::int32_t>(length + 1), false);
    std::memcpy(m_pText.get(), text, length);
    m_pText[length] = 0;
}

void CZHyperString::ShrinkToFit() {
    const std::int32_t length = GetTextLength();
    // A full buffer without a terminator has no room to drop.
    if (length + 1 >= m_nCapacity) {
        return;
    }
    if (m_pWide) {
        auto fresh = std::make_unique<char16_t[]>(std::size_t(length) + 1);
        std::copy_n(m_pWide.get(), length, fresh.get());
        fresh[length] = 0;
        m_pWide = std::move(fresh);
    } else if (m_pText) {
        auto fresh = std::make_unique<char[]>(std::size_t(length) + 1);
        std::copy_n(m_pText.get(), length, fresh.get());
        fresh[length] = 0;
        m_pText = std::move(fresh);
    } else {
        return;
    }
    m_nCapacity = length + 1;
}

void CZHyperString::Copy(const CZHyperString& other) {
    if (this == &other) {
        return;
    }
    m_pText.reset();
    m_pWide.reset();
    m_nType = other.m_nType;
    m_nGrowBy = other.m_nGrowBy;
    m_nCodePage = other.m_nCodePage;
    m_nCapacity = other.m_nCapacity;
    if (other.m_pText) {
        m_pText = std::make_unique<char[]>(std::size_t(other.m_nCapacity));
        std::copy_n(other.m_pText.get(), other.m_nCapacity, m_pText.get());
    }
    if (other.m_pWide) {
        m_pWide = std::make_unique<char16_t[]>(std::size_t(other.m_nCapacity));
        std::copy_n(other.m_pWide.get(), other.m_nCapacity, m_pWide.get());
    }
}

std::int32_t CZHyperString::GetTextLength() const {
    if (m_pText) {
        return std::int32_t(GetTextView().size());
    }
    if (m_pWide) {
        return std::int32_t(GetWideView().size());
    }
    return 0;
}

std::string_view CZHyperString::GetTextView() const {
    if (!m_pText) {
        return {};
    }
    return CutAtZero({m_pText.get(), std::size_t(m_nCapacity)});
}

std::u16string_view CZHyperString::GetWideView() const {
    if (!m_pWide) {
        return {};
    }
    return CutAtZero({m_pWide.get(), std::size_t(m_nCapacity)});
}

bool CZHyperString::ToWide() {
    if (m_nType == TypeWide) {
        return true;
    }
    std::unique_ptr<char16_t[]> wide;
    if (m_nCapacity > 0 && m_pText) {
        // GetTextLength never reads past the buffer, even without a terminator.
        const std::int32_t length = GetTextLength();
        wide = std::make_unique<char16_t[]>(std::size_t(m_nCapacity));
        if (m_nType == TypeCodePage) {
            if (length > 0) {
                const int written = MultiByteToWide(m_nCodePage, m_pText.get(), length, wide.get(),
                                                    m_nCapacity - 1);
                if (written == 0) {
                    return false;
                }
                wide[written] = 0;
            } else if (!IsCodePageAvailable(m_nCodePage)) {
                return false;
            }
        } else {
            const auto* bytes = reinterpret_cast<const unsigned char*>(m_pText.get());
            for (std::int32_t i = 0; i < length; ++i) {
                wide[i] = char16_t(bytes[i]);
            }
            if (length < m_nCapacity) {
                wide[length] = 0;
            }
        }
    }
    m_pText.reset();
    m_pWide = std::move(wide);
    if (!m_pWide) {
        m_nCapacity = 0;
    }
    m_nType = TypeWide;
    return true;
}

bool CZHyperString::ToWide(std::uint32_t ansiCodePage) {
    if (m_nType != TypeAnsi || ansiCodePage == 0) {
        return ToWide();
    }
    const std::uint32_t previous = m_nCodePage;
    m_nType = TypeCodePage;
    m_nCodePage = ansiCodePage;
    if (ToWide()) {
        return true;
    }
    m_nType = TypeAnsi;
    m_nCodePage = previous;
    return ToWide();
}

const char16_t* CZHyperString::GetWide() {
    if (!ToWide()) {
        return u"";
    }
    return GetWideText();
}

bool CZHyperString::ToCodePage(std::uint32_t codePage) {
    if (!ToWide()) {
        return false;
    }
    const std::u16string_view wide = GetWideView();
    if (!m_pWide) {
        return true;
    }
    std::unique_ptr<char[]> bytes;
    int size = 1;
    if (!wide.empty()) {
        const int needed = WideToMultiByte(codePage, wide.data(), int(wide.size()), nullptr, 0);
        if (needed <= 0) {
            return false;
        }
        size = needed + 1;
        bytes = std::make_unique<char[]>(std::size_t(size));
        const int written =
            WideToMultiByte(codePage, wide.data(), int(wide.size()), bytes.get(), needed);
        if (written <= 0) {
            return false;
        }
        bytes[written] = 0;
    } else {
        bytes = std::make_unique<char[]>(1);
        bytes[0] = 0;
    }
    m_pWide.reset();
    m_pText = std::move(bytes);
    m_nCapacity = size;
    m_nType = TypeCodePage;
    m_nCodePage = codePage;
    return true;
}

void CZHyperString::ReplaceChar(char16_t from, char16_t to) {
    if (m_pText) {
        if (from > 0xFF || to > 0xFF) {
            return;  // no byte can hold it
        }
        const char narrowFrom = char(from);
        const char narrowTo = char(to);
        for (std::int32_t i = 0, n = GetTextLength(); i < n; ++i) {
            if (m_pText[i] == narrowFrom) {
                m_pText[i] = narrowTo;
            }
        }
    } else if (m_pWide) {
        for (std::int32_t i = 0, n = GetTextLength(); i < n; ++i) {
            if (m_pWide[i] == from) {
                m_pWide[i] = to;
            }
        }
    }
}

void CZHyperString::SanitizeFileName() {
    auto bad = [](unsigned unit) {
        return unit < 32 || unit == ':' || unit == '?' || unit == '/' || unit == '\\' ||
               unit == '*' || unit == '"' || unit == '<' || unit == '>' || unit == '|';
    };
    const std::int32_t n = GetTextLength();
    if (m_pText) {
        for (std::int32_t i = 0; i < n; ++i) {
            if (bad(static_cast<unsigned char>(m_pText[i]))) {
                m_pText[i] = '_';
            }
        }
    } else if (m_pWide) {
        for (std::int32_t i = 0; i < n; ++i) {
            if (bad(m_pWide[i])) {
                m_pWide[i] = u'_';
            }
        }
    }
}
