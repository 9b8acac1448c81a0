// Invoice store: numbering per series, the list with its filters, reading and deleting.

#include "basedatos.h"

#include "consultas.h"
#include "dinero.h"
#include "traductor.h"
#include "utilidades.h"

qint32 BaseDatos::NuevoNumeroFactura(qint16 serie)
{
    if (!Abierta())
        return 0;
    QString sql = NombresLargos(QStringLiteral("select max(Numero) from TbCabzFac where Serie=@S"));
    Reemplazar(QStringLiteral("@S"), EnteroATexto(serie), sql);
    return Siguiente(m_bd->valorUnico(sql), QStringLiteral("números de factura en esta serie"));
}

namespace {

// The invoice list's filters, one bit each, in the order their values are bound.
enum : quint32 {
    kSerie = 1,
    kCliente = 2,
    kDesde = 4,
    kHasta = 8,
    kDespuesDe = 16,   // a page starts after a number
    kHastaNumero = 32, // and ends at one
    kPendientes = 64,
    kSaldadas = 128,
    kConRegistros = 256,
};

}  // namespace

std::optional<BaseDatos::CondicionesLista> BaseDatos::CondicionesFacturas(const Filtro& serie, const Filtro& cliente,
                                                                         const Filtro& desde, const Filtro& hasta)
{
    CondicionesLista c;
    auto poner = [&c](quint32 bit, Valor valor) {
        c.forma |= bit;
        c.valores.push_back(std::move(valor));
    };
    if (std::holds_alternative<qint16>(serie))
        poner(kSerie, Valor(static_cast<qint64>(std::get<qint16>(serie))));
    if (std::holds_alternative<qint32>(cliente)) {
        poner(kCliente, Valor(static_cast<qint64>(std::get<qint32>(cliente))));
    } else if (std::holds_alternative<QString>(cliente)) {
        const std::optional<qint32> codigo = CodigoPorNombre(std::get<QString>(cliente));
        if (!codigo)
            return std::nullopt;
        poner(kCliente, Valor(static_cast<qint64>(*codigo)));
    }
    if (std::holds_alternative<QDate>(desde) && std::get<QDate>(desde).isValid())
        poner(kDesde, Valor(TextoFechaSQL(std::get<QDate>(desde))));
    if (std::holds_alternative<QDate>(hasta) && std::get<QDate>(hasta).isValid())
        poner(kHasta, Valor(TextoFechaSQL(std::get<QDate>(hasta))));
    return c;
}

QString BaseDatos::TextoCondicionesFacturas(quint32 forma)
{
    QString condiciones;
    const QString y = QStringLiteral(" and ");
    if (forma & kSerie)
        AnadirALista(condiciones, y, QStringLiteral("(TbCabzFac.Serie=?) "));
    if (forma & kCliente)
        AnadirALista(condiciones, y, QStringLiteral("(TbCabzFac.Cliente=?)"));
    if (forma & kDesde)
        AnadirALista(condiciones, y, QStringLiteral("(TbCabzFac.Fecha>=?)"));
    if (forma & kHasta)
        AnadirALista(condiciones, y, QStringLiteral("(TbCabzFac.Fecha<=?)"));
    if (forma & kDespuesDe)
        AnadirALista(condiciones, y, QStringLiteral("(TbCabzFac.Numero>?)"));
    if (forma & kHastaNumero)
        AnadirALista(condiciones, y, QStringLiteral("(TbCabzFac.Numero<=?)"));
    return condiciones;
}

std::vector<FilaFactura> BaseDatos::ListaFacturas(const Filtro& serie, const Filtro& cliente, const Filtro& desde,
                                                  const Filtro& hasta, const Filtro& pendiente)
{
    if (!Abierta())
        return {};
    std::optional<CondicionesLista> condiciones = CondicionesFacturas(serie, cliente, desde, hasta);
    return condiciones ? LeerFacturas(std::move(*condiciones), pendiente) : std::vector<FilaFactura>{};
}

qint64 BaseDatos::CuentaFacturas(qint16 serie, const Filtro& cliente, const Filtro& desde, const Filtro& hasta)
{
    if (!Abierta())
        return 0;
    const std::optional<CondicionesLista> condiciones = CondicionesFacturas(serie, cliente, desde, hasta);
    if (!condiciones)
        return 0;
    motor::BaseDeDatos::Sentencia& s = SentenciaDeLista(QStringLiteral("select count(*) from TbCabzFac where ")
                                                        + TextoCondicionesFacturas(condiciones->forma));
    s.vincular(condiciones->valores);
    const qint64 n = s.paso() ? s.columna(0).aEntero() : 0;
    s.reiniciar();
    return n;
}

PaginaLista<FilaFactura, qint32> BaseDatos::PaginaFacturas(qint16 serie, const Filtro& cliente, const Filtro& desde,
                                                           const Filtro& hasta, const Filtro& pendiente,
                                                           std::optional<qint32> despuesDe, int limite)
{
    PaginaLista<FilaFactura, qint32> pagina;
    if (!Abierta())
        return pagina;
    std::optional<CondicionesLista> condiciones = CondicionesFacturas(serie, cliente, desde, hasta);
    if (!condiciones)
        return pagina;
    if (despuesDe) {
        condiciones->forma |= kDespuesDe;
        condiciones->valores.emplace_back(static_cast<qint64>(*despuesDe));
    }
    // The page's last number comes from the headers alone, on their (Serie, Numero) key; the
    // payment state may then leave fewer rows than that, and the next page starts after it.
    motor::BaseDeDatos::Sentencia& k = SentenciaDeLista(QStringLiteral("select TbCabzFac.Numero from TbCabzFac where ")
                                                        + TextoCondicionesFacturas(condiciones->forma)
                                                        + QStringLiteral(" order by TbCabzFac.Numero limit 1 offset ?"));
    std::vector<Valor> clave = condiciones->valores;
    clave.emplace_back(static_cast<qint64>(std::max(limite, 1) - 1));
    k.vincular(clave);
    if (k.paso())
        pagina.siguiente = CampoALargo(k.columna(0));
    k.reiniciar();
    if (pagina.siguiente) {
        condiciones->forma |= kHastaNumero;
        condiciones->valores.emplace_back(static_cast<qint64>(*pagina.siguiente));
    }
    pagina.filas = LeerFacturas(std::move(*condiciones), pendiente);
    return pagina;
}

std::vector<FilaFactura> BaseDatos::LeerFacturas(CondicionesLista condiciones, const Filtro& pendiente)
{
    std::vector<FilaFactura> filas;
    // Annulled invoices: an annulment is the last record an invoice gets. Asked per row on the
    // records' (Serie, Numero) index, so the call costs its own rows, not every record kept.
    if (!m_hayRegistros)
        m_hayRegistros = m_bd->existeTabla(QStringLiteral("RegistroFacturacion"));
    if (m_hayRegistros)
        condiciones.forma |= kConRegistros;
    if (std::holds_alternative<bool>(pendiente))
        condiciones.forma |= std::get<bool>(pendiente) ? kPendientes : kSaldadas;
    auto texto = m_sqlFacturas.find(condiciones.forma);
    if (texto == m_sqlFacturas.end()) {
        const QString donde = TextoCondicionesFacturas(condiciones.forma);
        QString bases = consultas::ListaBasesImponiblesSelectCentimos;
        if (!donde.isEmpty())
            bases += QStringLiteral(" where ") + donde;
        bases += consultas::ListaBasesImponiblesGroup;
        QString sql = consultas::ListaFacturasCentimos;
        Reemplazar(QStringLiteral("QryBImpon"), QLatin1Char('(') + bases + QStringLiteral(") as QryBImpon"), sql);
        sql = QStringLiteral("select *, ")
            + (condiciones.forma & kConRegistros
                   ? QStringLiteral("exists (select 1 from RegistroFacturacion r where r.Serie=ListaFacturas.Serie and "
                                    "r.Numero=ListaFacturas.Numero and r.Tipo='N')")
                   : QStringLiteral("0"))
            + QStringLiteral(" as Anulada from (") + sql + QStringLiteral(") as ListaFacturas ");
        // Settled: paid to the cent what the invoice comes to with its packaging, or without it
        // (invoices settled before the packaging was counted).
        if (condiciones.forma & kPendientes)
            sql += QStringLiteral("where (isnull(Pagado) or ((centimos(Pagado)<>Neto+IVA+REq+sEnvases) and (centimos(Pagado)<>Neto+IVA+REq)))");
        else if (condiciones.forma & kSaldadas)
            sql += QStringLiteral("where ((centimos(Pagado)=Neto+IVA+REq+sEnvases) or (centimos(Pagado)=Neto+IVA+REq))");
        sql += QStringLiteral(" order by Serie, Numero");
        texto = m_sqlFacturas.emplace(condiciones.forma, TraducirSQL(NombresLargos(sql), m_bd->esPostgreSQL()).toStdString()).first;
    }
    // Read by column position from the prepared statement: the call costs its rows, not the
    // translation and a copy of every row kept aside.
    motor::BaseDeDatos::Sentencia& s = m_bd->preparar(texto->second);
    s.vincular(condiciones.valores);
    // The select list is the same whatever the conditions: its columns are found by name once.
    static const char* const kColumnas[] = {"Numero", "Fecha", "Cliente", "nombre", "Neto", "iva", "Pagado", "REq", "sEnvases", "Anulada"};
    if (m_columnasFacturas.empty()) {
        for (const char* nombre : kColumnas) {
            int i = 0;
            while (i < s.columnas() && s.nombreColumna(i).compare(QLatin1String(nombre), Qt::CaseInsensitive) != 0)
                ++i;
            if (i == s.columnas()) {
                m_columnasFacturas.clear();
                throw motor::Error(motor::ErrGeneral, 0, QStringLiteral("Falta la columna %1 en la lista de facturas.").arg(QLatin1String(nombre)));
            }
            m_columnasFacturas.push_back(i);
        }
    }
    const std::vector<int>& c = m_columnasFacturas;
    const int cNumero = c[0], cFecha = c[1], cCliente = c[2], cNombre = c[3], cNeto = c[4], cIva = c[5], cPagado = c[6],
              cREq = c[7], cEnvases = c[8], cAnulada = c[9];
    while (s.paso()) {
        FilaFactura f;
        f.Anulada = s.columna(cAnulada).aEntero() != 0;
        // An annulled invoice is owed by nobody; the saved query keeps its text for other programs.
        if (f.Anulada && std::holds_alternative<bool>(pendiente) && std::get<bool>(pendiente))
            continue;
        f.Numero = CampoALargo(s.columna(cNumero));
        f.Fecha = s.columna(cFecha);
        f.Cliente = s.columna(cCliente);
        f.nombre = s.columna(cNombre);
        const qint64 neto = s.columna(cNeto).aEntero();
        const qint64 iva = s.columna(cIva).aEntero();
        f.Neto = AEuros(neto);
        f.iva = AEuros(iva);
        f.Total = AEuros(neto + iva);
        f.Pagado = s.columna(cPagado);
        f.REq = AEuros(s.columna(cREq).aEntero());
        f.Envases = AEuros(s.columna(cEnvases).aEntero());
        AnadirAVector(filas, std::move(f));
    }
    s.reiniciar();
    return filas;
}

double TotalAPagar(const FilaFactura& factura)
{
    return AEuros(Centimos(factura.Neto) + Centimos(factura.iva) + Centimos(factura.REq) + Centimos(factura.Envases));
}

bool BaseDatos::ConsultaCabzFactura(qint16 serie, qint32 numero, motor::Recordset& rs)
{
    if (!Abierta())
        return false;
    rs = m_bd->abrirRecordset(NombresLargos(QStringLiteral("select * from TbCabzFac where (Serie = ?) and (Numero = ?) ")),
                              {Valor(static_cast<qint64>(serie)), Valor(static_cast<qint64>(numero))});
    return true;
}

bool BaseDatos::ConsultaDetaFactura(qint16 serie, qint32 numero, motor::Recordset& rs)
{
    if (!Abierta())
        return false;
    rs = m_bd->abrirRecordset(NombresLargos(QStringLiteral("select * from TbDetaFac where (Serie=?) and (Numero=?) order by Linea")),
                              {Valor(static_cast<qint64>(serie)), Valor(static_cast<qint64>(numero))});
    return true;
}

bool BaseDatos::EliminarFactura(qint16 serie, qint32 numero)
{
    if (!Abierta())
        return false;
    // The invoice and the release of its notes stand or fall together.
    motor::BaseDeDatos::Transaccion t(*m_bd);
    const bool borrada = m_bd->ejecutar(NombresLargos(QStringLiteral("delete from TbCabzFac where (Serie=")) + EnteroATexto(serie)
                                        + QStringLiteral(") and (Numero=") + LargoATexto(numero) + QStringLiteral(") "))
        > 0;
    LiberarAlbaranes(serie, numero);
    t.commit();
    return borrada;
}

void BaseDatos::LiberarAlbaranes(qint16 serie, qint32 numero)
{
    if (!Abierta())
        return;
    m_bd->ejecutar(NombresLargos(QStringLiteral("update TbCabzAlb set  sFac=null, Factura=null where (sFac=")) + EnteroATexto(serie)
                   + QStringLiteral(") and (Factura=") + LargoATexto(numero) + QStringLiteral(") "));
}

std::optional<std::pair<qint32, QDate>> BaseDatos::FacturaAnterior(qint16 serie, qint32 numero)
{
    if (!Abierta())
        return std::nullopt;
    motor::BaseDeDatos::Sentencia& s = m_bd->preparar(
        QStringLiteral("SELECT Numero, Fecha FROM FacturaVentaCabecera WHERE Serie=? AND Numero<? ORDER BY Numero DESC LIMIT 1"));
    s.vincular({static_cast<int>(serie), numero});
    std::optional<std::pair<qint32, QDate>> anterior;
    if (s.paso())
        anterior = std::make_pair(static_cast<qint32>(s.columna(0).aEntero()), s.columna(1).aFecha());
    s.reiniciar();
    return anterior;
}
