#include "../ConsoleText.h"

void writeText(std::FILE* stream, const QString& text)
{
    // Terminals and logs here are UTF-8 alike.
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}
