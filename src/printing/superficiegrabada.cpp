#include "superficiegrabada.h"

#include <QFontMetricsF>
#include <QImage>

namespace {

// Measuring device at a laser printer's resolution: metrics of the same fonts as on paper.
constexpr double kDpiMedida = 600.0;

const QPaintDevice* DispositivoMedida()
{
    static const QImage imagen = [] {
        QImage i(1, 1, QImage::Format_Mono);
        const int puntosPorMetro = qRound(kDpiMedida / 0.0254);
        i.setDotsPerMeterX(puntosPorMetro);
        i.setDotsPerMeterY(puntosPorMetro);
        return i;
    }();
    return &imagen;
}

double PixelesAMm(double px) { return px * 25.4 / kDpiMedida; }

} // namespace

QFont FuenteQt(const FuenteImpresion& fuente)
{
    QFont f(fuente.nombre);
    f.setPointSizeF(fuente.puntos > 0 ? fuente.puntos : 1);
    f.setBold(fuente.negrita);
    f.setItalic(fuente.cursiva);
    f.setUnderline(fuente.subrayado);
    // Widths must not depend on screen hinting: the same mask measures the same everywhere.
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

SuperficieGrabada::SuperficieGrabada(QSizeF area) : m_area(area) {}

void SuperficieGrabada::FijarPapel(int codigo)
{
    Trazo t;
    t.tipo = Trazo::Tipo::Papel;
    t.pagina = m_pagina;
    t.grosor = codigo;
    m_trazos.push_back(t);
}

void SuperficieGrabada::FijarFuente(const FuenteImpresion& fuente) { m_fuente = fuente; }

double SuperficieGrabada::AnchoTexto(const QString& texto)
{
    return PixelesAMm(QFontMetricsF(FuenteQt(m_fuente), DispositivoMedida()).horizontalAdvance(texto));
}

double SuperficieGrabada::AltoLinea()
{
    return PixelesAMm(QFontMetricsF(FuenteQt(m_fuente), DispositivoMedida()).lineSpacing());
}

void SuperficieGrabada::Texto(QPointF esquina, const QString& texto)
{
    Trazo t;
    t.tipo = Trazo::Tipo::Texto;
    t.pagina = m_pagina;
    t.a = esquina;
    t.texto = texto;
    t.fuente = m_fuente;
    t.ancho = AnchoTexto(texto);
    m_trazos.push_back(t);
}

void SuperficieGrabada::Linea(QPointF desde, QPointF hasta, int grosor)
{
    Trazo t;
    t.tipo = Trazo::Tipo::Linea;
    t.pagina = m_pagina;
    t.a = desde;
    t.b = hasta;
    t.grosor = grosor;
    m_trazos.push_back(t);
}

void SuperficieGrabada::Elipse(const QRectF& caja, int grosor)
{
    Trazo t;
    t.tipo = Trazo::Tipo::Elipse;
    t.pagina = m_pagina;
    t.caja = caja;
    t.grosor = grosor;
    m_trazos.push_back(t);
}

void SuperficieGrabada::Imagen(const QImage& imagen, const QRectF& destino)
{
    Trazo t;
    t.tipo = Trazo::Tipo::Imagen;
    t.pagina = m_pagina;
    t.caja = destino;
    t.tamanoImagen = imagen.size();
    m_trazos.push_back(t);
}

void SuperficieGrabada::NuevaPagina()
{
    Trazo t;
    t.tipo = Trazo::Tipo::NuevaPagina;
    t.pagina = m_pagina;
    m_trazos.push_back(t);
    ++m_pagina;
}

void SuperficieGrabada::Terminar()
{
    Trazo t;
    t.tipo = Trazo::Tipo::Fin;
    t.pagina = m_pagina;
    m_trazos.push_back(t);
}

std::vector<Trazo> SuperficieGrabada::De(Trazo::Tipo tipo) const
{
    std::vector<Trazo> r;
    for (const Trazo& t : m_trazos)
        if (t.tipo == tipo)
            r.push_back(t);
    return r;
}
