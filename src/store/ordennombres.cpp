#include "ordennombres.h"

#include "motor.h"

namespace ordennombres {

namespace {

// Accented letters and their plain letter. Ñ becomes N followed by the last ASCII character, so
// that it sorts after every N and before O. Only replacements with built-in functions: the key
// must come out the same in every client.
struct Cambio {
    const char16_t* letra;
    const char* clave;
};
const Cambio kCambios[] = {
    {u"á", "a"}, {u"Á", "a"}, {u"à", "a"}, {u"À", "a"}, {u"é", "e"}, {u"É", "e"}, {u"è", "e"}, {u"È", "e"},
    {u"í", "i"}, {u"Í", "i"}, {u"ï", "i"}, {u"Ï", "i"}, {u"ó", "o"}, {u"Ó", "o"}, {u"ò", "o"}, {u"Ò", "o"},
    {u"ú", "u"}, {u"Ú", "u"}, {u"ü", "u"}, {u"Ü", "u"}, {u"ç", "c"}, {u"Ç", "c"}, {u"ñ", "n\x7f"}, {u"Ñ", "n\x7f"},
};

QString ClaveSQL(const char* clave)
{
    const QString c = QString::fromLatin1(clave);
    if (c.endsWith(QChar(0x7f)))
        return motor::CitarTexto(c.chopped(1)) + QStringLiteral("||char(127)");
    return motor::CitarTexto(c);
}

}  // namespace

QString Clave(const QString& nombre, bool postgres)
{
    QString k = nombre;
    for (const Cambio& c : kCambios)
        k.replace(QString::fromUtf16(c.letra), QString::fromLatin1(c.clave));
    if (postgres)
        for (QChar& c : k)
            if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
                c = QChar(c.unicode() + 32);
    return k;
}

QString ExpresionClave(const QString& columna, bool postgres)
{
    QString e = motor::CitarIdentificador(columna);
    if (postgres)
        e = QStringLiteral("(%1 COLLATE ucs_basic)").arg(e);
    for (const Cambio& c : kCambios)
        e = QStringLiteral("replace(%1,%2,%3)").arg(e, motor::CitarTexto(QString::fromUtf16(c.letra)), ClaveSQL(c.clave));
    if (postgres)
        return QStringLiteral("lower(%1) COLLATE ucs_basic").arg(e);
    return e + QStringLiteral(" COLLATE NOCASE");
}

QString FinDePrefijo(const QString& clave)
{
    // The greatest code point: no name goes on with anything above it.
    static const char32_t ultimo = 0x10FFFF;
    return clave + QString::fromUcs4(&ultimo, 1);
}

bool EmpiezaPor(const QString& nombre, const QString& texto)
{
    return nombre.size() >= texto.size() && nombre.left(texto.size()).toUpper() == texto.toUpper();
}

bool MismoNombre(const QString& a, const QString& b) { return a.size() == b.size() && EmpiezaPor(a, b); }

QString CrearIndice(const QString& tabla, const QString& indice, const QString& antes, const QString& columna, bool postgres)
{
    return QStringLiteral("CREATE INDEX %1 ON %2 (%3%4, %5)")
        .arg(motor::CitarIdentificador(indice), motor::CitarIdentificador(tabla),
             antes.isEmpty() ? QString() : antes + QStringLiteral(", "), ExpresionClave(columna, postgres),
             motor::CitarIdentificador(columna));
}

}  // namespace ordennombres
