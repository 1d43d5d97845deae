// One received "$PQQEL" control datagram: validity, checksum, command id and fields.
#pragma once

#include <cstddef>
#include <string>

class CQaDatagram {
public:
    // Copies the text up to and including its first carriage return; never fails (an unusable
    // text gives an invalid datagram). A null pointer counts as an empty text.
    explicit CQaDatagram(const char* szDatagram);
    virtual ~CQaDatagram();
    CQaDatagram(const CQaDatagram&) = delete;
    CQaDatagram& operator=(const CQaDatagram&) = delete;

    // Clears strOut and puts field nIndex (1 = the keyword) into it. False when the field was
    // taken; true when it is missing or empty, nIndex is below 1 or the datagram is invalid.
    bool getField(int nIndex, std::string& strOut) const;
    // The id of the keyword in field 1; -1 for an unknown, missing or empty keyword and for an
    // invalid datagram.
    int getCommandId() const;

    bool isValid() const { return m_bValid; }
    bool hasChecksum() const { return m_bHasChecksum; }
    bool checksumOk() const { return m_bChecksumOk; }
    // The bytes kept (up to and including the first carriage return).
    const std::string& text() const { return m_strText; }

    // The keyword of an id; null for an id not in the table.
    static const char* keyword(int nId);

private:
    std::string m_strText;
    bool m_bValid = false;
    bool m_bHasChecksum = false;
    bool m_bChecksumOk = false;
    std::size_t m_nDataEnd = 0; // where the fields end: the '*', the line feed, or the text's end
};
