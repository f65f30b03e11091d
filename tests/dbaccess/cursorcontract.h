#pragma once

// The cursor behaviour both drivers share. Each test program that links
// cursorcontract_test.cpp defines contractSetup() for its own driver.

#include <QString>
#include <QStringList>

struct ContractSetup {
    QString service;
    QString user;
    QString password;
    QStringList tables;    // the table list, in order
    QString rowsTable;     // at least two rows; columns idColumn, textColumn, blobColumn
    QString idColumn;      // a NUMBER, 1 in the first row
    QString textColumn;    // a VARCHAR2, not Null in the first row
    QString blobColumn;    // a BLOB, not Null in the first row
    QByteArray firstBlob;  // its bytes in the first row
    QString emptyTable;
};

ContractSetup contractSetup();
