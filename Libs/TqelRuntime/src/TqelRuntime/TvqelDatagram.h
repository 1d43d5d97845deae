// One "$"-sentence of the sounder runtime ("$TVQEL" replies and events, GGA positions): the
// line, its validity and optional checksum, and its comma-separated fields by position.
#pragma once

#include <cstddef>
#include <string>

class CTvqelDatagram {
public:
    // Takes the first line of szLine: up to its first line feed (bLineFeedMode) or carriage
    // return, or up to its end. In carriage-return mode a valid sentence ends with a line feed and
    // a carriage return and contains "$TVQEL"; in line-feed mode every line starting with "$" is
    // valid. A null pointer gives an invalid, empty sentence.
    CTvqelDatagram(const char* szLine, bool bLineFeedMode);
    virtual ~CTvqelDatagram();
    CTvqelDatagram(const CTvqelDatagram&) = delete;
    CTvqelDatagram& operator=(const CTvqelDatagram&) = delete;

    // Field nIndex (1 = the field after the first comma). The getters return false on success
    // and true when the sentence is invalid or the field is missing or empty; the numeric ones
    // also fail for a field of 256 or more bytes and then leave the value at 0. Numbers are read
    // like the C library's decimal conversions ("12abc" gives 12, "abc" gives 0).
    bool getInt(int nIndex, int* pnValue);
    bool getFloat(int nIndex, float* pfValue);
    // Appends the field to strText (not cleared first).
    bool getString(int nIndex, std::string& strText);

    bool isValid() const { return m_bValid; }
    bool hasChecksum() const { return m_bHasChecksum; }
    // A wrong checksum is recorded here; the sentence stays valid.
    bool checksumOk() const { return m_bChecksumOk; }
    int length() const { return m_nLength; }

private:
    // The start of field nIndex and its length; false when it is missing.
    bool findField(int nIndex, std::size_t& nStart, std::size_t& nLength) const;
    // Copies the field into the field buffer; false when it is missing, empty or too long.
    bool copyField(int nIndex);

    static constexpr std::size_t FieldBufferSize = 256;

    std::string m_strText; // the copied line, its stop byte included
    int m_nLength = 0;
    bool m_bValid = false;
    bool m_bHasChecksum = false;
    bool m_bChecksumOk = false;
    std::size_t m_nDataEnd = 0;
    char m_szField[FieldBufferSize] = {};
};
