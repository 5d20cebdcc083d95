#pragma once

#include <QListWidget>

// The files of one local folder (no sub-folders), every name shown unless a pattern is set. A long
// name is cut in its middle, keeping its extension in sight.
class FileListBox final : public QListWidget {
    Q_OBJECT
public:
    explicit FileListBox(QWidget* parent = nullptr);

    QString path() const { return m_path; }
    void setPath(const QString& path);
    // Patterns separated by ";" ("OKDI*.*"); the comparison ignores letter case.
    void setPattern(const QString& pattern);
    QString pattern() const { return m_pattern; }
    void refresh();
    // The current file's name, empty when no line is current.
    QString fileName() const;
    QStringList names() const;

private:
    QString m_path;
    QString m_pattern = QStringLiteral("*.*");
};
