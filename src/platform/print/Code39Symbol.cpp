#include "Code39Symbol.h"

#include <zint.h>

#include <cmath>
#include <memory>

namespace {
struct SymbolDeleter {
    void operator()(zint_symbol* s) const { ZBarcode_Delete(s); }
};

// libzint draws Code 39 with a 2:1 ratio: 12 modules a character and a one-module gap.
constexpr int ModulesPerCharacter = 13;
} // namespace

int Code39Symbol::modulesFor(int characters)
{
    return characters > 0 ? characters * ModulesPerCharacter - 1 : 0;
}

bool Code39Symbol::encode(const QString& data, QString* error)
{
    m_bars.clear();
    m_modules = 0;
    const QByteArray bytes = data.toLatin1();
    if (data.isEmpty() || QString::fromLatin1(bytes) != data) {
        if (error)
            *error = data.isEmpty() ? QStringLiteral("Code barre vide.")
                                    : QStringLiteral("Le code « %1 » ne peut pas être imprimé en Code 39.").arg(data);
        return false;
    }
    std::unique_ptr<zint_symbol, SymbolDeleter> symbol(ZBarcode_Create());
    if (!symbol) {
        if (error)
            *error = QStringLiteral("Mémoire insuffisante pour le code barre.");
        return false;
    }
    symbol->symbology = BARCODE_CODE39;
    symbol->show_hrt = 0;
    symbol->scale = 0.5f; // vector units are then modules
    const auto* raw = reinterpret_cast<const unsigned char*>(bytes.constData());
    int rc = ZBarcode_Encode(symbol.get(), raw, static_cast<int>(bytes.size()));
    if (rc < ZINT_ERROR)
        rc = ZBarcode_Buffer_Vector(symbol.get(), 0);
    if (rc >= ZINT_ERROR || !symbol->vector || symbol->width <= 0) {
        if (error)
            *error = QStringLiteral("Le code « %1 » ne peut pas être imprimé en Code 39 (%2).")
                         .arg(data, QString::fromLatin1(symbol->errtxt));
        return false;
    }
    // Guard against a libzint whose vector unit is not one module.
    const double unit = symbol->vector->width > 0 ? symbol->vector->width / symbol->width : 1.0;
    for (const zint_vector_rect* r = symbol->vector->rectangles; r; r = r->next) {
        Bar bar;
        bar.start = static_cast<int>(std::lround(r->x / unit));
        bar.width = static_cast<int>(std::lround(r->width / unit));
        if (bar.width > 0)
            m_bars.append(bar);
    }
    m_modules = symbol->width;
    return true;
}
