#include "browfac.h"

#include "factura.h"
#include "formato.h"
#include "global.h"
#include "impresion.h"
#include "listado.h"
#include "listafilas.h"
#include "mnuimp.h"
#include "unafactura.h"
#include "utilidades.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

namespace {

QPointer<BrowFac> g_unico;


constexpr ListaFilas::Columna kColumnas[] = {
    {"Número", 48, Qt::AlignHCenter, "000000"},   {"Fecha", 64, Qt::AlignHCenter, "00/00/0000"},
    {"Cód.", 48, Qt::AlignHCenter, "000000"},      {"Cliente", 200, Qt::AlignLeft, ListaFilas::kNombreLargo},
    {"Importe", 56, Qt::AlignRight, "000.000,00"}, {"IVA", 56, Qt::AlignRight, "000.000,00"},
    {"TOTAL", 56, Qt::AlignRight, "000.000,00"},   {"Pagado", 56, Qt::AlignRight, "000.000,00"},
};

const QString kMascara = QStringLiteral("mskFact.txt");

}  // namespace

BrowFac::BrowFac() : NavegadorBase(QStringLiteral("BrowFac"), QStringLiteral("Lista de Facturas"), Navegadores::facturas, nullptr)
{
    m_paginas.alLlegar = [this] { FilasLlegadas(); };
    m_paginas.alFallar = [this](const motor::Error& e) {
        Mensaje(QStringLiteral("Error al leer la lista.\n") + motor::TextoParaUsuario(e), QMessageBox::Critical);
    };
    chkPendi = new QCheckBox(QStringLiteral("Pendientes"), this);
    chkPendi->setObjectName(QStringLiteral("chkPendi"));
    chkLiqui = new QCheckBox(QStringLiteral("Liquidadas"), this);
    chkLiqui->setObjectName(QStringLiteral("chkLiqui"));
    Botonera()->addWidget(chkPendi);
    Botonera()->addWidget(chkLiqui);
    Botonera()->addStretch();
    Nuevo = AnadirBoton("Nuevo", QStringLiteral("Nueva factura"));
    Borrar = AnadirBoton("Borrar", QStringLiteral("Eliminar factura"));
    Imprim = AnadirBoton("Imprim", QStringLiteral("Listado de facuración"));
    Salir = AnadirBoton("Salir", QStringLiteral("Cerrar"));

    Grd->PonerColumnas(kColumnas);

    auto accion = [this](const char* nombre, const QString& texto, void (BrowFac::*metodo)()) {
        QAction* a = MnAcciones->addAction(texto);
        a->setObjectName(QString::fromLatin1(nombre));
        connect(a, &QAction::triggered, this, metodo);
        return a;
    };
    MnModificar = accion("MnModificar", QStringLiteral("Modificar"), &BrowFac::AbrirActual);
    MnEliminar = accion("MnEliminar", QStringLiteral("Eliminar"), &BrowFac::EliminarUna);
    MnNuevo = accion("MnNuevo", QStringLiteral("Nueva"), &BrowFac::NuevaFactura);
    MnAcciones->addSeparator();
    MnLiquidar = accion("MnLiquidar", QStringLiteral("Liquidar"), &BrowFac::Liquidar);
    mnImprimir = accion("mnImprimir", QStringLiteral("Imprimir"), &BrowFac::ImprimirUna);

    for (QCheckBox* c : {chkPendi, chkLiqui})
        connect(c, &QCheckBox::clicked, this, [this] { Refresco(std::nullopt); });
    connect(Nuevo, &QPushButton::clicked, this, &BrowFac::NuevaFactura);
    connect(Borrar, &QPushButton::clicked, this, &BrowFac::EliminarUna);
    connect(Imprim, &QPushButton::clicked, this, &BrowFac::ImprimirLista);
    connect(Salir, &QPushButton::clicked, this, [this] { (parentWidget() ? parentWidget() : this)->close(); });
}

BrowFac::~BrowFac() = default;

BrowFac* BrowFac::Abrir(std::optional<ClienteFiltro> cliente, std::optional<QDate> desde, std::optional<QDate> hasta)
{
    return AbrirUnico(g_unico, FiltroLista{std::move(cliente), desde, hasta});
}

BrowFac* BrowFac::Actual() { return g_unico && g_unico->Cargado() ? g_unico.data() : nullptr; }

void BrowFac::FijarSerie(qint16 serie)
{
    m_serie = serie;
    Refresco(std::nullopt);
}

std::optional<bool> BrowFac::EstadoFiltro() const
{
    if (chkPendi->isChecked() == chkLiqui->isChecked())
        return std::nullopt;
    return chkPendi->isChecked();
}

// --- the list ----------------------------------------------------------------------------

void BrowFac::Leer()
{
    Grd->Cargar(0, {});
    if (!Global::BD) {
        m_paginas.Parar();
        m_filas.clear();
        return;
    }
    const FiltroLista& f = filtro();
    const std::optional<bool> estado = EstadoFiltro();
    const Filtro cliente = f.cliente ? Filtro(f.cliente->codigo) : Filtro();
    const Filtro desde = f.desde ? Filtro(*f.desde) : Filtro();
    const Filtro hasta = f.hasta ? Filtro(*f.hasta) : Filtro();
    const Filtro pendiente = estado ? Filtro(*estado) : Filtro();
    // In number order within the series: a page starts after the last number the one before it
    // looked at, which the payment state may have left out.
    m_paginas.Empezar(Grd->Modelo(), [=, serie = Serie(), ultimo = std::optional<qint32>()](std::vector<FilaFactura>& filas,
                                                                                          int limite) mutable {
        if (!Global::BD)
            return false;
        PaginaLista<FilaFactura, qint32> pagina = Global::BD->PaginaFacturas(serie, cliente, desde, hasta, pendiente, ultimo, limite);
        ultimo = pagina.siguiente;
        filas.insert(filas.end(), std::make_move_iterator(pagina.filas.begin()), std::make_move_iterator(pagina.filas.end()));
        return pagina.siguiente.has_value();
    }, [=, serie = Serie()] { return Global::BD ? Global::BD->CuentaFacturas(serie, cliente, desde, hasta) : qint64{0}; });
    Grd->Cargar(static_cast<int>(m_filas.size()),
                [this](int fila, int col) { return Texto(m_filas[static_cast<size_t>(fila)], col); });
}

QString BrowFac::Texto(const FilaFactura& f, int col) const
{
    switch (col) {
    case 0: return QString::number(f.Numero);
    case 1: return Formato(f.Fecha, QStringLiteral("dd/mm/yyyy"));
    case 2: return f.Cliente.esNulo() ? QString() : Formato(f.Cliente, QStringLiteral("000000"));
    case 3: return f.Anulada ? QStringLiteral("ANULADA - ") + f.nombre.aTexto() : f.nombre.aTexto();
    case 4: return Formato(f.Neto, kFormatoMoneda);
    case 5: return Formato(f.iva, kFormatoMoneda);
    case 6: return Formato(TotalAPagar(f), kFormatoMoneda);
    case 7: return Formato(f.Pagado.esNulo() ? Valor(0) : f.Pagado, kFormatoMoneda);
    default: return {};
    }
}

std::optional<long> BrowFac::NumeroDeFila(int fila) const
{
    if (fila < 1 || fila > static_cast<int>(m_filas.size()))
        return std::nullopt;
    return m_filas[static_cast<size_t>(fila - 1)].Numero;
}

const FilaFactura* BrowFac::FilaActual() const
{
    const int fila = Grd->Row();
    return fila >= 1 && fila <= static_cast<int>(m_filas.size()) ? &m_filas[static_cast<size_t>(fila - 1)] : nullptr;
}

void BrowFac::PrepararMenu()
{
    const bool factura = FilaActual() != nullptr;
    for (QAction* a : {MnModificar, MnEliminar, MnLiquidar, mnImprimir})
        a->setEnabled(factura);
}

bool BrowFac::Tecla(QKeyEvent& e)
{
    if ((e.key() == Qt::Key_Return || e.key() == Qt::Key_Enter) && FilaActual()) {
        AbrirActual();
        return true;
    }
    return false;
}

namespace {

QString ClaveFactura(qint16 serie, long numero) { return QStringLiteral("%1/%2").arg(serie).arg(NumeroConCeros(numero, 6)); }

}  // namespace

QString BrowFac::ClaveHijo(long numero) const { return ClaveFactura(Serie(), numero); }

void BrowFac::QuitarHijoDeSerie(qint16 serie, long numero) { QuitarClave(ClaveFactura(serie, numero)); }

// One editor per invoice: an invoice already open comes to the front.
void BrowFac::AbrirActual()
{
    const FilaFactura* fila = FilaActual();
    if (!fila || MostrarHijo(fila->Numero))
        return;
    AnadirHijo(fila->Numero, UnaFactura::Editar(fila->Numero, Serie()));
}

void BrowFac::NuevaFactura()
{
    if (!MostrarHijo(0))
        AnadirHijo(0, UnaFactura::Editar(std::nullopt, Serie()));
}

QString BrowFac::NombreDocumento() const { return QStringLiteral("La factura"); }

// --- one invoice -------------------------------------------------------------------------

void BrowFac::EliminarUna()
{
    const auto numero = NumeroActual();
    if (!numero || !Global::BD || EnEdicion(*numero, QStringLiteral("eliminar")))
        return;
    // An issued invoice (VERI*FACTU) is annulled or rectified, never deleted.
    bool emitida = false;
    try {
        emitida = Global::BD->RegistroDeFactura(Serie(), static_cast<qint32>(*numero)).has_value();
    } catch (const motor::Error& e) {
        Mensaje(motor::TextoParaUsuario(e), QMessageBox::Critical);
        return;
    }
    if (emitida) {
        if (UnaFactura::Corregir(this, Serie(), static_cast<qint32>(*numero)) == UnaFactura::Correccion::Anulada)
            Refresco(*numero);
        return;
    }
    if (!Pregunta(QStringLiteral("Eliminar una factura completa: ¿SEGURO?")))
        return;
    bool eliminada = false;
    try {
        eliminada = Global::BD->EliminarFactura(Serie(), static_cast<qint32>(*numero));
    } catch (const motor::Error&) {
        eliminada = false;
    }
    if (eliminada) {
        Refresco(std::nullopt);
        // Its notes are free again: the note list must not still show them invoiced.
        ReleerSiCargado(Navegadores::albaranes);
    } else {
        Mensaje(QStringLiteral("Error al eliminar la factura."), QMessageBox::Critical);
    }
}

// The invoice is paid with what the customer owes as it prints: no question is asked.
void BrowFac::Liquidar()
{
    const FilaFactura* fila = FilaActual();
    if (!fila || !Global::BD || EnEdicion(fila->Numero, QStringLiteral("liquidar")))
        return;
    const qint32 numero = fila->Numero;
    const double total = TotalAPagar(*fila);
    bool hecho = false;
    try {
        Factura f(*Global::BD);
        if (f.WhoAmI(Serie(), numero)) {
            f.Pagado = total;
            hecho = f.Update();
        }
    } catch (const motor::Error&) {
        hecho = false;
    }
    Refresco(numero);
    if (!hecho)
        Mensaje(QStringLiteral("Error al guardar los datos.\nEl pago no se ha guardado; vuelva a intentarlo."), QMessageBox::Critical);
}

QString BrowFac::ImprimirDocumento(long numero, int copias)
{
    QString motivo;
    try {
        Factura f(*Global::BD);
        if (!f.WhoAmI(Serie(), static_cast<qint32>(numero)))
            motivo = f.UltimoError();
        for (int i = 0; motivo.isEmpty() && i < copias; ++i) {
            auto motor = NuevoMotorMascaras();
            if (!f.Imprimir(*motor, CarpetaMascaras(kMascara)))
                motivo = QStringLiteral("No se ha podido imprimir la factura.\nCompruebe que la máscara \"mskFact.txt\" "
                                        "está junto al programa.");
        }
    } catch (const motor::Error& e) {
        motivo = motor::TextoParaUsuario(e);
    }
    // The row shows the invoice as it is now, whether printed or gone.
    Refresco(numero);
    return motivo;
}

void BrowFac::ImprimirUna() { ImprimirActual(); }

void BrowFac::ImprimirLista()
{
    if (Grd->Rows() <= 1 || !Global::BD)
        return;
    MnuImpF dialogo(this);
    const qint16 respuesta = dialogo.Accion();
    if (respuesta == MnuImpF::Cancelado)
        return;
    if (respuesta == MnuImpF::UnaFactura) {
        ImprimirActual(1);
        return;
    }
    const FiltroLista& f = filtro();
    const std::optional<bool> estado = EstadoFiltro();
    Listado l = ListadoFacturas(respuesta == MnuImpF::PorClientes, f.cliente ? std::optional<qint32>(f.cliente->codigo) : std::nullopt,
                                f.desde, f.hasta, !estado ? 0 : *estado ? 1 : 2);
    EjecutarListado(l, this);
}
