#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class Dialogs;

// The question the file manager asks before it transfers or deletes: the selected names, each on
// its own line under a singular or plural sentence.
class SelectionConfirmation final {
public:
    // Each selected line preceded by a line feed, in list order.
    static QString nameList(const QStringList& lines, const QList<int>& selectedRows);

    // The singular sentence while the list holds at most two lines in all, selected or not.
    static QString question(int lineCount, const QString& singular, const QString& plural);

    // Asks the yes/no question; returns the answer and fills `nameList`.
    static int ask(Dialogs& dialogs, const QStringList& lines, const QList<int>& selectedRows, const QString& singular,
                   const QString& plural, QString& nameList);
};
