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

QDateTime Valor::aFechaHora() const
{
    switch (tipo()) {
    case Tipo::Fecha: return QDateTime(std::get<QDate>(m_dato), QTime(0, 0));
    case Tipo::FechaHora: return std::get<QDateTime>(m_dato);
    case Tipo::Texto: {
        const QString s = std::get<QString>(m_dato).trimmed();
        QDateTime dt = QDateTime::fromString(s, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
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
