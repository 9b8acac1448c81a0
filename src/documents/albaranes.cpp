#include "albaranes.h"

#include "albaran.h"
#include "basedatos.h"
#include "factura.h"
#include "formato.h"
#include "global.h"
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

double SinIVA(double valor, double iva) { return Redondear2(valor / (1 + iva / 100)); }

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

void Albaranes::Recorrer(Operacion operacion)
{
    std::vector<qint32> numeros;
    for (const FilaAlbaran& f : m_bd.ListaAlbaranes(ComoFiltro(m_numero), ComoFiltro(m_cliente), ComoFiltro(m_desde), ComoFiltro(m_hasta))) {
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
        bool exito = false;
        if (operacion == Operacion::Eliminar) {
            exito = m_bd.EliminarAlbaran(numero);
        } else {
            Albaran albaran(m_bd);
            if (albaran.WhoAmI(numero))
                exito = albaran.Stock(operacion == Operacion::Restaurar);
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
    std::vector<FilaAlbaran> filas;
    for (FilaAlbaran& f : m_bd.ListaAlbaranes(ComoFiltro(m_numero), ComoFiltro(m_cliente), ComoFiltro(m_desde), ComoFiltro(m_hasta)))
        if (f.Factura.esNulo() && (f.Pagado.esNulo() || f.Pagado.aNumero() == 0))
            filas.push_back(std::move(f));
    std::stable_sort(filas.begin(), filas.end(), [](const FilaAlbaran& a, const FilaAlbaran& b) {
        if (a.Cliente.aEntero() != b.Cliente.aEntero())
            return a.Cliente.aEntero() < b.Cliente.aEntero();
        return a.Fecha.aFecha() < b.Fecha.aFecha();
    });

    qint16 cuenta = Cuenta(filas.size());
    qint16 serie = 0;
    QDate fecha = QDate::currentDate();
    qint16 detalle = 3;
    bool unaPorAlbaran = false, imprimir = false, cancelar = false;
    emit AntesDeFacturar(cuenta, serie, fecha, detalle, unaPorAlbaran, imprimir, cancelar);
    if (cancelar)
        return;

    qint16 facturas = 0, facturados = 0, noFacturados = 0;
    // The invoice in progress collects its notes in memory; when it is closed, the invoice, its
    // lines and the links of its notes are written in one short transaction, so that no event
    // handler runs while the database is locked and a crash never leaves a note pointing at an
    // invoice that was not stored.
    std::unique_ptr<Factura> factura;
    std::vector<std::unique_ptr<Albaran>> notas;
    std::optional<qint32> clienteActual;

    auto cerrar = [&] {
        if (!factura)
            return;
        const qint16 tomadas = Cuenta(notas.size());
        bool guardada = false;
        if (!notas.empty()) {
            try {
                motor::BaseDeDatos::Transaccion t(*m_bd.Motor());
                bool todas = true;
                for (const std::unique_ptr<Albaran>& a : notas)
                    todas = todas && a->SetFactura(serie, *factura->Numero) && a->Update();
                if (todas && factura->Update()) {
                    t.commit();
                    guardada = true;
                }
            } catch (const motor::Error&) {
                guardada = false;
            }
        }
        if (guardada) {
            Sumar(facturas);
            // Printed only once stored: a printed invoice always exists.
            if (imprimir && m_fabricaImpresion)
                if (std::unique_ptr<MotorMascaras> motor = m_fabricaImpresion())
                    factura->Imprimir(*motor, m_carpetaMascaras);
        } else {
            // Nothing of this invoice was stored: its notes stay pending.
            facturados = static_cast<qint16>(facturados - tomadas);
            noFacturados = static_cast<qint16>(noFacturados + tomadas);
        }
        factura.reset();
        notas.clear();
    };
    auto abrir = [&](const Albaran& albaran) {
        factura = std::make_unique<Factura>(m_bd);
        factura->WhoAmI(serie);
        factura->Fecha = fecha;
        if (factura->SetCliente(*albaran.Cliente()))
            factura->FijarDescuento(albaran.Descuento());
        factura->FijarDesctoPP(albaran.DesctoPP);
        clienteActual = albaran.Cliente();
    };

    for (const FilaAlbaran& fila : filas) {
        bool exito = false;
        auto albaran = std::make_unique<Albaran>(m_bd);
        const bool valido = albaran->WhoAmI(fila.Numero) && !albaran->Facturado() && albaran->Pagado == 0 && albaran->Cliente();
        if (valido) {
            if (factura && (unaPorAlbaran || albaran->Cliente() != clienteActual))
                cerrar();
            // Line numbers are 16-bit: a customer with more lines than one invoice holds gets another.
            const int necesarias = (detalle == 2 ? static_cast<int>(albaran->Totales().size()) : albaran->NumeroLineas())
                + (detalle == 3 ? 1 : 0);
            if (factura && factura->NumeroLineas() + necesarias > 32767)
                cerrar();
            if (!factura)
                abrir(*albaran);
            if (factura->NumeroLineas() + necesarias <= 32767) {
                AnadirLineas(*factura, *albaran, detalle);
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
