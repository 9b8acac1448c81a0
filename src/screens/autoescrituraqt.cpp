#include "autoescrituraqt.h"

#include <QLabel>
#include <QLineEdit>

QString CajaLineEdit::texto() const { return m_caja ? m_caja->text() : QString(); }

void CajaLineEdit::fijarTexto(const QString& texto)
{
    if (m_caja)
        m_caja->setText(texto);
}

void CajaLineEdit::seleccionar(int inicio, int largo)
{
    // Selected backwards so that the caret stays after the typed part.
    if (m_caja)
        m_caja->setSelection(inicio + largo, -largo);
}

void EtiquetaLabel::fijarTexto(const QString& texto)
{
    if (m_etiqueta)
        m_etiqueta->setText(texto);
}

void Autoescribir(BaseDatos& bd, int servicio, qint16& largo, QLabel* etiqueta, QLineEdit* caja)
{
    CajaLineEdit c(caja);
    EtiquetaLabel e(etiqueta);
    bd.Autoescritura(servicio, largo, etiqueta ? &e : nullptr, &c);
}
