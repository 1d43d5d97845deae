#include "QtAppFramework/NestedMainWindow.h"

#include "QtAppFramework/LayoutFile.h"

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

CNestedMainWindow::CNestedMainWindow(int nId, void* pData, QWidget* parent)
    : QMainWindow(parent), m_nId(nId), m_pData(pData)
{
}

void CNestedMainWindow::log1(const QString& strText, unsigned nType)
{
    static const log4cplus::Logger oLogger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("QtAppFamework"));
    LOG4CPLUS_INFO(oLogger, strText.toLocal8Bit().constData());
}

QString CNestedMainWindow::saveLayout(QString& strFileName)
{
    return CLayoutFile::save(this, CLayoutFile::completeName(strFileName, QLatin1String(LayoutExtension)));
}

QString CNestedMainWindow::loadLayout(QString& strFileName)
{
    return CLayoutFile::load(this, CLayoutFile::completeName(strFileName, QLatin1String(LayoutExtension)));
}

bool CNestedMainWindow::noAction()
{
    return true;
}
