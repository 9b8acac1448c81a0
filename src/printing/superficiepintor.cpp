#include "superficiepintor.h"

#include "superficiegrabada.h"

#include <QFontMetricsF>
#include <QPageSize>
#include <QPrinter>

namespace {

// Pen widths are device pixels; PDF output behaves like a 600 dpi laser printer.
constexpr int kDpiPdf = 600;

} // namespace

QPageSize TamanoPapel(int codigo)
{
    switch (codigo) {
    case 1: case 2: return QPageSize(QPageSize::Letter);
    case 3: return QPageSize(QPageSize::Tabloid);
    case 4: return QPageSize(QPageSize::Ledger);
    case 5: return QPageSize(QPageSize::Legal);
    case 7: return QPageSize(QPageSize::Executive);
    case 8: return QPageSize(QPageSize::A3);
    case 9: case 10: return QPageSize(QPageSize::A4);
    case 11: return QPageSize(QPageSize::A5);
    case 12: return QPageSize(QPageSize::JisB4);
    case 13: return QPageSize(QPageSize::JisB5);
    case 20: return QPageSize(QPageSize::Envelope10);
    case 27: return QPageSize(QPageSize::EnvelopeDL);
    case 28: return QPageSize(QPageSize::EnvelopeC5);
    case 70: return QPageSize(QPageSize::A6);
    default: return QPageSize();
    }
}

std::unique_ptr<SuperficiePintor> SuperficiePintor::ParaImpresora(const QString& nombre, const QString& titulo)
{
    auto impresora = std::make_unique<QPrinter>(QPrinter::HighResolution);
    impresora->setDocName(titulo);
    if (!nombre.isEmpty())
        impresora->setPrinterName(nombre);
    impresora->setFullPage(false);
    return std::unique_ptr<SuperficiePintor>(new SuperficiePintor(std::move(impresora)));
}

std::unique_ptr<SuperficiePintor> SuperficiePintor::ParaPdf(const QString& archivo, const QString& titulo)
{
    auto impresora = std::make_unique<QPrinter>(QPrinter::HighResolution);
    impresora->setDocName(titulo);
    impresora->setOutputFormat(QPrinter::PdfFormat);
    impresora->setOutputFileName(archivo);
    impresora->setResolution(kDpiPdf);
    impresora->setPageSize(QPageSize(QPageSize::A4));
    // A file has no unprintable border; keep the one of a usual laser printer so that a mask
    // lands on the PDF where it lands on paper.
    impresora->setPageMargins(QMarginsF(5, 5, 5, 5), QPageLayout::Millimeter);
    impresora->setFullPage(false);
    return std::unique_ptr<SuperficiePintor>(new SuperficiePintor(std::move(impresora)));
}

SuperficiePintor::SuperficiePintor(std::unique_ptr<QPrinter> impresora)
    : m_impresora(std::move(impresora))
{
    m_pxPorMm = m_impresora->resolution() / 25.4;
}

SuperficiePintor::~SuperficiePintor() { Terminar(); }

bool SuperficiePintor::Empezar()
{
    if (m_empezado)
        return true;
    if (m_fallo || m_terminado)
        return false;
    if (!m_pintor.begin(m_impresora.get())) {
        m_fallo = true;
        return false;
    }
    m_empezado = true;
    m_pxPorMm = m_impresora->resolution() / 25.4;
    m_pintor.setFont(FuenteQt(m_fuente));
    m_pintor.setRenderHint(QPainter::Antialiasing);
    return true;
}

QSizeF SuperficiePintor::AreaUtil()
{
    return m_impresora->pageLayout().paintRect(QPageLayout::Millimeter).size();
}

void SuperficiePintor::FijarPapel(int codigo)
{
    const QPageSize tamano = TamanoPapel(codigo);
    if (tamano.isValid())
        m_impresora->setPageSize(tamano);  // while painting it applies from the next page
}

void SuperficiePintor::FijarFuente(const FuenteImpresion& fuente)
{
    m_fuente = fuente;
    if (m_empezado)
        m_pintor.setFont(FuenteQt(m_fuente));
}

double SuperficiePintor::AnchoTexto(const QString& texto)
{
    const QFontMetricsF medida(FuenteQt(m_fuente), m_impresora.get());
    return medida.horizontalAdvance(texto) / m_pxPorMm;
}

double SuperficiePintor::AltoLinea()
{
    const QFontMetricsF medida(FuenteQt(m_fuente), m_impresora.get());
    return medida.lineSpacing() / m_pxPorMm;
}

void SuperficiePintor::Texto(QPointF esquina, const QString& texto)
{
    if (texto.isEmpty() || !Empezar())
        return;
    m_pintor.setPen(Qt::black);
    const double ascenso = m_pintor.fontMetrics().ascent();
    m_pintor.drawText(QPointF(Px(esquina.x()), Px(esquina.y()) + ascenso), texto);
}

QPen SuperficiePintor::Pluma(int grosor) const
{
    QPen pluma(Qt::black);
    pluma.setWidthF(qMax(1, grosor));
    pluma.setCapStyle(Qt::RoundCap);
    return pluma;
}

void SuperficiePintor::Linea(QPointF desde, QPointF hasta, int grosor)
{
    if (!Empezar())
        return;
    m_pintor.setPen(Pluma(grosor));
    m_pintor.drawLine(QPointF(Px(desde.x()), Px(desde.y())), QPointF(Px(hasta.x()), Px(hasta.y())));
}

void SuperficiePintor::Elipse(const QRectF& caja, int grosor)
{
    if (!Empezar())
        return;
    m_pintor.setPen(Pluma(grosor));
    m_pintor.setBrush(Qt::NoBrush);
    m_pintor.drawEllipse(QRectF(Px(caja.x()), Px(caja.y()), Px(caja.width()), Px(caja.height())));
}

void SuperficiePintor::Imagen(const QImage& imagen, const QRectF& destino)
{
    if (imagen.isNull() || !Empezar())
        return;
    const QImage girada = imagen.mirrored(destino.width() < 0, destino.height() < 0);
    const QRectF caja = destino.normalized();
    m_pintor.drawImage(QRectF(Px(caja.x()), Px(caja.y()), Px(caja.width()), Px(caja.height())), girada);
}

void SuperficiePintor::NuevaPagina()
{
    if (!Empezar())
        return;
    if (!m_impresora->newPage())
        m_fallo = true;
}

void SuperficiePintor::Terminar()
{
    if (m_empezado && !m_terminado)
        m_pintor.end();
    m_terminado = true;
}
