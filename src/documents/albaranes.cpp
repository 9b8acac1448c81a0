#include "albaranes.h"

#include "albaran.h"
#include "basedatos.h"
#include "dinero.h"
#include "factura.h"
#include "formato.h"
#include "global.h"
#include "motor.h"
#include "utilidades.h"

#include <algorithm>
#include <limits>

namespace {

qint16 Cuenta(size_t n) { return static_cast<qint16>(std::min<size_t>(n, std::numeric_limits<qint16>::max())); }

void Sumar(qint16& contador)
{
    if (contador < std::numeric_limits<qint16>::max())
        ++contador;
}

}  // namespace

QString TextoTituloAlbaran(qint32 numero, const QDate& fecha)
{
    QString t = QStringLiteral("Albarán Nº@N de fecha @F");
    Reemplazar(QStringLiteral("@N"), QString::number(numero), t);
    Reemplazar(QStringLiteral("@F"), Formato(Valor(fecha), QStringLiteral("dd/mm/yyyy")), t);
    return t;
}

QString TextoConceptoAlbaran(qint32 numero, const QDate& fecha, double iva)
{
    QString t = QStringLiteral("Albarán Nº@N de fecha @F  (iva @I%)");
    Reemplazar(QStringLiteral("@N"), QString::number(numero), t);
    Reemplazar(QStringLiteral("@F"), Formato(Valor(fecha), QStringLiteral("dd/mm/yyyy")), t);
    Reemplazar(QStringLiteral("@I"), Formato(iva, QStringLiteral("0.0")), t);
    return t;
}

double SinIVA(double valor, double iva)
{
    return AEuros(SinIVACentimos(Centimos(valor), static_cast<float>(iva)));
}

Albaranes::Albaranes(BaseDatos& bd, QObject* padre) : QObject(padre), m_bd(bd) {}
Albaranes::~Albaranes() = default;

void Albaranes::WhoAmI(std::optional<qint32> numero, std::optional<qint32> cliente, std::optional<QDate> desde,
                       std::optional<QDate> hasta)
{
    m_numero = numero;
    m_cliente = cliente;
    m_desde = desde;
    m_hasta = hasta;
}

void Albaranes::FijarImpresion(std::function<std::unique_ptr<MotorMascaras>()> fabrica, const QString& carpetaMascaras)
{
    m_fabricaImpresion = std::move(fabrica);
    m_carpetaMascaras = carpetaMascaras;
}

void Albaranes::Eliminar() { Recorrer(Operacion::Eliminar); }
void Albaranes::Descontar() { Recorrer(Operacion::Descontar); }
void Albaranes::Restaurar() { Recorrer(Operacion::Restaurar); }

namespace {

Filtro ComoFiltro(const std::optional<qint32>& v) { return v ? Filtro(*v) : Filtro(); }
Filtro ComoFiltro(const std::optional<QDate>& v) { return v ? Filtro(*v) : Filtro(); }

}  // namespace

void Albaranes::Anotar(const QString& motivo)
{
    if (m_ultimoError.isEmpty())
        m_ultimoError = motivo;
}

std::vector<FilaAlbaran> Albaranes::Seleccion()
{
    try {
        return m_bd.ListaAlbaranes(ComoFiltro(m_numero), ComoFiltro(m_cliente), ComoFiltro(m_desde), ComoFiltro(m_hasta));
    } catch (const motor::Error& e) {
        Anotar(motor::TextoParaUsuario(e));
        return {};
    }
}

void Albaranes::Recorrer(Operacion operacion)
{
    m_ultimoError.clear();
    std::vector<qint32> numeros;
    for (const FilaAlbaran& f : Seleccion()) {
        const bool toma = operacion == Operacion::Eliminar ? f.Factura.esNulo()
            : operacion == Operacion::Descontar            ? f.Stock != 0
                                                           : f.Stock == 0;
        if (toma)
            numeros.push_back(f.Numero);
    }

    qint16 cuenta = Cuenta(numeros.size());
    bool cancelar = false;
    switch (operacion) {
    case Operacion::Eliminar: emit AntesDeEliminar(cuenta, cancelar); break;
    case Operacion::Descontar: emit AntesDeDescontar(cuenta, cancelar); break;
    case Operacion::Restaurar: emit AntesDeRestaurar(cuenta, cancelar); break;
    }
    if (cancelar)
        return;

    qint16 hechos = 0, fallidos = 0;
    for (qint32 numero : numeros) {
        // Each note is its own short transaction: a failure leaves it as it was and the run goes on.
        bool exito = false;
        Albaran albaran(m_bd);
        if (operacion == Operacion::Eliminar) {
            try {
                exito = m_bd.EliminarAlbaran(numero);
                if (!exito)
                    Anotar(QStringLiteral("El albarán %1 ya no estaba pendiente: otro puesto lo ha borrado o facturado.").arg(numero));
            } catch (const motor::Error& e) {
                Anotar(motor::TextoParaUsuario(e));
            }
        } else {
            exito = albaran.WhoAmI(numero) && albaran.Stock(operacion == Operacion::Restaurar);
            if (!exito)
                Anotar(albaran.UltimoError());
        }
        Sumar(exito ? hechos : fallidos);
        bool parar = false;
        switch (operacion) {
        case Operacion::Eliminar: emit UnoEliminado(exito, parar); break;
        case Operacion::Descontar: emit UnoDescontado(exito, parar); break;
        case Operacion::Restaurar: emit UnoRestaurado(exito, parar); break;
        }
        if (parar)
            break;
    }
    switch (operacion) {
    case Operacion::Eliminar: emit DespuesDeEliminar(hechos, fallidos); break;
    case Operacion::Descontar: emit DespuesDeDescontar(hechos, fallidos); break;
    case Operacion::Restaurar: emit DespuesDeRestaurar(hechos, fallidos); break;
    }
}

void Albaranes::Facturar()
{
    m_ultimoError.clear();
    std::vector<FilaAlbaran> filas;
    for (FilaAlbaran& f : Seleccion())
        if (f.Factura.esNulo() && (f.Pagado.esNulo() || f.Pagado.aNumero() == 0))
            filas.push_back(std::move(f));
    std::stable_sort(filas.begin(), filas.end(), [](const FilaAlbaran& a, const FilaAlbaran& b) {
        if (a.Cliente.aEntero() != b.Cliente.aEntero())
            return a.Cliente.aEntero() < b.Cliente.aEntero();
        return a.Fecha.aFecha() < b.Fecha.aFecha();
    });

    if (!filas.empty()) {
        std::vector<qint32> numeros;
        for (const FilaAlbaran& f : filas)
            numeros.push_back(f.Numero);
        QStringList sinRecargo;
        try {
            for (const qint16 d : m_bd.DepartamentosConRecargo(numeros)) {
                const auto i = static_cast<size_t>(d);
                if (d >= 1 && d <= 10 && Global::IVADepartamento[i] > 0 && Global::RecargoEquivalencia[i] == 0)
                    sinRecargo << QStringLiteral("%1 (IVA %2 %)").arg(d).arg(Formato(static_cast<double>(Global::IVADepartamento[i]),
                                                                                    QStringLiteral("#0.0")));
            }
        } catch (const motor::Error&) {
        }
        if (!sinRecargo.isEmpty()) {
            const QString lista = sinRecargo.size() == 1
                                      ? QStringLiteral("el departamento ") + sinRecargo.first()
                                      : QStringLiteral("los departamentos ") + sinRecargo.mid(0, sinRecargo.size() - 1).join(QStringLiteral(", "))
                                            + QStringLiteral(" y ") + sinRecargo.last();
            bool cancelar = false;
            emit AvisoRecargo(QStringLiteral("Hay clientes con recargo de equivalencia, pero %1 no %2 recargo en «Configurar»: "
                                             "se les facturará al 0 %.\n¿SEGURO?")
                                  .arg(lista, sinRecargo.size() == 1 ? QStringLiteral("tiene") : QStringLiteral("tienen")),
                              cancelar);
            if (cancelar)
                return;
        }
    }

    qint16 cuenta = Cuenta(filas.size());
    qint16 serie = 0;
    QDate fecha = QDate::currentDate();
    qint16 detalle = 3;
    bool unaPorAlbaran = false, imprimir = false, cancelar = false;
    emit AntesDeFacturar(cuenta, serie, fecha, detalle, unaPorAlbaran, imprimir, cancelar);
    if (cancelar)
        return;

    qint16 facturas = 0, facturados = 0, noFacturados = 0;
    // The invoice in progress collects its notes in memory (the per-note "invoiced" event is
    // raised when a note joins it, before anything is stored); when it is closed, the invoice,
    // its lines and the links of its notes are written in one short transaction, so that no
    // event handler runs while the database is locked and a crash never leaves a note pointing
    // at an invoice that was not stored. The invoice is all or nothing: a line that fails rolls
    // the whole invoice back and its notes stay pending.
    struct Cabecera {
        std::optional<qint32> cliente;
        float descuento = 0;
        float desctoPP = 0;
    } actual;
    std::vector<std::unique_ptr<Albaran>> notas;
    // The invoice of `notas`, built as they join so that nothing slow runs under the lock.
    std::unique_ptr<Factura> factura;
    int lineasActuales = 0;

    auto necesarias = [&](const Albaran& a) {
        return (detalle == 2 ? static_cast<int>(a.Totales().size()) : a.NumeroLineas()) + (detalle == 3 ? 1 : 0);
    };
    auto nueva = [&]() {
        auto f = std::make_unique<Factura>(m_bd);
        f->WhoAmI(serie);  // the number is taken again under the lock when another station used it
        f->Fecha = fecha;
        if (f->SetCliente(actual.cliente.value_or(0)))
            f->FijarDescuento(actual.descuento);
        f->FijarDesctoPP(actual.desctoPP);
        return f;
    };
    auto cerrar = [&] {
        if (notas.empty())
            return;
        const qint16 tomadas = Cuenta(notas.size());
        qint16 quitadas = 0;
        bool guardada = false;
        try {
            motor::BaseDeDatos::Transaccion t(*m_bd.Motor());
            // Under the write lock: a note another station has billed, paid, changed or deleted
            // since it was read stays out, so a note is billed once whatever runs beside.
            std::vector<const Albaran*> vigentes;
            for (const std::unique_ptr<Albaran>& a : notas) {
                if (a->SinCambiosAjenos()) {
                    vigentes.push_back(a.get());
                } else {
                    ++quitadas;
                    Anotar(a->UltimoError());
                }
            }
            if (quitadas > 0 && !vigentes.empty()) {
                factura = nueva();
                for (const Albaran* a : vigentes)
                    AnadirLineas(*factura, *a, detalle);
            }
            if (!vigentes.empty()) {
                if (!factura->Update())
                    throw motor::Error(motor::ErrGeneral, 0, factura->UltimoError());
                for (const Albaran* a : vigentes)
                    if (!m_bd.EnlazarAlbaranPendiente(*a->Numero, serie, *factura->Numero))
                        throw motor::Error(motor::ErrGeneral, 0,
                                           QStringLiteral("El albarán %1 ya no está pendiente de facturar.").arg(*a->Numero));
                t.commit();
                guardada = true;
                Sumar(facturas);
            }
        } catch (const motor::Error& e) {
            // Nothing of this invoice was stored: its notes stay pending.
            Anotar(motor::TextoParaUsuario(e));
            quitadas = tomadas;
        }
        facturados = static_cast<qint16>(facturados - quitadas);
        noFacturados = static_cast<qint16>(noFacturados + quitadas);
        // Printed only once stored: a printed invoice always exists.
        if (guardada && imprimir && m_fabricaImpresion)
            if (std::unique_ptr<MotorMascaras> motor = m_fabricaImpresion())
                factura->Imprimir(*motor, m_carpetaMascaras);
        factura.reset();
        notas.clear();
        lineasActuales = 0;
    };

    for (const FilaAlbaran& fila : filas) {
        bool exito = false;
        auto albaran = std::make_unique<Albaran>(m_bd);
        const bool valido = albaran->WhoAmI(fila.Numero) && !albaran->Facturado() && albaran->Pagado == 0 && albaran->Cliente();
        if (!valido && !albaran->UltimoError().isEmpty())
            Anotar(albaran->UltimoError());
        if (valido) {
            if (!notas.empty() && (unaPorAlbaran || albaran->Cliente() != actual.cliente))
                cerrar();
            // Line numbers are 16-bit: a customer with more lines than one invoice holds gets another.
            const int n = necesarias(*albaran);
            if (!notas.empty() && lineasActuales + n > 32767)
                cerrar();
            if (notas.empty()) {
                actual = Cabecera{albaran->Cliente(), albaran->Descuento(), albaran->DesctoPP};
                factura = nueva();
            }
            if (lineasActuales + n <= 32767) {
                AnadirLineas(*factura, *albaran, detalle);
                lineasActuales += n;
                notas.push_back(std::move(albaran));
                exito = true;
            }
        }
        Sumar(exito ? facturados : noFacturados);
        bool parar = false;
        emit UnoFacturado(exito, parar);
        if (parar)
            break;
    }
    cerrar();
    emit DespuesDeFacturar(facturas, facturados, noFacturados);
}

void Albaranes::AnadirLineas(Factura& factura, const Albaran& albaran, qint16 detalle)
{
    const bool conIVA = albaran.OnLine() || !Global::IVADesglosado;
    const QDate fechaAlbaran = albaran.Fecha.value_or(QDate());
    if (detalle == 2) {
        for (const FilaBase& t : albaran.Totales()) {
            LineaFactura* l = factura.NuevaLinea();
            const double iva = t.clave.value_or(0);
            l->FijarConcepto(TextoConceptoAlbaran(*albaran.Numero, fechaAlbaran, iva));
            l->FijarImporte(conIVA ? SinIVA(t.importe, iva) : t.importe);
            l->FijarpIVA(static_cast<float>(iva));
            l->FijarpREQ(static_cast<float>(t.recargo));
        }
        return;
    }
    if (detalle == 3)
        factura.NuevaLinea()->FijarTitulo(TextoTituloAlbaran(*albaran.Numero, fechaAlbaran));
    for (qint16 i = 1; i <= albaran.NumeroLineas(); ++i) {
        const LineaAlbaran* la = albaran.Linea(i);
        LineaFactura* l = factura.NuevaLinea();
        if (l->FijarReferencia(la->Codigo())) {
            l->FijarPrecio(conIVA ? SinIVA(la->Precio(), l->pIVA()) : la->Precio());
            l->FijarDescuento(la->Descuento());
            l->FijarCantidad(la->Cantidad());
        } else {
            // The article has left the catalogue: the line is billed as a concept with the
            // note line's own amount and its department's VAT, so no tax is lost.
            const auto depto = static_cast<size_t>(std::clamp<int>(la->Departamento(), 0, 10));
            const double iva = depto >= 1 ? Global::IVADepartamento[depto] : 0.0;
            l->FijarConcepto(QStringLiteral("Artículo %1").arg(la->Codigo()));
            l->FijarImporte(conIVA ? SinIVA(la->ImporteDescontado(), iva) : la->ImporteDescontado());
            l->FijarpIVA(static_cast<float>(iva));
            l->FijarpREQ(depto >= 1 ? Global::RecargoEquivalencia[depto] : 0.0f);
        }
        l->FijarBultos(la->Bultos);
        l->FijarEnvase(la->Envase());
        l->FijarComentario(la->Comentario());
    }
}
