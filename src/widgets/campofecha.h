#pragma once

#include <QDateEdit>

// A date field that takes a date typed as a person writes it: "07/03/2026", "7/3/26", "07032026"
// or only the day ("7") or day and month ("7/3"), the rest kept from the date shown. A typed
// separator ends its part; the one after a part that is already full is skipped. Whatever is
// typed, the field only ever shows a whole valid date ("dd/MM/yyyy"), never a half-typed year.
class CampoFecha : public QDateEdit {
    Q_OBJECT
public:
    explicit CampoFecha(QWidget* padre = nullptr);
    explicit CampoFecha(const QDate& fecha, QWidget* padre = nullptr);

    // The date `partes` (day, month, year as typed, empty when not typed) gives on top of `base`:
    // a two-digit year is of this century, a day beyond the month's end is its last day. Invalid
    // when a part is out of range.
    static QDate Componer(const QDate& base, const QString& dia, const QString& mes, const QString& anio);

protected:
    void keyPressEvent(QKeyEvent* evento) override;
    void focusInEvent(QFocusEvent* evento) override;
    void mousePressEvent(QMouseEvent* evento) override;

private:
    void Empezar();
    void Mostrar();

    int m_parte = -1;  // the part being typed: 0 day, 1 month, 2 year; -1 none yet
    QString m_partes[3];
    QDate m_base;
};
