// File logger with size-limited rotation and echo on standard output; command-line options.
#pragma once

#include <fstream>
#include <string>

namespace gcn {

class IRecursiveMutex {
public:
    virtual ~IRecursiveMutex() = default;
    virtual void lock() {}
    virtual void unlock() {}
};

class ILogger {
public:
    virtual ~ILogger() = default;
    virtual void log(const char* szText, unsigned short nType) = 0;
    virtual void log(const char* szText) = 0;
};

} // namespace gcn

class CLogger : public gcn::ILogger {
public:
    // Output bits.
    enum : unsigned short {
        StdOut = 1,
        File = 2,
        DebugString = 4,
        Udp = 8,
        Gui = 16,
    };

    static constexpr const char* DefaultFileName = "c:/temp/_logger_default.log";

    // Neither constructor opens the file; an empty name gives DefaultFileName.
    CLogger(const char* szFileName, int nFileSizeMax, gcn::IRecursiveMutex* poMutex);
    explicit CLogger(gcn::IRecursiveMutex* poMutex);
    ~CLogger() override;
    CLogger(const CLogger&) = delete;
    CLogger& operator=(const CLogger&) = delete;

    void log(const char* szText, unsigned short nType) override;
    void log(const char* szText) override;
    virtual void setFlags(unsigned short nFlags);
    virtual void clearFlags(unsigned short nFlags);
    virtual bool hasFlags(unsigned short nFlags);
    virtual void enable();
    virtual void disable();
    virtual bool isEnabled();

    // Reopens the file under the new name when file output is on.
    void setFileName(const std::string& strName);
    void setFileSizeMax(int nMax);
    std::string fileName();
    int fileSizeMax();
    unsigned short msgTypeMask();

protected:
    class CLock {
    public:
        explicit CLock(gcn::IRecursiveMutex* poMutex) : m_poMutex(poMutex)
        {
            if (m_poMutex)
                m_poMutex->lock();
        }
        ~CLock()
        {
            if (m_poMutex)
                m_poMutex->unlock();
        }
        CLock(const CLock&) = delete;
        CLock& operator=(const CLock&) = delete;

    private:
        gcn::IRecursiveMutex* m_poMutex;
    };

    void openFile();
    void closeFile();
    void renameToOld();

    bool m_bEnabled = true;
    unsigned short m_nFlags = 0;
    int m_nBytesWritten = 0;
    int m_nFileSizeMax;
    bool m_bAborted = false;
    std::string m_strFileName;
    std::fstream m_oFile;
    gcn::IRecursiveMutex* m_poMutex;
    unsigned short m_nMsgTypeMask = 0xFFFF;
};

// Reads the option that pattern names ("-name %s %i ...") from the command line into the
// targets that follow. Result: 0 bad pattern, 1 option not present, 2 option found.
// Conversions: %c char*, %i int*, %l long*, %d double*, %s char** (points into argv; null when
// the argument list has ended), %x int* (hex). A target whose argument is missing is left as it
// is (except %s); an unknown conversion ends the scan.
int ReadArg(int argc, char** argv, const char* szPattern, ...);
