#include "vistaprevia.h"

#include "impresoraactual.h"
#include "listado.h"
#include "mnuimp.h"
#include "printxt.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QProgressBar>
#include <QProgressDialog>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace {

QString Miles(int n) { return QLocale(QLocale::Spanish, QLocale::Spain).toString(n); }

// "1 página", "2 páginas".
QString Cuenta(int n, const QString& una, const QString& varias) { return Miles(n) + QLatin1Char(' ') + (n == 1 ? una : varias); }

}  // namespace

VistaPreviaListado::VistaPreviaListado(std::unique_ptr<EjecucionListado> ejecucion, QWidget* padre)
    : QMainWindow(padre, Qt::Window), m_ej(std::move(ejecucion))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("VistaPreviaListado"));
    setWindowTitle(m_ej->TituloVentana());

    QToolBar* barra = addToolBar(QStringLiteral("Vista previa"));
    barra->setObjectName(QStringLiteral("barraVistaPrevia"));
    barra->setMovable(false);
    barra->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QStyle* st = style();
    m_imprimir = barra->addAction(QIcon::fromTheme(QStringLiteral("document-print")), QStringLiteral("&Imprimir"), this,
                                  [this] { Imprimir(); });
    m_imprimir->setShortcut(QKeySequence::Print);
    m_pdf = barra->addAction(st->standardIcon(QStyle::SP_DialogSaveButton), QStringLiteral("&Guardar PDF..."), this,
                             &VistaPreviaListado::PedirPdf);
    barra->addSeparator();
    m_primera = barra->addAction(st->standardIcon(QStyle::SP_MediaSkipBackward), QStringLiteral("Primera página"), this,
                                 [this] { IrAPagina(1); });
    m_anterior = barra->addAction(st->standardIcon(QStyle::SP_ArrowLeft), QStringLiteral("Página anterior"), this,
                                  [this] { IrAPagina(m_pagina - 1); });
    m_anterior->setShortcut(QKeySequence::MoveToPreviousPage);
    m_numero = new QSpinBox(barra);
    m_numero->setObjectName(QStringLiteral("numeroPagina"));
    m_numero->setRange(1, 1);
    m_numero->setKeyboardTracking(false);
    barra->addWidget(m_numero);
    connect(m_numero, &QSpinBox::valueChanged, this, &VistaPreviaListado::IrAPagina);
    m_de = new QLabel(barra);
    barra->addWidget(m_de);
    m_siguiente = barra->addAction(st->standardIcon(QStyle::SP_ArrowRight), QStringLiteral("Página siguiente"), this,
                                   [this] { IrAPagina(m_pagina + 1); });
    m_siguiente->setShortcut(QKeySequence::MoveToNextPage);
    m_ultima = barra->addAction(st->standardIcon(QStyle::SP_MediaSkipForward), QStringLiteral("Última página"), this,
                                [this] { IrAPagina(m_ej->Composicion().PaginasCompletas()); });
    // Page arrows speak through their tooltips, so the bar fits a normal window.
    for (QAction* a : {m_primera, m_anterior, m_siguiente, m_ultima})
        if (auto* boton = qobject_cast<QToolButton*>(barra->widgetForAction(a)))
            boton->setToolButtonStyle(Qt::ToolButtonIconOnly);
    barra->addSeparator();
    barra->addAction(QStringLiteral("Reducir"), this, [this] { Zoom(1 / 1.25); })->setShortcut(QKeySequence::ZoomOut);
    barra->addAction(QStringLiteral("Ampliar"), this, [this] { Zoom(1.25); })->setShortcut(QKeySequence::ZoomIn);
    barra->addAction(QStringLiteral("Ajustar al ancho"), this, &VistaPreviaListado::AjustarAncho);
    barra->addAction(QStringLiteral("Página completa"), this, &VistaPreviaListado::PaginaCompleta);
    barra->addSeparator();
    QAction* cerrar = barra->addAction(st->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("&Cerrar"), this, &QWidget::close);
    cerrar->setShortcut(Qt::Key_Escape);

    m_area = new QScrollArea(this);
    m_area->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_area->setBackgroundRole(QPalette::Dark);
    m_hoja = new QLabel(m_area);
    m_hoja->setObjectName(QStringLiteral("hoja"));
    m_area->setWidget(m_hoja);
    setCentralWidget(m_area);

    m_estado = new QLabel(this);
    m_progreso = new QProgressBar(this);
    m_progreso->setRange(0, 0);
    m_progreso->setMaximumWidth(160);
    statusBar()->addWidget(m_estado, 1);
    statusBar()->addPermanentWidget(m_progreso);

    connect(m_ej.get(), &EjecucionListado::Avance, this, &VistaPreviaListado::Avance);
    connect(m_ej.get(), &EjecucionListado::Terminado, this, &VistaPreviaListado::Terminado);

    const QSize pantalla = screen() ? screen()->availableSize() : QSize(1280, 1024);
    resize(std::min(1000, pantalla.width() - 40), std::min(900, pantalla.height() - 40));
    Actualizar();
}

VistaPreviaListado::~VistaPreviaListado() = default;

void VistaPreviaListado::Empezar()
{
    m_estado->setText(QStringLiteral("Preparando el listado..."));
    m_ej->Empezar();
}

double VistaPreviaListado::PxPorMm() const
{
    const QSizeF papel = m_ej->Composicion().Papel();
    const double pantalla = logicalDpiX() / 25.4;
    if (m_zoom > 0)
        return m_zoom * pantalla;
    const double ancho = std::max(200, m_area->viewport()->width() - 24);
    double px = ancho / papel.width();
    if (m_ajustarPagina)
        px = std::min(px, std::max(200, m_area->viewport()->height() - 24) / papel.height());
    return std::clamp(px, 0.5, 20.0);
}

void VistaPreviaListado::Avance() { Actualizar(); }

void VistaPreviaListado::Terminado(const QString& error)
{
    m_progreso->hide();
    if (!error.isEmpty()) {
        m_estado->setText(error);
        if (!m_ej->Composicion().Terminada() && error != QStringLiteral("Listado interrumpido."))
            Avisar(error);
    }
    Actualizar();
}

void VistaPreviaListado::Actualizar()
{
    const ComposicionListado& c = m_ej->Composicion();
    const int paginas = c.PaginasCompletas();
    const bool completo = m_ej->Acabada() && c.Terminada();
    {
        const QSignalBlocker b(m_numero);
        m_numero->setRange(1, std::max(1, paginas));
        m_numero->setValue(m_pagina);
    }
    m_de->setText(completo ? QStringLiteral(" de %1 ").arg(paginas) : QStringLiteral(" de %1... ").arg(paginas));
    m_imprimir->setEnabled(completo);
    m_pdf->setEnabled(completo);
    m_imprimir->setToolTip(QStringLiteral("Imprimir en %1").arg(ImpresoraActual().isEmpty() ? QStringLiteral("la impresora predeterminada")
                                                                                            : QStringLiteral("«%1»").arg(ImpresoraActual())));
    m_primera->setEnabled(m_pagina > 1);
    m_anterior->setEnabled(m_pagina > 1);
    m_siguiente->setEnabled(m_pagina < paginas);
    m_ultima->setEnabled(m_pagina < paginas);
    if (!m_ej->Acabada())
        m_estado->setText(QStringLiteral("Preparando el listado... ")
                          + Cuenta(c.Filas(), QStringLiteral("fila leída"), QStringLiteral("filas leídas")));
    else if (completo)
        m_estado->setText(Cuenta(c.Filas(), QStringLiteral("fila"), QStringLiteral("filas")) + QStringLiteral(", ")
                          + Cuenta(paginas, QStringLiteral("página"), QStringLiteral("páginas")));
    Dibujar();
}

void VistaPreviaListado::Dibujar()
{
    const ComposicionListado& c = m_ej->Composicion();
    if (m_pagina > c.PaginasCompletas())
        return;  // still being laid out
    const bool completa = c.Terminada();
    if (m_dibujada == m_pagina && m_dibujadaCompleta == completa && !m_hoja->pixmap().isNull())
        return;
    const double px = PxPorMm();
    const QSizeF papel = c.Papel();
    QImage imagen(QSize(static_cast<int>(std::ceil(papel.width() * px)), static_cast<int>(std::ceil(papel.height() * px))),
                  QImage::Format_RGB32);
    // The image's resolution makes point sizes come out at the page's scale.
    imagen.setDotsPerMeterX(static_cast<int>(std::lround(px * 1000)));
    imagen.setDotsPerMeterY(static_cast<int>(std::lround(px * 1000)));
    imagen.fill(Qt::white);
    {
        QPainter p(&imagen);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        c.Dibujar(p, m_pagina, px);
    }
    m_hoja->setPixmap(QPixmap::fromImage(imagen));
    m_hoja->resize(imagen.size());
    m_dibujada = m_pagina;
    m_dibujadaCompleta = completa;
    if (!m_primeraAvisada) {
        m_primeraAvisada = true;
        emit PrimeraPagina();
    }
}

void VistaPreviaListado::IrAPagina(int pagina)
{
    const int paginas = m_ej->Composicion().PaginasCompletas();
    pagina = std::clamp(pagina, 1, std::max(1, paginas));
    if (pagina == m_pagina)
        return;
    m_pagina = pagina;
    m_dibujada = 0;
    m_area->verticalScrollBar()->setValue(0);
    Actualizar();
}

void VistaPreviaListado::Zoom(double factor)
{
    const double actual = PxPorMm() / (logicalDpiX() / 25.4);
    m_zoom = std::clamp(actual * factor, 0.25, 6.0);
    m_ajustarPagina = false;
    m_dibujada = 0;
    Dibujar();
}

void VistaPreviaListado::AjustarAncho()
{
    m_zoom = 0;
    m_ajustarPagina = false;
    m_dibujada = 0;
    Dibujar();
}

void VistaPreviaListado::PaginaCompleta()
{
    m_zoom = 0;
    m_ajustarPagina = true;
    m_dibujada = 0;
    Dibujar();
}

void VistaPreviaListado::resizeEvent(QResizeEvent* evento)
{
    QMainWindow::resizeEvent(evento);
    if (m_zoom == 0) {
        m_dibujada = 0;
        Dibujar();
    }
}

void VistaPreviaListado::closeEvent(QCloseEvent* evento)
{
    m_ej->Detener();
    QMainWindow::closeEvent(evento);
}

bool VistaPreviaListado::Pintar(QPrinter& impresora, const QString& destino)
{
    const ComposicionListado& c = m_ej->Composicion();
    if (!m_ej->Acabada() || !c.Terminada()) {
        Avisar(QStringLiteral("El listado aún no está completo."));
        return false;
    }
    impresora.setDocName(m_ej->TituloVentana());
    impresora.setPageSize(QPageSize(QPageSize::A4));
    impresora.setPageOrientation(c.Definicion().horizontal ? QPageLayout::Landscape : QPageLayout::Portrait);
    impresora.setFullPage(true);
    QPainter pintor;
    if (!pintor.begin(&impresora)) {
        Avisar(QStringLiteral("No se puede imprimir el listado en %1.").arg(destino));
        return false;
    }
    const double px = impresora.resolution() / 25.4;
    const int paginas = c.Paginas();
    std::unique_ptr<QProgressDialog> progreso;
    if (paginas > 10) {
        progreso = std::make_unique<QProgressDialog>(QStringLiteral("Imprimiendo el listado..."), QStringLiteral("Cancelar"), 0, paginas, this);
        progreso->setWindowModality(Qt::WindowModal);
        progreso->setMinimumDuration(500);
    }
    for (int p = 1; p <= paginas; ++p) {
        if (progreso) {
            progreso->setValue(p - 1);
            if (progreso->wasCanceled()) {
                impresora.abort();
                return false;
            }
        }
        if (p > 1)
            impresora.newPage();
        c.Dibujar(pintor, p, px);
    }
    return pintor.end();
}

bool VistaPreviaListado::Imprimir()
{
    const QString nombre = ImpresoraActual();
    const ImpresorasSistema sistema = ImpresorasDisponibles();
    // Given a name it does not know, the printer quietly falls back to the default one.
    if (!nombre.isEmpty() && !sistema.nombres.contains(nombre)) {
        Avisar(QStringLiteral("No se puede imprimir: la impresora «%1» no está disponible.").arg(nombre));
        return false;
    }
    if (sistema.nombres.isEmpty()) {
        Avisar(QStringLiteral("No se puede imprimir: no hay ninguna impresora instalada en el sistema. Instale una, o "
                              "guarde el listado con «Guardar PDF...»."));
        return false;
    }
    QPrinter impresora(QPrinter::HighResolution);
    if (nombre.isEmpty() && sistema.predeterminada.isEmpty()) {
        // Printers but none the default: the user picks one in the system's dialog.
        impresora.setPrinterName(sistema.nombres.first());
        const auto dialogo = dialogoImpresion ? dialogoImpresion : [](QPrinter& p, QWidget* padre) {
            QPrintDialog d(&p, padre);
            return d.exec() == QDialog::Accepted;
        };
        if (!dialogo(impresora, this))
            return false;
        return Pintar(impresora, QStringLiteral("«%1»").arg(impresora.printerName()));
    }
    if (!nombre.isEmpty())
        impresora.setPrinterName(nombre);
    if (!impresora.isValid()) {
        Avisar(QStringLiteral("No se puede imprimir: la impresora «%1» no responde.").arg(nombre.isEmpty() ? sistema.predeterminada : nombre));
        return false;
    }
    return Pintar(impresora, nombre.isEmpty() ? QStringLiteral("la impresora predeterminada") : QStringLiteral("«%1»").arg(nombre));
}

bool VistaPreviaListado::GuardarPdf(const QString& ruta)
{
    QPrinter impresora(QPrinter::HighResolution);
    impresora.setOutputFormat(QPrinter::PdfFormat);
    impresora.setOutputFileName(ruta);
    return Pintar(impresora, QStringLiteral("el archivo «%1»").arg(QDir::toNativeSeparators(ruta)));
}

void VistaPreviaListado::PedirPdf()
{
    QString nombre = m_ej->TituloVentana();
    nombre.replace(QRegularExpression(QStringLiteral("[\\\\/:*?\"<>|]")), QStringLiteral("_"));
    const QString ruta = QFileDialog::getSaveFileName(this, QStringLiteral("Guardar el listado en PDF"),
                                                      QDir::home().filePath(nombre + QStringLiteral(".pdf")),
                                                      QStringLiteral("Documentos PDF (*.pdf)"));
    if (!ruta.isEmpty())
        GuardarPdf(ruta.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive) ? ruta : ruta + QStringLiteral(".pdf"));
}
