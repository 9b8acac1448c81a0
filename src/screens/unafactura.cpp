#include "unafactura.h"

#include "editorcelda.h"
#include "factura.h"
#include "formato.h"
#include "global.h"
#include "navegador.h"
#include "rejilla.h"
#include "utilidades.h"
#include "verifactu.h"

#include <QScrollBar>

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {


constexpr Qt::Alignment kDerecha = Qt::AlignRight | Qt::AlignVCenter;
constexpr Qt::Alignment kIzquierda = Qt::AlignLeft | Qt::AlignVCenter;

std::vector<EditorDocumento::Columna> Columnas()
{
    using C = EditorDocumento::Columna;
    using I = EditorDocumento::Intro;
    return {
        C{QStringLiteral("Bul"), 32, kDerecha, 1, 0, I{1}, 0},
        C{QStringLiteral("Env."), 40, kDerecha, 2, 0, I{2}, 0},
        C{QStringLiteral("Código"), 48, kDerecha, 3, 1, I{4}, 0, QStringLiteral("000000")},
        C{QStringLiteral("Descripción"), 200, kIzquierda, 4, 2, I{4}, 0},
        C{QStringLiteral("IVA"), 32, kDerecha, 5, 3, I{5}, 0, QStringLiteral("00,0")},
        C{QStringLiteral("Cantd."), 48, kDerecha, 6, 4, I{6}, 0, QStringLiteral("00,000")},
        C{QStringLiteral("Precio"), 48, kDerecha, 8, 5, I{8}, 0, QStringLiteral("000,00")},
        C{QString(), 16, kDerecha, 8, 6, I{-1}, 0},
        C{QStringLiteral("Dcto"), 32, kDerecha, 9, 6, I{9}, 0},
        C{QStringLiteral("Impte."), 48, kDerecha, 9, 8, I{2, true}, 0, QStringLiteral("0.000,00")},
    };
}

double NumeroCelda(const QString& texto) { return LeerNumero(texto).value_or(0); }

bool CabeEn32(double valor) { return std::abs(valor) <= std::numeric_limits<qint32>::max(); }

}  // namespace

UnaFactura* UnaFactura::Editar(std::optional<long> numero, qint16 serie)
{
    if (!Global::BD)
        return nullptr;
    auto factura = std::make_unique<Factura>(*Global::BD);
    try {
        if (numero && (*numero < 0 || *numero > std::numeric_limits<qint32>::max()))
            return nullptr;
        if (!factura->WhoAmI(serie, numero ? std::optional<qint32>(static_cast<qint32>(*numero)) : std::nullopt))
            return nullptr;
    } catch (const motor::Error&) {
        return nullptr;
    }
    auto* ventana = new UnaFactura(std::move(factura), numero.value_or(0));
    ventana->Mostrar();
    ventana->Cargar(numero.has_value());
    if (!numero)
        ventana->m_txCliente->setFocus(Qt::OtherFocusReason);
    return ventana;
}

UnaFactura::UnaFactura(std::unique_ptr<Factura> factura, long numeroEditado)
    : EditorDocumento(tr("Edición de una factura"), Columnas(), numeroEditado, nullptr), m_factura(std::move(factura))
{
    m_serieEditada = m_factura->Serie.value_or(0);
    setObjectName(QStringLiteral("UnaFactura"));

    auto* pago = new QWidget(this);
    auto* filaPago = new QGridLayout(pago);
    filaPago->setContentsMargins(0, 0, 0, 0);
    filaPago->setVerticalSpacing(2);
    m_txPagado = new QLineEdit(pago);
    m_txPagado->setObjectName(QStringLiteral("txPagado"));
    m_txPagado->setAlignment(Qt::AlignRight);
    m_txPagado->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9%1]*").arg(QRegularExpression::escape(LocalNumeros().decimalPoint()))),
        m_txPagado));
    m_txPagado->setMaxLength(12);
    m_txPagado->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("000.000.000,00")));
    auto* etiqueta = new QLabel(tr("&Pago"), pago);
    etiqueta->setBuddy(m_txPagado);
    auto* liquidar = new QPushButton(tr("&Liquidar"), pago);
    liquidar->setObjectName(QStringLiteral("Liquidar"));
    liquidar->setAutoDefault(false);
    filaPago->addWidget(etiqueta, 0, 0);
    filaPago->addWidget(m_txPagado, 1, 0);
    filaPago->addWidget(liquidar, 1, 1);
    m_lbEmitida = new QLabel(pago);
    m_lbEmitida->setObjectName(QStringLiteral("lbEmitida"));
    m_lbEmitida->setWordWrap(true);
    m_lbEmitida->setMaximumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 48);
    m_lbEmitida->hide();
    filaPago->addWidget(m_lbEmitida, 0, 2, 2, 1);
    connect(m_txPagado, &QLineEdit::textEdited, this, &UnaFactura::AlEditarPagado);
    connect(liquidar, &QPushButton::clicked, this, &UnaFactura::Liquidar);

    m_grdResu = new Rejilla(this);
    m_grdResu->setObjectName(QStringLiteral("grdResu"));
    m_grdResu->setCols(8);
    m_grdResu->setRows(1);
    m_grdResu->setFocusPolicy(Qt::NoFocus);
    m_grdResu->setSelectionMode(QAbstractItemView::NoSelection);
    m_grdResu->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const QStringList titulos = {QStringLiteral("%iva"), QStringLiteral("%req"), QStringLiteral("Neto"), QStringLiteral("Desct."),
                                 QStringLiteral("B.Impon."), QStringLiteral("IVA"), QStringLiteral("R.Eq"), QStringLiteral("TOTAL")};
    int ancho = 2 * m_grdResu->frameWidth();
    for (int c = 0; c < 8; ++c) {
        m_grdResu->setTextMatrix(0, c, titulos[c]);
        m_grdResu->FijarAncho(c, c < 2 ? 32 : 56, c < 2 ? QStringLiteral("00,0") : QStringLiteral("00.000,00"));
        m_grdResu->setColAlignment(c, kDerecha);
        m_grdResu->horizontalHeaderItem(c)->setTextAlignment(kDerecha);
        ancho += m_grdResu->anchoColumna(c);
    }
    m_grdResu->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_grdResu->setFixedSize(ancho + m_grdResu->verticalScrollBar()->sizeHint().width(), AltoResumen(6));

    Construir(m_grdResu, pago);
    m_borrar->setToolTip(tr("Eliminal línea"));
    m_imprim->setToolTip(tr("Imprimir esta factura"));
}

UnaFactura::~UnaFactura() = default;

// --- lines -------------------------------------------------------------------------------

void UnaFactura::DocumentoCargado()
{
    m_txPagado->setText(Formato(m_factura->Pagado, kFormatoMoneda));
    // Once recorded, only what the record does not hold (the payment) changes.
    std::optional<verifactu::Registro> registro;
    try {
        if (NumeroEditado() != 0 && m_factura->Serie && m_factura->Numero)
            registro = Global::BD->RegistroDeFactura(*m_factura->Serie, *m_factura->Numero);
    } catch (const motor::Error&) {
        // Without the record at hand the invoice stays editable; saving checks it again.
    }
    m_emitida = registro.has_value();
    m_anulada = registro && registro->tipo == verifactu::TipoRegistro::Anulacion;
    m_lbEmitida->setText(m_anulada ? tr("Factura ANULADA: queda guardada como se anuló; sólo se puede registrar su pago.")
                                   : tr("Factura emitida con su registro VERI*FACTU: número, fecha, cliente, líneas y "
                                        "descuentos no se pueden cambiar; para corregirla use «Borrar» (anular o rectificar)."));
    m_lbEmitida->setVisible(m_emitida);
    m_txDescuento->setReadOnly(m_emitida);
}

void UnaFactura::BorrarDocumento()
{
    if (!m_factura->Serie || !m_factura->Numero)
        return;
    if (Corregir(this, *m_factura->Serie, *m_factura->Numero) == Correccion::Anulada && RecargarDocumento())
        Cargar(true);
}

UnaFactura::Correccion UnaFactura::Corregir(QWidget* padre, qint16 serie, qint32 numero)
{
    const QString cual = verifactu::NumSerie(serie, numero);
    QMessageBox eleccion(QMessageBox::Question, tr("Factura emitida"),
                         tr("La factura %1 está emitida con su registro VERI*FACTU: no se puede borrar.\n\n"
                            "«Anular»: sólo si se emitió por error. Queda guardada como ANULADA y sus albaranes vuelven a "
                            "estar pendientes para facturarlos de nuevo.\n"
                            "«Rectificar»: una factura rectificativa, en su propia serie, corrige sus importes.")
                             .arg(cual),
                         QMessageBox::NoButton, padre);
    QPushButton* anular = eleccion.addButton(tr("&Anular"), QMessageBox::DestructiveRole);
    QPushButton* rectificar = eleccion.addButton(tr("&Rectificar"), QMessageBox::AcceptRole);
    eleccion.addButton(QMessageBox::Cancel);
    eleccion.setDefaultButton(QMessageBox::Cancel);
    eleccion.exec();
    if (eleccion.clickedButton() == rectificar) {
        QMessageBox forma(QMessageBox::Question, tr("Factura rectificativa"),
                          tr("¿Cómo corrige la factura rectificativa a la factura %1?\n\n"
                             "«Por diferencias»: sus líneas son sólo lo que cambia (una devolución, un descuento).\n"
                             "«Por sustitución»: sus líneas son la factura entera como debe quedar.")
                              .arg(cual),
                          QMessageBox::NoButton, padre);
        QPushButton* diferencias = forma.addButton(tr("Por &diferencias"), QMessageBox::AcceptRole);
        QPushButton* sustitucion = forma.addButton(tr("Por &sustitución"), QMessageBox::AcceptRole);
        forma.addButton(QMessageBox::Cancel);
        forma.setDefaultButton(QMessageBox::Cancel);
        forma.exec();
        if (forma.clickedButton() != diferencias && forma.clickedButton() != sustitucion)
            return Correccion::Ninguna;
        return Rectificar(padre, serie, numero, forma.clickedButton() == sustitucion) ? Correccion::Rectificativa
                                                                                       : Correccion::Ninguna;
    }
    if (eleccion.clickedButton() != anular)
        return Correccion::Ninguna;
    if (QMessageBox::question(padre, tr("Anular factura"),
                              tr("Anular la factura %1 emitida por error: ¿SEGURO?").arg(cual),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return Correccion::Ninguna;
    QString motivo;
    try {
        Factura f(*Global::BD);
        if (!f.WhoAmI(serie, numero) || !f.Anular())
            motivo = f.UltimoError();
    } catch (const motor::Error& e) {
        motivo = motor::TextoParaUsuario(e);
    }
    if (!motivo.isEmpty()) {
        QMessageBox::critical(padre, tr("Anular factura"), tr("No se ha anulado la factura %1.\n").arg(cual) + motivo);
        return Correccion::Ninguna;
    }
    ReleerSiCargado(Navegadores::facturas);
    ReleerSiCargado(Navegadores::albaranes);
    return Correccion::Anulada;
}

UnaFactura* UnaFactura::Rectificar(QWidget* padre, qint16 serie, qint32 numero, bool sustitucion)
{
    auto factura = std::make_unique<Factura>(*Global::BD);
    QString motivo;
    try {
        if (!factura->Rectificar(serie, numero, sustitucion))
            motivo = factura->UltimoError();
    } catch (const motor::Error& e) {
        motivo = motor::TextoParaUsuario(e);
    }
    if (!motivo.isEmpty()) {
        QMessageBox::critical(padre, tr("Factura rectificativa"), motivo);
        return nullptr;
    }
    auto* ventana = new UnaFactura(std::move(factura), 0);
    ventana->Mostrar();
    ventana->Cargar(false);
    return ventana;
}

int UnaFactura::NumeroLineas() const { return m_factura->NumeroLineas(); }

QString UnaFactura::Comentario(int linea) const
{
    const LineaFactura* l = m_factura->Linea(static_cast<qint16>(linea));
    return l ? l->Comentario() : QString();
}

void UnaFactura::FijarComentario(int linea, const QString& texto)
{
    if (LineaFactura* l = m_factura->Linea(static_cast<qint16>(linea)))
        l->FijarComentario(texto);
}

bool UnaFactura::NuevaLinea() { return m_factura->NuevaLinea() != nullptr; }

bool UnaFactura::EliminarLinea(int linea) { return m_factura->EliminarLinea(static_cast<qint16>(linea)); }

QStringList UnaFactura::TextosLinea(int linea) const
{
    const LineaFactura* l = m_factura->Linea(static_cast<qint16>(linea));
    if (!l)
        return {};
    const std::optional<qint16> unidad = l->Unidad();
    const bool articulo = l->Referencia().has_value();
    QString descripcion;
    if (articulo)
        descripcion = l->Descripcion().value_or(QString());
    else
        descripcion = l->Concepto().value_or(l->Titulo().value_or(QString()));
    auto numero = [](const std::optional<double>& v, const QString& formato) { return v ? Formato(*v, formato) : QString(); };
    return {Formato(static_cast<double>(l->Bultos()), kFormatoUnidades),
            Formato(l->Envase(), kFormatoMoneda),
            articulo ? NumeroConCeros(*l->Referencia(), 6) : QString(),
            descripcion,
            Formato(static_cast<double>(l->pIVA()), kFormatoPorcentaje),
            numero(l->Cantidad(), unidad && *unidad == 2 ? kFormatoUnidades : kFormatoKilos),
            numero(l->Precio(), kFormatoMoneda),
            !unidad ? QString() : *unidad == 0 ? QStringLiteral("K") : *unidad == 1 ? QStringLiteral("g") : QStringLiteral("U"),
            Formato(static_cast<double>(l->Descuento()), kFormatoPorcentaje),
            numero(l->Importe(), kFormatoMoneda)};
}

void UnaFactura::FiltrarCelda(int linea, int col, int& tecla) const
{
    const LineaFactura* l = m_factura->Linea(static_cast<qint16>(linea));
    const bool articulo = l && l->Referencia().has_value();
    const QString decimal = LocalNumeros().decimalPoint();
    // A rectifying invoice by differences takes back what was charged: its quantities and
    // amounts may be negative.
    const QString conSigno = m_factura->Rectifica ? decimal + QLatin1Char('-') : decimal;
    switch (col) {
    case 0:
    case 2:
        ::FiltrarTecla(tecla);
        break;
    case 1:
    case 4:
        ::FiltrarTecla(tecla, decimal);
        break;
    case 3:
        break;
    case 5:
    case 6:
    case 8:
        // Quantity, price and discount make an article's amount.
        if (articulo)
            ::FiltrarTecla(tecla, col == 5 ? conSigno : decimal);
        else if (tecla != '\b')
            tecla = 0;
        break;
    case 9:
        // The amount is typed only on a line without an article.
        if (!articulo)
            ::FiltrarTecla(tecla, conSigno);
        else if (tecla != '\b')
            tecla = 0;
        break;
    default:
        if (tecla != '\b')
            tecla = 0;
        break;
    }
}

QString UnaFactura::FueraDeLimites(int, int col, const QString& texto) const
{
    const double valor = NumeroCelda(texto);
    switch (col) {
    case 0:
    case 2:
        if (!CabeEn32(valor))
            return tr("El número es demasiado grande: como máximo %1.").arg(std::numeric_limits<qint32>::max());
        break;
    case 1:
        if (!CabeEn32(std::nearbyint(Redondear2(valor) * 100)))
            return tr("El importe es demasiado grande: como máximo %1.")
                .arg(Formato(std::numeric_limits<qint32>::max() / 100.0, kFormatoMoneda));
        break;
    case 8:
        if (valor > 100)
            return tr("El descuento debe estar entre 0 y 100.");
        break;
    default:
        break;
    }
    return {};
}

void UnaFactura::CeldaEditada(int linea, int col, const QString& texto)
{
    LineaFactura* l = m_factura->Linea(static_cast<qint16>(linea));
    if (!l)
        return;
    const double valor = NumeroCelda(texto);
    auto cambio = [this](bool distinto) {
        if (distinto)
            MarcarCambios();
    };
    switch (col) {
    case 0:
        cambio(l->Bultos() != ALargo32(valor));
        l->FijarBultos(ALargo32(valor));
        break;
    case 1: {
        const qint32 antes = l->EnvaseCentimos();
        if (l->FijarEnvase(valor))
            cambio(l->EnvaseCentimos() != antes);
        break;
    }
    case 2: {
        const qint32 codigo = ALargo32(valor);
        if (l->Referencia() != std::optional<qint32>(codigo)) {
            l->FijarReferencia(codigo);
            MarcarCambios();
        }
        break;
    }
    case 3: {
        const qint32 codigo = AutoescribirArticulo();
        const QString escrito = m_txEd->text();
        if (!escrito.isEmpty() && codigo != 0) {
            cambio(l->Referencia() != std::optional<qint32>(codigo));
            l->FijarReferencia(codigo);
        } else if (!escrito.isEmpty()) {
            // No article by that name: a line of its own text, without VAT until one is typed,
            // and without the quantity and price of the article it may have named before.
            const std::optional<QString> antes = l->Referencia() ? std::nullopt : l->Concepto() ? l->Concepto() : l->Titulo();
            cambio(antes != std::optional<QString>(escrito));
            if (l->Referencia())
                l->FijarReferencia(0);
            l->FijarConcepto(escrito);
            l->FijarpIVA(0);
            l->FijarpREQ(0);
        } else {
            // An empty description empties the line: no article, and no quantity or price left
            // to be stored and printed on a blank line.
            cambio(l->Referencia().has_value() || l->Importe().has_value() || l->Cantidad().has_value()
                   || l->Precio().has_value() || !l->Titulo().value_or(QString()).isEmpty());
            l->FijarReferencia(0);
            l->FijarConcepto(QString());
            l->FijarImporte(std::nullopt);
        }
        break;
    }
    case 4: {
        const float iva = static_cast<float>(valor);
        cambio(l->pIVA() != iva);
        l->FijarpIVA(iva);
        l->FijarpREQ(Factura::RecargoDeIVA(iva));
        break;
    }
    case 5:
        cambio(l->Cantidad() != std::optional<double>(valor));
        l->FijarCantidad(valor);
        break;
    case 6:
        cambio(l->Precio() != std::optional<double>(valor));
        l->FijarPrecio(valor);
        break;
    case 8:
        cambio(l->Descuento() != static_cast<float>(valor));
        l->FijarDescuento(static_cast<float>(valor));
        break;
    case 9:
        if (!l->Referencia()) {
            cambio(l->Importe() != std::optional<double>(valor));
            l->FijarImporte(valor);
        }
        break;
    default:
        break;
    }
}

int UnaFactura::AltoResumen(int filas) const
{
    return 2 * m_grdResu->frameWidth() + filas * m_grdResu->altoFila(0);
}

// The VAT summary: one row per rate, the sums, and packaging when there is any.
void UnaFactura::PintarTotales()
{
    const std::vector<DesgloseIVA> desglose = m_factura->Desglose();
    if (desglose.empty()) {
        m_grdResu->setRows(1);
        return;
    }
    const double envases = m_factura->ImporteEnvases();
    m_grdResu->setRows(static_cast<int>(desglose.size()) + 2 + (envases != 0 ? 1 : 0));
    // Every row in view, the amount to pay last of all: four rates, the sums and packaging
    // take seven. Past ten rows, which no usual shop reaches, the summary scrolls.
    const int alto = AltoResumen(std::clamp(m_grdResu->Rows(), 6, 10));
    if (m_grdResu->height() != alto) {
        m_grdResu->setFixedHeight(alto);
        Colocar();
    }
    auto fila = [this](int r, const DesgloseIVA& d, bool tasas) {
        const double valores[] = {d.Neto, d.Descuento + d.DesctoPP, d.BaseImponible, d.IVA, d.REq, d.Importe};
        m_grdResu->setTextMatrix(r, 0, tasas ? Formato(d.pIVA, kFormatoPorcentaje) : QString());
        m_grdResu->setTextMatrix(r, 1, tasas ? Formato(d.pREQ, kFormatoPorcentaje) : QString());
        for (int c = 0; c < 6; ++c)
            m_grdResu->setTextMatrix(r, c + 2, Formato(valores[c], kFormatoMoneda));
    };
    int r = 1;
    for (const DesgloseIVA& d : desglose)
        fila(r++, d, true);
    const DesgloseIVA total = m_factura->Total();
    fila(r, total, false);
    for (int c = 0; c < 8; ++c)
        m_grdResu->setCeldaNegrita(r, c, true);
    if (envases != 0) {
        ++r;
        m_grdResu->setTextMatrix(r, 0, tr("Envases"));
        m_grdResu->setTextMatrix(r, 1, tr("Envases"));
        m_grdResu->setTextMatrix(r, 2, Formato(envases, kFormatoMoneda));
        for (int c = 3; c <= 6; ++c)
            m_grdResu->setTextMatrix(r, c, tr("Importe+Envases"));
        m_grdResu->setTextMatrix(r, 7, Formato(m_factura->ImporteALiquidar(), kFormatoMoneda));
    }
}

// --- header ------------------------------------------------------------------------------

std::optional<qint32> UnaFactura::NumeroDocumento() const { return m_factura->Numero; }
void UnaFactura::FijarNumeroDocumento(qint32 numero) { m_factura->Numero = numero; }
QDate UnaFactura::FechaDocumento() const { return m_factura->Fecha.value_or(QDate()); }
void UnaFactura::FijarFechaDocumento(const QDate& fecha) { m_factura->Fecha = fecha; }
std::optional<qint32> UnaFactura::ClienteDocumento() const { return m_factura->Cliente(); }
bool UnaFactura::FijarCliente(qint32 codigo) { return m_factura->SetCliente(codigo); }
void UnaFactura::ClienteElegido() { PintarTotales(); }
float UnaFactura::DescuentoDocumento() const { return m_factura->Descuento(); }
float UnaFactura::DesctoPPDocumento() const { return m_factura->DesctoPP(); }

void UnaFactura::DescuentoEditado(const QString& texto)
{
    m_factura->FijarDescuento(static_cast<float>(NumeroCelda(texto)));
    MarcarCambios();
}

void UnaFactura::DesctoPPEditado(const QString& texto)
{
    m_factura->FijarDesctoPP(static_cast<float>(NumeroCelda(texto)));
    MarcarCambios();
}

void UnaFactura::AlEditarPagado(const QString& texto)
{
    // An emptied field is nothing paid.
    if (m_cargando || (!texto.isEmpty() && !EsNumerico(texto)))
        return;
    m_factura->Pagado = Redondear2(NumeroCelda(texto));
    MarcarCambios();
}

void UnaFactura::Liquidar()
{
    // What the customer owes as the invoice prints it, packaging included.
    m_txPagado->setText(Formato(m_factura->ImporteALiquidar(), kFormatoMoneda));
    AlEditarPagado(m_txPagado->text());
}

// --- saving and printing -----------------------------------------------------------------

bool UnaFactura::GuardarDocumento()
{
    if (!m_factura->Update())
        return false;
    // A stored invoice given another number takes its notes along: their list shows it.
    if (NumeroEditado() != 0 && m_factura->Numero != NumeroEditado())
        ReleerSiCargado(Navegadores::albaranes);
    return true;
}

QString UnaFactura::MotivoFallo() const { return m_factura->UltimoError(); }

bool UnaFactura::RecargarDocumento()
{
    auto factura = std::make_unique<Factura>(*Global::BD);
    if (!factura->WhoAmI(m_factura->Serie, m_factura->Numero))
        return false;
    m_factura = std::move(factura);
    return true;
}

bool UnaFactura::ImprimirDocumento(MotorMascaras& motor, const QString& carpeta)
{
    return m_factura->Imprimir(motor, carpeta);
}

QString UnaFactura::MascaraImpresion() const { return QStringLiteral("mskFact.txt"); }
NavegadorDocumentos* UnaFactura::Navegador() const { return Navegadores::facturas; }
NavegadorDocumentos* UnaFactura::Padre() const { return Navegadores::facturas; }
