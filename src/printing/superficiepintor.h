#pragma once

#include "superficie.h"

#include <QPainter>

#include <memory>

class QPrinter;

// Printer mode on a real device: a QPainter on a QPrinter, either one of the system's
// printers (by device name) or a PDF file. Painting starts with the first drawing call, so a
// run that prints nothing sends no job; the document ends at Terminar or on destruction.
class SuperficiePintor : public SuperficieImpresion {
public:
    // An empty name means the system's default printer.
    // `titulo` names the job (a PDF's title); without one the spooler's default name is used.
    static std::unique_ptr<SuperficiePintor> ParaImpresora(const QString& nombre, const QString& titulo = {});
    static std::unique_ptr<SuperficiePintor> ParaPdf(const QString& archivo, const QString& titulo = {});
    ~SuperficiePintor() override;

    QSizeF AreaUtil() override;
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

    // False when the device could not be opened for painting (bad printer, unwritable file).
    bool Valida() const { return !m_fallo; }

private:
    explicit SuperficiePintor(std::unique_ptr<QPrinter> impresora);
    bool Empezar();
    double Px(double mm) const { return mm * m_pxPorMm; }
    QPen Pluma(int grosor) const;

    std::unique_ptr<QPrinter> m_impresora;
    QPainter m_pintor;
    FuenteImpresion m_fuente;
    double m_pxPorMm = 1;
    bool m_empezado = false;
    bool m_terminado = false;
    bool m_fallo = false;
};

// Paper size for an old printer paper code; invalid size for codes not known.
class QPageSize;
QPageSize TamanoPapel(int codigo);
