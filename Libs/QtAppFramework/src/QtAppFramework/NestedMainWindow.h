// Main window used inside another window; saves and restores its layout in ".qel5" files.
#pragma once

#include <QMainWindow>
#include <QString>

class CNestedMainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* LayoutExtension = ".qel5";

    // nId and pData are kept for the derived window; pData is not owned.
    CNestedMainWindow(int nId, void* pData, QWidget* parent = nullptr);

    int id() const { return m_nId; }
    void* data() const { return m_pData; }

    // Writes one information line to the framework's log4cplus logger, whatever nType.
    virtual void log1(const QString& strText, unsigned nType);

public slots:
    // Both return an empty text on success, else the error text; the name gets ".qel5" when
    // it lacks it (the given text is not changed).
    QString saveLayout(QString& strFileName);
    QString loadLayout(QString& strFileName);
    bool noAction();

private:
    int m_nId;
    void* m_pData;
};
