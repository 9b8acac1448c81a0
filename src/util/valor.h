#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <variant>

// A value as the database and the documents hand it around: null, or one of the few
// kinds the program cares about. Which kind it holds matters: SQL texts, print output
// and grid cells are written differently for a date, a text, a truth value or a number.
class Valor {
public:
    enum class Tipo { Nulo, Booleano, Entero, Numero, Texto, Fecha, FechaHora };

    Valor() = default;
    Valor(std::nullptr_t) {}
    Valor(bool b) : m_dato(b) {}
    Valor(int v) : m_dato(static_cast<qint64>(v)) {}
    Valor(qint64 v) : m_dato(v) {}
    Valor(double v) : m_dato(v) {}
    Valor(float v) : m_dato(static_cast<double>(v)) {}
    Valor(const QString& s) : m_dato(s) {}
    Valor(const char* s) : m_dato(QString::fromUtf8(s)) {}
    Valor(const QDate& d) : m_dato(d) {}
    Valor(const QDateTime& d) : m_dato(d) {}

    Tipo tipo() const { return static_cast<Tipo>(m_dato.index()); }
    bool esNulo() const { return tipo() == Tipo::Nulo; }
    bool esNumerico() const;  // integer, number or truth value

    // Conversions; null gives 0, false or an empty text.
    qint64 aEntero() const;   // numbers are rounded half away from zero
    double aNumero() const;
    bool aBooleano() const;
    QString aTexto() const;   // dates as ISO text
    QDate aFecha() const;     // invalid date when not a date
    QDateTime aFechaHora() const;

    bool operator==(const Valor& otro) const { return m_dato == otro.m_dato; }

private:
    std::variant<std::monostate, bool, qint64, double, QString, QDate, QDateTime> m_dato;
};
