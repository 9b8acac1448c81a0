#pragma once

#include "basedatos.h"

class QLabel;
class QLineEdit;

// The name completion of the store working on a screen's text box and code label.
class CajaLineEdit : public CajaAutoescritura {
public:
    explicit CajaLineEdit(QLineEdit* caja) : m_caja(caja) {}
    QString texto() const override;
    void fijarTexto(const QString& texto) override;
    void seleccionar(int inicio, int largo) override;

private:
    QLineEdit* m_caja;
};

class EtiquetaLabel : public EtiquetaAutoescritura {
public:
    explicit EtiquetaLabel(QLabel* etiqueta) : m_etiqueta(etiqueta) {}
    void fijarTexto(const QString& texto) override;

private:
    QLabel* m_etiqueta;
};

// Runs the completion for `caja` on every change the user makes; `largo` is the screen's own
// record of the typed length.
void Autoescribir(BaseDatos& bd, int servicio, qint16& largo, QLabel* etiqueta, QLineEdit* caja);
