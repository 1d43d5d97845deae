// Registers and opens the user-object database connection "tvgpl" once per process.
#pragma once

#include <QObject>

class CUserObjDB : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The first call registers the connection and opens "userobjects.sqlite" of the data folder
    // (never creating it); it returns whether the database is open. Later calls return true.
    bool open();
};
