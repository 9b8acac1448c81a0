#include "valor.h"

#include <cmath>

bool Valor::esNumerico() const
{
    const Tipo t = tipo();
    return t == Tipo::Booleano || t == Tipo::Entero || t == Tipo::Numero;
}

qint64 Valor::aEntero() const
{
    switch (tipo()) {
    case Tipo::Booleano: return std::get<bool>(m_dato) ? 1 : 0;
    case Tipo::Entero: return std::get<qint64>(m_dato);
    case Tipo::Numero: {
        const double d = std::get<double>(m_dato);
        return std::isfinite(d) ? static_cast<qint64>(std::llround(d)) : 0;
    }
    case Tipo::Texto: {
        bool ok = false;
        const QString s = std::get<QString>(m_dato).trimmed();
        const qint64 v = s.toLongLong(&ok);
        if (ok)
            return v;
        const double d = s.toDouble(&ok);
        return ok && std::isfinite(d) ? static_cast<qint64>(std::llround(d)) : 0;
    }
    default: return 0;
    }
}

double Valor::aNumero() const
{
    switch (tipo()) {
    case Tipo::Booleano: return std::get<bool>(m_dato) ? 1 : 0;
    case Tipo::Entero: return static_cast<double>(std::get<qint64>(m_dato));
    case Tipo::Numero: return std::get<double>(m_dato);
    case Tipo::Texto: return std::get<QString>(m_dato).trimmed().toDouble();
    default: return 0;
    }
}

bool Valor::aBooleano() const
{
    switch (tipo()) {
    case Tipo::Booleano: return std::get<bool>(m_dato);
    case Tipo::Entero: return std::get<qint64>(m_dato) != 0;
    case Tipo::Numero: return std::get<double>(m_dato) != 0;
    case Tipo::Texto: {
        const QString s = std::get<QString>(m_dato).trimmed().toLower();
        return s == QLatin1String("true") || s == QLatin1String("verdadero") || s == QLatin1String("1")
            || s == QLatin1String("-1");
    }
    default: return false;
    }
}

QString Valor::aTexto() const
{
    switch (tipo()) {
    case Tipo::Booleano: return std::get<bool>(m_dato) ? QStringLiteral("True") : QStringLiteral("False");
    case Tipo::Entero: return QString::number(std::get<qint64>(m_dato));
    case Tipo::Numero: return QString::number(std::get<double>(m_dato), 'g', 15);
    case Tipo::Texto: return std::get<QString>(m_dato);
    case Tipo::Fecha: return std::get<QDate>(m_dato).toString(Qt::ISODate);
    case Tipo::FechaHora: return std::get<QDateTime>(m_dato).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    default: return {};
    }
}

namespace {

// "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS", the way dates are stored; read by hand because the
// database hands over thousands of them per list.
bool leerISO(const QString& s, QDateTime* resultado)
{
    const qsizetype n = s.size();
    if (n != 10 && n != 19 && n != 16)
        return false;
    auto cifras = [&](qsizetype desde, qsizetype cuantas, int* valor) {
        int v = 0;
        for (qsizetype i = desde; i < desde + cuantas; ++i) {
            const char16_t c = s[i].unicode();
            if (c < u'0' || c > u'9')
                return false;
            v = v * 10 + (c - u'0');
        }
        *valor = v;
        return true;
    };
    int a = 0, m = 0, d = 0, h = 0, mi = 0, se = 0;
    if (!cifras(0, 4, &a) || s[4] != QLatin1Char('-') || !cifras(5, 2, &m) || s[7] != QLatin1Char('-') || !cifras(8, 2, &d))
        return false;
    if (n > 10) {
        if ((s[10] != QLatin1Char(' ') && s[10] != QLatin1Char('T')) || !cifras(11, 2, &h) || s[13] != QLatin1Char(':')
            || !cifras(14, 2, &mi))
            return false;
        if (n == 19 && (s[16] != QLatin1Char(':') || !cifras(17, 2, &se)))
            return false;
    }
    const QDate fecha(a, m, d);
    const QTime hora(h, mi, se);
    if (!fecha.isValid() || !hora.isValid())
        return false;
    *resultado = QDateTime(fecha, hora);
    return true;
}

}  // namespace

QDateTime Valor::aFechaHora() const
{
    switch (tipo()) {
    case Tipo::Fecha: return QDateTime(std::get<QDate>(m_dato), QTime(0, 0));
    case Tipo::FechaHora: return std::get<QDateTime>(m_dato);
    case Tipo::Texto: {
        const QString& crudo = std::get<QString>(m_dato);
        QDateTime dt;
        if (leerISO(crudo, &dt))
            return dt;
        const QString s = crudo.trimmed();
        dt = QDateTime::fromString(s, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!dt.isValid())
            dt = QDateTime::fromString(s, Qt::ISODate);
        if (!dt.isValid()) {
            const QDate d = QDate::fromString(s.left(10), Qt::ISODate);
            if (d.isValid())
                dt = QDateTime(d, QTime(0, 0));
        }
        return dt;
    }
    default: return {};
    }
}

QDate Valor::aFecha() const
{
    if (tipo() == Tipo::Fecha)
        return std::get<QDate>(m_dato);
    return aFechaHora().date();
}
