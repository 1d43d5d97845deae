// Edits the vertices of a plan line or polygon as a table in one of three coordinate formats, with
// a free runtime-parameter text.
#pragma once

#include <QDialog>
#include <QStringList>

#include <vector>

class QButtonGroup;
class QPlainTextEdit;
class QTableWidget;

class CEditObjDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CEditObjDlg(int nPoints);

    // (east, north) pairs; unless bKeepStored they become the dialog's points.
    void setPoints(std::vector<float>& points, bool bKeepStored);
    void setRuntimeParams(const QString& strText);
    QString getRuntimeParams() const;
    // After accept: east, north, east, north, ... as text, in metres.
    const QStringList& coordinateList() const { return m_result; }
    QTableWidget* table() const { return m_pTable; }
    QButtonGroup* formatButtons() const { return m_pFormatGroup; }

signals:
    void clicked(int nRadio);

public slots:
    void onAddPoint();
    void onDeletePoint(int nRow);
    void onRadio(int nRadio);
    void accept() override;

private:
    void showPairs(const std::vector<double>& values);
    void fitTable();

    std::vector<float> m_points;
    int m_nPoints = 0;
    QStringList m_result;
    QTableWidget* m_pTable = nullptr;
    QPlainTextEdit* m_pRuntime = nullptr;
    QButtonGroup* m_pFormatGroup = nullptr;
    int m_nFormat = 2;
};
