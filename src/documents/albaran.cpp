#include "albaran.h"

#include "basedatos.h"
#include "coleccion.h"
#include "envases.h"
#include "formato.h"
#include "global.h"
#include "impresiondocumento.h"
#include "motor.h"
#include "motormascaras.h"

#include <functional>
#include <limits>

namespace {

const QString kMoneda = QStringLiteral("##,##0.00;-##,##0.00;#");
const QString kUnidades = QStringLiteral("###,##0;-###,##0;#");
const QString kKilos = QStringLiteral("##,##0.000;-##,##0.000;#");
const QString kPorcentaje = QStringLiteral("0.0;-0.0;#");

}  // namespace

Albaran::Albaran(BaseDatos& bd) : m_bd(bd) {}

Albaran::~Albaran() = default;

bool Albaran::WhoAmI()
{
    Numero = m_bd.NuevoNumeroAlbaran();
    m_numeroCargado.reset();
    Fecha = QDate::currentDate();
    Observaciones.clear();
    Pagado = 0;
    DesctoPP = 0;
    m_cliente.reset();
    m_usaREq = false;
    m_descuento = 0;
    m_serieFactura.reset();
    m_factura.reset();
    m_facturado = false;
    m_onLine = false;
    m_lineas.clear();
    return true;
}

bool Albaran::WhoAmI(qint32 numero)
{
    motor::Recordset rs;
    if (!m_bd.ConsultaCabzAlbaran(numero, rs) || rs.eof())
        return false;
    m_lineas.clear();
    Numero = CampoALargo(rs[QStringLiteral("Numero")]);
    m_numeroCargado = Numero;
    const QDate fecha = rs[QStringLiteral("Fecha")].aFecha();
    Fecha = fecha.isValid() ? std::optional<QDate>(fecha) : std::nullopt;
    Observaciones = CampoATexto(rs[QStringLiteral("Observaciones")]);
    const Valor cliente = rs[QStringLiteral("Cliente")];
    m_cliente = cliente.esNulo() ? std::nullopt : std::optional<qint32>(CampoALargo(cliente));
    m_usaREq = false;
    m_descuento = 0;
    Coleccion datos;
    if (m_cliente && m_bd.ConsultaCliente(*m_cliente, datos)) {
        m_usaREq = datos.valor(QStringLiteral("UsaREq")).aBooleano();
        m_descuento = static_cast<float>(CampoANumero(datos.valor(QStringLiteral("Descuento"))));
    }
    const Valor serie = rs[QStringLiteral("sFac")];
    m_serieFactura = serie.esNulo() ? std::nullopt : std::optional<qint16>(CampoAEntero(serie));
    const Valor factura = rs[QStringLiteral("Factura")];
    m_factura = factura.esNulo() ? std::nullopt : std::optional<qint32>(CampoALargo(factura));
    Pagado = CampoANumero(rs[QStringLiteral("Pagado")]);
    DesctoPP = static_cast<float>(CampoANumero(rs[QStringLiteral("DesctoPP")]));
    m_facturado = m_factura.has_value();
    m_onLine = rs[QStringLiteral("onLine")].aBooleano();

    try {
        motor::Recordset detalle;
        if (!m_bd.ConsultaDetaAlbaran(numero, detalle))
            return false;
        for (; !detalle.eof(); detalle.moveNext()) {
            auto linea = std::make_unique<LineaAlbaran>(m_bd);
            linea->WhoAmI(detalle);
            m_lineas.push_back(std::move(linea));
        }
    } catch (const motor::Error&) {
        return false;
    }
    return true;
}

namespace {

// One stock movement; a quantity beyond 32 bits (the difference of two stored quantities can
// be) goes in two. A line without an article moves nothing.
bool MoverStock(BaseDatos& bd, qint32 articulo, qint64 cantidad)
{
    if (articulo < 1)
        return false;
    if (cantidad >= std::numeric_limits<qint32>::min() && cantidad <= std::numeric_limits<qint32>::max())
        return bd.Stock(articulo, static_cast<qint32>(cantidad));
    const qint64 mitad = cantidad / 2;
    const bool primera = bd.Stock(articulo, static_cast<qint32>(mitad));
    return bd.Stock(articulo, static_cast<qint32>(cantidad - mitad)) && primera;
}

}  // namespace

void Albaran::EscribirCabecera(motor::Recordset& rs)
{
    rs.fijar(QStringLiteral("Numero"), Valor(static_cast<qint64>(*Numero)));
    rs.fijar(QStringLiteral("Fecha"), Valor(*Fecha));
    rs.fijar(QStringLiteral("Observaciones"), Valor(Observaciones));
    rs.fijar(QStringLiteral("Cliente"), Valor(static_cast<qint64>(*m_cliente)));
    rs.fijar(QStringLiteral("sFac"), m_serieFactura ? Valor(static_cast<qint64>(*m_serieFactura)) : Valor());
    rs.fijar(QStringLiteral("Factura"), m_factura ? Valor(static_cast<qint64>(*m_factura)) : Valor());
    rs.fijar(QStringLiteral("Pagado"), Valor(Pagado));
    rs.fijar(QStringLiteral("DesctoPP"), Valor(DesctoPP));
    rs.fijar(QStringLiteral("onLine"), Valor(m_onLine));
    rs.update();
}

void Albaran::EscribirLinea(const LineaAlbaran& linea, motor::Recordset& rs)
{
    if (!m_facturado) {
        rs.fijar(QStringLiteral("Articulo"), Valor(static_cast<qint64>(linea.Codigo())));
        QString nombre;
        qint16 depto = linea.Departamento();
        qint16 cada = 0;
        qint32 precio = 0;
        m_bd.DatosArticulo(linea.Codigo(), nombre, depto, cada, precio);
        if (nombre.isEmpty()) {
            // Not in the catalogue: the line keeps its own unit, so its amount does not change.
            depto = linea.Departamento();
            cada = linea.Cada();
        }
        rs.fijar(QStringLiteral("Departamento"), Valor(static_cast<qint64>(depto)));
        rs.fijar(QStringLiteral("Cada"), Valor(static_cast<qint64>(cada)));
        rs.fijar(QStringLiteral("Precio"), Valor(static_cast<qint64>(linea.PrecioCentimos())));
        rs.fijar(QStringLiteral("Descuento"), Valor(linea.Descuento()));
        rs.fijar(QStringLiteral("Cantidad"), Valor(static_cast<qint64>(linea.CantidadGramos())));
        rs.fijar(QStringLiteral("Bultos"), Valor(static_cast<qint64>(linea.Bultos)));
        rs.fijar(QStringLiteral("Envase"), Valor(static_cast<qint64>(linea.EnvaseCentimos())));
        rs.fijar(QStringLiteral("Comentario"), linea.Comentario().isEmpty() ? Valor() : Valor(linea.Comentario()));
    }
    const qint64 delta = static_cast<qint64>(linea.CanStock()) - CampoALargo(rs[QStringLiteral("CanStock")]);
    if (delta != 0) {
        const bool movido = MoverStock(m_bd, linea.Codigo(), delta);
        rs.fijar(QStringLiteral("CanStock"), Valor(static_cast<qint64>(movido ? linea.CanStock() : 0)));
    } else if (linea.CanStock() == 0) {
        rs.fijar(QStringLiteral("CanStock"), Valor(static_cast<qint64>(0)));
    }
}

bool Albaran::Update()
{
    if (!Numero || !Fecha || !Fecha->isValid() || !m_cliente || !m_bd.Abierta())
        return false;
    // Header, lines and stock movements stand or fall together.
    motor::BaseDeDatos::Transaccion transaccion(*m_bd.Motor());
    try {
        motor::Recordset cabecera;
        if (!m_numeroCargado) {
            if (!m_bd.ConsultaCabzAlbaran(*Numero, cabecera) || !cabecera.eof())
                return false;
            cabecera.addNew();
        } else {
            if (!m_bd.ConsultaCabzAlbaran(*m_numeroCargado, cabecera) || cabecera.eof())
                return false;
            cabecera.edit();
        }
        EscribirCabecera(cabecera);
    } catch (const motor::Error&) {
        return false;
    }

    motor::Recordset rs;
    bool leidas = false;
    try {
        leidas = m_bd.ConsultaDetaAlbaran(*Numero, rs);
    } catch (const motor::Error&) {
        leidas = false;
    }
    if (!leidas) {
        // The header stays written, as it always has; no stock has moved yet.
        try {
            transaccion.commit();
        } catch (const motor::Error&) {
        }
        return false;
    }

    // Each line with its stock movement is a step of its own: a line that fails is undone alone
    // (never its movement without its CanStock), the others are still written, and the answer
    // is false.
    bool fallo = false;
    auto paso = [&](const std::function<void()>& accion) {
        motor::BaseDeDatos::Transaccion t(*m_bd.Motor());
        try {
            accion();
            t.commit();
        } catch (const motor::Error&) {
            rs.cancelUpdate();
            fallo = true;
        }
    };
    try {
        std::vector<size_t> nuevas;
        qint64 ultima = 0;
        size_t i = 0;
        while (!rs.eof() || i < m_lineas.size()) {
            if (rs.eof()) {
                nuevas.push_back(i++);
                continue;
            }
            const qint32 guardada = CampoALargo(rs[QStringLiteral("Linea")]);
            ultima = std::max<qint64>(ultima, guardada);
            if (i >= m_lineas.size() || guardada < m_lineas[i]->Ordinal()) {
                // Removed from the note: its stock goes back, whatever the movement answers.
                paso([&] {
                    const qint32 canStock = CampoALargo(rs[QStringLiteral("CanStock")]);
                    if (canStock != 0)
                        MoverStock(m_bd, CampoALargo(rs[QStringLiteral("Articulo")]), -static_cast<qint64>(canStock));
                    rs.remove();
                });
                rs.moveNext();
            } else if (guardada > m_lineas[i]->Ordinal()) {
                nuevas.push_back(i++);
            } else {
                const LineaAlbaran& linea = *m_lineas[i];
                paso([&] {
                    rs.edit();
                    const qint32 canStock = CampoALargo(rs[QStringLiteral("CanStock")]);
                    const qint32 articulo = CampoALargo(rs[QStringLiteral("Articulo")]);
                    if (canStock != 0 && articulo != linea.Codigo()) {
                        // Another article now: the old one gets its stock back first.
                        MoverStock(m_bd, articulo, -static_cast<qint64>(canStock));
                        rs.fijar(QStringLiteral("CanStock"), Valor(static_cast<qint64>(0)));
                    }
                    EscribirLinea(linea, rs);
                    rs.update();
                });
                rs.moveNext();
                ++i;
            }
        }
        for (size_t n : nuevas) {
            paso([&] {
                rs.addNew();
                rs.fijar(QStringLiteral("Numero"), Valor(static_cast<qint64>(*Numero)));
                rs.fijar(QStringLiteral("Linea"), Valor(++ultima));
                EscribirLinea(*m_lineas[n], rs);
                rs.update();
            });
        }
        m_bd.ReordenarAlbaran(*Numero);
        transaccion.commit();
    } catch (const motor::Error&) {
        return false;
    }
    if (fallo)
        return false;
    m_facturado = m_factura.has_value();
    return true;
}

bool Albaran::Delete()
{
    // The note that was loaded, even when its number has been edited since.
    const std::optional<qint32> numero = m_numeroCargado ? m_numeroCargado : Numero;
    if (!numero || m_facturado)
        return false;
    return m_bd.EliminarAlbaran(*numero);
}

bool Albaran::SetCliente(qint32 codigo)
{
    if (m_facturado)
        return false;
    Coleccion datos;
    if (!m_bd.ConsultaCliente(codigo, datos))
        return false;
    m_cliente = codigo;
    m_usaREq = datos.valor(QStringLiteral("UsaREq")).aBooleano();
    m_descuento = static_cast<float>(CampoANumero(datos.valor(QStringLiteral("Descuento"))));
    return true;
}

bool Albaran::SetFactura(qint16 serie, qint32 numero)
{
    if (numero < 1 || m_facturado)
        return false;
    m_serieFactura = serie;
    m_factura = numero;
    return true;
}

LineaAlbaran* Albaran::NuevaLinea()
{
    // Lines are addressed and stored with 16-bit numbers.
    if (m_facturado || m_lineas.size() >= static_cast<size_t>(std::numeric_limits<qint16>::max()))
        return nullptr;
    m_lineas.push_back(std::make_unique<LineaAlbaran>(m_bd));
    return m_lineas.back().get();
}

LineaAlbaran* Albaran::Linea(qint16 indice) const
{
    if (indice < 1 || indice > NumeroLineas())
        return nullptr;
    return m_lineas[static_cast<size_t>(indice - 1)].get();
}

bool Albaran::EliminarLinea(qint16 indice)
{
    if (m_facturado || indice < 1 || indice > NumeroLineas())
        return false;
    m_lineas.erase(m_lineas.begin() + (indice - 1));
    return true;
}

bool Albaran::Stock(bool devolver)
{
    std::vector<qint32> antes;
    antes.reserve(m_lineas.size());
    for (const auto& linea : m_lineas) {
        antes.push_back(linea->m_canStock);
        if (devolver)
            linea->DeshacerCanStock();
        else
            linea->IgualarCanStock();
    }
    if (Update())
        return true;
    // Nothing was stored: the lines say again what the database says.
    for (size_t i = 0; i < m_lineas.size(); ++i)
        m_lineas[i]->m_canStock = antes[i];
    return false;
}

bool Albaran::EstadoStock() const
{
    for (const auto& linea : m_lineas)
        if (linea->CanStock() != linea->CantidadGramos())
            return false;
    return true;
}

std::vector<FilaBase> Albaran::Totales() const
{
    std::vector<FilaBase> filas;
    for (const auto& linea : m_lineas) {
        const qint16 d = linea->Departamento();
        FilaBase f;
        const bool enTabla = d >= 1 && d <= 10;
        f.clave = enTabla ? static_cast<double>(Global::IVADepartamento[static_cast<size_t>(d)]) : 0.0;
        f.recargo = enTabla && m_usaREq ? static_cast<double>(Global::RecargoEquivalencia[static_cast<size_t>(d)]) : 0.0;
        f.importe = linea->ImporteDescontado();
        filas.push_back(f);
    }
    return AgruparPorClave(filas);
}

double Albaran::ImporteBase() const
{
    double suma = 0;
    for (const auto& linea : m_lineas)
        suma += linea->ImporteDescontado();
    return suma;
}

double Albaran::ImporteDescuentos() const
{
    return ImporteDescuentos(ImporteBase());
}

double Albaran::ImporteDescuentos(double base) const
{
    return std::floor(m_descuento * base + 0.5) / 100 + std::floor(DesctoPP * base + 0.5) / 100;
}

double Albaran::ImporteEnvases() const
{
    return SumaEnvases(m_lineas, [](const LineaAlbaran& l) { return l.Bultos; }, 0);
}

double Albaran::ImporteEnvasesDevueltos() const
{
    return SumaEnvases(m_lineas, [](const LineaAlbaran& l) { return l.Bultos; }, -1);
}

double Albaran::ImporteEnvasesEntregados() const
{
    return SumaEnvases(m_lineas, [](const LineaAlbaran& l) { return l.Bultos; }, 1);
}

bool Albaran::prn_SaltoPagina() const
{
    return m_posicionImpresion >= NumeroLineas();
}

bool Albaran::Imprimir(MotorMascaras& motor, const QString& carpetaMascaras)
{
    if (!motor.CargaMascaras(UnirRuta(carpetaMascaras, QStringLiteral("mskAlba.txt"))))
        return false;
    ImpresionDocumento impresion(motor, CabeceraImpresion(m_bd, m_cliente, {
        {QStringLiteral("@NUMERO"), Numero ? LargoATexto(*Numero) : QString()},
        {QStringLiteral("@FECHA"), Fecha ? Formato(Valor(*Fecha), QStringLiteral("dd/mm/yyyy")) : QString()},
    }));
    impresion.Cabecera();

    const QStringList marcasLinea = {
        QStringLiteral("@BULTOS"), QStringLiteral("@ENVASE"), QStringLiteral("@CODIGO"), QStringLiteral("@DESCRIPCION"),
        QStringLiteral("@PRECIO"), QStringLiteral("@UNIDAD"), QStringLiteral("@CANTIDAD"), QStringLiteral("@IMPORTE"),
        QStringLiteral("@PCTDESCUENTO"), QStringLiteral("@IMPDESCUENTO"), QStringLiteral("@IMPDESCONTADO"),
        QStringLiteral("@IMPENVASE"), QStringLiteral("@IMPNETO")};
    for (qint16 i = 1; i <= NumeroLineas(); ++i) {
        m_posicionImpresion = i;
        const LineaAlbaran& l = *Linea(i);
        QString unidad;
        if (l.Codigo() != 0)
            unidad = l.Cada() == 0 ? QStringLiteral("/k") : l.Cada() == 1 ? QStringLiteral("/g") : QStringLiteral("/u");
        impresion.Imprimir(1, {
            {l.Bultos, kUnidades},
            {l.Envase(), kMoneda},
            {Formato(static_cast<double>(l.Codigo()), QStringLiteral("0000000;;#"))},
            {TextoDeUnaLinea(l.Descripcion())},
            {l.Precio(), kMoneda},
            {unidad},
            {l.Cantidad(), l.Cada() == 2 ? kUnidades : kKilos},
            {l.Importe(), kMoneda},
            {static_cast<double>(l.Descuento()), kPorcentaje},
            {l.ImporteDescuento(), kMoneda},
            {l.ImporteDescontado(), kMoneda},
            {l.ImporteEnvase(), kMoneda},
            {l.ImporteDescontado() - l.ImporteEnvase(), kMoneda},
        }, marcasLinea);
        if (!l.Comentario().isEmpty())
            impresion.ImprimirComentario(1, marcasLinea, QStringLiteral("@DESCRIPCION"), l.Comentario());
    }

    const double base = ImporteBase();
    const double descuentos = ImporteDescuentos();
    const double envases = ImporteEnvases();
    impresion.Imprimir(2, {
        {base, kMoneda},
        {descuentos, kMoneda},
        {envases, kMoneda},
        {ImporteEnvasesDevueltos(), kMoneda},
        {ImporteEnvasesEntregados(), kMoneda},
        {envases + base - descuentos, kMoneda},
    }, {QStringLiteral("@IMPORTE"), QStringLiteral("@DESCUENTOS"), QStringLiteral("@ENVASES"), QStringLiteral("@ENV_DEV"),
        QStringLiteral("@ENV_ENT"), QStringLiteral("@TOTAL")});
    motor.Cerrar();
    m_posicionImpresion = 0;
    return true;
}
