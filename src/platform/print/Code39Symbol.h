#pragma once

#include <QList>
#include <QString>

// The bars of one Code 39 symbol (start and stop characters included), in modules, as libzint
// encodes them.
class Code39Symbol final {
public:
    struct Bar {
        int start = 0; // first module of the bar
        int width = 0; // in modules
    };

    // Encodes `data` (without the asterisks). Returns false with a French `error` when libzint
    // refuses it, for example an empty code or a character Code 39 cannot carry.
    bool encode(const QString& data, QString* error);

    const QList<Bar>& bars() const { return m_bars; }
    int modules() const { return m_modules; }

    // Modules of `characters` Code 39 characters (with their gaps), for text with no bars.
    static int modulesFor(int characters);

private:
    QList<Bar> m_bars;
    int m_modules = 0;
};
