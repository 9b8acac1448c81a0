#pragma once

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

// Font of the mask language: name, size in points and the three style switches.
struct FuenteImpresion {
    QString nombre = QStringLiteral("Arial");
    double puntos = 10;
    bool negrita = false;
    bool cursiva = false;
    bool subrayado = false;

    bool operator==(const FuenteImpresion&) const = default;
};

// Where printer-mode masks draw. All positions and sizes are millimetres from the top-left
// corner of the printable area; pen widths are device pixels as the masks give them.
// Implementations: the system printer or a PDF file (SuperficiePintor) and a recording that
// tests read (SuperficieGrabada).
class SuperficieImpresion {
public:
    virtual ~SuperficieImpresion() = default;

    // Printable width and height of the current page.
    virtual QSizeF AreaUtil() = 0;
    // Paper size by its old printer code (9 A4, 11 A5, 1 Letter...); unknown codes are ignored.
    virtual void FijarPapel(int codigo) = 0;
    virtual void FijarFuente(const FuenteImpresion& fuente) = 0;
    virtual double AnchoTexto(const QString& texto) = 0;
    // Distance from one printed line to the next with the current font.
    virtual double AltoLinea() = 0;
    // Text whose top-left corner is at `esquina`.
    virtual void Texto(QPointF esquina, const QString& texto) = 0;
    virtual void Linea(QPointF desde, QPointF hasta, int grosor) = 0;
    virtual void Elipse(const QRectF& caja, int grosor) = 0;
    // A picture stretched over `destino`; a negative width or height mirrors it.
    virtual void Imagen(const QImage& imagen, const QRectF& destino) = 0;
    virtual void NuevaPagina() = 0;
    // Ends the document (the job goes to the spooler, the file is written).
    virtual void Terminar() = 0;
};
