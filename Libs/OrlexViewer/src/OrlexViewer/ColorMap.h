// A colour gradient that turns survey values into colours.
#pragma once

#include <QObject>

class ColorMap : public QObject
{
    Q_OBJECT
public:
    explicit ColorMap(QObject* poParent = nullptr);
    ~ColorMap() override;
};
