// Numbered status fields: a label with a read-only text box each, shown or hidden one by one.
#pragma once

#include <QLineEdit>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QWidget>

class StatusInformationWidget : public QObject {
    Q_OBJECT
public:
    explicit StatusInformationWidget(QObject* parent = nullptr);
    ~StatusInformationWidget() override;

    // Creates field nItem with its label, as children of poParent; an existing field stays.
    void addItem(int nItem, const QString& strLabel, QWidget* poParent);
    QLineEdit* itemEdit(int nItem) const;
    QWidget* itemLabel(int nItem) const;

    // A field number not in the map is ignored by both.
    void setItemVisible(int nItem, bool bVisible);
    void setItemText(int nItem, QString strText);

private:
    // The fields' widgets belong to their parent widget too, which may delete them first.
    QMap<int, QPair<QPointer<QLineEdit>, QPointer<QWidget>>> m_mapItems;
};
