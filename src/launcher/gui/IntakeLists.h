#pragma once

#include <QGroupBox>

class FileListBox;
class QListWidget;

// The request intake's working lists (Frame8): the validation files (FileOKDI), the requests the
// last loading read (ListDI) and the request files (FileDI). Never a stop for the keyboard.
class IntakeLists final : public QGroupBox {
    Q_OBJECT
public:
    explicit IntakeLists(QWidget* parent);

    void showRequests(const QStringList& numbers); // ListDI

private:
    QListWidget* m_requests = nullptr;
};
