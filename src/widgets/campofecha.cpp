#include "campofecha.h"

#include <QKeyEvent>

#include <algorithm>

namespace {

constexpr int kLargo[3] = {2, 2, 4};

bool EsSeparador(QChar c) { return c == QLatin1Char('/') || c == QLatin1Char('-') || c == QLatin1Char('.'); }

}  // namespace

CampoFecha::CampoFecha(QWidget* padre) : CampoFecha(QDate::currentDate(), padre) {}

CampoFecha::CampoFecha(const QDate& fecha, QWidget* padre) : QDateEdit(fecha, padre)
{
    setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    setCalendarPopup(true);
}

QDate CampoFecha::Componer(const QDate& base, const QString& dia, const QString& mes, const QString& anio)
{
    const int d = dia.isEmpty() ? base.day() : dia.toInt();
    const int m = mes.isEmpty() ? base.month() : mes.toInt();
    int a = base.year();
    if (anio.size() == 2)
        a = 2000 + anio.toInt();
    else if (anio.size() == 4)
        a = anio.toInt();
    if (d < 1 || d > 31 || m < 1 || m > 12 || a < 1753)
        return {};
    return QDate(a, m, std::min(d, QDate(a, m, 1).daysInMonth()));
}

void CampoFecha::Empezar()
{
    m_parte = -1;
    for (QString& p : m_partes)
        p.clear();
    m_base = date();
}

void CampoFecha::focusInEvent(QFocusEvent* evento)
{
    QDateEdit::focusInEvent(evento);
    Empezar();
}

void CampoFecha::mousePressEvent(QMouseEvent* evento)
{
    QDateEdit::mousePressEvent(evento);
    Empezar();
}

void CampoFecha::keyPressEvent(QKeyEvent* evento)
{
    const QString texto = evento->text();
    const bool control = evento->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const QChar c = texto.size() == 1 ? texto.at(0) : QChar();
    if (control || isReadOnly() || !(c.isDigit() || EsSeparador(c))) {
        // Arrows, Tab, the calendar keys...: the field's own editing, from what it shows now.
        QDateEdit::keyPressEvent(evento);
        Empezar();
        return;
    }
    evento->accept();
    if (m_parte < 0) {
        // Typing starts at the part the caret is in: after Shift+Tab, the year.
        const Section s = currentSection();
        m_parte = s == MonthSection ? 1 : s == YearSection ? 2 : 0;
    }
    if (EsSeparador(c)) {
        // A full part has already moved on: its separator is the one the user writes anyway.
        if (!m_partes[m_parte].isEmpty() && m_parte < 2)
            ++m_parte;
    } else {
        if (m_partes[m_parte].size() >= kLargo[m_parte])
            return;
        m_partes[m_parte] += c;
        Mostrar();
        if (m_partes[m_parte].size() == kLargo[m_parte] && m_parte < 2)
            ++m_parte;
    }
    setSelectedSection(m_parte == 0 ? DaySection : m_parte == 1 ? MonthSection : YearSection);
}

void CampoFecha::Mostrar()
{
    // A year of one or three digits is still being typed: the one shown stays meanwhile.
    if (m_partes[2].size() == 1 || m_partes[2].size() == 3)
        return;
    const QDate fecha = Componer(m_base, m_partes[0], m_partes[1], m_partes[2]);
    if (fecha.isValid() && fecha >= minimumDate() && fecha <= maximumDate())
        setDate(fecha);
}
