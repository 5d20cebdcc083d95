#pragma once

#include "DownloadView.h"

#include <QStringList>

// What the update run needs of whoever shows it, beyond the download itself: the remote list as
// it is read, and the moment the connection counts as made.
class UpdateView : public DownloadView {
public:
    // `append`: the lines go after what the list holds (the login folder's first listing does).
    virtual void showRemoteList(const QStringList& lines, bool append) = 0;
    // False where nobody sees the list: the login folder is then not listed at all (it would cost
    // the run two exchanges and a data connection).
    virtual bool showsRemoteList() const { return true; }
    virtual void showConnected() = 0;
};
