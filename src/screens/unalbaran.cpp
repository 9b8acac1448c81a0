#include "unalbaran.h"

#include "albaran.h"
#include "albaranesdeticket.h"
#include "dinero.h"
#include "formato.h"
#include "global.h"
#include "navegador.h"
#include "utilidades.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

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
        C{QStringLiteral("Bultos"), 56, kDerecha, 1, 0, I{1}, 6},
        C{QStringLiteral("Envase"), 56, kDerecha, 2, 0, I{2}, 7},
        C{QStringLiteral("Código"), 48, kDerecha, 3, 1, I{4}, 6},
        C{QStringLiteral("Descripción"), 200, kIzquierda, 4, 2, I{4}, 0},
        C{QStringLiteral("Cantidad"), 56, kDerecha, 5, 3, I{5}, 7},
        C{QStringLiteral("Precio"), 56, kDerecha, 7, 4, I{7}, 7},
        C{QString(), 16, kDerecha, 7, 5, I{-1}, 0},
        C{QStringLiteral("Dcto."), 40, kDerecha, 7, 5, I{0, true}, 7},
        C{QStringLiteral("Importe"), 56, kDerecha, 7, 7, I{-1}, 0},
    };
}

// A cell's text as a number; text that is not a number counts as 0.
double NumeroCelda(const QString& texto) { return LeerNumero(texto).value_or(0); }

// Whole cents of `euros` fit the 32-bit fields.
bool CabeEnCentimos(double euros)
{
    return std::abs(std::nearbyint(Redondear2(euros) * 100)) <= std::numeric_limits<qint32>::max();
}

}  // namespace

UnAlbaran* UnAlbaran::Editar(std::optional<long> numero, NavegadorDocumentos* padre)
{
    if (!Global::BD)
        return nullptr;
    auto albaran = std::make_unique<Albaran>(*Global::BD);
    try {
        if (numero) {
            if (*numero < 0 || *numero > std::numeric_limits<qint32>::max() || !albaran->WhoAmI(static_cast<qint32>(*numero)))
                return nullptr;
        } else if (!albaran->WhoAmI()) {
            return nullptr;
        }
    } catch (const motor::Error&) {
        return nullptr;
    }
    return Abrir(std::move(albaran), numero.value_or(0), padre);
}

UnAlbaran* UnAlbaran::Proponer(long docID, NavegadorDocumentos* padre, std::optional<qint32> marcaVista)
{
    if (!Global::BD || docID < std::numeric_limits<qint32>::min() || docID > std::numeric_limits<qint32>::max())
        return nullptr;
    std::unique_ptr<Albaran> albaran;
    try {
        albaran = AlbaranOnLine(*Global::BD, static_cast<qint32>(docID), marcaVista);
    } catch (const motor::Error&) {
        return nullptr;
    }
    if (!albaran)
        return nullptr;
    return Abrir(std::move(albaran), 0, padre);
}

UnAlbaran* UnAlbaran::Abrir(std::unique_ptr<Albaran> albaran, long numeroEditado, NavegadorDocumentos* padre)
{
    auto* ventana = new UnAlbaran(std::move(albaran), numeroEditado, padre);
    ventana->Mostrar();
    ventana->Cargar(numeroEditado != 0);
    return ventana;
}

UnAlbaran::UnAlbaran(std::unique_ptr<Albaran> albaran, long numeroEditado, NavegadorDocumentos* padre)
    : EditorDocumento(tr("Edición de un albarán"), Columnas(), numeroEditado, nullptr), m_albaran(std::move(albaran)),
      m_importes([this](int i) { return m_albaran->Linea(static_cast<qint16>(i))->CentimosDescontados(); })
{
    setObjectName(QStringLiteral("UnAlbaran"));
    FijarPadre(padre);

    auto* totales = new QWidget(this);
    auto* rejilla = new QGridLayout(totales);
    rejilla->setContentsMargins(0, 0, 0, 0);
    rejilla->setHorizontalSpacing(12);
    rejilla->setVerticalSpacing(0);
    auto total = [&](QLabel*& etiqueta, const char* nombre, const QString& titulo, int col) {
        auto* t = new QLabel(titulo, totales);
        t->setAlignment(Qt::AlignRight);
        etiqueta = new QLabel(QStringLiteral("0,00"), totales);
        etiqueta->setObjectName(QString::fromLatin1(nombre));
        etiqueta->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        etiqueta->setFrameShape(QFrame::StyledPanel);
        etiqueta->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000.000,00")) + 8);
        rejilla->addWidget(t, 0, col);
        rejilla->addWidget(etiqueta, 1, col);
    };
    total(m_lbBase, "lbBase", tr("Base"), 0);
    total(m_lbEnva, "lbEnva", tr("Envases"), 1);
    total(m_lbDcto, "lbDcto", tr("Descuentos"), 2);
    total(m_lbTotal, "lbTotal", tr("TOTAL"), 3);
    QFont negrita = m_lbTotal->font();
    negrita.setBold(true);
    m_lbTotal->setFont(negrita);
    // A fixed size: a new figure then repaints its own box, instead of laying out and painting
    // the whole window at every key of a long note.
    // Opaque, so that only the box itself is painted again, not the window under it.
    for (QLabel* l : {m_lbBase, m_lbEnva, m_lbDcto, m_lbTotal}) {
        l->setFixedSize(std::max(l->minimumWidth(), l->sizeHint().width()), l->sizeHint().height());
        l->setAutoFillBackground(true);
    }

    Construir(totales);
    m_borrar->setToolTip(tr("Eliminar línea"));
    m_imprim->setToolTip(tr("Imprimir este albarán"));
}

UnAlbaran::~UnAlbaran() = default;

// --- lines -------------------------------------------------------------------------------

void UnAlbaran::DocumentoCargado() { m_importes.Todas(m_albaran->NumeroLineas()); }

int UnAlbaran::NumeroLineas() const { return m_albaran->NumeroLineas(); }

QString UnAlbaran::Comentario(int linea) const
{
    const LineaAlbaran* l = m_albaran->Linea(static_cast<qint16>(linea));
    return l ? l->Comentario() : QString();
}

void UnAlbaran::FijarComentario(int linea, const QString& texto)
{
    if (LineaAlbaran* l = m_albaran->Linea(static_cast<qint16>(linea)))
        l->FijarComentario(texto);
}

bool UnAlbaran::NuevaLinea()
{
    if (!m_albaran->NuevaLinea())
        return false;
    m_importes.Anadida();
    return true;
}

bool UnAlbaran::EliminarLinea(int linea)
{
    if (!m_albaran->EliminarLinea(static_cast<qint16>(linea)))
        return false;
    m_importes.Eliminada(linea);
    return true;
}

bool UnAlbaran::Editable() const { return !m_albaran->Factura().has_value(); }

QStringList UnAlbaran::TextosLinea(int linea) const
{
    const LineaAlbaran* l = m_albaran->Linea(static_cast<qint16>(linea));
    if (!l)
        return {};
    QStringList t;
    t << Formato(static_cast<double>(l->Bultos), kFormatoUnidades) << Formato(l->Envase(), kFormatoMoneda);
    if (l->Codigo() == 0) {
        for (int c = 2; c <= 7; ++c)
            t << QString();
        t << Formato(l->Importe(), kFormatoMoneda);
        return t;
    }
    const qint16 cada = l->Cada();
    t << NumeroConCeros(l->Codigo(), 6) << l->Descripcion() << Formato(l->Cantidad(), cada == 2 ? kFormatoUnidades : kFormatoKilos)
      << Formato(l->Precio(), kFormatoMoneda)
      << (cada == 0 ? QStringLiteral("K") : cada == 1 ? QStringLiteral("g") : QStringLiteral("U"))
      << Formato(static_cast<double>(l->Descuento()), kFormatoPorcentaje) << Formato(l->ImporteDescontado(), kFormatoMoneda);
    return t;
}

void UnAlbaran::FiltrarCelda(int, int col, int& tecla) const
{
    switch (col) {
    case 0:
    case 2:
        ::FiltrarTecla(tecla);
        break;
    case 1:
    case 4:
    case 5:
    case 7:
        ::FiltrarTecla(tecla, LocalNumeros().decimalPoint());
        break;
    case 3:
        break;
    default:
        // The unit and the amount follow from the line.
        tecla = 0;
        break;
    }
}

QString UnAlbaran::FueraDeLimites(int linea, int col, const QString& texto) const
{
    const double valor = NumeroCelda(texto);
    switch (col) {
    case 1:
    case 5:
        if (!CabeEnCentimos(valor))
            return tr("El importe es demasiado grande: como máximo %1.")
                .arg(Formato(std::numeric_limits<qint32>::max() / 100.0, kFormatoMoneda));
        break;
    case 4: {
        const LineaAlbaran* l = m_albaran->Linea(static_cast<qint16>(linea));
        const bool unidades = l && l->Cada() == 2;
        if (std::abs(std::nearbyint(valor * (unidades ? 1 : 1000))) > std::numeric_limits<qint32>::max())
            return tr("La cantidad es demasiado grande: como máximo %1.")
                .arg(Formato(std::numeric_limits<qint32>::max() / (unidades ? 1.0 : 1000.0), unidades ? kFormatoUnidades : kFormatoKilos));
        break;
    }
    case 7:
        if (valor > 100)
            return tr("El descuento debe estar entre 0 y 100.");
        break;
    default:
        break;
    }
    return {};
}

void UnAlbaran::CeldaEditada(int linea, int col, const QString& texto)
{
    LineaAlbaran* l = m_albaran->Linea(static_cast<qint16>(linea));
    if (!l)
        return;
    const double valor = NumeroCelda(texto);
    switch (col) {
    case 0: {
        const qint32 bultos = ALargo32(valor);
        if (bultos != l->Bultos)
            MarcarCambios();
        l->Bultos = bultos;
        break;
    }
    case 1: {
        const qint32 antes = l->EnvaseCentimos();
        if (l->FijarEnvase(valor) && l->EnvaseCentimos() != antes)
            MarcarCambios();
        break;
    }
    case 2:
    case 3: {
        const qint32 antes = l->Codigo();
        const qint32 codigo = col == 2 ? ALargo32(valor) : AutoescribirArticulo();
        if (col == 2 && codigo != 0) {
            // A code is what was typed: an unknown one leaves the line as it was.
            if (!l->SetCodigo(codigo)) {
                AvisarFueraDeLimites(tr("No existe el artículo %1").arg(codigo));
                break;
            }
        } else {
            l->SetCodigo(codigo);
        }
        if (l->Codigo() != antes)
            MarcarCambios();
        break;
    }
    case 4: {
        const qint32 antes = l->CantidadGramos();
        if (l->FijarCantidad(valor) && l->CantidadGramos() != antes)
            MarcarCambios();
        break;
    }
    case 5: {
        const qint32 antes = l->PrecioCentimos();
        if (l->FijarPrecio(valor) && l->PrecioCentimos() != antes)
            MarcarCambios();
        break;
    }
    case 7: {
        const float antes = l->Descuento();
        if (l->FijarDescuento(static_cast<float>(valor)) && l->Descuento() != antes)
            MarcarCambios();
        break;
    }
    default:
        break;
    }
    m_importes.Linea(linea);
}

void UnAlbaran::PintarTotales()
{
    // The same cents as the note's own totals, without adding every line again.
    const qint64 base = m_importes.Suma();
    const qint64 envases = m_albaran->CentimosEnvases();
    const qint64 descuentos = m_albaran->CentimosDescuentos(base);
    // A figure wider than its box widens it: once, not at every key.
    const auto poner = [](QLabel* l, qint64 centimos) {
        l->setText(Formato(AEuros(centimos), kFormatoMoneda));
        if (const int ancho = l->sizeHint().width(); ancho > l->width())
            l->setFixedWidth(ancho);
    };
    poner(m_lbBase, base);
    poner(m_lbEnva, envases);
    poner(m_lbDcto, descuentos);
    poner(m_lbTotal, base + envases - descuentos);
}

// --- header ------------------------------------------------------------------------------

std::optional<qint32> UnAlbaran::NumeroDocumento() const { return m_albaran->Numero; }
void UnAlbaran::FijarNumeroDocumento(qint32 numero) { m_albaran->Numero = numero; }
QDate UnAlbaran::FechaDocumento() const { return m_albaran->Fecha.value_or(QDate()); }
void UnAlbaran::FijarFechaDocumento(const QDate& fecha) { m_albaran->Fecha = fecha; }
std::optional<qint32> UnAlbaran::ClienteDocumento() const { return m_albaran->Cliente(); }
bool UnAlbaran::FijarCliente(qint32 codigo) { return m_albaran->SetCliente(codigo); }

void UnAlbaran::ClienteElegido()
{
    // The header discount is the customer's.
    m_txDescuento->setText(Formato(static_cast<double>(m_albaran->Descuento()), kFormatoPorcentaje));
    PintarTotales();
}

float UnAlbaran::DescuentoDocumento() const { return m_albaran->Descuento(); }
float UnAlbaran::DesctoPPDocumento() const { return m_albaran->DesctoPP; }
void UnAlbaran::DescuentoEditado(const QString&) {}

void UnAlbaran::DesctoPPEditado(const QString& texto)
{
    m_albaran->DesctoPP = static_cast<float>(NumeroCelda(texto));
    MarcarCambios();
}

void UnAlbaran::DescuentoAbandonado()
{
    m_txDescuento->setText(Formato(static_cast<double>(m_albaran->Descuento()), kFormatoPorcentaje));
}

void UnAlbaran::DesctoPPAbandonado()
{
    m_txDesctoPP->setText(Formato(static_cast<double>(m_albaran->DesctoPP), kFormatoPorcentaje));
}

// --- saving and printing -----------------------------------------------------------------

QString UnAlbaran::PreguntaAntesDeGuardar() const
{
    if (m_albaran->ImporteBase() == 0 && m_albaran->ImporteDescuentos() == 0 && m_albaran->ImporteEnvases() == 0)
        return tr("El Albarán parece estar vacío: ¿Guardarlo de todos modos?");
    return {};
}

bool UnAlbaran::GuardarDocumento() { return m_albaran->Update(); }

QString UnAlbaran::MotivoFallo() const { return m_albaran->UltimoError(); }

bool UnAlbaran::RecargarDocumento()
{
    if (!m_albaran->Numero)
        return false;
    auto albaran = std::make_unique<Albaran>(*Global::BD);
    if (!albaran->WhoAmI(*m_albaran->Numero))
        return false;
    m_albaran = std::move(albaran);
    return true;
}

void UnAlbaran::TrasGuardar() { emit Update(); }

bool UnAlbaran::ImprimirDocumento(MotorMascaras& motor, const QString& carpeta)
{
    return m_albaran->Imprimir(motor, carpeta);
}

QString UnAlbaran::MascaraImpresion() const { return QStringLiteral("mskAlba.txt"); }

void UnAlbaran::AlCancelar() { emit Abort(); }

NavegadorDocumentos* UnAlbaran::Navegador() const { return Navegadores::albaranes; }
