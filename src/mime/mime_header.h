// Header fields and the header block of a message or body part.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// CMimeHeaderField is one "Name: value" field. It holds the name exactly as written before
// the colon, the value with its encoded words decoded to raw bytes (folding CR LF and the
// continuation blanks kept), and the charset of the value's first encoded word, empty when
// there is none. ParseFrom builds it from the text of one field; SerializeTo writes it
// back, turning the non-ASCII runs of the value into encoded words of that charset.
class CMimeHeaderField {
public:
    CMimeHeaderField() = default;
    CMimeHeaderField(std::string name, std::string value, std::string charset = {})
        : m_Name(std::move(name)), m_Value(std::move(value)), m_Charset(std::move(charset)) {}

    [[nodiscard]] const std::string& GetName() const { return m_Name; }
    [[nodiscard]] const std::string& GetValue() const { return m_Value; }
    [[nodiscard]] const std::string& GetCharset() const { return m_Charset; }
    void SetName(std::string_view name) { m_Name.assign(name); }
    void SetValue(std::string_view value) { m_Value.assign(value); }
    void SetCharset(std::string_view charset) { m_Charset.assign(charset); }

    // Reads the field at the start of `text`; returns the bytes taken, through the CR LF
    // that ends the field, or 0 when it has none.
    std::int32_t ParseFrom(const char* text, std::int32_t length);
    // Writes name, ": ", the encoded value and CR LF; returns the bytes written, or 0 when
    // even the name does not fit. A value that does not fit is cut.
    std::int32_t SerializeTo(char* buffer, std::int32_t capacity) const;
    // An upper bound of what SerializeTo writes; -1 past 32 bits.
    [[nodiscard]] std::int32_t EstimateSize() const;

    // The span of a parameter's raw value in m_Value, quotes included.
    bool FindParameter(std::string_view name, std::size_t& start, std::size_t& length) const;
    // The parameter without one pair of surrounding quote marks. When it is absent, `text`
    // is emptied and the result is false.
    bool GetParameter(std::string_view name, std::string& text) const;
    // The value up to the first ';', without the whitespace before it.
    void GetValueWithoutParameters(std::string& text) const;

    friend bool operator==(const CMimeHeaderField&, const CMimeHeaderField&) = default;

private:
    std::string m_Name;
    std::string m_Value;
    std::string m_Charset;
};

// CMimeHeader holds the fields of one header block in the order they were written;
// duplicate names are all kept. Parse reads them from text up to the empty line that ends
// the block, appending to what the object already holds; Serialize writes them back
// followed by that empty line, into a buffer sized with EstimateSize. CMimeBody derives
// from it, so the virtual operations also stand for a whole body part.
class CMimeHeader {
public:
    CMimeHeader() = default;
    CMimeHeader(const CMimeHeader&) = default;
    CMimeHeader& operator=(const CMimeHeader&) = default;
    virtual ~CMimeHeader() = default;

    // Removes all fields.
    virtual void Reset();
    // An upper bound of the bytes Serialize writes; negative past 32 bits.
    [[nodiscard]] virtual std::int32_t EstimateSize() const;
    // Returns the bytes written; 0 or negative when something did not fit.
    virtual std::int32_t Serialize(char* buffer, std::int32_t capacity) const;
    // Returns the offset just past the CR LF of the empty line, or the length when the text
    // ends first; 0 when a field has no terminating CR LF. The fields read before a failure
    // stay.
    virtual std::int32_t Parse(const char* text, std::int32_t length);

    // Texts of 2 GiB or more, which the 32-bit interface cannot carry, parse as nothing.
    std::int32_t Parse(std::string_view text);
    // Serialize into a string sized by EstimateSize; "" when that fails.
    [[nodiscard]] std::string SerializeToString() const;

    // The first field of that name, compared ASCII case-insensitively, or null.
    [[nodiscard]] const CMimeHeaderField* FindField(std::string_view name) const;
    [[nodiscard]] CMimeHeaderField* FindField(std::string_view name);

    [[nodiscard]] const std::vector<CMimeHeaderField>& GetFields() const { return m_Fields; }
    void AddField(CMimeHeaderField field) { m_Fields.push_back(std::move(field)); }

protected:
    std::vector<CMimeHeaderField> m_Fields;
};
