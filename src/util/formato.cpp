#include "formato.h"

#include <QRegularExpression>
#include <QStringDecoder>

#include <cmath>

namespace {

// Windows-1252: Latin-1 but for 0x80-0x9F.
const char16_t kAltos1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString NumeroConCerosLocal(int n, int ancho) { return QString::number(n).rightJustified(ancho, QLatin1Char('0')); }

std::optional<QLocale>& localFijado()
{
    static std::optional<QLocale> local;
    return local;
}

// Splits at ";" outside double quotes.
QStringList secciones(const QString& formato)
{
    QStringList partes;
    QString actual;
    bool comillas = false;
    for (QChar c : formato) {
        if (c == QLatin1Char('"'))
            comillas = !comillas;
        if (c == QLatin1Char(';') && !comillas) {
            partes << actual;
            actual.clear();
        } else {
            actual += c;
        }
    }
    partes << actual;
    return partes;
}

bool esMarcador(QChar c) { return c == QLatin1Char('0') || c == QLatin1Char('#'); }

// Formats |numero| with one numeric section; literals around the digits are kept.
QString formatoSeccion(double numero, const QString& seccion)
{
    const QLocale local = LocalNumeros();
    // Locate the digit pattern: from the first to the last placeholder, "," and "." included.
    qsizetype primero = -1, ultimo = -1;
    for (qsizetype i = 0; i < seccion.size(); ++i) {
        if (esMarcador(seccion[i])) {
            if (primero < 0)
                primero = i;
            ultimo = i;
        }
    }
    if (primero < 0)
        return QString(seccion).remove(QLatin1Char('"'));

    // A "." right after the last placeholder with none after it still marks decimals.
    const QString patron = seccion.mid(primero, ultimo - primero + 1);
    const QString prefijo = QString(seccion.left(primero)).remove(QLatin1Char('"'));
    const QString sufijo = QString(seccion.mid(ultimo + 1)).remove(QLatin1Char('"'));

    const qsizetype punto = patron.indexOf(QLatin1Char('.'));
    const QString entera = punto < 0 ? patron : patron.left(punto);
    const QString decimal = punto < 0 ? QString() : patron.mid(punto + 1);
    const bool agrupar = entera.contains(QLatin1Char(','));
    const int cerosEnteros = static_cast<int>(entera.count(QLatin1Char('0')));
    const int decimalesFijos = static_cast<int>(decimal.count(QLatin1Char('0')));
    const int decimalesMax = static_cast<int>(decimal.count(QLatin1Char('0')) + decimal.count(QLatin1Char('#')));

    QString texto = QString::number(std::fabs(numero), 'f', decimalesMax);
    QString parteEntera = texto;
    QString parteDecimal;
    const qsizetype p = texto.indexOf(QLatin1Char('.'));
    if (p >= 0) {
        parteEntera = texto.left(p);
        parteDecimal = texto.mid(p + 1);
    }
    while (parteDecimal.size() > decimalesFijos && parteDecimal.endsWith(QLatin1Char('0')))
        parteDecimal.chop(1);
    if (parteEntera == QLatin1String("0") && cerosEnteros == 0)
        parteEntera.clear();
    while (parteEntera.size() < cerosEnteros)
        parteEntera.prepend(QLatin1Char('0'));
    if (agrupar && parteEntera.size() > 3) {
        const QString sep = local.groupSeparator();
        for (qsizetype i = parteEntera.size() - 3; i > 0; i -= 3)
            parteEntera.insert(i, sep);
    }
    QString resultado = parteEntera;
    if (!parteDecimal.isEmpty())
        resultado += local.decimalPoint() + parteDecimal;
    return prefijo + resultado + sufijo;
}

bool esFormatoFecha(const QString& f)
{
    const QString l = f.toLower();
    return l.contains(QLatin1String("dd")) || l.contains(QLatin1String("yy")) || l.contains(QLatin1String("hh:"));
}

QString formatoFecha(const QDateTime& fh, const QString& formato)
{
    QString r;
    const QString f = formato.toLower();
    qsizetype i = 0;
    bool horaAntes = false;
    auto cuenta = [&](QChar c) {
        qsizetype n = 0;
        while (i + n < f.size() && f[i + n] == c)
            ++n;
        return n;
    };
    while (i < f.size()) {
        const QChar c = f[i];
        const qsizetype n = cuenta(c);
        if (c == QLatin1Char('d')) {
            r += n >= 2 ? NumeroConCerosLocal(fh.date().day(), 2) : QString::number(fh.date().day());
        } else if (c == QLatin1Char('m')) {
            const int v = horaAntes ? fh.time().minute() : fh.date().month();
            r += n >= 2 ? NumeroConCerosLocal(v, 2) : QString::number(v);
            horaAntes = false;
        } else if (c == QLatin1Char('y')) {
            r += n >= 4 ? QString::number(fh.date().year()) : NumeroConCerosLocal(fh.date().year() % 100, 2);
        } else if (c == QLatin1Char('h')) {
            r += n >= 2 ? NumeroConCerosLocal(fh.time().hour(), 2) : QString::number(fh.time().hour());
            horaAntes = true;
        } else if (c == QLatin1Char('n')) {
            r += n >= 2 ? NumeroConCerosLocal(fh.time().minute(), 2) : QString::number(fh.time().minute());
        } else if (c == QLatin1Char('s')) {
            r += n >= 2 ? NumeroConCerosLocal(fh.time().second(), 2) : QString::number(fh.time().second());
        } else {
            r += QString(n, formato[i]);
        }
        i += n;
    }
    return r;
}

}  // namespace

QLocale LocalNumeros()
{
    if (localFijado())
        return *localFijado();
    const QLocale sistema = QLocale::system();
    if (sistema.language() == QLocale::C)
        return QLocale(QLocale::Spanish, QLocale::Spain);
    return sistema;
}

void FijarLocalNumeros(const QLocale& local) { localFijado() = local; }

QString Formato(double numero, const QString& formato)
{
    const QStringList s = secciones(formato);
    if (numero == 0 && s.size() >= 3)
        return formatoSeccion(0, s[2]);
    if (numero < 0) {
        if (s.size() >= 2 && !s[1].isEmpty())
            return formatoSeccion(numero, s[1]);
        const QString t = formatoSeccion(numero, s[0]);
        // No own section: the positive one with the sign in front, unless it rounds to zero.
        return t.contains(QRegularExpression(QStringLiteral("[1-9]"))) ? QLatin1Char('-') + t : t;
    }
    return formatoSeccion(numero, s[0]);
}

QString Formato(const Valor& valor, const QString& formato)
{
    if (valor.esNulo())
        return {};
    if (formato.compare(QLatin1String("Yes/No"), Qt::CaseInsensitive) == 0)
        return valor.aBooleano() ? QStringLiteral("Sí") : QStringLiteral("No");
    if (formato.compare(QLatin1String("True/False"), Qt::CaseInsensitive) == 0)
        return valor.aBooleano() ? QStringLiteral("Verdadero") : QStringLiteral("Falso");
    const Valor::Tipo t = valor.tipo();
    if (t == Valor::Tipo::Fecha || t == Valor::Tipo::FechaHora
        || (t == Valor::Tipo::Texto && esFormatoFecha(formato) && valor.aFechaHora().isValid())) {
        if (formato.isEmpty())
            return valor.aTexto();
        return formatoFecha(valor.aFechaHora(), formato);
    }
    if (t == Valor::Tipo::Texto) {
        std::optional<double> n = LeerNumero(valor.aTexto());
        if (!n || formato.isEmpty())
            return valor.aTexto();
        return Formato(*n, formato);
    }
    if (formato.isEmpty()) {
        if (t == Valor::Tipo::Numero) {
            QString texto = QString::number(valor.aNumero(), 'g', 15);
            return texto.replace(QLatin1Char('.'), LocalNumeros().decimalPoint());
        }
        return valor.aTexto();
    }
    return Formato(valor.aNumero(), formato);
}

std::optional<double> LeerNumero(const QString& texto)
{
    QString t = texto.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    const QLocale local = LocalNumeros();
    bool ok = false;
    double v = local.toDouble(t, &ok);
    if (ok && std::isfinite(v))
        return v;
    // Grouping marks placed anywhere, as people type them ("1.234,5" or "1234,5").
    QString sinGrupos = t;
    sinGrupos.remove(local.groupSeparator());
    const QString decimal = local.decimalPoint();
    sinGrupos.replace(decimal, QStringLiteral("."));
    static const QRegularExpression numero(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)$"));
    if (!numero.match(sinGrupos).hasMatch())
        return std::nullopt;
    v = sinGrupos.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

bool EsNumerico(const QString& texto) { return LeerNumero(texto).has_value(); }

QString DecodificarTexto8Bits(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString texto = utf8.decode(bytes);
    if (!utf8.hasError())
        return texto;
    texto.clear();
    texto.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        texto += QChar(b >= 0x80 && b < 0xA0 ? kAltos1252[b - 0x80] : char16_t(b));
    }
    return texto;
}

QByteArray CodificarWindows1252(const QString& texto)
{
    QByteArray r;
    r.reserve(texto.size());
    for (QChar c : texto) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u < 0x100)) {
            r += static_cast<char>(u);
            continue;
        }
        char b = '?';
        for (int i = 0; i < 32; ++i) {
            if (kAltos1252[i] == u)
                b = static_cast<char>(0x80 + i);
        }
        r += b;
    }
    return r;
}
