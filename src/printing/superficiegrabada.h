#pragma once

#include "superficie.h"

#include <QFont>

#include <memory>
#include <vector>

// Builds the Qt font for a mask font at a given device resolution.
QFont FuenteQt(const FuenteImpresion& fuente);

// One drawing call as SuperficieGrabada keeps it.
struct Trazo {
    enum class Tipo { Texto, Linea, Elipse, Imagen, Papel, NuevaPagina, Fin };
    Tipo tipo = Tipo::Texto;
    int pagina = 1;                 // page the call landed on
    QPointF a;                      // text corner, line start
    QPointF b;                      // line end
    QRectF caja;                    // ellipse box, picture target
    QString texto;
    FuenteImpresion fuente;         // font in force for texts
    double ancho = 0;               // text width
    int grosor = 0;                 // pen width; paper code for Papel
    QSize tamanoImagen;
};

// Keeps every call instead of drawing it; text is measured with the real fonts at printer
// resolution, so width limits and alignment come out as on paper.
class SuperficieGrabada : public SuperficieImpresion {
public:
    explicit SuperficieGrabada(QSizeF area = QSizeF(200, 287));

    QSizeF AreaUtil() override { return m_area; }
    void FijarPapel(int codigo) override;
    void FijarFuente(const FuenteImpresion& fuente) override;
    double AnchoTexto(const QString& texto) override;
    double AltoLinea() override;
    void Texto(QPointF esquina, const QString& texto) override;
    void Linea(QPointF desde, QPointF hasta, int grosor) override;
    void Elipse(const QRectF& caja, int grosor) override;
    void Imagen(const QImage& imagen, const QRectF& destino) override;
    void NuevaPagina() override;
    void Terminar() override;

    const std::vector<Trazo>& Trazos() const { return m_trazos; }
    // Only the calls of one kind, in order.
    std::vector<Trazo> De(Trazo::Tipo tipo) const;
    const FuenteImpresion& Fuente() const { return m_fuente; }

private:
    QSizeF m_area;
    FuenteImpresion m_fuente;
    int m_pagina = 1;
    std::vector<Trazo> m_trazos;
};
