#include "browalb.h"

#include "albaran.h"
#include "albaranes.h"
#include "dinero.h"
#include "editorcelda.h"
#include "formato.h"
#include "genefact.h"
#include "global.h"
#include "impresion.h"
#include "listado.h"
#include "mnuimp.h"
#include "unalbaran.h"
#include "listafilas.h"
#include "motor.h"
#include "utilidades.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>

#include <algorithm>
#include <limits>

namespace {

QPointer<BrowAlb> g_unico;


constexpr ListaFilas::Columna kColumnas[] = {
    {"Número", 48, Qt::AlignHCenter, "000000"}, {"Fecha", 64, Qt::AlignHCenter, "00/00/0000"},
    {"Cód.", 48, Qt::AlignHCenter, "000000"},    {"Cliente", 232, Qt::AlignLeft, ListaFilas::kNombreLargo},
    {"nL", 24, Qt::AlignRight, "000"},           {"Importe", 56, Qt::AlignRight, "000.000,00"},
    {"Factura", 48, Qt::AlignHCenter, "000000"}, {"Stk", 24, Qt::AlignHCenter, "Sí"},
    {"Pagado", 56, Qt::AlignRight, "000.000,00"},
};
constexpr int kColPagado = 8;

QString ConCuenta(QString texto, qint16 cuenta)
{
    Reemplazar(QStringLiteral("@N"), QString::number(cuenta), texto);
    return texto;
}

// "UN albarán" / "@N albaranes" in the sentence that fits the count.
QString SegunCuenta(qint16 cuenta, const QString& ninguno, const QString& uno, const QString& varios)
{
    return cuenta == 0 ? ninguno : cuenta == 1 ? uno : ConCuenta(varios, cuenta);
}

// The notes of a run that were not done, each reason with its notes.
QString PorQue(const Albaranes& lote)
{
    return MotivosAgrupados(lote.Fallos(), QStringLiteral("Albarán"), QStringLiteral("Albaranes"));
}

}  // namespace

BrowAlb::BrowAlb() : NavegadorBase(QStringLiteral("BrowAlb"), QStringLiteral("Lista de Albaranes"), Navegadores::albaranes, nullptr)
{
    m_paginas.alLlegar = [this] { FilasLlegadas(); };
    m_paginas.alFallar = [this](const motor::Error& e) {
        Mensaje(QStringLiteral("Error al leer la lista.\n") + motor::TextoParaUsuario(e), QMessageBox::Critical);
    };
    Botonera()->addStretch();
    Nuevo = AnadirBoton("Nuevo", QStringLiteral("Nuevo albarán"));
    Borrar = AnadirBoton("Borrar", QStringLiteral("Eliminar albaranes"));
    Stockar = AnadirBoton("Stockar", QStringLiteral("Tratamiento stock"));
    Facturar = AnadirBoton("Facturar", QStringLiteral("Generar facturas"));
    Imprimir = AnadirBoton("Imprimir", QStringLiteral("Listado de albaranes"));
    Salir = AnadirBoton("Salir", QStringLiteral("Cerrar"));

    Grd->PonerColumnas(kColumnas);

    auto accion = [this](QMenu* menu, const char* nombre, const QString& texto, void (BrowAlb::*metodo)()) {
        QAction* a = menu->addAction(texto);
        a->setObjectName(QString::fromLatin1(nombre));
        if (metodo)
            connect(a, &QAction::triggered, this, metodo);
        return a;
    };
    MnModificar = accion(MnAcciones, "MnModificar", QStringLiteral("Ver/Modificar"), &BrowAlb::AbrirActual);
    MnEliminar = accion(MnAcciones, "MnEliminar", QStringLiteral("Eliminar"), &BrowAlb::EliminarUno);
    MnNuevo = accion(MnAcciones, "MnNuevo", QStringLiteral("Nuevo"), &BrowAlb::NuevoAlbaran);
    MnAcciones->addSeparator();
    MnFacturar = accion(MnAcciones, "MnFacturar", QStringLiteral("Facturar"), &BrowAlb::FacturarUno);
    MnDescontar = accion(MnAcciones, "MnDescontar", QStringLiteral("Descontar Stock"), nullptr);
    MnDeshacer = accion(MnAcciones, "MnDeshacer", QStringLiteral("Restaurar Stock"), nullptr);
    mnImprUno = accion(MnAcciones, "mnImprUno", QStringLiteral("Imprimir"), &BrowAlb::ImprimirUno);
    MnLiquidar = accion(MnAcciones, "MnLiquidar", QStringLiteral("Liquidar"), &BrowAlb::Liquidar);
    connect(MnDescontar, &QAction::triggered, this, [this] { StockUno(false); });
    connect(MnDeshacer, &QAction::triggered, this, [this] { StockUno(true); });

    MnStockMasivo = new QMenu(QStringLiteral("Stock Masivo"), this);
    MnStockMasivo->setObjectName(QStringLiteral("MnStockMasivo"));
    MnDescontarMasivo = MnStockMasivo->addAction(QStringLiteral("Descontar"));
    MnDescontarMasivo->setObjectName(QStringLiteral("MnDescontarMasivo"));
    MnRestaurarMasivo = MnStockMasivo->addAction(QStringLiteral("Restaurar"));
    MnRestaurarMasivo->setObjectName(QStringLiteral("MnRestaurarMasivo"));
    connect(MnDescontarMasivo, &QAction::triggered, this, [this] { Lote(Masiva::Descontar); });
    connect(MnRestaurarMasivo, &QAction::triggered, this, [this] { Lote(Masiva::Restaurar); });

    connect(Nuevo, &QPushButton::clicked, this, &BrowAlb::NuevoAlbaran);
    connect(Borrar, &QPushButton::clicked, this, [this] { Lote(Masiva::Eliminar); });
    connect(Stockar, &QPushButton::clicked, this,
            [this] { MnStockMasivo->popup(Stockar->mapToGlobal(QPoint(0, Stockar->height()))); });
    connect(Facturar, &QPushButton::clicked, this, [this] { Lote(Masiva::Facturar); });
    connect(Imprimir, &QPushButton::clicked, this, &BrowAlb::ImprimirLista);
    connect(Salir, &QPushButton::clicked, this, [this] { (parentWidget() ? parentWidget() : this)->close(); });

    txEd = new EditorCelda(Grd);
    txEd->setObjectName(QStringLiteral("txEd"));
    txEd->setAlignment(Qt::AlignRight);
    txEd->setLongitudColumna(kColPagado, 9);
    txEd->setFiltroColumna(kColPagado, [](int& tecla) { FiltrarTecla(tecla, QStringLiteral(",")); });
    txEd->setTeclaAbajo([this](QKeyEvent& e) {
        if (e.key() == Qt::Key_Return || e.key() == Qt::Key_Enter) {
            AceptarLiquidar();
            return true;
        }
        if (e.key() == Qt::Key_Escape) {
            txEd->cerrar();
            return true;
        }
        return false;
    });
    connect(txEd, &EditorCelda::focoPerdido, txEd, &EditorCelda::cerrar);
}

BrowAlb::~BrowAlb() = default;

BrowAlb* BrowAlb::Abrir(std::optional<ClienteFiltro> cliente, std::optional<QDate> desde, std::optional<QDate> hasta)
{
    return AbrirUnico(g_unico, FiltroLista{std::move(cliente), desde, hasta});
}

BrowAlb* BrowAlb::Actual() { return g_unico && g_unico->Cargado() ? g_unico.data() : nullptr; }

// --- the list ----------------------------------------------------------------------------

void BrowAlb::Leer()
{
    Grd->Cargar(0, {});
    if (!Global::BD) {
        m_paginas.Parar();
        m_filas.clear();
        return;
    }
    const FiltroLista& f = filtro();
    const Filtro cliente = f.cliente ? Filtro(f.cliente->codigo) : Filtro();
    const Filtro desde = f.desde ? Filtro(*f.desde) : Filtro();
    const Filtro hasta = f.hasta ? Filtro(*f.hasta) : Filtro();
    // In number order: a page starts after the last note the one before it gave.
    m_paginas.Empezar(Grd->Modelo(), [=, ultimo = std::optional<qint32>()](std::vector<FilaAlbaran>& filas, int limite) mutable {
        std::vector<FilaAlbaran> pagina = Global::BD ? Global::BD->PaginaAlbaranes(cliente, desde, hasta, ultimo, limite)
                                                     : std::vector<FilaAlbaran>{};
        if (!pagina.empty())
            ultimo = pagina.back().Numero;
        const bool mas = pagina.size() >= static_cast<size_t>(limite);
        filas.insert(filas.end(), std::make_move_iterator(pagina.begin()), std::make_move_iterator(pagina.end()));
        return mas;
    }, [=] { return Global::BD ? Global::BD->CuentaAlbaranes(cliente, desde, hasta) : qint64{0}; });
    Grd->Cargar(static_cast<int>(m_filas.size()),
                [this](int fila, int col) { return Texto(m_filas[static_cast<size_t>(fila)], col); });
}

// The list is in number order, so one note's row is found and placed by its number.
std::optional<int> BrowAlb::LeerFila(long numero)
{
    if (!Global::BD || numero < 0 || numero > std::numeric_limits<qint32>::max()
        || Grd->Rows() - 1 != static_cast<int>(m_filas.size()))
        return std::nullopt;
    // A note past the rows read so far: the pages up to it first, so that it takes its place.
    while (m_paginas.Incompleta() && !m_filas.empty() && numero > m_filas.back().Numero)
        m_paginas.LeerMas();
    const FiltroLista& f = filtro();
    std::vector<FilaAlbaran> leida = Global::BD->ListaAlbaranes(
        Filtro(static_cast<qint32>(numero)), f.cliente ? Filtro(f.cliente->codigo) : Filtro(),
        f.desde ? Filtro(*f.desde) : Filtro(), f.hasta ? Filtro(*f.hasta) : Filtro());
    const auto donde = std::lower_bound(m_filas.begin(), m_filas.end(), numero,
                                        [](const FilaAlbaran& a, long n) { return a.Numero < n; });
    const int fila = static_cast<int>(donde - m_filas.begin());
    const bool listada = donde != m_filas.end() && donde->Numero == numero;
    if (leida.empty()) {
        if (listada) {
            m_filas.erase(donde);
            Grd->Modelo()->FilaQuitada(fila);
        }
        return 0;
    }
    if (listada) {
        *donde = std::move(leida.front());
        Grd->Modelo()->FilaCambiada(fila);
    } else {
        m_filas.insert(donde, std::move(leida.front()));
        Grd->Modelo()->FilaInsertada(fila);
    }
    return fila + 1;
}

QString BrowAlb::Texto(const FilaAlbaran& f, int col) const
{
    switch (col) {
    case 0: return QString::number(f.Numero);
    case 1: return Formato(f.Fecha, QStringLiteral("dd/mm/yyyy"));
    case 2: return f.Cliente.esNulo() ? QString() : QString::number(f.Cliente.aEntero());
    case 3: return f.nombre.aTexto();
    case 4: return QString::number(f.nLin);
    case 5: return Formato(f.Importe / 100, kFormatoMoneda);
    case 6: return f.Factura.esNulo() ? QString() : Formato(f.Factura, QStringLiteral("000000"));
    case 7: return Formato(Valor(static_cast<qint64>(f.Stock)), QStringLiteral("Yes/No"));
    case 8: return Formato(f.Pagado.esNulo() ? Valor(0) : f.Pagado, kFormatoMoneda);
    default: return {};
    }
}

std::optional<long> BrowAlb::NumeroDeFila(int fila) const
{
    if (fila < 1 || fila > static_cast<int>(m_filas.size()))
        return std::nullopt;
    return m_filas[static_cast<size_t>(fila - 1)].Numero;
}

bool BrowAlb::Facturado(int fila) const { return EsNumerico(Grd->TextMatrix(fila, 6)); }

bool BrowAlb::StockPendiente(int fila) const
{
    return Grd->TextMatrix(fila, 7) == Formato(Valor(true), QStringLiteral("Yes/No"));
}

void BrowAlb::PrepararMenu()
{
    const int fila = Grd->Row();
    const bool nota = NumeroDeFila(fila).has_value();
    const bool libre = nota && !Facturado(fila);
    MnModificar->setEnabled(nota);
    MnEliminar->setEnabled(libre);
    MnFacturar->setEnabled(libre);
    MnLiquidar->setEnabled(libre);
    MnDescontar->setVisible(nota && StockPendiente(fila));
    MnDeshacer->setVisible(nota && !StockPendiente(fila));
    mnImprUno->setEnabled(nota);
}

bool BrowAlb::Tecla(QKeyEvent& e)
{
    // The letters are commands only alone: Ctrl+D or Alt+E belong to the window and the menus.
    if (e.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    if (e.key() == Qt::Key_N || e.key() == Qt::Key_Insert) {
        NuevoAlbaran();
        return true;
    }
    const int fila = Grd->Row();
    if (!NumeroDeFila(fila))
        return false;
    const bool libre = !Facturado(fila);
    switch (e.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_V:
        AbrirActual();
        return true;
    case Qt::Key_E:
    case Qt::Key_Delete:
        if (libre)
            EliminarUno();
        else
            Mensaje(QStringLiteral("El albarán está facturado: no se puede eliminar.\nPara eliminarlo, elimine antes su factura."),
                    QMessageBox::Information);
        return true;
    case Qt::Key_F:
        if (libre)
            FacturarUno();
        return true;
    case Qt::Key_L:
        if (libre)
            Liquidar();
        return true;
    case Qt::Key_D:
        if (StockPendiente(fila))
            StockUno(false);
        return true;
    case Qt::Key_S:
        if (!StockPendiente(fila))
            StockUno(true);
        return true;
    default:
        return false;
    }
}

// One editor per note: a note already open comes to the front.
void BrowAlb::AbrirActual()
{
    const auto numero = NumeroActual();
    if (!numero || MostrarHijo(*numero))
        return;
    AnadirHijo(*numero, UnAlbaran::Editar(*numero, this));
}

void BrowAlb::NuevoAlbaran()
{
    if (!MostrarHijo(0))
        AnadirHijo(0, UnAlbaran::Editar(std::nullopt, this));
}

QString BrowAlb::NombreDocumento() const { return QStringLiteral("El albarán"); }

// --- one note ----------------------------------------------------------------------------

void BrowAlb::EliminarUno()
{
    const auto numero = NumeroActual();
    if (!numero || !Global::BD || EnEdicion(*numero, QStringLiteral("eliminar")))
        return;
    if (!Pregunta(QStringLiteral("Eliminar un albarán completo: ¿SEGURO?")))
        return;
    bool eliminado = false;
    QString motivo = QStringLiteral("Posiblemente figure en alguna factura.\nDeberá eliminar primero dicho documento.");
    try {
        eliminado = Global::BD->EliminarAlbaran(static_cast<qint32>(*numero));
    } catch (const motor::Error& e) {
        motivo = motor::TextoParaUsuario(e);
    }
    if (eliminado)
        Refresco(std::nullopt);
    else
        Mensaje(QStringLiteral("Error al eliminar el albarán.\n") + motivo, QMessageBox::Critical);
}

void BrowAlb::FacturarUno()
{
    const auto numero = NumeroActual();
    if (numero && !EnEdicion(*numero, QStringLiteral("facturar")))
        Lote(Masiva::Facturar, static_cast<qint32>(*numero));
}

void BrowAlb::StockUno(bool devolver)
{
    const auto numero = NumeroActual();
    if (!numero || !Global::BD || EnEdicion(*numero, QStringLiteral("modificar")))
        return;
    bool hecho = true;
    QString motivo;
    try {
        Albaran a(*Global::BD);
        if (!a.WhoAmI(static_cast<qint32>(*numero)))
            hecho = false;
        else if (a.EstadoStock() == devolver)
            hecho = a.Stock(devolver);
        motivo = a.UltimoError();
    } catch (const motor::Error& e) {
        hecho = false;
        motivo = motor::TextoParaUsuario(e);
    }
    Refresco(*numero);
    if (!hecho)
        Mensaje(QStringLiteral("Error al guardar los datos.\nEl stock del albarán no ha cambiado.\n")
                    + (motivo.isEmpty() ? QStringLiteral("Vuelva a intentarlo.") : motivo),
                QMessageBox::Critical);
}

QString BrowAlb::ImprimirDocumento(long numero, int copias)
{
    try {
        Albaran a(*Global::BD);
        if (!a.WhoAmI(static_cast<qint32>(numero)))
            return a.UltimoError();
        for (int i = 0; i < copias; ++i) {
            auto motor = NuevoMotorMascaras();
            if (!a.Imprimir(*motor, CarpetaMascaras(QStringLiteral("mskAlba.txt"))))
                return QStringLiteral("No se ha podido imprimir el albarán.\nCompruebe que la máscara \"mskAlba.txt\" está "
                                      "junto al programa.");
        }
    } catch (const motor::Error& e) {
        return motor::TextoParaUsuario(e);
    }
    return {};
}

void BrowAlb::ImprimirUno() { ImprimirActual(); }

void BrowAlb::ImprimirLista()
{
    if (Grd->Rows() <= 1 || !Global::BD)
        return;
    MnuImpA dialogo(this);
    const qint16 respuesta = dialogo.Accion();
    if (respuesta == MnuImpA::Cancelado)
        return;
    if (respuesta == MnuImpA::UnAlbaran) {
        ImprimirActual(1);
        return;
    }
    const FiltroLista& f = filtro();
    Listado l = ListadoAlbaranes(f.cliente ? std::optional<qint32>(f.cliente->codigo) : std::nullopt, f.desde, f.hasta,
                                 respuesta - MnuImpA::Todos);
    EjecutarListado(l, this);
}

// --- settling ----------------------------------------------------------------------------

void BrowAlb::Liquidar()
{
    const int fila = Grd->Row();
    if (!NumeroDeFila(fila))
        return;
    Grd->scrollTo(Grd->model()->index(fila - 1, kColPagado));
    txEd->abrir(fila, kColPagado, Grd->TextMatrix(fila, kColPagado));
    txEd->show();
    txEd->setFocus(Qt::OtherFocusReason);
    txEd->selectAll();
}

void BrowAlb::AceptarLiquidar()
{
    const auto numero = NumeroDeFila(txEd->fila());
    const QString texto = txEd->text();
    txEd->cerrar();
    if (!numero || !Global::BD || EnEdicion(*numero, QStringLiteral("liquidar")))
        return;
    bool hecho = false;
    QString motivo;
    try {
        Albaran a(*Global::BD);
        if (a.WhoAmI(static_cast<qint32>(*numero))) {
            const qint64 base = a.CentimosBase();
            const double total = AEuros(base + a.CentimosEnvases() - a.CentimosDescuentos(base));
            a.Pagado = std::min(LeerNumero(texto).value_or(0), total);
            hecho = a.Update();
        }
        motivo = a.UltimoError();
    } catch (const motor::Error& e) {
        hecho = false;
        motivo = motor::TextoParaUsuario(e);
    }
    if (hecho)
        Refresco(*numero);
    else
        Mensaje(QStringLiteral("Error al guardar los datos.\nEl pago no se ha guardado.\n")
                    + (motivo.isEmpty() ? QStringLiteral("Vuelva a intentarlo.") : motivo),
                QMessageBox::Critical);
}

// --- bulk operations ---------------------------------------------------------------------

void BrowAlb::Lote(Masiva operacion, std::optional<qint32> numero)
{
    if (!Global::BD || LosAlbaranes)
        return;
    LosAlbaranes = std::make_unique<Albaranes>(*Global::BD);
    Albaranes& lote = *LosAlbaranes;
    const FiltroLista& f = filtro();
    if (numero)
        lote.WhoAmI(numero);
    else
        lote.WhoAmI(std::nullopt, f.cliente ? std::optional<qint32>(f.cliente->codigo) : std::nullopt, f.desde, f.hasta);
    m_hechos = 0;

    connect(&lote, &Albaranes::AntesDeEliminar, this, [this](qint16& cuenta, bool& cancelar) {
        Antes(cuenta, cancelar, QStringLiteral("En la lista no hay albaranes que se puedan eliminar."),
              QStringLiteral("Eliminar un albarán completo: ¿SEGURO?"), QStringLiteral("Se van a eliminar @N albaranes completos: ¿SEGURO?"));
    });
    connect(&lote, &Albaranes::AntesDeDescontar, this, [this](qint16& cuenta, bool& cancelar) {
        Antes(cuenta, cancelar, QStringLiteral("En la lista no hay albaranes con stock por descontar"),
              QStringLiteral("Se descontará el stock en UN albarán: ¿SEGURO?"),
              QStringLiteral("Se descontará el stock en @N albaranes: ¿SEGURO?"));
    });
    connect(&lote, &Albaranes::AntesDeRestaurar, this, [this](qint16& cuenta, bool& cancelar) {
        Antes(cuenta, cancelar, QStringLiteral("En la lista no hay albaranes con stock descontado"),
              QStringLiteral("Se restaurará el stock en UN albarán: ¿SEGURO?"),
              QStringLiteral("Se restaurará el stock en @N albaranes: ¿SEGURO?"));
    });
    connect(&lote, &Albaranes::AvisoRecargo, this,
            [this](const QString& texto, bool& cancelar) { cancelar = !Pregunta(texto); });
    connect(&lote, &Albaranes::AntesDeFacturar, this,
            [this](qint16& cuenta, qint16& serie, QDate& fecha, qint16& detalle, bool& una, bool& imprimir, bool& cancelar) {
                if (cuenta == 0) {
                    Mensaje(SinSeleccion(QStringLiteral("En la lista no hay albaranes pendientes de facturar")), QMessageBox::Critical);
                    cancelar = true;
                    return;
                }
                GeneFact dialogo(this);
                cancelar = !dialogo.Dialogo(cuenta, serie, fecha, detalle, una, imprimir);
                if (!cancelar)
                    Antes(cuenta, cancelar, {}, {}, {});
            });
    for (auto senal : {&Albaranes::UnoEliminado, &Albaranes::UnoDescontado, &Albaranes::UnoRestaurado, &Albaranes::UnoFacturado})
        connect(&lote, senal, this, [this](bool, bool& cancelar) { UnoHecho(cancelar); });
    connect(&lote, &Albaranes::DespuesDeEliminar, this, [this](qint16& hechos, qint16& fallidos) {
        Despues();
        QString texto = SegunCuenta(hechos, QStringLiteral("No se ha eliminado ningún albarán."),
                                    QStringLiteral("Se ha eliminado UN albarán completo."),
                                    QStringLiteral("Se han eliminado @N albaranes completos."));
        if (fallidos > 0)
            texto += QLatin1Char('\n')
                + SegunCuenta(fallidos, {}, QStringLiteral("(UN albarán no ha podido ser eliminado)."),
                              QStringLiteral("(@N albaranes no han podido ser eliminados)."))
                + QLatin1Char('\n') + PorQue(*LosAlbaranes);
        Mensaje(texto, fallidos > 0 ? QMessageBox::Warning : QMessageBox::Information);
        Refresco(std::nullopt);
    });
    // The stock runs and invoicing only refresh the list when everything was done; otherwise
    // they tell what was done, what was not and why.
    connect(&lote, &Albaranes::DespuesDeDescontar, this, [this](qint16& hechos, qint16& fallidos) {
        Despues();
        Refresco(std::nullopt);
        if (fallidos > 0)
            Mensaje(SegunCuenta(hechos, QStringLiteral("No se ha descontado el stock de ningún albarán."),
                                QStringLiteral("Se ha descontado el stock de UN albarán."),
                                QStringLiteral("Se ha descontado el stock de @N albaranes."))
                        + QLatin1Char('\n')
                        + SegunCuenta(fallidos, {}, QStringLiteral("(UN albarán no ha podido ser descontado)."),
                                      QStringLiteral("(@N albaranes no han podido ser descontados)."))
                        + QLatin1Char('\n') + PorQue(*LosAlbaranes),
                    QMessageBox::Warning);
    });
    connect(&lote, &Albaranes::DespuesDeRestaurar, this, [this](qint16& hechos, qint16& fallidos) {
        Despues();
        Refresco(std::nullopt);
        if (fallidos > 0)
            Mensaje(SegunCuenta(hechos, QStringLiteral("No se ha restaurado el stock de ningún albarán."),
                                QStringLiteral("Se ha restaurado el stock de UN albarán."),
                                QStringLiteral("Se ha restaurado el stock de @N albaranes."))
                        + QLatin1Char('\n')
                        + SegunCuenta(fallidos, {}, QStringLiteral("(UN albarán no ha podido ser restaurado)."),
                                      QStringLiteral("(@N albaranes no han podido ser restaurados)."))
                        + QLatin1Char('\n') + PorQue(*LosAlbaranes),
                    QMessageBox::Warning);
    });
    connect(&lote, &Albaranes::DespuesDeFacturar, this, [this](qint16& facturas, qint16& facturados, qint16& noFacturados) {
        Despues();
        Refresco(std::nullopt);
        ReleerSiCargado(Navegadores::facturas);
        const auto& sinImprimir = LosAlbaranes->SinImprimir();
        if (noFacturados == 0 && sinImprimir.empty())
            return;
        QString texto = SegunCuenta(facturas, QStringLiteral("No se ha generado ninguna factura."),
                                    QStringLiteral("Se ha generado UNA factura"), QStringLiteral("Se han generado @N facturas"));
        if (facturas > 0)
            texto += SegunCuenta(facturados, QStringLiteral("."), QStringLiteral(" con UN albarán."),
                                 QStringLiteral(" con @N albaranes."));
        if (noFacturados > 0)
            texto += QLatin1Char('\n')
                + SegunCuenta(noFacturados, {}, QStringLiteral("(UN albarán no ha podido ser facturado)."),
                              QStringLiteral("(@N albaranes no han podido ser facturados)."))
                + QLatin1Char('\n') + PorQue(*LosAlbaranes);
        if (!sinImprimir.empty())
            texto += QLatin1Char('\n')
                + SegunCuenta(static_cast<qint16>(sinImprimir.size()), {},
                              QStringLiteral("UNA factura guardada no se ha podido imprimir."),
                              QStringLiteral("@N facturas guardadas no se han podido imprimir."))
                + QLatin1Char('\n') + MotivosAgrupados(sinImprimir, QStringLiteral("Factura"), QStringLiteral("Facturas"));
        Mensaje(texto, QMessageBox::Warning);
    });
    lote.FijarImpresion(NuevoMotorMascaras, CarpetaMascaras(QStringLiteral("mskFact.txt")));

    try {
        switch (operacion) {
        case Masiva::Eliminar: lote.Eliminar(); break;
        case Masiva::Descontar: lote.Descontar(); break;
        case Masiva::Restaurar: lote.Restaurar(); break;
        case Masiva::Facturar: lote.Facturar(); break;
        }
    } catch (const motor::Error& e) {
        Despues();
        Mensaje(QStringLiteral("Error al guardar los datos.\n") + motor::TextoParaUsuario(e)
                    + QStringLiteral("\nRevise la lista: lo hecho hasta el error queda guardado."),
                QMessageBox::Critical);
        Refresco(std::nullopt);
        if (operacion == Masiva::Facturar)
            ReleerSiCargado(Navegadores::facturas);
    }
    Despues();
    LosAlbaranes.reset();
}

// Why a run has no notes: the list could not be read, or none fits.
QString BrowAlb::SinSeleccion(const QString& ninguno) const
{
    return LosAlbaranes && !LosAlbaranes->UltimoError().isEmpty() ? LosAlbaranes->UltimoError() : ninguno;
}

// Confirms the run; on OK the hourglass shows, and a progress dialog when the run lasts.
void BrowAlb::Antes(qint16 cuenta, bool& cancelar, const QString& ninguno, const QString& uno, const QString& varios)
{
    if (cuenta == 0) {
        Mensaje(SinSeleccion(ninguno), QMessageBox::Critical);
        cancelar = true;
        return;
    }
    if (!uno.isEmpty() && !Pregunta(cuenta == 1 ? uno : ConCuenta(varios, cuenta))) {
        cancelar = true;
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_reloj = true;
    m_progreso = new QProgressDialog(QStringLiteral("Procesando albaranes..."), QStringLiteral("Cancelar"), 0, cuenta, this);
    m_progreso->setObjectName(QStringLiteral("Progreso"));
    m_progreso->setWindowTitle(windowTitle());
    m_progreso->setWindowModality(Qt::WindowModal);
    m_progreso->setMinimumDuration(800);
    m_progreso->setAutoClose(false);
    m_progreso->setAutoReset(false);
    m_progreso->setValue(0);
}

// The user may stop a run between notes; the batch closes what it has begun.
void BrowAlb::UnoHecho(bool& cancelar)
{
    ++m_hechos;
    if (!m_progreso)
        return;
    m_progreso->setValue(std::min(m_hechos, m_progreso->maximum()));
    if (m_progreso->wasCanceled())
        cancelar = true;
}

void BrowAlb::Despues()
{
    if (m_progreso)
        delete m_progreso.data();
    if (m_reloj) {
        QApplication::restoreOverrideCursor();
        m_reloj = false;
    }
}
